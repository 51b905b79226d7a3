// Decoding of hand-built stream messages through store_data: streamcat's
// choices (the types it decodes, the single USTR, its "dmsg:" lines) over the
// library's in-place view, and messages the library encodes read in place.
#include <gtest/gtest.h>

#include <sstream>

#include <vanto/codec.h>
#include <vanto/eqdata.h>

#include "console.h"
#include "message_builder.h"
#include "stream_message.h"

using namespace streamcat;
using namespace streamtest;

namespace {

class DecodeTest : public ::testing::Test {
 protected:
  void SetUp() override { set_console(out_, err_); }
  void TearDown() override { set_console(std::cout, std::cerr); }

  // Decodes header + part into container_; returns store_data's result.
  int decode(const Bytes& header, const Bytes& part) {
    msg_ = message(header, part);
    container_ = std::make_unique<vanto::EqData>(&block_, true);
    return store_data(container_.get(), &info_, msg_.data(), msg_.total);
  }
  int decode_v2(int type, int64_t len, const Bytes& part) {
    Header h;
    h.type = type;
    h.len = len;
    return decode(header_v2(h), part);
  }
  std::string text() const {
    char buf[4096];
    return container_->get_string(buf, sizeof buf);
  }

  vanto::EqDataBlock block_{};
  std::unique_ptr<vanto::EqData> container_;
  dmsg_info info_;
  Message msg_;
  std::ostringstream out_, err_;
};

TEST_F(DecodeTest, LayoutTwoHeaderGivesIdentityTimeErrorAndType) {
  Header h;
  h.ident = 123456789012LL;
  h.sec = 0x123456789LL;
  h.usec = 999999;
  h.stat = (101u << 16) | 0x42u;
  h.res0 = 11;
  h.res1 = 12;
  ASSERT_EQ(decode(header_v2(h), Bytes().put<int32_t>(5)), 0);
  EXPECT_EQ(info_.ident, 123456789012LL);
  EXPECT_EQ(info_.sec, 0x123456789LL);
  EXPECT_EQ(info_.usec, 999999);
  EXPECT_EQ(info_.stat, (101u << 16) | 0x42u);
  EXPECT_EQ(dmsg_error(info_), 101);
  EXPECT_EQ(info_.res0, 11u);
  EXPECT_EQ(info_.res1, 12u);
  EXPECT_EQ(container_->data_block()->tm, 0x123456789LL);
  EXPECT_EQ(container_->error(), 101);
  EXPECT_EQ(container_->type(), vanto::DATA_INT);
  EXPECT_EQ(container_->get_int(), 5);
}

TEST_F(DecodeTest, LayoutOneWithBit15JoinsTheSecondsAndClearsTheFlag) {
  Header h;
  h.size = static_cast<int16_t>(0x8000 | 40);
  h.sec = 0x89ABCDEF;
  h.sechi = 0x12;
  h.ident = 99;
  ASSERT_EQ(decode(header_v1(h), Bytes().put<float>(2.5f)), 0) << err_.str();
  EXPECT_EQ(info_.sec, static_cast<int64_t>((0x12ULL << 32) | 0x89ABCDEFULL));
  EXPECT_EQ(info_.ident, 99);
  EXPECT_EQ(info_.res0, 0u);  // layout 1 has no reserved words
  uint16_t size_field = 0;
  std::memcpy(&size_field, msg_.data() + 2, 2);
  EXPECT_EQ(size_field, 40);
  EXPECT_EQ(container_->type(), vanto::DATA_INT);
  EXPECT_EQ(container_->get_int(), 0x40200000);  // the float's bits as an int
}

TEST_F(DecodeTest, LayoutOneWithoutBit15TakesTheLowSecondsAlone) {
  Header h;
  h.size = 40;
  h.type = vanto::DATA_INT;
  h.sec = 0x89ABCDEF;
  h.sechi = 0x12;
  ASSERT_EQ(decode(header_v1(h), Bytes().put<int32_t>(-3)), 0);
  EXPECT_EQ(info_.sec, 0x89ABCDEFLL);
  EXPECT_EQ(container_->get_int(), -3);
}

class OtherVersions : public DecodeTest, public ::testing::WithParamInterface<int16_t> {};

TEST_P(OtherVersions, ReadWithLayoutTwoOffsets) {
  Header h;
  h.vers = GetParam();
  h.type = vanto::DATA_DOUBLE;
  h.ident = 4242;
  ASSERT_EQ(decode(header_v2(h), Bytes().put<double>(6.75)), 0);
  EXPECT_EQ(info_.ident, 4242);
  EXPECT_DOUBLE_EQ(container_->get_double(), 6.75);
}
INSTANTIATE_TEST_SUITE_P(Vers, OtherVersions, ::testing::Values(0, 2, 3));

TEST_F(DecodeTest, ScalarTypes) {
  ASSERT_EQ(decode_v2(vanto::DATA_FLOAT, 1, Bytes().put<float>(1.5f)), 0);
  EXPECT_FLOAT_EQ(container_->get_float(), 1.5f);
  ASSERT_EQ(decode_v2(vanto::DATA_UINT, 1, Bytes().put<uint32_t>(4000000000u)), 0);
  EXPECT_EQ(container_->get_uint(), 4000000000u);
  ASSERT_EQ(decode_v2(vanto::DATA_SHORT, 1, Bytes().put<int16_t>(-7)), 0);
  EXPECT_EQ(container_->get_short(), -7);
  ASSERT_EQ(decode_v2(vanto::DATA_USHORT, 1, Bytes().put<uint16_t>(65000)), 0);
  EXPECT_EQ(container_->get_ushort(), 65000);
  ASSERT_EQ(decode_v2(vanto::DATA_LONG, 1, Bytes().put<int64_t>(-5000000000LL)), 0);
  EXPECT_EQ(container_->get_long(), -5000000000LL);
  ASSERT_EQ(decode_v2(vanto::DATA_ULONG, 1, Bytes().put<uint64_t>(1ULL << 63)), 0);
  EXPECT_EQ(container_->get_ulong(), 1ULL << 63);
  ASSERT_EQ(decode_v2(vanto::DATA_XY, 1, Bytes().put<float>(1.25f).put<float>(-2.5f)), 0);
  float x = 0, y = 0;
  ASSERT_TRUE(container_->get_xy(&x, &y));
  EXPECT_FLOAT_EQ(x, 1.25f);
  EXPECT_FLOAT_EQ(y, -2.5f);
}

TEST_F(DecodeTest, RecordTypes) {
  ASSERT_EQ(decode_v2(vanto::DATA_IIII, 1,
                      Bytes().put<int32_t>(1).put<int32_t>(2).put<int32_t>(3).put<int32_t>(4)),
            0);
  EXPECT_EQ(container_->get_int(3), 4);
  ASSERT_EQ(decode_v2(vanto::DATA_IFFF, 1,
                      Bytes().put<int32_t>(9).put<float>(0.5f).put<float>(1.5f).put<float>(2.5f)),
            0);
  EXPECT_EQ(container_->get_int(0), 9);
  EXPECT_FLOAT_EQ(container_->get_float(3), 2.5f);
  ASSERT_EQ(decode_v2(vanto::DATA_TTII, 1,
                      Bytes().put<int64_t>(100).put<int64_t>(200).put<int32_t>(3).put<int32_t>(4)),
            0);
  int64_t t1 = 0, t2 = 0;
  int i1 = 0, i2 = 0;
  ASSERT_TRUE(container_->get_ttii(&t1, &t2, &i1, &i2));
  EXPECT_EQ(t1, 100);
  EXPECT_EQ(t2, 200);
  EXPECT_EQ(i2, 4);
  Bytes xyzs;
  xyzs.put<int32_t>(3)
      .put<float>(1)
      .put<float>(2)
      .put<float>(3)
      .put<uint32_t>(5)
      .zeros(4)
      .zeros(8)
      .text("HALL");
  ASSERT_EQ(decode_v2(vanto::DATA_XYZS, 1, xyzs), 0);
  vanto::XYZS point{};
  ASSERT_TRUE(container_->get_xyzs(&point));
  EXPECT_EQ(point.status, 3);
  EXPECT_FLOAT_EQ(point.z, 3);
  EXPECT_STREQ(point.loc, "HALL");
}

TEST_F(DecodeTest, TextsPointIntoTheMessage) {
  ASSERT_EQ(decode_v2(vanto::DATA_STRING, 1, Bytes().text("hello world")), 0);
  EXPECT_EQ(container_->get_string(), "hello world");
  EXPECT_EQ(container_->data_block()->data_u.d_char.length, 11u);
  EXPECT_EQ(container_->data_block()->data_u.d_char.ptr, msg_.data() + 120);
  ASSERT_EQ(decode_v2(vanto::DATA_TEXT, 1, Bytes().text("free text")), 0);
  EXPECT_EQ(container_->data_block()->data_u.d_char.length, 9u);
}

Bytes ustr_record(int32_t i1, float f1, float f2, int64_t tm, uint32_t length) {
  Bytes b;
  b.put<int32_t>(i1)
      .put<float>(f1)
      .put<float>(f2)
      .zeros(4)
      .put<int64_t>(tm)
      .put<uint32_t>(length)
      .zeros(4)
      .zeros(8);
  return b;
}

TEST_F(DecodeTest, SingleUstrSetsItsStringPointerAndShowsIt) {
  Bytes part = ustr_record(5, 1.5f, 2.5f, 77, 6);
  part.text("abcde");
  ASSERT_EQ(decode_v2(vanto::DATA_USTR, 1, part), 0);
  EXPECT_EQ(out_.str(), "");  // shown only for a message that is kept
  show_ustr_length(*container_);
  EXPECT_EQ(out_.str(), "test length: 6 'abcde'\n");
  const vanto::USTR u = container_->get_ustr(0);
  EXPECT_EQ(u.i1_data, 5);
  EXPECT_EQ(u.tm, 77);
  EXPECT_STREQ(u.str_data, "abcde");
  char* stored = nullptr;
  std::memcpy(&stored, msg_.data() + 120 + 32, sizeof stored);
  EXPECT_EQ(stored, reinterpret_cast<char*>(msg_.data() + 120 + 40));
}

TEST_F(DecodeTest, UstrArrayStringsFollowTheRecordsInOrder) {
  Bytes part;
  part.append(ustr_record(1, 0, 0, 0, 4).bytes())
      .append(ustr_record(2, 0, 0, 0, 1).bytes())
      .append(ustr_record(3, 0, 0, 0, 6).bytes());
  part.text("abc").text("").text("fghij");
  ASSERT_EQ(decode_v2(vanto::DATA_A_USTR, 3, part), 0);
  const uint8_t* data = msg_.data() + 120;
  const size_t expected[3] = {120, 124, 125};
  for (int k = 0; k < 3; ++k) {
    char* stored = nullptr;
    std::memcpy(&stored, data + k * 40 + 32, sizeof stored);
    EXPECT_EQ(stored, reinterpret_cast<const char*>(data + expected[k])) << "record " << k;
  }
  EXPECT_EQ(container_->array_length(), 3);
  EXPECT_STREQ(container_->get_ustr(2).str_data, "fghij");
  EXPECT_EQ(container_->get_ustr(1).i1_data, 2);
}

TEST_F(DecodeTest, SpectrumPointsAtCommentAndValues) {
  const Bytes part = spectrum_part("abc", 1234, 1.5f, 0.5f, 3, {10, 20, 30});
  ASSERT_EQ(decode_v2(vanto::DATA_SPECTRUM, 1, part), 0) << err_.str();
  const std::optional<vanto::SpectrumView> s = container_->spectrum();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->comment.data(), reinterpret_cast<char*>(msg_.data() + 120 + 56));
  EXPECT_EQ(s->value_bytes, msg_.data() + 120 + 136);
  EXPECT_EQ(s->time, 1234);
  EXPECT_FLOAT_EQ(s->start, 1.5f);
  EXPECT_EQ(s->status, 3u);
  EXPECT_EQ(s->count, 3);
  EXPECT_FLOAT_EQ(s->value(2), 30);
}

