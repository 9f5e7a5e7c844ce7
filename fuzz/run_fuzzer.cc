// Fuzzes a whole run, as `telem2kml -t LOG -o KML` (`-r` when the first byte is odd) would make it, with the
// log from the fuzz input and the KML going to memory. Every process-wide state starts afresh for each input.
// The run is made three times: once with every value through the event table, each stored value checked
// against what atol or strtod makes of its text; then as the program makes it, the tokenizer storing plain
// numbers itself, reading the whole log in one block and in the small blocks the first byte picks. The
// sample ring at every line end, what is printed and the KML must be the same in all three, and the KML a
// complete document of well-formed segments.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "driver/driver.h"
#include "fuzz_input.h"
#include "kml/kml_writer.h"
#include "kml/track_builder.h"
#include "log/log_events.h"
#include "log/tokenizer.h"
#include "run_state.h"
#include "samples/sample_assembly.h"
#include "samples/sample_record.h"

namespace {

struct run_output {
  std::string printed;  // standard output: messages and echoed bytes
  std::string kml;
  std::string rings;  // the sample ring at each line end
};

[[noreturn]] void broken(const char* what, std::string_view near = {}) {
  std::fprintf(stderr, "whole run broken: %s near \"%.*s\"\n", what, static_cast<int>(near.size()),
               near.data());
  std::abort();
}

// The run's own operations, dot_events' or comma_events'.
const log_events* run_events = &dot_events;
std::string* kept_rings = nullptr;

int keep_ring_then_end_of_line() {
  kept_rings->append(reinterpret_cast<const char*>(sample_ring), sizeof sample_ring);
  return run_events->on_end_of_line();
}

// The run's on_value, behind a function of its own so that every value goes through the table, followed by
// a look at what it stored.
int stored_as_atol_and_strtod(char* text) {
  std::string dotted(text);  // what the conversions see: the comma variant turns ',' into '.'
  if (run_events == &comma_events) std::replace(dotted.begin(), dotted.end(), ',', '.');
  const std::int32_t column = current_column;
  run_events->on_value(text);
  const column_def& bound = column_bound_at(column);
  if (bound.type == TYPE_NONE) return 0;  // no field: nothing stored
  const char* field = reinterpret_cast<const char*>(&sample_ring[accepted_count % 2]) + bound.field_offset;
  if (bound.type == TYPE_INT) {
    std::int32_t stored;
    std::memcpy(&stored, field, sizeof stored);
    if (stored != static_cast<std::int32_t>(std::strtoll(dotted.c_str(), nullptr, 10))) {
      broken("an integer stored unlike atol", dotted);
    }
  } else {
    double stored;
    std::memcpy(&stored, field, sizeof stored);
    if (std::bit_cast<std::uint64_t>(stored) !=
        std::bit_cast<std::uint64_t>(std::strtod(dotted.c_str(), nullptr))) {
      broken("a real stored unlike strtod", dotted);
    }
  }
  return 0;
}

const log_events checked_events = {on_column_name, stored_as_atol_and_strtod, on_separator,
                                   keep_ring_then_end_of_line};
// The samples' own value and separator operations: the tokenizer stores plain numbers itself.
const log_events stored_dot_events = {on_column_name, on_value_dot, on_separator, keep_ring_then_end_of_line};
const log_events stored_comma_events = {on_column_name, on_value_comma, on_separator,
                                        keep_ring_then_end_of_line};

// What the driver does with an open log, between the options and the end of the run.
run_output convert(const fuzz_log& log, std::size_t block_size, bool through_the_table) {
  reset_run_state();
  memory_stdout printed;
  begin_memory_stdout(printed);
  char* kml = nullptr;
  std::size_t kml_size = 0;
  output = kml_through_stdio(open_memstream(&kml, &kml_size));  // a memory stream has no descriptor
  FILE* input = open_fuzz_log(log);
  if (output.stream == nullptr || input == nullptr) std::abort();
  read_block_size = block_size;

  run_output result;
  kept_rings = &result.rings;
  run_events = log.comma ? &comma_events : &dot_events;
  const log_events& events = through_the_table ? checked_events
                             : log.comma       ? stored_comma_events
                                               : stored_dot_events;
  convert_log(input, events, variant_of(log));

  std::fclose(output.stream);
  std::fflush(stdout);
  result.printed.assign(printed.bytes, printed.size);
  result.kml.assign(kml, kml_size);
  std::free(kml);
  end_memory_stdout(printed);
  reset_run_state();
  return result;
}

std::string written_by(void (*write)(kml_output&)) {
  char* text = nullptr;
  std::size_t size = 0;
  kml_output out = kml_through_stdio(open_memstream(&text, &size));
  write(out);
  std::fclose(out.stream);
  std::string result(text, size);
  std::free(text);
  return result;
}

bool take(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// -?[0-9]+\.[0-9]{6}: printf's "%.6f" of a finite number, as only positions with a finite fix are drawn.
bool take_fixed6(std::string_view& text) {
  take(text, "-");
  std::size_t i = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == 0 || i + 7 > text.size() || text[i] != '.') return false;
  for (std::size_t d = i + 1; d < i + 7; ++d) {
    if (text[d] < '0' || text[d] > '9') return false;
  }
  text.remove_prefix(i + 7);
  return true;
}

bool take_point(std::string_view& text) {
  return take_fixed6(text) && take(text, ", ") && take_fixed6(text) && take(text, ", ") &&
         take_fixed6(text) && take(text, "\r\n");
}

const std::string document_start = written_by(write_document_start);
const std::string document_end = written_by(write_document_end);

void check_document(std::string_view kml) {
  if (!take(kml, document_start)) broken("the document does not begin with its start", kml.substr(0, 80));
  while (kml.size() > document_end.size()) {
    if (!take(
            kml,
            "<Placemark>\r\n<styleUrl>#1</styleUrl>\r\n<LineString>\r\n<altitudeMode>absolute</altitudeMode>"
            "\r\n<coordinates>\r\n") ||
        !take_point(kml) || !take_point(kml) ||
        !take(kml, "</coordinates>\r\n</LineString>\r\n</Placemark>\r\n")) {
      broken("a malformed segment", kml.substr(0, 80));
    }
  }
  if (kml != document_end) broken("the document does not close with its end", kml.substr(0, 80));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz_log log = split_fuzz_input(data, size);
  const run_output checked = convert(log, whole_log_block(log.size), true);
  check_document(checked.kml);
  for (const std::size_t block_size : {whole_log_block(log.size), log.block_size}) {
    const run_output stored = convert(log, block_size, false);
    if (stored.rings != checked.rings) broken("a sample stored unlike through the table");
    if (stored.kml != checked.kml) broken("the KML depends on the path or the read block size");
    if (stored.printed != checked.printed)
      broken("standard output depends on the path or the read block size");
  }
  return 0;
}
