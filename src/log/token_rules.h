#pragma once

#include <array>
#include <cstdint>

// The token rules as one deterministic automaton over byte classes. Both rule sets run on it: they differ
// only in which class the ',' byte belongs to.

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

extern const byte_class_table dot_byte_classes;
extern const byte_class_table comma_byte_classes;

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
