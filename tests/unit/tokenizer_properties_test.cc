// Properties that need no expected output: they compare the tokenizer, or a whole conversion, with itself
// on random logs of token soup. Each log comes from a seeded generator, so a failure names the seed that
// makes it again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <tuple>

#include "bench/splitmix64.h"
#include "driver/driver.h"
#include "kml/kml_writer.h"
#include "kml/track_builder.h"
#include "log/log_events.h"
#include "log/tokenizer.h"
#include "recording_events.h"
#include "run_state.h"
#include "samples/sample_assembly.h"
#include "scratch_streams.h"

namespace {

constexpr int logs_per_property = 1000;

// Small blocks cut tokens; blocks of 64 bytes and more also cut the structural lane's windows.
constexpr std::size_t property_block_sizes[] = {default_read_block_size, 1, 2, 3, 7, 64, 100};

struct soup_source {
  splitmix64 bits;
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(bits.next() % n); }
  template <std::size_t N>
  const char* pick(const char* const (&pieces)[N]) {
    return pieces[below(N)];
  }
};

// Pieces of soup: single bytes of every kind, and longer pieces that lead the automaton deep into numbers,
// exponents and date-times before it backs off.
constexpr const char* soup_pieces[] = {
    "0",
    "7",
    "42",
    "-",
    "+",
    ".",
    ",",
    ";",
    " ",
    "\t",
    "  ",
    "\"",
    "\r",
    "\n",
    "\r\n",
    "a",
    "e",
    "E",
    "x_[1]",
    "/",
    ":",
    "\x80",
    "\xff",
    "\xc3\xa9",
    "1.5e-07",
    "-.5",
    "12.",
    "3330.25",
    "21/03/2011,12:34:56.789",
    "21/03/",
    "21/03/2011,12:3",
    "56.7e",
    "e+",
    "samplenumber",
    "gps_curlat",
};

std::string token_soup(std::uint64_t seed) {
  soup_source source{.bits = {.state = seed}};
  std::string log;
  const std::size_t pieces = source.below(80);
  for (std::size_t i = 0; i < pieces; ++i) {
    if (source.below(16) == 0) {
      log += '\0';  // NUL cannot stand in a C string piece
    } else {
      log += source.pick(soup_pieces);
    }
  }
  return log;
}

// A log that makes a track: a header and lines of positions, with soup strewn between the fields.
std::string track_soup(std::uint64_t seed) {
  soup_source source{.bits = {.state = seed}};
  std::string log = source.below(4) == 0 ? "" : "samplenumber;gps_curlat;gps_curlon;gps_curalt\n";
  const std::size_t lines = 3 + source.below(12);
  for (std::size_t n = 1; n <= lines; ++n) {
    const std::string fields[] = {std::to_string(n), std::to_string(3300 + source.below(90)) + ".5",
                                  std::to_string(2200 + source.below(90)), std::to_string(source.below(300))};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
      if (i > 0) log += source.below(3) == 0 ? " ; " : ";";
      if (source.below(6) == 0) log += source.pick(soup_pieces);
      log += fields[i];
    }
    log += source.below(5) == 0 ? "\n\n" : "\n";
  }
  return log;
}

std::string shown(std::string_view log) {
  std::string text;
  for (char c : log) text += shown_byte(static_cast<unsigned char>(c));
  return text;
}

struct conversion {
  std::string printed;
  std::string kml;
  std::string rings;  // the sample ring at each line end, where the events keep it
};

// What a run with -t (-r with comma_tokenizer) makes of the log: the KML, and the messages and echoed bytes
// on standard output.
conversion convert(std::string_view log, scan_path path, const log_events& events = dot_events,
                   const tokenizer& variant = dot_tokenizer,
                   std::size_t block_size = default_read_block_size);

std::string* kept_rings = nullptr;

int keep_ring_then_end_of_line() {
  kept_rings->append(reinterpret_cast<const char*>(sample_ring), sizeof sample_ring);
  return on_end_of_line();
}

conversion convert(std::string_view log, scan_path path, const log_events& events, const tokenizer& variant,
                   std::size_t block_size) {
  reset_run_state();
  use_structural_lane = path == scan_path::lane;
  read_block_size = block_size;
  output = kml_through_own_buffer(scratch_stream());
  conversion result;
  kept_rings = &result.rings;
  result.printed = capture_stdout([&] { convert_log(stream_holding(log), events, variant); });
  EXPECT_TRUE(finish_kml(output));
  result.kml = written_bytes(output.stream);
  reset_run_state();
  return result;
}

std::string with_crlf(std::string_view log) {
  std::string crlf;
  for (char c : log) crlf += c == '\n' ? std::string_view("\r\n") : std::string_view(&c, 1);
  return crlf;
}

TEST(TokenizerProperties, LogWithoutCommaGivesTheSameEventsInBothVariants) {
  for (std::uint64_t seed = 1; seed <= logs_per_property; ++seed) {
    std::string log = token_soup(seed);
    std::erase(log, ',');
    SCOPED_TRACE("seed " + std::to_string(seed) + ": " + shown(log));
    for (scan_path path : scan_paths) {
      SCOPED_TRACE(shown_path(path));
      ASSERT_EQ(record_scan(dot_tokenizer, log, default_read_block_size, path),
                record_scan(comma_tokenizer, log, default_read_block_size, path));
    }
  }
}

