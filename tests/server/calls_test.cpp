// get, set, names, options and subscriptions through libvanto against a
// vantoserver serving the demo installation.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "call_helpers.h"
#include "harness.h"

namespace {

using namespace std::chrono_literals;
using servertest::get;
using servertest::names;
using vanto::EqData;

class CallsTest : public vantotest::ServerTest {};

TEST_F(CallsTest, ReferenceScalarsHaveTheirInitialValues) {
  EXPECT_EQ(get("TEST.SIM/SCALAR/LOC1/INT").get_int(), 42);
  EXPECT_EQ(get("TEST.SIM/SCALAR/LOC1/INT255").get_int(), 255);
  EXPECT_FLOAT_EQ(get("TEST.SIM/SCALAR/LOC1/FLOAT").get_float(), 1.5f);
  EXPECT_DOUBLE_EQ(get("TEST.SIM/SCALAR/LOC1/DOUBLE").get_double(), 2.25);
  EXPECT_EQ(get("TEST.SIM/SCALAR/LOC1/STRING").get_string(), "hello world");
  EXPECT_EQ(get("TEST.SIM/SCALAR/LOC1/LONGSTRING").get_string(), std::string(120, 'a'));
  const EqData iiii = get("TEST.SIM/SCALAR/LOC1/IIII");
  ASSERT_EQ(iiii.type(), vanto::DATA_IIII);
  const vanto::IIII v = iiii.data_block()->data_u.d_iiii;
  EXPECT_EQ(std::vector<int>(v.i, v.i + 4), (std::vector<int>{1, 2, 3, 4}));
  for (const std::string device : {"PUMP1", "PUMP2", "GAUGENG", "VALVENG", "ABXY"})
    for (const std::string location : {"L1", "L2", "SRV._SVR"}) {
      const std::string base = "TEST.VAC/" + device + "/" + location;
      EXPECT_EQ(get(base + "/NAME").get_string(), location) << base;
      const EqData error = get(base + "/ERROR");
      EXPECT_EQ(error.type(), vanto::DATA_INT) << base;
      EXPECT_EQ(error.get_int(), 0) << base;
    }
}

TEST_F(CallsTest, ReferenceArraysImageAndHistory) {
  const EqData a = get("TEST.SIM/ARRAY/LOC1/A_INT");
  ASSERT_EQ(a.type(), vanto::DATA_A_INT);
  ASSERT_EQ(a.length(), 4);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(a.get_int(k), k + 1);

  const servertest::SpectrumParts s = servertest::spectrum_of(get("TEST.SIM/ARRAY/LOC1/SPECTRUM"));
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(s.values, (std::vector<float>{10, 20, 30}));
  EXPECT_FLOAT_EQ(s.start, 1.5f);
  EXPECT_FLOAT_EQ(s.increment, 0.5f);

  EXPECT_NE(get("TEST.SIM/ARRAY/LOC1/XML").get_xml().find("<"), std::string::npos);

  const EqData image = get("TEST.SIM/IMAGE/LOC1/IMAGE");
  vanto::IMH h{};
  uint8_t* pixels = nullptr;
  int bytes = 0;
  ASSERT_TRUE(image.get_image(&pixels, &bytes, &h));
  EXPECT_EQ(h.width, 2);
  EXPECT_EQ(h.height, 2);
  EXPECT_EQ(h.aoi_width, 2);
  EXPECT_EQ(h.aoi_height, 2);
  EXPECT_EQ(h.bpp, 1);
  EXPECT_EQ(std::vector<int>(pixels, pixels + bytes), (std::vector<int>{1, 2, 3, 4}));

  const EqData hist = get("TEST.SIM/HIST/LOC1/HIST");
  ASSERT_EQ(hist.type(), vanto::DATA_A_TDS);
  ASSERT_GE(hist.length(), 100);
  const int64_t now = std::time(nullptr);
  int64_t first = 0, last = 0;
  float value = 0;
  uint8_t st = 0;
  ASSERT_TRUE(hist.get_tds(&first, &value, &st, 0));
  ASSERT_TRUE(hist.get_tds(&last, &value, &st, hist.length() - 1));
  EXPECT_GE(first, now - 3600 - 60);
  EXPECT_LE(last, now + 5);
  EXPECT_LT(first, last);
}

TEST_F(CallsTest, SetIsSeenByASecondClientAndRefusedWhereItMustBe) {
  vanto::EqCall writer, reader;
  EqData in;
  in.set_int(4711);
  const EqData written = servertest::set(writer, "TEST.SIM/SCALAR/LOC1/INT", in);
  ASSERT_EQ(written.error(), 0) << written.error_text();
  EXPECT_EQ(written.get_int(), 4711);
  EXPECT_EQ(get(reader, "TEST.SIM/SCALAR/LOC1/INT").get_int(), 4711);

  EqData text;
  text.set_string("changed text");
  ASSERT_EQ(servertest::set(writer, "TEST.SIM/SCALAR/LOC1/STRING", text).error(), 0);
  EXPECT_EQ(get(reader, "TEST.SIM/SCALAR/LOC1/STRING").get_string(), "changed text");

  // Read-only channel: refused with a code and a text, value unchanged.
  EqData other;
  other.set_int(1);
  const EqData refused = servertest::set(writer, "TEST.SIM/SCALAR/LOC1/INT255", other);
  EXPECT_EQ(refused.error(), vanto::not_writable);
  EXPECT_NE(refused.error_text().find("read-only"), std::string::npos) << refused.error_text();
  EXPECT_EQ(get(reader, "TEST.SIM/SCALAR/LOC1/INT255").get_int(), 255);

  // Wrong type.
  EqData wrong;
  wrong.set_string("not a number");
  EXPECT_EQ(servertest::set(writer, "TEST.SIM/SCALAR/LOC1/INT", wrong).error(), vanto::type_error);
  EXPECT_EQ(get(reader, "TEST.SIM/SCALAR/LOC1/INT").get_int(), 4711);
}

TEST_F(CallsTest, NameListsOfDevicesLocationsAndProperties) {
  EXPECT_EQ(names("TEST.VAC/*"),
            (std::vector<std::string>{"PUMP1", "PUMP2", "GAUGENG", "VALVENG", "ABXY"}));
  EXPECT_EQ(names("TEST.VAC/*/L1/ERROR"),
            (std::vector<std::string>{"PUMP1", "PUMP2", "GAUGENG", "VALVENG", "ABXY"}));
  EXPECT_EQ(names("TEST.VAC/PUMP1/*/ERROR"), (std::vector<std::string>{"L1", "L2", "SRV._SVR"}));
  EXPECT_EQ(names("TEST.VAC/PUMP1/L1/*"),
            (std::vector<std::string>{"ERROR error code of the location", "NAME location name"}));
  int code = 0;
  names("NO.SUCH/*", &code);
  EXPECT_EQ(code, vanto::no_ens_entry);
  names("TEST.VAC/NOPE/*", &code);
  EXPECT_EQ(code, vanto::no_ens_entry);
  names("TEST.VAC/PUMP1/L1/ERROR", &code);
  EXPECT_EQ(code, vanto::ill_parameter);
}

TEST_F(CallsTest, UnknownNamesAndProtocolsGiveTheirCodes) {
  // tango: and epics: addresses need their modules; here they are missing.
  setenv("VANTO_TANGO_MODULE", "/nonexistent/libvanto-tango.so", 1);
  setenv("VANTO_EPICS_MODULE", "/nonexistent/libvanto-epics.so", 1);
  struct Case {
    std::string address;
    int code;
  };
  for (const Case& c : std::vector<Case>{{"NO.SUCH/DEV/LOC/PROP", vanto::no_ens_entry},
                                         {"TEST.SIM/NODEV/LOC1/INT", vanto::no_ens_entry},
                                         {"TEST.SIM/SCALAR/NOLOC/INT", vanto::ill_location},
                                         {"TEST.SIM/SCALAR/LOC1/NOPROP", vanto::ill_property},
                                         {"rask:TEST.SIM/SCALAR/LOC1/INT", vanto::not_implemented},
                                         {"epics:TEST.SIM/SCALAR/LOC1/INT", vanto::not_implemented},
                                         {"tango:TEST.SIM/SCALAR/LOC1/INT", vanto::not_implemented},
                                         {"vanto:TEST.SIM/SCALAR/LOC1/INT255", 0}}) {
    const EqData out = get(c.address);
    EXPECT_EQ(out.error(), c.code) << c.address << ": " << out.error_text();
    if (c.code != 0) {
      EXPECT_FALSE(out.error_text().empty()) << c.address;
    }
  }
}

TEST_F(CallsTest, DirectAddressAndHostName) {
  EXPECT_EQ(server().read("TEST.SIM/SCALAR/LOC1/INT255").get_int(), 255);

  vanto::EqCall call;
  vanto::EqAdr adr("TEST.SIM/SCALAR/LOC1/INT255");
  EqData in, out;
  ASSERT_EQ(call.get_option(&adr, &in, &out, vanto::EQ_HOSTNAME), 0) << out.error_text();
  char host[HOST_NAME_MAX + 1] = "";
  ::gethostname(host, sizeof host);
  EXPECT_EQ(out.get_string(), std::string(host));
}

TEST_F(CallsTest, HistoryIntervalsArePagedBackwardsInRepliesOf2000) {
  const std::string address = "TEST.SIM/HISTORY/LOC1/LONG";
  const EqData newest = get(address);
  ASSERT_EQ(newest.length(), 2000);
  int64_t t_first = 0, t_last = 0;
  float v = 0;
  uint8_t st = 0;
  newest.get_tds(&t_last, &v, &st, 1999);

  // Page through 4500 seconds of the pre-filled part (one point per second).
  const int64_t tm2 = t_last - 200, tm1 = tm2 - 4499;
  int64_t end = tm2;
  std::vector<int> lengths;
  std::vector<int64_t> seen;
  for (int page = 0; page < 10; ++page) {
    EqData request;
    request.set_ttii(tm1, end, 0, 0);
    const EqData reply = get(address, &request);
    ASSERT_EQ(reply.error(), 0) << reply.error_text();
    lengths.push_back(reply.length());
    for (int k = 0; k < reply.length(); ++k) {
      int64_t t = 0;
      ASSERT_TRUE(reply.get_tds(&t, &v, &st, k));
      ASSERT_GE(t, tm1);
      ASSERT_LE(t, end);
      if (k > 0) {
        ASSERT_GT(t, t_first);
      }
      t_first = t;
      seen.push_back(t);
    }
    if (reply.length() < 2000) break;
    reply.get_tds(&end, &v, &st, 0);  // the next page ends at this page's first point
  }
  // 4500 points: 2000, 2000 (one shared with the first), and the 502 left.
  EXPECT_EQ(lengths, (std::vector<int>{2000, 2000, 502}));
  std::sort(seen.begin(), seen.end());
  seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
  EXPECT_EQ(seen.size(), 4500u);
}

TEST_F(CallsTest, TimeStampedHistoriesAnswerIntervals) {
  const EqData all = get("TEST.SIM/HISTORY/LOC1/TS_FLOAT");
  ASSERT_EQ(all.type(), vanto::DATA_A_TS_FLOAT);
  ASSERT_GE(all.length(), 360);
  int64_t sec = 0;
  int msec = 0;
  all.get_tsd(&sec, &msec, 10);
  EqData request;
  request.set_ttii(sec, sec + 95, 256, 0);
  const EqData part = get("TEST.SIM/HISTORY/LOC1/TS_FLOAT", &request);
  EXPECT_EQ(part.length(), 10);  // one point per 10 s
}

TEST_F(CallsTest, SpectrumHonoursOffsetStepAndCount) {
  EqData request;
  request.set_iiii(0, 2, 2, 3);
  const EqData reply = get("TEST.SIM/TYPES/LOC1/SPECTRUM", &request);
  ASSERT_EQ(reply.error(), 0) << reply.error_text();
  const servertest::SpectrumParts s = servertest::spectrum_of(reply);
  ASSERT_TRUE(s.ok);
  // Squares 1 4 9 ... 64 over start 0, increment 2: values 2, 4 and 6 of them.
  EXPECT_EQ(s.values, (std::vector<float>{9, 25, 49}));
  EXPECT_FLOAT_EQ(s.start, 4.0f);
  EXPECT_FLOAT_EQ(s.increment, 4.0f);

  // Past the end: no values; before the start: refused.
  request.set_iiii(0, 100, 1, 1);
  const EqData past = get("TEST.SIM/TYPES/LOC1/SPECTRUM", &request);
  ASSERT_EQ(past.error(), 0) << past.error_text();
  EXPECT_TRUE(servertest::spectrum_of(past).values.empty());
  request.set_iiii(0, -1, 1, 1);
  EXPECT_EQ(get("TEST.SIM/TYPES/LOC1/SPECTRUM", &request).error(), vanto::out_of_range);
}

TEST_F(CallsTest, ImageExtPropertiesAreCropped) {
  EqData request;
  request.set_iiii(2, 1, 3, 2);
  const EqData image = get("TEST.SIM/CAMERA/LOC1/IMAGE_EXT", &request);
  vanto::IMH h{};
  uint8_t* pixels = nullptr;
  int bytes = 0;
  ASSERT_TRUE(image.get_image(&pixels, &bytes, &h)) << image.error_text();
  EXPECT_EQ(h.width, 16);
  EXPECT_EQ(h.height, 8);
  EXPECT_EQ(h.aoi_width, 3);
  EXPECT_EQ(h.aoi_height, 2);
  EXPECT_EQ(h.x_start, 2);
  EXPECT_EQ(h.y_start, 1);
  EXPECT_EQ(h.length, 6);
  // The gradient pattern: pixel (x, y) = x + y.
  EXPECT_EQ(std::vector<int>(pixels, pixels + bytes), (std::vector<int>{3, 4, 5, 4, 5, 6}));

  // A property without IMAGE_EXT ignores the request.
  const EqData plain = get("TEST.SIM/IMAGE/LOC1/IMAGE", &request);
  ASSERT_TRUE(plain.get_image(&pixels, &bytes, &h));
  EXPECT_EQ(h.aoi_width, 2);
}

// Collects the values a subscription delivers.
struct Collector {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<int> values;
  void add(const EqData& d) {
    std::lock_guard lock(mutex);
    values.push_back(d.get_int());
    arrived.notify_all();
  }
  bool wait_for(int value) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(
        lock, 20s, [&] { return std::find(values.begin(), values.end(), value) != values.end(); });
  }
};

