#include "platform/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The held messages, in a buffer that grows: what the options print has no fixed bound.
struct held_text {
  bool holding;
  char* bytes;
  std::size_t length;
  std::size_t capacity;
};

held_text held = {false, nullptr, 0, 0};

// Room for `more` bytes and vsnprintf's closing zero at the end of the held messages.
char* held_room(std::size_t more) {
  if (held.capacity - held.length <= more) {
    std::size_t grown = held.capacity < 4096 ? 4096 : held.capacity;
    while (grown - held.length <= more) grown *= 2;
    char* bytes = static_cast<char*>(std::realloc(held.bytes, grown));
    if (bytes == nullptr)
      fatal("telem2kml: no memory to hold the messages (%llu bytes)\n",
            static_cast<unsigned long long>(grown));
    held.bytes = bytes;
    held.capacity = grown;
  }
  return held.bytes + held.length;
}

}  // namespace

// Formatted here and written with fwrite, held or not: standard output is then buffered alike everywhere,
// where some C libraries' printf (MinGW's) flushes standard output after every call.
int print_message(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list measured;
  va_copy(measured, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measured);
  va_end(measured);
  if (length > 0 && held.holding) {
    const auto size = static_cast<std::size_t>(length);
    std::vsnprintf(held_room(size), size + 1, format, arguments);
    held.length += size;
  } else if (length > 0) {
    const auto size = static_cast<std::size_t>(length);
    char line[256];
    std::string longer(size < sizeof line ? 0 : size, '\0');
    char* text = size < sizeof line ? line : longer.data();
    std::vsnprintf(text, size + 1, format, arguments);
    std::fwrite(text, 1, size, stdout);
  }
  va_end(arguments);
  return length;
}

void hold_messages() {
  held.holding = true;
}

void release_messages() {
  if (held.length != 0) std::fwrite(held.bytes, 1, held.length, stdout);
  reset_messages();
}

void reset_messages() {
  std::free(held.bytes);
  held = {false, nullptr, 0, 0};
}

void fatal(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::exit(2);  // exit flushes what was already written
}
