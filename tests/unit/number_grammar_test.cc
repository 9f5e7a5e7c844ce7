// One number grammar: the automaton of token_rules is the one definition of a number token, and every fast
// path (token_rules.h lists them) either takes a token exactly as the automaton does (same bounds, same
// events, same value bit for bit) or declines it. Proven over every byte string of up to five bytes of an
// alphabet holding a byte of every class that matters, in both variants, each inside a window the lane
// reads, followed by a line break and at the end of the input.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>

#include "log/log_events.h"
#include "log/log_reader.h"
#include "log/plain_number.h"
#include "log/structural_lane.h"
#include "log/token_rules.h"
#include "log/tokenizer.h"
#include "samples/value_conversion.h"

namespace {

// Digits, the signs, both marks, the separator, blanks, line breaks, the quote, the exponent's letter and
// another, NUL and a byte above 0x7F.
constexpr char alphabet[] = {'0',  '7',  '-',  '+', '.', ',', ';',  ' ',
                             '\t', '\r', '\n', '"', 'e', 'x', '\0', '\xe9'};
constexpr int alphabet_size = sizeof alphabet;
constexpr int longest_string = 6;

enum event_kind : std::uint8_t { EVENT_NAME, EVENT_VALUE, EVENT_SEPARATOR, EVENT_END_OF_LINE, EVENT_ECHO };

// Where a token stands, by its offsets in the input.
struct event {
  event_kind kind;
  int first;
  int last;
  bool operator==(const event&) const = default;
};

// The automaton's tokens of an input, each with the events of the input up to its end and at_line_start
// after it.
struct token {
  token_rule rule;
  int first;
  int last;
  int events_before_end;
  bool at_line_start_after;
};

constexpr int input_room = 160;

struct automaton_reading {
  token tokens[input_room];
  int token_count;
  event events[input_room];
  int event_count;
};

// The automaton alone: at each token the longest match, bytes given back where only a shorter prefix
// matched, as token_rules.h describes the rules.
void read_with_automaton(const char* input, int length, const byte_class_table& classes,
                         automaton_reading& out) {
  const token_automaton& automaton = token_automaton_table;
  out.token_count = 0;
  out.event_count = 0;
  bool at_line_start = true;
  for (int p = 0; p < length;) {
    std::uint8_t state = STATE_START;
    int q = p;
    for (; q < length; ++q) {
      const std::uint8_t next = automaton.next[state][classes[static_cast<unsigned char>(input[q])]];
      if (next == STATE_DEAD) break;
      state = next;
    }
    const state_outcome outcome = automaton.outcome[state];
    const int last = q - outcome.give_back;
    switch (outcome.rule) {
      case RULE_NAME:
        out.events[out.event_count++] = {EVENT_NAME, p, last};
        break;
      case RULE_BLANKS:
        if (!at_line_start) out.events[out.event_count++] = {EVENT_SEPARATOR, p, last};
        break;
      case RULE_SEPARATOR:
        out.events[out.event_count++] = {EVENT_SEPARATOR, p, last};
        break;
      case RULE_VALUE:
        out.events[out.event_count++] = {EVENT_VALUE, p, last};
        break;
      case RULE_LINE_BREAKS:
        out.events[out.event_count++] = {EVENT_END_OF_LINE, p, last};
        break;
      case RULE_QUOTE:
        break;
      case RULE_ECHO:
        out.events[out.event_count++] = {EVENT_ECHO, p, last};
        break;
    }
    at_line_start = input[last - 1] == '\n';
    out.tokens[out.token_count++] = {outcome.rule, p, last, out.event_count, at_line_start};
    p = last;
  }
}

// What the structural lane hands over, recorded by offsets from lane_input.
const char* lane_input;
event lane_events[input_room];
int lane_event_count;

struct recording_store {
  bool load() { return true; }
  void value(char* first, char* last, const plain_digits&) {
    lane_events[lane_event_count++] = {EVENT_VALUE, static_cast<int>(first - lane_input),
                                       static_cast<int>(last - lane_input)};
  }
  void separator() {
    lane_events[lane_event_count++] = {EVENT_SEPARATOR, -1, -1};  // its offsets are the automaton's to tell
  }
  void save() {}
};

int unexpected_text(char*) {
  std::abort();  // the lane hands no name, and its values go to the store
}
int unexpected() {
  std::abort();
}
int record_end_of_line() {
  lane_events[lane_event_count++] = {EVENT_END_OF_LINE, -1, -1};
  return 0;
}
const log_events lane_line_ends = {unexpected_text, unexpected_text, unexpected, record_end_of_line};

bool same_kind(const event& a, const event& b) {
  return a.kind == b.kind && (a.kind != EVENT_VALUE || (a.first == b.first && a.last == b.last));
}

std::string shown(const char* bytes, int length) {
  std::string text;
  for (int i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    char hex[8];
    std::snprintf(hex, sizeof hex, c > ' ' && c < 0x7f ? "%c" : "\\x%02x", c);
    text += hex;
  }
  return text;
}

// The conversions of one variant, each text checked once: what the program stores for a value token of an
// integer or a real column, against atol and strtod of the text with its commas made points.
struct conversions {
  bool comma = false;
  std::unordered_set<std::string> texts_checked{};
  std::unordered_set<std::string> plain_checked{};
  std::string failures{};
  int failure_count = 0;