TEST_F(CallsTest, SubscriptionDeliversTheValueAndEveryWrite) {
  Collector collector;
  vanto::EqCall subscriber;
  vanto::Subscription subscription = subscriber.subscribe(
      vanto::EqAdr("TEST.VAC/ABXY/L2/ERROR"), [&](const EqData& d) { collector.add(d); });
  std::future<void>& established = subscription.established();
  ASSERT_EQ(established.wait_for(20s), std::future_status::ready);
  established.get();
  EXPECT_TRUE(collector.wait_for(0));

  vanto::EqCall writer;
  EqData in;
  in.set_int(17);
  ASSERT_EQ(servertest::set(writer, "TEST.VAC/ABXY/L2/ERROR", in).error(), 0);
  EXPECT_TRUE(collector.wait_for(17));
}

TEST_F(CallsTest, SubscriptionToAnUnknownAddressFailsWith119) {
  vanto::EqCall subscriber;
  vanto::Subscription subscription =
      subscriber.subscribe(vanto::EqAdr("NO.SUCH/DEV/LOC/PROP"), [](const EqData&) {});
  std::future<void>& established = subscription.established();
  ASSERT_EQ(established.wait_for(20s), std::future_status::ready);
  try {
    established.get();
    FAIL() << "no exception";
  } catch (const vanto::ErrorCode& e) {
    EXPECT_EQ(e.code(), vanto::no_ens_entry);
  }
}

