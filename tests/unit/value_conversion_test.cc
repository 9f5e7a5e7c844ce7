#include "samples/value_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "log/log_reader.h"
#include "log/plain_number.h"
#include "log/structural_lane.h"
#include "run_state.h"

// parse_long must give the very value of atol with Linux's 64-bit long (strtoll, on every platform), and
// parse_double the very bits of std::strtod(text, nullptr) (sign of zero included), for every text the
// tokenizer hands over: -?[0-9]+, -?[0-9]*\.[0-9]+([eE][+-]?[0-9]+)? and date-times. The program never
// calls setlocale, so the C locale applies to both sides. Hand-picked tables first, then seeded sweeps of
// millions of texts.

namespace {

class ValueConversion : public ::testing::Test {
 protected:
  void SetUp() override { reset_run_state(); }
};

std::string shown(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g (%a)", value, value);
  return text;
}

// Counts the texts compared and keeps the first few that differ.
struct comparison {
  std::uint64_t compared = 0;
  std::uint64_t differing = 0;
  std::string first;

  void note(const std::string& text, const std::string& expected, const std::string& actual) {
    if (++differing <= 5) first += "'" + text + "': library " + expected + ", ours " + actual + "\n";
  }
  void long_of(const std::string& text) {
    ++compared;
    const std::int64_t expected = std::strtoll(text.c_str(), nullptr, 10);
    const std::int64_t actual = parse_long(text.c_str());
    if (expected != actual) note(text, std::to_string(expected), std::to_string(actual));
  }
  void double_of(const std::string& text) {
    ++compared;
    const double expected = std::strtod(text.c_str(), nullptr);
    const double actual = parse_double(text.c_str());
    if (std::bit_cast<std::uint64_t>(expected) != std::bit_cast<std::uint64_t>(actual)) {
      note(text, shown(expected), shown(actual));
    }
  }
  // The text as a decimal-comma log writes it: every '.' a ','. Its value is strtod's of the dotted text.
  void comma_double_of(const std::string& text) {
    ++compared;
    std::string with_commas = text;
    std::replace(with_commas.begin(), with_commas.end(), '.', ',');
    std::string dotted = with_commas;
    std::replace(dotted.begin(), dotted.end(), ',', '.');
    const double expected = std::strtod(dotted.c_str(), nullptr);
    const double actual = parse_double_comma(with_commas.data());
    if (std::bit_cast<std::uint64_t>(expected) != std::bit_cast<std::uint64_t>(actual)) {
      note(with_commas, shown(expected), shown(actual));
    }
  }
  void expect_none(const char* what) const {
    EXPECT_EQ(differing, 0u) << differing << " of " << compared << " " << what << " differ, first:\n"
                             << first;
  }
};

TEST_F(ValueConversion, ParseLongIsAtolOnIntegerTokens) {
  const char* const cases[] = {
      // at and beyond the 32- and 64-bit limits
      "0", "-0", "7", "-7", "000000000000000000000000000042", "2147483647", "2147483648", "-2147483648",
      "-2147483649", "4294967295", "4294967296", "4294967297", "9223372036854775807", "9223372036854775808",
      "-9223372036854775808", "-9223372036854775809", "18446744073709551615", "18446744073709551616",
      "99999999999999999999999", "-12345678901234567890123",
      // the other tokens, read up to their first non-digit
      "21/03/2011,12:34:56.789", "21/03/2011.12:34:56.789", "12.9", "-.5", ".5", "1.5E-07", "3330.123456"};
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(parse_long(text), std::strtoll(text, nullptr, 10));
  }
}

// What the -n list parser hands over: any text from the list's start or from just after a ',' or '-'.
TEST_F(ValueConversion, ParseLongIsAtolOnAnyText) {
  const char* const cases[] = {// blanks and signs
                               "", " ", "+", "-", "+5", "-+5", "+-5", "- 5", " 10", "\t\n\v\f\r7", "  +  5",
                               // letters, list punctuation, other bytes, limits
                               "abc", "12abc", "0x1F", " -0", "10-20,30-40", ",5", "5,", "\2405", "1e5",
                               "--5", "0009", " -9223372036854775809 ", "+9223372036854775808"};
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(parse_long(text), std::strtoll(text, nullptr, 10));
  }
  comparison sweep;
  std::mt19937_64 random(20110321);
  const std::string alphabet = " \t\n\r+-,.0123456789aZ\xa0";
  for (int i = 0; i < 200000; ++i) {
    std::string text(random() % 24, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    sweep.long_of(text);
  }
  sweep.expect_none("arbitrary texts");
}

