#pragma once

#include <cstddef>
#include <cstdint>
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

// Where the KML goes. Through stdio: standard output, whose buffer the messages and the echoed bytes share,
// in the order written (or a test's stream). Or a file, the -o file, collected in a buffer of the program's
// own and written with the platform layer's write call, a megabyte at a time.
struct kml_output {
  FILE* stream;
  bool own_buffer;
  bool failed;  // a write of the own buffer failed: the rest is dropped, and finish_kml says so
};

kml_output kml_through_stdio(FILE* stream);
// The buffer is the writer's one megabyte: one such output at a time.
kml_output kml_through_own_buffer(FILE* file);

// The end of the KML: writes what the own buffer holds, or flushes stdio's, and lets the stream go (it stays
// open). Returns false where a write of the KML failed, now or before.
bool finish_kml(kml_output& out);

// Writes of the own buffer so far: a test seam, one per megabyte of KML.
std::uint64_t kml_writes_made();

// The KML document: its start, one two-point Placemark per segment, its end. Every line ends in CR LF.
void write_document_start(kml_output& out);
// Formats each point only if it is not last_written, and keeps the text of the last point it formatted there.
void write_segment(kml_output& out, const track_point& from, const track_point& to);
void write_document_end(kml_output& out);

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

// Empties last_written and the own buffer, as at the start of the process.
void reset_kml_writer();
