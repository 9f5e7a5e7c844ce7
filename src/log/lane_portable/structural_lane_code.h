#pragma once

// The structural lane where the build has no vector code for it: it takes nothing, and every token goes to
// the fast lanes and the automaton. Included by structural_lane.h.

template <typename store>
lane_stop take_structural_lane(char* first, const char*, comma_roles, bool&, lane_pace&) {
  return {first, first};
}

// The lane's digit reading: here the portable routine itself.
inline plain_digits read_lane_digits(const char* first, const char* last) {
  return read_plain_digits(first, last);
}