  void fail(const std::string& what, const std::string& text) {
    if (++failure_count <= 10) failures += what + ": '" + text + "'\n";
  }

  static std::string dotted(std::string text) {
    for (char& c : text) c = c == ',' ? '.' : c;
    return text;
  }

  void check_text(const char* first, const char* last) {
    std::string text(first, last);
    if (!texts_checked.insert(text).second) return;
    const std::string expected_text = dotted(text);
    const double expected = std::strtod(expected_text.c_str(), nullptr);
    std::string rewritten = text;
    const double converted = comma ? parse_double_comma(rewritten.data()) : parse_double(text.c_str());
    if (std::bit_cast<std::uint64_t>(converted) != std::bit_cast<std::uint64_t>(expected)) {
      fail("the conversion of a text differs from strtod", text);
    }
    if (parse_long(expected_text.c_str()) != std::strtoll(expected_text.c_str(), nullptr, 10)) {
      fail("parse_long differs from atol", text);
    }
  }

  // The digits of a plain number as either routine reads them, and what the conversions make of them.
  void check_digits(const plain_digits& digits, const std::string& text, const char* routine) {
    if (!digits.read) return;
    const std::string expected_text = dotted(text);
    if (double value; double_of_plain(digits, &value) &&
                      std::bit_cast<std::uint64_t>(value) !=
                          std::bit_cast<std::uint64_t>(std::strtod(expected_text.c_str(), nullptr))) {
      fail(std::string("a real from the digits of ") + routine + " differs from strtod", text);
    }
    if (int32_of_plain(digits) !=
        static_cast<std::int32_t>(std::strtoll(expected_text.c_str(), nullptr, 10))) {
      fail(std::string("an integer from the digits of ") + routine + " differs from atol", text);
    }
  }

  void check_plain(const char* first, const char* last) {
    std::string text(first, last);
    if (!plain_checked.insert(text).second) return;
    check_digits(read_plain_digits(first, last), text, "the portable routine");
    if (structural_lane_supported) check_digits(read_lane_digits(first, last), text, "the lane");
  }
};

struct grammar_check {
  const rule_set& rules;
  conversions converted{};
  automaton_reading expected{};
  alignas(64) char buffer[log_padding + input_room + log_padding] = {};
  std::string failures{};
  int failure_count = 0;

  void fail(const std::string& what, const char* input, int length) {
    if (++failure_count <= 10) failures += what + " in '" + shown(input, length) + "'\n";
  }

