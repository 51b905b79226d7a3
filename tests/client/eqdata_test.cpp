// EqData: containers over foreign blocks, typed access, setters, errors,
// lifetime, type names, error texts and time stamps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include <vanto/eqdata.h>
#include <vanto/errors.h>
#include <vanto/timestamp.h>

namespace {

using namespace vanto;

// A message buffer as the stream receiver assembles it: 4-byte words.
struct ForeignBuffer {
  explicit ForeignBuffer(size_t bytes) : words((bytes + 3) / 4, 0) {}
  uint8_t* at(size_t offset) { return reinterpret_cast<uint8_t*>(words.data()) + offset; }
  std::vector<uint32_t> words;
};

TEST(BorrowedBlock, AccessorsReadWhatTheDecoderFilledInPlace) {
  // Data part of an A_USTR with two records, filled the way the stream
  // receiver does: pair into the buffer, record string pointers set.
  ForeignBuffer buf(80 + 3 + 5);
  uint8_t* data = buf.at(0);
  for (int k = 0; k < 2; ++k) {
    USTR rec{};
    rec.i1_data = 7 + k;
    rec.str_length = k == 0 ? 3 : 5;
    rec.str_data = reinterpret_cast<char*>(data + (k == 0 ? 80 : 83));
    std::memcpy(data + 40 * k, &rec, sizeof rec);
  }
  std::memcpy(data + 80, "L1\0SRV1\0", 8);

  EqDataBlock empty{};
  EqData d(&empty, true);
  EqDataBlock* b = d.data_block();
  b->tm = 1700000000;
  b->data_u.data_sel = DATA_A_USTR;
  b->data_u.d_ustr_array.length = 2;
  b->data_u.d_ustr_array.ptr = data;
  b->mp_lo = 5;
  b->mp_hi = 1;

  EXPECT_EQ(d.type(), DATA_A_USTR);
  EXPECT_EQ(d.array_length(), 2);
  EXPECT_EQ(d.get_event_id(), (int64_t(1) << 32) | 5);
  char text[80];
  EXPECT_STREQ(d.get_string_arg(1, text, 80), "SRV1");
  EXPECT_EQ(d.get_ustr(0).i1_data, 7);
  EXPECT_EQ(d.get_ustr(1).str_data, reinterpret_cast<char*>(data + 83));  // no copy
  EXPECT_STREQ(d.get_string_arg(2, text, 80), "");  // index beyond the block's count

  // A setter switches to owned storage and leaves the foreign buffer alone.
  d.set_ustr(9, 0, 0, 0, "NEW", 2);
  EXPECT_EQ(d.array_length(), 3);
  EXPECT_STREQ(d.get_string_arg(0, text, 80), "L1");
  EXPECT_STREQ(d.get_string_arg(2, text, 80), "NEW");
  EXPECT_NE(d.data_block()->data_u.d_ustr_array.ptr, static_cast<void*>(data));
  EXPECT_EQ(std::memcmp(data + 80, "L1\0SRV1\0", 8), 0);
}

TEST(BorrowedBlock, UnalignedArraysReadCorrectly) {
  ForeignBuffer buf(64);
  uint8_t* data = buf.at(1);  // deliberately misaligned
  const double values[] = {1.5, -2.25, 1e300};
  std::memcpy(data, values, sizeof values);
  EqDataBlock blk{};
  blk.data_u.data_sel = DATA_A_DOUBLE;
  blk.data_u.d_array.length = 3;
  blk.data_u.d_array.ptr = data;
  EqData d(&blk, true);
  EXPECT_EQ(d.get_double(1), -2.25);
  EXPECT_EQ(d.get_string(), "1.5 -2.25 1e+300");
  EXPECT_EQ(d.get_double(3), 0.0);  // beyond the count
}

TEST(BorrowedBlock, NotBorrowedMeansACopyThatOutlivesTheBuffer) {
  auto buf = std::make_unique<ForeignBuffer>(16);
  const float v[] = {1, 2, 3};
  std::memcpy(buf->at(0), v, sizeof v);
  EqDataBlock blk{};
  blk.data_u.data_sel = DATA_A_FLOAT;
  blk.data_u.d_float_array.length = 3;
  blk.data_u.d_float_array.ptr = buf->at(0);
  EqData d(&blk, false);
  buf.reset();  // the sanitizer build catches any read of the freed buffer
  EXPECT_EQ(d.get_string(), "1 2 3");
}

TEST(BorrowedBlock, SpectrumAndImageFilledLikeTheStreamReceiver) {
  // Spectrum data part inside a message buffer behind a 120-byte header.
  ForeignBuffer msg(120 + 136 + 8);
  uint8_t* part = msg.at(120);
  const uint32_t comment_length = 4, count = 2;
  const int64_t tm = 1700000000;
  const float start = 1.5f, inc = 0.5f, values[] = {10, 20};
  std::memcpy(part, &comment_length, 4);
  std::memcpy(part + 16, &tm, 8);
  std::memcpy(part + 24, &start, 4);
  std::memcpy(part + 28, &inc, 4);
  std::memcpy(part + 40, &count, 4);
  std::memcpy(part + 56, "scan", 4);
  std::memcpy(part + 136, values, 8);

  EqDataBlock none{};
  EqData d(&none, true);
  EqDataBlock* b = d.data_block();
  b->data_u.data_sel = DATA_SPECTRUM;
  std::memcpy(&b->data_u.d_spectrum, part, 48);
  b->data_u.d_spectrum.comment = reinterpret_cast<char*>(part + 56);
  b->data_u.d_spectrum.values = reinterpret_cast<float*>(part + 136);
  EXPECT_EQ(d.length(), 2);
  EXPECT_EQ(d.get_string(), "10 20");
  char buf[80];
  EXPECT_STREQ(d.get_string_arg(buf, 80), "scan");
  EXPECT_STREQ(d.get_string(1, buf, 80), "20");
  const std::optional<vanto::SpectrumView> view = d.spectrum();
  ASSERT_TRUE(view);
  EXPECT_EQ(view->value_bytes, part + 136);
  EXPECT_EQ(view->count, 2);

  // Writing one value makes the container's own copy.
  d.set_float(25.0f, 1);
  EXPECT_EQ(d.get_string(), "10 25");
  EXPECT_STREQ(d.get_string_arg(buf, 80), "scan");
  EXPECT_EQ(std::memcmp(part + 136, values, 8), 0);
}

TEST(Records, XyzsAndStampedStringHistories) {
  EqData p;
  p.set_xyzs(2, 1.5f, 2.5f, 3.5f, "QUAD 3");
  XYZS got{};
  ASSERT_TRUE(p.get_xyzs(&got, 0));
  EXPECT_EQ(got.status, 2);
  EXPECT_EQ(got.z, 3.5f);
  EXPECT_STREQ(got.loc, "QUAD 3");
  EXPECT_FALSE(p.get_xyzs(&got, 1));
  char buf[80];
  EXPECT_STREQ(p.get_string_arg(buf, 80), "QUAD 3");

  EqData h;
  h.set_type(DATA_A_TS_STRING);
  ASSERT_EQ(h.set_from_string("1700000000 5 0 first\n1700000060 6 1 second one"), 0);
  EXPECT_EQ(h.array_length(), 2);
  int64_t sec;
  int msec;
  ASSERT_TRUE(h.get_tsd(&sec, &msec, 1));
  EXPECT_EQ(sec, 1700000060);
  EXPECT_EQ(msec, 6);
  EXPECT_STREQ(h.get_string_arg(1, buf, 80), "second one");
  EXPECT_STREQ(h.get_string(1, buf, 80), "1700000060 6 1 second one");
  EXPECT_EQ(std::strlen(h.get_string_extra(1, buf, 80)), 19u);
}

TEST(Lifetime, MoveKeepsTheValueAndInitEmpties) {
  EqData a;
  a.set_string("moved text");
  a.set_time(10, 20);
  EqData b(std::move(a));
  EXPECT_EQ(b.get_string(), "moved text");
  EXPECT_EQ(b.get_time(), 10);
  EqData c;
  c = std::move(b);
  EXPECT_EQ(c.get_string(), "moved text");
  c.init();
  EXPECT_EQ(c.type(), DATA_NULL);
  EXPECT_EQ(c.length(), 0);
  EXPECT_EQ(c.get_time(), 0);
  EXPECT_EQ(c.get_string(), "");
}

TEST(Lifetime, CopyFromCarriesErrorTimeAndEventId) {
  EqData a;
  a.set_int(3);
  a.set_time(100, 7);
  a.set_event_id(-2);
  a.error(ill_serv, "server trouble");
  EqData b;
  b.copy_from(a);
  EXPECT_EQ(b.error(), ill_serv);
  EXPECT_EQ(b.get_string(), "server trouble");
  EXPECT_EQ(b.get_time(), 100);
  EXPECT_EQ(b.get_time_usec(), 7u);
  EXPECT_EQ(b.get_event_id(), -2);
  b.copy_from(&b);  // copying onto itself changes nothing
  EXPECT_EQ(b.error(), ill_serv);
}

TEST(Numbers, GettersConvertSafelyBetweenTypes) {
  EqData d;
  d.set_double(1e30);
  EXPECT_EQ(d.get_int(), std::numeric_limits<int>::max());
  EXPECT_EQ(d.get_short(), std::numeric_limits<int16_t>::max());
  d.set_double(-1e30);
  EXPECT_EQ(d.get_long(), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(d.get_uint(), 0u);
  d.set_double(std::nan(""));
  EXPECT_EQ(d.get_int(), 0);
  d.set_double(1e300);
  EXPECT_TRUE(std::isinf(d.get_float()));
  d.set_ulong(18446744073709551615ULL);
  EXPECT_EQ(d.get_ulong(), 18446744073709551615ULL);
  EXPECT_EQ(d.get_value<int>(), -1);  // integer conversion wraps as in C++
  d.set_string("42");
  EXPECT_EQ(d.get_value<int>(), 42);
  d.set_string("no number");
  EXPECT_EQ(d.get_value<int>(), 0);
}

TEST(Numbers, SettersKeepTheTypeWhenItHoldsTheValue) {
  EqData d;
  d.set_type(DATA_FLOAT);
  d.set_int(3);
  EXPECT_EQ(d.type(), DATA_FLOAT);
  EXPECT_EQ(d.get_float(), 3.0f);

  d.set_type(DATA_INT);
  d.set_double(2.5);  // an INT cannot hold 2.5
  EXPECT_EQ(d.type(), DATA_DOUBLE);
  EXPECT_EQ(d.get_double(), 2.5);

  d.set_type(DATA_SHORT);
  d.set_int(70000);
  EXPECT_EQ(d.type(), DATA_INT);
  EXPECT_EQ(d.get_int(), 70000);

  d.set_type(DATA_A_INT);
  d.set_int(5, 3);  // grows, the gap filled with zeros
  EXPECT_EQ(d.type(), DATA_A_INT);
  EXPECT_EQ(d.get_string(), "0 0 0 5");
  d.set_float(7.0f, 0);
  EXPECT_EQ(d.get_string(), "7 0 0 5");

  d.set_type(DATA_IIII);
  d.set_int(9, 2);
  EXPECT_EQ(d.get_string(), "0 0 9 0");

  d.init();
  d.set_int(1, 2);  // an index on an empty container makes an array
  EXPECT_EQ(d.type(), DATA_A_INT);
  EXPECT_EQ(d.length(), 3);
}

TEST(Records, SpectrumImageHistoryAndMdaAccessors) {
  EqData s;
  const float v[] = {10, 20, 30};
  s.set_spectrum(std::string(200, 'c').c_str(), 5, 1.5f, 0.5f, 2, v, 3);
  const std::optional<vanto::SpectrumView> view = s.spectrum();
  ASSERT_TRUE(view);
  EXPECT_EQ(view->comment.size(), 79u);  // the comment field holds 79 characters and a NUL
  EXPECT_EQ(std::strlen(view->comment.data()), 79u);
  EXPECT_EQ(view->count, 3);
  EXPECT_EQ(s.length(), 3);
  EXPECT_FALSE(s.get_spec_groups(nullptr, nullptr, nullptr));

  EqData g;
  g.set_gspectrum("g", 1, 0, 1, 0, 4, 8, 0.25f, v, 3);
  int groups, size;
  float ginc;
  ASSERT_TRUE(g.get_spec_groups(&groups, &size, &ginc));
  EXPECT_EQ(groups, 4);
  EXPECT_EQ(size, 8);
  EXPECT_EQ(ginc, 0.25f);

  EqData h;
  h.set_type(DATA_A_TS_FLOAT);
  h.set_ts(1700000000, 250, 1, 1.5, 0);
  int64_t sec;
  int msec;
  uint32_t st;
  float f;
  ASSERT_TRUE(h.get_ts_float(&sec, &msec, &st, &f, 0));
  EXPECT_EQ(sec, 1700000000);
  EXPECT_EQ(msec, 250);
  EXPECT_EQ(st, 1u);
  EXPECT_EQ(f, 1.5f);
  EXPECT_TRUE(h.get_tsd(&sec, &msec, 0));
  EXPECT_FALSE(h.get_tsd(&sec, &msec, 1));
  EXPECT_FALSE(h.get_ts_float(&sec, &msec, &st, &f, -1));

  EqData m;
  const double mv[] = {1, 2, 3, 4, 5, 6};
  const int dims[] = {2, 3};
  m.set_mda(2, dims, "m", mv, 6, true);
  const Mda got = m.get_mdad();
  EXPECT_EQ(got.dimn, 2);
  EXPECT_EQ(got.dims[1], 3);
  EXPECT_EQ(got.comment, "m");
  EXPECT_EQ(got.values, std::vector<double>(mv, mv + 6));

  EqData st_bytes;
  const uint8_t raw[] = {0xde, 0xad};
  st_bytes.set_structure(raw, 2);
  EXPECT_EQ(to_string(st_bytes.get_structure(Owning::no)), "dead");
}

TEST(Names, TypeStringsMatchTheEnumerators) {
  EXPECT_STREQ(EqData::type_string(DATA_INT), "INT");
  EXPECT_STREQ(EqData::type_string(DATA_A_TDS), "A_TDS");
  EXPECT_STREQ(EqData::type_string(DATA_SPECTRUM), "SPECTRUM");
  EXPECT_STREQ(EqData::type_string(DATA_IMAGE), "IMAGE");
  EXPECT_STREQ(EqData::type_string(DATA_A_TS_ULONG), "A_TS_ULONG");
  EXPECT_STREQ(EqData::type_string(DATA_MDA_DOUBLE), "MDA_DOUBLE");
  EXPECT_STREQ(EqData::type_string(5), "UNKNOWN");
  EXPECT_STREQ(EqData::type_string(-1), "UNKNOWN");
  EqData d;
  d.set_type(DATA_XML);
  EXPECT_STREQ(d.type_string(), "XML");
}

TEST(Names, ErrorTextsAndExceptions) {
  EXPECT_EQ(get_error_string(ill_parameter), "illegal parameter");
  EXPECT_EQ(get_error_string(unavail_serv), "service unavailable");
  EXPECT_EQ(get_error_string(no_ens_entry), "no name service entry");
  EXPECT_EQ(get_error_string(-77), "unknown error");
  try {
    throw ErrorCode(ill_serv, "boom");
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "boom");
    EXPECT_EQ(dynamic_cast<const ErrorCode&>(e).code(), ill_serv);
  }
}

TEST(Time, FormatLocaltimeUsesTheGivenFormat) {
  const Timestamp now = Timestamp::now();
  EXPECT_GT(now.sec, 1600000000);
  EXPECT_GE(now.usec, 0);
  EXPECT_LT(now.usec, 1000000);
  EXPECT_EQ(format_localtime(Timestamp{0, 0}, "%%"), "%");
  EXPECT_EQ(format_localtime(now, nullptr), "");
  EXPECT_EQ(format_localtime(Timestamp{1700000000, 0}, "%Y").size(), 4u);
}

}  // namespace
