// The shipped program takes its fast paths. A whole conversion runs as main runs it, with nothing reset
// before (ctest gives each test a process of its own, and the run goes on in a child of it), and the fast
// paths' own counters must show the structural lane at work where the processor has it, values stored by
// the fast paths themselves, the scalar lane taking bytes, the KML of the -o file written a megabyte at a
// time, and, on a log the lane declines, the lane held off as its pace allows.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "kml/kml_writer.h"
#include "log/structural_lane.h"
#include "log/tokenizer.h"
#include "processor_reports_lane.h"
#include "samples/sample_assembly.h"

namespace {

constexpr int copies_of_the_flight = 8;

// The example flight's lines again and again after its header, their separators as given.
std::string flight_log(const std::string& separator) {
  std::ifstream example(std::string(TELEM2KML_EXAMPLES) + "/flight.log", std::ios::binary);
  const std::string flight{std::istreambuf_iterator<char>(example), std::istreambuf_iterator<char>()};
  const std::size_t header_end = flight.find('\n') + 1;
  std::string lines;
  for (char c : flight.substr(header_end)) lines += c == ';' ? separator : std::string(1, c);
  std::string log = flight.substr(0, header_end);
  for (int i = 0; i < copies_of_the_flight; ++i) log += lines;
  return log;
}

std::uint64_t file_size(const std::string& path) {
  return static_cast<std::uint64_t>(std::filesystem::file_size(path));
}

struct counted_run {
  fast_path_counts fast;
  std::uint64_t direct_stores;
  std::uint64_t kml_writes;
  std::uint64_t kml_bytes;
};

// `telem2kml -t LOG -o KML` as main runs it, standard output into a file beside them; what the counters
// counted for it.
counted_run run_as_main(const std::string& folder, const std::string& log) {
  if (std::freopen((folder + "/printed").c_str(), "wb", stdout) == nullptr) std::abort();
  const std::string kml = folder + "/out.kml";
  std::vector<std::string> arguments = {"telem2kml", "-t", log, "-o", kml};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  if (exit_status_of(run_driver(static_cast<int>(arguments.size()), argv.data())) != 0) std::abort();
  return {fast_paths_taken, direct_store_stretches, kml_writes_made(), file_size(kml)};
}

// Ends the child process: status 0 when every check held, else 1 with the failed checks on standard error.
[[noreturn]] void end_with(const std::string& failed) {
  std::fputs(failed.c_str(), stderr);
  std::exit(failed.empty() ? 0 : 1);
}

struct ShippedFastPaths : testing::Test {
  std::string folder;
  void SetUp() override {
    folder = (std::filesystem::temp_directory_path() / ("telem2kml-fast-paths-" + std::to_string(getpid())))
                 .string();
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::string written_log(const std::string& separator) {
    const std::string path = folder + "/input.log";
    std::ofstream(path, std::ios::binary) << flight_log(separator);
    return path;
  }
};

TEST_F(ShippedFastPaths, TakesEveryFastPathOnALogOfPlainNumbers) {
  const std::string log = written_log(";");
  const std::uint64_t log_bytes = file_size(log);
  EXPECT_EXIT(
      {
        const counted_run run = run_as_main(folder, log);
        std::string failed;
        if (processor_reports_lane() && run.fast.lane_windows * lane_window_size < log_bytes / 2) {
          failed += "the structural lane took " + std::to_string(run.fast.lane_windows) + " windows of " +
                    std::to_string(log_bytes) + " bytes\n";
        }
        if (run.direct_stores < copies_of_the_flight)
          failed += "the fast paths stored no values themselves\n";
        if (run.fast.fast_lane_bytes == 0) failed += "the scalar lane took nothing\n";
        if (run.kml_bytes < (std::uint64_t{1} << 20) || run.kml_writes > run.kml_bytes / (1 << 20) + 1) {
          failed += std::to_string(run.kml_bytes) + " bytes of KML took " + std::to_string(run.kml_writes) +
                    " writes\n";
        }
        end_with(failed);
      },
      testing::ExitedWithCode(0), "^$");
}

// Blanks around every separator: the lane stops in every window, and holds off for longer and longer.
TEST_F(ShippedFastPaths, HoldsTheLaneOffALogItDeclines) {
  const std::string log = written_log(" ; ");
  const std::uint64_t log_bytes = file_size(log);
  const std::uint64_t blocks = log_bytes / default_read_block_size + 1;
  EXPECT_EXIT(
      {
        const counted_run run = run_as_main(folder, log);
        std::string failed;
        const std::uint64_t allowed = log_bytes / (max_held_windows * lane_window_size) + 4 * blocks + 8;
        if (processor_reports_lane() && run.fast.lane_tries > allowed) {
          failed += "the lane was tried " + std::to_string(run.fast.lane_tries) + " times, more than " +
                    std::to_string(allowed) + "\n";
        }
        if (run.fast.fast_lane_bytes < log_bytes / 4) failed += "the scalar lane took little\n";
        end_with(failed);
      },
      testing::ExitedWithCode(0), "^$");
}

}  // namespace
