#pragma once

#include <cstdint>
#include <cstdio>

#include "log/log_events.h"
#include "log/log_reader.h"
#include "log/plain_number.h"
#include "log/structural_lane.h"
#include "log/terminated_text.h"
#include "log/token_rules.h"
#include "log/token_store.h"
#include "log/tokenizer.h"

// The scanning engine of both rule sets: the structural lane, the fast lanes and the automaton over the read
// buffer. Its plain numbers and separators go to a store given as a template argument (token_store.h) while
// the table in force is that store's, and through the table otherwise; every other token goes through the
// table. The driver composes it with the samples' store into dot_tokenizer and comma_tokenizer.

namespace scan_engine {

// Only the last byte of a token that hands no text matters (is it LF?): a run of any length fits in one
// block.
inline void forget_all_but_last_byte(log_reader& r, std::size_t& matched) {
  if (matched < 2) return;
  r.token += matched - 1;
  matched = 1;
}

constexpr std::uint32_t lone_separators = class_set({CLASS_SEMICOLON, CLASS_COMMA_SEPARATOR});
constexpr std::uint32_t number_starts = class_set({CLASS_DIGIT, CLASS_MINUS, CLASS_DOT});

// Fast lanes for the tokens that make up nearly all of a log, plain numbers and lone separators: they go
// from token to token without the automaton, deliver exactly what it would, and stop at anything else. They
// hand them to a store of their own, whose address nothing takes, so that its position stays in registers;
// to a table_store where the store does not load. Returns whether they took any token.
template <typename store>
bool take_fast_lanes(log_reader& r, const byte_class_table& classes) {
  store values;
  if (!values.load()) return take_fast_lanes<table_store>(r, classes);
  auto* p = reinterpret_cast<unsigned char*>(r.token);
  const auto* end = reinterpret_cast<const unsigned char*>(r.end);
  while (p != end) {
    const std::uint8_t first = classes[*p];
    if (in_set(lone_separators, first)) {
      ++p;
      values.separator();
    } else if (unsigned char* last;
               in_set(number_starts, first) && (last = match_plain_number(p, end, classes))) {
      char* const text = reinterpret_cast<char*>(p);
      values.value(text, reinterpret_cast<char*>(last),
                   read_plain_digits(text, reinterpret_cast<char*>(last)));
      p = last;
    } else {
      break;
    }
  }
  values.save();
  const auto took = static_cast<std::uint64_t>(reinterpret_cast<char*>(p) - r.token);
  fast_paths_taken.fast_lane_bytes += took;
  r.token = reinterpret_cast<char*>(p);
  return took != 0;
}

}  // namespace scan_engine

template <typename store>
int scan_log_with(FILE* input, const rule_set& rules) {
  using namespace scan_engine;
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
        const lane_stop stop = take_structural_lane<store>(r.token, r.end, rules.comma, at_line_start, pace);
        r.token = stop.token;
        lane_resume = stop.resume;
      }
      if (take_fast_lanes<store>(r, classes)) at_line_start = false;
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
  close_reader(r);
  return 0;
}
