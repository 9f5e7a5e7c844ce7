#include "kml/kml_writer.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

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

namespace {

constexpr std::size_t kml_write_size = std::size_t{1} << 20;
constexpr std::size_t segment_room = sizeof segment_start + 2 * point_text_room + sizeof segment_end;

// A megabyte is written as soon as it is held; the room beyond it takes the segment that completes it.
struct own_buffer {
  FILE* file;  // whose KML is held, until finish_kml
  std::size_t held;
  std::uint64_t writes;
  bool written_at_exit;  // the process writes what is held if it ends before finish_kml
  char bytes[kml_write_size + segment_room];
};

own_buffer buffer = {nullptr, 0, 0, false, {}};

// A run that ends at once (a read error, no memory for the log) leaves what it wrote: the held KML too, as
// exit leaves what stdio holds.
void write_held_at_exit() {
  if (buffer.file != nullptr && buffer.held != 0) write_all(buffer.file, buffer.bytes, buffer.held);
}

// After a failed write the KML is dropped: the run goes on to read the whole log and print its messages.
void write_held(kml_output& out) {
  if (!out.failed) {
    ++buffer.writes;
    out.failed = !write_all(out.stream, buffer.bytes, buffer.held);
  }
  buffer.held = 0;
}

// [text, end) is KML just put at the own buffer's end, or, for stdio, anywhere.
void wrote(kml_output& out, char* text, char* end) {
  const auto size = static_cast<std::size_t>(end - text);
  if (!out.own_buffer) {
    std::fwrite(text, 1, size, out.stream);
    return;
  }
  buffer.held += size;
  if (buffer.held >= kml_write_size) write_held(out);
}

template <std::size_t N>
void write_text(kml_output& out, const char (&text)[N]) {
  static_assert(N - 1 <= segment_room);
  if (!out.own_buffer) {
    std::fwrite(text, 1, N - 1, out.stream);
    return;
  }
  char* at = buffer.bytes + buffer.held;
  wrote(out, at, append(at, text));
}

}  // namespace

kml_output kml_through_stdio(FILE* stream) {
  return {stream, false, false};
}

kml_output kml_through_own_buffer(FILE* file) {
  if (!buffer.written_at_exit) buffer.written_at_exit = std::atexit(write_held_at_exit) == 0;
  buffer.file = file;
  buffer.held = 0;
  return {file, true, false};
}

bool finish_kml(kml_output& out) {
  if (!out.own_buffer) return std::fflush(out.stream) == 0 && !std::ferror(out.stream);
  if (buffer.held != 0) write_held(out);
  buffer.file = nullptr;
  return !out.failed;
}

std::uint64_t kml_writes_made() {
  return buffer.writes;
}

void write_document_start(kml_output& out) {
  write_text(out, document_start);
}

void write_segment(kml_output& out, const track_point& from, const track_point& to) {
  char scratch[segment_room];
  char* text = out.own_buffer ? buffer.bytes + buffer.held : scratch;
  char* end = append(text, segment_start);
  end = append_point_once(end, from);
  end = append_point_once(end, to);
  end = append(end, segment_end);
  wrote(out, text, end);
}

void reset_kml_writer() {
  last_written.length = 0;
  buffer.file = nullptr;
  buffer.held = 0;
  buffer.writes = 0;
}

void write_document_end(kml_output& out) {
  write_text(out, document_end);
}
