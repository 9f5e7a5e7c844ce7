#include "driver/open_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

std::vector<FILE*> logs_opened;
std::vector<FILE*> outputs_opened;

namespace {

bool identify(FILE* file, struct stat& into) {
  return fstat(fileno(file), &into) == 0;
}

bool same_identity(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool opened_as_log(const struct stat& file) {
  struct stat log;
  for (FILE* opened : logs_opened) {
    if (identify(opened, log) && same_identity(log, file)) return true;
  }
  return false;
}

// A closed standard stream must stay closed: a file that took its descriptor would receive the messages
// meant for that stream.
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

FILE* open_log_file(const char* name) {
  FILE* log = open_stream(name, O_RDONLY, "r");
  if (log != nullptr) logs_opened.push_back(log);
  return log;
}

FILE* open_output_file(const char* name) {
  // Not truncated at open: a log option later on the command line may name this very file.
  FILE* file = open_stream(name, O_WRONLY | O_CREAT, "wb");
  if (file == nullptr) return nullptr;
  struct stat opened;
  const bool is_a_log = identify(file, opened) && opened_as_log(opened);
  if (is_a_log || same_file(file, stdout)) {
    std::fclose(file);
    return is_a_log ? nullptr : stdout;
  }
  outputs_opened.push_back(file);
  return file;
}

bool empty_output_files(FILE* current) {
  bool current_emptied = true;
  struct stat output;
  for (FILE* file : outputs_opened) {
    // A device or a FIFO is written as it is; a file read as the log is never touched.
    if (!identify(file, output) || !S_ISREG(output.st_mode) || opened_as_log(output)) continue;
    if (ftruncate(fileno(file), 0) != 0 && file == current) current_emptied = false;
  }
  return current_emptied;
}

bool same_file(FILE* a, FILE* b) {
  struct stat first, second;
  return identify(a, first) && identify(b, second) && same_identity(first, second);
}

bool is_file_or_pipe(FILE* file) {
  struct stat s;
  return identify(file, s) && (S_ISREG(s.st_mode) || S_ISFIFO(s.st_mode));
}

void discard_standard_output() {
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  dup2(null, STDOUT_FILENO);
  close(null);
}

void reset_open_files() {
  logs_opened.clear();
  outputs_opened.clear();
}
