// vantoserver as a network service facing careless or hostile clients: fault
// injection only when allowed, the largest message each socket takes, and the
// memory kept for fault commands and for answers held back. Memory is read
// from /proc/<pid>/status of the server; the checks are bounds, not timings.
#include <zmq.hpp>
#include <zmq_addon.hpp>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "call_helpers.h"
#include "harness.h"
#include "rpc_connection.h"
#include "rpc_control.h"

namespace {

using namespace std::chrono_literals;
using namespace vanto::rpc;
using vantotest::ServerProcess;
using vantotest::ServerSettings;
using vantotest::status_kb;

constexpr long kMiB = 1024;  // in the kB of /proc/<pid>/status

// Checks that the server's memory grew by less than bound_kb. ThreadSanitizer's
// shadow memory multiplies resident memory: in such a build the cases run for
// their data races only.
#if defined(__SANITIZE_THREAD__)
#define EXPECT_GROWTH_BELOW(growth_kb, bound_kb) \
  if (true)                                      \
    (void)(growth_kb);                           \
  else                                           \
    EXPECT_LT(growth_kb, bound_kb)
#else
#define EXPECT_GROWTH_BELOW(growth_kb, bound_kb) EXPECT_LT(growth_kb, bound_kb)
#endif

std::unique_ptr<ServerProcess> start_server(bool allow_faults) {
  ServerSettings settings;
  settings.env = vantotest::memory_measuring_env();
  settings.allow_faults = allow_faults;
  return std::make_unique<ServerProcess>(settings);
}

Endpoint endpoint_of(const ServerProcess& server) { return Endpoint{"127.0.0.1", server.port()}; }

vanto::EqData fault_command(FaultMode mode, int code, int count, int delay_ms) {
  vanto::EqData command;
  command.set_iiii(static_cast<int>(mode), code, count, delay_ms);
  return command;
}

// Waits until every request sent so far on connection has been taken by the
// server (it answers in order): one more read, answered at once.
void wait_until_taken(Connection& connection) {
  vanto::EqData out;
  ASSERT_EQ(connection.call(Op::get, "TEST.SIM/SCALAR/LOC1/INT255", nullptr, out, 60s), 0)
      << out.error_text();
}

// Sends count requests ahead on connection, all taken by the server when it
// returns; address_of(k) names the address of the k-th.
template <typename AddressOf>
void send_ahead(Connection& connection, int count, Op op, const AddressOf& address_of,
                const vanto::EqData* in) {
  for (int k = 0; k < count; ++k) {
    ASSERT_NE(connection.send(op, address_of(k), in), 0u) << k;
    // Within the socket's queue, and answers sent are read before they pile up.
    if (k % 100 == 99) wait_until_taken(connection);
  }
  wait_until_taken(connection);
}

TEST(FaultInjectionTest, RefusedUnlessTheServerAllowsIt) {
  const auto server = start_server(false);
  EXPECT_EQ(send_fault(endpoint_of(*server), FaultMode::fail_always, "TEST.SIM/SCALAR/LOC1/INT",
                       101, 0, 0),
            vanto::not_implemented);
  ::setenv("VANTO_ENS", server->ens().c_str(), 1);
  EXPECT_EQ(servertest::get("TEST.SIM/SCALAR/LOC1/INT").get_int(), 42);
}

// --------------------------------------------------------------- message sizes

// A socket of the server and a client socket of the kind that talks to it.
struct Target {
  const char* name;
  zmq::socket_type client;
  int (*port)(const ServerProcess&);
};

void PrintTo(const Target& target, std::ostream* os) { *os << target.name; }

int request_port(const ServerProcess& server) { return server.port(); }

int subscription_port(const ServerProcess& server) {
  Connection connection(endpoint_of(server));
  vanto::EqData out;
  int port = 0;
  float f1, f2;
  int64_t tm;
  char* topic;
  if (connection.call(Op::subscribe, "TEST.SIM/SCALAR/LOC1/INT", nullptr, out, 10s) != 0 ||
      !out.get_ustr(&port, &f1, &f2, &tm, &topic, 0))
    ADD_FAILURE() << "no subscription port: " << out.error_text();
  return port;
}

int stream_port(const ServerProcess& server) {
  Connection connection(endpoint_of(server));
  vanto::EqData in, out;
  in.set_ustr(1, 0.0f, 0.0f, 0, "COUNTER", 0);
  int port = 0;
  float f1, f2;
  int64_t tm;
  char* text;
  if (connection.call(Op::get, "TEST.SIM/STREAM/LOC1/SPN", &in, out, 10s) != 0 ||
      !out.get_ustr(&port, &f1, &f2, &tm, &text, 0))
    ADD_FAILURE() << "no stream port: " << out.error_text();
  return port;
}

class MessageSizeTest : public ::testing::TestWithParam<Target> {};

// A client sends one 64 MiB message (far above any legitimate one): the server
// drops the connection instead of taking the message in, its peak memory does
// not grow by the message, and it goes on serving.
TEST_P(MessageSizeTest, OversizedMessageDropsTheConnection) {
  const auto server = start_server(false);
  const int port = GetParam().port(*server);
  ASSERT_GT(port, 0);
  const long peak_before = status_kb(server->pid(), "VmHWM");

  zmq::context_t context;
  zmq::socket_t client(context, GetParam().client);
  client.set(zmq::sockopt::linger, 0);
  client.set(zmq::sockopt::reconnect_ivl, 60'000);  // one connection only
  ASSERT_EQ(zmq_socket_monitor(client.handle(), "inproc://client-events", ZMQ_EVENT_DISCONNECTED),
            0);
  zmq::socket_t events(context, zmq::socket_type::pair);
  events.connect("inproc://client-events");
  client.connect("tcp://127.0.0.1:" + std::to_string(port));
  // Not a subscription: a publisher has no use for it either way.
  std::string message(64 << 20, 'x');
  ASSERT_TRUE(client.send(zmq::buffer(message), zmq::send_flags::none));
  message = std::string();

  zmq::pollitem_t item{events.handle(), 0, ZMQ_POLLIN, 0};
  EXPECT_EQ(zmq::poll(&item, 1, 60s), 1) << GetParam().name << ": the connection was kept";
  EXPECT_GROWTH_BELOW(status_kb(server->pid(), "VmHWM") - peak_before, 32 * kMiB)
      << GetParam().name;
  Connection check(endpoint_of(*server));
  vanto::EqData out;
  EXPECT_EQ(check.call(Op::get, "TEST.SIM/SCALAR/LOC1/INT255", nullptr, out, 20s), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sockets, MessageSizeTest,
    ::testing::Values(Target{"requests", zmq::socket_type::dealer, request_port},
                      Target{"subscriptions", zmq::socket_type::xsub, subscription_port},
                      Target{"stream", zmq::socket_type::xsub, stream_port}),
    [](const auto& test) { return std::string(test.param.name); });

// A message to the subscription publisher that is no subscription (first byte
// neither 1 nor 0) is dropped: it must not count as an unsubscription.
TEST(PublisherTest, MessagesThatAreNoSubscriptionChangeNothing) {
  const auto server = start_server(false);
  const std::string address = "TEST.SIM/SCALAR/LOC1/INT";
  const std::string topic = subscription_topic(address);
  const std::string endpoint = "tcp://127.0.0.1:" + std::to_string(subscription_port(*server));
  zmq::context_t context;
  zmq::socket_t subscriber(context, zmq::socket_type::sub);
  subscriber.set(zmq::sockopt::linger, 0);
  subscriber.set(zmq::sockopt::subscribe, topic);
  subscriber.connect(endpoint);
  // The current value comes at once (topic and message).
  zmq::pollitem_t item{subscriber.handle(), 0, ZMQ_POLLIN, 0};
  std::vector<zmq::message_t> update;
  ASSERT_EQ(zmq::poll(&item, 1, 20s), 1);
  ASSERT_TRUE(zmq::recv_multipart(subscriber, std::back_inserter(update)));

  zmq::socket_t other(context, zmq::socket_type::xsub);
  other.set(zmq::sockopt::linger, 0);
  other.connect(endpoint);
  const std::string not_a_subscription = "\x02" + topic;
  other.send(zmq::buffer(not_a_subscription));
  // A subscription behind it: once its value comes, the server has read both.
  const std::string subscription = "\x01" + subscription_topic("TEST.SIM/SCALAR/LOC1/FLOAT");
  other.send(zmq::buffer(subscription));
  zmq::pollitem_t other_item{other.handle(), 0, ZMQ_POLLIN, 0};
  ASSERT_EQ(zmq::poll(&other_item, 1, 20s), 1);

  // A write is still published to the subscriber.
  Connection writer(endpoint_of(*server));
  vanto::EqData in, out;
  in.set_int(4242);
  ASSERT_EQ(writer.call(Op::set, address, &in, out, 20s), 0) << out.error_text();
  update.clear();
  ASSERT_EQ(zmq::poll(&item, 1, 20s), 1) << "the write was not published";
  ASSERT_TRUE(zmq::recv_multipart(subscriber, std::back_inserter(update)));
  EXPECT_EQ(update.front().to_string(), topic);
}

// How the subscribers of a flood channel go away.
struct Leaving {
  const char* name;
  int connections;    // each subscribes ...
  int subscriptions;  // ... this often, and then all close
};

void PrintTo(const Leaving& leaving, std::ostream* os) { *os << leaving.name; }

class SubscribersLeaveTest : public ::testing::TestWithParam<Leaving> {};

// Once the last subscriber of a flood channel has gone, the server stops
// publishing it: its count (the updates published so far) stands still.
// Before, two subscribers, or one that subscribed twice, kept it publishing
// 20,000 updates a second to nobody for as long as the server ran.
TEST_P(SubscribersLeaveTest, PublishingEndsWithTheLastOne) {
  const auto server = start_server(false);
  const std::string address = "TEST.SIM/DYNAMIC/LOC1/FLOOD";
  const std::string subscription = "\x01" + subscription_topic(address);
  const std::string endpoint = "tcp://127.0.0.1:" + std::to_string(subscription_port(*server));
  auto count = [&] { return server->read(address).get_int(); };
  {
    zmq::context_t context;
    std::vector<zmq::socket_t> clients;
    for (int k = 0; k < GetParam().connections; ++k) {
      zmq::socket_t& client = clients.emplace_back(context, zmq::socket_type::xsub);
      client.set(zmq::sockopt::linger, 0);
      client.connect(endpoint);
      for (int n = 0; n < GetParam().subscriptions; ++n) client.send(zmq::buffer(subscription));
      zmq::pollitem_t item{client.handle(), 0, ZMQ_POLLIN, 0};
      ASSERT_EQ(zmq::poll(&item, 1, 20s), 1) << "no update";
    }
    const int before = count();
    std::this_thread::sleep_for(100ms);
    ASSERT_GT(count(), before) << "the flood does not run";
  }
  bool still = false;
  for (int attempt = 0; attempt < 50 && !still; ++attempt) {
    const int before = count();
    std::this_thread::sleep_for(200ms);
    still = count() == before;
  }
  EXPECT_TRUE(still) << "still published after every subscriber left";
}

INSTANTIATE_TEST_SUITE_P(Ways, SubscribersLeaveTest,
                         ::testing::Values(Leaving{"TwoSubscribers", 2, 1},
                                           Leaving{"OneSubscribedThrice", 1, 3}),
                         [](const auto& test) { return std::string(test.param.name); });

// ----------------------------------------------------- kept for fault commands

class KeptMemoryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = start_server(true); }
  static void TearDownTestSuite() { server_.reset(); }
  void TearDown() override { server_->clear_faults(); }

  static long rss_kb() { return status_kb(server_->pid(), "VmRSS"); }

  static std::unique_ptr<ServerProcess> server_;
};
std::unique_ptr<ServerProcess> KeptMemoryTest::server_;

TEST_F(KeptMemoryTest, RefusedFaultCommandsKeepNothingAndTheTableIsBounded) {
  Connection connection(endpoint_of(*server_));
  wait_until_taken(connection);
  const long before = rss_kb();
  // 20,000 malformed commands on distinct 1000-byte addresses: 20 MB if kept.
  const vanto::EqData malformed = fault_command(FaultMode::fail_next, -1, 1, 0);
  send_ahead(
      connection, 20'000, Op::fault,
      [](int k) {
        std::string address = "X/Y/Z/" + std::to_string(k);
        address.resize(1000, 'p');
        return address;
      },
      &malformed);
  EXPECT_GROWTH_BELOW(rss_kb() - before, 12 * kMiB);

  // Well-formed commands on distinct channels: up to the table's bound.
  const vanto::EqData fail = fault_command(FaultMode::fail_always, 101, 0, 0);
  vanto::EqData out;
  for (int k = 0; k <= 1000; ++k) {
    const int code = connection.call(Op::fault, "X/Y/Z/" + std::to_string(k), &fail, out, 20s);
    ASSERT_EQ(code, k < 1000 ? 0 : vanto::ill_parameter) << k << ": " << out.error_text();
  }
  EXPECT_NE(std::string(out.error_text()).find("too many"), std::string::npos) << out.error_text();
}

// Answers of about 60 kB each, held back for 10 minutes.
class HeldAnswersTest : public KeptMemoryTest {
 protected:
  void SetUp() override {
    vanto::EqCall call;
    vanto::EqData in;
    in.set_string(std::string(60'000, 's').c_str());
    ::setenv("VANTO_ENS", server_->ens().c_str(), 1);
    ASSERT_EQ(servertest::set(call, kAddress, in).error(), 0);
    server_->set_delay(kAddress, 600'000);
  }

  // A client that asks for count held answers and waits until they are held.
  static std::unique_ptr<Connection> client_holding(int count) {
    auto client = std::make_unique<Connection>(endpoint_of(*server_));
    send_ahead(
        *client, count, Op::get, [](int) { return kAddress; }, nullptr);
    return client;
  }

  static constexpr const char* kAddress = "TEST.SIM/SCALAR/LOC1/STRING";
};

TEST_F(HeldAnswersTest, AnswersOfDepartedClientsAreDropped) {
  const long before = rss_kb();
  // Three clients in turn each leave 700 answers (42 MB) behind; the memory
  // stays that of one client's answers (kept, they would reach the 64 MiB
  // bound of all held answers).
  long most = 0;
  Connection observer(endpoint_of(*server_));
  for (int round = 0; round < 3; ++round) {
    client_holding(700).reset();
    most = std::max(most, rss_kb() - before);
    // A round trip sent after the client left: the server has seen it leave.
    wait_until_taken(observer);
  }
  EXPECT_GROWTH_BELOW(most, 64 * kMiB);
}

TEST_F(HeldAnswersTest, AllAnswersHeldAtOnceAreBounded) {
  const long before = rss_kb();
  const auto client = client_holding(3000);  // 180 MB if all were held
  // The bound is 64 MiB of answers; the allocator's own share comes on top.
  EXPECT_GROWTH_BELOW(rss_kb() - before, 120 * kMiB);
}

}  // namespace
