// Cost of one Placemark, ours against the obvious fprintf.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench_log.h"
#include "kml/fixed6.h"
#include "kml/kml_writer.h"

namespace {

track_point point(std::int64_t i) {
  return {3345.072 + static_cast<double>(i % 1000) * 1e-3, 2257.104 - static_cast<double>(i % 777) * 1e-3,
          156.0 + static_cast<double>(i % 300) * 0.1};
}

void WriteSegment(benchmark::State& state) {
  FILE* sink = open_null_sink();
  kml_output out = kml_through_own_buffer(sink);
  std::int64_t i = 0;
  for (auto _ : state) {
    write_segment(out, point(i), point(i + 1));
    ++i;
  }
  finish_kml(out);
  std::fclose(sink);
  state.SetItemsProcessed(state.iterations());
}

void FprintfSegment(benchmark::State& state) {
  FILE* sink = open_null_sink();
  std::int64_t i = 0;
  for (auto _ : state) {
    std::fputs(
        "<Placemark>\r\n<styleUrl>#1</styleUrl>\r\n<LineString>\r\n<altitudeMode>absolute</altitudeMode>\r\n"
        "<coordinates>\r\n",
        sink);
    for (const track_point& p : {point(i), point(i + 1)}) {
      std::fprintf(sink, "%.6f, %.6f, %.6f\r\n", p.longitude / 60, p.latitude / 60, p.altitude);
    }
    std::fputs("</coordinates>\r\n</LineString>\r\n</Placemark>\r\n", sink);
    ++i;
  }
  std::fclose(sink);
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(WriteSegment);
BENCHMARK(FprintfSegment);

namespace {

void FormatFixed6(benchmark::State& state) {
  char text[fixed6_max_length];
  std::int64_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(format_fixed6(text, point(i++).latitude / 60));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void SnprintfFixed6(benchmark::State& state) {
  char text[fixed6_max_length];
  std::int64_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%.6f", point(i++).latitude / 60));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(FormatFixed6);
BENCHMARK(SnprintfFixed6);
