// Printing of synchronised events: the levels, the level-4 layouts, images,
// the incomplete-event warning and the output thread's cycle count.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "console.h"
#include "message_builder.h"
#include "output.h"
#include "receive.h"
#include "stream_message.h"
#include "stream_state.h"
#include "sync_buffer.h"
#include "text_diff.h"

using namespace streamcat;
using namespace streamtest;

namespace {

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override { set_console(out_, err_); }
  void TearDown() override { set_console(std::cout, std::cerr); }
  // A container decoded from a hand-built message (kept alive in msgs_).
  vanto::EqData* decoded(int type, int64_t len, const Bytes& part, int64_t ident = 7) {
    Header h;
    h.type = type;
    h.len = len;
    h.ident = ident;
    msgs_.push_back(std::make_unique<Message>(message(header_v2(h), part)));
    containers_.push_back(std::make_unique<vanto::EqData>(&block_, true));
    EXPECT_GE(
        store_data(containers_.back().get(), &info_, msgs_.back()->data(), msgs_.back()->total), 0);
    return containers_.back().get();
  }
  std::string printed(vanto::EqData* data, int level, const char* name = "CH") {
    out_.str("");
    timeval arrival{info_.sec, static_cast<suseconds_t>(info_.usec) + 1500};
    print_data(name, data, &info_, &arrival, level);
    return out_.str();
  }

  vanto::EqDataBlock block_{};
  std::vector<std::unique_ptr<Message>> msgs_;
  std::vector<std::unique_ptr<vanto::EqData>> containers_;
  dmsg_info info_;
  std::ostringstream out_, err_;
  StreamState st_;
};

TEST_F(OutputTest, LevelOneShowsDelayTypeLengthIdentityAndStatus) {
  vanto::EqData* d = decoded(vanto::DATA_INT, 1, Bytes().put<int32_t>(42));
  info_.stat = 3;
  const std::string want = std::string("[CH][ 1.50 ms]  data of type ") + d->type_string() +
                           "  length:1 1700000000:250_7 stat:3\n";
  const std::string got = printed(d, 1);
  EXPECT_SAME_TEXT(want, got);
}

TEST_F(OutputTest, LevelTwoShowsTheValueTextAndTheStatusHalves) {
  vanto::EqData* d = decoded(vanto::DATA_INT, 1, Bytes().put<int32_t>(42));
  info_.stat = (5u << 16) | 0xAu;
  char text[256];
  d->get_string(text, sizeof text);
  const std::string want = std::string("[CH]1700000000:250_7(5:A)    DATA ") + text + "\n";
  EXPECT_EQ(printed(d, 2), want);
}

TEST_F(OutputTest, LevelThreeShowsTheBlockHeader) {
  vanto::EqData* d = decoded(vanto::DATA_INT, 1, Bytes().put<int32_t>(42));
  vanto::EqDataBlock* blk = d->data_block();
  blk->tm_usec = 250;
  blk->mp_lo = 7;
  EXPECT_EQ(printed(d, 3), "[CH]HEADER: tm: 1700000000 error: 0 tmusec:250  mp_lo:7 mp_hi:0\n");
}

TEST_F(OutputTest, OtherLevelsPrintOnlyTheName) {
  vanto::EqData* d = decoded(vanto::DATA_INT, 1, Bytes().put<int32_t>(42));
  EXPECT_EQ(printed(d, 5), "[CH]");
  EXPECT_EQ(printed(d, -1), "[CH]");
  EXPECT_EQ(printed(nullptr, 1), "");
  EXPECT_EQ(printed(d, 5, nullptr), "");
}

TEST_F(OutputTest, LevelFourScalars) {
  vanto::EqData* i = decoded(vanto::DATA_INT, 1, Bytes().put<int32_t>(-42));
  EXPECT_EQ(printed(i, 4),
            std::string("[CH]1700000000:250_7 ") + i->type_string() + " length:1 -42\n");
  vanto::EqData* f = decoded(vanto::DATA_FLOAT, 1, Bytes().put<float>(1.5f));
  EXPECT_EQ(printed(f, 4),
            std::string("[CH]1700000000:250_7 ") + f->type_string() + " length:1  1.50\n");
  vanto::EqData* q = decoded(
      vanto::DATA_IIII, 1, Bytes().put<int32_t>(1).put<int32_t>(2).put<int32_t>(3).put<int32_t>(4));
  EXPECT_EQ(printed(q, 4),
            std::string("[CH]1700000000:250_7 ") + q->type_string() + " I1:1 I2:2 I3:3 I4:4\n");
  vanto::EqData* s = decoded(vanto::DATA_STRING, 1, Bytes().text("hello"));
  EXPECT_EQ(printed(s, 4), std::string("[CH]1700000000:250_7 ") + s->type_string() + " hello\n");
  vanto::EqData* b = decoded(vanto::DATA_BOOL, 1, Bytes().put<int32_t>(1));
  EXPECT_EQ(printed(b, 4), std::string("[CH]1700000000:250_7 ") + b->type_string() +
                               " length:" + std::to_string(b->length()) + "  not implemented\n");
}

