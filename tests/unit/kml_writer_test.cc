#include "kml/kml_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "scratch_streams.h"

namespace {

// Everything write() puts on a stream, byte for byte, through the writer's own buffer as into an -o file.
template <class Write>
std::string written(Write write) {
  kml_output out = kml_through_own_buffer(scratch_stream());
  write(out);
  EXPECT_TRUE(finish_kml(out));
  return written_bytes(out.stream);
}

TEST(KmlWriter, EmptyDocumentIsStartThenEnd) {
  const std::string document = written([](kml_output& out) {
    write_document_start(out);
    write_document_end(out);
  });
  EXPECT_EQ(document,
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
            "</Style>\r\n"
            "</Document>\r\n"
            "</kml>\r\n");
}

struct segment_case {
  const char* name;
  track_point from;
  track_point to;
  const char* coordinates;  // lines 6 and 7 of the Placemark
};

// Points are {latitude, longitude, altitude} in minutes of arc; they are written longitude first, in degrees.
TEST(KmlWriter, SegmentIsOnePlacemarkFromFirstToSecondPoint) {
  const segment_case cases[] = {
      {"north east to south west",
       {3330.5, 2250.25, 150.5},
       {-3330.5, -60, -12.25},
       "37.504167, 55.508333, 150.500000\r\n"
       "-1.000000, -55.508333, -12.250000\r\n"},
      {"south west to north east",
       {-3330.5, -60, -12.25},
       {3330.5, 2250.25, 150.5},
       "-1.000000, -55.508333, -12.250000\r\n"
       "37.504167, 55.508333, 150.500000\r\n"},
      {"negative zero and a tiny negative keep the sign",
       {-0.0, -1e-5, 0},
       {0, 0, -0.0},
       "-0.000000, -0.000000, 0.000000\r\n"
       "0.000000, 0.000000, -0.000000\r\n"},
  };
  for (const segment_case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(written([&](kml_output& out) { write_segment(out, c.from, c.to); }),
              std::string("<Placemark>\r\n"
                          "<styleUrl>#1</styleUrl>\r\n"
                          "<LineString>\r\n"
                          "<altitudeMode>absolute</altitudeMode>\r\n"
                          "<coordinates>\r\n") +
                  c.coordinates +
                  "</coordinates>\r\n"
                  "</LineString>\r\n"
                  "</Placemark>\r\n");
  }
}

}  // namespace
