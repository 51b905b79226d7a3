// vantoget -f FILE -r on a file of 1000 entries: the whole process, against a
// started vantoserver.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "harness.h"

namespace {

const char* const kChannels[] = {
    "TEST.SIM SCALAR LOC1 INT\t1\t42", "TEST.SIM SCALAR LOC1 FLOAT\t2\t1.5",
    "TEST.SIM SCALAR LOC1 STRING\t3\thello world", "TEST.SIM ARRAY LOC1 A_INT\t105\t1 2 3 4"};

std::string write_file(int entries) {
  std::string path = "/tmp/sr_compare_bench_" + std::to_string(::getpid()) + ".sr";
  std::ofstream out(path);
  out << "//Save_&_Restore//\n bench ;\n Tue Dec  8 02:07:37 2026\n ;\n";
  for (int i = 0; i < entries; ++i) out << kChannels[i % 4] << "\t;\n";
  return path;
}

void BM_VantogetCompare1000(benchmark::State& state) {
  vantotest::ServerProcess server;
  ::setenv("VANTO_ENS", server.ens().c_str(), 1);
  const std::string path = write_file(1000);
  for (auto _ : state) {
    vantotest::ProgramResult r = vantotest::run_program(VANTOGET_PATH, {"-f", path, "-r"});
    if (r.status != 0) {
      state.SkipWithError(("vantoget failed: " + r.err).c_str());
      break;
    }
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_VantogetCompare1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