// Unsigned values and status words above the signed range print unsigned.
struct UnsignedCase {
  const char* name;
  int type;
  int level;
  Bytes part;
  uint32_t stat;
  std::string shown;  // what the printed text must hold
};

class UnsignedValues : public OutputTest, public ::testing::WithParamInterface<UnsignedCase> {};

TEST_P(UnsignedValues, PrintAsUnsigned) {
  const UnsignedCase& c = GetParam();
  vanto::EqData* d = decoded(c.type, 1, c.part);
  info_.stat = c.stat;
  const std::string got = printed(d, c.level);
  EXPECT_NE(got.find(c.shown), std::string::npos) << got;
}
INSTANTIATE_TEST_SUITE_P(
    Types, UnsignedValues,
    ::testing::Values(UnsignedCase{"AUint", vanto::DATA_A_UINT, 4,
                                   Bytes().put<uint32_t>(4000000000u), 0, "[0000]:4000000000\t"},
                      UnsignedCase{"AUlong", vanto::DATA_A_ULONG, 4,
                                   Bytes().put<uint64_t>(18000000000000000000ull), 0,
                                   "[0000]:18000000000000000000\t"},
                      UnsignedCase{"StatusWord", vanto::DATA_INT, 1, Bytes().put<int32_t>(1),
                                   0xFFFF0001u, " stat:4294901761\n"},
                      UnsignedCase{"SpectrumStatus", vanto::DATA_SPECTRUM, 4,
                                   Bytes()
                                       .put<uint32_t>(0)
                                       .zeros(12)
                                       .put<int64_t>(0)
                                       .put<float>(0)
                                       .put<float>(0)
                                       .put<uint32_t>(0x80000000u)
                                       .zeros(4)
                                       .put<uint32_t>(0)
                                       .zeros(12)
                                       .field("", 80),
                                   0, " status:2147483648 "}),
    [](const ::testing::TestParamInfo<UnsignedCase>& param) { return param.param.name; });

class ArrayLayout : public OutputTest, public ::testing::WithParamInterface<int> {};

TEST_P(ArrayLayout, TenElementsToALineAndOneClosingNewline) {
  const int n = GetParam();
  Bytes part;
  for (int i = 0; i < n; ++i) part.put<int32_t>(i);
  vanto::EqData* d = decoded(vanto::DATA_A_INT, n, part);
  std::string want = std::string("[CH]1700000000:250_7 ") + d->type_string() +
                     " length:" + std::to_string(n) + "\n";
  for (int i = 0; i < n; ++i) {
    char field[32];
    std::snprintf(field, sizeof field, "[%04d]:%d\t", i, i);
    want += field;
    if ((i + 1) % 10 == 0) want += "\n";
  }
  if (n % 10 != 0) want += "\n";
  const std::string got = printed(d, 4);
  EXPECT_SAME_TEXT(want, got);
}
INSTANTIATE_TEST_SUITE_P(Lengths, ArrayLayout, ::testing::Values(0, 3, 10, 11, 20));

TEST_F(OutputTest, ShortArraysShowTheBitPattern) {
  vanto::EqData* d = decoded(vanto::DATA_A_SHORT, 2, Bytes().put<int16_t>(-1).put<int16_t>(16));
  EXPECT_SAME_TEXT(std::string("[CH]1700000000:250_7 ") + d->type_string() +
                       " length:2\n[0000]:-1 (0xFFFF) \t[0001]:16 (0x10) \t\n",
                   printed(d, 4));
}

