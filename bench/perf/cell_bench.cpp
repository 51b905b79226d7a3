// The value-line cells: the value text of a result cut to the programs' 79
// characters and set into a column, as vantoget does for every value it prints.
#include <benchmark/benchmark.h>

#include <string>

#include "cell.h"
#include "value_text.h"

namespace {

vanto::EqData value_of(int which) {
  vanto::EqData value;
  switch (which) {
    case 0: value.set_int(123456); break;
    case 1: value.set_double(2.718281828459045); break;
    default: value.set_string(std::string(120, 'a')); break;
  }
  return value;
}

const char* label_of(int which) {
  static const char* const labels[] = {"INT", "DOUBLE", "STRING 120"};
  return labels[which];
}

void BM_ValueCell(benchmark::State& state) {
  const vanto::EqData value = value_of(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string cell =
        vantocli::tabs_to_blanks(vantocli::value_cell(vantocli::value_text(value), 18, false));
    benchmark::DoNotOptimize(cell.data());
  }
  state.SetLabel(label_of(static_cast<int>(state.range(0))));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ValueCell)->DenseRange(0, 2);

void BM_NameCell(benchmark::State& state) {
  const std::string name = "BIG.SIM/MANY/L4711/VALUE";
  for (auto _ : state) {
    std::string cell = vantocli::name_cell(name, 18, false);
    benchmark::DoNotOptimize(cell.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NameCell);

}  // namespace

BENCHMARK_MAIN();
