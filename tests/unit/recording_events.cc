#include "recording_events.h"

#include "driver/driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/types.h>
#include <unistd.h>

std::string recorded_events;

namespace {

// While a scan runs, file descriptor 1 writes to a temporary file; echo_read is how much of it is recorded.
int echo_fd = -1;
off_t echo_read = 0;

void append_event(std::string_view event) {
  if (!recorded_events.empty()) recorded_events += ' ';
  recorded_events += event;
}

// Records the bytes echoed since the last event, so that echoes stand in order among the events.
void drain_echo() {
  if (echo_fd < 0) return;
  std::fflush(stdout);
  unsigned char c;
  while (pread(echo_fd, &c, 1, echo_read) == 1) {
    ++echo_read;
    append_event("echo(" + shown_byte(c) + ")");
  }
}

void record_text(const char* kind, const char* text) {
  drain_echo();
  std::string event = kind;
  event += '(';
  for (const char* p = text; *p != '\0'; ++p) event += shown_byte(static_cast<unsigned char>(*p));
  event += ')';
  append_event(event);
}

}  // namespace

std::string shown_byte(unsigned char c) {
  if (c == 0) return "\\0";
  if (c > ' ' && c < 0x7F) return std::string(1, static_cast<char>(c));
  char hex[8];
  std::snprintf(hex, sizeof hex, "\\x%02x", c);
  return hex;
}

int record_name(char* text) {
  record_text("name", text);
  return 0;
}

int record_value(char* text) {
  record_text("value", text);
  return 0;
}

int record_separator() {
  drain_echo();
  append_event("sep");
  return 0;
}

int record_end_of_line() {
  drain_echo();
  append_event("eol");
  return 0;
}

const log_events recording_events = {record_name, record_value, record_separator, record_end_of_line};

std::string shown_path(scan_path path) {
  return path == scan_path::lane ? "structural lane" : "scalar path";
}

std::string record_scan(const tokenizer& variant, std::string_view input, std::size_t block_size,
                        scan_path path, const log_events& events) {
  // fmemopen reads NUL bytes as data when given the size, but refuses an empty buffer.
  std::string bytes(input);
  FILE* log = bytes.empty() ? std::fopen("/dev/null", "r") : fmemopen(bytes.data(), bytes.size(), "r");
  if (log == nullptr) std::abort();

  std::fflush(stdout);
  FILE* echo = std::tmpfile();
  const int saved_stdout = dup(STDOUT_FILENO);
  if (echo == nullptr || saved_stdout < 0 || dup2(fileno(echo), STDOUT_FILENO) < 0) std::abort();
  echo_fd = fileno(echo);
  echo_read = 0;

  recorded_events.clear();
  read_block_size = block_size;
  use_structural_lane = path == scan_path::lane;
  run_log(log, events, variant);
  drain_echo();

  std::fflush(stdout);
  dup2(saved_stdout, STDOUT_FILENO);
  close(saved_stdout);
  echo_fd = -1;
  std::fclose(echo);
  reset_tokenizer();
  std::string recorded;
  recorded.swap(recorded_events);
  return recorded;
}
