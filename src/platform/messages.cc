#include "platform/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The held messages, in a buffer that grows: what the options print has no fixed bound.
struct held_text {
  bool holding;
  char* bytes;
  std::size_t length;
  std::size_t capacity;
};

held_text held = {false, nullptr, 0, 0};

void make_room(std::size_t more) {
  if (held.capacity - held.length > more) return;
  std::size_t grown = held.capacity < 4096 ? 4096 : held.capacity;
  while (grown - held.length <= more) grown *= 2;
  char* bytes = static_cast<char*>(std::realloc(held.bytes, grown));
  if (bytes == nullptr)
    fatal("telem2kml: no memory to hold the messages (%llu bytes)\n", static_cast<unsigned long long>(grown));
  held.bytes = bytes;
  held.capacity = grown;
}

}  // namespace

int print_message(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length;
  if (!held.holding) {
    length = std::vprintf(format, arguments);
  } else {
    va_list measured;
    va_copy(measured, arguments);
    length = std::vsnprintf(nullptr, 0, format, measured);
    va_end(measured);
    if (length > 0) {
      const auto size = static_cast<std::size_t>(length);
      make_room(size);  // one byte more, for vsnprintf's closing zero
      std::vsnprintf(held.bytes + held.length, size + 1, format, arguments);
      held.length += size;
    }
  }
  va_end(arguments);
  return length;
}

int put_message(const char* text) {
  return print_message("%s", text);
}

void hold_messages() {
  held.holding = true;
}

void release_messages() {
  if (held.length != 0) std::fwrite(held.bytes, 1, held.length, stdout);
  drop_messages();
}

void drop_messages() {
  std::free(held.bytes);
  held = {false, nullptr, 0, 0};
}

void reset_messages() {
  drop_messages();
}

void fatal(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::exit(2);  // exit flushes what was already written
}
