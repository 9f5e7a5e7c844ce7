// Fuzzes both tokenizer variants with a checking events table: every event must account for the next bytes
// of the input, so that the events and the echoed bytes together give back the whole input, and each text
// must have the shape its rule allows. Each value must also convert exactly as atol and strtod convert it.
// The log is scanned twice, on the scalar path and with the structural lane, and both must give the same
// events and echoes.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/driver.h"
#include "fuzz_input.h"
#include "log/log_events.h"
#include "log/structural_lane.h"
#include "log/tokenizer.h"
#include "samples/value_conversion.h"

namespace {

// The input being scanned and how far the events so far account for it.
struct account {
  const unsigned char* input;
  std::size_t size;
  std::size_t cursor;
  bool at_line_start;
  bool comma;
  memory_stdout echo;
  std::size_t echo_checked;
  std::string events;  // what the scan reported and echoed, in order, for comparing the two paths
};

account seen;

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "tokenizer event stream broken: %s at input byte %zu of %zu\n", what, seen.cursor,
               seen.size);
  std::abort();
}

bool is_letter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool is_blank(unsigned char c) {
  return c == ' ' || c == '\t';
}
bool is_break(unsigned char c) {
  return c == '\r' || c == '\n';
}
bool is_separator(unsigned char c) {
  return c == ';' || (c == ',' && !seen.comma);
}
bool is_mark(unsigned char c) {
  return c == '.' || (c == ',' && seen.comma);
}
bool ends_name(unsigned char c) {
  return is_blank(c) || is_break(c) || c == '"' || is_separator(c);
}

// The byte at i, or a zero past the end, which takes part in no number, quote, blank or line break.
unsigned char at(std::size_t i) {
  return i < seen.size ? seen.input[i] : 0;
}

std::size_t run_end(std::size_t from, bool (*in_run)(unsigned char)) {
  while (from < seen.size && in_run(seen.input[from])) ++from;
  return from;
}

// Quotes, and blanks at a line start, are tokens that leave no trace.
void skip_silent_tokens() {
  for (;;) {
    if (at(seen.cursor) == '"') {
      ++seen.cursor;
    } else if (seen.at_line_start && is_blank(at(seen.cursor))) {
      seen.cursor = run_end(seen.cursor, is_blank);
    } else {
      return;
    }
    seen.at_line_start = false;
  }
}

// A byte is echoed only when no other rule can take it: it begins no token, or it is a sign or a mark
// that no number follows.
void check_echoed(unsigned char c) {
  skip_silent_tokens();
  if (seen.cursor == seen.size) broken("a byte echoed after the input ended");
  if (c != seen.input[seen.cursor]) broken("the echoed byte is not the next input byte");
  if (is_letter(c) || is_digit(c) || is_blank(c) || is_break(c) || c == '"' || is_separator(c)) {
    broken("a byte that begins a token was echoed");
  }
  const unsigned char next = at(seen.cursor + 1);
  if ((c == '-' && (is_digit(next) || (is_mark(next) && is_digit(at(seen.cursor + 2))))) ||
      (is_mark(c) && is_digit(next))) {
    broken("the start of a number was echoed");
  }
  ++seen.cursor;
  seen.at_line_start = false;
  seen.events += 'o';
  seen.events += static_cast<char>(c);
}

void check_echoes_so_far() {
  std::fflush(stdout);
  while (seen.echo_checked < seen.echo.size) {
    check_echoed(static_cast<unsigned char>(seen.echo.bytes[seen.echo_checked++]));
  }
}

// Every event stands for a token that begins at the next input byte not yet accounted for.
void begin_token() {
  check_echoes_so_far();
  skip_silent_tokens();
  if (seen.cursor == seen.size) broken("an event after the input ended");
}

