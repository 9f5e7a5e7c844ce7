#pragma once

#include <cstddef>
#include <cstdio>

#include "kml/fixed6.h"

// One end of a segment as the log gives it: latitude and longitude in minutes of arc, altitude as stored.
struct track_point {
  double latitude;
  double longitude;
  double altitude;
};

// The log's minutes of arc as the KML's degrees; the only place where the unit changes.
inline double degrees_of(double minutes) {
  constexpr double minutes_per_degree = 60.0;
  return minutes / minutes_per_degree;
}

// The KML document: its start, one two-point Placemark per segment, its end. Every line ends in CR LF.
void write_document_start(FILE* out);
// Formats each point only if it is not last_written, and keeps the text of the last point it formatted there.
void write_segment(FILE* out, const track_point& from, const track_point& to);
void write_document_end(FILE* out);

// "lon, lat, alt\r\n" at its longest.
constexpr std::size_t point_text_room = 3 * fixed6_max_length + 6;

// The text of the last point written. A segment nearly always starts where the previous one ended: that
// point is copied from here instead of formatted again. It is keyed by the point's exact bits, so it can
// only ever stand for the very same point; empty (length 0) at first.
struct written_point {
  track_point point;
  std::size_t length;
  char text[point_text_room];
};
extern written_point last_written;

// Empties last_written, as at the start of the process.
void reset_kml_writer();
