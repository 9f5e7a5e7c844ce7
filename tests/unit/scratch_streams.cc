#include "scratch_streams.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

// The scratch files of a test process, made on first use in the system's temporary folder and emptied for
// each use. (std::tmpfile would serve on POSIX, but Windows's C runtime makes its files in the drive's root,
// which most users may not write, and where test processes side by side under wine fail to make them.)
enum scratch_use { LOG_INPUT, WRITTEN_OUTPUT, CAPTURED_STDOUT, scratch_uses };

struct scratch_file {
  FILE* file = nullptr;
  std::string name_to_remove;  // where the system keeps the name of an open file (Windows)
};

struct process_scratch_files {
  scratch_file files[scratch_uses];
  ~process_scratch_files() {
    for (const scratch_file& scratch : files) {
      if (scratch.file != nullptr) std::fclose(scratch.file);
      if (!scratch.name_to_remove.empty()) std::remove(scratch.name_to_remove.c_str());
    }
  }
} scratch_files;

// The descriptor of the emptied file, at its start.
int emptied(scratch_use use) {
  scratch_file& scratch = scratch_files.files[use];
  if (scratch.file == nullptr) {
    const std::string name = (std::filesystem::temp_directory_path() /
                              ("telem2kml-test-" + std::to_string(getpid()) + "-" + std::to_string(use)))
                                 .string();
    scratch.file = std::fopen(name.c_str(), "w+b");
    if (scratch.file == nullptr) std::abort();
    // POSIX lets the name go at once, and the file once it is closed.
    if (std::remove(name.c_str()) != 0) scratch.name_to_remove = name;
  }
  const int fd = fileno(scratch.file);
  if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) std::abort();
  return fd;
}

// A stream of its own on the file's descriptor, which it shares the position with: closing it leaves the
// file to the next use.
FILE* stream_on(int fd, const char* mode) {
  FILE* stream = fdopen(dup(fd), mode);
  if (stream == nullptr) std::abort();
  return stream;
}

// The bytes from offset to the end, read through the descriptor, not stdio: standard output writes through
// another descriptor on the same file, which moves the position that stdio keeps a copy of. The position is
// left at the end, where standard output writes next; when nothing was written, one call finds that out.
std::string read_from(int fd, off_t offset) {
  const off_t end = lseek(fd, 0, SEEK_END);
  if (end < offset) std::abort();
  std::string bytes(static_cast<std::size_t>(end - offset), '\0');
  if (bytes.empty()) return bytes;
  if (lseek(fd, offset, SEEK_SET) != offset) std::abort();
  for (std::size_t got = 0; got < bytes.size();) {
    const auto n = read(fd, bytes.data() + got, static_cast<unsigned>(bytes.size() - got));
    if (n <= 0) std::abort();
    got += static_cast<std::size_t>(n);
  }
  return bytes;
}

}  // namespace

FILE* stream_holding(std::string_view bytes) {
  const int fd = emptied(LOG_INPUT);
  for (std::size_t put = 0; put < bytes.size();) {
    const auto n = write(fd, bytes.data() + put, static_cast<unsigned>(bytes.size() - put));
    if (n <= 0) std::abort();
    put += static_cast<std::size_t>(n);
  }
  lseek(fd, 0, SEEK_SET);
  return stream_on(fd, "rb");
}

FILE* scratch_stream() {
  return stream_on(emptied(WRITTEN_OUTPUT), "wb");
}

std::string written_bytes(FILE* stream) {
  std::fflush(stream);
  std::string bytes = read_from(fileno(stream), 0);
  std::fclose(stream);
  return bytes;
}

stdout_capture begin_stdout_capture() {
  const int fd = emptied(CAPTURED_STDOUT);
  std::fflush(stdout);
  const stdout_capture capture = {dup(STDOUT_FILENO), 0};
  if (capture.saved_stdout < 0 || dup2(fd, STDOUT_FILENO) < 0) std::abort();
  return capture;
}

std::string printed_since_last(stdout_capture& capture) {
  std::fflush(stdout);
  std::string bytes = read_from(fileno(scratch_files.files[CAPTURED_STDOUT].file), capture.taken);
  capture.taken += static_cast<off_t>(bytes.size());
  return bytes;
}

std::string end_stdout_capture(stdout_capture& capture) {
  std::string bytes = printed_since_last(capture);
  dup2(capture.saved_stdout, STDOUT_FILENO);
  close(capture.saved_stdout);
  return bytes;
}

std::string capture_stdout(const std::function<void()>& body) {
  stdout_capture capture = begin_stdout_capture();
  body();
  return end_stdout_capture(capture);
}
