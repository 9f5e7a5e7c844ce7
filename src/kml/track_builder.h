#pragma once

#include <cstdint>

// Accepted samples so far: selected, with a finite position outside the no-fix band. Its parity picks the
// sample_ring slot being filled; it stays positive and keeps alternating however long the log.
extern std::int32_t accepted_count;

void reset_track();

// Judges the line just read and draws a segment from the previous accepted sample when the aircraft moved.
int on_end_of_line();
