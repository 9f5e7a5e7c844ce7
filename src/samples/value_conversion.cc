#include "samples/value_conversion.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using fast_decimal::is_digit;

std::int64_t parse_long(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;  // isspace in the C locale
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const char* const first_digit = p;
  std::uint64_t magnitude = 0;
  for (; is_digit(static_cast<unsigned char>(*p)); ++p)
    magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
  // Up to 18 digits cannot leave 64 bits. Longer runs saturate where strtoll does: the magnitude is
  // collected again and checked against the limit at every digit.
  if (p - first_digit > 18) {
    const std::uint64_t limit = negative ? std::uint64_t{INT64_MAX} + 1 : INT64_MAX;
    magnitude = 0;
    for (const char* digit = first_digit; digit != p; ++digit) {
      const unsigned value = static_cast<unsigned>(*digit - '0');
      if (magnitude > (limit - value) / 10) return negative ? INT64_MIN : INT64_MAX;
      magnitude = magnitude * 10 + value;
    }
  }
  return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

void make_commas_points(char* text) {
  for (char* c = text; *c != '\0'; ++c) {
    if (*c == ',') *c = '.';
  }
}

double parse_any_decimal(const char* text) {
#if defined(__cpp_lib_to_chars)
  double value;
  // from_chars is exact too but leaves the value untouched when it is out of range, where strtod gives
  // +-infinity or a value toward zero: strtod itself settles those rare texts.
  const auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
  if (error == std::errc::result_out_of_range) return std::strtod(text, nullptr);
  return error == std::errc{} ? value : 0.0;
#else
  // A standard library without a floating from_chars (libc++, Apple's among them): the C library's strtod,
  // correctly rounded in the C locale (glibc, Apple's libc), is the conversion itself.
  return std::strtod(text, nullptr);
#endif
}
