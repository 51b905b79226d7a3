// The event synchronisation buffer: grouping by event id, depth, keep, slot
// limit and the wake-up of the output thread. Run under the sanitizers, these
// cases also show that no path leaks or frees a message twice.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <thread>

#include "console.h"
#include "stream_state.h"

using namespace streamcat;

namespace {

class BufferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    st_.nchans = 2;
    std::strcpy(channels_[0].name, "LOC1");
    std::strcpy(channels_[1].name, "LOC2");
  }

  // One message of channel k for event ident, as a receive thread hands it over.
  bool put(int k, int64_t ident, bool keep_old = false) {
    chan& c = channels_[k];
    c.dp = std::make_unique<uint32_t[]>(4);
    c.dp[0] = static_cast<uint32_t>(ident);
    c.len = 4;
    dmsg_info info;
    info.ident = ident;
    info.sec = 100 + ident;
    return put_new_data(st_, &c, &info, std::make_unique<vanto::EqData>(), keep_old);
  }
  std::vector<std::pair<int64_t, int>> contents() {
    std::lock_guard lock(st_.bmutex);
    std::vector<std::pair<int64_t, int>> list;
    for (auto& entry : st_.buf) list.emplace_back(entry->info.ident, entry->ndata);
    return list;
  }
  using Contents = std::vector<std::pair<int64_t, int>>;

  chan channels_[2];
  StreamState st_;  // declared last, so gone first: its entries point at the channels' names
};

TEST_F(BufferTest, TwoChannelsThreeEventsGiveThreeCompleteEntries) {
  for (int64_t ident : {7, 8, 9}) {
    EXPECT_FALSE(put(0, ident));
    EXPECT_FALSE(put(1, ident));
  }
  EXPECT_EQ(contents(), (Contents{{7, 2}, {8, 2}, {9, 2}}));
  // The buffers now belong to the entries.
  EXPECT_EQ(channels_[0].dp, nullptr);
  EXPECT_EQ(channels_[1].len, 0);
  int size = 0, chans = 0;
  ASSERT_FALSE(number_of_entries(st_, &size, &chans));
  EXPECT_EQ(size, 3);
  EXPECT_EQ(chans, 2);
  std::unique_ptr<data_entry> entry;
  ASSERT_FALSE(get_data(st_, &entry));
  EXPECT_EQ(entry->info.ident, 7);
  EXPECT_EQ(entry->info.sec, 107);
  EXPECT_STREQ(entry->name[0], "LOC1");
  EXPECT_STREQ(entry->name[1], "LOC2");
  EXPECT_EQ(entry->pbuf[1][0], 7u);
  EXPECT_EQ(contents(), (Contents{{8, 2}, {9, 2}}));
}

TEST_F(BufferTest, AFullBufferDropsTheOldestEvent) {
  st_.bufs = 2;
  EXPECT_FALSE(put(0, 1));
  EXPECT_FALSE(put(0, 2));
  EXPECT_FALSE(put(0, 3));
  EXPECT_EQ(contents(), (Contents{{2, 1}, {3, 1}}));
}

TEST_F(BufferTest, AFullBufferWithKeepRefusesTheNewEvent) {
  st_.bufs = 2;
  EXPECT_FALSE(put(0, 1, true));
  EXPECT_FALSE(put(0, 2, true));
  EXPECT_TRUE(put(0, 3, true));
  EXPECT_EQ(contents(), (Contents{{1, 1}, {2, 1}}));
  EXPECT_EQ(channels_[0].dp, nullptr);  // the refused buffer was freed
  // A message of an event already waiting is still taken.
  EXPECT_FALSE(put(1, 2, true));
  EXPECT_EQ(contents(), (Contents{{1, 1}, {2, 2}}));
}

TEST_F(BufferTest, DepthZeroCountsAsOne) {
  st_.bufs = 0;
  EXPECT_FALSE(put(0, 1));
  EXPECT_FALSE(put(0, 2));
  EXPECT_EQ(contents(), (Contents{{2, 1}}));
  EXPECT_TRUE(put(0, 3, true));
}

TEST_F(BufferTest, TheSixtyFifthSlotIsRefused) {
  for (int i = 0; i < kMaxSlots; ++i) ASSERT_FALSE(put(i % 2, 5)) << i;
  EXPECT_TRUE(put(0, 5));
  EXPECT_EQ(contents(), (Contents{{5, kMaxSlots}}));
}

TEST_F(BufferTest, ARepeatedEventIdFillsASecondSlot) {
  EXPECT_FALSE(put(0, 4));
  EXPECT_FALSE(put(0, 4));
  EXPECT_EQ(contents(), (Contents{{4, 2}}));
  std::unique_ptr<data_entry> entry;
  ASSERT_FALSE(get_data(st_, &entry));
  EXPECT_EQ(entry->ndata, st_.nchans);  // complete for two channels
}

TEST_F(BufferTest, EmptyBufferAndMissingArguments) {
  std::unique_ptr<data_entry> entry;
  EXPECT_TRUE(get_data(st_, &entry));
  int size = -1, chans = -1;
  EXPECT_FALSE(number_of_entries(st_, &size, &chans));
  EXPECT_EQ(size, 0);
  EXPECT_EQ(chans, 0);
  EXPECT_TRUE(number_of_entries(st_, nullptr, &chans));
  EXPECT_TRUE(number_of_entries(st_, &size, nullptr));
  dmsg_info info;
  EXPECT_TRUE(put_new_data(st_, &channels_[0], &info, nullptr, false));
  EXPECT_TRUE(put_new_data(st_, &channels_[0], nullptr, std::make_unique<vanto::EqData>(), false));
  EXPECT_EQ(find_eventid_in_buffer(st_, 1), -1);
}

TEST_F(BufferTest, AStoredMessageWakesTheOutputARefusedOneDoesNot) {
  st_.bufs = 1;
  EXPECT_FALSE(put(0, 1, true));
  {
    std::lock_guard lock(st_.read_mmx);
    EXPECT_EQ(st_.read_go, 1);
    st_.read_go = 0;
  }
  EXPECT_TRUE(put(0, 2, true));
  std::lock_guard lock(st_.read_mmx);
  EXPECT_EQ(st_.read_go, 0);
}

TEST_F(BufferTest, WaitForDataReturnsOnceWokenAndClearsTheFlags) {
  st_.read_data_prepared = true;
  std::thread waker([this] { wake_output(st_); });
  wait_for_data(st_);
  waker.join();
  EXPECT_FALSE(st_.read_data_prepared);
  std::lock_guard lock(st_.read_mmx);
  EXPECT_EQ(st_.read_go, 0);
}

TEST_F(BufferTest, WaitForDataEndsOnAStopThatDoesNotSignal) {
  // As the SIGINT handler does: set stop without touching the condition.
  std::thread stopper([this] { st_.stop = 1; });
  wait_for_data(st_);
  stopper.join();
  EXPECT_EQ(st_.stop.load(), 1);
}

TEST(TakeTurn, NegativeAlwaysZeroNeverPositiveCountsDown) {
  int count = -1;
  EXPECT_TRUE(take_turn(count));
  EXPECT_EQ(count, -1);
  count = 1;
  EXPECT_TRUE(take_turn(count));
  EXPECT_FALSE(take_turn(count));
  EXPECT_FALSE(take_turn(count));
  EXPECT_EQ(count, 0);
}

}  // namespace
