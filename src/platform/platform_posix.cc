#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "platform/platform.h"

namespace {

// A file that took the descriptor of a closed standard stream would receive the messages meant for it.
int open_above_standard_descriptors(const char* name, int flags) {
  const int fd = open(name, flags | O_CLOEXEC, 0666);
  if (fd < 0 || fd > STDERR_FILENO) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  close(fd);
  return moved;
}

FILE* open_stream(const char* name, int flags, const char* mode) {
  const int fd = open_above_standard_descriptors(name, flags);
  if (fd < 0) return nullptr;
  FILE* stream = fdopen(fd, mode);
  if (stream == nullptr) close(fd);
  return stream;
}

}  // namespace

file_facts facts_of(FILE* stream) {
  struct stat s;
  if (fstat(fileno(stream), &s) != 0) return {false, {}, FILE_KIND_OTHER};
  const file_kind kind = S_ISREG(s.st_mode)    ? FILE_KIND_REGULAR
                         : S_ISFIFO(s.st_mode) ? FILE_KIND_PIPE
                                               : FILE_KIND_OTHER;
  return {true, {0, static_cast<std::uint64_t>(s.st_ino), static_cast<std::uint64_t>(s.st_dev), true}, kind};
}

FILE* open_for_reading(const char* name) {
  return open_stream(name, O_RDONLY, "rb");
}

FILE* open_for_writing(const char* name) {
  return open_stream(name, O_WRONLY | O_CREAT, "wb");
}

bool empty_file(FILE* stream) {
  return ftruncate(fileno(stream), 0) == 0;
}

bool is_terminal(FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

void prepare_process() {
  std::signal(SIGXFSZ, SIG_IGN);
}

// Closing the descriptor needs none of its own, unlike opening /dev/null: it works at the open-file limit.
void discard_standard_output() {
  close(STDOUT_FILENO);
}
