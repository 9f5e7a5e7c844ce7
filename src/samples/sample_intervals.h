#pragma once

#include <cstdint>

// Sample numbers s with begin < s < end are selected.
struct sample_interval {
  std::int32_t begin;
  std::int32_t end;
};

struct interval_list_t {
  const sample_interval* intervals;
  std::int32_t count;
};

constexpr sample_interval default_interval = {0, 1000000000};
constexpr int max_intervals = 1000;

extern interval_list_t interval_list;

void reset_intervals();

// Replaces interval_list from a "beg1-end1,beg2-end2,..." list and prints the list in force.
int parse_sample_intervals(const char* text);

bool sample_selected(std::int32_t samplenumber);
