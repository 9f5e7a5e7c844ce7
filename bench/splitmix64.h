#pragma once

#include <cstdint>

// splitmix64: every step is fixed, so a seed gives the same numbers on every platform, unlike the standard
// library's distributions. The log generator and the tokenizer's property tests draw from it; the example
// logs depend on its exact sequence.
struct splitmix64 {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
    z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
    return z ^ (z >> 31);
  }
};
