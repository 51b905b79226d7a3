// Server restart: a vantoserver stopped and started again on the same port
// under a running subscription (library and vantozmq_subscribe) and a running
// streamcat. A subscription finds the restarted server by itself and its
// updates reach the same callback again; streamcat waits on the old stream
// and ends cleanly on an interrupt.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <zmq.hpp>

#include <vanto/eqadr.h>
#include <vanto/eqcall.h>
#include <vanto/eqdata.h>

#include "harness.h"

using namespace vantotest;
using namespace std::chrono_literals;

namespace {

const std::string kInt = "TEST.SIM/SCALAR/LOC1/INT";  // writable, 42 at the start
const std::string kCounter = "TEST.SIM/STREAM/LOC1/COUNTER";

// The values a subscription's callback received, as text, in order.
class Deliveries {
 public:
  std::function<void(const vanto::EqData&)> callback() {
    return [this](const vanto::EqData& data) {
      std::lock_guard lock(mutex_);
      values_.push_back(data.get_string());
      changed_.notify_all();
    };
  }
  // Waits until the values from index `from` on are exactly `expected`.
  bool wait_for(size_t from, const std::vector<std::string>& expected,
                std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return tail(from) == expected; });
  }
  size_t count() const {
    std::lock_guard lock(mutex_);
    return values_.size();
  }
  std::vector<std::string> values() const {
    std::lock_guard lock(mutex_);
    return values_;
  }

 private:
  std::vector<std::string> tail(size_t from) const {
    return from >= values_.size()
               ? std::vector<std::string>()
               : std::vector<std::string>(values_.begin() + static_cast<long>(from), values_.end());
  }
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> values_;
};

// Writes value into a channel of server, straight to its port.
int write_int(const ServerProcess& server, const std::string& channel, int value) {
  vanto::EqCall call;
  vanto::EqAdr adr(server.direct(channel));
  vanto::EqData in, out;
  in.set_int(value);
  return call.set(&adr, &in, &out);
}

// VANTO_ENS of this process for the life of the object.
class NameService {
 public:
  explicit NameService(const std::string& ens) { ::setenv("VANTO_ENS", ens.c_str(), 1); }
  ~NameService() { ::unsetenv("VANTO_ENS"); }
};

std::string joined(const std::vector<std::string>& values) {
  std::string text;
  for (const auto& v : values) text += "[" + v + "] ";
  return text;
}

// Subscribes to address, writes 7, restarts the server, writes 8: the
// callback gets 42 and 7 from the first server, then the restarted server's
// initial 42 (sent when the library subscribed anew) and 8, each once.
void expect_updates_across_restart(ServerProcess& server, const std::string& address) {
  Deliveries seen;
  vanto::EqCall call;
  vanto::Subscription subscription = call.subscribe(vanto::EqAdr(address), seen.callback());
  subscription.established().get();
  ASSERT_TRUE(seen.wait_for(0, {"42"}, 30s)) << joined(seen.values());
  ASSERT_EQ(write_int(server, kInt, 7), 0);
  ASSERT_TRUE(seen.wait_for(0, {"42", "7"}, 30s)) << joined(seen.values());

  server.restart();
  ASSERT_TRUE(seen.wait_for(2, {"42"}, 60s)) << joined(seen.values());
  ASSERT_EQ(write_int(server, kInt, 8), 0);
  EXPECT_TRUE(seen.wait_for(2, {"42", "8"}, 30s)) << joined(seen.values());
}

TEST(ServerRestart, SubscriptionFindsTheRestartedServerThroughTheNameService) {
  ServerProcess server;
  const NameService ens(server.ens());
  expect_updates_across_restart(server, kInt);
}

TEST(ServerRestart, SubscriptionToADirectAddressReturnsToItsHostAndPort) {
  ServerProcess server;
  // No name service: the renewed subscription must go where the address says.
  const NameService ens(dead_ens());
  expect_updates_across_restart(server, server.direct(kInt));
}

TEST(ServerRestart, SubscriptionSurvivesTwoRestarts) {
  ServerProcess server;
  const NameService ens(server.ens());
  Deliveries seen;
  vanto::EqCall call;
  vanto::Subscription subscription = call.subscribe(vanto::EqAdr(kInt), seen.callback());
  subscription.established().get();
  ASSERT_TRUE(seen.wait_for(0, {"42"}, 30s)) << joined(seen.values());
  for (int round = 1; round <= 2; ++round) {
    const size_t before = seen.count();
    server.restart();
    ASSERT_TRUE(seen.wait_for(before, {"42"}, 60s))
        << "restart " << round << ": " << joined(seen.values());
    ASSERT_EQ(write_int(server, kInt, 100 + round), 0);
    EXPECT_TRUE(seen.wait_for(before, {"42", std::to_string(100 + round)}, 30s))
        << "restart " << round << ": " << joined(seen.values());
  }
}

