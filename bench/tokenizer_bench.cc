// Tokenizer throughput with the do-nothing events, and with the whole sample assembly bound.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench_log.h"
#include "driver/driver.h"
#include "log/log_events.h"
#include "log/tokenizer.h"
#include "samples/sample_assembly.h"

namespace {

void scan(benchmark::State& state, const tokenizer& variant, const log_events& events) {
  std::string log = example_log(std::size_t{32} << 20);
  FILE* sink = open_null_sink();
  output_stream = sink;
  for (auto _ : state) {
    run_log(fmemopen(log.data(), log.size(), "r"), events, variant);
  }
  std::fclose(sink);
  output_stream = stdout;
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(log.size()));
}

void TokenizeNullEventsDot(benchmark::State& state) {
  scan(state, dot_tokenizer, null_events);
}
void TokenizeNullEventsComma(benchmark::State& state) {
  scan(state, comma_tokenizer, null_events);
}
void AssembleSamplesDot(benchmark::State& state) {
  scan(state, dot_tokenizer, dot_events);
}

}  // namespace

BENCHMARK(TokenizeNullEventsDot)->Unit(benchmark::kMillisecond);
BENCHMARK(TokenizeNullEventsComma)->Unit(benchmark::kMillisecond);
BENCHMARK(AssembleSamplesDot)->Unit(benchmark::kMillisecond);