TEST_F(DecodeTest, GroupedSpectrum) {
  Bytes part;
  part.put<uint32_t>(2)
      .zeros(4)
      .zeros(8)
      .put<uint32_t>(17)
      .zeros(4)
      .put<int64_t>(55)
      .put<float>(0)
      .put<float>(1)
      .put<uint32_t>(0)
      .put<int32_t>(2)
      .put<int32_t>(2)
      .put<float>(0.25f)
      .put<uint32_t>(0)
      .zeros(24 * 4)
      .zeros(8 * 4)
      .zeros(4)
      .put<uint32_t>(4)
      .zeros(4)
      .zeros(8)
      .field("g", 80)
      .put<float>(1)
      .put<float>(2)
      .put<float>(3)
      .put<float>(4);
  ASSERT_EQ(part.size(), 288u + 16u);
  ASSERT_EQ(decode_v2(vanto::DATA_GSPECTRUM, 1, part), 0) << err_.str();
  int groups = 0, size = 0;
  float inc = 0;
  ASSERT_TRUE(container_->get_spec_groups(&groups, &size, &inc));
  EXPECT_EQ(groups, 2);
  EXPECT_FLOAT_EQ(inc, 0.25f);
  EXPECT_EQ(container_->data_block()->data_u.d_gspectrum.values,
            reinterpret_cast<float*>(msg_.data() + 120 + 288));
}

