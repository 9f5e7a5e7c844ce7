#include "samples/sample_intervals.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "messages/messages.h"
#include "samples/value_conversion.h"

interval_list_t interval_list = {&default_interval, 1};

namespace {

// A list replaced by a later one is no longer read; freeing it keeps the process free of leaks.
void replace_interval_list(const sample_interval* intervals, std::int32_t count) {
  if (interval_list.intervals != &default_interval) delete[] interval_list.intervals;
  interval_list = {intervals, count};
}

}  // namespace

void reset_intervals() {
  replace_interval_list(&default_interval, 1);
}

int parse_sample_intervals(const char* text) {
  sample_interval accepted[max_intervals];
  std::int32_t count = 0;
  // An item without its own "-" takes its end from the next "-" in the text, whatever item that is in.
  for (const char* p = text; p != nullptr && *p != '\0';) {
    sample_interval& entry = accepted[count];
    entry.begin = static_cast<std::int32_t>(parse_long(p));
    if (const char* dash = std::strchr(p, '-'); dash != nullptr) {
      entry.end = static_cast<std::int32_t>(parse_long(dash + 1));
      if (entry.begin >= 0 && entry.end > 2 && entry.end - entry.begin > 2) ++count;
      if (count == max_intervals) {
        print_message("Only %d samples intervals\n", max_intervals);
        break;
      }
    }
    p = std::strchr(p, ',');
    if (p != nullptr) ++p;
  }

  if (count == 0) {
    print_message("Q.samples==0, using %d-%d\n", interval_list.intervals[0].begin,
                  interval_list.intervals[0].end);
    interval_list.count = 1;
  } else if (auto* kept = new (std::nothrow) sample_interval[static_cast<std::size_t>(count)];
             kept != nullptr) {
    std::copy_n(accepted, count, kept);
    replace_interval_list(kept, count);
  } else {
    replace_interval_list(&default_interval, 1);
    print_message("Not alloc samples, using %d-%d\n", default_interval.begin, default_interval.end);
  }

  print_message("Select samplenumber:\n");
  for (std::int32_t i = 0; i < interval_list.count; ++i) {
    print_message("%ld < samplenumber < %ld\n", static_cast<long>(interval_list.intervals[i].begin),
                  static_cast<long>(interval_list.intervals[i].end));
  }
  return 0;
}

bool sample_selected(std::int32_t samplenumber) {
  for (std::int32_t i = 0; i < interval_list.count; ++i) {
    const sample_interval& interval = interval_list.intervals[i];
    if (interval.begin < samplenumber && samplenumber < interval.end) return true;
  }
  return false;
}
