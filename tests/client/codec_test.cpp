// The value codec: round trips of every type through both message layouts,
// hand-built messages decoded as the stream format lays them out, and
// malformed messages refused without reading past their end.
#include <gtest/gtest.h>

#include <cstring>

#include <vanto/codec.h>
#include <vanto/errors.h>

#include "samples.h"

namespace {

using namespace vanto;

std::vector<uint8_t> part_of(const EqData& d) {
  uint32_t count = 0;
  return Codec::encode_data(d, &count);
}

template <typename T>
void put(std::vector<uint8_t>& buf, size_t at, T v) {
  if (buf.size() < at + sizeof v) buf.resize(at + sizeof v);
  std::memcpy(buf.data() + at, &v, sizeof v);
}

// A layout-2 header of 120 bytes for type and count.
std::vector<uint8_t> header_v2(int16_t vers, int32_t type, int64_t count) {
  std::vector<uint8_t> h(120, 0);
  put<int16_t>(h, 0, vers);
  put<int16_t>(h, 2, 120);
  std::memcpy(h.data() + 4, "PROP", 4);
  put<int32_t>(h, 68, type);
  put<int64_t>(h, 72, count);
  put<int64_t>(h, 80, 4711);           // ident
  put<int64_t>(h, 88, 1700000000);     // sec
  put<uint32_t>(h, 96, 123456);        // usec
  put<uint32_t>(h, 100, 0x0000'0002);  // stat: no error, status 2
  put<uint32_t>(h, 108, 11);           // res0
  put<uint32_t>(h, 112, 12);           // res1
  return h;
}

std::vector<uint8_t> join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class CodecRoundTrip : public ::testing::TestWithParam<vanto_test::Sample> {};

TEST_P(CodecRoundTrip, DecodeOfEncodeGivesTheValueBackInBothLayouts) {
  EqData original;
  GetParam().make(original);
  ASSERT_EQ(original.error(), 0) << original.get_string();
  original.set_time(1700000000, 42);
  original.set_event_id(99);
  for (int layout : {1, 2}) {
    StreamInfo info;
    info.name = "PROPERTY";
    info.ident = 99;
    info.sec = 1700000000;
    info.usec = 42;
    const std::vector<uint8_t> msg = Codec::encode_message(original, info, layout);
    EqData decoded;
    StreamInfo got;
    ASSERT_EQ(Codec::decode_message(msg.data(), msg.size(), decoded, got), 0)
        << "layout " << layout << ": " << decoded.get_string();
    EXPECT_EQ(decoded.type(), original.type());
    EXPECT_EQ(decoded.get_string(), original.get_string());
    EXPECT_EQ(part_of(decoded), part_of(original)) << "layout " << layout;
    EXPECT_EQ(decoded.length(), original.length());
    EXPECT_EQ(decoded.get_time(), 1700000000);
    EXPECT_EQ(decoded.get_time_usec(), 42u);
    EXPECT_EQ(decoded.get_event_id(), 99);
    EXPECT_EQ(got.name, layout == 2 ? "PROPERTY" : "");
  }
}

TEST_P(CodecRoundTrip, CopyFromIsDeepAndEqual) {
  auto copy = std::make_unique<EqData>();
  {
    EqData original;
    GetParam().make(original);
    copy->copy_from(&original);
    EXPECT_EQ(part_of(*copy), part_of(original));
    original.init();  // the copy must not share the original's storage
  }
  EqData again;
  GetParam().make(again);
  EXPECT_EQ(part_of(*copy), part_of(again));
  EXPECT_EQ(copy->get_string(), again.get_string());
}

INSTANTIATE_TEST_SUITE_P(EveryType, CodecRoundTrip, ::testing::ValuesIn(vanto_test::all_samples()),
                         [](const auto& param_info) { return param_info.param.name; });

TEST(StreamHeaders, Layout1WithBit15ReadsSixtyFourBitSeconds) {
  for (bool high : {true, false}) {
    std::vector<uint8_t> msg(40, 0);
    put<int16_t>(msg, 0, 1);
    put<uint16_t>(msg, 2, uint16_t(40 | (high ? 0x8000 : 0)));
    put<int32_t>(msg, 4, DATA_INT);
    put<int64_t>(msg, 8, 1);
    put<int64_t>(msg, 16, 77);
    put<uint32_t>(msg, 24, 0x12345678u);
    put<uint32_t>(msg, 28, 5);
    put<uint32_t>(msg, 32, (105u << 16) | 3u);
    put<uint32_t>(msg, 36, 2);
    put<int32_t>(msg, 40, -9);
    EqData d;
    StreamInfo info;
    ASSERT_EQ(Codec::decode_message(msg.data(), msg.size(), d, info), 0);
    EXPECT_EQ(info.sec, high ? (int64_t(2) << 32) | 0x12345678 : 0x12345678);
    EXPECT_EQ(d.get_time(), info.sec);
    EXPECT_EQ(info.ident, 77);
    EXPECT_EQ(info.usec, 5u);
    EXPECT_EQ(d.get_int(), -9);
    EXPECT_EQ(d.error(), 105);  // upper half of the status word
    EXPECT_EQ(info.stat & 0xFFFF, 3u);
  }
}

TEST(StreamHeaders, Layout1EncoderSetsBit15OnlyForLargeSeconds) {
  EqData d;
  d.set_int(1);
  StreamInfo info;
  info.sec = (int64_t(3) << 32) | 7;
  std::vector<uint8_t> msg = Codec::encode_message(d, info, 1);
  uint16_t size;
  uint32_t sechi;
  std::memcpy(&size, msg.data() + 2, 2);
  std::memcpy(&sechi, msg.data() + 36, 4);
  EXPECT_EQ(size, 0x8000 | 40);
  EXPECT_EQ(sechi, 3u);
  info.sec = 7;
  msg = Codec::encode_message(d, info, 1);
  std::memcpy(&size, msg.data() + 2, 2);
  EXPECT_EQ(size, 40);
}

TEST(StreamHeaders, VersionsOtherThanOneReadLayout2) {
  for (int16_t vers : {0, 2, 3}) {
    std::vector<uint8_t> part(4);
    put<int32_t>(part, 0, 1234);
    const std::vector<uint8_t> msg = join(header_v2(vers, DATA_INT, 1), part);
    EqData d;
    StreamInfo info;
    ASSERT_EQ(Codec::decode_message(msg.data(), msg.size(), d, info), 0) << vers;
    EXPECT_EQ(d.get_int(), 1234);
    EXPECT_EQ(info.name, "PROP");
    EXPECT_EQ(info.ident, 4711);
    EXPECT_EQ(d.get_event_id(), 4711);
    EXPECT_EQ(info.sec, 1700000000);
    EXPECT_EQ(info.usec, 123456u);
    EXPECT_EQ(info.res0, 11u);
    EXPECT_EQ(info.res1, 12u);
    EXPECT_EQ(d.error(), 0);
  }
}

TEST(StreamView, ReadsTheHeaderAndBindsTheDataPartWhereItLies) {
  EqData d;
  d.set_string("in place");
  StreamInfo info;
  info.name = "PROP";
  info.ident = 5;
  info.sec = (int64_t(2) << 32) | 9;
  for (int layout : {1, 2}) {
    std::vector<uint8_t> msg = Codec::encode_message(d, info, layout);
    StreamHeader h;
    ASSERT_EQ(read_stream_header(msg.data(), msg.size(), h), HeaderFault::none) << layout;
    EXPECT_EQ(h.layout, layout);
    EXPECT_EQ(h.length, layout == 1 ? kHeaderV1Size : kHeaderV2Size);
    EXPECT_EQ(h.seconds_high, layout == 1);
    EXPECT_EQ(h.sec, info.sec);
    EXPECT_EQ(h.ident, 5);
    EXPECT_EQ(h.type, DATA_STRING);
    EXPECT_EQ(h.name, layout == 2 ? "PROP" : "");
    EqDataBlock::DataU u{};
    ASSERT_TRUE(
        bind_data_part(u, h.type, h.count, msg.data() + h.length, msg.size() - h.length, nullptr));
    EXPECT_EQ(u.d_char.ptr, msg.data() + h.length);  // not a copy
    EXPECT_EQ(u.d_char.length, 8u);
  }
  // A message too short for its layout and one whose header length lies are
  // told apart.
  StreamHeader h;
  const uint8_t two[] = {2, 0};
  EXPECT_EQ(read_stream_header(two, sizeof two, h), HeaderFault::truncated);
  std::vector<uint8_t> lying = header_v2(2, DATA_INT, 1);
  put<int16_t>(lying, 2, 4000);
  EXPECT_EQ(read_stream_header(lying.data(), lying.size(), h), HeaderFault::bad_length);
  EXPECT_EQ(h.length, 4000u);
}

TEST(StreamDataParts, ImageOfThousandBytesWithFiveCharacterCommentHas754Pixels) {
  std::vector<uint8_t> part(100 + 8 + 8 + 4, 0);
  put<int32_t>(part, 0, 29);  // width
  put<int32_t>(part, 4, 26);  // height
  put<int32_t>(part, 24, 1);  // bpp
  put<int64_t>(part, 100, 1700000001);
  put<int64_t>(part, 108, 250);
  put<int32_t>(part, 116, 6);
  const char comment[] = "abcde";
  part.insert(part.end(), comment, comment + 6);
  for (int i = 0; i < 754; ++i) part.push_back(uint8_t(i));
  const std::vector<uint8_t> msg = join(header_v2(2, DATA_IMAGE, 1), part);
  ASSERT_EQ(msg.size(), 1000u);

  EqData d;
  StreamInfo info;
  ASSERT_EQ(Codec::decode_message(msg.data(), msg.size(), d, info), 0) << d.get_string();
  uint8_t* pixels = nullptr;
  int count = 0;
  ASSERT_TRUE(d.get_image(&pixels, &count, nullptr));
  EXPECT_EQ(count, 754);
  EXPECT_EQ(pixels[0], 0);
  EXPECT_EQ(pixels[753], uint8_t(753));
  IMH h{};
  ASSERT_TRUE(d.get_image_header(&h));
  EXPECT_EQ(h.width, 29);
  EXPECT_EQ(h.height, 26);
  int64_t sec, usec;
  int32_t status;
  ASSERT_TRUE(d.get_image_timestamp_and_status(&sec, &usec, &status));
  EXPECT_EQ(sec, 1700000001);
  EXPECT_EQ(usec, 250);
  EXPECT_EQ(status, 6);
  char buf[80];
  EXPECT_STREQ(d.get_string_arg(buf, 80), "abcde");
}

TEST(StreamDataParts, UstrArrayStringsFollowTheRecordsBackToBack) {
  std::vector<uint8_t> part(120, 0);
  const uint32_t lengths[] = {4, 1, 6};
  for (int k = 0; k < 3; ++k) {
    put<int32_t>(part, 40 * k + 0, 10 + k);
    put<float>(part, 40 * k + 4, 0.5f * k);
    put<int64_t>(part, 40 * k + 16, 1000 + k);
    put<uint32_t>(part, 40 * k + 24, lengths[k]);
    put<uint64_t>(part, 40 * k + 32, 0xdeadbeefULL);  // the sender's pointer: meaningless
  }
  const char strings[] = "abcdefghijk";  // no terminators between them
  part.insert(part.end(), strings, strings + 11);
  const std::vector<uint8_t> msg = join(header_v2(2, DATA_A_USTR, 3), part);

  EqData d;
  StreamInfo info;
  ASSERT_EQ(Codec::decode_message(msg.data(), msg.size(), d, info), 0) << d.get_string();
  ASSERT_EQ(d.array_length(), 3);
  const auto* records = static_cast<const uint8_t*>(d.data_block()->data_u.d_ustr_array.ptr);
  const size_t offsets[] = {120, 124, 125};
  const char* texts[] = {"abcd", "e", "fghijk"};
  for (int k = 0; k < 3; ++k) {
    const USTR u = d.get_ustr(k);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(u.str_data) - records, ptrdiff_t(offsets[k])) << k;
    EXPECT_EQ(u.str_length, lengths[k]);
    EXPECT_EQ(u.i1_data, 10 + k);
    EXPECT_EQ(u.tm, 1000 + k);
    char buf[80];
    EXPECT_STREQ(d.get_string_arg(k, buf, 80), texts[k]);
  }
}

TEST(StreamDataParts, FixedOffsetTypesReadWhereTheFormatPutsThem) {
  // Spectrum: count at 40, comment at 56, values at 136.
  std::vector<uint8_t> part(136, 0);
  put<uint32_t>(part, 0, 4);
  put<int64_t>(part, 16, 1700000002);
  put<float>(part, 24, 1.5f);
  put<float>(part, 28, 0.5f);
  put<uint32_t>(part, 32, 9);
  put<uint32_t>(part, 40, 2);
  std::memcpy(part.data() + 56, "scan", 4);
  put<float>(part, 136, 10.0f);
  put<float>(part, 140, 20.0f);
  const auto msg = join(header_v2(2, DATA_SPECTRUM, 1), part);
  EqData d;
  StreamInfo info;
  ASSERT_EQ(Codec::decode_message(msg.data(), msg.size(), d, info), 0) << d.get_string();
  EXPECT_EQ(d.get_string(), "10 20");
  char buf[80];
  EXPECT_STREQ(d.get_string_arg(buf, 80), "scan");
  EXPECT_EQ(d.get_float(1), 20.0f);

  // Byte array: five int32 then x_dim * y_dim bytes at 20.
  std::vector<uint8_t> bytes(20, 0);
  put<int32_t>(bytes, 0, 2);
  put<int32_t>(bytes, 4, 2);
  put<int32_t>(bytes, 8, 5);
  put<int32_t>(bytes, 16, 8);
  for (uint8_t b : {1, 2, 3, 4}) bytes.push_back(b);
  const auto msg2 = join(header_v2(2, DATA_A_BYTE, 4), bytes);
  ASSERT_EQ(Codec::decode_message(msg2.data(), msg2.size(), d, info), 0) << d.get_string();
  int x, y, xo, yo, opt;
  uint8_t* p;
  ASSERT_TRUE(d.get_byte(&x, &y, &xo, &yo, &opt, &p));
  EXPECT_EQ(x * y, 4);
  EXPECT_EQ(xo, 5);
  EXPECT_EQ(opt, 8);
  EXPECT_EQ(p[3], 4);
}

struct Malformed {
  const char* name;
  std::vector<uint8_t> msg;
};

std::vector<Malformed> malformed_messages() {
  std::vector<Malformed> m;
  auto with = [](int type, int64_t count, std::vector<uint8_t> part) {
    return join(header_v2(2, type, count), part);
  };
  m.push_back({"empty", {}});
  m.push_back({"two_bytes", {2, 0}});
  {
    std::vector<uint8_t> h = header_v2(2, DATA_INT, 1);
    h.resize(100);
    m.push_back({"layout2_short_header", h});
  }
  {
    std::vector<uint8_t> v1(30, 0);
    v1[0] = 1;
    v1[2] = 40;
    m.push_back({"layout1_short_header", v1});
  }
  {
    auto h = header_v2(2, DATA_INT, 1);
    put<int16_t>(h, 2, 4000);
    m.push_back({"header_length_beyond_message", join(h, {1, 2, 3, 4})});
  }
  {
    auto h = header_v2(2, DATA_INT, 1);
    put<int16_t>(h, 2, 8);
    m.push_back({"header_length_inside_header", join(h, {1, 2, 3, 4})});
  }
  m.push_back({"int_short_part", with(DATA_INT, 1, {1, 2})});
  m.push_back({"double_short_part", with(DATA_DOUBLE, 1, {1, 2, 3, 4})});
  m.push_back({"a_int_count_beyond", with(DATA_A_INT, 1000, std::vector<uint8_t>(8, 1))});
  m.push_back(
      {"a_double_count_overflow", with(DATA_A_DOUBLE, 0xFFFFFFFFLL, std::vector<uint8_t>(16, 1))});
  m.push_back({"string_unterminated", with(DATA_STRING, 1, {'a', 'b', 'c'})});
  m.push_back({"xml_empty_part", with(DATA_XML, 1, {})});
  {
    std::vector<uint8_t> part(40, 0);
    put<uint32_t>(part, 24, 1000);
    m.push_back({"ustr_string_beyond", with(DATA_USTR, 1, part)});
  }
  m.push_back({"a_ustr_records_beyond", with(DATA_A_USTR, 5, std::vector<uint8_t>(80, 0))});
  {
    std::vector<uint8_t> part(80, 0);
    put<uint32_t>(part, 24, 0xFFFFFFFFu);
    m.push_back({"a_ustr_string_length_huge", with(DATA_A_USTR, 2, part)});
  }
  {
    std::vector<uint8_t> part(136, 0);
    put<uint32_t>(part, 40, 10);
    m.push_back({"spectrum_values_beyond", with(DATA_SPECTRUM, 1, part)});
    put<uint32_t>(part, 40, 0);
    put<uint32_t>(part, 0, 500);
    m.push_back({"spectrum_comment_too_long", with(DATA_SPECTRUM, 1, part)});
    m.push_back({"spectrum_short_record", with(DATA_SPECTRUM, 1, std::vector<uint8_t>(100, 0))});
  }
  m.push_back({"gspectrum_short_record", with(DATA_GSPECTRUM, 1, std::vector<uint8_t>(200, 0))});
  m.push_back({"image_short", with(DATA_IMAGE, 1, std::vector<uint8_t>(120, 0))});
  m.push_back({"image_comment_unterminated", with(DATA_IMAGE, 1, std::vector<uint8_t>(130, 'x'))});
  {
    std::vector<uint8_t> part(20, 0);
    put<int32_t>(part, 0, 100000);
    put<int32_t>(part, 4, 100000);
    m.push_back({"a_byte_dims_beyond", with(DATA_A_BYTE, 1, part)});
    put<int32_t>(part, 0, -1);
    m.push_back({"a_byte_negative_dim", with(DATA_A_BYTE, 1, part)});
  }
  {
    std::vector<uint8_t> part(116, 0);
    put<int32_t>(part, 32, 3);
    m.push_back({"mda_values_beyond", with(DATA_MDA_DOUBLE, 1, part)});
    put<int32_t>(part, 32, 0);
    put<int32_t>(part, 0, 7);
    m.push_back({"mda_too_many_dimensions", with(DATA_MDA_FLOAT, 1, part)});
  }
  {
    std::vector<uint8_t> part(32, 0);
    put<uint32_t>(part, 16, 64);
    m.push_back({"xyzs_location_beyond", with(DATA_XYZS, 1, part)});
  }
  m.push_back({"unknown_type", with(4242, 1, {1, 2, 3, 4})});
  return m;
}

class MalformedMessage : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedMessage, IsRefusedWithBadFrame) {
  // An exact-size heap copy, so any read past its end shows in the sanitizer build.
  const std::vector<uint8_t>& src = GetParam().msg;
  std::unique_ptr<uint8_t[]> msg(new uint8_t[src.size() + (src.empty() ? 1 : 0)]);
  if (!src.empty()) std::memcpy(msg.get(), src.data(), src.size());
  EqData d;
  StreamInfo info;
  EXPECT_EQ(Codec::decode_message(msg.get(), src.size(), d, info), bad_frame);
  EXPECT_EQ(d.error(), bad_frame);
  EXPECT_NE(d.get_string().find("bad frame"), std::string::npos) << d.get_string();
  EXPECT_EQ(d.get_int(), 0);
  char buf[80];
  d.get_string(0, buf, 80);  // element access on the refused value stays safe