Bytes image_part(const std::string& comment, size_t pixel_bytes, int width, int height) {
  Bytes b;
  b.put<int32_t>(width)
      .put<int32_t>(height)
      .put<int32_t>(width)
      .put<int32_t>(height)
      .zeros(8)
      .put<int32_t>(1)
      .put<int32_t>(8)
      .zeros(4 * 16)
      .put<int32_t>(static_cast<int32_t>(pixel_bytes));
  b.put<int64_t>(1700000001).put<int64_t>(5).put<int32_t>(0).text(comment);
  for (size_t i = 0; i < pixel_bytes; ++i) b.put<uint8_t>(static_cast<uint8_t>(i + 1));
  return b;
}

TEST_F(DecodeTest, ImagePixelsRunFromBehindTheCommentToTheEnd) {
  // 1000 bytes in all: 120 header, 121 + 5 of image header and comment.
  ASSERT_EQ(decode_v2(vanto::DATA_IMAGE, 754, image_part("hello", 754, 754, 1)), 0);
  ASSERT_EQ(msg_.total, 1000);
  uint8_t* pixels = nullptr;
  int count = 0;
  ASSERT_TRUE(container_->get_image(&pixels, &count, nullptr));
  EXPECT_EQ(count, 754);
  EXPECT_EQ(pixels, msg_.data() + 120 + 126);
  vanto::IMH hdr{};
  ASSERT_TRUE(container_->get_image_header(&hdr));
  EXPECT_EQ(hdr.width, 754);
  int64_t seconds = 0, micros = 0;
  int32_t status = -1;
  ASSERT_TRUE(container_->get_image_timestamp_and_status(&seconds, &micros, &status));
  EXPECT_EQ(seconds, 1700000001);
  EXPECT_EQ(micros, 5);
  char arg[64];
  EXPECT_STREQ(container_->get_string_arg(arg, sizeof arg), "hello");
}

