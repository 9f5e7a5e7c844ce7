// A run holds one read block and one output buffer whatever the log's length: its peak resident memory must
// not grow with the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "whole_run.h"

namespace {

constexpr long allowed_growth_kib = 4096;  // page-cache and allocator noise, far below one log megabyte in 19

long peak_memory_kib(const std::string& bytes) {
  scratch_folder folder;
  generate_log({"--bytes", bytes}, folder.in_run("input.log"));
  const run_result run = run_telem2kml(folder, {"-t", "input.log", "-o", "out.kml"});
  EXPECT_EQ(0, run.status);
  return run.peak_memory_kib;
}

// A log holding a run of 64 MiB of one byte. It is written piece by piece: a forked run's peak counts the
// pages it shares with this process.
long peak_memory_with_long_run_kib(const std::string& before, char repeated, const std::string& after) {
  scratch_folder folder;
  {
    std::ofstream log(folder.in_run("input.log"), std::ios::binary);
    const std::string piece(std::size_t{1} << 20, repeated);
    log << before;
    for (int i = 0; i < 64; ++i) log << piece;
    log << after;
  }
  const run_result run = run_telem2kml(folder, {"-t", "input.log", "-o", "out.kml"});
  EXPECT_EQ(0, run.status);
  return run.peak_memory_kib;
}

TEST(PeakMemory, DoesNotGrowWithTheLog) {
  const long small = peak_memory_kib("1000000");
  const long large = peak_memory_kib("20000000");
  RecordProperty("peak_kib_1mb_log", static_cast<int>(small));
  RecordProperty("peak_kib_20mb_log", static_cast<int>(large));
  std::printf("peak resident memory: %ld KiB for a 1 MB log, %ld KiB for a 20 MB log\n", small, large);
  EXPECT_LT(large, small + allowed_growth_kib);
}

}  // namespace

// A run of line breaks or blanks is one token, but no operation reads its text: however long, it is not kept.
TEST(PeakMemory, LongRunsOfLineBreaksAndBlanksAreNotKept) {
  const long small = peak_memory_kib("1000000");
  EXPECT_LT(peak_memory_with_long_run_kib("1;3330;2250;100", '\n', ""), small + allowed_growth_kib);
  EXPECT_LT(peak_memory_with_long_run_kib("1;3330", ' ', "2250;100\n"), small + allowed_growth_kib);
}

// Nothing the options print is kept back, whatever it amounts to and wherever it goes.
TEST(PeakMemory, UsageTextsIntoAFileAreNotHeld) {
  const std::string letters = "-" + std::string(20000, 'h');
  scratch_folder folder;
  const run_result baseline = run_telem2kml(folder, {"-h", "-h", "-h", "-h"});
  const run_result run = run_telem2kml(folder, {letters, letters, letters, letters});
  const std::string usage =
      "U: telem2kml OPTIONS\nOPTIONS:\n-n|--samples beg1-end1,beg2-end2[,...] (select this samples only)\n"
      "-t|--trek|--smlog log-file-name        (eng. locale decimal DOT)\n"
      "-r|--trek-ru|--smlog-ru log-file-name  (rus. locale decimal COMMA)\n-o|--kml "
      "kml-file-name\n-h|--help\n\n";
  std::string expected;
  for (int i = 0; i < 4 * 20000; ++i) expected += usage;
  EXPECT_TRUE(same_bytes(expected + "Err. no input file\n", run.out));
  EXPECT_LT(run.peak_memory_kib, baseline.peak_memory_kib + 12 * 1024);
}

// Memory that runs out anywhere (the files the options open, what they remember of them) ends the run with
// status 2 and one line on standard error, never with a signal.
TEST(PeakMemory, NoMemoryEndsTheRunWithStatus2) {
  if (address_sanitizer) GTEST_SKIP() << "AddressSanitizer needs far more address space than the limits";
  scratch_folder folder;
  write_file(folder.in_run("f.log"), "samplenumber\n");
  std::vector<std::string> args;
  for (int i = 0; i < 9000; ++i) args.insert(args.end(), {"-t", "f.log"});
  args.insert(args.end(), {"-o", "out.kml"});
  for (long megabytes = 8; megabytes <= 16; ++megabytes) {
    SCOPED_TRACE(std::to_string(megabytes) + " MB");
    const run_result run =
        run_telem2kml(folder, args, {.address_space_bytes = megabytes << 20, .open_files = 10000});
    EXPECT_TRUE(run.status == 0 || run.status == 2) << run.status;
    if (run.status == 2) {
      EXPECT_EQ(0u, run.err.rfind("telem2kml: no memory ", 0)) << run.err;
      EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
    }
  }
}