TEST_F(ValueConversion, ParseDoubleIsStrtodBitForBit) {
  const char* const cases[] = {
      // integers, which go into real columns too
      "0", "-0", "150", "-7", "2147483648", "-2147483649", "9007199254740992", "9007199254740993",
      "9223372036854775807", "9223372036854775808", "-9223372036854775809", "18446744073709551617",
      "123456789012345678901234567890", "-00000000000000000000000000", "00000000000000000000000001",
      // short reals
      ".5", "-.5", "-0.0", "0.0", "-.0", "0.1", "0.3", "3330.123456", "-3330.5", "150.5", "2250.25",
      "1.5E-07", "1.5e+3", "1.5e3", "1.5e-3", "-1.5E+0", "0.0e999999999999999999999",
      "-0.0e-999999999999999999999",
      // the powers of ten that a double holds exactly, and one beyond
      "1.0e22", "1.0e23", "1.0e-22", "1.0e-23", "9.007199254740992e22", "9.007199254740993e22",
      "9007199254740991.0e22", "9007199254740993.0e-22", "1.0e+0022", "1.0e0000000000000000000000000003",
      // overflow and underflow
      "1.0e308", "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308", "1.0e309",
      "1.0e400", "-1.0e400", "1.0e999999999999999999999", "1.0e-400", "-1.0e-400", "1.0e-99999999999",
      // subnormal boundaries
      "4.9406564584124654e-324", "4.9406564584124653e-324", "2.4703282292062327e-324",
      "2.4703282292062328e-324", "-2.4703282292062328e-324", "2.2250738585072011e-308",
      "2.2250738585072012e-308", "2.2250738585072014e-308", "2.225073858507201136057409796709131975934e-308",
      "0.000000000000000000000000000000000000000000000001e-280",
      // halfway and near-halfway cases
      "9007199254740993.0", "9007199254740995.0", "9007199254740993.00000000000000000001",
      "0.1000000000000000055511151231257827", "0.10000000000000000555111512312578270211815834045410156",
      "0.1000000000000000055511151231257827021181583404541015625", "1.00000000000000011102230246251565404",
      "1.000000000000000111022302462515654042363166809082031250000000001", "7.3177701707893310e+15",
      "2.2250738585072011e-308", "8.9255e-18",
      // mantissas of 19, 20 and 25 digits, and many leading zeros
      "1234567890123456789.0", "9999999999999999999.0", "12345678901234567890.0", "18446744073709551615.5",
      ".1234567890123456789012345", "1234567890123456789012345.0", "0.0000000000000000000000000000123",
      "0000000000000000000000000000000003330.5", "-0000000000000000000000.00000000000000000001e20",
      // date-times, and as the decimal-comma variant hands them over
      "21/03/2011,12:34:56.789", "21/03/2011.12:34:56.789", "00/00/0000,00:00:00.0", "99/99/9999,99:99:99.9"};
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    const double expected = std::strtod(text, nullptr);
    const double actual = parse_double(text);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(actual), std::bit_cast<std::uint64_t>(expected))
        << "strtod " << shown(expected) << ", parse_double " << shown(actual);
  }
}

struct text_maker {
  std::mt19937_64 random{0x7e1e2c0de};

  std::uint64_t below(std::uint64_t n) { return random() % n; }
  std::string digits(std::uint64_t count) {
    std::string text(count, '0');
    for (char& c : text) c = static_cast<char>('0' + below(10));
    return text;
  }
  std::string sign() { return below(2) != 0 ? "-" : ""; }
  // Mostly short, now and then long.
  std::uint64_t length(std::uint64_t usual, std::uint64_t rare) {
    return below(8) != 0 ? 1 + below(usual) : below(rare + 1);
  }
  std::string integer() { return sign() + digits(1 + length(9, 26)); }
  std::string real() {
    std::string text = sign() + digits(length(5, 30)) + "." + digits(1 + length(7, 30));
    if (below(3) == 0) {
      text += below(2) != 0 ? "e" : "E";
      const char* const signs[] = {"", "+", "-"};
      text += signs[below(3)];
      const std::uint64_t size = below(10) != 0 ? 1 + below(3) : 1 + below(25);
      text += digits(size);
    }
    return text;
  }
  std::string date_time() {
    return digits(2) + "/" + digits(2) + "/" + digits(4) + (below(2) != 0 ? "," : ".") + digits(2) + ":" +
           digits(2) + ":" + digits(2) + "." + digits(1 + below(6));
  }
  // Any finite double, subnormals included, with 1 to 25 significant digits.
  std::string printed_double() {
    double value;
    do value = std::bit_cast<double>(random());
    while (!std::isfinite(value));
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", static_cast<int>(1 + below(25)), value);
    return text;
  }
  // The exact decimal of the midpoint between a double and the next one: rounding must go to even.
  std::string midpoint() {
    double low;
    do low = std::bit_cast<double>(random() >> 1);
    while (!std::isfinite(std::nextafter(low, INFINITY)));
    const long double middle = (static_cast<long double>(low) + std::nextafter(low, INFINITY)) / 2;
    std::string text(1200, '\0');
    text.resize(static_cast<std::size_t>(std::snprintf(text.data(), text.size(), "%.1100Le", middle)));
    const std::size_t mark = text.find('e');
    std::size_t last = text.find_last_not_of('0', mark - 1);
    if (text[last] == '.') ++last;  // keep a digit after the mark
    return text.erase(last + 1, mark - last - 1);
  }
};

