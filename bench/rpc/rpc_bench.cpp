// Round trips of EqCall::get against an in-process vantoserver on the demo
// installation: gets per second and the median round trip, with one and two
// client threads; then the same reads in lists of 128 through
// EqCall::get_many. Not a test: it prints figures.
//
//   rpc_bench [gets per thread]   (default 20000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

#include <vanto/vanto.h>

#include "config.h"
#include "server.h"

namespace {

using clock_type = std::chrono::steady_clock;

struct ThreadResult {
  std::vector<double> round_trips_us;
  int failures = 0;
};

ThreadResult run_client(const std::string& address, int gets) {
  ThreadResult result;
  result.round_trips_us.reserve(static_cast<size_t>(gets));
  vanto::EqCall call;
  vanto::EqAdr adr(address);
  vanto::EqData in, out;
  // Warm-up (route, connection): its failures show in the timed calls.
  for (int k = 0; k < 1000; ++k) (void)call.get(&adr, &in, &out);
  for (int k = 0; k < gets; ++k) {
    const auto start = clock_type::now();
    if (call.get(&adr, &in, &out) != 0) ++result.failures;
    const auto end = clock_type::now();
    result.round_trips_us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
  }
  return result;
}

void measure(const std::string& address, int threads, int gets) {
  std::vector<ThreadResult> results(static_cast<size_t>(threads));
  std::vector<std::thread> workers;
  const auto start = clock_type::now();
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([&, t] { results[static_cast<size_t>(t)] = run_client(address, gets); });
  for (auto& w : workers) w.join();
  const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
  std::vector<double> all;
  int failures = 0;
  for (const auto& r : results) {
    all.insert(all.end(), r.round_trips_us.begin(), r.round_trips_us.end());
    failures += r.failures;
  }
  std::sort(all.begin(), all.end());
  const double median = all[all.size() / 2];
  const double p99 = all[all.size() * 99 / 100];
  // Throughput over the timed gets only (the warm-up is excluded by counting
  // the measured round trips against their own summed time per thread).
  double busiest = 0;
  for (const auto& r : results) {
    double sum = 0;
    for (double us : r.round_trips_us) sum += us;
    busiest = std::max(busiest, sum / 1e6);
  }
  const double per_second = static_cast<double>(all.size()) / busiest;
  std::printf(
      "%-34s threads %d  gets %7zu  %9.0f gets/s  median %6.1f us  p99 %7.1f us  failures %d  "
      "(wall %.2f s)\n",
      address.c_str(), threads, all.size(), per_second, median, p99, failures, seconds);
}

// Reads `gets` times in lists of 128 with get_many, as the programs read a
// wildcard's names: reads per second and the time per read.
void measure_many(const std::string& address, int gets) {
  constexpr size_t kList = 128;
  vanto::EqCall call;
  std::vector<vanto::EqAdr> addresses(kList, vanto::EqAdr(address));
  std::vector<vanto::EqData> results(kList);
  std::vector<vanto::EqAdr*> adr_slots;
  std::vector<vanto::EqData*> out_slots;
  for (size_t k = 0; k < kList; ++k) {
    adr_slots.push_back(&addresses[k]);
    out_slots.push_back(&results[k]);
  }
  // Warm-up: route and connection.
  (void)call.get_many(adr_slots.data(), nullptr, out_slots.data(), kList);
  const size_t lists = static_cast<size_t>(gets) / kList + 1;
  size_t failures = 0;
  const auto start = clock_type::now();
  for (size_t k = 0; k < lists; ++k)
    failures += call.get_many(adr_slots.data(), nullptr, out_slots.data(), kList);
  const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
  const double reads = static_cast<double>(lists * kList);
  std::printf("%-34s get_many of %zu  gets %7.0f  %9.0f gets/s  %6.1f us per get  failures %zu\n",
              address.c_str(), kList, reads, reads / seconds, seconds * 1e6 / reads, failures);
}

}  // namespace

int main(int argc, char** argv) {
  const int gets = argc > 1 ? std::max(100, std::atoi(argv[1])) : 20000;
  vantoserver::ServerOptions options;
  options.port = 0;
  std::ostringstream log;
  vantoserver::Server server(vantoserver::load_config(VANTO_EXAMPLES_DIR "/demo.toml"), options,
                             log);
  server.start();
  const std::string ens = "127.0.0.1:" + std::to_string(server.port());
  ::setenv("VANTO_ENS", ens.c_str(), 1);
  std::printf("vantoserver in-process on %s\n", ens.c_str());
  for (const char* address : {"TEST.SIM/SCALAR/LOC1/INT", "TEST.SIM/ARRAY/LOC1/SPECTRUM"})
    for (int threads : {1, 2}) measure(address, threads, gets);
  for (const char* address : {"TEST.SIM/SCALAR/LOC1/INT", "TEST.SIM/ARRAY/LOC1/SPECTRUM"})
    measure_many(address, gets);
  server.stop();
  return 0;
}
