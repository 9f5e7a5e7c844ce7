#include "log/structural_lane.h"

#include <array>
#include <cstddef>
#include <initializer_list>

namespace {

// A byte range, taken by compares of b - first with last - first, unsigned.
struct byte_range {
  char first;
  char last;
};

// The bytes the lane's masks are made of, compared with each byte of a window. The comma stands among the
// separators or among the marks; in the other set a byte already there takes its place.
struct lane_bytes {
  std::array<char, 2> separators;
  std::array<char, 2> line_breaks;
  std::array<char, 2> marks;
  std::array<char, 1> minus;
  byte_range digits;
  std::array<char, 3> quiet_ends;
};

constexpr lane_bytes lane_bytes_of(comma_roles comma) {
  return {
      .separators = {';', comma.separator},
      .line_breaks = {'\r', '\n'},
      .marks = {'.', comma.mark},
      .minus = {'-'},
      .digits = {.first = '0', .last = '9'},
      .quiet_ends = {' ', '\t', '"'},
  };
}

// Whether the compares take byte b, as the vector compares below do for 32 bytes at once.
template <std::size_t n>
constexpr bool takes(const std::array<char, n>& bytes, unsigned char b) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) == b) return true;
  }
  return false;
}

constexpr bool takes(byte_range range, unsigned char b) {
  return static_cast<unsigned char>(b - range.first) <= static_cast<unsigned char>(range.last - range.first);
}

// The lane reports what the automaton would only if each mask takes exactly the bytes of its classes.
template <typename compared_bytes>
constexpr bool takes_its_classes(const rule_set& rules, const compared_bytes& bytes,
                                 std::initializer_list<byte_class> classes) {
  for (std::size_t b = 0; b < rules.classes.size(); ++b) {
    if (takes(bytes, static_cast<unsigned char>(b)) != in_set(class_set(classes), rules.classes[b])) {
      return false;
    }
  }
  return true;
}

constexpr bool lane_follows(const rule_set& rules) {
  const lane_bytes lane = lane_bytes_of(rules.comma);
  return takes_its_classes(rules, lane.separators, {CLASS_SEMICOLON, CLASS_COMMA_SEPARATOR}) &&
         takes_its_classes(rules, lane.line_breaks, {CLASS_BREAK}) &&
         takes_its_classes(rules, lane.marks, {CLASS_DOT, CLASS_COMMA_MARK}) &&
         takes_its_classes(rules, lane.minus, {CLASS_MINUS}) &&
         takes_its_classes(rules, lane.digits, {CLASS_DIGIT}) &&
         takes_its_classes(rules, lane.quiet_ends, {CLASS_BLANK, CLASS_QUOTE});
}
static_assert(lane_follows(dot_rules));
static_assert(lane_follows(comma_rules));

}  // namespace

#if defined(__x86_64__)

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstdint>

#include "log/log_events.h"
#include "log/terminated_text.h"

// The lane's functions use AVX2 and BMI1 whatever the build's flags; only processors that have both run them.
#define LANE_CODE __attribute__((target("avx2,bmi")))

namespace {

constexpr int window_size = 64;

// Bit i of each mask stands for byte i of the window.
struct window_masks {
  std::uint64_t separators;   // ';', and ',' in a decimal-dot log
  std::uint64_t line_breaks;  // CR, LF
  std::uint64_t marks;        // '.', and ',' in a decimal-comma log
  std::uint64_t minus;        // '-'
  std::uint64_t digits;       // '0' to '9'
  std::uint64_t quiet_ends;   // blanks and the quote: they end a number, but the lane leaves them
  std::uint64_t numbers;      // digits, marks and minus: what a plain number is made of
};

struct window_halves {
  __m256i low;
  __m256i high;
};

LANE_CODE window_halves load_window(const char* p) {
  return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32))};
}

// movemask gathers the top bit of each of the 32 bytes of a compare result: one bit per byte.
LANE_CODE std::uint64_t mask_of(__m256i low, __m256i high) {
  const auto low_bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(low));
  const auto high_bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(high));
  return std::uint64_t{high_bits} << 32 | low_bits;
}

template <std::size_t n>
LANE_CODE __m256i equal_to_any(__m256i half, const std::array<char, n>& bytes) {
  __m256i found = _mm256_cmpeq_epi8(half, _mm256_set1_epi8(bytes[0]));
  for (std::size_t i = 1; i < n; ++i) {
    found = _mm256_or_si256(found, _mm256_cmpeq_epi8(half, _mm256_set1_epi8(bytes[i])));
  }
  return found;
}

