#pragma once

// The structural lane's code for x86-64 processors with AVX2 and BMI1: each window is classified by 32-byte
// compares, and each plain number's digits are read with one 16-byte load. Included by structural_lane.h.

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

// The lane's functions use AVX2 and BMI1 whatever the build's flags; only processors that have both run them.
#define LANE_CODE __attribute__((target("avx2,bmi")))

namespace lane_code {

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

LANE_CODE inline window_halves load_window(const char* p) {
  return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32))};
}

// movemask gathers the top bit of each of the 32 bytes of a compare result: one bit per byte.
LANE_CODE inline std::uint64_t mask_of(__m256i low, __m256i high) {
  const auto low_bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(low));
  const auto high_bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(high));
  return std::uint64_t{high_bits} << 32 | low_bits;
}

template <std::size_t n>
LANE_CODE inline __m256i equal_to_any(__m256i half, const std::array<char, n>& bytes) {
  __m256i found = _mm256_cmpeq_epi8(half, _mm256_set1_epi8(bytes[0]));
  for (std::size_t i = 1; i < n; ++i) {
    found = _mm256_or_si256(found, _mm256_cmpeq_epi8(half, _mm256_set1_epi8(bytes[i])));
  }
  return found;
}

template <std::size_t n>
LANE_CODE inline std::uint64_t bytes_equal_to_any(const window_halves& w, const std::array<char, n>& bytes) {
  return mask_of(equal_to_any(w.low, bytes), equal_to_any(w.high, bytes));
}

// b - first wraps around for the bytes below first, so only a byte of the range gives 0 to last - first,
// which the unsigned minimum with last - first leaves unchanged.
LANE_CODE inline __m256i in_range(__m256i half, byte_range range) {
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
LANE_CODE inline std::uint64_t number_faults(const window_masks& m) {
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

inline int highest_bit(std::uint64_t x) {
  return lane_window_size - 1 - std::countl_zero(x);
}

inline std::uint64_t bits_below(int n) {
  return n >= lane_window_size ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
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

LANE_CODE inline window_plan plan_window(const window_masks& m) {
  // A run's first byte is one whose left neighbour is not of its kind; the window begins at a token.
  const std::uint64_t value_starts = m.numbers & ~(m.numbers << 1);
  const std::uint64_t run_starts = value_starts | (m.line_breaks & ~(m.line_breaks << 1));
  const std::uint64_t open_run_ends_window = (m.numbers | m.line_breaks) >> (lane_window_size - 1);
  const int open_run = open_run_ends_window != 0 ? highest_bit(run_starts) : lane_window_size;
  const std::uint64_t faults = number_faults(m);
  // faults ^ (faults - 1) (blsmsk) keeps the bits up to the first fault: the last run start among them
  // begins the faulty number.
  const int faulty = faults != 0 ? highest_bit(run_starts & (faults ^ (faults - 1))) : lane_window_size;
  const int unknown = std::countr_zero(~(m.numbers | m.separators | m.line_breaks));
  const int limit = std::min({open_run, faulty, unknown});
  const std::uint64_t value_ends = (m.numbers & ~(m.numbers >> 1)) << 1;
  const std::uint64_t lone_separators = value_ends & m.separators & value_starts >> 1;
  const std::uint64_t value_bounds =
      (value_starts & bits_below(limit)) | (value_ends & bits_below(limit + 1));
  return {value_bounds, lone_separators, limit, open_run, limit == open_run && limit > 0};
}

// Lanes 16 - n to 15 of a 16-byte load from last_lanes + n are set: the last n bytes, n from 0 to 16.
alignas(16) inline constexpr unsigned char last_lanes[32] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};

// For a number whose last digit is in lane 15 and whose mark is in lane m, the shuffle that closes the
// mark's gap: each lane up to m takes the lane before it, lane 0 a zero (a top bit set). Entry 16, for a
// number without a mark, keeps every lane.
constexpr std::array<std::array<char, 16>, 17> make_mark_closing() {
  std::array<std::array<char, 16>, 17> table{};
  for (std::size_t m = 0; m <= 16; ++m) {
    for (std::size_t j = 0; j < 16; ++j) {
      table[m][j] = static_cast<char>(m == 16 || j > m ? j : j == 0 ? 0x80 : j - 1);
    }
  }
  return table;
}
alignas(16) inline constexpr std::array<std::array<char, 16>, 17> mark_closing = make_mark_closing();

// The vector twin of read_plain_digits: one 16-byte load that ends with the token's last byte. The bytes
// before the token, in the read buffer or its padding, are masked away.
LANE_CODE inline plain_digits read_lane_digits(const char* first, const char* last) {
  const auto length = static_cast<std::size_t>(last - first);
  if (length > plain_digits_room) return {0, 0, false, false};
  const bool negative = *first == '-';
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(last - 16));
  const __m128i token = _mm_loadu_si128(reinterpret_cast<const __m128i*>(last_lanes + length - negative));
  __m128i digits = _mm_and_si128(_mm_sub_epi8(bytes, _mm_set1_epi8('0')), token);
  // A mark less '0' wraps around to a byte with its top bit set; a digit less '0' keeps it clear.
  const auto mark = static_cast<unsigned>(_mm_movemask_epi8(digits));
  const auto mark_lane = static_cast<std::size_t>(std::countr_zero(mark | 0x10000u));
  digits =
      _mm_shuffle_epi8(digits, _mm_load_si128(reinterpret_cast<const __m128i*>(&mark_closing[mark_lane])));
  // Neighbouring digits joined, more significant first: pairs (x 10), fours (x 100), eights (x 10000).
  const __m128i pairs = _mm_maddubs_epi16(digits, _mm_set1_epi16(0x010a));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));
  const __m128i eights = _mm_madd_epi16(_mm_packus_epi32(fours, fours), _mm_set1_epi32(0x00012710));
  const auto halves = static_cast<std::uint64_t>(_mm_cvtsi128_si64(eights));
  const int fraction_digits = 15 - static_cast<int>(mark_lane) + (mark == 0);
  return {(halves & 0xffffffff) * 100000000 + (halves >> 32), fraction_digits, negative, true};
}

