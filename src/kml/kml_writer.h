#pragma once

#include <cstdio>

// One end of a segment as the log gives it: latitude and longitude in minutes of arc, altitude as stored.
struct track_point {
  double latitude;
  double longitude;
  double altitude;
};

// The KML document: its start, one two-point Placemark per segment, its end. Every line ends in CR LF.
void write_document_start(FILE* out);
void write_segment(FILE* out, const track_point& from, const track_point& to);
void write_document_end(FILE* out);

// Forgets the text kept of the last point written (it can never be wrong, but tests start from nothing).
void reset_kml_writer();