template <std::size_t n>
LANE_CODE std::uint64_t bytes_equal_to_any(const window_halves& w, const std::array<char, n>& bytes) {
  return mask_of(equal_to_any(w.low, bytes), equal_to_any(w.high, bytes));
}

// b - first wraps around for the bytes below first, so only a byte of the range gives 0 to last - first,
// which the unsigned minimum with last - first leaves unchanged.
LANE_CODE __m256i in_range(__m256i half, byte_range range) {
  const __m256i offset = _mm256_sub_epi8(half, _mm256_set1_epi8(range.first));
  const __m256i width = _mm256_set1_epi8(static_cast<char>(range.last - range.first));
  return _mm256_cmpeq_epi8(_mm256_min_epu8(offset, width), offset);
}

// Inlined, so that the masks stay in registers rather than coming back through memory.
LANE_CODE inline __attribute__((always_inline)) window_masks classify_window(const char* p,
                                                                             const lane_bytes& bytes) {
  const window_halves w = load_window(p);
  window_masks m = {
      .separators = bytes_equal_to_any(w, bytes.separators),
      .line_breaks = bytes_equal_to_any(w, bytes.line_breaks),
      .marks = bytes_equal_to_any(w, bytes.marks),
      .minus = bytes_equal_to_any(w, bytes.minus),
      .digits = mask_of(in_range(w.low, bytes.digits), in_range(w.high, bytes.digits)),
      .quiet_ends = bytes_equal_to_any(w, bytes.quiet_ends),
      .numbers = 0,
  };
  m.numbers = m.digits | m.marks | m.minus;
  return m;
}

// The bytes of the window's runs of number bytes where the run is no plain number the fast lanes would take:
// -?[0-9]*([.,][0-9]+)? with at least one digit, followed by a separator, a line break, a blank or a quote.
// x << 1 holds at bit i what x holds for byte i - 1; x >> 1 holds what x holds for byte i + 1.
LANE_CODE std::uint64_t number_faults(const window_masks& m) {
  const std::uint64_t ends = m.separators | m.line_breaks | m.quiet_ends;
  const std::uint64_t inner_minus = m.minus & m.numbers << 1;
  const std::uint64_t bare_minus = m.minus & ~((m.digits | m.marks) >> 1);
  const std::uint64_t bare_mark = m.marks & ~(m.digits >> 1);
  // Adding the marks to the number bytes carries a run's first mark up past the run's end, clearing the bits
  // on its way; a second mark of the same run meets that carry and stays set.
  const std::uint64_t second_mark = (m.numbers + m.marks) & m.marks;
  const std::uint64_t run_last_bytes = m.numbers & ~(m.numbers >> 1);
  const std::uint64_t unended = run_last_bytes & ~(ends >> 1);
  return inner_minus | bare_minus | bare_mark | second_mark | unended;
}

int highest_bit(std::uint64_t x) {
  return window_size - 1 - std::countl_zero(x);
}

