#include "samples/value_conversion.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// The powers of ten that a double holds exactly.
constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr std::uint64_t max_exact_mantissa = std::uint64_t{1} << 53;

// Short decimals, which are nearly all a log holds: with a mantissa below 2^53 and a power of ten that is
// itself exact, one multiplication or division rounds once, correctly, as strtod does (Clinger's fast path).
// Returns false where that does not hold.
bool parse_short_decimal(const char* p, double* result) {
  const bool negative = *p == '-';
  p += negative;
  std::uint64_t mantissa = 0;
  const char* const integer = p;
  for (; is_digit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  long digits = p - integer;
  long exponent = 0;
  if (*p == '.' && is_digit(p[1])) {
    const char* const fraction = ++p;
    for (; is_digit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    digits += p - fraction;
    exponent = fraction - p;
    if ((*p == 'e' || *p == 'E') && (is_digit(p[1]) || ((p[1] == '+' || p[1] == '-') && is_digit(p[2])))) {
      ++p;
      const bool negative_exponent = *p == '-';
      if (*p == '+' || *p == '-') ++p;
      long written = 0;
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

}  // namespace

long parse_long(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;  // isspace in the C locale
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const char* const first_digit = p;
  unsigned long magnitude = 0;
  for (; is_digit(*p); ++p) magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
  // Up to 18 digits cannot leave the range of long. Longer runs saturate where strtol does: the magnitude
  // is collected again, unsigned, and checked against the limit at every digit.
  if (p - first_digit > 18) {
    const unsigned long limit = negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
    magnitude = 0;
    for (const char* digit = first_digit; digit != p; ++digit) {
      const unsigned value = static_cast<unsigned>(*digit - '0');
      if (magnitude > (limit - value) / 10) return negative ? LONG_MIN : LONG_MAX;
      magnitude = magnitude * 10 + value;
    }
  }
  return negative ? static_cast<long>(0 - magnitude) : static_cast<long>(magnitude);
}

double parse_double(const char* text) {
  double value;
  if (parse_short_decimal(text, &value)) return value;
  // from_chars is exact too but leaves the value untouched when it is out of range, where strtod gives
  // +-infinity or a value toward zero: strtod itself settles those rare texts.
  const auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
  if (error == std::errc::result_out_of_range) return std::strtod(text, nullptr);
  return error == std::errc{} ? value : 0.0;
}