TEST_F(DecodeTest, ByteArrayAndMultiDimensionalArrays) {
  Bytes bytes;
  bytes.put<int32_t>(3).put<int32_t>(2).put<int32_t>(7).put<int32_t>(8).put<int32_t>(9);
  for (int i = 0; i < 6; ++i) bytes.put<uint8_t>(static_cast<uint8_t>(10 + i));
  ASSERT_EQ(decode_v2(vanto::DATA_A_BYTE, 6, bytes), 0);
  int x = 0, y = 0, a = 0, b = 0, c = 0;
  uint8_t* data = nullptr;
  ASSERT_TRUE(container_->get_byte(&x, &y, &a, &b, &c, &data));
  EXPECT_EQ(x * y, 6);
  EXPECT_EQ(c, 9);
  EXPECT_EQ(data[5], 15);

  Bytes mda;
  mda.put<int32_t>(2)
      .put<int32_t>(3)
      .put<int32_t>(2)
      .zeros(16)
      .put<int32_t>(3)
      .put<int32_t>(6)
      .field("mda", 80);
  for (int i = 0; i < 6; ++i) mda.put<float>(static_cast<float>(i) * 0.5f);
  ASSERT_EQ(decode_v2(vanto::DATA_MDA_FLOAT, 1, mda), 0) << err_.str();
  const vanto::Mda m = container_->get_mda();
  EXPECT_EQ(m.dimn, 2);
  EXPECT_EQ(m.dims[0], 3);
  ASSERT_EQ(m.values.size(), 6u);
  EXPECT_DOUBLE_EQ(m.values[5], 2.5);

  Bytes mdad;
  mdad.put<int32_t>(1)
      .put<int32_t>(2)
      .zeros(20)
      .put<int32_t>(0)
      .put<int32_t>(2)
      .field("", 80)
      .put<double>(1e10)
      .put<double>(-2);
  ASSERT_EQ(decode_v2(vanto::DATA_MDA_DOUBLE, 1, mdad), 0);
  const vanto::Mda md = container_->get_mdad();
  ASSERT_EQ(md.values.size(), 2u);
  EXPECT_DOUBLE_EQ(md.values[0], 1e10);
}

