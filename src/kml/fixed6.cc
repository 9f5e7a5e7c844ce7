#include "kml/fixed6.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "platform/floating_charconv.h"

namespace {

__extension__ typedef unsigned __int128 uint128;

constexpr std::uint64_t million = 1000000;

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes n, below 10^6, as exactly six digits, two at a time.
char* write_six_digits(char* out, std::uint32_t n) {
  const std::uint32_t low_four = n % 10000;
  std::memcpy(out, digit_pairs + 2 * (n / 10000), 2);
  std::memcpy(out + 2, digit_pairs + 2 * (low_four / 100), 2);
  std::memcpy(out + 4, digit_pairs + 2 * (low_four % 100), 2);
  return out + 6;
}

// The whole degrees and metres of a track have one to three digits.
char* write_unsigned(char* out, std::uint64_t n) {
  if (n >= 1000) return std::to_chars(out, out + 20, n).ptr;
  if (n >= 100) {
    *out++ = static_cast<char>('0' + n / 100);
    n %= 100;
  } else if (n < 10) {
    *out = static_cast<char>('0' + n);
    return out + 1;
  }
  std::memcpy(out, digit_pairs + 2 * n, 2);
  return out + 2;
}

// As glibc writes them, "-nan" included, where other libraries write "nan", "-nan(ind)" or "-1.#IND00".
char* write_not_finite(char* out, bool negative, bool nan) {
  if (negative) *out++ = '-';
  std::memcpy(out, nan ? "nan" : "inf", 3);
  return out + 3;
}

}  // namespace

char* format_fixed6(char* out, double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const int biased_exponent = static_cast<int>(bits >> 52 & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased_exponent == 0x7ff) return write_not_finite(out, bits >> 63 != 0, fraction != 0);
  // Values of 2^44 and more (their millionths overflow 64 bits) are rare in a track: an exact conversion of
  // the library, printf's own or one specified as printf's, serves them.
  if (biased_exponent >= 1023 + 44) return exact_fixed6(out, fixed6_max_length, value);
  const std::uint64_t mantissa = biased_exponent == 0 ? fraction : fraction | std::uint64_t{1} << 52;
  const int shift = biased_exponent == 0 ? 1074 : 1075 - biased_exponent;  // |value| = mantissa / 2^shift

  // millionths = round-half-even(mantissa * 10^6 / 2^shift), exact in 128 bits: the product is below 2^73.
  std::uint64_t millionths = 0;
  if (shift < 80) {
    // Adding half rounds halves up; an exact half that went up to an odd number goes back to even.
    const uint128 rounded =
        static_cast<uint128>(mantissa) * million + (static_cast<uint128>(1) << (shift - 1));
    millionths = static_cast<std::uint64_t>(rounded >> shift);
    const bool exact_half = (rounded & ((static_cast<uint128>(1) << shift) - 1)) == 0;
    millionths -= exact_half && (millionths & 1) != 0;
  }  // else the value is below 2^-26, far under half a millionth

  if (bits >> 63) *out++ = '-';
  out = write_unsigned(out, millionths / million);
  *out++ = '.';
  return write_six_digits(out, static_cast<std::uint32_t>(millionths % million));
}
