#include "samples/value_conversion.h"

#include <cstdint>

#include "platform/floating_charconv.h"

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
  return exact_strtod(text);
}
