// streamcat as a whole process at print level 0 against a vantoserver that
// streams one array channel at its highest event rate: messages per second
// and bytes per second that reach the spinner. The server's rate bounds the
// figure; compare runs, not absolute numbers.
#include <benchmark/benchmark.h>

#include <string>

#include "harness.h"

namespace {

constexpr int kMessages = 500;

std::string config(int elements) {
  std::string values;
  for (int i = 0; i < elements; ++i) values += (i ? ", " : "") + std::to_string(i % 1000);
  return "[server]\nevent_rate = 1000.0\n\n[[device]]\nfacility = \"BENCH.STREAM\"\n"
         "name = \"DEV\"\nlocation = \"L1\"\n\n[[device.property]]\nname = \"ARRAY\"\n"
         "type = \"A_INT\"\nstream = true\nvalue = [" +
         values + "]\n";
}

void BM_StreamcatLevelZero(benchmark::State& state) {
  const int elements = static_cast<int>(state.range(0));
  vantotest::ServerProcess server(vantotest::temp_file(config(elements), ".toml"));
  const std::map<std::string, std::string> env = {{"VANTO_ENS", server.ens()}, {"TERM", "dumb"}};
  for (auto _ : state) {
    const auto r = vantotest::run_program(
        STREAMCAT, {"-c", "BENCH.STREAM/DEV/L1/ARRAY", "-n", std::to_string(kMessages), "-d", "0"},
        "", env);
    if (r.status != 0) state.SkipWithError(r.err.c_str());
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
  state.SetBytesProcessed(state.iterations() * kMessages * (120 + 4 * int64_t{elements}));
}
BENCHMARK(BM_StreamcatLevelZero)->Arg(16)->Arg(16384)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
