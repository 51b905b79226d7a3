// Malformed requests on a raw ZeroMQ DEALER socket: each gets an error reply
// or is dropped, and the server goes on serving.
#include <climits>

#include <zmq.hpp>
#include <zmq_addon.hpp>

#include <gtest/gtest.h>

#include "call_helpers.h"
#include "harness.h"
#include "rpc_protocol.h"

namespace {

using namespace std::chrono_literals;
using namespace vanto::rpc;

class BadInputTest : public vantotest::ServerTest {
 protected:
  void SetUp() override {
    socket_.set(zmq::sockopt::linger, 0);
    socket_.connect("tcp://127.0.0.1:" + std::to_string(server().port()));
  }

  void send(const std::vector<std::string>& frames) {
    for (size_t k = 0; k < frames.size(); ++k)
      socket_.send(zmq::buffer(frames[k]),
                   k + 1 < frames.size() ? zmq::send_flags::sndmore : zmq::send_flags::none);
  }

  // The reply's error code, or -1 when none came within a generous time.
  int reply_code(std::chrono::milliseconds wait = 10s) {
    zmq::pollitem_t item{socket_.handle(), 0, ZMQ_POLLIN, 0};
    if (zmq::poll(&item, 1, wait) <= 0) return -1;
    std::vector<zmq::message_t> frames;
    if (!zmq::recv_multipart(socket_, std::back_inserter(frames))) return -3;
    EXPECT_EQ(frames.size(), kReplyFrames);
    const auto header = read_header<ReplyHeader>(frames[0].data(), frames[0].size());
    EXPECT_TRUE(header.has_value());
    return header ? header->error : -2;
  }

  static std::string header(Op op, int type = 0, uint32_t count = 0, uint16_t raw_op = 0) {
    RequestHeader h;
    h.op = raw_op != 0 ? raw_op : static_cast<uint16_t>(op);
    h.id = 77;
    h.type = type;
    h.count = count;
    return std::string(reinterpret_cast<const char*>(&h), sizeof h);
  }

  void expect_server_serves() {
    EXPECT_EQ(servertest::get("TEST.SIM/SCALAR/LOC1/INT255").get_int(), 255);
  }

