#include "kml/track_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "log/log_events.h"
#include "log/tokenizer.h"
#include "run_state.h"
#include "samples/sample_intervals.h"
#include "scratch_streams.h"

// Whole logs go through the tokenizer into the event operations, as in a run; the KML goes to memory.

namespace {

class TrackBuilder : public ::testing::Test {
 protected:
  void SetUp() override { reset_run_state(); }
  void TearDown() override { reset_run_state(); }
};

// The Placemark of one segment, its two coordinate lines given as "from -> to".
std::string placemark(const std::string& segment) {
  const std::size_t arrow = segment.find(" -> ");
  return "<Placemark>\r\n<styleUrl>#1</styleUrl>\r\n<LineString>\r\n<altitudeMode>absolute</altitudeMode>\r\n"
         "<coordinates>\r\n" +
         segment.substr(0, arrow) + "\r\n" + segment.substr(arrow + 4) +
         "\r\n</coordinates>\r\n</LineString>\r\n</Placemark>\r\n";
}

struct track_case {
  const char* name;
  std::string log;
  std::vector<std::string> segments;  // "lon, lat, alt -> lon, lat, alt" in degrees, as written
  std::int32_t accepted;              // accepted_count at the end
  std::string printed = "";           // standard output: messages and echoed bytes
  const char* samples = nullptr;      // the -n list, if any
  bool comma = false;
  std::string log_after_jump = "";  // read after accepted_count is set to jump_to
  std::int32_t jump_to = 0;
};

// Reads the log (and the part after the jump) and returns the KML written.
std::string track_of(const track_case& c, std::string* printed) {
  output = kml_through_stdio(scratch_stream());
  *printed = capture_stdout([&] {
    if (c.samples != nullptr) parse_sample_intervals(c.samples);
  });
  const tokenizer& variant = c.comma ? comma_tokenizer : dot_tokenizer;
  *printed +=
      capture_stdout([&] { run_log(stream_holding(c.log), c.comma ? comma_events : dot_events, variant); });
  if (!c.log_after_jump.empty()) {  // the same run goes on from the jump
    accepted_count = c.jump_to;
    FILE* input = stream_holding(c.log_after_jump);
    *printed += capture_stdout([&] { variant.scan_log(input); });
    std::fclose(input);
  }
  const std::string kml = written_bytes(output.stream);
  output = kml_through_stdio(stdout);
  return kml;
}

const std::string header = "samplenumber;gps_curlat;gps_curlon;gps_curalt\n";
// Minutes of arc 3600, 3606, 3612 and 1800, 1806 are written as degrees 60.1, 60.2 and 30.0, 30.1.
const std::string s1 = "1;3600;1800;10\n", s2 = "2;3606;1800;10\n", s3 = "3;3612;1800;10\n",
                  s4 = "4;3612;1806;10\n";
const std::string p1 = "30.000000, 60.000000, 10.000000", p2 = "30.000000, 60.100000, 10.000000",
                  p3 = "30.000000, 60.200000, 10.000000", p4 = "30.100000, 60.200000, 10.000000";

TEST_F(TrackBuilder, AcceptedSamplesThatMoveDrawSegments) {
  const track_case cases[] = {
      {"worked example",
       header + "1;3330.0;2250.0;100\n2;3330.6;2250.0;100\n3;3331.2;2250.6;110\n",
       {"37.500000, 55.510000, 100.000000 -> 37.510000, 55.520000, 110.000000"},
       3},
      {"worked example, decimal comma, CR LF and empty lines",
       header + "\r\n1;3330,0;2250,0;100\r\n\r\n2;3330,6;2250,0;100\r\n3;3331,2;2250,6;110\r\n",
       {"37.500000, 55.510000, 100.000000 -> 37.510000, 55.520000, 110.000000"},
       3,
       "",
       nullptr,
       true},
      {"two accepted samples", header + s1 + s2, {}, 2},
      {"three accepted samples", header + s1 + s2 + s3, {p2 + " -> " + p3}, 3},
      {"four accepted samples", header + s1 + s2 + s3 + s4, {p2 + " -> " + p3, p3 + " -> " + p4}, 4},
      {"altitude moves by 1, then not at all",
       header + s1 + s2 + "3;3606;1800;11\n4;3606;1800;11\n",
       {p2 + " -> 30.000000, 60.100000, 11.000000"},
       4},
      {"a move below the threshold is none", header + s1 + s2 + "3;3606.00001;1800;10.0000004\n", {}, 3},
      {"a move of exactly the threshold is none",
       header + s1 + "2;3606;1800;0\n3;3606;1800;0.0000005\n",
       {},
       3},
      {"no move", header + s1 + "2;3600;1800;10\n3;3600;1800;10\n", {}, 3},
      {"no fix: not accepted, the next line fills the same slot",
       header + s1 + "2;0.5;1800;10\n2;3606;-0.5;10\n2;1.0;1800;10\n2;-1.0;1800;10\n2;3606;1;10\n" + s2 + s3,
       {p2 + " -> " + p3},
       3},
      {"southern and western positions have a fix",
       header + s1 + s2 + "3;-1.5;-3600;-20\n",
       {p2 + " -> -60.000000, -0.025000, -20.000000"},
       3},
      {"unselected samples are not accepted",
       header + s1 + s2 + "9;7200;1800;10\n" + s3 + s4,
       {p3 + " -> " + p4},
       3,
       "Select samplenumber:\n1 < samplenumber < 5\n",
       "1-5"},
      {"no samplenumber column",
       "gps_curlat;gps_curlon;gps_curalt\n3600;1800;10\n3606;1800;10\n3612;1800;10\n",
       {},
       0},
      {"lines that store no value judge nothing",
       header + s1 + s2 + s3 + "   \n;;\nsamplenumber;gps_curlat\n;;;;7\n" + s4,
       {p2 + " -> " + p3, p3 + " -> " + p4},
       4,
       "Err: Unkn typ [4]='7'\n"},
      {"positions that are not finite have no fix",
       header + s1 + s2 +
           "3;1.0e999;1800;10\n3;3612;-1.0e999;10\n3;3612;1800;1.0e999\n3;3612;1800;-1.0e999\n" + s4,
       {p2 + " -> " + p4},
       3},
      {"a last line without a line break is never judged", header + s1 + s2 + "3;3612;1800;10", {}, 2},
      {"accepted_count at the top of its range keeps alternating",
       header + s1 + s2,
       {p2 + " -> " + p3, p3 + " -> " + p4, p4 + " -> " + p1, p1 + " -> " + p2},
       INT32_MAX - 1,
       "",
       nullptr,
       false,
       s3 + s4 + s1 + s2,
       INT32_MAX - 1},
  };
  for (const track_case& c : cases) {
    SCOPED_TRACE(c.name);
    reset_run_state();
    std::string printed;
    std::string expected;
    for (const std::string& segment : c.segments) expected += placemark(segment);
    EXPECT_EQ(track_of(c, &printed), expected);
    EXPECT_EQ(accepted_count, c.accepted);
    EXPECT_EQ(printed, c.printed);
  }
}

}  // namespace