TEST_F(ValueConversion, ParseDoubleIsStrtodOverMillionsOfTexts) {
  text_maker make;
  comparison integers, reals, printed, midpoints, date_times;
  for (int i = 0; i < 600000; ++i) {
    const std::string text = make.integer();
    integers.long_of(text);
    integers.double_of(text);
  }
  for (int i = 0; i < 400000; ++i) {  // what a log mostly holds: "3330.123456", "150.5", "-12.25"
    reals.double_of(make.sign() + make.digits(1 + make.below(4)) + "." + make.digits(1 + make.below(6)));
  }
  for (int i = 0; i < 1000000; ++i) reals.double_of(make.real());
  for (int i = 0; i < 300000; ++i) printed.double_of(make.printed_double());
  for (int i = 0; i < 5000; ++i) midpoints.double_of(make.midpoint());
  for (int i = 0; i < 100000; ++i) {
    const std::string text = make.date_time();
    date_times.long_of(text);
    date_times.double_of(text);
  }
  integers.expect_none("integer tokens");
  reals.expect_none("real tokens");
  printed.expect_none("printed doubles");
  midpoints.expect_none("midpoints");
  date_times.expect_none("date-times");
  const std::uint64_t total =
      integers.compared + reals.compared + printed.compared + midpoints.compared + date_times.compared;
  RecordProperty("compared", std::to_string(total));
  std::printf("[          ] %" PRIu64 " conversions compared\n", total);
}

TEST_F(ValueConversion, ParseDoubleCommaIsStrtodOfTheDottedText) {
  text_maker make;
  comparison texts;
  for (int i = 0; i < 200000; ++i) texts.comma_double_of(make.integer());
  for (int i = 0; i < 400000; ++i) texts.comma_double_of(make.real());
  for (int i = 0; i < 100000; ++i) texts.comma_double_of(make.printed_double());
  for (int i = 0; i < 2000; ++i) texts.comma_double_of(make.midpoint());
  for (int i = 0; i < 50000; ++i) texts.comma_double_of(make.date_time());
  texts.expect_none("decimal-comma texts");
}

// The conversion of a plain number from its bounds: its digits, read by the portable routine and by the
// lane's (one 16-byte load ending at the token's last byte), then double_of_plain and int32_of_plain. Each
// text lies where a token of the read buffer may: at the buffer's start, after the padding, and after the
// bytes of other tokens, which the load reaches and must leave out; nothing after the token is read.
struct plain_number_checks {
  std::uint64_t compared = 0;
  std::uint64_t differing = 0;
  std::string first;

  void note(const std::string& text, const std::string& what) {
    if (++differing <= 5) first += "'" + text + "': " + what + "\n";
  }
  void digits_of(const std::string& text, const plain_digits& digits, const char* routine) {
    if (!digits.read) {
      if (text.size() <= plain_digits_room) note(text, std::string(routine) + " left a short token unread");
      return;
    }
    std::string dotted = text;
    std::replace(dotted.begin(), dotted.end(), ',', '.');
    const double expected = std::strtod(dotted.c_str(), nullptr);
    if (double value; double_of_plain(digits, &value) &&
                      std::bit_cast<std::uint64_t>(value) != std::bit_cast<std::uint64_t>(expected)) {
      note(text, std::string(routine) + ": strtod " + shown(expected) + ", ours " + shown(value));
    }
    const auto integer = static_cast<std::int32_t>(std::strtoll(dotted.c_str(), nullptr, 10));
    if (int32_of_plain(digits) != integer) {
      note(text, std::string(routine) + ": atol " + std::to_string(integer) + ", ours " +
                     std::to_string(int32_of_plain(digits)));
    }
  }
  void of(const std::string& text) {
    ++compared;
    // The text right after the front padding, and after other tokens' bytes.
    alignas(64) char buffer[log_padding + 64 + log_padding] = {};
    for (const std::size_t at : {log_padding, log_padding + 40 - text.size() % 16}) {
      std::memset(buffer + log_padding, '9', 64);
      buffer[at - 1] = '.';
      std::memcpy(buffer + at, text.data(), text.size());
      const char* start = buffer + at;
      const char* end = start + text.size();
      digits_of(text, read_plain_digits(start, end), "the portable routine");
      if (structural_lane_supported) digits_of(text, read_lane_digits(start, end), "the lane");
    }
  }
  void expect_none(const char* what) const {
    EXPECT_EQ(differing, 0u) << differing << " of " << compared << " " << what << " differ, first:\n"
                             << first;
  }
};

