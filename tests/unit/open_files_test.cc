#include "driver/open_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "driver/driver.h"
#include "run_state.h"
#include "scratch_streams.h"

namespace {

// Each -o is checked against every log opened before it, and again once the options are done: a run of many
// logs and -o files must ask the system a number of questions that grows with the files, not their square.
TEST(OpenFiles, IdentityLookupsGrowWithTheFiles) {
  constexpr int files = 64;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "telem2kml-open-files";
  std::filesystem::create_directories(folder);
  std::vector<std::string> args = {"telem2kml"};
  for (const char* option : {"-t", "-o"}) {
    for (int i = 0; i < files; ++i) {
      const std::string name = (folder / (option + std::to_string(i))).string();
      std::ofstream{name};
      args.insert(args.end(), {option, name});
    }
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  reset_run_state();
  int status = -1;
  capture_stdout([&] { status = run_driver(static_cast<int>(argv.size()), argv.data()); });
  EXPECT_EQ(0, status);
  EXPECT_LE(identity_lookups, 4u * files + 1);
  std::error_code kept;  // on Windows the files the run left open stay until the process ends
  std::filesystem::remove_all(folder, kept);
}

}  // namespace
