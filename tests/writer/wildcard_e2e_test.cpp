// vantoput with a wildcard address against a server of its own: which
// channels are written is checked through a second client.
#include <gtest/gtest.h>
#include <vanto/errors.h>

#include <algorithm>
#include <string>
#include <vector>

#include "put_fixture.h"
#include "text_diff.h"

namespace {

using writertest::kVacDevices;
using writertest::kVacLocations;
using writertest::vac_addresses;

class WildcardE2E : public writertest::PutFixture {
 protected:
  // Every ERROR channel of TEST.VAC holds `value` when it is listed, else 0.
  void expect_written(const std::vector<std::string>& written, const std::string& value) {
    for (const std::string& address : vac_addresses(kVacDevices, kVacLocations)) {
      const bool listed = std::find(written.begin(), written.end(), address) != written.end();
      EXPECT_EQ(read_text(address), listed ? value : "0") << address;
    }
  }
  static std::string repeated(const std::string& line, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += line;
    return text;
  }
};

struct PatternCase {
  std::string channel;
  std::vector<std::string> written;
};
// Names each case in test listings by its pattern.
void PrintTo(const PatternCase& c, std::ostream* os) { *os << c.channel; }

class WildcardPatterns : public WildcardE2E, public ::testing::WithParamInterface<PatternCase> {};

TEST_P(WildcardPatterns, WritesEveryChannelThePatternStandsForAndNoOther) {
  const PatternCase& c = GetParam();
  const vantotest::ProgramResult r = put({"-c", c.channel, "-d", "7"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, repeated("7\n", c.written.size()));
  expect_written(c.written, "7");
}

INSTANTIATE_TEST_SUITE_P(
    DeviceAndLocationPatterns, WildcardPatterns,
    ::testing::Values(
        PatternCase{"TEST.VAC/*/*/ERROR", vac_addresses(kVacDevices, kVacLocations)},
        PatternCase{"TEST.VAC/P*/*/ERROR", vac_addresses({"PUMP1", "PUMP2"}, kVacLocations)},
        PatternCase{"TEST.VAC/*NG/*/ERROR", vac_addresses({"GAUGENG", "VALVENG"}, kVacLocations)},
        // Prefix ABX and suffix XY overlap in ABXY.
        PatternCase{"TEST.VAC/ABX*XY/*/ERROR", vac_addresses({"ABXY"}, kVacLocations)},
        PatternCase{"TEST.VAC/PU*2/*/ERROR", vac_addresses({"PUMP2"}, kVacLocations)},
        // A wildcard only in the device keeps the location as it is.
        PatternCase{"TEST.VAC/P*/L2/ERROR", vac_addresses({"PUMP1", "PUMP2"}, {"L2"})},
        PatternCase{"TEST.VAC/PUMP2/*/ERROR", vac_addresses({"PUMP2"}, kVacLocations)}));

TEST_F(WildcardE2E, VerboseNumbersEachAddressBeforeItsWrite) {
  const vantotest::ProgramResult r = put({"-V", "-c", "TEST.VAC/*NG/*/ERROR", "-d", "3"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(
      "0: setting  TEST.VAC/GAUGENG/L1/ERROR  =  3\n3\n"
      "1: setting  TEST.VAC/GAUGENG/L2/ERROR  =  3\n3\n"
      "2: setting  TEST.VAC/GAUGENG/SRV._SVR/ERROR  =  3\n3\n"
      "3: setting  TEST.VAC/VALVENG/L1/ERROR  =  3\n3\n"
      "4: setting  TEST.VAC/VALVENG/L2/ERROR  =  3\n3\n"
      "5: setting  TEST.VAC/VALVENG/SRV._SVR/ERROR  =  3\n3\n",
      r.out);
  expect_written(vac_addresses({"GAUGENG", "VALVENG"}, kVacLocations), "3");
}

TEST_F(WildcardE2E, TestFlagPrintsTheAddressesAndWritesNothing) {
  const vantotest::ProgramResult r = put({"-T", "-c", "TEST.VAC/P*/L1/ERROR", "-d", "9"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_SAME_TEXT(
      "0: setting  TEST.VAC/PUMP1/L1/ERROR  =  9\n"
      "1: setting  TEST.VAC/PUMP2/L1/ERROR  =  9\n",
      r.out);
  expect_written({}, "9");
}

TEST_F(WildcardE2E, PatternSelectingNoDeviceIsAFailure) {
  for (const std::string channel : {"TEST.VAC/*NG*/*/ERROR", "TEST.VAC/Q*/*/ERROR"}) {
    const vantotest::ProgramResult r = put({"-c", channel, "-d", "5"});
    EXPECT_EQ(r.status, 1) << channel;
    EXPECT_EQ(r.out, "illegal address " + channel + " !\n");
    EXPECT_EQ(r.err, "");
  }
  expect_written({}, "5");
}

TEST_F(WildcardE2E, UnreadableDeviceListIsReportedAndAFailure) {
  const std::string channel = "TEST.NONE/*/*/ERROR";
  const vantotest::ProgramResult r = put({"-c", channel, "-d", "5"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "illegal address " + channel + " !\n");
  EXPECT_EQ(r.err.rfind(channel + " device names call: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find(", res.error() = 119\n"), std::string::npos) << r.err;
}

TEST_F(WildcardE2E, BusyServerIsAskedAgainForTheDeviceList) {
  server().fail_next("TEST.VAC/*/L1/ERROR", vanto::unavail_serv, 2);
  const vantotest::ProgramResult r = put({"-c", "TEST.VAC/*/L1/ERROR", "-d", "4"});
  EXPECT_EQ(r.status, 0) << r.err;
  expect_written(vac_addresses(kVacDevices, {"L1"}), "4");
}

TEST_F(WildcardE2E, DeviceListStillBusyAfterThreeAttemptsWritesNothing) {
  server().fail_next("TEST.VAC/*/L1/ERROR", vanto::unavail_serv, 3);
  const vantotest::ProgramResult r = put({"-c", "TEST.VAC/*/L1/ERROR", "-d", "4"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(" device names call: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(", res.error() = 100\n"), std::string::npos) << r.err;
  expect_written({}, "4");
}

TEST_F(WildcardE2E, DeviceWhoseLocationsCannotBeListedIsPassedOverAndReported) {
  server().fail_always("TEST.VAC/PUMP1/*/ERROR", vanto::ill_parameter);
  const vantotest::ProgramResult r = put({"-c", "TEST.VAC/P*/*/ERROR", "-d", "6"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("TEST.VAC/P*/*/ERROR names call: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find(", res.error() = 5\n"), std::string::npos) << r.err;
  // The devices after it are still written.
  expect_written(vac_addresses({"PUMP2"}, kVacLocations), "6");
}

TEST_F(WildcardE2E, OneFailedWriteFailsTheRunButNotTheOtherWrites) {
  server().fail_next("TEST.VAC/PUMP1/L2/ERROR", vanto::ill_parameter, 1);
  const vantotest::ProgramResult r = put({"-c", "TEST.VAC/PUMP1/*/ERROR", "-d", "8"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(" , result.error() = 5 for address TEST.VAC/PUMP1/L2/ERROR\n"),
            std::string::npos)
      << r.err;
  expect_written({"TEST.VAC/PUMP1/L1/ERROR", "TEST.VAC/PUMP1/SRV._SVR/ERROR"}, "8");
}

TEST_F(WildcardE2E, ValueThatNoChannelTakesNamesEveryChannel) {
  const vantotest::ProgramResult r = put({"-c", "TEST.VAC/PUMP1/*/ERROR", "-d", "abc"});
  EXPECT_EQ(r.status, 1);
  for (const std::string& address : vac_addresses({"PUMP1"}, kVacLocations)) {
    EXPECT_NE(r.err.find("cannot convert value text to INT for address " + address + ": "),
              std::string::npos)
        << r.err;
  }
}

TEST_F(WildcardE2E, AddressFieldRulesAreReportedOnStandardOutput) {
  const std::string all_fields =
      "ERROR: all address fields (facility/device/location/property) must be non-empty, "
      "wildcards are allowed in device and location !\n";
  const std::string no_wildcard =
      "ERROR: wildcard in facility/property address fields is not allowed!\n";
  const struct {
    std::string channel;
    std::string message;
  } cases[] = {
      {"TEST.VAC/*/*", all_fields},
      {"TEST.VAC/*//ERROR", all_fields},
      {"TEST.*/PUMP1/L1/ERROR", no_wildcard},
      {"TEST.VAC/PUMP1/*/ER*", no_wildcard},
  };
  for (const auto& c : cases) {
    const vantotest::ProgramResult r = put({"-c", c.channel, "-d", "5"});
    EXPECT_EQ(r.status, 1) << c.channel;
    EXPECT_EQ(r.out, c.message + "illegal address " + c.channel + " !\n");
  }
  expect_written({}, "5");
}

// Facilities with more locations per device than one write may expand to,
// and with a device name longer than a device name may be.
TEST_F(WildcardE2E, ExpansionBeyondItsFixedSizesIsRefusedBeforeTheFirstWrite) {
  start_server(vantotest::temp_file(R"([[device]]
facility = "TEST.MANY"
names = ["SMALL"]
locations = ["A", "B"]
  [[device.property]]
  name = "ERROR"
  type = "INT"
  writable = true
  value = 0
[[device]]
facility = "TEST.MANY"
names = ["BIG"]
location_prefix = "L"
location_count = 1001
  [[device.property]]
  name = "ERROR"
  type = "INT"
  writable = true
  value = 0
[[device]]
facility = "TEST.LONG"
names = ["D234567890123456789012345678901234567890123456789012345678901234"]
locations = ["A"]
  [[device.property]]
  name = "ERROR"
  type = "INT"
  writable = true
  value = 0
[[device]]
facility = "TEST.MANY"
names = ["THOUSAND"]
location_prefix = "L"
location_count = 1000
  [[device.property]]
  name = "ERROR"
  type = "INT"
  writable = true
  value = 0
)",
                                    ".toml"));
  const vantotest::ProgramResult r = put({"-c", "TEST.MANY/*/*/ERROR", "-d", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "vantoput: the device BIG has 1001 locations, more than the 1000 one write may "
            "expand to, nothing set\n");
  EXPECT_EQ(read_text("TEST.MANY/SMALL/A/ERROR"), "0");
  EXPECT_EQ(read_text("TEST.MANY/BIG/L1/ERROR"), "0");

  // Names and pattern parts longer than 63 characters are refused, not cut.
  const std::string long_name("D234567890123456789012345678901234567890123456789012345678901234");
  const vantotest::ProgramResult n = put({"-c", "TEST.LONG/D*/A/ERROR", "-d", "2"});
  EXPECT_EQ(n.status, 1);
  EXPECT_EQ(n.err, "vantoput: the device name " + long_name +
                       " is longer than 63 characters, nothing set\n");
  EXPECT_EQ(read_text("TEST.LONG/" + long_name + "/A/ERROR"), "0");
  const vantotest::ProgramResult p = put({"-c", "TEST.LONG/" + long_name + "*/A/ERROR", "-d", "2"});
  EXPECT_EQ(p.status, 1);
  EXPECT_EQ(p.err, "vantoput: the device pattern " + long_name +
                       "* has a part longer than 63 characters, nothing set\n");
  EXPECT_EQ(p.out, "");

  // A thousand are served whole.
  const vantotest::ProgramResult t = put({"-T", "-c", "TEST.MANY/THOUSAND/*/ERROR", "-d", "2"});
  EXPECT_EQ(t.status, 0) << t.err;
  EXPECT_EQ(std::count(t.out.begin(), t.out.end(), '\n'), 1000);
  EXPECT_NE(t.out.find("999: setting  TEST.MANY/THOUSAND/L1000/ERROR  =  2\n"), std::string::npos);
}

}  // namespace
