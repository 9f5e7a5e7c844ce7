// A run holds one read block and one output buffer whatever the log's length: its peak resident memory must
// not grow with the log.
#include <gtest/gtest.h>

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