TEST_F(DecodeTest, FixedSizeArrays) {
  Bytes ints;
  for (int i = 0; i < 5; ++i) ints.put<int32_t>(i * 11);
  ASSERT_EQ(decode_v2(vanto::DATA_A_INT, 5, ints), 0);
  EXPECT_EQ(container_->length(), 5);
  EXPECT_EQ(container_->get_int(4), 44);
  Bytes doubles;
  doubles.put<double>(0.5).put<double>(1.5);
  ASSERT_EQ(decode_v2(vanto::DATA_A_DOUBLE, 2, doubles), 0);
  EXPECT_DOUBLE_EQ(container_->get_double(1), 1.5);
  Bytes shorts;
  shorts.put<int16_t>(-1).put<int16_t>(2).put<int16_t>(3);
  ASSERT_EQ(decode_v2(vanto::DATA_A_SHORT, 3, shorts), 0);
  EXPECT_EQ(container_->get_short(0), -1);
  Bytes longs;
  longs.put<int64_t>(1LL << 40);
  ASSERT_EQ(decode_v2(vanto::DATA_A_LONG, 1, longs), 0);
  EXPECT_EQ(container_->get_long(0), 1LL << 40);
  Bytes xys;
  xys.put<float>(1).put<float>(2).put<float>(3).put<float>(4);
  ASSERT_EQ(decode_v2(vanto::DATA_A_XY, 2, xys), 0);
  float x = 0, y = 0;
  ASSERT_TRUE(container_->get_xy(&x, &y, 1));
  EXPECT_FLOAT_EQ(y, 4);
  ASSERT_EQ(decode_v2(vanto::DATA_A_FLOAT, 1, Bytes().put<float>(9.5f)), 0);
  ASSERT_EQ(decode_v2(vanto::DATA_A_USHORT, 1, Bytes().put<uint16_t>(9)), 0);
  ASSERT_EQ(decode_v2(vanto::DATA_A_UINT, 1, Bytes().put<uint32_t>(9)), 0);
  ASSERT_EQ(decode_v2(vanto::DATA_A_ULONG, 1, Bytes().put<uint64_t>(9)), 0);
  EXPECT_EQ(container_->get_ulong(0), 9u);
  ASSERT_EQ(
      decode_v2(vanto::DATA_STRUCTURE, 3, Bytes().put<uint8_t>(1).put<uint8_t>(2).put<uint8_t>(3)),
      0);
  EXPECT_EQ(container_->get_structure(vanto::Owning::no).size(), 3u);
}

