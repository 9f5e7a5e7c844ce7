#pragma once

#include "log/token_rules.h"

// The structural lane finds the tokens that make up the data lines of a log (plain numbers, lone separators
// and runs of line breaks) 64 bytes at a time, with AVX2 compares that give one bit per byte, and reports
// them exactly as the automaton would. It takes a window's tokens up to the first one it does not know (a
// name, an exponent, a date-time, a quote, a blank, any other byte) and leaves that one and the rest of the
// window to the fast lanes and the automaton.

// Whether the processor has AVX2 and BMI1, found once at start-up; false where the lane is not built.
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

// Takes tokens from [first, last), first being a token's start, for as long as a whole window lies in the
// range, reporting each through current_events, and sets at_line_start after the last token it took. The
// comma's roles are those of the log's rule set. Call it only where structural_lane_supported holds.
lane_stop take_structural_lane(char* first, const char* last, comma_roles comma, bool& at_line_start,
                               lane_pace& pace);
