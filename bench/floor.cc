// The no-check floor of a conversion: what `telem2kml -t LOG -o KML` (`-r` for a decimal-comma log) costs
// when nothing is checked. It reads the log through the program's reader, finds the tokens with the
// structural lane's own window compares, converts every value of every column with the program's own digit
// reading and conversions into the sample record, and judges each line and writes the KML with the
// program's own track builder and writer. It assumes a log as bench/generate_log writes it: a header line,
// then lines of plain numbers in table order divided by one ';', each ending in LF or CR LF. bench/run
// times the program against it, after checking that both write the same KML.
//
// usage: telem2kml_floor -t|-r LOG -o KML
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "driver/driver.h"
#include "kml/kml_writer.h"
#include "kml/track_builder.h"
#include "log/log_reader.h"
#include "log/structural_lane.h"
#include "log/tokenizer.h"
#include "samples/sample_assembly.h"
#include "samples/value_conversion.h"

#define FLOOR_CODE __attribute__((target("avx2,bmi")))

namespace {

using namespace lane_code;

// Where a line's values go: the record being filled and the column of the next value.
struct line_position {
  char* record;
  int column;
};

line_position line_start() {
  return {reinterpret_cast<char*>(&sample_ring[current_slot()]), 0};
}

FLOOR_CODE inline void store(line_position& at, const char* first, const char* last) {
  const column_def& column = column_table[at.column + 1];
  const plain_digits digits = read_lane_digits(first, last);
  if (column.type == TYPE_INT) {
    const std::int32_t value = int32_of_plain(digits);
    std::memcpy(at.record + column.field_offset, &value, sizeof value);
  } else {
    double value = 0;
    double_of_plain(digits, &value);
    std::memcpy(at.record + column.field_offset, &value, sizeof value);
  }
  ++at.column;
}

void end_line(line_position& at) {
  line_has_value = true;
  on_end_of_line();
  at = line_start();
}

// The windows of [window, end); a window that ends inside a value or a run of line breaks is followed by
// one that begins with it. Returns where the next window begins.
FLOOR_CODE char* take_windows(char* window, const char* end, const lane_bytes& bytes, line_position& at) {
  for (; end - window >= lane_window_size;) {
    const window_masks m = classify_window(window, bytes);
    const std::uint64_t value_starts = m.numbers & ~(m.numbers << 1);
    const std::uint64_t break_starts = m.line_breaks & ~(m.line_breaks << 1);
    const int open = (m.numbers | m.line_breaks) >> (lane_window_size - 1) != 0
                         ? highest_bit(value_starts | break_starts)
                         : lane_window_size;
    const std::uint64_t kept = bits_below(open);
    const std::uint64_t value_ends = (m.numbers & ~(m.numbers >> 1)) << 1;
    std::uint64_t bounds = (value_starts & kept) | (value_ends & bits_below(open + 1));
    std::uint64_t breaks = break_starts & kept;
    while (bounds != 0) {
      const int first = std::countr_zero(bounds);
      bounds &= bounds - 1;
      const int last = std::countr_zero(bounds);
      bounds &= bounds - 1;
      if ((breaks & bits_below(first)) != 0) {
        end_line(at);
        breaks &= ~bits_below(first);
      }
      store(at, window + first, window + last);
    }
    if (breaks != 0) end_line(at);
    window += open;
  }
  return window;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 || (std::strcmp(argv[1], "-t") != 0 && std::strcmp(argv[1], "-r") != 0) ||
      std::strcmp(argv[3], "-o") != 0) {
    std::fprintf(stderr, "usage: telem2kml_floor -t|-r LOG -o KML\n");
    return 2;
  }
  if (!structural_lane_supported) {
    std::fprintf(stderr, "telem2kml_floor: the processor has no AVX2 and BMI1\n");
    return 2;
  }
  const bool comma = argv[1][1] == 'r';
  FILE* log = std::fopen(argv[2], "rb");
  FILE* kml = std::fopen(argv[4], "wb");
  if (log == nullptr || kml == nullptr) {
    std::fprintf(stderr, "telem2kml_floor: can't open the log or the KML\n");
    return 2;
  }
  output = kml_through_own_buffer(kml);
  write_document_start(output);
  begin_sample_run();
  reset_track();

  const lane_bytes bytes = lane_bytes_of(comma ? comma_rules.comma : dot_rules.comma);
  log_reader r = open_reader(log);
  bool header = true;
  line_position at = line_start();
  for (;;) {
    refill(r);
    if (header) {
      char* const header_end =
          static_cast<char*>(std::memchr(r.token, '\n', static_cast<std::size_t>(r.end - r.token)));
      if (header_end == nullptr) continue;
      r.token = header_end + 1;
      header = false;
    }
    if (r.at_eof) {  // the last window is filled up with blanks, which no token holds
      std::memset(r.end, ' ', lane_window_size);
      r.token = take_windows(r.token, r.end + lane_window_size, bytes, at);
      break;
    }
    r.token = take_windows(r.token, r.end, bytes, at);
  }
  close_reader(r);
  write_document_end(output);
  return finish_kml(output) && std::fclose(kml) == 0 ? 0 : 1;
}
