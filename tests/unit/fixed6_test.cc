#include "kml/fixed6.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>

// format_fixed6 must give the very bytes of glibc's snprintf("%.6f") (the program never calls setlocale, so
// the C locale applies). The tables hold the text printf gives, checked against both; the sweeps compare
// millions of values with snprintf directly.

namespace {

struct printed_case {
  double value;
  const char* text;
};

const double two44 = std::ldexp(1.0, 44);  // where format_fixed6 hands over to std::to_chars
const double two43 = std::ldexp(1.0, 43);
const double two45 = std::ldexp(1.0, 45);
const double two53 = std::ldexp(1.0, 53);
const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

// What glibc's printf("%.6f") prints: the platform's printf, except for NaN, which other C libraries print
// without its sign.
std::string with_printf(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  char text[fixed6_max_length + 16];
  const int length = std::snprintf(text, sizeof text, "%.6f", value);
  return std::string(text, static_cast<std::size_t>(length));
}

// The formatted text; fails if format_fixed6 writes past the end it returns.
std::string with_fixed6(double value) {
  char text[fixed6_max_length + 1];
  std::memset(text, '#', sizeof text);
  char* end = format_fixed6(text, value);
  EXPECT_EQ(text[end - text], '#') << "written past the returned end";
  return std::string(text, static_cast<std::size_t>(end - text));
}

template <std::size_t N>
void expect_printed(const printed_case (&cases)[N]) {
  for (const printed_case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(with_printf(c.value), c.text);
    EXPECT_EQ(with_fixed6(c.value), c.text);
  }
}

void expect_like_printf(double value) {
  EXPECT_EQ(with_fixed6(value), with_printf(value)) << value;
}

TEST(Fixed6, TrackExamples) {
  expect_printed({
      {2250.25 / 60, "37.504167"},  // longitude 2250.25 minutes
      {3330.5 / 60, "55.508333"},   // latitude 3330.5 minutes
      {150.5, "150.500000"},        // altitude
      {-60.0 / 60, "-1.000000"},
      {-2250.25 / 60, "-37.504167"},
      {-3330.5 / 60, "-55.508333"},
      {0.0, "0.000000"},
      {1.0, "1.000000"},
  });
}

TEST(Fixed6, NegativeValuesRoundingToZeroKeepTheSign) {
  expect_printed({
      {-0.0, "-0.000000"},
      {-4e-7, "-0.000000"},
      {-5e-7, "-0.000000"},  // the double is a little under 5e-7
      {5e-7, "0.000000"},
      {std::nextafter(5e-7, 1.0), "0.000001"},
      {-DBL_MIN, "-0.000000"},
      {-DBL_TRUE_MIN, "-0.000000"},
      {-1e-300, "-0.000000"},
  });
}

// A double ends in exactly 5 at the seventh decimal only if its fraction is an odd multiple of 1/128.
TEST(Fixed6, HalfwayRoundsToEven) {
  expect_printed({
      {1.0 / 128, "0.007812"},
      {3.0 / 128, "0.023438"},
      {5.0 / 128, "0.039062"},
      {7.0 / 128, "0.054688"},
      {127.0 / 128, "0.992188"},
      {1 + 1.0 / 128, "1.007812"},
      {-1.0 / 128, "-0.007812"},
      {-3.0 / 128, "-0.023438"},
      {1e6 + 1.0 / 128, "1000000.007812"},
      {1e6 + 3.0 / 128, "1000000.023438"},
      {two43 + 1.0 / 128, "8796093022208.007812"},
      {two43 + 3.0 / 128, "8796093022208.023438"},
  });
}

TEST(Fixed6, NextToHalfway) {
  expect_printed({
      {std::nextafter(1.0 / 128, 0.0), "0.007812"},
      {std::nextafter(1.0 / 128, 1.0), "0.007813"},
      {std::nextafter(3.0 / 128, 0.0), "0.023437"},
      {std::nextafter(3.0 / 128, 1.0), "0.023438"},
      {std::nextafter(two43 + 1.0 / 128, 0.0), "8796093022208.005859"},
      {std::nextafter(two43 + 1.0 / 128, two44), "8796093022208.009766"},
  });
}

TEST(Fixed6, RoundingCarriesIntoTheIntegerPart) {
  expect_printed({
      {0.9999995, "1.000000"},
      {std::nextafter(1.0, 0.0), "1.000000"},
      {9.9999999, "10.000000"},
      {99999.99999995, "100000.000000"},
      {-0.99999999, "-1.000000"},
  });
}

TEST(Fixed6, LargeIntegersAroundTheLibraryPath) {
  expect_printed({
      {std::nextafter(two44, 0.0), "17592186044415.998047"},
      {two44, "17592186044416.000000"},
      {two44 + 0.5, "17592186044416.500000"},
      {two44 + 1.0 / 256, "17592186044416.003906"},
      {two44 + 1.0 / 128, "17592186044416.007812"},
      {two44 + 3.0 / 128, "17592186044416.023438"},
      {two45 + 1.0 / 128, "35184372088832.007812"},
      {two45 + 3.0 / 128, "35184372088832.023438"},
      {-two44, "-17592186044416.000000"},
      {-std::nextafter(two44, 0.0), "-17592186044415.998047"},
      {std::nextafter(two53, 0.0), "9007199254740991.000000"},
      {two53, "9007199254740992.000000"},
      {two53 + 2, "9007199254740994.000000"},
      {std::ldexp(1.0, 64), "18446744073709551616.000000"},
      {1e22, "10000000000000000000000.000000"},
      {1e23, "99999999999999991611392.000000"},
  });
}

TEST(Fixed6, InfinityAndNan) {
  expect_printed({
      {inf, "inf"},
      {-inf, "-inf"},
      {nan, "nan"},
      {std::copysign(nan, -1.0), "-nan"},
  });
}

TEST(Fixed6, ExtremesLikePrintf) {
  for (double value : {1e300, DBL_MAX, DBL_MIN, DBL_TRUE_MIN, DBL_EPSILON, 0x1.fffffffffffffp-28, 0x1p-27}) {
    expect_like_printf(value);
    expect_like_printf(-value);
  }
  const std::string dbl_max = with_fixed6(-DBL_MAX);
  EXPECT_EQ(dbl_max.size(), static_cast<std::size_t>(fixed6_max_length));
}

TEST(Fixed6, PowersOfTwoLikePrintf) {
  for (int exponent = -1074; exponent <= 1023; ++exponent) {
    expect_like_printf(std::ldexp(1.0, exponent));
    expect_like_printf(-std::ldexp(1.0, exponent));
  }
}

// Compares format_fixed6 with snprintf for `count` values from draw() and reports the first few that differ.
template <class Draw>
void expect_all_like_printf(int count, Draw draw) {
  int mismatched = 0;
  std::string first_mismatches;
  for (int i = 0; i < count; ++i) {
    const double value = draw();
    const std::string expected = with_printf(value);
    char actual[fixed6_max_length + 1];
    const int actual_length = static_cast<int>(format_fixed6(actual, value) - actual);
    if (expected == std::string_view(actual, static_cast<std::size_t>(actual_length))) continue;
    if (++mismatched <= 5) {
      char line[2 * fixed6_max_length + 100];
      std::snprintf(line, sizeof line, "%a (%.17g): printf \"%s\", format_fixed6 \"%.*s\"\n", value, value,
                    expected.c_str(), actual_length, actual);
      first_mismatches += line;
    }
  }
  EXPECT_EQ(mismatched, 0) << "of " << count << " values; the first:\n" << first_mismatches;
}

double with_sign(std::mt19937_64& random, double value) {
  return random() & 1 ? -value : value;
}

constexpr double powers_of_ten[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};

TEST(Fixed6Sweep, AnyBitPattern) {
  std::mt19937_64 random(1);
  expect_all_like_printf(300000, [&] { return std::bit_cast<double>(random()); });
}

// Below 2^44 and above 2^-28, the values that format_fixed6 rounds itself.
TEST(Fixed6Sweep, BitPatternsOfTheOwnPath) {
  std::mt19937_64 random(2);
  std::uniform_int_distribution<std::uint64_t> biased_exponent(1023 - 28, 1023 + 43);
  expect_all_like_printf(2000000, [&] {
    const std::uint64_t fraction = random() & ((std::uint64_t{1} << 52) - 1);
    const double value = std::bit_cast<double>(biased_exponent(random) << 52 | fraction);
    return with_sign(random, value);
  });
}

// Latitudes and longitudes as the log gives them, minutes of arc with up to seven decimals, in degrees.
TEST(Fixed6Sweep, CoordinatesInDegrees) {
  std::mt19937_64 random(3);
  std::uniform_int_distribution<int> decimals(0, 7);
  expect_all_like_printf(2000000, [&] {
    const double scale = powers_of_ten[decimals(random)];
    const auto limit = static_cast<std::int64_t>(10800 * scale);
    const auto units = std::uniform_int_distribution<std::int64_t>(-limit, limit)(random);
    return static_cast<double>(units) / scale / 60;
  });
}

TEST(Fixed6Sweep, Altitudes) {
  std::mt19937_64 random(4);
  std::uniform_int_distribution<int> decimals(0, 3);
  expect_all_like_printf(500000, [&] {
    const double scale = powers_of_ten[decimals(random)];
    const auto low = static_cast<std::int64_t>(-500 * scale);
    const auto high = static_cast<std::int64_t>(10000 * scale);
    return static_cast<double>(std::uniform_int_distribution<std::int64_t>(low, high)(random)) / scale;
  });
}

// k / 2^n lands on halfway cases (n = 7 with odd k) and exact short fractions; one ulp either side too.
TEST(Fixed6Sweep, DyadicFractionsAndNeighbours) {
  std::mt19937_64 random(5);
  std::uniform_int_distribution<int> bits(1, 53);
  std::uniform_int_distribution<int> n(0, 60);
  std::uniform_int_distribution<int> nudge(-1, 1);
  expect_all_like_printf(1000000, [&] {
    const double k = static_cast<double>(random() >> (64 - bits(random)));
    double value = std::ldexp(k, -n(random));
    if (const int direction = nudge(random); direction != 0) value = std::nextafter(value, direction * inf);
    return with_sign(random, value);
  });
}

}  // namespace
