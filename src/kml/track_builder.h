#pragma once

#include <cstdint>

// Accepted samples so far: selected, with a finite position outside the no-fix band. Its parity picks the
// sample_ring slot being filled; it stays positive and keeps alternating however long the log.
extern std::int32_t accepted_count;

// The sample_ring slot being filled (the count is never negative); the other one holds the last accepted
// sample.
inline std::uint32_t current_slot() {
  return static_cast<std::uint32_t>(accepted_count) % 2;
}

void reset_track();

// Judges the line just read and draws a segment from the previous accepted sample when the aircraft moved.
int on_end_of_line();
