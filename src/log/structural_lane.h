#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>

#include "log/token_rules.h"
#include "log/token_store.h"
#include "log/tokenizer.h"

// The structural lane finds the tokens that make up the data lines of a log (plain numbers, lone separators
// and runs of line breaks) 64 bytes at a time, with vector compares that give one bit per byte, and reports
// them exactly as the automaton would. It takes a window's tokens up to the first one it does not know (a
// name, an exponent, a date-time, a quote, a blank, any other byte) and leaves that one and the rest of the
// window to the fast lanes and the automaton. Its code is the AVX2 code of lane_avx2/ or, where the build
// has none, the twin of lane_portable/, which takes nothing; CMake picks one.

// Whether the processor runs the lane's code (AVX2 and BMI1 for lane_avx2/), found once at start-up.
extern const bool structural_lane_supported;

// Where the lane stopped: at the first token it did not take, in a window whose rest is left to the fast
// lanes and the automaton. The lane is not called again before `resume`.
struct lane_stop {
  char* token;
  char* resume;
};

// What the lane keeps between calls in one run: after a stop that took less than a window, the next stops
// hold it off for longer and longer, so that a log it seldom knows (one with blanks between its fields, say)
// costs it little.
struct lane_pace {
  int held_windows;
};

constexpr lane_pace first_lane_pace = {1};
constexpr int lane_window_size = 64;
constexpr int max_held_windows = 16;

// The lane itself, defined by the code CMake picks (its declaration there carries the code's target):
//
//   template <typename store>
//   lane_stop take_structural_lane(char* first, const char* last, comma_roles comma, bool& at_line_start,
//                                  lane_pace& pace);
//
// takes tokens from [first, last), first being a token's start, for as long as a whole window lies in the
// range, handing plain numbers and separators to a store of its own (to a table_store where the store does
// not load) and line ends to current_events, and sets at_line_start after the last token it took. The comma's
// roles are those of the log's rule set. Call it only where structural_lane_supported holds.

// The lane's twin of read_plain_digits (plain_number.h), with the same contract: read_lane_digits(first,
// last). In lane_avx2/ it reads the token with one 16-byte load ending at its last byte, so 16 bytes before
// last must be readable (the read buffer's padding sees to it); call it only where structural_lane_supported
// holds.

// A byte range, taken by compares of b - first with last - first, unsigned.
struct byte_range {
  char first;
  char last;
};

// The bytes the lane's masks are made of, compared with each byte of a window. The comma stands among the
// separators or among the marks; in the other set a byte already there takes its place.
struct lane_bytes {
  std::array<char, 2> separators;
  std::array<char, 2> line_breaks;
  std::array<char, 2> marks;
  std::array<char, 1> minus;
  byte_range digits;
  std::array<char, 3> quiet_ends;
};

constexpr lane_bytes lane_bytes_of(comma_roles comma) {
  return {
      .separators = {';', comma.separator},
      .line_breaks = {'\r', '\n'},
      .marks = {'.', comma.mark},
      .minus = {'-'},
      .digits = {.first = '0', .last = '9'},
      .quiet_ends = {' ', '\t', '"'},
  };
}

namespace lane_check {

// Whether the compares take byte b, as the vector compares do for a whole window at once.
template <std::size_t n>
constexpr bool takes(const std::array<char, n>& bytes, unsigned char b) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) == b) return true;
  }
  return false;
}

constexpr bool takes(byte_range range, unsigned char b) {
  return static_cast<unsigned char>(b - range.first) <= static_cast<unsigned char>(range.last - range.first);
}

// The lane reports what the automaton would only if each mask takes exactly the bytes of its classes.
template <typename compared_bytes>
constexpr bool takes_its_classes(const rule_set& rules, const compared_bytes& bytes,
                                 std::initializer_list<byte_class> classes) {
  for (std::size_t b = 0; b < rules.classes.size(); ++b) {
    if (takes(bytes, static_cast<unsigned char>(b)) != in_set(class_set(classes), rules.classes[b])) {
      return false;
    }
  }
  return true;
}

constexpr bool lane_follows(const rule_set& rules) {
  const lane_bytes lane = lane_bytes_of(rules.comma);
  return takes_its_classes(rules, lane.separators, {CLASS_SEMICOLON, CLASS_COMMA_SEPARATOR}) &&
         takes_its_classes(rules, lane.line_breaks, {CLASS_BREAK}) &&
         takes_its_classes(rules, lane.marks, {CLASS_DOT, CLASS_COMMA_MARK}) &&
         takes_its_classes(rules, lane.minus, {CLASS_MINUS}) &&
         takes_its_classes(rules, lane.digits, {CLASS_DIGIT}) &&
         takes_its_classes(rules, lane.quiet_ends, {CLASS_BLANK, CLASS_QUOTE});
}
static_assert(lane_follows(dot_rules));
static_assert(lane_follows(comma_rules));

}  // namespace lane_check

#include "structural_lane_code.h"  // lane_avx2/ or lane_portable/, as CMake picks
