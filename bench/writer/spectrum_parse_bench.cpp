// Values per second of the two spectrum file parsers, from 1 000 values up to
// a file of about 7 MB (the buffer holds 8 MiB).
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "spectrum_text.h"

namespace {

std::string value_lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(i * 0.25) + "\n";
  return text;
}

void header_spectrum(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::string text =
      "#comment=bench, start=0, increment=1, status=0, points=" + std::to_string(count) +
      ", time=1\n" + value_lines(count);
  for (auto _ : state) {
    std::ostringstream err;
    const auto parse = vantoput::parse_header_spectrum(text, err);
    if (parse.status != 0) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(parse.value.values.data());
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void preformatted_spectrum(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::string text = "1 0 1 0\nbench\n" + std::to_string(count) + "\n\n" + value_lines(count);
  for (auto _ : state) {
    std::ostringstream err;
    const auto parse = vantoput::parse_preformatted_spectrum(text, err);
    if (parse.status != 0) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(parse.value.values.data());
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

BENCHMARK(header_spectrum)->Arg(1000)->Arg(100'000)->Arg(600'000)->Unit(benchmark::kMillisecond);
BENCHMARK(preformatted_spectrum)
    ->Arg(1000)
    ->Arg(100'000)
    ->Arg(600'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