  zmq::context_t context_;
  zmq::socket_t socket_{context_, zmq::socket_type::dealer};
};

TEST_F(BadInputTest, FramesThatCannotBeReadAreDropped) {
  send({"garbage"});
  send({std::string(10, '\0')});
  send({header(Op::get).substr(0, 20), "TEST.SIM/SCALAR/LOC1/INT", ""});
  expect_server_serves();
  EXPECT_EQ(reply_code(500ms), -1);  // nothing came back for those
}

TEST_F(BadInputTest, MalformedRequestsGetErrorReplies) {
  struct Case {
    const char* what;
    std::vector<std::string> frames;
    int code;
  };
  const int32_t one = 1;
  const std::string int_part(reinterpret_cast<const char*>(&one), 4);
  const std::vector<Case> cases = {
      {"missing frames", {header(Op::get)}, vanto::bad_frame},
      {"extra frames", {header(Op::get), "TEST.SIM/SCALAR/LOC1/INT", "", "x"}, vanto::bad_frame},
      {"unknown operation",
       {header(Op::get, 0, 0, 99), "TEST.SIM/SCALAR/LOC1/INT", ""},
       vanto::not_implemented},
      {"unknown channel", {header(Op::get), "TEST.SIM/SCALAR/LOC1/NONE", ""}, vanto::ill_property},
      {"too many fields", {header(Op::get), "A/B/C/D/E", ""}, vanto::bad_address},
      {"address too long", {header(Op::get), std::string(5000, 'A'), ""}, vanto::bad_address},
      {"truncated data part",
       {header(Op::set, vanto::DATA_INT, 1), "TEST.SIM/SCALAR/LOC1/INT", "ab"},
       vanto::bad_frame},
      {"count beyond the data",
       {header(Op::set, vanto::DATA_A_INT, 1'000'000'000), "TEST.SIM/ARRAY/LOC1/A_INT", int_part},
       vanto::bad_frame},
      {"unknown type",
       {header(Op::set, 4242, 1), "TEST.SIM/SCALAR/LOC1/INT", int_part},
       vanto::bad_frame},
      {"wrong type on set",
       {header(Op::set, vanto::DATA_INT, 1), "TEST.SIM/SCALAR/LOC1/STRING", int_part},
       vanto::type_error},
      {"set on read-only",
       {header(Op::set, vanto::DATA_INT, 1), "TEST.SIM/SCALAR/LOC1/INT255", int_part},
       vanto::not_writable},
      {"malformed fault command",
       {header(Op::fault, vanto::DATA_INT, 1), "X/Y/Z/P", int_part},
       vanto::ill_parameter},
  };
  for (const Case& c : cases) {
    send(c.frames);
    EXPECT_EQ(reply_code(), c.code) << c.what;
  }
  expect_server_serves();
}

TEST_F(BadInputTest, OversizedValueIsRefused) {
  // A_INT takes at most 65536 elements unless configured otherwise.
  std::vector<int32_t> many(70000, 5);
  vanto::EqData in;
  in.set_int_array(many.data(), static_cast<int>(many.size()));
  vanto::EqCall call;
  EXPECT_EQ(servertest::set(call, "TEST.SIM/ARRAY/LOC1/A_INT", in).error(), vanto::out_of_range);
  EXPECT_EQ(servertest::get("TEST.SIM/ARRAY/LOC1/A_INT").length(), 4);
}

TEST_F(BadInputTest, ClientThatLeavesMidCallDoesNotDisturbTheServer) {
  server().set_delay("TEST.SIM/SCALAR/LOC1/INT", 300);
  {
    zmq::socket_t leaving(context_, zmq::socket_type::dealer);
    leaving.set(zmq::sockopt::linger, 0);
    leaving.connect("tcp://127.0.0.1:" + std::to_string(server().port()));
    const std::string h = header(Op::get);
    leaving.send(zmq::buffer(h), zmq::send_flags::sndmore);
    leaving.send(zmq::str_buffer("TEST.SIM/SCALAR/LOC1/INT"), zmq::send_flags::sndmore);
    leaving.send(zmq::str_buffer(""), zmq::send_flags::none);
  }
  // The delayed answer finds its client gone; the server goes on.
  send({header(Op::get), "TEST.SIM/SCALAR/LOC1/INT", ""});
  EXPECT_EQ(reply_code(), 0);
  server().clear_faults();
  expect_server_serves();
  EXPECT_TRUE(server().running());
}

// Request arguments at the limits of their int fields are answered, not
// overflowed: a step near INT_MAX once crashed the server.
TEST_F(BadInputTest, SpectrumRequestsAtTheIntLimitsAreAnswered) {
  struct Case {
    vanto::IIII request;
    int code;
    std::vector<float> values;
  };
  // The spectrum holds 10 20 30.
  for (const Case& c :
       std::vector<Case>{{{0, 0, INT_MAX, 0}, 0, {10}},
                         {{0, 2, INT_MAX, INT_MAX}, 0, {30}},
                         {{0, 1, 1, INT_MAX}, 0, {20, 30}},
                         {{0, INT_MAX, INT_MAX, INT_MAX}, 0, {}},
                         {{0, INT_MIN, INT_MAX, INT_MAX}, vanto::out_of_range, {}}}) {
    vanto::EqData request;
    request.set_iiii(c.request.i[0], c.request.i[1], c.request.i[2], c.request.i[3]);
    const vanto::EqData reply = servertest::get("TEST.SIM/ARRAY/LOC1/SPECTRUM", &request);
    ASSERT_EQ(reply.error(), c.code) << reply.error_text();
    if (c.code == 0) {
      EXPECT_EQ(servertest::spectrum_of(reply).values, c.values);
    }
  }
  expect_server_serves();
}

// A written image whose header claims more pixels than fit 64 bits is refused
// when a crop request reads it, instead of being copied past its pixels.
TEST(WrittenImageTest, HeaderBeyondItsPixelsIsRefusedByACrop) {
  vantotest::ServerProcess server(vantotest::temp_file(R"([[device]]
facility = "T"
name = "CAMERA"
location = "L"
  [[device.property]]
  name = "IMAGE_EXT"
  type = "IMAGE"
  writable = true
)",
                                                       ".toml"));
  const std::string address = server.direct("T/CAMERA/L/IMAGE_EXT");
  vanto::IMH h{};
  h.width = h.height = 1 << 20;
  h.bpp = 1 << 24;  // width x height x bpp is 2^64
  h.aoi_width = h.aoi_height = 1;
  const std::vector<uint8_t> pixels(16, 7);
  vanto::EqData image;
  image.set_image(h, 0, 0, 0, "", pixels.data(), static_cast<int>(pixels.size()));
  vanto::EqCall call;
  ASSERT_EQ(servertest::set(call, address, image).error(), 0);
  vanto::EqData crop;
  crop.set_iiii(0, 0, 1, 1);
  EXPECT_EQ(servertest::get(call, address, &crop).error(), vanto::ill_serv);
  EXPECT_EQ(server.read("T/CAMERA/L/IMAGE_EXT").error(), 0);
}

}  // namespace
