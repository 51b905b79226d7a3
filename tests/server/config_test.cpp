// The server's configuration and history ring, through the engine library.
#include <gtest/gtest.h>

#include "config.h"
#include "history.h"
#include "vanto/vanto.h"

namespace {

using vantoserver::ConfigError;
using vantoserver::parse_config;

TEST(ConfigTest, GeneratedNamesPlaceholdersAndMergedBlocks) {
  const auto config = parse_config(R"(
[[device]]
facility = "F"
name_prefix = "D"
device_count = 3
location_prefix = "L"
location_count = 4
  [[device.property]]
  name = "WHERE"
  type = "STRING"
  value = "{facility}/{device}/{location}/{property}"

[[device]]
facility = "F"
name = "D2"
location = "EXTRA"
  [[device.property]]
  name = "N"
  type = "A_DOUBLE"
  value = [1, 2.5]
)",
                                   "test.toml");
  const vantoserver::Registry& r = *config.registry;
  EXPECT_EQ(r.channels().size(), 3u * 4u + 1u);
  const vantoserver::Device* d2 = r.device("F", "D2");
  ASSERT_NE(d2, nullptr);
  ASSERT_EQ(d2->locations.size(), 5u);
  EXPECT_EQ(d2->locations[4]->name, "EXTRA");
  vantoserver::Channel* where = r.find("F/D3/L4/WHERE");
  ASSERT_NE(where, nullptr);
  vanto::EqData value;
  where->read(value, vantoserver::Moment{});
  EXPECT_EQ(value.get_string(), "F/D3/L4/WHERE");
  vantoserver::Channel* n = r.find("F/D2/EXTRA/N");
  ASSERT_NE(n, nullptr);
  n->read(value, vantoserver::Moment{});
  EXPECT_DOUBLE_EQ(value.get_double(1), 2.5);
}