Bytes image(int width, int height, int aoi_width, int bpp, int ebit, uint32_t flags,
            int pixel_bytes) {
  Bytes b;
  b.put<int32_t>(width)
      .put<int32_t>(height)
      .put<int32_t>(aoi_width)
      .put<int32_t>(height)
      .zeros(8)
      .put<int32_t>(bpp)
      .put<int32_t>(ebit)
      .zeros(4 * 12)
      .put<uint32_t>(flags)
      .zeros(12)
      .put<int32_t>(pixel_bytes);
  b.put<int64_t>(1700000001).put<int64_t>(5).put<int32_t>(0).text("cam");
  for (int i = 0; i < pixel_bytes; ++i) b.put<uint8_t>(static_cast<uint8_t>(i + 1));
  return b;
}

std::string image_head(const char* type, int width, int height, int aoi_width, int bpp, int ebit,
                       uint32_t flags, int len) {
  char text[1024];
  std::snprintf(text, sizeof text,
                "[CH]\n1700000000:250_7 %s cam from image 1700000001:5_0\n"
                "width:%d(xstart:0, aoi_width:%d)\theight:%d(ystart:0 "
                "aoi_height:%d)\tbpp:%d(xbin:0 ybin:0 ebit:%d)"
                "\ts_format:0\ti_format:0\tframe:0\tev#:0\tlen:%d\n"
                "scale_x:0.000000\tscale_y:0.000000\trotation:0.000000\tflags:0x%X\tfspares:(0."
                "000000 0.000000 0.000000) "
                "\tispares:(0 0 0)\n\n",
                type, width, aoi_width, height, height, bpp, ebit, len, flags);
  return text;
}

TEST_F(OutputTest, AnEightBitImageOfThreeByFourPixels) {
  vanto::EqData* d = decoded(vanto::DATA_IMAGE, 12, image(4, 3, 4, 1, 8, 0, 12));
  std::string want = image_head(d->type_string(), 4, 3, 4, 1, 8, 0, 12);
  for (int n = 0; n < 12; ++n) {
    if (n == 10) want += "\n";
    char field[32];
    std::snprintf(field, sizeof field, "[%03dx%03d]:%d\t", n / 4, n % 4, n + 1);
    want += field;
  }
  const std::string got = printed(d, 4);
  EXPECT_SAME_TEXT(want, got);
}

TEST_F(OutputTest, ImageWithoutAoiWidthUsesWidthAndSwapsSixteenBitPixels) {
  vanto::EqData* d = decoded(vanto::DATA_IMAGE, 4, image(2, 1, 0, 2, 16, 0, 4));
  // Pixel bytes 01 02 03 04, swapped: 0x0102 and 0x0304.
  const std::string want =
      image_head(d->type_string(), 2, 1, 0, 2, 16, 0, 4) + "[000x000]:258\t[000x001]:772\t";
  EXPECT_EQ(printed(d, 4), want);
  vanto::EqData* raw = decoded(vanto::DATA_IMAGE, 4, image(2, 1, 0, 2, 12, 1, 4));
  // Flag bit 0: no swap; 12 effective bits mask 0x0201 and 0x0403.
  EXPECT_EQ(printed(raw, 4), image_head(raw->type_string(), 2, 1, 0, 2, 12, 1, 4) +
                                 "[000x000]:513\t[000x001]:1027\t");
}

TEST_F(OutputTest, ImageWithAShortPixelCountOrNoGeometry) {
  vanto::EqData* d = decoded(vanto::DATA_IMAGE, 11, image(4, 3, 4, 1, 8, 0, 11));
  EXPECT_EQ(printed(d, 4), image_head(d->type_string(), 4, 3, 4, 1, 8, 0, 11) +
                               "Invalid image length 11 != 4 x 3 x 1 \n");
  vanto::EqData* flat = decoded(vanto::DATA_IMAGE, 0, image(0, 0, 0, 1, 8, 0, 0));
  EXPECT_EQ(printed(flat, 4),
            image_head(flat->type_string(), 0, 0, 0, 1, 8, 0, 0) + "Invalid geometry 0x0\n");
}

