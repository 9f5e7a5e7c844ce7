#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// What differs by operating system, behind one small interface. platform_posix.cc and platform_windows.cc
// implement it; the build compiles the one for its system, and no caller holds an #ifdef.

// A file as the system knows it, whatever name, link or descriptor reached it: its id on its volume.
struct file_identity {
  std::uint64_t file_high;
  std::uint64_t file_low;
  std::uint64_t volume;
  bool
      volume_known;  // false where the system tells the file but not its volume (wine, for inherited handles)
};

// Orders identities by their ids alone, so that every identity one may be the same as stands next to it.
inline bool file_id_before(const file_identity& a, const file_identity& b) {
  return a.file_high != b.file_high ? a.file_high < b.file_high : a.file_low < b.file_low;
}

inline bool same_file_id(const file_identity& a, const file_identity& b) {
  return a.file_high == b.file_high && a.file_low == b.file_low;
}

// What writing a file changes, as it is when asked.
struct file_state {
  std::uint64_t size;
  std::int64_t modified_ns;
  std::int64_t changed_ns;
};

// How a file may show itself under another volume. On POSIX a file system mounted over others shows their
// files under a device number of its own: an overlay's merged folder shows a file of its upper folder with
// the same inode, and one copied up from its lower folder with the lower file's inode, each with the same
// size and times. Windows tells one file by its volume and id alone.
enum volume_views : std::uint8_t {
  VIEWS_ONE_VOLUME,  // another volume is another file
  VIEWS_SAME_INODE,  // on another volume, the same inode, size and times are the same file
  VIEWS_OVERLAY,     // on an overlay: on another volume, the same size and times are the same file
};

enum file_kind : std::uint8_t { FILE_KIND_REGULAR, FILE_KIND_PIPE, FILE_KIND_OTHER };

// What the system tells of an open stream or of a name. Where it cannot tell the identity, `identified` is
// false, and the file is never taken for any other.
struct file_facts {
  bool identified;
  file_identity identity;
  file_kind kind;
  volume_views views;
  file_state state;
};

file_facts facts_of(FILE* stream);
// By the name alone: needs no descriptor of the run's and no permission to read the file. The names of the
// standard streams (/dev/stdout and the like) tell the stream's file.
file_facts facts_of_name(const char* name);

// Open a file by its UTF-8 name, as a binary stream: for reading, or for writing (created if missing, not
// emptied). The stream never takes the place of a standard stream, so one closed at start stays closed and no
// message can land in a file, and no child process inherits it. nullptr when the file cannot be opened; a
// lack of memory for the stream ends the run.
FILE* open_for_reading(const char* name);
FILE* open_for_writing(const char* name);

// Cuts a file open for writing to length 0, and writes from its start on; false when the system refuses.
bool empty_file(FILE* stream);

// Writes the bytes to the file with the system's own write call (write, WriteFile), past stdio, whose buffer
// for the stream must hold nothing; a short or interrupted write goes on with the rest. False when the
// system refuses.
bool write_all(FILE* stream, const char* bytes, std::size_t size);

// A terminal hands over what is typed line by line; a block read would wait for a whole block.
bool is_terminal(FILE* stream);

// Before a run: standard streams that pass bytes unchanged, and a write past a file-size limit that fails
// and is reported like any other instead of ending the process.
void prepare_process();

// From now on nothing reaches the file of standard output or standard error (the stream given): what stdio
// still holds for it is dropped at exit.
void discard_standard_stream(FILE* standard);

// Forgets what the layer keeps between calls, as at the start of the process.
void reset_platform();