// -?[0-9]*([.,][0-9]+)?: up to `longest` bytes, with leading zeros now and then.
std::string random_plain_number(std::mt19937_64& random, std::size_t longest) {
  std::string text = random() % 2 == 0 ? "-" : "";
  const std::size_t digits = 1 + random() % (longest - text.size());
  const std::size_t zeros = random() % 4 == 0 ? random() % (digits + 1) : 0;
  for (std::size_t i = 0; i < digits; ++i) text += static_cast<char>(i < zeros ? '0' : '0' + random() % 10);
  if (digits > 1 && random() % 4 != 0) {
    const std::size_t mark = text.size() - 1 - random() % (digits - 1);  // a digit stays after it
    text.insert(mark, 1, random() % 2 == 0 ? '.' : ',');
  }
  return text;
}

TEST_F(ValueConversion, PlainNumbersFromTheirBoundsAreStrtodBitForBit) {
  plain_number_checks edges;
  const char* const cases[] = {// 15, 16 and 17 digits, about 2^53, and the longest token that fits 16 bytes
                               // and the shortest that does not
                               "999999999999999",
                               "9999999999999999",
                               "99999999999999999",
                               "9007199254740992",
                               "9007199254740993",
                               "-900719925474099",
                               "-9007199254740992",
                               "900719925474099.2",
                               "9007199254740.993",
                               "0.000000000000001",
                               "-0.00000000000001",
                               "-0.000000000000001",
                               ".000000000000001",
                               "-.00000000000001",
                               "123456789012345.6",
                               "-12345678901234.5",
                               "-1234567890123.45",
                               "1234567890123456",
                               "12345678901234567",
                               "0",
                               "-0",
                               "-.0",
                               ",5",
                               "-,0",
                               "2147483648",
                               "-2147483649",
                               "4294967297.9",
                               "-0,999999999999"};
  for (const char* text : cases) edges.of(text);
  // The mark and leading zeros at every position, with and without a sign.
  for (std::size_t digits = 1; digits <= 17; ++digits) {
    for (std::size_t zeros = 0; zeros <= digits; ++zeros) {
      const std::string number =
          std::string(zeros, '0') + std::string("31415926535897932").substr(0, digits - zeros);
      for (const std::string sign : {"", "-"}) {
        edges.of(sign + number);
        for (std::size_t mark = 0; mark < digits; ++mark)
          edges.of(sign + number.substr(0, mark) + "." + number.substr(mark));
      }
    }
  }
  edges.expect_none("edge texts");

  plain_number_checks swept;
  std::mt19937_64 random(0x5ca1ab1e);
  for (int i = 0; i < 1000000; ++i) swept.of(random_plain_number(random, 18));
  swept.expect_none("random plain numbers");
}

// The values of the bundled logs, every one as it stands, with its decimal mark.
TEST_F(ValueConversion, ValuesOfTheBundledLogsFromTheirBoundsAreStrtodBitForBit) {
  plain_number_checks values;
  for (const char* name : {"flight.log", "two-flights.log", "decimal-comma.log"}) {
    std::ifstream log(std::string(TELEM2KML_EXAMPLES) + "/" + name, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
    ASSERT_GT(text.size(), 10000u) << name;
    std::string field;
    for (char c : text.substr(text.find('\n') + 1)) {
      if (c == ';' || c == '\r' || c == '\n') {
        if (!field.empty()) values.of(field);
        field.clear();
      } else {
        field += c;
      }
    }
  }
  EXPECT_GT(values.compared, 100000u);
  values.expect_none("values of the bundled logs");
}

// Millions more, under a label the default run leaves out: ctest -C long -L long.
TEST_F(ValueConversion, DISABLED_PlainNumbersFromTheirBoundsOverHundredsOfMillions) {
  plain_number_checks swept;
  std::mt19937_64 random(0xfeedbeef);
  for (int i = 0; i < 200000000; ++i) swept.of(random_plain_number(random, 18));
  swept.expect_none("random plain numbers");
}

}  // namespace
