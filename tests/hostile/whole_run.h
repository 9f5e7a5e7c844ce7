#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Whole runs of the built telem2kml, each in a scratch folder of its own that is removed afterwards.

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TELEM2KML_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(TELEM2KML_ADDRESS_SANITIZER)
constexpr bool address_sanitizer = true;  // it needs far more address space than any limit set here
#else
constexpr bool address_sanitizer = false;
#endif

struct run_result {
  int status;            // exit status, or 128 + the signal that ended the run
  std::string out;       // standard output
  std::string err;       // standard error
  long peak_memory_kib;  // ru_maxrss of the run
};

struct scratch_folder {
  std::string path;  // holds run/, the run's working folder, and got/, what it printed
  scratch_folder();
  ~scratch_folder();
  scratch_folder(const scratch_folder&) = delete;
  scratch_folder& operator=(const scratch_folder&) = delete;

  std::string in_run(const std::string& name) const { return path + "/run/" + name; }
  // The names in run/ after a run, sorted: what the run left behind.
  std::vector<std::string> run_files() const;
};

// How a run is set up besides the defaults: input from /dev/null, output into got/stdout (then returned in
// `out`), error into got/stderr, no limit but the test's own.
struct run_setup {
  const char* stdout_path = nullptr;  // output into this file instead, `out` left empty
  const char* stdout_opening = ">";   // ... opened as the shell's ">", ">>" or "<>" would, or "|" a FIFO
  const char* stderr_path = nullptr;  // error appended to this file instead ("2>>"), `err` left empty
  bool stderr_as_stdout = false;      // error into standard output's file ("2>&1"), `err` left empty
  bool stdin_closed = false;
  bool stdout_closed = false;
  bool stderr_closed = false;
  long address_space_bytes = 0;        // RLIMIT_AS of the run, if not 0
  long file_size_bytes = 0;            // RLIMIT_FSIZE of the run, if not 0
  long open_files = 0;                 // RLIMIT_NOFILE of the run, if not 0
  const char* failing_file = nullptr;  // the run under strace: its first write into this file fails, EIO
};

// Whether strace may trace and change this machine's system calls.
bool strace_can_inject();

// Runs telem2kml (as "telem2kml") with args in the folder's run/.
run_result run_telem2kml(const scratch_folder& folder, const std::vector<std::string>& args,
                         const run_setup& setup = {});

// Runs the log generator of bench/ with args, its output into path.
void generate_log(const std::vector<std::string>& args, const std::string& path);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

// The KML document start and end as telem2kml writes them, and one segment Placemark whose two
// coordinate lines are given ("lon, lat, alt").
extern const std::string kml_start;
extern const std::string kml_end;
std::string kml_segment(const std::string& from, const std::string& to);

// The echo of an option as the driver prints it, typographic quotes included.
std::string option_echo(const std::string& option, char c, const std::string& value);

// Compares two texts that may be megabytes long: a failure shows where they part, not both texts.
testing::AssertionResult same_bytes(const std::string& expected, const std::string& actual);