TEST(TokenizerProperties, EventsDoNotDependOnTheReadBlockSizeOrThePath) {
  for (std::uint64_t seed = 1; seed <= logs_per_property; ++seed) {
    const std::string log = token_soup(1000000 + seed);
    SCOPED_TRACE("seed " + std::to_string(1000000 + seed) + ": " + shown(log));
    for (const tokenizer* variant : {&dot_tokenizer, &comma_tokenizer}) {
      SCOPED_TRACE(variant == &dot_tokenizer ? "dot variant" : "comma variant");
      const std::string whole = record_scan(*variant, log, default_read_block_size, scan_path::scalar);
      for (scan_path path : scan_paths) {
        for (std::size_t block_size : property_block_sizes) {
          SCOPED_TRACE(shown_path(path) + ", block size " + std::to_string(block_size));
          ASSERT_EQ(whole, record_scan(*variant, log, block_size, path));
        }
      }
    }
  }
}

TEST(TokenizerProperties, CrLfLineEndsGiveTheSameKmlAsLf) {
  int tracks = 0;
  for (std::uint64_t seed = 1; seed <= logs_per_property; ++seed) {
    const std::string log = seed % 2 == 0 ? track_soup(2000000 + seed) : token_soup(2000000 + seed);
    SCOPED_TRACE("seed " + std::to_string(2000000 + seed) + ": " + shown(log));
    for (scan_path path : scan_paths) {
      SCOPED_TRACE(shown_path(path));
      const conversion lf = convert(log, path);
      const conversion crlf = convert(with_crlf(log), path);
      ASSERT_EQ(lf.kml, crlf.kml);
      ASSERT_EQ(lf.printed, crlf.printed);
      if (lf.kml.find("<Placemark>") != std::string::npos) ++tracks;
    }
  }
  EXPECT_GT(tracks, 2 * logs_per_property / 5);  // tested on real tracks, not only on empty documents
}

// Tables whose value and separator operations are the samples' own: the tokenizer stores their plain
// numbers itself, as for dot_events and comma_events; with the value operation behind another function,
// every value goes through the table.
int on_value_dot_through_the_table(char* text) {
  return on_value_dot(text);
}
int on_value_comma_through_the_table(char* text) {
  return on_value_comma(text);
}
const log_events stored_dot = {on_column_name, on_value_dot, on_separator, keep_ring_then_end_of_line};
const log_events stored_comma = {on_column_name, on_value_comma, on_separator, keep_ring_then_end_of_line};
const log_events tabled_dot = {on_column_name, on_value_dot_through_the_table, on_separator,
                               keep_ring_then_end_of_line};
const log_events tabled_comma = {on_column_name, on_value_comma_through_the_table, on_separator,
                                 keep_ring_then_end_of_line};

// Values stored where the fast paths find them, and those they leave to the table inside the same window:
// the sample ring at every line end, the messages and the KML are those of every value through the table,
// on either path and at any read block.
TEST(TokenizerProperties, ValuesStoredDirectlyAsThroughTheTable) {
  const std::string rows = "1;3330.5;2250.25;100\n2;3330.6;2250.3;105\n3;3331.25;2251.5;110\n";
  const std::string logs[] = {
      // the first values of a log without header wait for the default binding
      rows + rows + rows,
      // a column past the header, a 17-digit value, a 16-digit one beyond 2^53, an exponent, a name
      "samplenumber;gps_curlat;gps_curlon;gps_curalt\n" + rows + "4;3331.5;2252;120;7\n" +
          "5;12345678901234567;2252.5;9007199254740993\n6;3332.5;1.5e3;125;x\n" + rows,
      // an integer column given fractions and a sign, values of every length a load holds
      "samplenumber;gps_curalt;gps_curlat;gps_curlon\n4.9;-0;3330.5;2250.5\n-7.25;.5;3331.123456789012;2251\n"
      "8;-1234567890123.45;3332;-2252.000000000001\n" +
          rows + rows,
  };
  constexpr std::size_t blocks[] = {default_read_block_size, 1, 7, 64};
  for (const std::string& dotted : logs) {
    std::string with_commas = dotted;
    std::replace(with_commas.begin(), with_commas.end(), '.', ',');
    for (const auto& [log, stored_events, tabled_events, variant] :
         {std::tuple{dotted, &stored_dot, &tabled_dot, &dot_tokenizer},
          std::tuple{with_commas, &stored_comma, &tabled_comma, &comma_tokenizer}}) {
      SCOPED_TRACE(log);
      const conversion expected = convert(log, scan_path::scalar, *tabled_events, *variant);
      ASSERT_GE(expected.rings.size(), 9 * sizeof sample_ring);
      for (scan_path path : scan_paths) {
        for (std::size_t block_size : blocks) {
          SCOPED_TRACE(shown_path(path) + ", block size " + std::to_string(block_size));
          const conversion stored = convert(log, path, *stored_events, *variant, block_size);
          EXPECT_TRUE(stored.rings == expected.rings);
          EXPECT_EQ(stored.printed, expected.printed);
          EXPECT_EQ(stored.kml, expected.kml);
        }
      }
    }
  }
}

}  // namespace
