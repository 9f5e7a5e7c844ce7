#include "kml/track_builder.h"

#include <cmath>

#include "driver/driver.h"
#include "kml/kml_writer.h"
#include "samples/sample_assembly.h"
#include "samples/sample_intervals.h"

std::int32_t accepted_count = 0;

void reset_track() {
  accepted_count = 0;
}

namespace {

constexpr double validity_bound = 1.0;  // minutes of arc; a position within it means no fix
constexpr double movement_threshold = 5e-7;

bool has_position(const sample_record& sample) {
  const auto outside_bound = [](double minutes) {
    return minutes > validity_bound || minutes < -validity_bound;
  };
  return outside_bound(sample.gps_curlat) && outside_bound(sample.gps_curlon) &&
         std::isfinite(sample.gps_curlat) && std::isfinite(sample.gps_curlon) &&
         std::isfinite(sample.gps_curalt);
}

// The difference of the minutes is what becomes degrees: dividing each position first would round twice,
// and could move a step across the threshold.
bool moved(const sample_record& from, const sample_record& to) {
  const double dlat = degrees_of(from.gps_curlat - to.gps_curlat);
  const double dlon = degrees_of(from.gps_curlon - to.gps_curlon);
  const double dalt = from.gps_curalt - to.gps_curalt;
  const auto beyond = [](double d) { return d > movement_threshold || d < -movement_threshold; };
  return beyond(dlat) || beyond(dlon) || beyond(dalt);
}

track_point point_of(const sample_record& sample) {
  return {sample.gps_curlat, sample.gps_curlon, sample.gps_curalt};
}

}  // namespace

int on_end_of_line() {
  current_column = 0;
  // A line that stored no value (blanks only, names only, values in columns without a field) judges
  // nothing: the slot still holds an older sample, and judging it would draw a track never flown.
  if (!line_has_value) return 0;
  line_has_value = false;

  const sample_record& current = sample_ring[current_slot()];
  if (!sample_selected(current.samplenumber) || !has_position(current)) return 0;
  if (accepted_count > 1) {
    const sample_record& previous = sample_ring[1 - current_slot()];
    if (moved(previous, current)) write_segment(output, point_of(previous), point_of(current));
  }
  // At the top of the range it steps back instead: the parity, and so the slot, still alternates.
  accepted_count = accepted_count < INT32_MAX ? accepted_count + 1 : accepted_count - 1;
  return 0;
}
