// Inputs far beyond what a log or a command line normally holds, made here and never committed. Each run
// must end normally with exactly the expected messages and KML, and leave only its KML behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "whole_run.h"

namespace {

constexpr std::size_t megabyte = std::size_t{1} << 20;

struct hostile_case {
  std::string log;
  std::vector<std::string> args;  // after "-t input.log -o out.kml"
  std::string out;                // standard output after the echoes of -t and -o
  std::string kml;                // between the document start and end
  long address_space_bytes = 0;   // the run's memory limit, if not 0
};

struct hostile_row {
  const char* name;
  std::function<hostile_case()> make;  // big inputs are made one row at a time
};

// A point as the KML writes it, from minutes of arc: the C library's "%.6f" is the reference.
std::string point(double lat, double lon, double alt) {
  char text[1024];
  std::snprintf(text, sizeof text, "%.6f, %.6f, %.6f", lon / 60, lat / 60, alt);
  return text;
}

const std::string header = "samplenumber;gps_curlat;gps_curlon;gps_curalt\n";
const std::string worked_segment = kml_segment(point(3330.6, 2250, 100), point(3331.2, 2250.6, 110));

void expect_run(const hostile_case& c) {
  scratch_folder folder;
  write_file(folder.in_run("input.log"), c.log);
  std::vector<std::string> args = {"-t", "input.log", "-o", "out.kml"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  const long memory = address_sanitizer ? 0 : c.address_space_bytes;
  const run_result run = run_telem2kml(folder, args, {.address_space_bytes = memory});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_TRUE(same_bytes(
      option_echo("smlog|trek", 't', "input.log") + option_echo("kml", 'o', "out.kml") + c.out, run.out));
  EXPECT_EQ((std::vector<std::string>{"input.log", "out.kml"}), folder.run_files());
  if (folder.run_files().size() == 2) {
    EXPECT_TRUE(same_bytes(kml_start + c.kml + kml_end, read_file(folder.in_run("out.kml"))));
  }
}

// Its message quotes it where it lies: a run needs room for one copy of the name, not two.
hostile_case column_name_of_50_megabytes() {
  const std::string name = "n" + std::string(50 * megabyte - 1, 'x');
  return {name + ";" + header + "0;1;3330.0;2250.0;100\n0;2;3330.6;2250.0;100\n0;3;3331.2;2250.6;110\n",
          {},
          "Unkn col nam '" + name + "'\n" +
              "Err: Unkn typ [0]='0'\nErr: Unkn typ [0]='0'\nErr: Unkn typ [0]='0'\n",
          worked_segment,
          90 * static_cast<long>(megabyte)};
}

hostile_case number_of_50_megabytes() {
  return {header + "1;3330." + std::string(50 * megabyte, '0') + ";2250.0;100\n2;3330.6;2250.0;100\n" +
              "3;3331.2;2250.6;110\n",
          {},
          "",
          worked_segment};
}

// A line of blanks only, a separator of ten million blanks, and as many blanks at a line start.
hostile_case lines_of_ten_million_blanks() {
  const std::string blanks(10000000, ' ');
  return {header + "1;3330.0;2250.0;100\n" + blanks + "\n2" + blanks + "3330.6;2250.0;100\n" + blanks +
              "3;3331.2;2250.6;110\n",
          {},
          "",
          worked_segment};
}

// Without a header the first 46 fields are bound; every field after them has no place.
hostile_case lines_of_100000_fields() {
  hostile_case c{"", {}, "Header not found, using default\n", ""};
  for (int k = 1; k <= 3; ++k) {
    for (int i = 0; i < 100000; ++i) {
      const std::string value = std::to_string(i == 0 ? k : i == 10 ? 3330 + k : i == 11 ? 2250 : i + 1);
      if (i > 0) c.log += ';';
      c.log += value;
      if (i >= 46) c.out += "Err: Unkn typ [" + std::to_string(i) + "]='" + value + "'\n";
    }
    c.log += "\n";
  }
  c.kml = kml_segment(point(3332, 2250, 13), point(3333, 2250, 13));
  return c;
}

// Column positions 0 to 999 all named, most of them unknown.
hostile_case header_of_1000_names() {
  hostile_case c{"samplenumber", {}, "", ""};
  for (int i = 1; i < 997; ++i) {
    const std::string name = 'c' + std::to_string(i);
    c.log += ';';
    c.log += name;
    c.out += "Unkn col nam '" + name + "'\n";
  }
  c.log += ";gps_curlat;gps_curlon;gps_curalt\n";
  for (int k = 1; k <= 3; ++k) {
    c.log += std::to_string(k);
    for (int i = 1; i < 997; ++i) {
      c.log += ";7";
      c.out += "Err: Unkn typ [" + std::to_string(i) + "]='7'\n";
    }
    c.log += ';';
    c.log += std::to_string(3330 + k);
    c.log += ";2250;100\n";
  }
  c.kml = kml_segment(point(3332, 2250, 100), point(3333, 2250, 100));
  return c;
}

// The 1001st range is dropped: its samples are not drawn, those of the 1000th are.
hostile_case sample_ranges_1001() {
  std::string list, printed;
  for (int i = 0; i <= 1000; ++i) {
    // appended piece by piece: g++ 12 at -O3 warns falsely on "literal" + std::string
    const std::string begin = std::to_string(10 * i), end = std::to_string(10 * i + 5);
    if (i > 0) list += ',';
    list += begin;
    list += '-';
    list += end;
    if (i < 1000) printed += begin + " < samplenumber < " + end + "\n";
  }
  hostile_case c{header, {"-n", list}, "", ""};
  c.out = option_echo("samples", 'n', list) + "Only 1000 samples intervals\nSelect samplenumber:\n" + printed;
  std::vector<std::string> accepted;
  int line = 0;
  for (int sample : {1, 2, 3, 9991, 9992, 10001, 10002}) {
    const double lat = 3300 + line++;
    c.log += std::to_string(sample) + ";" + std::to_string(lat) + ";2250;100\n";
    if (sample < 10000) accepted.push_back(point(lat, 2250, 100));
  }
  for (std::size_t i = 2; i < accepted.size(); ++i) c.kml += kml_segment(accepted[i - 1], accepted[i]);
  return c;
}

TEST(BigInputs, RunEndsNormallyWithEveryMessage) {
  const hostile_row rows[] = {
      {"a column name of 50 MB", column_name_of_50_megabytes},
      {"a number of 50 MB", number_of_50_megabytes},
      {"lines of ten million blanks", lines_of_ten_million_blanks},
      {"lines of 100,000 fields", lines_of_100000_fields},
      {"a header of 1000 names", header_of_1000_names},
      {"1001 sample ranges", sample_ranges_1001},
  };
  for (const hostile_row& row : rows) {
    SCOPED_TRACE(row.name);
    expect_run(row.make());
  }
}

}  // namespace