// Cancelling one handle (also through a move) ends that subscription only;
// the other subscriptions of the same call go on.
TEST_F(CallsTest, CancelledSubscriptionGetsNoMoreUpdates) {
  const vanto::EqAdr adr("TEST.VAC/PUMP2/L2/ERROR");
  vanto::EqCall subscriber;
  Collector cancelled_seen, moved_seen, kept_seen;
  vanto::Subscription cancelled =
      subscriber.subscribe(adr, [&](const EqData& d) { cancelled_seen.add(d); });
  vanto::Subscription moved =
      subscriber.subscribe(adr, [&](const EqData& d) { moved_seen.add(d); });
  vanto::Subscription kept = subscriber.subscribe(adr, [&](const EqData& d) { kept_seen.add(d); });
  for (Collector* c : {&cancelled_seen, &moved_seen, &kept_seen}) ASSERT_TRUE(c->wait_for(0));

  cancelled.cancel();
  moved = vanto::Subscription();  // the handle it held is cancelled by the assignment
  cancelled.cancel();             // a second cancel does nothing
  const size_t cancelled_count = cancelled_seen.values.size();
  const size_t moved_count = moved_seen.values.size();

  vanto::EqCall writer;
  EqData in;
  in.set_int(23);
  ASSERT_EQ(servertest::set(writer, adr.show_adr(), in).error(), 0);
  ASSERT_TRUE(kept_seen.wait_for(23));
  std::lock_guard cancelled_lock(cancelled_seen.mutex), moved_lock(moved_seen.mutex);
  EXPECT_EQ(cancelled_seen.values.size(), cancelled_count);
  EXPECT_EQ(moved_seen.values.size(), moved_count);
}

