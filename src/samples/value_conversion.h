#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "log/plain_number.h"

// Number conversions with the C library's results and without its cost.

// Exactly glibc's atol with the 64-bit long of Linux, on every platform (strtoll base 10): leading white
// space, an optional sign, the longest run of digits; a value beyond 64 bits saturates to INT64_MAX or
// INT64_MIN. Any text.
std::int64_t parse_long(const char* text);

// What parse_double does with the texts its fast path leaves: exactly strtod(text, nullptr).
double parse_any_decimal(const char* text);

// Turns every ',' of the text into '.', in place.
void make_commas_points(char* text);

namespace fast_decimal {

inline bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}

// The powers of ten that a double holds exactly.
inline constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline constexpr std::uint64_t max_exact_mantissa = std::uint64_t{1} << 53;

// Short decimals, which are nearly all a log holds: with a mantissa below 2^53 and a power of ten that is
// itself exact, one multiplication or division rounds once, correctly, as strtod does (Clinger's fast path).
// Returns false where that does not hold.
// `point` is the decimal mark besides '.' that the text may use ('.' itself when there is no other).
inline bool parse_short_decimal(const char* text, char point, double* result) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const bool negative = *p == '-';
  p += negative;
  std::uint64_t mantissa = 0;
  const unsigned char* const integer = p;
  for (unsigned digit; (digit = *p - unsigned{'0'}) < 10; ++p) mantissa = mantissa * 10 + digit;
  std::ptrdiff_t digits = p - integer;
  std::ptrdiff_t exponent = 0;
  if ((*p == '.' || *p == static_cast<unsigned char>(point)) && is_digit(p[1])) {
    const unsigned char* const fraction = ++p;
    for (unsigned digit; (digit = *p - unsigned{'0'}) < 10; ++p) mantissa = mantissa * 10 + digit;
    digits += p - fraction;
    exponent = fraction - p;
    if ((*p == 'e' || *p == 'E') && (is_digit(p[1]) || ((p[1] == '+' || p[1] == '-') && is_digit(p[2])))) {
      ++p;
      const bool negative_exponent = *p == '-';
      if (*p == '+' || *p == '-') ++p;
      std::ptrdiff_t written = 0;
      for (; is_digit(*p); ++p) {
        if (written > 1000) return false;
        written = written * 10 + (*p - '0');
      }
      exponent += negative_exponent ? -written : written;
    }
  }
  if (digits > 19 || mantissa > max_exact_mantissa || exponent < -22 || exponent > 22) return false;
  double value = static_cast<double>(mantissa);
  value = exponent < 0 ? value / exact_powers_of_ten[-exponent] : value * exact_powers_of_ten[exponent];
  *result = negative ? -value : value;
  return true;
}

// Every power of ten a plain number's digits may be divided by.
inline constexpr std::array<std::uint64_t, plain_digits_room + 1> integer_powers_of_ten = [] {
  std::array<std::uint64_t, plain_digits_room + 1> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& p : powers) {
    p = power;
    power *= 10;
  }
  return powers;
}();

}  // namespace fast_decimal

// Exactly strtod of a plain number's text, from the digits a fast path read: a mantissa of at most 2^53
// divided by an exact power of ten (at most 10^16 here) rounds once, correctly (Clinger's fast path, which
// holds where doubles round to nearest, as they do unless a program says otherwise). Returns false where
// that does not hold, or where the digits were not read.
inline bool double_of_plain(const plain_digits& digits, double* result) {
  if (!digits.read || digits.mantissa > fast_decimal::max_exact_mantissa) return false;
  const double value =
      static_cast<double>(digits.mantissa) / fast_decimal::exact_powers_of_ten[digits.fraction_digits];
  *result = digits.negative ? -value : value;
  return true;
}

// Exactly atol of a plain number's text kept to 32 bits, from digits that were read: the digits before the
// mark, at most 16, which no 64-bit long overflows.
inline std::int32_t int32_of_plain(const plain_digits& digits) {
  const std::uint64_t integer =
      digits.fraction_digits == 0
          ? digits.mantissa
          : digits.mantissa /
                fast_decimal::integer_powers_of_ten[static_cast<std::size_t>(digits.fraction_digits)];
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(digits.negative ? 0 - integer : integer));
}

// Exactly strtod(text, nullptr) in the C locale for the text of a value token: an integer, a real number
// (optional '-', digits, '.', digits, exponent) or a date-time, whose first number is all that is read.
// Overflow gives +-infinity and underflow a value toward zero, as strtod does. Inline, since it runs for
// nearly every field of a log.
inline double parse_double(const char* text) {
  double value;
  return fast_decimal::parse_short_decimal(text, '.', &value) ? value : parse_any_decimal(text);
}

// Exactly parse_double of the text with every ',' made a '.': the decimal-comma logs' conversion. Only the
// rare texts that leave the fast path are changed in place; writing the others first would make the reads
// that follow wait for the writes.
inline double parse_double_comma(char* text) {
  double value;
  if (fast_decimal::parse_short_decimal(text, ',', &value)) return value;
  make_commas_points(text);
  return parse_any_decimal(text);
}