TEST_F(DecodeTest, TypesOutsideTheTableKeepTimeErrorAndTypeOnly) {
  for (int type : {vanto::DATA_BOOL, vanto::DATA_XML, vanto::DATA_A_TDS, vanto::DATA_A_BOOL,
                   vanto::DATA_KEYVAL, vanto::DATA_A_TS_INT}) {
    Header h;
    h.type = type;
    h.stat = 7u << 16;
    EXPECT_EQ(decode(header_v2(h), Bytes().put<int32_t>(1)), 1) << type;
    EXPECT_EQ(container_->type(), type);
    EXPECT_EQ(container_->error(), 7);
    EXPECT_EQ(container_->data_block()->tm, h.sec);
  }
  EXPECT_EQ(err_.str(), "");
}

struct Malformed {
  const char* what;
  int type;
  int64_t len;
  Bytes part;
};

class MalformedMessages : public DecodeTest, public ::testing::WithParamInterface<int> {};

std::vector<Malformed> malformed_cases() {
  std::vector<Malformed> cases;
  cases.push_back({"int without bytes", vanto::DATA_INT, 1, Bytes().put<int16_t>(1)});
  cases.push_back({"string without NUL", vanto::DATA_STRING, 1, Bytes().text("abc", false)});
  cases.push_back({"array count beyond", vanto::DATA_A_INT, 1000000, Bytes().put<int32_t>(1)});
  cases.push_back(
      {"huge array count", vanto::DATA_A_DOUBLE, 0xFFFFFFFFLL, Bytes().put<int32_t>(1)});
  cases.push_back(
      {"ustr string beyond", vanto::DATA_USTR, 1, ustr_record(1, 0, 0, 0, 50).text("x")});
  cases.push_back(
      {"ustr records beyond", vanto::DATA_A_USTR, 3, ustr_record(1, 0, 0, 0, 1).text("")});
  cases.push_back({"image comment without NUL", vanto::DATA_IMAGE, 0,
                   Bytes().zeros(120).text("no end", false)});
  cases.push_back({"image header short", vanto::DATA_IMAGE, 0, Bytes().zeros(100)});
  cases.push_back({"spectrum values beyond", vanto::DATA_SPECTRUM, 1,
                   Bytes().put<uint32_t>(0).zeros(36).put<uint32_t>(1000).zeros(4 + 8 + 80)});
  cases.push_back({"spectrum comment too long", vanto::DATA_SPECTRUM, 1,
                   Bytes().put<uint32_t>(500).zeros(36).put<uint32_t>(0).zeros(4 + 8 + 80)});
  cases.push_back({"byte array beyond", vanto::DATA_A_BYTE, 1,
                   Bytes().put<int32_t>(100).put<int32_t>(100).zeros(12).put<uint8_t>(1)});
  cases.push_back(
      {"mda values beyond", vanto::DATA_MDA_DOUBLE, 1,
       Bytes().put<int32_t>(1).put<int32_t>(50).zeros(20).put<int32_t>(0).put<int32_t>(50).zeros(
           80)});
  cases.push_back({"xyzs location beyond", vanto::DATA_XYZS, 1,
                   Bytes().zeros(16).put<uint32_t>(40).zeros(12).text("a")});
  cases.push_back(
      {"ustr with two records", vanto::DATA_USTR, 2,
       ustr_record(1, 0, 0, 0, 1).append(ustr_record(2, 0, 0, 0, 1).bytes()).text("").text("")});
  cases.push_back({"mda with more dimensions than its six", vanto::DATA_MDA_FLOAT, 1,
                   Bytes().put<int32_t>(7).zeros(24).put<int32_t>(0).put<int32_t>(0).zeros(80)});
  return cases;
}

