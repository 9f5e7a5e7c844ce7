#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// One rule set on the scanning engine. scan_log reads the open log to its end, reporting each token through
// current_events and echoing unmatched bytes to standard output, and returns 0. A read error or a lack of
// memory ends the process with status 2 after one line on standard error.
struct tokenizer {
  int (*scan_log)(FILE* input);
};

// Defined where the driver composes the scanning engine (scan.h) with the samples' store:
// src/driver/event_tables.cc.
extern const tokenizer dot_tokenizer;
extern const tokenizer comma_tokenizer;

constexpr std::size_t default_read_block_size = std::size_t{1} << 20;

// Bytes asked of the log per read. Tests shrink it to put block boundaries inside tokens.
extern std::size_t read_block_size;

// Whether the tokenizer runs its structural lane where the processor has one (structural_lane.h). Tests
// clear it to hold the scalar path; each run reads it once, at its start.
extern bool use_structural_lane;

void reset_tokenizer();

// A test seam: what the fast paths took since the process began, counted by the fast paths themselves on
// the path whose speed they serve, per window or per call, never per token. Nothing resets it.
struct fast_path_counts {
  std::uint64_t lane_tries;       // calls of the structural lane with a whole window before it
  std::uint64_t lane_windows;     // windows whose tokens the lane reported
  std::uint64_t fast_lane_bytes;  // bytes the scalar fast lanes took
};
extern fast_path_counts fast_paths_taken;
