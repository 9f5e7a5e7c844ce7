#include "log/tokenizer.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "log/digit_run.h"
#include "log/log_events.h"
#include "log/token_rules.h"

const log_events* current_events = &null_events;
std::size_t read_block_size = default_read_block_size;

void reset_tokenizer() {
  current_events = &null_events;
  read_block_size = default_read_block_size;
}

namespace {

[[noreturn]] void fatal(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::exit(2);  // exit flushes what was already written
}

// The unconsumed input is [token, end). One byte more than capacity is allocated, so that a token ending at
// the end of the buffer can still be followed by its terminating zero.
struct log_reader {
  FILE* input;
  bool terminal;
  bool at_eof;
  char* buffer;
  std::size_t capacity;
  char* token;
  char* end;
};

log_reader open_reader(FILE* input) {
  const std::size_t capacity = read_block_size;
  char* buffer = static_cast<char*>(std::malloc(capacity + 1));
  if (buffer == nullptr) fatal("telem2kml: no memory for the log buffer (%zu bytes)\n", capacity + 1);
  return {input, isatty(fileno(input)) != 0, false, buffer, capacity, buffer, buffer};
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

// Keeps the unfinished token, growing the buffer when the token fills it, and reads the next block after it.
void refill(log_reader& r) {
  const std::size_t kept = static_cast<std::size_t>(r.end - r.token);
  if (r.token != r.buffer) {
    std::memmove(r.buffer, r.token, kept);
    r.token = r.buffer;
    r.end = r.buffer + kept;
  }
  if (kept == r.capacity) {
    const std::size_t grown = r.capacity <= SIZE_MAX / 4 ? r.capacity * 2 : 0;
    char* buffer = grown != 0 ? static_cast<char*>(std::realloc(r.buffer, grown + 1)) : nullptr;
    if (buffer == nullptr) fatal("telem2kml: no memory for a token longer than %zu bytes\n", kept);
    r.buffer = r.token = buffer;
    r.end = buffer + kept;
    r.capacity = grown;
  }
  const std::size_t room = std::min(r.capacity - kept, read_block_size);
  const std::size_t got =
      r.terminal ? read_typed_bytes(r.input, r.end, room) : std::fread(r.end, 1, room, r.input);
  if (std::ferror(r.input)) fatal("telem2kml: can't read the log: %s\n", std::strerror(errno));
  r.end += got;
  r.at_eof = std::feof(r.input) != 0;
}

// The operations take zero-terminated texts, but a token lies in the middle of the read buffer: cover the
// byte after it with a zero for the time of the call, then put that byte back.
void with_terminated_text(int (*operation)(char*), char* first, char* last) {
  const char covered = *last;
  *last = '\0';
  operation(first);
  *last = covered;
}

// The bytes after the digits of a plain number that end the token wherever they stand: no rule lets a
// number go on through them.
constexpr bool ends_number(std::uint8_t byte_class) {
  return byte_class == CLASS_SEMICOLON || byte_class == CLASS_COMMA_SEPARATOR || byte_class == CLASS_BLANK ||
         byte_class == CLASS_BREAK || byte_class == CLASS_QUOTE;
}

// A fast lane for the token that makes up most of a log: a plain number ("3345.072000", "-12", ".5")
// followed by a separator, blank, quote or line break. Returns the token's end, exactly where the automaton
// would end it, or nullptr to leave the token to the automaton (an exponent, a date-time, a mark without
// digits, a letter after the digits, or the end of the buffer in reach).
const unsigned char* match_plain_number(const unsigned char* p, const unsigned char* end,
                                        const byte_class_table& classes) {
  const auto digits_from = [end](const unsigned char* q) -> const unsigned char* {
    for (; end - q >= 9; q += 8) {
      if (const int run = digit_run_of_8(q); run < 8) return q + run;
    }
    return nullptr;
  };
  const unsigned char* q = p + (*p == '-');
  const unsigned char* integer_end = digits_from(q);
  if (integer_end == nullptr) return nullptr;
  q = integer_end;
  if (const std::uint8_t mark = classes[*q]; mark == CLASS_DOT || mark == CLASS_COMMA_MARK) {
    q = digits_from(q + 1);
    if (q == nullptr || q == integer_end + 1) return nullptr;
  } else if (q == p + (*p == '-')) {
    return nullptr;
  }
  return ends_number(classes[*q]) ? q : nullptr;
}

// Fast lanes for the two tokens that make up nearly all of a log, a lone separator and a plain number. Each
// delivers exactly what the automaton would and leaves every other token to it. Returns whether it took one.
bool take_fast_lane(log_reader& r, const byte_class_table& classes) {
  if (r.token == r.end) return false;
  const auto* first = reinterpret_cast<const unsigned char*>(r.token);
  switch (classes[*first]) {
    case CLASS_SEMICOLON:
    case CLASS_COMMA_SEPARATOR:
      ++r.token;
      current_events->on_separator();
      return true;
    case CLASS_DIGIT:
    case CLASS_MINUS:
    case CLASS_DOT:
      if (const auto* last =
              match_plain_number(first, reinterpret_cast<const unsigned char*>(r.end), classes)) {
        char* text = r.token;
        r.token += last - first;
        with_terminated_text(current_events->on_value, text, r.token);
        return true;
      }
      return false;
    default:
      return false;
  }
}

int scan_log_with(FILE* input, const byte_class_table& classes) {
  const token_automaton& automaton = token_automaton_table;
  log_reader r = open_reader(input);
  bool at_line_start = true;
  // The automaton's progress through the current token; kept across a refill, so no byte is read twice.
  std::uint8_t state = STATE_START;
  std::size_t matched = 0;
  for (;;) {
    if (matched == 0 && take_fast_lane(r, classes)) {
      at_line_start = false;
      continue;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(r.token) + matched;
    const auto* end = reinterpret_cast<const unsigned char*>(r.end);
    while (p != end) {
      const std::uint8_t next = automaton.next[state][classes[*p]];
      if (next == STATE_DEAD) break;
      state = next;
      ++p;
    }
    matched = static_cast<std::size_t>(reinterpret_cast<const char*>(p) - r.token);
    if (p == end && !r.at_eof) {  // the token may go on in the next block
      refill(r);
      continue;
    }
    if (matched == 0) break;  // the input is exhausted
    const state_outcome outcome = automaton.outcome[state];
    char* first = r.token;
    char* last = r.token + matched - outcome.give_back;
    r.token = last;
    state = STATE_START;
    matched = 0;
    const bool blanks_begin_line = at_line_start;
    at_line_start = last[-1] == '\n';
    switch (outcome.rule) {
      case RULE_NAME:
        with_terminated_text(current_events->on_column_name, first, last);
        break;
      case RULE_BLANKS:
        if (!blanks_begin_line) current_events->on_separator();
        break;
      case RULE_SEPARATOR:
        current_events->on_separator();
        break;
      case RULE_VALUE:
        with_terminated_text(current_events->on_value, first, last);
        break;
      case RULE_LINE_BREAKS:
        current_events->on_end_of_line();
        break;
      case RULE_QUOTE:
        break;
      case RULE_ECHO:
        std::fwrite(first, 1, 1, stdout);
        break;
    }
  }
  std::free(r.buffer);
  return 0;
}

int scan_dot_log(FILE* input) {
  return scan_log_with(input, dot_byte_classes);
}
int scan_comma_log(FILE* input) {
  return scan_log_with(input, comma_byte_classes);
}

}  // namespace

const tokenizer dot_tokenizer = {scan_dot_log};
const tokenizer comma_tokenizer = {scan_comma_log};