// How far the lane reported a window's tokens, and whether its store still stands for the table in force.
struct reported {
  int end;
  bool bound;
};

// The separators and runs of line breaks in [from, to), which holds nothing else. A line end may bind
// another table: then the lane stops right after it.
template <typename store>
LANE_CODE inline reported report_gap(const window_masks& m, int from, int to, store& values) {
  while (from < to) {
    if ((m.separators >> from & 1) != 0) {
      values.separator();
      ++from;
    } else {
      from += std::countr_zero(~(m.line_breaks >> from));  // the bytes of the run are the low ones set
      values.save();
      current_events->on_end_of_line();
      if (!values.load()) return {from, false};
    }
  }
  return {to, true};
}

// Values are reported in order with the gaps between them. Nearly always a value is followed by one
// separator and then the next value, which gets a branch of its own that is nearly always taken.
template <typename store>
LANE_CODE inline reported report_tokens(char* window, const window_masks& m, window_plan plan,
                                        store& values) {
  std::uint64_t bounds = plan.value_bounds;
  reported gap = report_gap(m, 0, bounds != 0 ? std::countr_zero(bounds) : plan.limit, values);
  if (!gap.bound) return gap;
  while (bounds != 0) {
    const int first = std::countr_zero(bounds);
    bounds &= bounds - 1;  // blsr: drops the lowest bit, so the value's end comes first, then the next value
    const int last = std::countr_zero(bounds);
    bounds &= bounds - 1;
    values.value(window + first, window + last, read_lane_digits(window + first, window + last));
    if ((plan.lone_separators >> last & 1) != 0) {
      values.separator();
    } else {
      gap = report_gap(m, last, bounds != 0 ? std::countr_zero(bounds) : plan.limit, values);
      if (!gap.bound) return gap;
    }
  }
  return {plan.limit, true};
}

// After the tokens before end: a blank begins a line only after a run of line breaks whose last byte is LF.
// That byte is no text an operation could have rewritten.
LANE_CODE inline bool ends_in_line_feed(const char* window, const window_masks& m, int end) {
  return (m.line_breaks >> (end - 1) & 1) != 0 && window[end - 1] == '\n';
}

// A stop after less than a window of tokens holds the lane off for twice as many windows as the stop before
// it did, up to max_held_windows; a stop after more leaves only the rest of its window.
inline lane_stop stop_at(char* first, char* token, char* window_end, const char* last, lane_pace& pace) {
  pace.held_windows =
      token - first < lane_window_size ? std::min(2 * pace.held_windows, max_held_windows) : 1;
  const std::ptrdiff_t held_beyond =
      std::min<std::ptrdiff_t>((pace.held_windows - 1) * lane_window_size, last - window_end);
  return {token, window_end + held_beyond};
}

// The windows from first on, for as long as their tokens are the lane's.
template <typename store>
LANE_CODE inline __attribute__((always_inline)) lane_stop take_windows(char* first, const char* last,
                                                                       comma_roles comma, bool& at_line_start,
                                                                       lane_pace& pace, store& values) {
  const lane_bytes bytes = lane_bytes_of(comma);
  char* window = first;
  window_masks m = classify_window(window, bytes);
  ++fast_paths_taken.lane_tries;
  for (;;) {
    ++fast_paths_taken.lane_windows;
    const window_plan plan = plan_window(m);
    char* const next = window + plan.open_run;
    const bool room = last - next >= lane_window_size;
    // The next window is classified before the tokens are reported, so that its compares run while the
    // values are stored, and read the bytes before any operation has had them.
    const window_masks next_masks = plan.goes_on && room ? classify_window(next, bytes) : m;
    const reported done = report_tokens(window, m, plan, values);
    if (done.end > 0) at_line_start = ends_in_line_feed(window, m, done.end);
    if (!done.bound) return {window + done.end, window + done.end};
    if (!plan.goes_on) return stop_at(first, window + plan.limit, window + lane_window_size, last, pace);
    if (!room) {
      pace = first_lane_pace;
      return {next, next};
    }
    window = next;
    m = next_masks;
  }
}

}  // namespace lane_code

using lane_code::read_lane_digits;

template <typename store>
LANE_CODE lane_stop take_structural_lane(char* first, const char* last, comma_roles comma,
                                         bool& at_line_start, lane_pace& pace) {
  if (last - first < lane_window_size) return {first, first};
  // A store of its own, whose address nothing takes: its position stays in registers.
  store values;
  if (!values.load()) return take_structural_lane<table_store>(first, last, comma, at_line_start, pace);
  const lane_stop stop = lane_code::take_windows(first, last, comma, at_line_start, pace, values);
  values.save();
  return stop;
}

#undef LANE_CODE
