#include "log/tokenizer.h"

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <unistd.h>

#include "log/log_events.h"
#include "recording_events.h"
#include "scratch_streams.h"

using namespace std::string_literals;

namespace {

// Every case runs once per block size: tokens straddling a refill and look-ahead that backs off over a block
// boundary must give the same events as a whole-block read.
constexpr std::size_t block_sizes[] = {default_read_block_size, 1, 2, 3, 7, 4096};

// Runs body once for each path of the tokenizer and each of the block sizes, both named in the trace.
void on_each_path_and_block(std::span<const std::size_t> sizes,
                            const std::function<void(scan_path, std::size_t)>& body) {
  for (scan_path path : scan_paths) {
    for (std::size_t block_size : sizes) {
      SCOPED_TRACE(shown_path(path) + ", block size " + std::to_string(block_size));
      body(path, block_size);
    }
  }
}

// A row of a case table: the input, the variants it holds for, and the events expected from it.
enum case_variants { both, dot_only, comma_only };

struct tokenizer_case {
  case_variants variants;
  std::string input;
  std::string events;
};

std::string repeated(std::string_view text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

std::string shown_input(const std::string& input) {
  std::string shown;
  for (std::size_t i = 0; i < input.size() && i < 48; ++i) {
    shown += shown_byte(static_cast<unsigned char>(input[i]));
  }
  if (input.size() > 48) shown += "... (" + std::to_string(input.size()) + " bytes)";
  return shown;
}

bool is_line_break(char c) {
  return c == '\r' || c == '\n';
}

// The structural lane reads 64-byte windows from where it starts, so a case shorter than a window never
// reaches it. Line feeds before the case put its first byte at each offset of the lane's first window, and
// line feeds after it let windows reach past its end. Each run of them is one end of line more, unless it
// joins a line break of the case.
void expect_events_at_window_offsets(const tokenizer& variant, const tokenizer_case& c) {
  if (c.input.empty()) return;
  std::string expected = is_line_break(c.input.front()) || c.events.empty() ? c.events : "eol " + c.events;
  if (!is_line_break(c.input.back())) expected += expected.empty() ? "eol eol" : " eol";
  for (std::size_t offset = 1; offset < 64; ++offset) {
    SCOPED_TRACE("at window offset " + std::to_string(offset));
    const std::string input = std::string(offset, '\n') + c.input + std::string(64, '\n');
    EXPECT_EQ(expected, record_scan(variant, input, default_read_block_size, scan_path::lane));
  }
}

void expect_events(std::initializer_list<tokenizer_case> cases) {
  for (const tokenizer_case& c : cases) {
    SCOPED_TRACE("input: " + shown_input(c.input));
    for (const tokenizer* variant : {&dot_tokenizer, &comma_tokenizer}) {
      if ((c.variants == dot_only && variant != &dot_tokenizer) ||
          (c.variants == comma_only && variant != &comma_tokenizer)) {
        continue;
      }
      SCOPED_TRACE(variant == &dot_tokenizer ? "dot variant" : "comma variant");
      on_each_path_and_block(block_sizes, [&](scan_path path, std::size_t block_size) {
        EXPECT_EQ(c.events, record_scan(*variant, c.input, block_size, path));
      });
      expect_events_at_window_offsets(*variant, c);
    }
  }
}

TEST(Tokenizer, HeaderLines) {
  expect_events({
      {both, "samplenumber;flightnumber;gps_date\n",
       "name(samplenumber) sep name(flightnumber) sep name(gps_date) eol"},
      {both, "samplenumber gps_curlat\tin_ppm_curwidth[0]\r\n",
       "name(samplenumber) sep name(gps_curlat) sep name(in_ppm_curwidth[0]) eol"},
      {dot_only, "samplenumber,flightnumber\n", "name(samplenumber) sep name(flightnumber) eol"},
      {comma_only, "samplenumber,flightnumber\n", "name(samplenumber,flightnumber) eol"},
  });
}

TEST(Tokenizer, ValueLines) {
  expect_events({
      {both, "1;2;21/03/2011,12:34:56.789;55.75;-37.6e-1\n",
       "value(1) sep value(2) sep value(21/03/2011,12:34:56.789) sep value(55.75) sep "
       "value(-37.6e-1) eol"},
      {both, "1;gps;2\n", "value(1) sep name(gps) sep value(2) eol"},
      {both, "1;2", "value(1) sep value(2)"},
      {both, "", ""},
      {dot_only, "55,75;-37,6e-1\n", "value(55) sep value(75) sep value(-37) sep value(6) name(e-1) eol"},
      {comma_only, "55,75;-37,6e-1\n", "value(55,75) sep value(-37,6e-1) eol"},
  });
}

TEST(Tokenizer, BlanksAreSeparatorsExceptAtLineStart) {
  expect_events({
      {both, "1 ; 2\n", "value(1) sep sep sep value(2) eol"},
      {both, "1\t\t;\t2\n", "value(1) sep sep sep value(2) eol"},
      {both, "1 2", "value(1) sep value(2)"},
      {both, "1;2  \n", "value(1) sep value(2) sep eol"},
      {both, "  1;2\n", "value(1) sep value(2) eol"},
      {both, "0\n  1;2\n", "value(0) eol value(1) sep value(2) eol"},
      {both, "0\r\n\t 1;2\n", "value(0) eol value(1) sep value(2) eol"},
      {both, "1\r 2", "value(1) eol sep value(2)"},
      {both, "0\n\r 1", "value(0) eol sep value(1)"},
      {both, "1\n 2", "value(1) eol value(2)"},
      {both, "\n   \n", "eol eol"},
      {both, "+ 1", "echo(+) sep value(1)"},
      {both, "1" + std::string(10000, ' ') + "\t\t2", "value(1) sep value(2)"},
      {both, std::string(10000, '\t') + "1", "value(1)"},
  });
}

TEST(Tokenizer, LineBreakRunsEndLines) {
  expect_events({
      {both, "1;\n\n;2\n", "value(1) sep eol sep value(2) eol"},
      {both, "1\r2\r", "value(1) eol value(2) eol"},
      {both, "1\r\n2\n", "value(1) eol value(2) eol"},
      {both, "1\n\r\n\r\r\n2", "value(1) eol value(2)"},
      {both, "\n", "eol"},
      {both, "\r", "eol"},
      {both, "\n\n\n1", "eol value(1)"},
      {both, "1" + repeated("\r\n", 5000) + "2", "value(1) eol value(2)"},
  });
}

TEST(Tokenizer, Numbers) {
  expect_events({
      {both, "1.\n", "value(1) echo(.) eol"},
      {both, "5e3", "value(5) name(e3)"},
      {both, "1.5e+", "value(1.5) name(e+)"},
      {both, "1.5e", "value(1.5) name(e)"},
      {both, "1.5e-;", "value(1.5) name(e-) sep"},
      {both, "1.5E-07", "value(1.5E-07)"},
      {both, "1.5e5e5", "value(1.5e5) name(e5)"},
      {both, ".5", "value(.5)"},
      {both, "-.5", "value(-.5)"},
      {both, "-5", "value(-5)"},
      {both, "+5", "echo(+) value(5)"},
      {both, "--5", "echo(-) value(-5)"},
      {both, "-", "echo(-)"},
      {both, "-.", "echo(-) echo(.)"},
      {both, "-.;", "echo(-) echo(.) sep"},
      {both, "-.e", "echo(-) echo(.) name(e)"},
      {both, "1..2", "value(1) echo(.) value(.2)"},
      {both, "1.2.3", "value(1.2) value(.3)"},
      {both, "-1-2", "value(-1) value(-2)"},
      {both, "12.5-3", "value(12.5) value(-3)"},
      {both, std::string(10000, '9'), "value(" + std::string(10000, '9') + ")"},
      {both, "-0." + std::string(10000, '5') + "e-123;",
       "value(-0." + std::string(10000, '5') + "e-123) sep"},
  });
}

TEST(Tokenizer, DateTimes) {
  expect_events({
      {both, "21/03/2011,12:34:56.789e5", "value(21/03/2011,12:34:56.789) name(e5)"},
      {both, "21/03/2011,12:34:56.789;21/03/2011,12:34:57.1\n",
       "value(21/03/2011,12:34:56.789) sep value(21/03/2011,12:34:57.1) eol"},
      {both, "\"21/03/2011,12:34:56.789\"", "value(21/03/2011,12:34:56.789)"},
      {dot_only, "21/03/2011,12:34:56\n",
       "value(21) echo(/) value(03) echo(/) value(2011) sep value(12) echo(:) value(34) "
       "echo(:) value(56) eol"},
      {dot_only, "7/03/2011,12:34:56.7",
       "value(7) echo(/) value(03) echo(/) value(2011) sep value(12) echo(:) value(34) "
       "echo(:) value(56.7)"},
      {dot_only, "121/03/2011,12:34:56.7",
       "value(121) echo(/) value(03) echo(/) value(2011) sep value(12) echo(:) value(34) "
       "echo(:) value(56.7)"},
      {dot_only, "21/03/2011,12:34:56.;1\n",
       "value(21) echo(/) value(03) echo(/) value(2011) sep value(12) echo(:) "
       "value(34) echo(:) value(56) echo(.) sep value(1) eol"},
      {dot_only, "21/03/2011,12:34:56,7",
       "value(21) echo(/) value(03) echo(/) value(2011) sep value(12) echo(:) "
       "value(34) echo(:) value(56) sep value(7)"},
      {dot_only, "21/03/11,12:34:56.7",
       "value(21) echo(/) value(03) echo(/) value(11) sep value(12) echo(:) value(34) "
       "echo(:) value(56.7)"},
      {comma_only, "21/03/2011,12:34:56\n",
       "value(21) echo(/) value(03) echo(/) value(2011,12) echo(:) value(34) echo(:) value(56) eol"},
      {comma_only, "21/03/2011,12:34:56,7\n",
       "value(21) echo(/) value(03) echo(/) value(2011,12) echo(:) value(34) echo(:) value(56,7) eol"},
  });
}

// Each field of a date-time one digit short or one digit long: the shape breaks there, and the bytes are
// the tokens of the other rules. In the decimal-comma variant the year and the hour make one number.
TEST(Tokenizer, DateTimesOneByteShortOrLong) {
  struct shape {
    const char* input;
    const char* date;  // the events up to the year
    const char* time;  // the events from the hour on
  };
  const shape shapes[] = {
      {"2/03/2011,12:34:56.7", "value(2) echo(/) value(03) echo(/) value(2011",
       "12) echo(:) value(34) echo(:) value(56.7)"},
      {"21/3/2011,12:34:56.7", "value(21) echo(/) value(3) echo(/) value(2011",
       "12) echo(:) value(34) echo(:) value(56.7)"},
      {"21/03/201,12:34:56.7", "value(21) echo(/) value(03) echo(/) value(201",
       "12) echo(:) value(34) echo(:) value(56.7)"},
      {"21/03/2011,2:34:56.7", "value(21) echo(/) value(03) echo(/) value(2011",
       "2) echo(:) value(34) echo(:) value(56.7)"},
      {"21/03/2011,12:4:56.7", "value(21) echo(/) value(03) echo(/) value(2011",
       "12) echo(:) value(4) echo(:) value(56.7)"},
      {"21/03/2011,12:34:6.7", "value(21) echo(/) value(03) echo(/) value(2011",
       "12) echo(:) value(34) echo(:) value(6.7)"},
      {"21/03/2011,12:34:56.", "value(21) echo(/) value(03) echo(/) value(2011",
       "12) echo(:) value(34) echo(:) value(56) echo(.)"},
      {"211/03/2011,12:34:56.7", "value(211) echo(/) value(03) echo(/) value(2011",
       "12) echo(:) value(34) echo(:) value(56.7)"},
      {"21/033/2011,12:34:56.7", "value(21) echo(/) value(033) echo(/) value(2011",
       "12) echo(:) value(34) echo(:) value(56.7)"},
      {"21/03/20111,12:34:56.7", "value(21) echo(/) value(03) echo(/) value(20111",
       "12) echo(:) value(34) echo(:) value(56.7)"},
      {"21/03/2011,123:34:56.7", "value(21) echo(/) value(03) echo(/) value(2011",
       "123) echo(:) value(34) echo(:) value(56.7)"},
      {"21/03/2011,12:345:56.7", "value(21) echo(/) value(03) echo(/) value(2011",
       "12) echo(:) value(345) echo(:) value(56.7)"},
      {"21/03/2011,12:34:567.7", "value(21) echo(/) value(03) echo(/) value(2011",
       "12) echo(:) value(34) echo(:) value(567.7)"},
  };
  for (const shape& s : shapes) {
    expect_events({
        {dot_only, s.input, std::string(s.date) + ") sep value(" + s.time},
        {comma_only, s.input, std::string(s.date) + "," + s.time},
    });
  }
}

TEST(Tokenizer, QuotesAreDropped) {
  expect_events({
      {both, "\"gps_curlat\";\"55.75\"\n", "name(gps_curlat) sep value(55.75) eol"},
      {both, "\"1\";\"-2.5\";\"x\"\n", "value(1) sep value(-2.5) sep name(x) eol"},
      {both, "a\"b", "name(a) name(b)"},
      {both, "1\"2", "value(1) value(2)"},
      {both, "\"\"\"", ""},
      {both, "\" 1\"", "sep value(1)"},
      {both, "\n\"\t1", "eol sep value(1)"},
      {dot_only, "\"a\",\"b\"\n", "name(a) sep name(b) eol"},
      {comma_only, "\"a\",\"b\"\n", "name(a) echo(,) name(b) eol"},
  });
}

TEST(Tokenizer, ColumnNames) {
  expect_events({
      {both, "in_ppm_curwidth[0]", "name(in_ppm_curwidth[0])"},
      {both, "x:y/z", "name(x:y/z)"},
      {both, "12abc", "value(12) name(abc)"},
      {both, "0x1F", "value(0) name(x1F)"},
      {both, "abc-1.5", "name(abc-1.5)"},
      {both, "a+b-c.d", "name(a+b-c.d)"},
      {both, "E", "name(E)"},
      {both, "e5", "name(e5)"},
      {both, "ab\0cd"s, "name(ab)"},
      {both, "ab\0cd;1"s, "name(ab) sep value(1)"},
      {both, "\0ab"s, "echo(\\0) name(ab)"},
      {both, "a\xc3\xa9_b c", "name(a\\xc3\\xa9_b) sep name(c)"},
      {both, "x\ry", "name(x) eol name(y)"},
      {both, "n" + std::string(10000, 'x'), "name(n" + std::string(10000, 'x') + ")"},
      {dot_only, "a,b", "name(a) sep name(b)"},
      {comma_only, "a,b,c;d", "name(a,b,c) sep name(d)"},
  });
}

TEST(Tokenizer, CommaIsSeparatorOrDecimalMark) {
  expect_events({
      {dot_only, ",5", "sep value(5)"},
      {dot_only, "1,5,2", "value(1) sep value(5) sep value(2)"},
      {dot_only, ",,", "sep sep"},
      {dot_only, "1,", "value(1) sep"},
      {dot_only, "-,5", "echo(-) sep value(5)"},
      {comma_only, ",5", "value(,5)"},
      {comma_only, "1,5,2", "value(1,5) value(,2)"},
      {comma_only, ",", "echo(,)"},
      {comma_only, ",x", "echo(,) name(x)"},
      {comma_only, ",,5", "echo(,) value(,5)"},
      {comma_only, "1,", "value(1) echo(,)"},
      {comma_only, "-,5", "value(-,5)"},
      {comma_only, "-,", "echo(-) echo(,)"},
      {comma_only, "1,5e3", "value(1,5e3)"},
      {comma_only, "1.5;-.5", "value(1.5) sep value(-.5)"},
  });
}

TEST(Tokenizer, OtherBytesAreEchoed) {
  expect_events({
      {both, "\xc3\xa9", "echo(\\xc3) echo(\\xa9)"},
      {both, "\0"s, "echo(\\0)"},
      {both, "\0\0\0"s, "echo(\\0) echo(\\0) echo(\\0)"},
      {both, "[]_", "echo([) echo(]) echo(_)"},
      {both, "+/:", "echo(+) echo(/) echo(:)"},
      {both, "\x01\x0b\x7f\x80\xff", "echo(\\x01) echo(\\x0b) echo(\\x7f) echo(\\x80) echo(\\xff)"},
      {both, "1\x80;2", "value(1) echo(\\x80) sep value(2)"},
      {both, "1.\0"s, "value(1) echo(.) echo(\\0)"},
      {both, "#\n 1", "echo(#) eol value(1)"},
      {both, "\n# 1", "eol echo(#) sep value(1)"},
  });
}

TEST(Tokenizer, RealisticLogAtEveryBlockSize) {
  const std::string dot_log =
      "\xef\xbb\xbf\"samplenumber\";\"gps_date\";\"gps_curlat\";\"gps_curalt\";\"in_ppm_curwidth[0]\"\r\n"
      "1;21/03/2011,12:34:56.789;3345.1234;152.3;1500\r\n"
      "2;21/03/2011,12:34:57.001;3345.1301;-1.5E-07;1498\r\n"
      "  3 ; 21/03/2011,12:34:58.250 ; 3345.1399 ; 155 ; 1502\r\n"
      "4;21/03/2011,12:34:59.5;3345.15;156;1503";
  const std::string dot_events =
      "echo(\\xef) echo(\\xbb) echo(\\xbf) name(samplenumber) sep name(gps_date) sep name(gps_curlat) "
      "sep name(gps_curalt) sep name(in_ppm_curwidth[0]) eol "
      "value(1) sep value(21/03/2011,12:34:56.789) sep value(3345.1234) sep value(152.3) sep value(1500) eol "
      "value(2) sep value(21/03/2011,12:34:57.001) sep value(3345.1301) sep value(-1.5E-07) sep value(1498) "
      "eol value(3) sep sep sep value(21/03/2011,12:34:58.250) sep sep sep value(3345.1399) sep sep sep "
      "value(155) sep sep sep value(1502) eol "
      "value(4) sep value(21/03/2011,12:34:59.5) sep value(3345.15) sep value(156) sep value(1503)";
  // The same log with decimal commas; a date-time keeps the dot after its seconds.
  std::string comma_log = dot_log, comma_events = dot_events;
  for (std::string* text : {&comma_log, &comma_events}) {
    for (std::size_t i = 3; i < text->size(); ++i) {
      if ((*text)[i] == '.' && (*text)[i - 3] != ':') (*text)[i] = ',';
    }
  }
  ASSERT_NE(std::string::npos, comma_events.find("value(3345,1234)"));
  ASSERT_NE(std::string::npos, comma_events.find("value(21/03/2011,12:34:56.789)"));
  on_each_path_and_block(block_sizes, [&](scan_path path, std::size_t block_size) {
    EXPECT_EQ(dot_events, record_scan(dot_tokenizer, dot_log, block_size, path));
    EXPECT_EQ(comma_events, record_scan(comma_tokenizer, comma_log, block_size, path));
  });
}

TEST(Tokenizer, TokensOfSeveralMegabytes) {
  const std::string name = "n" + std::string(std::size_t{5} << 20, 'x');
  const std::string number = "-" + std::string(std::size_t{5} << 20, '7');
  const std::string input = name + ";" + number + "\nab;1\n";
  const std::string expected = "name(" + name + ") sep value(" + number + ") eol name(ab) sep value(1) eol";
  constexpr std::size_t large_blocks[] = {default_read_block_size, 4096};
  on_each_path_and_block(large_blocks, [&](scan_path path, std::size_t block_size) {
    const std::string events = record_scan(dot_tokenizer, input, block_size, path);
    EXPECT_EQ(expected.size(), events.size());
    EXPECT_TRUE(events == expected) << "events begin with " << events.substr(0, 40) << " and end with "
                                    << events.substr(events.size() < 40 ? 0 : events.size() - 40);
  });
}

// An operation gets its text in place in the read buffer and may rewrite it, as the comma variant's on_value
// does; the tokens after it must not change.
std::vector<const char*> text_addresses;

int rewrite_text(char* text) {
  text_addresses.push_back(text);
  for (char* p = text; *p != '\0'; ++p) *p = *p == ',' ? '.' : '#';
  return 0;
}

const log_events rewriting_events = {
    [](char* text) {
      record_name(text);
      return rewrite_text(text);
    },
    [](char* text) {
      record_value(text);
      return rewrite_text(text);
    },
    record_separator,
    record_end_of_line,
};

TEST(Tokenizer, TextsAreHandedOverInPlace) {
  const std::string input = "ab;1,5;cd\n2,5e1 x\n";
  const std::string expected = "name(ab) sep value(1,5) sep name(cd) eol value(2,5e1) sep name(x) eol";
  on_each_path_and_block(block_sizes, [&](scan_path path, std::size_t block_size) {
    text_addresses.clear();
    EXPECT_EQ(expected, record_scan(comma_tokenizer, input, block_size, path, rewriting_events));
    ASSERT_EQ(5u, text_addresses.size());
    if (block_size == default_read_block_size) {  // all in one block: the texts lie where the tokens stand
      for (std::size_t i = 0; std::size_t offset : {0u, 3u, 7u, 10u, 16u}) {
        EXPECT_EQ(text_addresses[0] + offset, text_addresses[i++]);
      }
    }
  });
}

// current_events is read afresh for every event; with null_events bound only the echo remains.
int end_line_and_unbind() {
  record_end_of_line();
  current_events = &null_events;
  return 0;
}

const log_events unbinding_events = {record_name, record_value, record_separator, end_line_and_unbind};

TEST(Tokenizer, EventTableIsReadForEveryEvent) {
  on_each_path_and_block(block_sizes, [&](scan_path path, std::size_t block_size) {
    EXPECT_EQ("name(a) sep value(1) eol echo(+)",
              record_scan(dot_tokenizer, "a;1\nb;+2\n", block_size, path, unbinding_events));
    EXPECT_EQ("value(1) sep value(2) eol", record_scan(dot_tokenizer, "1;2\n" + repeated("3;4\n", 40),
                                                       block_size, path, unbinding_events));
    EXPECT_EQ("echo(+) echo(\\x80)",
              record_scan(comma_tokenizer, "a;+1\n\x80", block_size, path, null_events));
  });
}

TEST(TokenizerDeathTest, ReadFailureExitsWithStatusTwo) {
  for (const tokenizer* variant : {&dot_tokenizer, &comma_tokenizer}) {
    FILE* log = stream_holding("samplenumber\n1\n");
    // Reading fails the same way on every system once the descriptor under the stream is closed; it is
    // closed in the child alone, so that nothing else takes its number first.
    EXPECT_EXIT(
        {
          close(fileno(log));
          variant->scan_log(log);
        },
        testing::ExitedWithCode(2), "^telem2kml: can't read the log: Bad file descriptor\n$");
    std::fclose(log);
  }
}

}  // namespace
