#include "driver/open_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

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
  EXPECT_LE(identity_lookups_made(),
            8u * files);  // a lookup of every log for every -o would make some 2 * 64 * 64
  std::error_code kept;   // on Windows the files the run left open stay until the process ends
  std::filesystem::remove_all(folder, kept);
}

// Windows gives one file many names: its 8.3 short name, another hard link, a path from the current folder
// (and its letters in another case, which a golden case shows). An -o naming the log by any of them must be
// refused.
TEST(OpenFiles, OutputNamingTheLogByAnotherNameIsRefused) {
#ifndef _WIN32
  GTEST_SKIP() << "names that only Windows gives one file";
#else
  namespace fs = std::filesystem;
  const auto utf8 = [](const fs::path& name) {
    const std::u8string text = name.u8string();
    return std::string(text.begin(), text.end());
  };
  const fs::path folder = fs::temp_directory_path() / "telem2kml-names";
  fs::create_directories(folder);
  const fs::path log = folder / "flight of the day.log";
  std::ofstream{log} << "samplenumber\n";
  wchar_t short_name[MAX_PATH];
  const DWORD short_length = GetShortPathNameW(log.c_str(), short_name, MAX_PATH);
  const fs::path hard_link = folder / "same flight.log";
  fs::remove(hard_link);
  ASSERT_TRUE(CreateHardLinkW(hard_link.c_str(), log.c_str(), nullptr));
  const fs::path here = fs::current_path();
  struct other_name {
    const char* what;
    fs::path name;
  };
  const other_name names[] = {
      {"short name", short_length > 0 && short_length < MAX_PATH ? fs::path(short_name) : log},
      {"hard link", hard_link},
      {"from the current folder", log.filename()},
  };
  fs::current_path(folder);
  for (const other_name& other : names) {
    SCOPED_TRACE(std::string(other.what) + ": " + utf8(other.name));
    if (other.name == log) {
      std::printf("[   NOTE   ] no %s differs from the long name here\n", other.what);
      continue;
    }
    reset_run_state();
    const opened_log opened = open_log_file(utf8(log).c_str());
    EXPECT_EQ(LOG_OPENED, opened.verdict);
    EXPECT_EQ(OUTPUT_REFUSED, open_output_file(utf8(other.name).c_str()));
    if (opened.file != nullptr) std::fclose(opened.file);
  }
  reset_run_state();
  fs::current_path(here);
  std::error_code kept;
  fs::remove_all(folder, kept);
#endif
}

}  // namespace
