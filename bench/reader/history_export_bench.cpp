// vantoget: printing and exporting a history of growing size in process.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "ascii_export.h"
#include "history_print.h"
#include "history_read.h"

namespace {

// One reply of n A_TDS points, one per second, built from its text form.
vantoget::HistoryCollection history_of(int n) {
  std::string text;
  for (int i = 0; i < n; ++i)
    text += std::to_string(1700000000 + i) + " " + std::to_string(i) + " 0 ";
  auto chunk = std::make_unique<vanto::EqData>();
  chunk->set_type(vanto::DATA_A_TDS);
  chunk->set_from_string(text);
  vantoget::HistoryCollection c;
  c.chunks.push_back(std::move(chunk));
  return c;
}

void BM_PrintHistory(benchmark::State& state) {
  const auto collection = history_of(static_cast<int>(state.range(0)));
  const auto points = collection.points_in_time_order();
  for (auto _ : state) {
    std::ostringstream out;
    vantoget::print_history(out, vanto::DATA_A_TDS, points, {});
    benchmark::DoNotOptimize(out.str().size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PrintHistory)->Arg(2000)->Arg(20000);

void BM_ExportGrid(benchmark::State& state) {
  const auto collection = history_of(static_cast<int>(state.range(0)));
  const auto points = collection.points_in_time_order();
  const std::string dir = std::filesystem::temp_directory_path().string();
  for (auto _ : state) {
    vantoget::ExportFile file(dir, "vantoget-bench-export.txt");
    vantoget::export_history(file, points, {1700000000, 1800000000, 3}, "F/D/L/P");
    file.finish();
  }
  std::filesystem::remove(dir + "/vantoget-bench-export.txt");
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ExportGrid)->Arg(2000)->Arg(20000);

}  // namespace

BENCHMARK_MAIN();
