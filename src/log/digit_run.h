#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// Number of ASCII digits at the start of the 8 bytes at p (all 8 must be readable), found for the whole word
// at once: a byte b is a digit when b ^ '0' is below 10.
inline int digit_run_of_8(const unsigned char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  constexpr std::uint64_t ones = 0x0101010101010101;
  const std::uint64_t offset = word ^ (ones * '0');
  // High bit of a byte set when its offset is 10 or more; the mask keeps the additions from carrying.
  const std::uint64_t not_digit = (((offset & (ones * 0x7f)) + ones * (0x80 - 10)) | offset) & (ones * 0x80);
  return not_digit == 0 ? 8 : std::countr_zero(not_digit) / 8;
}