TEST(ConfigTest, FaultyConfigurationsNameTheirLine) {
  struct Case {
    const char* text;
    const char* message;
  };
  const char* head = "[[device]]\nfacility = \"F\"\nname = \"D\"\nlocation = \"L\"\n";
  for (const Case& c : std::vector<Case>{
           {"  [[device.property]]\n  name = \"P\"\n  type = \"IIII\"\n  value = [1, 2]\n",
            "test.toml:8: \"value\" needs 4 numbers"},
           {"  [[device.property]]\n  name = \"SPN\"\n  type = \"INT\"\n", "SPN"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"STRING\"\n  dynamic = \"sine\"\n",
            "numeric scalar"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n  stream_start = true\n",
            "needs \"stream = true\""},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"A_TDS\"\n"
            "  history = { capacity = 0 }\n",
            "history needs"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n"
            "[[route]]\nfacility = \"F\"\nserver = \"h:1\"\n",
            "facility F is served here"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"IMAGE\"\n  width = 100000\n"
            "  height = 100000\n",
            "image size"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"A_TDS\"\n  dynamic = \"flood\"\n",
            "\"flood\" needs a numeric scalar"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n  dynamic = \"flood\"\n"
            "  flood_rate = -1\n",
            "\"flood_rate\" is 0"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n  flood_rate = 10\n",
            "needs dynamic = \"flood\""},
           {"[server]\nevent_rate = 0\n", "event_rate"},
           // Numbers beyond the range of their type are refused, never wrapped.
           {"  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n  value = 3000000000\n",
            "test.toml:8: a number from -2147483648 to 2147483647"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"A_USHORT\"\n  value = [1, -1]\n",
            "a number from 0 to 65535"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"IIII\"\n  value = [1, 2, 3, 1e10]\n",
            "a number from -2147483648"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"FLOAT\"\n  value = 1e300\n",
            "float range"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"STRUCTURE\"\n  value = [300]\n",
            "a byte from -128 to 255"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n  dynamic = \"sine\"\n"
            "  period = nan\n",
            "\"period\" must be a finite number"},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n"
            "[[route]]\nfacility = \"G\"\nserver = \"h:70000\"\n",
            "\"server\" must be \"host:port\""},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n"
            "[[route]]\nfacility = \"G\"\nserver = \"no such host:5601\"\n",
            "\"server\" must be \"host:port\""},
           {"  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n  writeable = true\n",
            "test.toml:8: unknown key \"writeable\" in a property"},
           {"device_count = 2000\nlocation_count = 1000\n"
            "  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n",
            "more than 1000000 channels"}}) {
    try {
      parse_config(std::string(head) + c.text, "test.toml");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ConfigError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

// Values at the limits of their types are kept exactly; a history asked to
// pre-fill more points than it holds makes only those it keeps; a waveform
// that leaves its type's range is held at the limit.
TEST(ConfigTest, NumbersAtTheLimitsOfTheirTypes) {
  const auto config = parse_config(R"(
[[device]]
facility = "F"
name = "D"
location = "L"
  [[device.property]]
  name = "LONG"
  type = "A_LONG"
  value = [9223372036854775807, -9223372036854775808, 9007199254740993]
  [[device.property]]
  name = "INT"
  type = "IIII"
  value = [2147483647, -2147483648, 0, 0]
  [[device.property]]
  name = "HISTORY"
  type = "A_TS_INT"
  history = { capacity = 5, prefill = 1000000000000000000 }
  [[device.property]]
  name = "COUNTER"
  type = "INT"
  dynamic = "counter"
  amplitude = 1e10
)",
                                   "test.toml");
  vanto::EqData value;
  config.registry->find("F/D/L/LONG")->read(value, vantoserver::Moment{});
  EXPECT_EQ(value.get_string(), "9223372036854775807 -9223372036854775808 9007199254740993");
  config.registry->find("F/D/L/INT")->read(value, vantoserver::Moment{});
  EXPECT_EQ(value.get_string(), "2147483647 -2147483648 0 0");
  EXPECT_EQ(config.registry->find("F/D/L/HISTORY")->history()->size(), 5u);
  // A waveform beyond its type's range is held at the limit.
  config.registry->find("F/D/L/COUNTER")->read(value, vantoserver::Moment{0, 0, 1, 1});
  EXPECT_EQ(value.get_int(), 2147483647);
}

// Arrays and record arrays are built whole from their config values, also
// long ones.
TEST(ConfigTest, ArraysAreBuiltWhole) {
  std::string many;
  for (int k = 0; k < 10'000; ++k) many += std::to_string(k) + ",";
  const auto config = parse_config(R"(
[[device]]
facility = "F"
name = "D"
location = "L"
  [[device.property]]
  name = "MANY"
  type = "A_INT"
  value = [)" + many + R"(]
  [[device.property]]
  name = "XY"
  type = "A_XY"
  value = [[1, 2.5], [3, 4]]
  [[device.property]]
  name = "USTR"
  type = "A_USTR"
  value = [{ i1 = 1, f1 = 2, f2 = 3, tm = 4, text = "{location} one" }, { text = "two" }]
  [[device.property]]
  name = "XYZS"
  type = "A_XYZS"
  value = [{ status = 1, x = 2, y = 3, z = 4, loc = "here" }]
  [[device.property]]
  name = "BOOL"
  type = "A_BOOL"
  value = [0, 1, true, 2]
)",
                                   "test.toml");
  const auto text = [&](const char* property) {
    vanto::EqData value;
    config.registry->find(std::string("F/D/L/") + property)->read(value, vantoserver::Moment{});
    return value;
  };
  const vanto::EqData values = text("MANY");
  ASSERT_EQ(values.length(), 10'000);
  EXPECT_EQ(values.get_int(0), 0);
  EXPECT_EQ(values.get_int(9'999), 9'999);
  EXPECT_EQ(text("XY").get_string(), "1 2.5 3 4");
  EXPECT_EQ(text("USTR").get_string(), "1 2 3 4 L one\n0 0 0 0 two");
  EXPECT_EQ(text("XYZS").get_string(), "1 2 3 4 here");
  EXPECT_EQ(text("BOOL").get_string(), "0 1 1 1");
}

TEST(HistoryTest, IntervalAnswersTheNewestPointsOldestFirst) {
  vantoserver::History ring(vanto::DATA_A_TS_INT, 3000, 1);
  for (int k = 0; k < 5000; ++k) ring.push({1000 + k, 0, 0, double(k)});
  EXPECT_EQ(ring.size(), 3000u);  // the oldest 2000 fell out
  vanto::EqData out;
  ring.query(0, 1'000'000, out);
  ASSERT_EQ(out.length(), 2000);
  int64_t sec = 0;
  int msec = 0;
  uint32_t status = 0;
  int value = 0;
  ASSERT_TRUE(out.get_ts_int(&sec, &msec, &status, &value, 0));
  EXPECT_EQ(sec, 4000);
  EXPECT_EQ(value, 3000);
  ASSERT_TRUE(out.get_ts_int(&sec, &msec, &status, &value, 1999));
  EXPECT_EQ(sec, 5999);

  ring.query(3000, 3009, out);  // the ring's oldest ten points
  EXPECT_EQ(out.length(), 10);
  ring.query(100, 200, out);
  EXPECT_EQ(out.length(), 0);
  EXPECT_EQ(out.type(), vanto::DATA_A_TS_INT);
}

}  // namespace
