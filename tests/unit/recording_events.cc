#include "recording_events.h"

#include "driver/driver.h"
#include "scratch_streams.h"

#include <cstdio>

std::string recorded_events;

namespace {

// Standard output while a scan runs.
stdout_capture* echo = nullptr;

void append_event(std::string_view event) {
  if (!recorded_events.empty()) recorded_events += ' ';
  recorded_events += event;
}

// Records the bytes echoed since the last event, so that echoes stand in order among the events.
void drain_echo() {
  if (echo == nullptr) return;
  for (char c : printed_since_last(*echo)) {
    append_event("echo(" + shown_byte(static_cast<unsigned char>(c)) + ")");
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
  stdout_capture capture = begin_stdout_capture();
  echo = &capture;
  recorded_events.clear();
  read_block_size = block_size;
  use_structural_lane = path == scan_path::lane;
  run_log(stream_holding(input), events, variant);
  drain_echo();
  echo = nullptr;
  end_stdout_capture(capture);
  reset_tokenizer();
  std::string recorded;
  recorded.swap(recorded_events);
  return recorded;
}
