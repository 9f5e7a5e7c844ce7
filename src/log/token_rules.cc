#include "log/token_rules.h"

#include <initializer_list>

namespace {

enum state : std::uint8_t {
  S_DEAD = STATE_DEAD,
  S_START = STATE_START,
  S_NAME,
  S_BLANKS,
  S_LINE_BREAKS,
  S_QUOTE,
  S_SEPARATOR,
  S_OTHER_BYTE,
  S_SIGN,       // "-"
  S_SIGN_MARK,  // "-."
  S_MARK,       // "."
  S_INTEGER_1,  // one digit
  S_INTEGER_2,  // two digits: a date-time may follow
  S_INTEGER,
  S_INTEGER_MARK,  // "12."
  S_FRACTION,
  S_EXPONENT_MARK,  // "1.5e"
  S_EXPONENT_SIGN,  // "1.5e-"
  S_EXPONENT,
  S_DATE_TIME,  // first of the states inside "dd/dd/dddd,dd:dd:dd.", one per byte read after "dd"
  S_DATE_TIME_FRACTION = S_DATE_TIME + 18,
  S_COUNT
};
static_assert(S_COUNT <= 64);

// The fixed part of a date-time after its first two digits; one or more digits follow it.
constexpr char date_time_shape[] = "/dd/dddd,dd:dd:dd.";

constexpr token_automaton make_automaton() {
  token_automaton a{};
  auto on = [&a](std::uint8_t from, std::initializer_list<byte_class> classes, std::uint8_t to) {
    for (byte_class c : classes) a.next[from][c] = to;
  };
  auto accepts = [&a](std::uint8_t s, token_rule rule) { a.outcome[s] = {rule, 0}; };
  // Until a longer match completes, a state stands for the shorter token already matched.
  auto falls_back = [&a](std::uint8_t s, token_rule rule, std::uint8_t give_back) {
    a.outcome[s] = {rule, give_back};
  };
  const auto any_mark = {CLASS_DOT, CLASS_COMMA_MARK};

  on(S_START, {CLASS_LETTER, CLASS_EXPONENT}, S_NAME);
  on(S_START, {CLASS_BLANK}, S_BLANKS);
  on(S_START, {CLASS_BREAK}, S_LINE_BREAKS);
  on(S_START, {CLASS_QUOTE}, S_QUOTE);
  on(S_START, {CLASS_SEMICOLON, CLASS_COMMA_SEPARATOR}, S_SEPARATOR);
  on(S_START, {CLASS_PLUS, CLASS_SLASH, CLASS_COLON, CLASS_OTHER}, S_OTHER_BYTE);
  on(S_START, {CLASS_MINUS}, S_SIGN);
  on(S_START, any_mark, S_MARK);
  on(S_START, {CLASS_DIGIT}, S_INTEGER_1);

  for (auto& next : a.next[S_NAME]) next = S_NAME;
  on(S_NAME, {CLASS_BLANK, CLASS_BREAK, CLASS_QUOTE, CLASS_SEMICOLON, CLASS_COMMA_SEPARATOR}, S_DEAD);
  on(S_BLANKS, {CLASS_BLANK}, S_BLANKS);
  on(S_LINE_BREAKS, {CLASS_BREAK}, S_LINE_BREAKS);

  on(S_SIGN, {CLASS_DIGIT}, S_INTEGER);
  on(S_SIGN, any_mark, S_SIGN_MARK);
  on(S_SIGN_MARK, {CLASS_DIGIT}, S_FRACTION);
  on(S_MARK, {CLASS_DIGIT}, S_FRACTION);
  on(S_INTEGER_1, {CLASS_DIGIT}, S_INTEGER_2);
  on(S_INTEGER_2, {CLASS_DIGIT}, S_INTEGER);
  on(S_INTEGER, {CLASS_DIGIT}, S_INTEGER);
  on(S_INTEGER_1, any_mark, S_INTEGER_MARK);
  on(S_INTEGER_2, any_mark, S_INTEGER_MARK);
  on(S_INTEGER, any_mark, S_INTEGER_MARK);
  on(S_INTEGER_MARK, {CLASS_DIGIT}, S_FRACTION);
  on(S_FRACTION, {CLASS_DIGIT}, S_FRACTION);
  on(S_FRACTION, {CLASS_EXPONENT}, S_EXPONENT_MARK);
  on(S_EXPONENT_MARK, {CLASS_PLUS, CLASS_MINUS}, S_EXPONENT_SIGN);
  on(S_EXPONENT_MARK, {CLASS_DIGIT}, S_EXPONENT);
  on(S_EXPONENT_SIGN, {CLASS_DIGIT}, S_EXPONENT);
  on(S_EXPONENT, {CLASS_DIGIT}, S_EXPONENT);

  std::uint8_t from = S_INTEGER_2;
  for (std::uint8_t i = 0; date_time_shape[i] != 0; ++i) {
    const std::uint8_t to = static_cast<std::uint8_t>(S_DATE_TIME + i);
    switch (date_time_shape[i]) {
      case 'd':
        on(from, {CLASS_DIGIT}, to);
        break;
      case '/':
        on(from, {CLASS_SLASH}, to);
        break;
      case ',':
        on(from, {CLASS_COMMA_SEPARATOR, CLASS_COMMA_MARK}, to);
        break;
      case ':':
        on(from, {CLASS_COLON}, to);
        break;
      case '.':
        on(from, {CLASS_DOT}, to);
        break;
    }
    falls_back(to, RULE_VALUE, static_cast<std::uint8_t>(i + 1));  // back to "dd", an integer
    from = to;
  }
  on(from, {CLASS_DIGIT}, S_DATE_TIME_FRACTION);
  on(S_DATE_TIME_FRACTION, {CLASS_DIGIT}, S_DATE_TIME_FRACTION);

  accepts(S_NAME, RULE_NAME);                  // column name
  accepts(S_BLANKS, RULE_BLANKS);              // blanks
  accepts(S_LINE_BREAKS, RULE_LINE_BREAKS);    // line breaks
  accepts(S_QUOTE, RULE_QUOTE);                // quote
  accepts(S_SEPARATOR, RULE_SEPARATOR);        // separator
  accepts(S_OTHER_BYTE, RULE_ECHO);            // any other byte
  accepts(S_INTEGER_1, RULE_VALUE);            // integer
  accepts(S_INTEGER_2, RULE_VALUE);            // integer
  accepts(S_INTEGER, RULE_VALUE);              // integer
  accepts(S_FRACTION, RULE_VALUE);             // real number
  accepts(S_EXPONENT, RULE_VALUE);             // real number with exponent
  accepts(S_DATE_TIME_FRACTION, RULE_VALUE);   // date-time
  falls_back(S_SIGN, RULE_ECHO, 0);            // "-" alone is echoed
  falls_back(S_SIGN_MARK, RULE_ECHO, 1);       // so is the "-" of "-."
  falls_back(S_MARK, RULE_ECHO, 0);            // and "." or "," without a digit
  falls_back(S_INTEGER_MARK, RULE_VALUE, 1);   // "12." is the integer 12
  falls_back(S_EXPONENT_MARK, RULE_VALUE, 1);  // "1.5e" is the real 1.5
  falls_back(S_EXPONENT_SIGN, RULE_VALUE, 2);  // "1.5e+" as well
  return a;
}

// The tokenizer keeps only the last byte of an unfinished token that hands no text; that is sound because
// such a token's states loop on themselves alone and never give bytes back.
constexpr bool tokens_without_text_keep_no_bytes(const token_automaton& a) {
  for (std::size_t s = STATE_START; s < a.outcome.size(); ++s) {
    if (!hands_no_text(a.outcome[s].rule)) continue;
    if (a.outcome[s].give_back != 0) return false;
    for (const std::uint8_t next : a.next[s]) {
      if (next != S_DEAD && next != s) return false;
    }
  }
  return true;
}
static_assert(tokens_without_text_keep_no_bytes(make_automaton()));

}  // namespace

constinit const token_automaton token_automaton_table = make_automaton();
