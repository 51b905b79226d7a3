// The name service across two servers: one routes a facility to the other;
// and what a name service that answers garbage does to a call.
#include <atomic>
#include <thread>

#include <zmq.hpp>
#include <zmq_addon.hpp>

#include <gtest/gtest.h>

#include "call_helpers.h"
#include "harness.h"
#include "rpc_protocol.h"

namespace {

using servertest::get;

const char* kOtherConfig = R"(
[[device]]
facility = "OTHER.SIM"
name = "DEV"
locations = ["LOC"]
  [[device.property]]
  name = "WHO"
  type = "STRING"
  value = "the second server"
  [[device.property]]
  name = "VALUE"
  type = "INT"
  writable = true
  value = 7
)";

TEST(RoutingTest, FacilityRoutedToASecondServerIsServedThere) {
  vantotest::ServerProcess other(vantotest::temp_file(kOtherConfig, ".toml"));
  const std::string main_config = std::string(R"(
[[device]]
facility = "MAIN.SIM"
name = "DEV"
locations = ["LOC"]
  [[device.property]]
  name = "WHO"
  type = "STRING"
  value = "the name server"

[[route]]
facility = "OTHER.SIM"
server = ")") + other.ens() + "\"\n";
  vantotest::ServerProcess main(vantotest::temp_file(main_config, ".toml"));
  ::setenv("VANTO_ENS", main.ens().c_str(), 1);

  EXPECT_EQ(get("MAIN.SIM/DEV/LOC/WHO").get_string(), "the name server");
  EXPECT_EQ(get("OTHER.SIM/DEV/LOC/WHO").get_string(), "the second server");
  EXPECT_EQ(servertest::names("OTHER.SIM/*"), (std::vector<std::string>{"DEV"}));
  EXPECT_EQ(get("THIRD.SIM/DEV/LOC/WHO").error(), vanto::no_ens_entry);

  // A set through the route is seen on the second server directly.
  vanto::EqCall call;
  vanto::EqData in;
  in.set_int(99);
  ASSERT_EQ(servertest::set(call, "OTHER.SIM/DEV/LOC/VALUE", in).error(), 0);
  EXPECT_EQ(other.read("OTHER.SIM/DEV/LOC/VALUE").get_int(), 99);

  // The second server asked directly does not serve the first one's facility.
  EXPECT_EQ(other.read("MAIN.SIM/DEV/LOC/WHO").error(), vanto::no_ens_entry);
}

// A name service that answers every request with the same reply.
class FakeNameService {
 public:
  FakeNameService(int error, const vanto::EqData& value)
      : error_(error), type_(value.type()), data_(vanto::Codec::encode_data(value, &count_)) {
    socket_.set(zmq::sockopt::linger, 0);
    socket_.bind("tcp://127.0.0.1:*");
    const std::string endpoint = socket_.get(zmq::sockopt::last_endpoint);
    ens_ = endpoint.substr(endpoint.find("//") + 2);
    thread_ = std::thread([this] { serve(); });
  }
  ~FakeNameService() {
    stop_ = true;
    thread_.join();
  }
  const std::string& ens() const { return ens_; }

 private:
  void serve() {
    using namespace vanto::rpc;
    while (!stop_) {
      zmq::pollitem_t item{socket_.handle(), 0, ZMQ_POLLIN, 0};
      if (zmq::poll(&item, 1, std::chrono::milliseconds(50)) <= 0) continue;
      std::vector<zmq::message_t> request;
      if (!zmq::recv_multipart(socket_, std::back_inserter(request)) || request.size() < 2)
        continue;
      const auto asked = read_header<RequestHeader>(request[1].data(), request[1].size());
      if (!asked) continue;
      ReplyHeader header;
      header.op = asked->op;
      header.id = asked->id;
      header.error = error_;
      header.type = type_;
      header.count = count_;
      std::vector<zmq::message_t> reply;
      reply.emplace_back(request[0].data(), request[0].size());
      reply.emplace_back(&header, sizeof header);
      reply.emplace_back(std::string(error_ != 0 ? 5000 : 0, 'e'));
      reply.emplace_back(data_.data(), data_.size());
      (void)zmq::send_multipart(socket_, reply);
    }
  }

  int error_;
  int type_;
  uint32_t count_ = 0;
  std::vector<uint8_t> data_;
  zmq::context_t context_;
  zmq::socket_t socket_{context_, zmq::socket_type::router};
  std::string ens_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct GarbageAnswer {
  const char* name;
  int error;  // of the reply
  int type;   // of the reply's value: USTR (port, host) or INT
  int port;
  const char* host;
  int code;         // the call's error
  const char* why;  // in the call's error text
};

class GarbageNameServiceTest : public ::testing::TestWithParam<GarbageAnswer> {};

// The call fails with an error of its own, never with an exception, and names
// the reason.
TEST_P(GarbageNameServiceTest, CallFailsWithAClearError) {
  const GarbageAnswer& answer = GetParam();
  vanto::EqData value;
  if (answer.type == vanto::DATA_USTR)
    value.set_ustr(answer.port, 0, 0, 0, answer.host, 0);
  else
    value.set_int(answer.port);
  FakeNameService ens(answer.error, value);
  ::setenv("VANTO_ENS", ens.ens().c_str(), 1);
  vanto::EqData out;
  ASSERT_NO_THROW(out = get("GARBAGE." + std::string(answer.name) + "/DEV/LOC/P"));
  EXPECT_EQ(out.error(), answer.code) << out.error_text();
  EXPECT_NE(out.error_text().find(answer.why), std::string::npos) << out.error_text();
  EXPECT_LE(out.error_text().size(), vanto::rpc::kMaxErrorTextLength);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, GarbageNameServiceTest,
    ::testing::Values(GarbageAnswer{"HostZeroMqRefuses", 0, vanto::DATA_USTR, 5601, "no such host",
                                    vanto::unavail_serv, "cannot connect to no such host:5601"},
                      GarbageAnswer{"PortOutOfRange", 0, vanto::DATA_USTR, 70000, "127.0.0.1",
                                    vanto::bad_frame, "malformed name service reply"},
                      GarbageAnswer{"NoRoute", 0, vanto::DATA_INT, 5601, "", vanto::bad_frame,
                                    "malformed name service reply"},
                      GarbageAnswer{"LongErrorText", vanto::no_ens_entry, vanto::DATA_INT, 0, "",
                                    vanto::no_ens_entry, "eee"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
