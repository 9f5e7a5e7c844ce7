#include "whole_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace {

constexpr unsigned run_time_limit_seconds = 300;

// ru_maxrss is in bytes on macOS, in KiB on Linux and the BSDs.
#if defined(__APPLE__)
constexpr long rusage_units_per_kib = 1024;
#else
constexpr long rusage_units_per_kib = 1;
#endif

// Runs binary with args (argv[0] included), in folder when it is not empty, standard input from /dev/null,
// standard output and error into files, then set up as asked. Everything the child needs is made before
// fork: after it, only system calls.
run_result spawn(const char* binary, const std::vector<std::string>& args, const std::string& folder,
                 const std::string& out_path, const std::string& err_path, const run_setup& setup) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const std::string_view opening = setup.stdout_opening;
  const int out_flags = opening == ">>"   ? O_WRONLY | O_CREAT | O_APPEND
                        : opening == "<>" ? O_RDWR | O_CREAT
                        : opening == "|"  ? O_WRONLY
                                          : O_WRONLY | O_CREAT | O_TRUNC;
  const pid_t pid = fork();
  if (pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), out_flags, 0644);
    const int err = setup.stderr_as_stdout ? out
                    : setup.stderr_path != nullptr
                        ? open(setup.stderr_path, O_WRONLY | O_CREAT | O_APPEND, 0644)
                        : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    closefrom(3);  // the run must hold no descriptor of the test's own, such as a terminal's far end
    if (setup.stdin_closed) close(0);
    if (setup.stdout_closed) close(1);
    if (setup.stderr_closed) close(2);
    const rlimit memory = {static_cast<rlim_t>(setup.address_space_bytes),
                           static_cast<rlim_t>(setup.address_space_bytes)};
    if (setup.address_space_bytes != 0 && setrlimit(RLIMIT_AS, &memory) != 0) _exit(126);
    const rlimit file_size = {static_cast<rlim_t>(setup.file_size_bytes),
                              static_cast<rlim_t>(setup.file_size_bytes)};
    if (setup.file_size_bytes != 0 && setrlimit(RLIMIT_FSIZE, &file_size) != 0) _exit(126);
    const rlimit open_files = {static_cast<rlim_t>(setup.open_files), static_cast<rlim_t>(setup.open_files)};
    if (setup.open_files != 0 && setrlimit(RLIMIT_NOFILE, &open_files) != 0) _exit(126);
    alarm(run_time_limit_seconds);  // kept across exec: a run that hangs fails instead of stalling the suite
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
    execvp(binary, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) throw std::system_error(errno, std::generic_category(), "wait4");
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const bool err_captured = !setup.stderr_as_stdout && setup.stderr_path == nullptr;
  return {code, "", err_captured ? read_file(err_path) : "", usage.ru_maxrss / rusage_units_per_kib};
}

// The first write into the file, by whatever path the program writes, fails at the system call. A build
// under AddressSanitizer runs without its leak check, which cannot work under ptrace.
std::vector<std::string> strace_failing_first_write(const char* path) {
  std::vector<std::string> argv = {
      "strace", "-qq", "-f", "-o", "/dev/null", "-E", "ASAN_OPTIONS=detect_leaks=0"};
  argv.insert(argv.end(), {"-e", "trace=write", "-e", "inject=write:error=EIO:when=1", "-P", path});
  return argv;
}

}  // namespace

scratch_folder::scratch_folder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "telem2kml-hostile-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  path = pattern;
  std::filesystem::create_directory(path + "/run");
  std::filesystem::create_directory(path + "/got");
}

scratch_folder::~scratch_folder() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::vector<std::string> scratch_folder::run_files() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path + "/run")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool strace_can_inject() {
  const run_result probe =
      spawn("strace", {"strace", "-qq", "-o", "/dev/null", "true"}, "", "/dev/null", "/dev/null", {});
  return probe.status == 0;
}

run_result run_telem2kml(const scratch_folder& folder, const std::vector<std::string>& args,
                         const run_setup& setup) {
  std::vector<std::string> argv = setup.failing_file != nullptr
                                      ? strace_failing_first_write(setup.failing_file)
                                      : std::vector<std::string>{};
  argv.push_back(setup.failing_file != nullptr ? TELEM2KML_BINARY : "telem2kml");
  argv.insert(argv.end(), args.begin(), args.end());
  const std::string out_path = setup.stdout_path != nullptr ? setup.stdout_path : folder.path + "/got/stdout";
  run_result result = spawn(setup.failing_file != nullptr ? "strace" : TELEM2KML_BINARY, argv,
                            folder.path + "/run", out_path, folder.path + "/got/stderr", setup);
  if (setup.stdout_path == nullptr) result.out = read_file(out_path);
  return result;
}

void generate_log(const std::vector<std::string>& args, const std::string& path) {
  std::vector<std::string> argv = {"generate_log"};
  argv.insert(argv.end(), args.begin(), args.end());
  const run_result result = spawn(GENERATE_LOG_BINARY, argv, "", path, path + ".stderr", {});
  std::filesystem::remove(path + ".stderr");
  if (result.status != 0) throw std::runtime_error("generate_log failed: " + result.err);
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("can't read " + path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("can't write " + path);
}

const std::string kml_start =
    "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n<Document>\r\n"
    "<Style id=\"1\">\r\n<LineStyle>\r\n<color>ff0000ff</color>\r\n<width>1</width>\r\n</LineStyle>\r\n"
    "</Style>\r\n"
    "<Style id=\"2\">\r\n<LineStyle>\r\n<color>7f0000ff</color>\r\n<width>1</width>\r\n</LineStyle>\r\n"
    "</Style>\r\n";

const std::string kml_end = "</Document>\r\n</kml>\r\n";

std::string kml_segment(const std::string& from, const std::string& to) {
  return "<Placemark>\r\n<styleUrl>#1</styleUrl>\r\n<LineString>\r\n<altitudeMode>absolute</altitudeMode>\r\n"
         "<coordinates>\r\n" +
         from + "\r\n" + to + "\r\n</coordinates>\r\n</LineString>\r\n</Placemark>\r\n";
}

std::string option_echo(const std::string& option, char c, const std::string& value) {
  return "option --" + option + "(" + c + ") with value \u2018" + value + "\u2019\n";
}

testing::AssertionResult same_bytes(const std::string& expected, const std::string& actual) {
  if (expected == actual) return testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const std::size_t from = at < 40 ? 0 : at - 40;
  return testing::AssertionFailure() << "the texts part at byte " << at << " (expected " << expected.size()
                                     << " bytes, got " << actual.size() << ")\n  expected: ..."
                                     << testing::PrintToString(expected.substr(from, 80))
                                     << "\n  actual:   ..."
                                     << testing::PrintToString(actual.substr(from, 80));
}
