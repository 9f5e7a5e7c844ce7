#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

// The token rules as one deterministic automaton over byte classes. Both rule sets run on it: they differ
// only in which class the ',' byte belongs to.
//
// The automaton is the one definition of every token, numbers included. The fast paths below judge some
// tokens themselves; each takes a token exactly as the automaton does (same bounds, same events, same value
// bit for bit) or leaves it, which tests/unit/number_grammar_test.cc proves over every short string. A change
// to the rules must reach each of them:
//   - the scalar shortcut: match_plain_number (plain_number.h), and the lone separators of take_fast_lanes
//     (scan.h);
//   - the structural lane: lane_bytes_of (structural_lane.h, checked against the classes when built) and the
//     masks of number_faults and plan_window (lane_avx2/structural_lane_code.h);
//   - the digit readings of plain numbers, read_plain_digits (plain_number.h) and read_lane_digits, with the
//     conversions from them, double_of_plain and int32_of_plain (samples/value_conversion.h);
//   - the short-decimal parser of value texts, parse_short_decimal (samples/value_conversion.h).

enum token_rule : std::uint8_t {
  RULE_NAME,         // [A-Za-z][^ \t\r\n",;]*   (comma variant: ',' belongs to the name)
  RULE_BLANKS,       // [ \t]+, nothing at a line start, a separator elsewhere
  RULE_SEPARATOR,    // [,;]                     (comma variant: ';' only)
  RULE_VALUE,        // real number, integer or date-time
  RULE_LINE_BREAKS,  // [\r\n]+
  RULE_QUOTE,        // ", dropped
  RULE_ECHO,         // any other single byte
};

enum byte_class : std::uint8_t {
  CLASS_LETTER,
  CLASS_EXPONENT,  // e E: a letter that also marks an exponent
  CLASS_DIGIT,
  CLASS_BLANK,
  CLASS_BREAK,  // CR LF
  CLASS_QUOTE,
  CLASS_PLUS,
  CLASS_MINUS,
  CLASS_DOT,
  CLASS_SLASH,
  CLASS_COLON,
  CLASS_SEMICOLON,
  CLASS_COMMA_SEPARATOR,  // ',' of the decimal-dot rules
  CLASS_COMMA_MARK,       // ',' of the decimal-comma rules
  CLASS_OTHER,
  CLASS_COUNT
};

using byte_class_table = std::array<std::uint8_t, 256>;

constexpr byte_class_table make_byte_classes(std::uint8_t comma_class) {
  byte_class_table classes{};
  for (auto& c : classes) c = CLASS_OTHER;  // NUL, controls, other punctuation, bytes above 0x7F
  for (std::size_t c = 'A'; c <= 'Z'; ++c) classes[c] = classes[c + ('a' - 'A')] = CLASS_LETTER;
  classes['e'] = classes['E'] = CLASS_EXPONENT;
  for (std::size_t c = '0'; c <= '9'; ++c) classes[c] = CLASS_DIGIT;
  classes[' '] = classes['\t'] = CLASS_BLANK;
  classes['\r'] = classes['\n'] = CLASS_BREAK;
  classes['"'] = CLASS_QUOTE;
  classes['+'] = CLASS_PLUS;
  classes['-'] = CLASS_MINUS;
  classes['.'] = CLASS_DOT;
  classes['/'] = CLASS_SLASH;
  classes[':'] = CLASS_COLON;
  classes[';'] = CLASS_SEMICOLON;
  classes[','] = comma_class;
  return classes;
}

// Where ',' stands in a rule set, for code that compares bytes instead of reading their classes (the
// structural lane): each role is ',' where the comma plays it, else a byte that always plays it.
struct comma_roles {
  char separator;  // ',' in the decimal-dot rules, else ';'
  char mark;       // ',' in the decimal-comma rules, else '.'
};

// One rule set: the class of every byte, and the comma's roles, which must agree with the class of ','.
struct rule_set {
  byte_class_table classes;
  comma_roles comma;
};

inline constexpr rule_set dot_rules = {
    .classes = make_byte_classes(CLASS_COMMA_SEPARATOR),
    .comma = {.separator = ',', .mark = '.'},
};
inline constexpr rule_set comma_rules = {
    .classes = make_byte_classes(CLASS_COMMA_MARK),
    .comma = {.separator = ';', .mark = ','},
};

// A set of byte classes, one bit per class, so that a byte's class is tested against several at once.
constexpr std::uint32_t class_set(std::initializer_list<byte_class> classes) {
  std::uint32_t set = 0;
  for (byte_class c : classes) set |= std::uint32_t{1} << c;
  return set;
}

constexpr bool in_set(std::uint32_t set, std::uint8_t byte_class) {
  return (set >> byte_class & 1) != 0;
}

// A run of blanks or line breaks reaches no operation as text: only whether its last byte is LF matters.
constexpr bool hands_no_text(token_rule rule) {
  return rule == RULE_BLANKS || rule == RULE_LINE_BREAKS;
}

// State 0 is the dead state; matching starts in STATE_START.
enum : std::uint8_t { STATE_DEAD = 0, STATE_START = 1 };

// What a token is when the automaton stops in a state: its rule, and how many of the bytes read must be given
// back because only a shorter prefix matched (the "1" of "1.", the "21" of "21/03/").
struct state_outcome {
  token_rule rule;
  std::uint8_t give_back;
};

struct token_automaton {
  std::array<std::array<std::uint8_t, CLASS_COUNT>, 64> next;
  std::array<state_outcome, 64> outcome;
};

extern const token_automaton token_automaton_table;
