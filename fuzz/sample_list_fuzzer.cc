// Fuzzes the --samples list parser with arbitrary text, against the same parse made with the C library's
// atol. NUL bytes divide the input into the lists of successive -n options, so that a list also meets the
// one before it. What the parser prints must be the list it leaves in force.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "samples/sample_intervals.h"

namespace {

constexpr int most_lists = 8;

[[noreturn]] void broken(const char* what, const char* list) {
  std::fprintf(stderr, "sample list broken: %s for the list \"%.80s\"\n", what, list);
  std::abort();
}

// The intervals a list holds, read with atol itself (strtoll: the 64-bit long of Linux on every platform).
std::vector<sample_interval> accepted_by_atol(const char* text) {
  std::vector<sample_interval> accepted;
  for (const char* p = text; *p != '\0';) {
    const auto begin = static_cast<std::int32_t>(std::strtoll(p, nullptr, 10));
    if (const char* dash = std::strchr(p, '-'); dash != nullptr) {
      const auto end = static_cast<std::int32_t>(std::strtoll(dash + 1, nullptr, 10));
      if (begin >= 0 && end > 2 && end - begin > 2) accepted.push_back({begin, end});
      if (accepted.size() == max_intervals) break;
    }
    p = std::strchr(p, ',');
    if (p == nullptr) break;
    ++p;
  }
  return accepted;
}

std::string printed_list() {
  std::string lines = "Select samplenumber:\n";
  char line[64];
  for (std::int32_t i = 0; i < interval_list.count; ++i) {
    std::snprintf(line, sizeof line, "%ld < samplenumber < %ld\n",
                  static_cast<long>(interval_list.intervals[i].begin),
                  static_cast<long>(interval_list.intervals[i].end));
    lines += line;
  }
  return lines;
}

void check_list(const char* list, const interval_list_t& before, std::string_view printed) {
  const std::vector<sample_interval> expected = accepted_by_atol(list);
  std::string expected_printed;
  if (expected.empty()) {
    // Only the first interval of the list in force stays in force.
    if (interval_list.intervals != before.intervals || interval_list.count != 1) {
      broken("a list without a valid range replaced the list in force", list);
    }
    char line[64];
    std::snprintf(line, sizeof line, "Q.samples==0, using %d-%d\n", before.intervals[0].begin,
                  before.intervals[0].end);
    expected_printed = line;
  } else {
    if (interval_list.count != static_cast<std::int32_t>(expected.size())) broken("a wrong count", list);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const sample_interval& got = interval_list.intervals[i];
      if (got.begin != expected[i].begin || got.end != expected[i].end) broken("a wrong interval", list);
      if (!sample_selected(got.begin + 1)) broken("the first number of an interval is not selected", list);
    }
    if (expected.size() == max_intervals) expected_printed = "Only 1000 samples intervals\n";
  }
  if (sample_selected(0)) broken("sample number 0 is selected", list);
  if (printed != expected_printed + printed_list()) broken("the printed list is not the list in force", list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // a NUL ends the last list too
  reset_intervals();
  memory_stdout printed;
  begin_memory_stdout(printed);
  const char* list = text.c_str();
  for (int lists = 0; lists < most_lists && list <= text.c_str() + size; ++lists) {
    const interval_list_t before = interval_list;
    std::fflush(stdout);
    const std::size_t printed_before = printed.size;
    parse_sample_intervals(list);
    std::fflush(stdout);
    check_list(list, before, std::string_view(printed.bytes + printed_before, printed.size - printed_before));
    list += std::strlen(list) + 1;
  }
  end_memory_stdout(printed);
  reset_intervals();
  return 0;
}