TEST(ServerRestart, SubscriptionEndsWhileItsServerStaysDown) {
  auto server = std::make_unique<ServerProcess>();
  const NameService ens(server->ens());
  auto seen = std::make_unique<Deliveries>();
  auto call = std::make_unique<vanto::EqCall>();
  vanto::Subscription subscription = call->subscribe(vanto::EqAdr(kInt), seen->callback());
  subscription.established().get();
  ASSERT_TRUE(seen->wait_for(0, {"42"}, 30s));
  const std::string channel = server->direct(kInt);
  server->stop();
  // A write fails after its time-out: by then the subscription has seen
  // its connection go.
  {
    vanto::EqCall writer;
    vanto::EqAdr adr(channel);
    vanto::EqData in, out;
    in.set_int(1);
    ASSERT_NE(writer.set(&adr, &in, &out), 0);
  }
  // The library now looks for the server again and again; ending the
  // subscription must end that search. A hang is reported, not waited out.
  std::promise<void> ended;
  std::future<void> done = ended.get_future();
  std::thread([&call, &ended] {
    call.reset();
    ended.set_value();
  }).detach();
  ASSERT_EQ(done.wait_for(60s), std::future_status::ready) << "the EqCall destructor hangs";
}

TEST(ServerRestart, ARenewalWaitingForASilentServerEndsOnStop) {
  auto server = std::make_unique<ServerProcess>();
  const NameService ens(server->ens());
  const int port = server->port();
  auto seen = std::make_unique<Deliveries>();
  auto call = std::make_unique<vanto::EqCall>();
  // The requests of this call, and of its subscription when it looks for
  // the server again, wait a minute for their answers.
  vanto::EqAdr adr(kInt);
  vanto::EqData minute, ignored;
  minute.set_int(60'000);
  ASSERT_EQ(call->set_option(&adr, &minute, &ignored, vanto::EQ_TIMEOUT), 0);
  vanto::Subscription subscription = call->subscribe(adr, seen->callback());
  subscription.established().get();
  ASSERT_TRUE(seen->wait_for(0, {"42"}, 30s));
  server->stop();
  // Where the server was, a socket takes requests and never answers them.
  zmq::context_t context;
  zmq::socket_t silent(context, zmq::socket_type::router);
  silent.set(zmq::sockopt::linger, 0);
  silent.bind("tcp://127.0.0.1:" + std::to_string(port));
  zmq::pollitem_t item{silent.handle(), 0, ZMQ_POLLIN, 0};
  ASSERT_GT(zmq::poll(&item, 1, std::chrono::milliseconds(30s)), 0)
      << "the subscription never asked for its server again";
  // Its request now waits for an answer; ending the subscription ends that
  // wait instead of sitting out the minute.
  auto ended = std::async(std::launch::async, [&call] { call.reset(); });
  EXPECT_EQ(ended.wait_for(30s), std::future_status::ready)
      << "the EqCall destructor waits for the silent server";
}

TEST(ServerRestart, SubscribeMonitorKeepsPrintingUpdates) {
  ServerProcess server;
  ChildProcess monitor("vantozmq_subscribe", {kCounter}, {{"VANTO_ENS", server.ens()}});
  ASSERT_TRUE(monitor.wait_for_out(" DATA_INT ", 30s, 3)) << monitor.out() << monitor.err();
  server.restart();
  const std::string before = monitor.out();
  int printed = 0;
  for (auto at = before.find(" DATA_INT "); at != std::string::npos;
       at = before.find(" DATA_INT ", at + 1))
    ++printed;
  // Five more updates: the restarted server's counter.
  EXPECT_TRUE(monitor.wait_for_out(" DATA_INT ", 60s, printed + 5))
      << monitor.out() << monitor.err();
  monitor.signal(SIGINT);
  const ProgramResult r = monitor.wait(60s);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 128 + SIGINT);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.substr(0, before.size()), before);
}

TEST(ServerRestart, StreamReceiverWaitsOnTheOldStreamAndEndsOnInterrupt) {
  ServerProcess server;
  ChildProcess receiver("streamcat", {"-c", kCounter, "-d", "2", "-t", "2000"},
                        {{"VANTO_ENS", server.ens()}, {"TERM", "dumb"}});
  ASSERT_TRUE(receiver.wait_for_out(kCounter, 30s, 3)) << receiver.out() << receiver.err();
  server.restart();
  // The restarted server publishes the stream on a new port; the receiver
  // keeps its connection to the old one, prints nothing made up and ends
  // cleanly on an interrupt, every line before intact.
  const std::string before = receiver.out();
  receiver.signal(SIGINT);
  const ProgramResult r = receiver.wait(60s);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("dmsg: "), std::string::npos) << r.err;
  EXPECT_EQ(r.out.substr(0, before.size()), before);
}

}  // namespace
