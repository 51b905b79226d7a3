// Loading save & restore files of growing size (no channel access).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "vantoutil.h"

namespace {

std::string write_file(int entries) {
  std::string path =
      "/tmp/sr_load_bench_" + std::to_string(::getpid()) + "_" + std::to_string(entries) + ".sr";
  std::ofstream out(path);
  out << "//Save_&_Restore//\n bench ;\n Tue Dec  8 02:07:37 2026\n ;\n";
  for (int i = 0; i < entries; ++i) {
    out << "TEST.SIM ARRAY LOC" << i << " A_INT\t105\t1 2 3 4 5 6 7 8\t;\n";
  }
  return path;
}

void BM_FillList(benchmark::State& state) {
  const std::string path = write_file(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    SR engine(path.c_str());
    engine.fill_list();
    benchmark::DoNotOptimize(engine.get_list().size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  std::remove(path.c_str());
}
BENCHMARK(BM_FillList)->Arg(10)->Arg(1000)->Arg(8000);

}  // namespace

BENCHMARK_MAIN();