TEST_P(MalformedMessages, AreDroppedWithADmsgLine) {
  const Malformed c = malformed_cases()[static_cast<size_t>(GetParam())];
  EXPECT_EQ(decode_v2(c.type, c.len, c.part), -1) << c.what;
  EXPECT_EQ(err_.str().rfind("dmsg: ", 0), 0u) << c.what << ": " << err_.str();
}
INSTANTIATE_TEST_SUITE_P(Cases, MalformedMessages,
                         ::testing::Range(0, static_cast<int>(malformed_cases().size())));

TEST_F(DecodeTest, HeadersThatDoNotFitAreDropped) {
  msg_ = message(Bytes().put<int16_t>(2).put<int16_t>(120), Bytes());
  EXPECT_EQ(store_data(container_.get(), &info_, msg_.data(), msg_.total), -1);
  Header h;
  h.size = 4000;  // header length beyond the message
  EXPECT_EQ(decode(header_v2(h), Bytes().put<int32_t>(1)), -1);
  h.size = 40;  // shorter than the layout's own fields
  EXPECT_EQ(decode(header_v2(h), Bytes().put<int32_t>(1)), -1);
  Header v1;
  v1.size = 10;
  EXPECT_EQ(decode(header_v1(v1), Bytes().put<int32_t>(1)), -1);
  EXPECT_EQ(decode(Bytes().put<int8_t>(1), Bytes()), -1);
}

// Every layout streamcat decodes, as the library's encoder writes it, reads
// in place to the same text, type and identity.
class EncodedValues : public DecodeTest, public ::testing::WithParamInterface<int> {};

std::vector<vanto::EqData> codec_values() {
  std::vector<vanto::EqData> values;
  auto add = [&values](auto fill) {
    vanto::EqData d;
    fill(d);
    values.push_back(std::move(d));
  };
  add([](vanto::EqData& d) { d.set_int(42); });
  add([](vanto::EqData& d) { d.set_float(1.5f); });
  add([](vanto::EqData& d) { d.set_double(2.25); });
  add([](vanto::EqData& d) { d.set_string("hello world"); });
  add([](vanto::EqData& d) { d.set_iiii(1, 2, 3, 4); });
  add([](vanto::EqData& d) { d.set_ifff(1, 2.5f, 3.5f, 4.5f); });
  add([](vanto::EqData& d) { d.set_xy(1.5f, 2.5f); });
  add([](vanto::EqData& d) { d.set_ttii(10, 20, 3, 4); });
  add([](vanto::EqData& d) { d.set_long(-5000000000LL); });
  add([](vanto::EqData& d) { d.set_short(-4); });
  add([](vanto::EqData& d) { d.set_ustr(3, 1.5f, 2.5f, 99, "ustr text"); });
  add([](vanto::EqData& d) {
    d.set_type(vanto::DATA_A_USTR);
    d.set_ustr(1, 0, 0, 0, "one", 0);
    d.set_ustr(2, 0, 0, 0, "", 1);
    d.set_ustr(3, 0, 0, 0, "three", 2);
  });
  add([](vanto::EqData& d) { d.set_xyzs(1, 2, 3, 4, "HALL"); });
  add([](vanto::EqData& d) {
    const int32_t v[] = {1, 2, 3, 4};
    d.set_int_array(v, 4);
  });
  add([](vanto::EqData& d) {
    const float v[] = {0.5f, 1.5f};
    d.set_float_array(v, 2);
  });
  add([](vanto::EqData& d) {
    const double v[] = {0.5, 1.5, 2.5};
    d.set_double_array(v, 3);
  });
  add([](vanto::EqData& d) {
    const float v[] = {10, 20, 30};
    d.set_spectrum("comment", 1234, 1.5f, 0.5f, 0, v, 3);
  });
  add([](vanto::EqData& d) {
    const float v[] = {1, 2, 3, 4};
    d.set_gspectrum("g", 5, 0, 1, 0, 2, 2, 0.5f, v, 4);
  });
  add([](vanto::EqData& d) {
    vanto::IMH h{};
    h.width = h.height = h.aoi_width = h.aoi_height = 2;
    h.bpp = 1;
    h.ebitpp = 8;
    h.length = 4;
    const uint8_t pixels[] = {1, 2, 3, 4};
    d.set_image(h, 1700000000, 10, 0, "cam", pixels, 4);
  });
  add([](vanto::EqData& d) {
    const uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
    d.set_byte_array(bytes, 3, 2, 1, 1, 0);
  });
  add([](vanto::EqData& d) {
    const int dims[] = {2, 2};
    const double v[] = {1, 2, 3, 4};
    d.set_mda(2, dims, "m", v, 4, false);
  });
  add([](vanto::EqData& d) {
    const int dims[] = {3};
    const double v[] = {1, 2, 3};
    d.set_mda(1, dims, "", v, 3, true);
  });
  return values;
}