  // The in-place view refuses the same bytes and leaves the union as it was.
  StreamHeader header;
  if (read_stream_header(msg.get(), src.size(), header) != HeaderFault::none) return;
  EqDataBlock::DataU u{};
  u.data_sel = -1;
  std::string why;
  EXPECT_FALSE(bind_data_part(u, header.type, header.count, msg.get() + header.length,
                              src.size() - header.length, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(u.data_sel, -1);
}

INSTANTIATE_TEST_SUITE_P(Codec, MalformedMessage, ::testing::ValuesIn(malformed_messages()),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(DecodeData, CountAndSizeAreCheckedWithoutAHeader) {
  const int32_t values[] = {1, 2, 3};
  EqData d;
  EXPECT_EQ(Codec::decode_data(d, DATA_A_INT, 3, reinterpret_cast<const uint8_t*>(values), 12), 0);
  EXPECT_EQ(d.get_string(), "1 2 3");
  EXPECT_EQ(Codec::decode_data(d, DATA_A_INT, 4, reinterpret_cast<const uint8_t*>(values), 12),
            bad_frame);
  EXPECT_EQ(d.error(), bad_frame);
}

}  // namespace

namespace {

// Every type id the library knows, and a few it does not.
std::vector<int> every_type_id() {
  std::vector<int> ids;
  for (int id = 0; id <= 1100; ++id) {
    if (std::string(vanto::EqData::type_string(id)) != "UNKNOWN") ids.push_back(id);
  }
  ids.push_back(5);
  ids.push_back(99999);
  return ids;
}

TEST(ArbitraryBytes, DecodeEitherRefusesOrGivesAValueThatReEncodesTheSame) {
  uint32_t seed = 12345;  // fixed: the same bytes on every run
  auto next = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  int accepted = 0;
  for (int type : every_type_id()) {
    for (size_t size : {0, 1, 3, 16, 24, 40, 56, 100, 121, 137, 300}) {
      for (int round = 0; round < 4; ++round) {
        std::unique_ptr<uint8_t[]> bytes(new uint8_t[size + 1]);
        for (size_t i = 0; i < size; ++i) {
          // Mostly small bytes, so lengths and counts are often plausible.
          bytes[i] = uint8_t(next() % (round < 2 ? 4 : 256));
        }
        const uint32_t count = round % 2 == 0 ? next() % 4 : next();
        EqData d;
        const int rc = Codec::decode_data(d, type, count, bytes.get(), size);
        ASSERT_TRUE(rc == 0 || rc == vanto::bad_frame) << type;
        if (rc != 0) {
          EXPECT_EQ(d.error(), vanto::bad_frame);
          continue;
        }
        ++accepted;
        // Every reader stays inside the decoded bytes.
        char buf[80];
        d.get_string(buf, sizeof buf);
        d.get_string_arg(buf, sizeof buf);
        for (int i = -1; i <= d.length() && i < 20; ++i) {
          d.get_string(i, buf, sizeof buf);
          d.get_string_arg(i, buf, sizeof buf);
          d.get_string_extra(i, buf, sizeof buf);
          (void)d.get_double(i);
        }
        uint32_t n1 = 0, n2 = 0;
        const std::vector<uint8_t> once = Codec::encode_data(d, &n1);
        EqData again;
        ASSERT_EQ(Codec::decode_data(again, type, n1, once.data(), once.size()), 0)
            << "type " << type << ": " << again.get_string();
        EXPECT_EQ(Codec::encode_data(again, &n2), once) << "type " << type;
        EXPECT_EQ(n2, n1);
      }
    }
  }
  EXPECT_GT(accepted, 100);  // the loop really decoded values, not only refusals
}

}  // namespace
