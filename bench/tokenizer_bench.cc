// Tokenizer throughput with the do-nothing events, and with the whole sample assembly bound, on the scalar
// path and on the structural lane side by side.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench_log.h"
#include "driver/driver.h"
#include "log/log_events.h"
#include "log/structural_lane.h"
#include "log/tokenizer.h"
#include "samples/sample_assembly.h"

namespace {

void scan(benchmark::State& state, const tokenizer& variant, const log_events& events, bool lane) {
  if (lane && !structural_lane_supported) {
    state.SkipWithError("this processor has no AVX2 and BMI1");
    return;
  }
  std::string log = example_log(std::size_t{32} << 20);
  FILE* sink = open_null_sink();
  output = kml_through_own_buffer(sink);
  use_structural_lane = lane;
  for (auto _ : state) {
    run_log(fmemopen(log.data(), log.size(), "r"), events, variant);
  }
  finish_kml(output);
  std::fclose(sink);
  output = kml_through_stdio(stdout);
  reset_tokenizer();
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(log.size()));
}

void TokenizeNullEventsDot(benchmark::State& state, bool lane) {
  scan(state, dot_tokenizer, null_events, lane);
}
void TokenizeNullEventsComma(benchmark::State& state, bool lane) {
  scan(state, comma_tokenizer, null_events, lane);
}
void AssembleSamplesDot(benchmark::State& state, bool lane) {
  scan(state, dot_tokenizer, dot_events, lane);
}

}  // namespace

BENCHMARK_CAPTURE(TokenizeNullEventsDot, scalar, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TokenizeNullEventsDot, lane, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TokenizeNullEventsComma, scalar, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TokenizeNullEventsComma, lane, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AssembleSamplesDot, scalar, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AssembleSamplesDot, lane, true)->Unit(benchmark::kMillisecond);
