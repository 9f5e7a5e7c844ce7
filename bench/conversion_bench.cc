// Cost of one value conversion, ours against the C library's, over the example flight's value texts.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench_log.h"
#include "samples/value_conversion.h"

namespace {

template <typename Convert>
void convert_all(benchmark::State& state, Convert convert) {
  const auto& texts = example_values();
  for (auto _ : state) {
    for (const std::string& text : texts) benchmark::DoNotOptimize(convert(text.c_str()));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(texts.size()));
}

void ParseDouble(benchmark::State& state) {
  convert_all(state, parse_double);
}
void Strtod(benchmark::State& state) {
  convert_all(state, [](const char* text) { return std::strtod(text, nullptr); });
}
void ParseLong(benchmark::State& state) {
  convert_all(state, parse_long);
}
void Atol(benchmark::State& state) {
  convert_all(state, [](const char* text) { return std::atol(text); });
}

}  // namespace

BENCHMARK(ParseDouble);
BENCHMARK(Strtod);
BENCHMARK(ParseLong);
BENCHMARK(Atol);
