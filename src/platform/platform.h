#pragma once

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

// Equal ids on one volume, or on a volume one side could not tell: taking two files for one refuses a run
// or an output, which is safe, while taking one file for two could write into a log.
inline bool same_identity(const file_identity& a, const file_identity& b) {
  return a.file_high == b.file_high && a.file_low == b.file_low &&
         (a.volume == b.volume || !a.volume_known || !b.volume_known);
}

// Orders identities by their ids alone, so that every identity one may be the same as stands next to it.
inline bool file_id_before(const file_identity& a, const file_identity& b) {
  return a.file_high != b.file_high ? a.file_high < b.file_high : a.file_low < b.file_low;
}

enum file_kind : std::uint8_t { FILE_KIND_REGULAR, FILE_KIND_PIPE, FILE_KIND_OTHER };

// What the system tells of an open stream. Where it cannot tell the identity, `identified` is false, and the
// file is never taken for any other.
struct file_facts {
  bool identified;
  file_identity identity;
  file_kind kind;
};

file_facts facts_of(FILE* stream);

// Open a file by its UTF-8 name, as a binary stream: for reading, or for writing (created if missing, not
// emptied). The stream never takes the place of a standard stream, so one closed at start stays closed and no
// message can land in a file, and no child process inherits it. nullptr when the file cannot be opened.
FILE* open_for_reading(const char* name);
FILE* open_for_writing(const char* name);

// Cuts a file open for writing to length 0; false when the system refuses.
bool empty_file(FILE* stream);

// A terminal hands over what is typed line by line; a block read would wait for a whole block.
bool is_terminal(FILE* stream);

// Before a run: standard streams that pass bytes unchanged, and a write past a file-size limit that fails
// and is reported like any other instead of ending the process.
void prepare_process();

// From now on nothing reaches standard output's file: what stdio still holds for it is dropped at exit.
void discard_standard_output();
