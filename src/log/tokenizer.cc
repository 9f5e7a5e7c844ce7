#include "log/tokenizer.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "log/log_events.h"
#include "log/log_reader.h"
#include "messages/messages.h"
#include "platform/platform.h"

namespace {

int ignore_text(char*) {
  return 0;
}
int ignore() {
  return 0;
}

}  // namespace

const log_events null_events = {ignore_text, ignore_text, ignore, ignore};
const log_events* current_events = &null_events;
std::size_t read_block_size = default_read_block_size;
bool use_structural_lane = true;
fast_path_counts fast_paths_taken = {0, 0, 0};

void reset_tokenizer() {
  current_events = &null_events;
  read_block_size = default_read_block_size;
  use_structural_lane = true;
}

namespace {

// The padding before the buffer is zeroed once: a load that reaches into it reads no undefined bytes.
char* allocate_buffer(std::size_t capacity) {
  char* allocation = static_cast<char*>(std::malloc(log_padding + capacity + log_padding));
  if (allocation == nullptr) return nullptr;
  std::memset(allocation, 0, log_padding);
  return allocation + log_padding;
}

char* grow_buffer(char* buffer, std::size_t capacity) {
  char* allocation =
      static_cast<char*>(std::realloc(buffer - log_padding, log_padding + capacity + log_padding));
  return allocation != nullptr ? allocation + log_padding : nullptr;
}

// A terminal hands over what has been typed line by line; a block read would wait for a whole block.
std::size_t read_typed_bytes(FILE* input, char* to, std::size_t room) {
  std::size_t got = 0;
  int c;
  while (got < room && (c = std::getc(input)) != EOF) {
    to[got++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  return got;
}

}  // namespace

log_reader open_reader(FILE* input) {
  const std::size_t capacity = read_block_size;
  char* buffer = allocate_buffer(capacity);
  if (buffer == nullptr)
    fatal("telem2kml: no memory for the log buffer (%llu bytes)\n",
          static_cast<unsigned long long>(log_padding + capacity + log_padding));
  return {input, is_terminal(input), false, buffer, capacity, buffer, buffer};
}

void refill(log_reader& r) {
  const std::size_t kept = static_cast<std::size_t>(r.end - r.token);
  if (r.token != r.buffer) {
    std::memmove(r.buffer, r.token, kept);
    r.token = r.buffer;
    r.end = r.buffer + kept;
  }
  if (kept == r.capacity) {
    const std::size_t grown = r.capacity <= SIZE_MAX / 4 ? r.capacity * 2 : 0;
    char* buffer = grown != 0 ? grow_buffer(r.buffer, grown) : nullptr;
    if (buffer == nullptr)
      fatal("telem2kml: no memory for a token longer than %llu bytes\n",
            static_cast<unsigned long long>(kept));
    r.buffer = r.token = buffer;
    r.end = buffer + kept;
    r.capacity = grown;
  }
  const std::size_t room = std::min(r.capacity - kept, read_block_size);
  const std::size_t got =
      r.terminal ? read_typed_bytes(r.input, r.end, room) : std::fread(r.end, 1, room, r.input);
  if (std::ferror(r.input)) fatal("telem2kml: can't read the log: %s\n", std::strerror(errno));
  r.end += got;
  // A read that gives nothing ends the log even where the library sets neither end nor error (wine's C
  // library does so for a stream that cannot be read): waiting for more would never end.
  r.at_eof = got == 0 || std::feof(r.input) != 0;
}

void close_reader(log_reader& r) {
  std::free(r.buffer - log_padding);
  r.buffer = nullptr;
}
