// The stream port exchange ("SPN") and stream messages received by a plain
// ZeroMQ SUB socket and decoded by the codec.
#include <zmq.hpp>

#include <gtest/gtest.h>

#include "call_helpers.h"
#include "harness.h"

namespace {

using namespace std::chrono_literals;
using vanto::EqData;

struct Binding {
  int code = 0;
  int port = 0;
  float f1 = 0, f2 = 0;
  std::string text;
};

Binding spn(const std::string& location, const std::string& property, bool start) {
  vanto::EqCall call;
  vanto::EqAdr adr(location + "/SPN");
  EqData in, out;
  in.set_ustr(1, 0.0f, 0.0f, 0, property.c_str(), 0);
  Binding b;
  b.code = start ? call.set(&adr, &in, &out) : call.get(&adr, &in, &out);
  if (b.code != 0) {
    b.text = out.error_text();
    return b;
  }
  int64_t tm = 0;
  char* text = nullptr;
  EXPECT_TRUE(out.get_ustr(&b.port, &b.f1, &b.f2, &tm, &text, 0));
  b.text = text ? text : "";
  return b;
}

// Receives one message of the stream on port (filter: prefix) and decodes it.
std::vector<uint8_t> receive_one(int port, const std::string& filter) {
  zmq::context_t context;
  zmq::socket_t sub(context, zmq::socket_type::sub);
  sub.set(zmq::sockopt::linger, 0);
  sub.set(zmq::sockopt::subscribe, filter);
  sub.connect("tcp://127.0.0.1:" + std::to_string(port));
  zmq::pollitem_t item{sub.handle(), 0, ZMQ_POLLIN, 0};
  if (zmq::poll(&item, 1, 20s) <= 0) return {};
  zmq::message_t message;
  if (!sub.recv(message)) return {};
  const auto* bytes = static_cast<const uint8_t*>(message.data());
  return std::vector<uint8_t>(bytes, bytes + message.size());
}

class StreamsTest : public vantotest::ServerTest {};

TEST_F(StreamsTest, RunningStreamAnswersItsPortAndDataVersion) {
  const Binding b = spn("TEST.SIM/STREAM/LOC1", "COUNTER", false);
  ASSERT_EQ(b.code, 0) << b.text;
  EXPECT_GT(b.port, 0);
  EXPECT_EQ(b.f1, 0.0f);
  EXPECT_EQ(b.f2, 2.0f);
  const Binding other = spn("TEST.SIM/STREAM/LOC2", "COUNTER", false);
  EXPECT_GT(other.port, 0);
  EXPECT_NE(other.port, b.port);
}

TEST_F(StreamsTest, StoppedStreamAnswersPortZeroUntilASetStartsIt) {
  const Binding before = spn("TEST.SIM/STREAM/LOC1", "FLOAT", false);
  ASSERT_EQ(before.code, 0) << before.text;
  EXPECT_EQ(before.port, 0);
  EXPECT_EQ(before.f1 + before.f2, 0.0f);
  const Binding started = spn("TEST.SIM/STREAM/LOC1", "FLOAT", true);
  ASSERT_EQ(started.code, 0) << started.text;
  EXPECT_GT(started.port, 0);
  EXPECT_EQ(started.f2, 2.0f);
  const Binding after = spn("TEST.SIM/STREAM/LOC1", "FLOAT", false);
  EXPECT_EQ(after.port, started.port);
}

TEST_F(StreamsTest, SpnRefusesWhatIsNoStream) {
  EXPECT_EQ(spn("TEST.SIM/SCALAR/LOC1", "INT", false).code, vanto::ill_property);
  EXPECT_EQ(spn("TEST.SIM/STREAM/LOC1", "NOPE", true).code, vanto::ill_property);
  EXPECT_EQ(spn("TEST.SIM/STREAM/NOLOC", "COUNTER", false).code, vanto::ill_location);
  EXPECT_EQ(spn("TEST.SIM/STREAM/LOC1", "", false).code, vanto::ill_parameter);
}

TEST_F(StreamsTest, LayoutTwoMessageCarriesNameAndEventIdAsValue) {
  const Binding b = spn("TEST.SIM/STREAM/LOC1", "COUNTER", false);
  ASSERT_GT(b.port, 0);
  // The filter of a version-2 reader: 02 00 78 00 and the property name.
  const std::string filter = std::string("\x02\x00\x78\x00", 4) + "COUNTER";
  const std::vector<uint8_t> message = receive_one(b.port, filter);
  ASSERT_GE(message.size(), vanto::kHeaderV2Size);
  EqData value;
  vanto::StreamInfo info;
  ASSERT_EQ(vanto::Codec::decode_message(message.data(), message.size(), value, info), 0);
  EXPECT_EQ(info.name, "COUNTER");
  EXPECT_EQ(value.type(), vanto::DATA_INT);
  EXPECT_GT(info.ident, 0);
  EXPECT_EQ(value.get_int(), info.ident);
}

TEST_F(StreamsTest, LayoutOneMessageOfAVersionOneStream) {
  const Binding b = spn("TEST.SIM/STREAM/LOC1", "COUNTER_V1", true);
  ASSERT_EQ(b.code, 0) << b.text;
  EXPECT_EQ(b.f2, 1.0f);
  const std::vector<uint8_t> message = receive_one(b.port, "");
  ASSERT_GE(message.size(), vanto::kHeaderV1Size);
  EXPECT_EQ(message[0], 1);
  EXPECT_EQ(message[1], 0);
  EqData value;
  vanto::StreamInfo info;
  ASSERT_EQ(vanto::Codec::decode_message(message.data(), message.size(), value, info), 0);
  EXPECT_EQ(value.type(), vanto::DATA_INT);
  EXPECT_EQ(value.get_int(), info.ident);
  EXPECT_GT(info.sec, 0);
}

TEST_F(StreamsTest, SpectrumAndImageStreamsDecode) {
  for (const std::string property : {"SPECTRUM", "IMAGE", "A_INT", "STRING"}) {
    const Binding b = spn("TEST.SIM/STREAM/LOC1", property, true);
    ASSERT_EQ(b.code, 0) << property << ": " << b.text;
    const std::vector<uint8_t> message =
        receive_one(b.port, std::string("\x02\x00\x78\x00", 4) + property);
    EqData value;
    vanto::StreamInfo info;
    ASSERT_EQ(vanto::Codec::decode_message(message.data(), message.size(), value, info), 0)
        << property;
    EXPECT_EQ(info.name, property);
    EXPECT_EQ(value.error(), 0) << property;
    EXPECT_GT(value.length(), 0) << property;
  }
}

}  // namespace
