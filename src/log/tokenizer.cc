#include "log/tokenizer.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "log/digit_run.h"
#include "log/log_events.h"
#include "log/structural_lane.h"
#include "log/terminated_text.h"
#include "log/token_rules.h"
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

void reset_tokenizer() {
  current_events = &null_events;
  read_block_size = default_read_block_size;
  use_structural_lane = true;
}

namespace {

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
  if (buffer == nullptr)
    fatal("telem2kml: no memory for the log buffer (%llu bytes)\n",
          static_cast<unsigned long long>(capacity + 1));
  return {input, is_terminal(input), false, buffer, capacity, buffer, buffer};
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

// Only the last byte of a token that hands no text matters (is it LF?): a run of any length fits in one
// block.
void forget_all_but_last_byte(log_reader& r, std::size_t& matched) {
  if (matched < 2) return;
  r.token += matched - 1;
  matched = 1;
}

constexpr std::uint32_t lone_separators = class_set({CLASS_SEMICOLON, CLASS_COMMA_SEPARATOR});
constexpr std::uint32_t number_starts = class_set({CLASS_DIGIT, CLASS_MINUS, CLASS_DOT});
constexpr std::uint32_t decimal_marks = class_set({CLASS_DOT, CLASS_COMMA_MARK});
// What may follow the digits of a number and ends it wherever it stands: no rule goes on through it.
constexpr std::uint32_t number_ends =
    class_set({CLASS_SEMICOLON, CLASS_COMMA_SEPARATOR, CLASS_BLANK, CLASS_BREAK, CLASS_QUOTE});

// A plain number ("3345.072000", "-12", ".5") followed by a separator, blank, quote or line break. Returns
// the token's end, exactly where the automaton would end it, or nullptr to leave the token to the automaton
// (an exponent, a date-time, a mark without digits, a letter after the digits, or the end of the buffer in
// reach).
unsigned char* match_plain_number(unsigned char* p, const unsigned char* end,
                                  const byte_class_table& classes) {
  const auto digits_from = [end](unsigned char* q) -> unsigned char* {
    for (; end - q >= 9; q += 8) {
      if (const int run = digit_run_of_8(q); run < 8) return q + run;
    }
    return nullptr;
  };
  unsigned char* const integer = p + (*p == '-');
  unsigned char* q = digits_from(integer);
  if (q == nullptr) return nullptr;
  if (in_set(decimal_marks, classes[*q])) {
    unsigned char* const fraction = q + 1;
    q = digits_from(fraction);
    if (q == nullptr || q == fraction) return nullptr;
  } else if (q == integer) {
    return nullptr;
  }
  return in_set(number_ends, classes[*q]) ? q : nullptr;
}

// Fast lanes for the tokens that make up nearly all of a log, plain numbers and lone separators: they go
// from token to token without the automaton, deliver exactly what it would, and stop at anything else.
// Returns whether they took any token.
bool take_fast_lanes(log_reader& r, const byte_class_table& classes) {
  auto* p = reinterpret_cast<unsigned char*>(r.token);
  const auto* end = reinterpret_cast<const unsigned char*>(r.end);
  while (p != end) {
    const std::uint8_t first = classes[*p];
    if (in_set(lone_separators, first)) {
      ++p;
      current_events->on_separator();
    } else if (unsigned char* last;
               in_set(number_starts, first) && (last = match_plain_number(p, end, classes))) {
      with_terminated_text(current_events->on_value, reinterpret_cast<char*>(p),
                           reinterpret_cast<char*>(last));
      p = last;
    } else {
      break;
    }
  }
  const bool took = reinterpret_cast<char*>(p) != r.token;
  r.token = reinterpret_cast<char*>(p);
  return took;
}

int scan_log_with(FILE* input, const rule_set& rules) {
  const byte_class_table& classes = rules.classes;
  const token_automaton& automaton = token_automaton_table;
  log_reader r = open_reader(input);
  const bool structural_lane = use_structural_lane && structural_lane_supported;
  lane_pace pace = first_lane_pace;
  char* lane_resume = r.buffer;
  bool at_line_start = true;
  // The automaton's progress through the current token; kept across a refill, so no byte is read twice.
  std::uint8_t state = STATE_START;
  std::size_t matched = 0;
  for (;;) {
    if (matched == 0) {
      if (structural_lane && r.token >= lane_resume) {
        const lane_stop stop = take_structural_lane(r.token, r.end, rules.comma, at_line_start, pace);
        r.token = stop.token;
        lane_resume = stop.resume;
      }
      if (take_fast_lanes(r, classes)) at_line_start = false;
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
      if (hands_no_text(automaton.outcome[state].rule)) forget_all_but_last_byte(r, matched);
      refill(r);
      lane_resume = r.buffer;  // the bytes have moved
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
      case RULE_ECHO:  // the byte as it is, in stdio's order with the messages: no format to go through
        std::fwrite(first, 1, 1, stdout);
        break;
    }
  }
  std::free(r.buffer);
  return 0;
}

int scan_dot_log(FILE* input) {
  return scan_log_with(input, dot_rules);
}
int scan_comma_log(FILE* input) {
  return scan_log_with(input, comma_rules);
}

}  // namespace

const tokenizer dot_tokenizer = {scan_dot_log};
const tokenizer comma_tokenizer = {scan_comma_log};
