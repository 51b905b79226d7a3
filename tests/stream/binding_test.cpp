// The run-time binding with the real library: all sixteen names resolve, the
// wrappers reach the right functions (a publisher and a subscriber talk
// through them), and store_msg joins multi-part messages.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "console.h"
#include "message_builder.h"
#include "stream_message.h"
#include "zmq_binding.h"

using namespace streamcat;
using namespace streamtest;

namespace {

class Binding : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_NE(init(), nullptr); }
  void SetUp() override { set_console(out_, err_); }
  void TearDown() override {
    for (void* s : sockets_) lib_zmq_close(s);
    set_console(std::cout, std::cerr);
  }
  void* socket(int type) {
    void* s = lib_zmq_socket(context, type);
    sockets_.push_back(s);
    return s;
  }
  // A publisher and a subscriber with filter on an inproc endpoint.
  std::pair<void*, void*> pair(const std::string& endpoint, const std::string& filter) {
    void* pub = socket(ZMQ_PUB);
    void* sub = socket(ZMQ_SUB);
    EXPECT_EQ(lib_zmq_bind(pub, endpoint.c_str()), 0);
    EXPECT_EQ(lib_zmq_setsockopt(sub, ZMQ_SUBSCRIBE, filter.data(), filter.size()), 0);
    EXPECT_EQ(lib_zmq_connect(sub, endpoint.c_str()), 0);
    return {pub, sub};
  }
  static void send(void* pub, const std::vector<uint8_t>& bytes, size_t split) {
    zmq_msg_t first, second;
    lib_zmq_msg_init_size(&first, split);
    std::memcpy(lib_zmq_msg_data(&first), bytes.data(), split);
    lib_zmq_msg_init_size(&second, bytes.size() - split);
    std::memcpy(lib_zmq_msg_data(&second), bytes.data() + split, bytes.size() - split);
    ASSERT_GE(lib_zmq_msg_send(&first, pub, ZMQ_SNDMORE), 0);
    ASSERT_GE(lib_zmq_msg_send(&second, pub, 0), 0);
  }
  // Receives one whole message (waiting up to 10 s).
  static MessageParts receive(void* sub) {
    MessageParts parts;
    zmq_pollitem_t item{};
    item.socket = sub;
    item.events = ZMQ_POLLIN;
    if (lib_zmq_poll(&item, 1, 10000) <= 0) return parts;
    int more = 1;
    while (more) {
      MessagePart part(new zmq_msg_t);
      lib_zmq_msg_init(part.get());
      if (lib_zmq_msg_recv(part.get(), sub, 0) < 0) break;
      parts.push_back(std::move(part));
      size_t size = sizeof more;
      lib_zmq_getsockopt(sub, ZMQ_RCVMORE, &more, &size);
    }
    return parts;
  }
  // Publishes until the subscriber's connection is up (slow joiner).
  // A decoy, when given, goes out before every attempt and must never arrive.
  static MessageParts publish_until_received(void* pub, void* sub,
                                             const std::vector<uint8_t>& bytes,
                                             const std::vector<uint8_t>& decoy = {}) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (!decoy.empty()) send(pub, decoy, 60);
      send(pub, bytes, 50);
      zmq_pollitem_t item{};
      item.socket = sub;
      item.events = ZMQ_POLLIN;
      if (lib_zmq_poll(&item, 1, 100) > 0) return receive(sub);
    }
    return {};
  }

  std::vector<void*> sockets_;
  std::ostringstream out_, err_;
};

TEST_F(Binding, AllSixteenNamesResolveAndHostIsKnown) {
  ASSERT_EQ(dmsg_func.size(), 16u);
  for (size_t i = 0; i < dmsg_func.size(); ++i) EXPECT_NE(dmsg_func[i], nullptr) << dmsg_fnm[i];
  EXPECT_STREQ(dmsg_fnm[12], "zmq_msg_init_size");
  EXPECT_NE(dmsg_hdl, nullptr);
  EXPECT_GT(std::strlen(hostname), 0u);
  EXPECT_EQ(dmsg_open(), 0);   // already bound: nothing to do
  EXPECT_EQ(init(), context);  // one context per process
  EXPECT_EQ(err_.str(), "");
}

TEST_F(Binding, StoreMsgJoinsThePartsAndDecodes) {
  Header h;
  h.type = 105;  // DATA_A_INT
  h.len = 20;
  h.ident = 31;
  Bytes part;
  for (int i = 0; i < 20; ++i) part.put<int32_t>(i * i);
  Message m = message(header_v2(h), part);
  const std::vector<uint8_t> bytes(m.data(), m.data() + m.total);
  auto [pub, sub] = pair("inproc://store", "");
  MessageParts parts = publish_until_received(pub, sub, bytes);
  ASSERT_EQ(parts.size(), 2u);
  chan channel;
  vanto::EqDataBlock block{};
  vanto::EqData container(&block, true);
  dmsg_info info;
  ASSERT_EQ(store_msg(&channel, parts, &container, &info), 0);
  EXPECT_EQ(channel.len, (m.total + 3) / 4);
  ASSERT_NE(channel.dp, nullptr);
  EXPECT_EQ(std::memcmp(channel.dp.get(), bytes.data(), bytes.size()), 0);
  EXPECT_EQ(info.ident, 31);
  EXPECT_EQ(container.length(), 20);
  EXPECT_EQ(container.get_int(19), 361);
  EXPECT_EQ(container.data_block()->data_u.d_array.ptr,
            reinterpret_cast<uint8_t*>(channel.dp.get()) + 120);
}

TEST_F(Binding, AVersionTwoFilterOnXTakesXYAndNotY) {
  chan channel;
  std::strcpy(channel.prop, "X");
  channel.vers = 2;
  char filter[80];
  const int length = get_subscr(&channel, filter, sizeof filter);
  auto [pub, sub] = pair("inproc://filter", std::string(filter, static_cast<size_t>(length)));
  Header other;
  other.name = "Y";
  other.ident = 1;
  Header wanted;
  wanted.name = "XY";
  wanted.ident = 2;
  Message m_other = message(header_v2(other), Bytes().put<int32_t>(1));
  Message m_wanted = message(header_v2(wanted), Bytes().put<int32_t>(2));
  // Y goes out before every XY; only XY may arrive.
  MessageParts parts = publish_until_received(
      pub, sub, std::vector<uint8_t>(m_wanted.data(), m_wanted.data() + m_wanted.total),
      std::vector<uint8_t>(m_other.data(), m_other.data() + m_other.total));
  ASSERT_FALSE(parts.empty());
  chan target;
  vanto::EqDataBlock block{};
  vanto::EqData container(&block, true);
  dmsg_info info;
  ASSERT_EQ(store_msg(&target, parts, &container, &info), 0);
  EXPECT_EQ(info.ident, 2);
  EXPECT_EQ(container.get_int(), 2);
}

}  // namespace