TEST_F(CallsTest, ManyThreadsWithAnEqCallEachGetTheirOwnAnswers) {
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      vanto::EqCall call;
      for (int k = 0; k < 200; ++k) {
        if (get(call, "TEST.SIM/SCALAR/LOC1/INT255").get_int() != 255) ++wrong;
        if (get(call, "TEST.VAC/PUMP2/L2/NAME").get_string() != "L2") ++wrong;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace

namespace {

class TypesTest : public vantotest::ServerTest {};

TEST_F(TypesTest, EveryTypeReadsItsConfiguredValue) {
  const std::string base = "TEST.SIM/TYPES/LOC1/";
  EXPECT_EQ(get(base + "USHORT").get_ushort(), 65000);
  EXPECT_EQ(get(base + "UINT").get_uint(), 4000000000u);
  EXPECT_EQ(get(base + "LONG").get_long(), -9000000000);
  EXPECT_EQ(get(base + "ULONG").get_ulong(), 18000000000u);
  EXPECT_EQ(get(base + "SHORT").get_short(), -12);
  EXPECT_TRUE(get(base + "BOOL").get_bool());
  EXPECT_EQ(get(base + "TEXT").get_string(), "a text value");
  float x = 0, y = 0;
  ASSERT_TRUE(get(base + "A_XY").get_xy(&x, &y, 2));
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(2.0f, 4.0f));
  // Records point into their container: keep each container while looking.
  vanto::XYZS p{};
  const EqData xyzs = get(base + "XYZS");
  ASSERT_TRUE(xyzs.get_xyzs(&p));
  EXPECT_STREQ(p.loc, "point A");
  EXPECT_FLOAT_EQ(p.z, 2.5f);
  const EqData ustr = get(base + "USTR");
  EXPECT_STREQ(ustr.get_ustr(0).str_data, "ustr text");
  const EqData ustrs = get(base + "A_USTR");
  EXPECT_STREQ(ustrs.get_ustr(1).str_data, "second");
  const vanto::Mda mda = get(base + "MDA_DOUBLE").get_mdad();
  EXPECT_EQ(mda.dimn, 2);
  EXPECT_EQ(mda.values, (std::vector<double>{1.5, 2.5, 3.5, 4.5, 5.5, 6.5}));
  int groups = 0, group_size = 0;
  float group_inc = 0;
  ASSERT_TRUE(get(base + "GSPECTRUM").get_spec_groups(&groups, &group_size, &group_inc));
  EXPECT_EQ(groups, 2);
  EXPECT_EQ(group_size, 3);
  int xd = 0, yd = 0, xo = 0, yo = 0, option = 0;
  uint8_t* bytes = nullptr;
  const EqData byte_array = get(base + "A_BYTE");
  ASSERT_TRUE(byte_array.get_byte(&xd, &yd, &xo, &yo, &option, &bytes));
  EXPECT_EQ(std::vector<int>(bytes, bytes + xd * yd), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  const EqData image = get(base + "IMAGE");
  vanto::IMH h{};
  uint8_t* pixels = nullptr;
  int count = 0;
  ASSERT_TRUE(image.get_image(&pixels, &count, &h));
  EXPECT_EQ(count, 4 * 3 * 2);
}

TEST_F(TypesTest, EveryTypeSurvivesAWriteOfItsOwnValue) {
  const std::vector<std::string> properties = names("TEST.SIM/TYPES/LOC1/*");
  ASSERT_GE(properties.size(), 35u);
  vanto::EqCall writer, reader;
  for (const std::string& entry : properties) {
    const std::string address = "TEST.SIM/TYPES/LOC1/" + entry.substr(0, entry.find(' '));
    EqData before = get(reader, address);
    ASSERT_EQ(before.error(), 0) << address << ": " << before.error_text();
    const std::string text = before.get_string();
    const EqData written = servertest::set(writer, address, before);
    EXPECT_EQ(written.error(), 0) << address << ": " << written.error_text();
    const EqData after = get(reader, address);
    EXPECT_EQ(after.type(), before.type()) << address;
    EXPECT_EQ(after.length(), before.length()) << address;
    EXPECT_EQ(after.get_string(), text) << address;
  }
}

}  // namespace
