#include "kml/kml_writer.h"

#include <cstring>

namespace {

constexpr char document_start[] =
    "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n"
    "<Document>\r\n"
    "<Style id=\"1\">\r\n"
    "<LineStyle>\r\n"
    "<color>ff0000ff</color>\r\n"
    "<width>1</width>\r\n"
    "</LineStyle>\r\n"
    "</Style>\r\n"
    "<Style id=\"2\">\r\n"
    "<LineStyle>\r\n"
    "<color>7f0000ff</color>\r\n"
    "<width>1</width>\r\n"
    "</LineStyle>\r\n"
    "</Style>\r\n";

constexpr char segment_start[] =
    "<Placemark>\r\n"
    "<styleUrl>#1</styleUrl>\r\n"
    "<LineString>\r\n"
    "<altitudeMode>absolute</altitudeMode>\r\n"
    "<coordinates>\r\n";

constexpr char segment_end[] =
    "</coordinates>\r\n"
    "</LineString>\r\n"
    "</Placemark>\r\n";

constexpr char document_end[] =
    "</Document>\r\n"
    "</kml>\r\n";

template <std::size_t N>
char* append(char* out, const char (&text)[N]) {
  std::memcpy(out, text, N - 1);
  return out + N - 1;
}

// "lon, lat, alt" in degrees, degrees and the log's unit.
char* append_point(char* out, const track_point& point) {
  out = format_fixed6(out, degrees_of(point.longitude));
  out = append(out, ", ");
  out = format_fixed6(out, degrees_of(point.latitude));
  out = append(out, ", ");
  out = format_fixed6(out, point.altitude);
  return append(out, "\r\n");
}

char* append_point_once(char* out, const track_point& point) {
  if (last_written.length != 0 && std::memcmp(&point, &last_written.point, sizeof point) == 0) {
    std::memcpy(out, last_written.text, last_written.length);
    return out + last_written.length;
  }
  char* end = append_point(out, point);
  last_written.point = point;
  last_written.length = static_cast<std::size_t>(end - out);
  std::memcpy(last_written.text, out, last_written.length);
  return end;
}

}  // namespace

written_point last_written = {{0, 0, 0}, 0, {}};

void write_document_start(FILE* out) {
  std::fputs(document_start, out);
}

void write_segment(FILE* out, const track_point& from, const track_point& to) {
  char text[sizeof segment_start + 2 * point_text_room + sizeof segment_end];
  char* end = append(text, segment_start);
  end = append_point_once(end, from);
  end = append_point_once(end, to);
  end = append(end, segment_end);
  std::fwrite(text, 1, static_cast<std::size_t>(end - text), out);
}

void reset_kml_writer() {
  last_written.length = 0;
}

void write_document_end(FILE* out) {
  std::fputs(document_end, out);
}
