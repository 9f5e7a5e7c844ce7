#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "log/token_rules.h"

// Plain numbers, -?[0-9]*([.,][0-9]+)? with at least one digit ("3345.072000", "-12", ".5"), make up nearly
// all of a log. The fast paths find them without the automaton and read their digits from their bounds, so
// that a value reaches its store without a terminator written after it.

// The digits of a plain number, as one integer.
struct plain_digits {
  std::uint64_t mantissa;  // every digit, the mark left out: "-12.50" gives 1250
  int fraction_digits;     // how many of them follow the mark: 2 for "-12.50"
  bool negative;
  bool read;  // false for a token longer than 16 bytes, whose digits are left to the conversions of texts
};

constexpr std::size_t plain_digits_room = 16;

// The digits of the plain number [first, last), by the portable routine; the structural lane has a vector
// twin. Reads nothing outside the token.
inline plain_digits read_plain_digits(const char* first, const char* last) {
  if (static_cast<std::size_t>(last - first) > plain_digits_room) return {0, 0, false, false};
  const bool negative = *first == '-';
  std::uint64_t mantissa = 0;
  int fraction_digits = 0;
  bool after_mark = false;
  for (const char* p = first + negative; p != last; ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit < 10) {
      mantissa = mantissa * 10 + digit;
      fraction_digits += after_mark;
    } else {
      after_mark = true;
    }
  }
  return {mantissa, fraction_digits, negative, true};
}

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

constexpr std::uint32_t decimal_marks = class_set({CLASS_DOT, CLASS_COMMA_MARK});
// What may follow the digits of a number and ends it wherever it stands: no rule goes on through it.
constexpr std::uint32_t number_ends =
    class_set({CLASS_SEMICOLON, CLASS_COMMA_SEPARATOR, CLASS_BLANK, CLASS_BREAK, CLASS_QUOTE});

// The scalar shortcut: a plain number at p followed by a separator, blank, quote or line break. Returns the
// token's end, exactly where the automaton would end it, or nullptr to leave the token to the automaton (an
// exponent, a date-time, a mark without digits, a letter after the digits, or the end of the buffer in
// reach).
inline unsigned char* match_plain_number(unsigned char* p, const unsigned char* end,
                                         const byte_class_table& classes) {
  const auto digits_from = [end](unsigned char* q) -> unsigned char* {
    for (; end - q >= 9; q += 8) {
      if (const int run = digit_run_of_8(q); run < 8) return q + run;
    }
    return nullptr;
  };
  unsigned char* const integer = p + (*p == '-');
  unsigned char* q = digits_from(integer);
  if (q == nullptr) return nullptr;
  if (in_set(decimal_marks, classes[*q])) {
    unsigned char* const fraction = q + 1;
    q = digits_from(fraction);
    if (q == nullptr || q == fraction) return nullptr;
  } else if (q == integer) {
    return nullptr;
  }
  return in_set(number_ends, classes[*q]) ? q : nullptr;
}
