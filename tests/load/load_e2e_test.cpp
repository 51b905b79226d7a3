// Load: load client processes against one vantoserver on 127.0.0.1. Each
// client owns its channels, counts the replies per request id and checks
// every read against the last value it wrote; the server's resident memory
// is compared after a warm-up round and after the last round. The load is
// small enough for the sanitizer build of the test command; the full load
// is scripts/load.sh.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "harness.h"

using namespace vantotest;
using namespace std::chrono_literals;

namespace {

constexpr int kClients = 4;
constexpr long kRequests = 6000;  // per client and round, the read-back of 3 on top
constexpr long kSent = kRequests + 3;

ServerSettings load_server() {
  ServerSettings settings;
  settings.config = LOAD_CONFIG_PATH;
  settings.env = memory_measuring_env();
  return settings;
}

// The figures line of a clean session of client k, up to its seconds.
std::string clean_figures(int client, long sent, long sets, long reads) {
  return "client " + std::to_string(client) + ": sent " + std::to_string(sent) + ", replies " +
         std::to_string(sent) +
         ", missing 0, duplicated 0, unexpected 0, errors 0, mismatched 0, sets " +
         std::to_string(sets) + ", reads " + std::to_string(reads) + ", seconds ";
}

// Runs clients 1..count at once, each with requests mixed requests; returns
// their results in client order.
std::vector<ProgramResult> run_round(const ServerProcess& server, int count, long requests,
                                     const std::vector<std::string>& extra = {}) {
  std::vector<std::unique_ptr<ChildProcess>> clients;
  for (int k = 1; k <= count; ++k) {
    std::vector<std::string> args{
        "-s", server.ens(), "-c", std::to_string(k), "-n", std::to_string(requests)};
    args.insert(args.end(), extra.begin(), extra.end());
    clients.push_back(std::make_unique<ChildProcess>(LOAD_CLIENT_PATH, args));
  }
  std::vector<ProgramResult> results;
  for (auto& client : clients) results.push_back(client->wait(180s));
  return results;
}

// Sets and reads of a session as the figures line states them.
struct Counts {
  long sent = -1, sets = -1, reads = -1;
};
Counts counts_of(const std::string& line) {
  static const std::regex pattern(R"(sent (\d+),.* sets (\d+), reads (\d+),)");
  std::smatch m;
  Counts c;
  if (std::regex_search(line, m, pattern)) {
    c.sent = std::stol(m[1]);
    c.sets = std::stol(m[2]);
    c.reads = std::stol(m[3]);
  }
  return c;
}

// Every client of the round ended cleanly with every request answered once.
void expect_clean_round(const std::vector<ProgramResult>& round, const std::string& name) {
  for (size_t i = 0; i < round.size(); ++i) {
    const int client = static_cast<int>(i) + 1;
    const ProgramResult& r = round[i];
    EXPECT_FALSE(r.timed_out) << name << ", client " << client;
    EXPECT_EQ(r.status, 0) << name << ", client " << client << ": " << r.out << r.err;
    EXPECT_EQ(r.err, "") << name << ", client " << client;
    const Counts c = counts_of(r.out);
    EXPECT_EQ(c.sent, kSent) << name << ": " << r.out;
    // Every request was a set or a checked read (the read-back included).
    EXPECT_EQ(c.sets + c.reads, kSent) << name << ": " << r.out;
    EXPECT_GT(c.sets, kRequests / 4) << name << ": " << r.out;
    EXPECT_GT(c.reads, kRequests / 4) << name << ": " << r.out;
    EXPECT_EQ(r.out.substr(0, r.out.rfind(' ') + 1), clean_figures(client, c.sent, c.sets, c.reads))
        << name;
  }
}

TEST(Load, EveryRequestIsAnsweredOnceEveryWriteIsReadBackAndServerMemoryStaysFlat) {
  ServerProcess server(load_server());
  const auto warm_up = run_round(server, kClients, kRequests);
  expect_clean_round(warm_up, "warm-up round");
  const long rss_warm = status_kb(server.pid(), "VmRSS");
  const long hwm_warm = status_kb(server.pid(), "VmHWM");
  ASSERT_GT(rss_warm, 0);
  constexpr int kRounds = 3;
  for (int round = 2; round <= kRounds + 1; ++round)
    expect_clean_round(run_round(server, kClients, kRequests), "round " + std::to_string(round));
  const long rss_last = status_kb(server.pid(), "VmRSS");
  const long hwm_last = status_kb(server.pid(), "VmHWM");
  RecordProperty("server_VmRSS_kB_after_warm_up", std::to_string(rss_warm));
  RecordProperty("server_VmRSS_kB_after_last_round", std::to_string(rss_last));
  RecordProperty("server_VmHWM_kB_after_warm_up", std::to_string(hwm_warm));
  RecordProperty("server_VmHWM_kB_after_last_round", std::to_string(hwm_last));
  // Flat within a generous bound: allocator caches and ZeroMQ's buffers may
  // settle a little after the warm-up (well under 1 MiB here), but three more
  // rounds of the same load (72,000 requests) must not add memory in
  // proportion to the requests served: 64 bytes kept per request would
  // already be 4.4 MiB.
  const long bound_kb = 4 * 1024 + rss_warm / 20;
  EXPECT_LE(rss_last, rss_warm + bound_kb)
      << "VmRSS " << rss_warm << " kB after the warm-up, " << rss_last << " kB after " << kRounds
      << " more rounds (VmHWM " << hwm_warm << " -> " << hwm_last << " kB)";
  EXPECT_LE(hwm_last, hwm_warm + bound_kb);
  EXPECT_TRUE(server.running());
}

// The checks of the load client find what they look for.
TEST(LoadClient, RequestsWithoutAReplyCountAsMissing) {
  ServerProcess server(load_server());
  // The answers of the client's integer channel are held back far beyond the
  // client's patience (-t 1: one second without any reply).
  server.set_delay("TEST.LOAD/CLIENT/C1/INT", 60'000);
  const auto round = run_round(server, 1, 30, {"-t", "1"});
  const ProgramResult& r = round[0];
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  static const std::regex missing(R"(missing ([1-9]\d*),)");
  EXPECT_TRUE(std::regex_search(r.out, missing)) << r.out;
  EXPECT_NE(r.err.find("no reply within 1000 ms"), std::string::npos) << r.err;
}

TEST(LoadClient, ARefusedWriteIsCountedAsAnError) {
  ServerProcess server(load_server());
  server.fail_next("TEST.LOAD/CLIENT/C1/STRING", 100, 1);
  const auto round = run_round(server, 1, 30);
  const ProgramResult& r = round[0];
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find(", errors 1, "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(", missing 0, duplicated 0, "), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("TEST.LOAD/CLIENT/C1/STRING: error 100"), std::string::npos) << r.err;
}

}  // namespace
