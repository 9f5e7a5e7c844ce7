#include "scratch_streams.h"

#include <cstdlib>

#include <unistd.h>

FILE* scratch_stream() {
  FILE* stream = std::tmpfile();
  if (stream == nullptr) std::abort();
  return stream;
}

FILE* stream_holding(std::string_view bytes) {
  FILE* stream = scratch_stream();
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size()) std::abort();
  std::rewind(stream);
  return stream;
}

namespace {

FILE* capture_file = nullptr;

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

std::string written_bytes(FILE* stream) {
  std::fflush(stream);
  std::string bytes = read_from(fileno(stream), 0);
  std::fclose(stream);
  return bytes;
}

stdout_capture begin_stdout_capture() {
  // One file serves every capture, emptied each time: making a file costs about a millisecond under wine,
  // and the tokenizer tables capture thousands of scans.
  if (capture_file == nullptr) capture_file = scratch_stream();
  const int fd = fileno(capture_file);
  std::fflush(stdout);
  stdout_capture capture = {dup(STDOUT_FILENO), 0};
  if (capture.saved_stdout < 0 || ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0 ||
      dup2(fd, STDOUT_FILENO) < 0) {
    std::abort();
  }
  return capture;
}

std::string printed_since_last(stdout_capture& capture) {
  std::fflush(stdout);
  std::string bytes = read_from(fileno(capture_file), capture.taken);
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