  // The structural lane from the input's start: its events are the automaton's up to a token's start, where
  // it stops, and at_line_start is the automaton's there.
  void check_lane(char* input, int length) {
    lane_input = input;
    lane_event_count = 0;
    bool at_line_start = true;
    lane_pace pace = first_lane_pace;
    const lane_stop stop =
        take_structural_lane<recording_store>(input, input + length, rules.comma, at_line_start, pace);
    const int end = static_cast<int>(stop.token - input);
    if (end == 0) {
      if (lane_event_count != 0 || !at_line_start)
        fail("the lane reported tokens it did not pass", input, length);
      return;
    }
    int k = 0;
    while (k < expected.token_count && expected.tokens[k].last < end) ++k;
    if (k == expected.token_count || expected.tokens[k].last != end) {
      fail("the lane stopped inside a token", input, length);
      return;
    }
    const token& last_taken = expected.tokens[k];
    if (lane_event_count != last_taken.events_before_end || at_line_start != last_taken.at_line_start_after) {
      fail("the lane's events are not the automaton's", input, length);
      return;
    }
    for (int i = 0; i < lane_event_count; ++i) {
      if (!same_kind(lane_events[i], expected.events[i])) {
        fail("the lane's events are not the automaton's", input, length);
        return;
      }
      if (lane_events[i].kind == EVENT_VALUE) {
        converted.check_plain(input + lane_events[i].first, input + lane_events[i].last);
      }
    }
  }

  // The scalar shortcut at every token's start: the automaton's value token to its end, or nothing.
  void check_shortcut(char* input, int length) {
    for (int i = 0; i < expected.token_count; ++i) {
      const token& t = expected.tokens[i];
      auto* start = reinterpret_cast<unsigned char*>(input + t.first);
      const unsigned char* end =
          match_plain_number(start, reinterpret_cast<unsigned char*>(input + length), rules.classes);
      if (end == nullptr) continue;
      if (t.rule != RULE_VALUE || reinterpret_cast<const char*>(end) != input + t.last) {
        fail("the scalar shortcut took what the automaton does not", input, length);
        continue;
      }
      converted.check_plain(input + t.first, input + t.last);
    }
  }

  void check(const char* text, int text_length, int offset, bool line_break_after) {
    char* input = buffer + log_padding;
    const int length = line_break_after ? offset + text_length + lane_window_size + 1 : lane_window_size;
    std::memset(input, '\n', static_cast<std::size_t>(length));
    std::memcpy(input + offset, text, static_cast<std::size_t>(text_length));
    read_with_automaton(input, length, rules.classes, expected);
    for (int i = 0; i < expected.event_count; ++i) {
      if (expected.events[i].kind == EVENT_VALUE) {
        converted.check_text(input + expected.events[i].first, input + expected.events[i].last);
      }
    }
    check_shortcut(input, length);
    if (structural_lane_supported) check_lane(input, length);
  }
};

void check_every_string(const rule_set& rules, int longest) {
  const log_events* bound = current_events;
  current_events = &lane_line_ends;
  grammar_check c{.rules = rules};
  c.converted.comma = &rules == &comma_rules;
  char text[longest_string];
  std::uint64_t strings = 0;
  std::uint64_t expected_strings = 0;
  for (int length = 0; length <= longest; ++length) {
    std::uint64_t count = 1;
    for (int i = 0; i < length; ++i) count *= alphabet_size;
    expected_strings += count;
    for (std::uint64_t n = 0; n < count; ++n, ++strings) {
      std::uint64_t digits = n;
      for (int i = 0; i < length; ++i, digits /= alphabet_size) text[i] = alphabet[digits % alphabet_size];
      // At every offset of the lane's first window in turn, followed by line feeds; and as the end of the
      // input, ending with the window.
      c.check(text, length, static_cast<int>(strings % lane_window_size), true);
      c.check(text, length, lane_window_size - length, false);
    }
  }
  current_events = bound;
  EXPECT_EQ(0, c.failure_count) << c.failures;
  EXPECT_EQ(0, c.converted.failure_count) << c.converted.failures;
  EXPECT_EQ(expected_strings, strings);
}

TEST(NumberGrammar, FastPathsTakeWhatTheAutomatonTakesDotVariant) {
  check_every_string(dot_rules, 5);
}

TEST(NumberGrammar, FastPathsTakeWhatTheAutomatonTakesCommaVariant) {
  check_every_string(comma_rules, 5);
}

// Six bytes, sixteen times as many strings, under a label the default run leaves out: ctest -C long -L long.
TEST(NumberGrammar, DISABLED_FastPathsTakeWhatTheAutomatonTakesInStringsOfSixBytes) {
  check_every_string(dot_rules, 6);
  check_every_string(comma_rules, 6);
}

}  // namespace
