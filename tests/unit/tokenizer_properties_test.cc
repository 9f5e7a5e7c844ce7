// Properties that need no expected output: they compare the tokenizer, or a whole conversion, with itself
// on random logs of token soup. Each log comes from a seeded generator, so a failure names the seed that
// makes it again.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

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
};

// What a run with -t makes of the log: the KML, and the messages and echoed bytes on standard output.
conversion convert(std::string_view log, scan_path path) {
  reset_run_state();
  use_structural_lane = path == scan_path::lane;
  output_stream = scratch_stream();
  conversion result;
  result.printed = capture_stdout([&] { convert_log(stream_holding(log), dot_events, dot_tokenizer); });
  result.kml = written_bytes(output_stream);
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

}  // namespace