TEST_F(OutputTest, SpectrumValuesTenToALine) {
  const Bytes part = spectrum_part("abc", 1234, 1.5f, 0.5f, 3, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  vanto::EqData* d = decoded(vanto::DATA_SPECTRUM, 1, part);
  std::string want = std::string("[CH]\n1700000000:250_7  ") + d->type_string() +
                     "\nSpectrum parameters: Comment:'abc'\n"
                     "tm:1234 status:3 start:1.500000 inc:0.500000 data entries:11\n";
  for (int i = 0; i < 11; ++i) {
    char field[32];
    std::snprintf(field, sizeof field, "[%05d]:%05.2f\t", i, static_cast<double>(i));
    want += field;
    if (i == 9) want += "\n";
  }
  want += "\n";
  const std::string got = printed(d, 4);
  EXPECT_SAME_TEXT(want, got);
}

TEST_F(OutputTest, MultiDimensionalValues) {
  Bytes mda;
  mda.put<int32_t>(2)
      .put<int32_t>(2)
      .put<int32_t>(2)
      .zeros(16)
      .put<int32_t>(1)
      .put<int32_t>(4)
      .field("m", 80);
  for (int i = 0; i < 4; ++i) mda.put<float>(static_cast<float>(i));
  vanto::EqData* d = decoded(vanto::DATA_MDA_FLOAT, 1, mda);
  char arg[64];
  d->get_string_arg(arg, sizeof arg);
  const std::string want = std::string("[CH]1700000000:250_7 ") + d->type_string() + " '" + arg +
                           "'\ndim[0] values:2\ndim[1] values:2\n"
                           "[0:0]: 0.000000 [0:1]: 1.000000 [1:0]: 2.000000 [1:1]: 3.000000 \n";
  EXPECT_EQ(printed(d, 4), want);
}

// Dimensions that promise more values than the message holds: only the
// values held are printed (a message of a few bytes must not keep the output
// busy with 2^62 made-up values).
TEST_F(OutputTest, MultiDimensionalValuesStopAtTheValuesHeld) {
  Bytes mda;
  mda.put<int32_t>(2)
      .put<int32_t>(2147483647)
      .put<int32_t>(2147483647)
      .zeros(16)
      .put<int32_t>(1)
      .put<int32_t>(3)
      .field("m", 80);
  for (int i = 0; i < 3; ++i) mda.put<float>(static_cast<float>(i));
  vanto::EqData* d = decoded(vanto::DATA_MDA_FLOAT, 1, mda);
  char arg[64];
  d->get_string_arg(arg, sizeof arg);
  const std::string want = std::string("[CH]1700000000:250_7 ") + d->type_string() + " '" + arg +
                           "'\ndim[0] values:2147483647\ndim[1] values:2147483647\n"
                           "[0:0]: 0.000000 [0:1]: 1.000000 [0:2]: 2.000000 \n";
  EXPECT_EQ(printed(d, 4), want);
}

// A decoded message handed on by its receive thread: while output is pending
// a message of a new event is dropped before anything is printed about it.
class HandOver : public OutputTest, public ::testing::WithParamInterface<bool> {};

TEST_P(HandOver, OnlyAKeptMessageShowsItsUstrLine) {
  const bool output_pending = GetParam();
  st_.nchans = 1;
  chan c;
  chan_cb node;
  node.cb = filing_call_back(st_);
  c.root = &node;
  Header h;
  h.type = vanto::DATA_USTR;
  Bytes part;
  part.put<int32_t>(5)
      .put<float>(0)
      .put<float>(0)
      .zeros(4)
      .put<int64_t>(0)
      .put<uint32_t>(3)
      .zeros(12)
      .text("ab");
  const Message m = message(header_v2(h), part);
  c.dp = std::make_unique<uint32_t[]>(m.words.size());
  std::memcpy(c.dp.get(), m.words.data(), m.words.size() * 4);
  auto container = std::make_unique<vanto::EqData>(&block_, true);
  ASSERT_EQ(store_data(container.get(), &info_, reinterpret_cast<uint8_t*>(c.dp.get()), m.total),
            0);
  st_.read_data_prepared = output_pending;
  EXPECT_EQ(hand_over_message(st_, &c, container, info_), !output_pending);
  EXPECT_EQ(out_.str(), output_pending ? "" : "test length: 3 'ab'\n");
  EXPECT_EQ(err_.str(),
            output_pending ? "Got new data while still outputting previous, skipping\n" : "");
  int waiting = 0, slots = 0;
  number_of_entries(st_, &waiting, &slots);
  EXPECT_EQ(waiting, output_pending ? 0 : 1);
}
INSTANTIATE_TEST_SUITE_P(OutputPending, HandOver, ::testing::Bool());

// A message that the buffer refuses (the 65th of an event whose other
// channel is silent) gives the output nothing to print and wakes nobody: it
// must not hold back the messages of the next event, or nothing would be
// printed again while the channel goes on sending.
TEST_F(OutputTest, ARefusedMessageDoesNotKeepOutTheNextEvent) {
  st_.nchans = 2;
  chan c;
  chan_cb node;
  node.cb = filing_call_back(st_);
  c.root = &node;
  const auto hand_over = [&](int64_t ident) {
    c.dp = std::make_unique<uint32_t[]>(1);
    c.len = 1;
    auto container = std::make_unique<vanto::EqData>();
    dmsg_info info;
    info.ident = ident;
    return hand_over_message(st_, &c, container, info);
  };
  for (int i = 0; i < kMaxSlots; ++i) ASSERT_TRUE(hand_over(1)) << i;
  wait_for_data(st_);  // the output finds one incomplete event and waits
  hand_over(1);        // refused: the entry is full
  EXPECT_TRUE(hand_over(2));
  EXPECT_EQ(err_.str(), "");
  int waiting = 0, slots = 0;
  number_of_entries(st_, &waiting, &slots);
  EXPECT_EQ(waiting, 2);  // so the output may print the first one now
}

// The output thread over a prepared buffer.
class OutputThread : public OutputTest {
 protected:
  void put(chan& c, int64_t ident, int32_t value) {
    Header h;
    h.ident = ident;
    Message m = message(header_v2(h), Bytes().put<int32_t>(value));
    c.dp = std::make_unique<uint32_t[]>(m.words.size());
    std::memcpy(c.dp.get(), m.words.data(), m.words.size() * 4);
    auto container = std::make_unique<vanto::EqData>(&block_, true);
    dmsg_info info;
    ASSERT_EQ(store_data(container.get(), &info, reinterpret_cast<uint8_t*>(c.dp.get()), m.total),
              0);
    ASSERT_FALSE(put_new_data(st_, &c, &info, std::move(container), false));
  }
  chan a_, b_;
};

TEST_F(OutputThread, AnIncompleteEventIsPrintedWithAWarningOnceANewerOneWaits) {
  std::strcpy(a_.name, "A");
  std::strcpy(b_.name, "B");
  st_.nchans = 2;
  st_.debug = 5;  // names only
  st_.cycles = 2;
  put(a_, 1, 10);
  put(a_, 2, 20);
  put(b_, 2, 21);
  print_msg(st_);
  EXPECT_EQ(out_.str(), "[A][A][B]");
  EXPECT_EQ(err_.str(), "------------- Not COMPLETE data (1 channels)\n");
}

TEST_F(OutputThread, TheCycleCountLimitsTheEventsAndWaitsDoNotUseItUp) {
  std::strcpy(a_.name, "A");
  st_.nchans = 1;
  st_.debug = 5;
  st_.cycles = 1;
  std::thread output([this] { print_msg(st_); });
  // The thread finds nothing and waits; then one event arrives.
  wake_output(st_);
  wake_output(st_);
  put(a_, 1, 10);
  output.join();  // ends after its single event, without a stop request
  EXPECT_EQ(out_.str(), "[A]");
}

TEST_F(OutputThread, LevelZeroDrawsTheSpinner) {
  std::strcpy(a_.name, "A");
  st_.nchans = 1;
  st_.debug = 0;
  st_.cycles = 3;
  for (int i = 1; i <= 3; ++i) put(a_, i, i);
  print_msg(st_);
  EXPECT_EQ(out_.str(), ".-\r./\r.|\r");
}

TEST_F(OutputThread, OutputThatCannotBeWrittenEndsTheRun) {
  std::strcpy(a_.name, "A");
  st_.nchans = 1;
  st_.debug = 1;
  st_.cycles = -1;  // no limit: only the failed output can end the run
  out_.setstate(std::ios::badbit);
  put(a_, 1, 10);
  std::thread output([this] { print_msg(st_); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!st_.stop && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const bool ended = st_.stop;
  stop_and_wake(st_);
  output.join();
  EXPECT_TRUE(ended);
}

TEST_F(OutputThread, AStopRequestEndsAWaitingThread) {
  st_.nchans = 1;
  st_.cycles = -1;
  std::thread output([this] { print_msg(st_); });
  st_.stop = 1;  // no signal, as from the SIGINT handler
  output.join();
  EXPECT_EQ(out_.str(), "");
}

}  // namespace