std::uint64_t bits_below(int n) {
  return n >= window_size ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

// The lane's part of a window: the tokens in [0, limit), and whether the next window may go on at limit,
// which holds when the window ends in a token that it could not see the end of. Values are given by their
// first byte and by the byte after them; separators and line breaks fill the gaps between values.
struct window_plan {
  std::uint64_t value_bounds;     // each value's first byte and the byte after it, in turn
  std::uint64_t lone_separators;  // value ends that are one separator with a value after it
  int limit;
  int open_run;
  bool goes_on;
};

LANE_CODE window_plan plan_window(const window_masks& m) {
  // A run's first byte is one whose left neighbour is not of its kind; the window begins at a token.
  const std::uint64_t value_starts = m.numbers & ~(m.numbers << 1);
  const std::uint64_t run_starts = value_starts | (m.line_breaks & ~(m.line_breaks << 1));
  const std::uint64_t open_run_ends_window = (m.numbers | m.line_breaks) >> (window_size - 1);
  const int open_run = open_run_ends_window != 0 ? highest_bit(run_starts) : window_size;
  const std::uint64_t faults = number_faults(m);
  // faults ^ (faults - 1) (blsmsk) keeps the bits up to the first fault: the last run start among them
  // begins the faulty number.
  const int faulty = faults != 0 ? highest_bit(run_starts & (faults ^ (faults - 1))) : window_size;
  const int unknown = std::countr_zero(~(m.numbers | m.separators | m.line_breaks));
  const int limit = std::min({open_run, faulty, unknown});
  const std::uint64_t value_ends = (m.numbers & ~(m.numbers >> 1)) << 1;
  const std::uint64_t lone_separators = value_ends & m.separators & value_starts >> 1;
  const std::uint64_t value_bounds =
      (value_starts & bits_below(limit)) | (value_ends & bits_below(limit + 1));
  return {value_bounds, lone_separators, limit, open_run, limit == open_run && limit > 0};
}

// The separators and runs of line breaks in [from, to), which holds nothing else.
LANE_CODE void report_gap(const window_masks& m, int from, int to) {
  while (from < to) {
    if ((m.separators >> from & 1) != 0) {
      current_events->on_separator();
      ++from;
    } else {
      from += std::countr_zero(~(m.line_breaks >> from));  // the bytes of the run are the low ones set
      current_events->on_end_of_line();
    }
  }
}

// Values are reported in order with the gaps between them. Nearly always a value is followed by one
// separator and then the next value, which gets a branch of its own that is nearly always taken.
LANE_CODE void report_tokens(char* window, const window_masks& m, window_plan plan) {
  std::uint64_t bounds = plan.value_bounds;
  report_gap(m, 0, bounds != 0 ? std::countr_zero(bounds) : plan.limit);
  while (bounds != 0) {
    const int first = std::countr_zero(bounds);
    bounds &= bounds - 1;  // blsr: drops the lowest bit, so the value's end comes first, then the next value
    const int last = std::countr_zero(bounds);
    bounds &= bounds - 1;
    with_terminated_text(current_events->on_value, window + first, window + last);
    if ((plan.lone_separators >> last & 1) != 0) {
      current_events->on_separator();
    } else {
      report_gap(m, last, bounds != 0 ? std::countr_zero(bounds) : plan.limit);
    }
  }
}

// After the tokens before limit: a blank begins a line only after a run of line breaks whose last byte is
// LF. That byte is no text an operation could have rewritten.
LANE_CODE bool ends_in_line_feed(const char* window, const window_masks& m, int limit) {
  return (m.line_breaks >> (limit - 1) & 1) != 0 && window[limit - 1] == '\n';
}

constexpr int max_held_windows = 16;

// A stop after less than a window of tokens holds the lane off for twice as many windows as the stop before
// it did, up to max_held_windows; a stop after more leaves only the rest of its window.
lane_stop stop_at(char* first, char* token, char* window_end, const char* last, lane_pace& pace) {
  pace.held_windows = token - first < window_size ? std::min(2 * pace.held_windows, max_held_windows) : 1;
  const std::ptrdiff_t held_beyond =
      std::min<std::ptrdiff_t>((pace.held_windows - 1) * window_size, last - window_end);
  return {token, window_end + held_beyond};
}

bool processor_has_lane() {
  __builtin_cpu_init();  // the start-up check may run before the library's own initialisation
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
}

}  // namespace

const bool structural_lane_supported = processor_has_lane();

LANE_CODE lane_stop take_structural_lane(char* first, const char* last, comma_roles comma,
                                         bool& at_line_start, lane_pace& pace) {
  const lane_bytes bytes = lane_bytes_of(comma);
  char* window = first;
  if (last - window < window_size) return {first, first};
  window_masks m = classify_window(window, bytes);
  for (;;) {
    const window_plan plan = plan_window(m);
    char* const next = window + plan.open_run;
    const bool room = last - next >= window_size;
    // The next window is classified before the tokens are reported, so that its compares run while the
    // operations do, and read the bytes before any operation has had them.
    const window_masks next_masks = plan.goes_on && room ? classify_window(next, bytes) : m;
    report_tokens(window, m, plan);
    if (plan.limit > 0) at_line_start = ends_in_line_feed(window, m, plan.limit);
    if (!plan.goes_on) return stop_at(first, window + plan.limit, window + window_size, last, pace);
    if (!room) {
      pace = first_lane_pace;
      return {next, next};
    }
    window = next;
    m = next_masks;
  }
}

#else

const bool structural_lane_supported = false;

lane_stop take_structural_lane(char* first, const char*, comma_roles, bool&, lane_pace&) {
  return {first, first};
}

#endif
