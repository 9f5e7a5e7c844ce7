#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0602  // FileIdInfo
#endif
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "messages/exiting_allocator.h"
#include "messages/messages.h"
#include "platform/console_windows.h"
#include "platform/platform.h"

namespace {

using wide_name = std::basic_string<wchar_t, std::char_traits<wchar_t>, exiting_allocator<wchar_t>>;

wide_name wide_of(const char* utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (length <= 0) return {};
  wide_name wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), length);
  wide.pop_back();  // the closing zero is the string's own
  return wide;
}

// The names the README and the manual page use for the standard streams name them here too. Returns the
// stream's descriptor, or -1 for any other name.
int standard_descriptor_named(const char* name) {
  constexpr const char* names[] = {"/dev/stdin", "/dev/stdout", "/dev/stderr"};
  for (int fd = 0; fd < 3; ++fd) {
    if (std::strcmp(name, names[fd]) == 0) return fd;
  }
  return -1;
}

// The descriptors opened as a copy of a standard stream, and which one each copies. A pipe or a console has
// no file id: it is known by the standard stream it is, so that a log read from /dev/stdout is found to be
// standard output's pipe, and an -o of /dev/stdout on a console writes through standard output itself.
std::map<int, int, std::less<int>, exiting_allocator<std::pair<const int, int>>> standard_copies;

// A handle of its own on the standard stream, not inherited: closing the log closes the copy only.
int open_standard_stream(int fd, int flags) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  HANDLE copy = nullptr;
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr ||
      !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return -1;
  }
  const int copied = _open_osfhandle(reinterpret_cast<intptr_t>(copy), flags);
  if (copied < 0) CloseHandle(copy);
  return copied;
}

// A file that took the descriptor of a closed standard stream would receive the messages meant for it. The
// descriptors below the one returned stay held until it is found.
int above_standard_descriptors(int fd) {
  if (fd < 0 || fd > 2) return fd;
  const int moved = above_standard_descriptors(_dup(fd));
  _close(fd);
  return moved;
}

FILE* open_stream(const char* name, int flags, const char* mode) {
  const int standard = standard_descriptor_named(name);
  int fd = -1;
  if (standard >= 0) {
    fd = open_standard_stream(standard, flags);
  } else if (_wsopen_s(&fd, wide_of(name).c_str(), flags | _O_NOINHERIT, _SH_DENYNO, _S_IREAD | _S_IWRITE) !=
             0) {
    fd = -1;
  }
  fd = above_standard_descriptors(fd);
  if (fd < 0) return nullptr;
  if (standard >= 0) {
    standard_copies[fd] = standard;
  } else {
    standard_copies.erase(fd);  // a descriptor number closed before may come back for another file
  }
  FILE* stream = _fdopen(fd, mode);
  if (stream == nullptr) {
    _close(fd);
    if (errno == ENOMEM) fatal("telem2kml: no memory to open '%s'\n", name);
  }
  return stream;
}

file_kind kind_of(HANDLE handle) {
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
      return FILE_KIND_REGULAR;
    case FILE_TYPE_PIPE:
      return FILE_KIND_PIPE;
    default:
      return FILE_KIND_OTHER;
  }
}

