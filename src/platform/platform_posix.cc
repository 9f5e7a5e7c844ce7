#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/vfs.h>
#endif

#include <cerrno>
#include <csignal>

#include "messages/messages.h"
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
  if (stream == nullptr) {
    close(fd);
    if (errno == ENOMEM) fatal("telem2kml: no memory to open '%s'\n", name);
  }
  return stream;
}

std::int64_t nanoseconds(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Only Linux tells an overlay; elsewhere a mount shows its files with their own inodes. ask_system is
// statfs or fstatfs of the file.
template <typename statfs_call>
volume_views views_of(statfs_call ask_system) {
#if defined(__linux__)
  constexpr auto overlay_magic = 0x794c7630;  // OVERLAYFS_SUPER_MAGIC
  struct statfs system;
  if (ask_system(&system) == 0 && system.f_type == overlay_magic) return VIEWS_OVERLAY;
#else
  (void)ask_system;
#endif
  return VIEWS_SAME_INODE;
}

file_facts facts_from(const struct stat& s, volume_views views) {
  const file_kind kind = S_ISREG(s.st_mode)    ? FILE_KIND_REGULAR
                         : S_ISFIFO(s.st_mode) ? FILE_KIND_PIPE
                                               : FILE_KIND_OTHER;
#if defined(__APPLE__)
  const file_state state = {static_cast<std::uint64_t>(s.st_size), nanoseconds(s.st_mtimespec),
                            nanoseconds(s.st_ctimespec)};
#else
  const file_state state = {static_cast<std::uint64_t>(s.st_size), nanoseconds(s.st_mtim),
                            nanoseconds(s.st_ctim)};
#endif
  return {true,
          {0, static_cast<std::uint64_t>(s.st_ino), static_cast<std::uint64_t>(s.st_dev), true},
          kind,
          views,
          state};
}

const file_facts unknown_file = {false, {}, FILE_KIND_OTHER, VIEWS_ONE_VOLUME, {}};

}  // namespace

file_facts facts_of(FILE* stream) {
  const int fd = fileno(stream);
  struct stat s;
  if (fstat(fd, &s) != 0) return unknown_file;
  return facts_from(s, views_of([fd](auto* system) { return fstatfs(fd, system); }));
}

file_facts facts_of_name(const char* name) {
  struct stat s;
  if (stat(name, &s) != 0) return unknown_file;
  return facts_from(s, views_of([name](auto* system) { return statfs(name, system); }));
}

FILE* open_for_reading(const char* name) {
  return open_stream(name, O_RDONLY, "rb");
}

FILE* open_for_writing(const char* name) {
  return open_stream(name, O_WRONLY | O_CREAT, "wb");
}

bool empty_file(FILE* stream) {
  return ftruncate(fileno(stream), 0) == 0 && std::fseek(stream, 0, SEEK_SET) == 0;
}

bool write_all(FILE* stream, const char* bytes, std::size_t size) {
  const int fd = fileno(stream);
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool is_terminal(FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

void prepare_process() {
  std::signal(SIGXFSZ, SIG_IGN);
}

// Closing the descriptor needs none of its own, unlike opening /dev/null: it works at the open-file limit.
void discard_standard_stream(FILE* standard) {
  close(fileno(standard));
}

void reset_platform() {}