const char* digits(const char* p) {
  while (is_digit(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// -?[0-9]+
bool is_integer(const char* p) {
  if (*p == '-') ++p;
  const char* end = digits(p);
  return end != p && *end == '\0';
}

// -?[0-9]*M[0-9]+([eE][+-]?[0-9]+)? with M the variant's decimal marks
bool is_real(const char* p) {
  if (*p == '-') ++p;
  p = digits(p);
  if (!is_mark(static_cast<unsigned char>(*p))) return false;
  const char* fraction = ++p;
  p = digits(p);
  if (p == fraction) return false;
  if (*p == 'e' || *p == 'E') {
    ++p;
    if (*p == '+' || *p == '-') ++p;
    const char* exponent = p;
    p = digits(p);
    if (p == exponent) return false;
  }
  return *p == '\0';
}

// dd/dd/dddd,dd:dd:dd.d+
bool is_date_time(const char* p) {
  for (const char* shape = "dd/dd/dddd,dd:dd:dd.d"; *shape != '\0'; ++shape, ++p) {
    if (*shape == 'd' ? !is_digit(static_cast<unsigned char>(*p)) : *p != *shape) return false;
  }
  return *digits(p) == '\0';
}

// What the value operations store, against the C library; the comma variant's values reach the
// conversions with a dot for the comma.
void check_conversions(const char* text, std::size_t length) {
  std::string dotted(text, length);
  std::replace(dotted.begin(), dotted.end(), ',', '.');
  if (parse_long(dotted.c_str()) != std::strtoll(dotted.c_str(), nullptr, 10))
    broken("parse_long differs from atol");
  const double converted = parse_double(dotted.c_str());
  if (std::bit_cast<std::uint64_t>(converted) !=
      std::bit_cast<std::uint64_t>(std::strtod(dotted.c_str(), nullptr))) {
    broken("parse_double differs from strtod");
  }
}

// The operations may change a text in place; a tokenizer that read it again would trip over the change.
void overwrite(char* text, std::size_t length) {
  std::memset(text, '\n', length);
}

int check_name(char* text) {
  begin_token();
  const std::size_t length = std::strlen(text);
  if (length == 0) broken("an empty name");
  if (!is_letter(static_cast<unsigned char>(text[0]))) broken("a name that does not start with a letter");
  // A name runs to the next byte that ends it; a NUL inside it ends the text early, not the token.
  const std::size_t end = run_end(seen.cursor, [](unsigned char c) { return !ends_name(c); });
  if (length > end - seen.cursor || std::memcmp(text, seen.input + seen.cursor, length) != 0 ||
      (seen.cursor + length != end && seen.input[seen.cursor + length] != '\0')) {
    broken("the name is not the next input bytes");
  }
  seen.cursor = end;
  seen.at_line_start = false;
  seen.events.append("n").append(text, length).push_back('\0');
  overwrite(text, length);
  return 0;
}

int check_value(char* text) {
  begin_token();
  const std::size_t length = std::strlen(text);
  if (length == 0) broken("an empty value");
  if (!is_integer(text) && !is_real(text) && !is_date_time(text)) broken("a value of no number shape");
  if (length > seen.size - seen.cursor || std::memcmp(text, seen.input + seen.cursor, length) != 0) {
    broken("the value is not the next input bytes");
  }
  seen.cursor += length;
  if (is_digit(at(seen.cursor))) broken("a value that stops before a digit");
  check_conversions(text, length);
  seen.at_line_start = false;
  seen.events.append("v").append(text, length).push_back('\0');
  overwrite(text, length);
  return 0;
}

int check_separator() {
  begin_token();
  const unsigned char c = seen.input[seen.cursor];
  if (is_separator(c)) {
    ++seen.cursor;
  } else if (is_blank(c)) {
    seen.cursor = run_end(seen.cursor, is_blank);
  } else {
    broken("a separator without a separator byte or a blank");
  }
  seen.at_line_start = false;
  seen.events += 's';
  return 0;
}

int check_end_of_line() {
  begin_token();
  if (!is_break(seen.input[seen.cursor])) broken("an end of line without a line break");
  seen.cursor = run_end(seen.cursor, is_break);
  seen.at_line_start = seen.input[seen.cursor - 1] == '\n';
  seen.events += 'e';
  return 0;
}

const log_events checking_events = {check_name, check_value, check_separator, check_end_of_line};

// The second byte of the input places the log in the structural lane's windows: its low six bits are the
// number of line feeds put before the log, which move its bytes along the lane's first window, and its top
// two bits pick how much the lane's scan reads at a time, so that blocks end inside windows too.
struct lane_setting {
  std::size_t window_offset;
  std::size_t block_size;
};

constexpr std::size_t lane_block_sizes[4] = {0, 64, 100, 4096};  // 0: the whole log in one block

lane_setting split_lane_setting(fuzz_log& log) {
  if (log.size == 0) return {0, 0};
  const std::uint8_t setting = log.bytes[0];
  ++log.bytes;
  --log.size;
  return {std::size_t{setting} & 63, lane_block_sizes[setting >> 6]};
}

// Scans the log with the checking events and returns what they saw.
std::string checked_scan(const std::string& log, bool comma, std::size_t block_size, bool lane) {
  fuzz_log whole = {comma, block_size, reinterpret_cast<const std::uint8_t*>(log.data()), log.size()};
  FILE* input = open_fuzz_log(whole);
  if (input == nullptr) std::abort();
  seen = {whole.bytes, whole.size, 0, true, comma, {}, 0, {}};
  begin_memory_stdout(seen.echo);
  read_block_size = block_size != 0 ? block_size : whole_log_block(log.size());
  use_structural_lane = lane;

  run_log(input, checking_events, variant_of(whole));

  check_echoes_so_far();
  skip_silent_tokens();
  if (seen.cursor != seen.size) broken("input bytes that no event accounts for");
  end_memory_stdout(seen.echo);
  reset_tokenizer();
  return std::move(seen.events);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_log log = split_fuzz_input(data, size);
  const lane_setting lane = split_lane_setting(log);
  std::string padded(lane.window_offset, '\n');
  padded.append(reinterpret_cast<const char*>(log.bytes), log.size);
  const std::string scalar = checked_scan(padded, log.comma, log.block_size, false);
  if (structural_lane_supported && checked_scan(padded, log.comma, lane.block_size, true) != scalar) {
    broken("the structural lane and the scalar path report different events");
  }
  return 0;
}