TEST_P(EncodedValues, DecodeInPlaceInBothLayouts) {
  std::vector<vanto::EqData> values = codec_values();
  const vanto::EqData& value = values[static_cast<size_t>(GetParam())];
  char want[4096], got[4096], want_arg[4096], got_arg[4096];
  value.get_string(want, sizeof want);
  value.get_string_arg(want_arg, sizeof want_arg);
  for (int layout : {1, 2}) {
    vanto::StreamInfo info;
    info.name = "PROP";
    info.ident = 77;
    info.sec = layout == 1 ? (5LL << 32) + 3 : 1700000000;
    info.usec = 12;
    const std::vector<uint8_t> bytes = vanto::Codec::encode_message(value, info, layout);
    Message m;
    m.total = static_cast<int>(bytes.size());
    m.words.assign(bytes.size() / 4 + 2, 0);
    std::memcpy(m.data(), bytes.data(), bytes.size());
    auto container = std::make_unique<vanto::EqData>(&block_, true);
    ASSERT_EQ(store_data(container.get(), &info_, m.data(), m.total), 0)
        << "type " << value.type() << " layout " << layout << ": " << err_.str();
    EXPECT_EQ(container->type(), value.type());
    EXPECT_EQ(info_.ident, 77);
    EXPECT_EQ(info_.sec, info.sec);
    EXPECT_EQ(container->length(), value.length()) << "type " << value.type();
    EXPECT_STREQ(container->get_string(got, sizeof got), want) << "type " << value.type();
    EXPECT_STREQ(container->get_string_arg(got_arg, sizeof got_arg), want_arg);
  }
}
INSTANTIATE_TEST_SUITE_P(Values, EncodedValues,
                         ::testing::Range(0, static_cast<int>(codec_values().size())));

TEST(SubscriptionFilter, VersionOneTakesEverythingOtherVersionsNameTheProperty) {
  chan channel;
  std::strcpy(channel.prop, "COUNTER");
  char filter[80];
  channel.vers = 1;
  EXPECT_EQ(get_subscr(&channel, filter, sizeof filter), 0);
  channel.vers = 2;
  ASSERT_EQ(get_subscr(&channel, filter, sizeof filter), 11);
  EXPECT_EQ(std::string(filter, 11), std::string("\x02\x00\x78\x00", 4) + "COUNTER");
  EXPECT_EQ(get_subscr(&channel, filter, 6), 6);  // never beyond the buffer
}

}  // namespace
