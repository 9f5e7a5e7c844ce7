// Runs whose log stops reading, whose output refuses bytes, or whose log and output are one file: each must
// end with its exact status and messages, keep what was already written, never write a byte into the log,
// and leave nothing else behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "whole_run.h"

namespace {

const std::string worked_log =
    "samplenumber;gps_curlat;gps_curlon;gps_curalt\n1;3330.0;2250.0;100\n2;3330.6;2250.0;100\n"
    "3;3331.2;2250.6;110\n";
const std::string worked_segment =
    kml_segment("37.500000, 55.510000, 100.000000", "37.510000, 55.520000, 110.000000");
const std::string read_failure = "telem2kml: can't read the log: Input/output error\n";

// A pseudo-terminal whose far end hangs up after the log has been read: the next read fails with EIO.
struct hanging_terminal {
  int master = -1;
  int slave = -1;  // kept open here to watch what the run has not read yet
  std::string name;

  bool open_pair() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname(master) == nullptr)
      return false;
    name = ptsname(master);
    slave = open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (slave < 0 || tcgetattr(slave, &raw) != 0) return false;
    cfmakeraw(&raw);  // bytes pass unchanged: no CR to LF, no echo
    return tcsetattr(slave, TCSANOW, &raw) == 0;
  }
  // Types the text, waits until the run has taken all of it, then hangs up.
  void type_then_hang_up(const std::string& text) {
    if (write(master, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return;
    for (int waited = 0, unread = 1; unread > 0 && waited < 1000; ++waited) {
      if (ioctl(slave, FIONREAD, &unread) != 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    close(master);
    master = -1;
  }
  ~hanging_terminal() {
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
};

TEST(FaultRuns, LogReadFailsPartWay) {
  hanging_terminal terminal;
  if (!terminal.open_pair()) GTEST_SKIP() << "no pseudo-terminal to read the log from";
  scratch_folder folder;
  auto run = std::async(std::launch::async, [&] {
    return run_telem2kml(folder, {"-t", terminal.name, "-o", "out.kml"});
  });
  // Each line is read as it is typed; the last line's end is not yet known when the read fails, since more
  // line breaks might follow: the segment of sample 3 is written, not the one of sample 4.
  terminal.type_then_hang_up(worked_log + "4;3331.8;2251.2;120\n");
  const run_result result = run.get();
  EXPECT_EQ(2, result.status);
  EXPECT_EQ(read_failure, result.err);
  EXPECT_EQ(option_echo("smlog|trek", 't', terminal.name) + option_echo("kml", 'o', "out.kml"), result.out);
  EXPECT_EQ(std::vector<std::string>{"out.kml"}, folder.run_files());
  EXPECT_EQ(kml_start + worked_segment, read_file(folder.in_run("out.kml")));
}

TEST(FaultRuns, LogReadFailsAtOnce) {
  scratch_folder folder;
  const run_result result = run_telem2kml(folder, {"-o", "out.kml", "-t", "/proc/self/mem"});
  EXPECT_EQ(2, result.status);
  EXPECT_EQ(read_failure, result.err);
  EXPECT_EQ(option_echo("kml", 'o', "out.kml") + option_echo("smlog|trek", 't', "/proc/self/mem"),
            result.out);
  EXPECT_EQ(std::vector<std::string>{"out.kml"}, folder.run_files());
  EXPECT_EQ(kml_start, read_file(folder.in_run("out.kml")));
}

TEST(FaultRuns, FullDevices) {
  struct full_case {
    const char* name;
    std::vector<std::string> args;
    const char* stdout_path = nullptr;  // nullptr: a file
    std::string err;
    std::string out = "";
    long file_size_bytes = 0;
  };
  const full_case cases[] = {
      {.name = "KML on a full standard output",
       .args = {"-t", "input.log", "-n", "0-9"},
       .stdout_path = "/dev/full",
       .err = "Can't write standard output\n"},
      {.name = "KML of megabytes into a full device",
       .args = {"-t", "input.log", "-o", "/dev/full"},
       .err = "Can't write file '/dev/full'\n",
       .out = option_echo("smlog|trek", 't', "input.log") + option_echo("kml", 'o', "/dev/full")},
      {.name = "KML past the file-size limit",
       .args = {"-t", "input.log", "-o", "../got/out.kml"},
       .err = "Can't write file '../got/out.kml'\n",
       .out = option_echo("smlog|trek", 't', "input.log") + option_echo("kml", 'o', "../got/out.kml"),
       .file_size_bytes = 1 << 20},
  };
  for (const full_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_folder folder;
    generate_log({"--bytes", "5000000"}, folder.in_run("input.log"));
    const std::string log = read_file(folder.in_run("input.log"));
    const run_result result =
        run_telem2kml(folder, c.args, {.stdout_path = c.stdout_path, .file_size_bytes = c.file_size_bytes});
    EXPECT_EQ(252, result.status);
    EXPECT_EQ(c.err, result.err);
    EXPECT_EQ(c.out, result.out);
    EXPECT_EQ(std::vector<std::string>{"input.log"}, folder.run_files());
    EXPECT_TRUE(log == read_file(folder.in_run("input.log")));
  }
}

// A write of the KML that fails once, and then no more, still fails the run: the KML lacks a block.
TEST(FaultRuns, WriteThatFailsOnce) {
  if (!strace_can_inject()) GTEST_SKIP() << "strace is missing or may not trace here";
  struct failing_case {
    const char* name;
    std::vector<std::string> args;
    const char* failing_file;  // of the scratch folder
    std::string err;
  };
  const failing_case cases[] = {
      {"the -o file", {"-t", "input.log", "-o", "out.kml"}, "run/out.kml", "Can't write file 'out.kml'\n"},
      {"standard output",
       {"-t", "input.log", "-n", "0-999999999"},
       "got/stdout",
       "Can't write standard output\n"},
  };
  for (const failing_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_folder folder;
    generate_log({"--bytes", "5000000"}, folder.in_run("input.log"));
    const std::string failing = folder.path + "/" + c.failing_file;
    const run_result result = run_telem2kml(folder, c.args, {.failing_file = failing.c_str()});
    EXPECT_EQ(252, result.status);
    EXPECT_EQ(c.err, result.err);
  }
}

// However the log and the output are named, in whatever order, and wherever standard output goes, the log
// keeps every byte and the KML goes where nothing is overwritten.
TEST(FaultRuns, LogAndOutputAsOneFile) {
  struct same_file_case {
    const char* name;
    std::vector<std::string> args;
    int status = 0;
    std::string out;  // standard output, or what its file holds beyond the log's own bytes
    std::string err = "";
    const char* stdout_file = nullptr;  // a file of run/ taking standard output, opened as the shell's
    const char* redirection = ">";      // ">", ">>" or "<>" would, or "|" a named pipe read to its end
    const char* kml_file = nullptr;     // the file that holds the KML alone, if any
    long open_files = 0;                // the run's limit of open files, if not 0
    const char* stderr_file = nullptr;  // a file of run/ that standard error appends to
    bool stderr_as_stdout = false;      // standard error into standard output's file
  };
  const std::string kml = kml_start + worked_segment + kml_end;
  const auto refused = [](const std::string& name) {
    return "Can't open file '" + name + "' for writing, ignored\n";
  };
  const std::string echo_log = option_echo("smlog|trek", 't', "f.log");
  const std::string log_is_stdout = "Can't read file-log 'f.log': it is standard output\n";
  std::string refused_five_times;
  for (int i = 0; i < 5; ++i) refused_five_times += option_echo("kml", 'o', "f.log") + refused("f.log");
  std::string many_ranges = "10-20";  // printed back as some 16 KiB of interval lines
  for (int i = 1; i < 500; ++i) many_ranges.append(",").append(std::to_string(10 * i)).append("-999999");
  const same_file_case cases[] = {
      {.name = "a replaced log named by -o",
       .args = {"-t", "f.log", "-t", "other.log", "-o", "f.log"},
       .out = echo_log + option_echo("smlog|trek", 't', "other.log") + option_echo("kml", 'o', "f.log") +
              refused("f.log") + kml},
      {.name = "-o naming the log before it",
       .args = {"-o", "f.log", "-t", "f.log"},
       .out = option_echo("kml", 'o', "f.log") + echo_log + refused("f.log") + kml},
      {.name = "-o naming the log through a symbolic link",
       .args = {"-o", "symbolic.kml", "-t", "f.log"},
       .out = option_echo("kml", 'o', "symbolic.kml") + echo_log + refused("symbolic.kml") + kml},
      {.name = "-o naming the log through a hard link",
       .args = {"-o", "hard.kml", "-t", "./f.log"},
       .out = option_echo("kml", 'o', "hard.kml") + option_echo("smlog|trek", 't', "./f.log") +
              refused("hard.kml") + kml},
      {.name = "an earlier -o naming the log",
       .args = {"-o", "f.log", "-o", "out.kml", "-t", "f.log"},
       .out = option_echo("kml", 'o', "f.log") + option_echo("kml", 'o', "out.kml") + echo_log,
       .kml_file = "out.kml"},
      {.name = "-o naming the log, then a missing log",
       .args = {"-o", "f.log", "-t", "f.log", "-t", "missing"},
       .status = 253,
       .out = option_echo("kml", 'o', "f.log") + echo_log + refused("f.log") +
              option_echo("smlog|trek", 't', "missing") + "Can't read file-log 'missing'\n"},
      {.name = "standard output appending to the log",
       .args = {"-t", "f.log", "-o", "out.kml"},
       .status = 253,
       .out = "",
       .err = log_is_stdout,
       .stdout_file = "f.log",
       .redirection = ">>"},
      {.name = "standard output appending to the log, after more messages than stdio buffers",
       .args = {"-n", many_ranges, "-t", "f.log"},
       .status = 253,
       .out = "",
       .err = log_is_stdout,
       .stdout_file = "f.log",
       .redirection = ">>"},
      {.name = "standard output appending to the log, with no descriptor to spare",
       .args = {"-t", "f.log", "-n", "1-9", "-o", "out.kml"},
       .status = 253,
       .out = "",
       .err = log_is_stdout,
       .stdout_file = "f.log",
       .redirection = ">>",
       .open_files = 4},
      {.name = "standard output appending to a log that -o left no descriptor to open",
       .args = {"-n", "1-9", "-o", "/dev/null", "-t", "f.log"},
       .status = 253,
       .out = "",
       .err = log_is_stdout,
       .stdout_file = "f.log",
       .redirection = ">>",
       .open_files = 4},
      {.name = "standard error appending to the log: getopt's complaint goes nowhere",
       .args = {"-x", "-n", "0-9", "-o", "out.kml", "-t", "f.log"},
       .out = option_echo("samples", 'n', "0-9") + "Select samplenumber:\n0 < samplenumber < 9\n" +
              option_echo("kml", 'o', "out.kml") + echo_log,
       .kml_file = "out.kml",
       .stderr_file = "f.log"},
      {.name = "standard output and error appending to the log",
       .args = {"-x", "-t", "f.log", "-o", "out.kml"},
       .status = 253,
       .out = "",
       .stdout_file = "f.log",
       .redirection = ">>",
       .stderr_as_stdout = true},
      {.name = "refused -o files give their descriptors back",
       .args = {"-t", "f.log", "-o", "f.log", "-o", "f.log", "-o", "f.log", "-o", "f.log", "-o", "f.log",
                "-t", "other.log"},
       .out = echo_log + refused_five_times + option_echo("smlog|trek", 't', "other.log") + kml,
       .open_files = 5},
      {.name = "standard output writing over the log",
       .args = {"-n", "0-9", "-t", "f.log"},
       .status = 253,
       .out = "",
       .err = log_is_stdout,
       .stdout_file = "f.log",
       .redirection = "<>"},
      {.name = "the log read from standard output's own pipe",
       .args = {"-t", "/dev/stdout", "-o", "out.kml"},
       .status = 253,
       .out = "",
       .err = "Can't read file-log '/dev/stdout': it is standard output\n",
       .stdout_file = "pipe",
       .redirection = "|"},
      {.name = "-o naming standard output's file",
       .args = {"-t", "f.log", "-o", "out.kml"},
       .out = echo_log + option_echo("kml", 'o', "out.kml") + kml,
       .stdout_file = "out.kml"},
      {.name = "-o naming /dev/stdout",
       .args = {"-t", "f.log", "-o", "/dev/stdout"},
       .out = echo_log + option_echo("kml", 'o', "/dev/stdout") + kml,
       .stdout_file = "captured.kml"},
  };
  for (const same_file_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_folder folder;
    write_file(folder.in_run("f.log"), worked_log);
    write_file(folder.in_run("other.log"), worked_log);
    ASSERT_EQ(0, symlink("f.log", folder.in_run("symbolic.kml").c_str()));
    ASSERT_EQ(0, link(folder.in_run("f.log").c_str(), folder.in_run("hard.kml").c_str()));
    std::vector<std::string> files = {"f.log", "hard.kml", "other.log", "symbolic.kml"};
    const std::string stdout_path = c.stdout_file != nullptr ? folder.in_run(c.stdout_file) : "";
    const std::string stderr_path = c.stderr_file != nullptr ? folder.in_run(c.stderr_file) : "";
    const bool to_pipe = std::string_view(c.redirection) == "|";
    std::future<std::string> piped;
    if (to_pipe) {
      ASSERT_EQ(0, mkfifo(stdout_path.c_str(), 0600));
      piped = std::async(std::launch::async, [&] { return read_file(stdout_path); });
    }
    if (c.stdout_file != nullptr) files.push_back(c.stdout_file);
    if (c.kml_file != nullptr) files.push_back(c.kml_file);
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());

    const run_result result =
        run_telem2kml(folder, c.args,
                      {.stdout_path = c.stdout_file != nullptr ? stdout_path.c_str() : nullptr,
                       .stdout_opening = c.redirection,
                       .stderr_path = c.stderr_file != nullptr ? stderr_path.c_str() : nullptr,
                       .stderr_as_stdout = c.stderr_as_stdout,
                       .open_files = c.open_files});
    EXPECT_EQ(c.status, result.status);
    EXPECT_EQ(c.err, result.err);
    const bool stdout_is_log = c.stdout_file != nullptr && std::string_view(c.stdout_file) == "f.log";
    const std::string out = to_pipe                    ? piped.get()
                            : c.stdout_file != nullptr ? read_file(stdout_path)
                                                       : result.out;
    EXPECT_EQ((stdout_is_log ? worked_log : "") + c.out, out);
    if (!stdout_is_log) {
      EXPECT_EQ(worked_log, read_file(folder.in_run("f.log")));
    }
    if (c.kml_file != nullptr) {
      EXPECT_EQ(kml, read_file(folder.in_run(c.kml_file)));
    }
    EXPECT_EQ(files, folder.run_files());
  }
}

// An -o file that cannot be emptied is refused, so that the KML never lands over older bytes with success.
TEST(FaultRuns, OutputThatCannotBeEmptied) {
  // A memory file sealed against shrinking: truncating it fails, whatever name reaches it.
  const int sealed = memfd_create("stale", MFD_ALLOW_SEALING | MFD_CLOEXEC);
  if (sealed < 0) GTEST_SKIP() << "no memfd_create to make a file that cannot be emptied";
  const std::string stale = "older bytes of another run\n";
  ASSERT_EQ(static_cast<ssize_t>(stale.size()), write(sealed, stale.data(), stale.size()));
  ASSERT_EQ(0, fcntl(sealed, F_ADD_SEALS, F_SEAL_SHRINK));
  const std::string name = "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(sealed);
  scratch_folder folder;
  write_file(folder.in_run("input.log"), worked_log);
  const run_result result = run_telem2kml(folder, {"-t", "input.log", "-o", name});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.err);
  EXPECT_EQ(option_echo("smlog|trek", 't', "input.log") + option_echo("kml", 'o', name) +
                "Can't open file '" + name + "' for writing, ignored\n" + kml_start + worked_segment +
                kml_end,
            result.out);
  EXPECT_EQ(stale, read_file(name));
  close(sealed);
}

// Mounts that vanish with the test's process: a mount namespace of its own, whose mounts nothing shares.
bool private_mounts() {
  return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// One file shown on two volumes is one file, and two files that only share an inode number are two.
TEST(FaultRuns, OneFileOnTwoVolumes) {
  if (!private_mounts()) GTEST_SKIP() << "mounting needs a mount namespace of the test's own (root)";
  struct volumes_case {
    const char* name;
    std::vector<std::string> args;
    int status = 0;
    std::string out = "";
    std::string err = "";
    const char* stdout_file = nullptr;  // a file of run/ that standard output appends to
    const char* log = nullptr;          // a file of run/ that must keep its bytes
    const char* kml_file = nullptr;     // the file that holds the KML alone, if any
  };
  const std::string kml = kml_start + worked_segment + kml_end;
  const auto refused = [](const std::string& name) {
    return option_echo("kml", 'o', name) + "Can't open file '" + name + "' for writing, ignored\n";
  };
  const auto log_echo = [](const std::string& name) { return option_echo("smlog|trek", 't', name); };
  const volumes_case cases[] = {
      {.name = "an overlay's file made in its upper folder, as -o through the merged folder",
       .args = {"-t", "upper/made.log", "-o", "merged/made.log"},
       .out = log_echo("upper/made.log") + refused("merged/made.log") + kml,
       .log = "upper/made.log"},
      {.name = "a file copied up, read through the merged folder, as -o in the upper folder",
       .args = {"-t", "merged/copied.log", "-o", "upper/copied.log"},
       .out = log_echo("merged/copied.log") + refused("upper/copied.log") + kml,
       .log = "merged/copied.log"},
      {.name = "a file copied up, as -o in the upper folder before it is read through the merged folder",
       .args = {"-o", "upper/copied.log", "-t", "merged/copied.log"},
       .out = option_echo("kml", 'o', "upper/copied.log") + log_echo("merged/copied.log") +
              "Can't open file 'upper/copied.log' for writing, ignored\n" + kml,
       .log = "merged/copied.log"},
      {.name = "standard output appending to the merged view of the log",
       .args = {"-t", "upper/made.log", "-o", "out.kml"},
       .status = 253,
       .err = "Can't read file-log 'upper/made.log': it is standard output\n",
       .stdout_file = "merged/made.log",
       .log = "upper/made.log"},
      {.name = "first files of two file systems, both inode 2",
       .args = {"-t", "one/f.log", "-o", "two/f.kml"},
       .out = log_echo("one/f.log") + option_echo("kml", 'o', "two/f.kml"),
       .log = "one/f.log",
       .kml_file = "two/f.kml"},
  };
  for (const volumes_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_folder folder;
    for (const char* dir : {"lower", "upper", "work", "merged", "one", "two"}) {
      std::filesystem::create_directory(folder.in_run(dir));
    }
    const std::string overlay_options = "lowerdir=" + folder.in_run("lower") +
                                        ",upperdir=" + folder.in_run("upper") +
                                        ",workdir=" + folder.in_run("work");
    write_file(folder.in_run("lower/copied.log"), worked_log);
    ASSERT_EQ(0, mount("overlay", folder.in_run("merged").c_str(), "overlay", 0, overlay_options.c_str()));
    ASSERT_EQ(0, mount("tmpfs", folder.in_run("one").c_str(), "tmpfs", 0, "size=1m"));
    ASSERT_EQ(0, mount("tmpfs", folder.in_run("two").c_str(), "tmpfs", 0, "size=1m"));
    write_file(folder.in_run("merged/made.log"), worked_log);
    write_file(folder.in_run("merged/copied.log"), worked_log);  // copied up: the lower file's inode
    write_file(folder.in_run("one/f.log"), worked_log);
    write_file(folder.in_run("two/f.kml"), "a file of another size");
    const std::string stdout_path = c.stdout_file != nullptr ? folder.in_run(c.stdout_file) : "";
    const run_result result = run_telem2kml(
        folder, c.args,
        {.stdout_path = c.stdout_file != nullptr ? stdout_path.c_str() : nullptr, .stdout_opening = ">>"});
    EXPECT_EQ(c.status, result.status);
    EXPECT_EQ(c.err, result.err);
    EXPECT_EQ(c.out, c.stdout_file != nullptr ? "" : result.out);
    EXPECT_EQ(worked_log, read_file(folder.in_run(c.log)));
    if (c.kml_file != nullptr) {
      EXPECT_EQ(kml, read_file(folder.in_run(c.kml_file)));
    }
    for (const char* dir : {"merged", "one", "two"}) umount2(folder.in_run(dir).c_str(), MNT_DETACH);
  }
}

// A token that outgrows the memory the run may have ends the run as a read error does; what was written
// stays written.
TEST(FaultRuns, TokenBeyondTheMemoryLimit) {
  if (address_sanitizer) GTEST_SKIP() << "AddressSanitizer needs far more address space than the limit";
  scratch_folder folder;
  write_file(folder.in_run("input.log"),
             worked_log + "4;3331.8;2251.2;120\nn" + std::string(std::size_t{100} << 20, 'x') + "\n");
  const run_result result = run_telem2kml(folder, {"-t", "input.log", "-o", "out.kml"},
                                          {.address_space_bytes = std::int64_t{64} << 20});
  EXPECT_EQ(2, result.status);
  const std::string message = "telem2kml: no memory for a token longer than ";
  EXPECT_EQ(message, result.err.substr(0, message.size()));
  EXPECT_EQ(" bytes\n", result.err.substr(result.err.size() < 7 ? 0 : result.err.size() - 7));
  EXPECT_EQ(option_echo("smlog|trek", 't', "input.log") + option_echo("kml", 'o', "out.kml"), result.out);
  EXPECT_EQ((std::vector<std::string>{"input.log", "out.kml"}), folder.run_files());
  EXPECT_EQ(kml_start + worked_segment +
                kml_segment("37.510000, 55.520000, 110.000000", "37.520000, 55.530000, 120.000000"),
            read_file(folder.in_run("out.kml")));
}

// A file opened while a standard stream is closed must not take its descriptor, or the messages written to
// that stream would land in the KML; and a closed stream stays closed, so /dev/stdin and /dev/stdout name
// nothing.
TEST(FaultRuns, ClosedStandardStreams) {
  struct closed_case {
    const char* name;
    std::vector<std::string> args;
    run_setup setup;
    int status;
    std::string out;
    std::string err;
    bool kml;                // out.kml holds the whole track
    bool empty_kml = false;  // out.kml is there, empty
  };
  // Enough messages to fill standard output's buffer while the KML is being written.
  std::string noisy = "samplenumber;gps_curlat;gps_curlon;gps_curalt", messages;
  for (int i = 0; i < 400; ++i) {
    noisy += ";unknown";
    messages += "Unkn col nam 'unknown'\n";
  }
  noisy += worked_log.substr(worked_log.find('\n'));
  const std::string printed =
      option_echo("kml", 'o', "out.kml") + option_echo("smlog|trek", 't', "input.log") + messages;
  const closed_case cases[] = {
      {"messages with standard output closed",
       {"-o", "out.kml", "-t", "input.log", "-n", "0-9"},
       {.stdout_closed = true},
       0,
       "",
       "",
       true},
      {"getopt's complaint with standard error closed",
       {"-o", "out.kml", "-t", "input.log", "-x"},
       {.stderr_closed = true},
       0,
       printed,
       "",
       true},
      {"all three closed",
       {"-o", "out.kml", "-t", "input.log", "-x"},
       {.stdin_closed = true, .stdout_closed = true, .stderr_closed = true},
       0,
       "",
       "",
       true},
      {"KML for a closed standard output",
       {"-t", "input.log", "-n", "0-9"},
       {.stdout_closed = true},
       252,
       "",
       "Can't write standard output\n",
       false},
      {"/dev/stdin with standard input closed names no log",
       {"-t", "/dev/stdin", "-n", "0-9"},
       {.stdin_closed = true},
       253,
       option_echo("smlog|trek", 't', "/dev/stdin") + "Can't read file-log '/dev/stdin'\n",
       "",
       false},
      {"a file opened with standard input closed is not standard input",
       {"-o", "out.kml", "-t", "/dev/stdin"},
       {.stdin_closed = true},
       253,
       option_echo("kml", 'o', "out.kml") + option_echo("smlog|trek", 't', "/dev/stdin") +
           "Can't read file-log '/dev/stdin'\n",
       "",
       false,
       true},
      {"/dev/stdout with standard output closed names no output",
       {"-t", "input.log", "-o", "/dev/stdout"},
       {.stdout_closed = true},
       252,
       "",
       "Can't write standard output\n",
       false},
  };
  for (const closed_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_folder folder;
    write_file(folder.in_run("input.log"), noisy);
    const run_result result = run_telem2kml(folder, c.args, c.setup);
    EXPECT_EQ(c.status, result.status);
    EXPECT_EQ(c.out, result.out);
    EXPECT_EQ(c.err, result.err);
    if (c.kml) {
      EXPECT_EQ((std::vector<std::string>{"input.log", "out.kml"}), folder.run_files());
      EXPECT_EQ(kml_start + worked_segment + kml_end, read_file(folder.in_run("out.kml")));
    } else if (c.empty_kml) {
      EXPECT_EQ((std::vector<std::string>{"input.log", "out.kml"}), folder.run_files());
      EXPECT_EQ("", read_file(folder.in_run("out.kml")));
    } else {
      EXPECT_EQ(std::vector<std::string>{"input.log"}, folder.run_files());
    }
  }
}

}  // namespace