// The older query serves only where the newer one is unknown (before Windows 8) or unsupported by the file
// system: elsewhere it fails where FileIdInfo works (under wine, on inherited standard handles).
bool file_id_info_unsupported(DWORD error) {
  return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

// Stands for a standard stream where no file id does; no volume has this serial.
constexpr std::uint64_t standard_stream_volume = ~std::uint64_t{0};

const file_facts unknown_file = {false, {}, FILE_KIND_OTHER, VIEWS_ONE_VOLUME, {}};

// `standard` is the standard stream the handle is or copies, or -1. A volume and a file id say it all on
// Windows: a file shows no other volume's number, so its size and times are not asked.
file_facts facts_of_handle(HANDLE handle, int standard) {
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return unknown_file;
  const file_kind kind = kind_of(handle);
  // Only files on a disk are asked for their id: what a pipe or a console would answer is not documented.
  if (kind != FILE_KIND_REGULAR) {
    if (standard < 0) return {false, {}, kind, VIEWS_ONE_VOLUME, {}};
    return {true,
            {0, static_cast<std::uint64_t>(standard), standard_stream_volume, true},
            kind,
            VIEWS_ONE_VOLUME,
            {}};
  }
  // Volume 0 is what wine reports for a handle inherited from the parent: the volume is not known.
  FILE_ID_INFO id;
  if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
    std::uint64_t low, high;
    std::memcpy(&low, id.FileId.Identifier, sizeof low);
    std::memcpy(&high, id.FileId.Identifier + sizeof low, sizeof high);
    return {true, {high, low, id.VolumeSerialNumber, id.VolumeSerialNumber != 0}, kind, VIEWS_ONE_VOLUME, {}};
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (file_id_info_unsupported(GetLastError()) && GetFileInformationByHandle(handle, &info)) {
    const std::uint64_t index = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    return {true,
            {0, index, info.dwVolumeSerialNumber, info.dwVolumeSerialNumber != 0},
            kind,
            VIEWS_ONE_VOLUME,
            {}};
  }
  return {false, {}, kind, VIEWS_ONE_VOLUME, {}};
}

HANDLE handle_of(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

}  // namespace

file_facts facts_of(FILE* stream) {
  const int fd = _fileno(stream);
  const auto copy = standard_copies.find(fd);
  const int standard = fd <= 2 ? fd : copy != standard_copies.end() ? copy->second : -1;
  return facts_of_handle(handle_of(fd), standard);
}

file_facts facts_of_name(const char* name) {
  const int standard = standard_descriptor_named(name);
  if (standard >= 0) return facts_of_handle(handle_of(standard), standard);
  // Attributes only: no read permission is needed, and no descriptor of the C library's is spent.
  const HANDLE handle = CreateFileW(wide_of(name).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return unknown_file;
  const file_facts facts = facts_of_handle(handle, -1);
  CloseHandle(handle);
  return facts;
}

FILE* open_for_reading(const char* name) {
  return open_stream(name, _O_RDONLY | _O_BINARY, "rb");
}

FILE* open_for_writing(const char* name) {
  return open_stream(name, _O_WRONLY | _O_CREAT | _O_BINARY, "wb");
}

// A copy of standard error's handle shares its file position: cut to nothing, the file would be written at
// the old position, after as many NUL bytes, unless the stream goes back to its start.
bool empty_file(FILE* stream) {
  return _chsize_s(_fileno(stream), 0) == 0 && std::fseek(stream, 0, SEEK_SET) == 0;
}

bool write_all(FILE* stream, const char* bytes, std::size_t size) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  while (size > 0) {
    const DWORD asked = size < (DWORD{1} << 30) ? static_cast<DWORD>(size) : DWORD{1} << 30;
    DWORD written = 0;
    if (!WriteFile(handle, bytes, asked, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool is_terminal(FILE* stream) {
  DWORD mode;
  return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
}

namespace {

// A call on a closed descriptor fails with its error, as on POSIX, instead of ending the process.
void ignore_invalid_parameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {}

}  // namespace

// Text mode would turn every LF written into CR LF, and fold CR LF or stop at 0x1A in what is read (logs are
// opened in binary mode whatever their name). Windows has no signal for a file-size limit: a write past a
// quota fails and is reported as any other.
void prepare_process() {
  _set_invalid_parameter_handler(ignore_invalid_parameter);
  for (FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
  // Buffered as a C library on Linux buffers it, where a console does not read it: some C libraries (wine's)
  // would otherwise make a system call of every echoed byte and every Placemark.
  if (!is_terminal(stdout)) std::setvbuf(stdout, nullptr, _IOFBF, std::size_t{1} << 16);
  use_utf8_console();
}

// NUL takes what stdio still holds for the stream; where it cannot be opened, a closed descriptor drops it
// as well.
void discard_standard_stream(FILE* standard) {
  const int fd = _fileno(standard);
  const int null = _open("NUL", _O_WRONLY | _O_BINARY | _O_NOINHERIT);
  if (null < 0 || _dup2(null, fd) != 0) _close(fd);
  if (null >= 0) _close(null);
}

void reset_platform() {
  standard_copies.clear();
}
