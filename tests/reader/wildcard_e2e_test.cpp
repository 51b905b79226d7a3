// vantoget end to end: names with '*' in the device, location and property,
// the device listing, -N, -X and -t, against a started vantoserver on the
// TEST.VAC devices (PUMP1, PUMP2, GAUGENG, VALVENG, ABXY; locations L1, L2,
// SRV._SVR; properties ERROR = 0 and NAME = the location's name).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "text_diff.h"

namespace {

using vantotest::pad;

// The -T -H output of names that all hold the same value: the header line of
// the names, then one value per name.
std::string names_and_values(const std::vector<std::string>& names, const std::string& value) {
  if (names.empty()) return "";  // no value line at all
  std::string header, values;
  for (const auto& name : names) {
    header += name + "\t";
    values += value + "\t";
  }
  return header + "\n" + values + "\n";
}

class VantogetWildcard : public vantotest::ServerTest {
 protected:
  static vantotest::ProgramResult run(const std::vector<std::string>& args) {
    return vantotest::run_program(VANTOGET_PATH, args);
  }
  void TearDown() override { server().clear_faults(); }
};

struct DevicePatternCase {
  const char* pattern;
  std::vector<std::string> devices;
};

void PrintTo(const DevicePatternCase& c, std::ostream* os) { *os << c.pattern; }

template <typename Case>
std::string case_name(const ::testing::TestParamInfo<Case>& param) {
  return "Case" + std::to_string(param.index);
}

class DevicePatterns : public VantogetWildcard,
                       public ::testing::WithParamInterface<DevicePatternCase> {};

TEST_P(DevicePatterns, KeepTheDevicesThatBeginAndEndLikeThePattern) {
  const DevicePatternCase& c = GetParam();
  std::vector<std::string> names;
  for (const auto& device : c.devices) names.push_back("TEST.VAC/" + device + "/L1/ERROR");

  const auto r = run({"-T", "-H", "-c", std::string("TEST.VAC/") + c.pattern + "/L1/ERROR"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(names_and_values(names, "0"), r.out);
  EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, DevicePatterns,
    ::testing::Values(DevicePatternCase{"*", {"PUMP1", "PUMP2", "GAUGENG", "VALVENG", "ABXY"}},
                      DevicePatternCase{"P*", {"PUMP1", "PUMP2"}},
                      DevicePatternCase{"*NG", {"GAUGENG", "VALVENG"}},
                      DevicePatternCase{"AB*XY", {"ABXY"}}, DevicePatternCase{"*2", {"PUMP2"}},
                      // A second '*' is an ordinary character: no device ends with "*G".
                      DevicePatternCase{"*N*G", {}}),
    case_name<DevicePatternCase>);

TEST_F(VantogetWildcard, DevicePatternReadsEachDeviceInTheValueLine) {
  const auto r = run({"-c", "TEST.VAC/*NG/L2/NAME"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(pad("L2") + "\t" + pad("L2") + "\t\n", r.out);
}

TEST_F(VantogetWildcard, DevicePatternInAListOfTwoNamesYieldsNothing) {
  const auto r = run({"-T", "-H", "-c", "TEST.VAC/P*/L1/ERROR TEST.SIM/SCALAR/LOC1/INT"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("TEST.SIM/SCALAR/LOC1/INT\t\n42\t\n", r.out);
  EXPECT_EQ(r.err, "");
}

TEST_F(VantogetWildcard, DeviceListingWithNamesOptionPrintsPaddedNamesAndEnds) {
  const auto r = run({"-N", "-c", "TEST.VAC/*"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(pad("PUMP1") + "\n" + pad("PUMP2") + "\n" + pad("GAUGENG") + "\n" +
                       pad("VALVENG") + "\n" + pad("ABXY") + "\n",
                   r.out);

  const auto narrow = run({"-N", "-w", "6", "-c", "TEST.VAC/*NG"});
  EXPECT_EQ(narrow.status, 0) << narrow.err;
  // Padded to the width, never cut.
  EXPECT_SAME_TEXT("GAUGENG\nVALVENG\n", narrow.out);
  const auto pumps = run({"-N", "-w", "6", "-c", "TEST.VAC/P*"});
  EXPECT_SAME_TEXT("PUMP1 \nPUMP2 \n", pumps.out);
}

TEST_F(VantogetWildcard, DeviceListingWithoutNamesOptionPrintsNothing) {
  const auto r = run({"-c", "TEST.VAC/P*"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

TEST_F(VantogetWildcard, FailedDeviceNamesCallIsReportedAndReadsNothing) {
  const auto r = run({"-c", "NO.SUCH.FACILITY/*/L1/ERROR"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "NO.SUCH.FACILITY/*/L1/ERROR device names call: unknown facility NO.SUCH.FACILITY, "
            "error = 119\n");
}

// A wildcard that reads nothing because its names call failed, or because not
// one of the names it stands for could be read, fails the run; the plain
// channel beside it is printed all the same.
struct FailingWildcardCase {
  const char* list;
  const char* out;
  const char* err;
};

void PrintTo(const FailingWildcardCase& c, std::ostream* os) { *os << c.list; }

class FailingWildcards : public VantogetWildcard,
                         public ::testing::WithParamInterface<FailingWildcardCase> {};

TEST_P(FailingWildcards, EndWithStatus1AfterPrintingWhatTheyCould) {
  const FailingWildcardCase& c = GetParam();
  const auto r = run({"-T", "-c", c.list});
  EXPECT_EQ(r.status, 1);
  EXPECT_SAME_TEXT(c.out, r.out);
  EXPECT_SAME_TEXT(c.err, r.err);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailingWildcards,
    ::testing::Values(
        FailingWildcardCase{"NO.SUCH/PUMP1/*/NAME TEST.SIM/SCALAR/LOC1/INT", "42\t\n",
                            "NO.SUCH/PUMP1/*/NAME names call: unknown facility NO.SUCH, "
                            "error = 119\n"},
        FailingWildcardCase{"TEST.VAC/PUMP1/*/NAMEX TEST.SIM/SCALAR/LOC1/INT", "42\t\n",
                            "vantoget: TEST.VAC/PUMP1/*/NAMEX: none of the 3 channels it stands "
                            "for could be read, last error = 102\n"},
        FailingWildcardCase{"TEST.VAC/P*/L1/NOPROP", "",
                            "vantoget: TEST.VAC/P*/L1/NOPROP: none of the 2 channels it stands "
                            "for could be read, last error = 102\n"}),
    case_name<FailingWildcardCase>);

TEST_F(VantogetWildcard, AFailedPassOfALoopFailsTheRun) {
  server().fail_next("TEST.VAC/PUMP2/*/NAME", 5, 1);
  const auto r = run({"-T", "-X", "-l", "2", "-s", "0", "-c", "TEST.VAC/PUMP2/*/NAME"});
  EXPECT_EQ(r.status, 1);
  EXPECT_SAME_TEXT("L1\tL2\t\n", r.out);  // the second pass
  EXPECT_TRUE(r.err.starts_with("TEST.VAC/PUMP2/*/NAME names call: ")) << r.err;
  EXPECT_TRUE(r.err.ends_with(", error = 5\n")) << r.err;
}

TEST_F(VantogetWildcard, LocationPatternReadsEveryLocationInAnswerOrder) {
  const auto r = run({"-T", "-H", "-c", "TEST.VAC/PUMP1/*/NAME"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(
      "TEST.VAC/PUMP1/L1/NAME\tTEST.VAC/PUMP1/L2/NAME\tTEST.VAC/PUMP1/SRV._SVR/NAME\t\n"
      "L1\tL2\tSRV._SVR\t\n",
      r.out);
  // The text around the '*' is no filter: every location of the answer (the
  // man page's example is L*).
  for (const char* pattern : {"TEST.VAC/PUMP1/X*Y/NAME", "TEST.VAC/PUMP1/L*/NAME"}) {
    EXPECT_SAME_TEXT("L1\tL2\tSRV._SVR\t\n", run({"-T", "-c", pattern}).out);
  }
}

TEST_F(VantogetWildcard, ExcludeServerOptionLeavesOutServerLocations) {
  const auto values = run({"-X", "-T", "-c", "TEST.VAC/PUMP2/*/NAME"});
  EXPECT_EQ(values.status, 0) << values.err;
  EXPECT_SAME_TEXT("L1\tL2\t\n", values.out);

  const auto listing = run({"-X", "-N", "-c", "TEST.VAC/PUMP2/*"});
  EXPECT_EQ(listing.status, 0) << listing.err;
  EXPECT_SAME_TEXT("TEST.VAC/PUMP2/L1\nTEST.VAC/PUMP2/L2\n", listing.out);

  const auto named = run({"-X", "-N", "-c", "TEST.VAC/PUMP2/*/NAME"});
  EXPECT_SAME_TEXT(
      pad("TEST.VAC/PUMP2/L1/NAME") + " L1\n" + pad("TEST.VAC/PUMP2/L2/NAME") + " L2\n", named.out);
}

TEST_F(VantogetWildcard, LocationListingWithNamesOptionPrintsEachLocation) {
  const auto r = run({"-N", "-c", "TEST.VAC/ABXY/*"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("TEST.VAC/ABXY/L1\nTEST.VAC/ABXY/L2\nTEST.VAC/ABXY/SRV._SVR\n", r.out);
}

TEST_F(VantogetWildcard, LocationPatternWithNamesOptionPrintsNameAndValue) {
  const auto r = run({"-N", "-c", "TEST.VAC/GAUGENG/*/NAME"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(pad("TEST.VAC/GAUGENG/L1/NAME") + " L1\n" + pad("TEST.VAC/GAUGENG/L2/NAME") +
                       " L2\n" + pad("TEST.VAC/GAUGENG/SRV._SVR/NAME") + " SRV._SVR\n",
                   r.out);
}

TEST_F(VantogetWildcard, PropertyPatternTakesTheFirstWordOfEachEntry) {
  // The answer entries are "ERROR error code of the location" and
  // "NAME location name".
  const auto r = run({"-T", "-H", "-c", "TEST.VAC/VALVENG/L2/*"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("TEST.VAC/VALVENG/L2/ERROR\tTEST.VAC/VALVENG/L2/NAME\t\n0\tL2\t\n", r.out);

  const auto listing = run({"-N", "-w", "30", "-c", "TEST.VAC/VALVENG/L2/*"});
  EXPECT_EQ(listing.status, 0) << listing.err;
  EXPECT_SAME_TEXT(
      pad("TEST.VAC/VALVENG/L2/ERROR", 30) + " 0\n" + pad("TEST.VAC/VALVENG/L2/NAME", 30) + " L2\n",
      listing.out);
}

TEST_F(VantogetWildcard, DeviceAndLocationPatternsTogether) {
  const auto r = run({"-X", "-T", "-H", "-c", "TEST.VAC/*NG/*/NAME"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(
      "TEST.VAC/GAUGENG/L1/NAME\tTEST.VAC/GAUGENG/L2/NAME\t"
      "TEST.VAC/VALVENG/L1/NAME\tTEST.VAC/VALVENG/L2/NAME\t\n"
      "L1\tL2\tL1\tL2\t\n",
      r.out);
}

TEST_F(VantogetWildcard, WildcardNamesSitBesidePlainNamesInListOrder) {
  const auto r = run(
      {"-T", "-c", "TEST.SIM/SCALAR/LOC1/INT TEST.VAC/PUMP1/*/ERROR TEST.SIM/SCALAR/LOC1/FLOAT"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("42\t0\t0\t0\t1.5\t\n", r.out);
}

TEST_F(VantogetWildcard, TypeLinesOncePerNameInTheFirstIterationOnly) {
  const auto r = run({"-t", "-T", "-l", "2", "-s", "0", "-X", "-c", "TEST.VAC/PUMP1/*/ERROR"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(
      "vantoget: type of TEST.VAC/PUMP1/L1/ERROR = INT\n"
      "vantoget: type of TEST.VAC/PUMP1/L2/ERROR = INT\n"
      "0\t0\t\n"
      "0\t0\t\n",
      r.out);

  const auto devices = run({"-t", "-T", "-l", "2", "-s", "0", "-c", "TEST.VAC/AB*/L1/NAME"});
  EXPECT_EQ(devices.status, 0) << devices.err;
  EXPECT_SAME_TEXT("vantoget: type of TEST.VAC/ABXY/L1/NAME = STRING\nL1\t\nL1\t\n", devices.out);
}

TEST_F(VantogetWildcard, NamesOptionRepeatsTheListingInEveryIteration) {
  const auto r = run({"-N", "-X", "-l", "2", "-s", "0", "-c", "TEST.VAC/PUMP1/*"});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string once = "TEST.VAC/PUMP1/L1\nTEST.VAC/PUMP1/L2\n";
  EXPECT_SAME_TEXT(once + once, r.out);
}

TEST_F(VantogetWildcard, FailedNamesCallIsReportedAndTheRunGoesOn) {
  server().fail_always("TEST.VAC/PUMP1/*/NAME", 5);
  const auto r = run({"-T", "-c", "TEST.VAC/PUMP1/*/NAME TEST.SIM/SCALAR/LOC1/INT"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_SAME_TEXT("42\t\n", r.out);
  EXPECT_EQ(r.err.rfind("TEST.VAC/PUMP1/*/NAME names call: ", 0), 0u) << r.err;
  EXPECT_TRUE(r.err.ends_with(", error = 5\n")) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST_F(VantogetWildcard, BusyServerIsAskedAgainForTheNames) {
  server().fail_next("TEST.VAC/PUMP2/*/NAME", 100, 1);
  const auto r = run({"-R", "2", "-X", "-T", "-c", "TEST.VAC/PUMP2/*/NAME"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("L1\tL2\t\n", r.out);
  EXPECT_EQ(r.err, "");
}

TEST_F(VantogetWildcard, BusyExpandedNameIsAskedAgainWithRetries) {
  // The composed names are read together; the one that met a busy server is
  // read again on its own and keeps its place in the line.
  server().fail_next("TEST.VAC/PUMP1/L2/NAME", 101, 1);
  const auto r = run({"-R", "2", "-T", "-H", "-X", "-c", "TEST.VAC/PUMP1/*/NAME"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("TEST.VAC/PUMP1/L1/NAME\tTEST.VAC/PUMP1/L2/NAME\t\nL1\tL2\t\n", r.out);
  EXPECT_EQ(r.err, "");
  // With a single attempt the busy name is skipped like any unreadable one.
  server().fail_next("TEST.VAC/PUMP1/L2/NAME", 101, 1);
  const auto once = run({"-R", "1", "-T", "-H", "-X", "-c", "TEST.VAC/PUMP1/*/NAME"});
  EXPECT_EQ(once.status, 0) << once.err;
  EXPECT_SAME_TEXT("TEST.VAC/PUMP1/L1/NAME\t\nL1\t\n", once.out);
}

TEST_F(VantogetWildcard, UnreadableExpandedNamesAreSkippedSilently) {
  server().fail_always("TEST.VAC/PUMP1/L2/NAME", 5);
  const auto r = run({"-T", "-H", "-X", "-c", "TEST.VAC/PUMP1/*/NAME"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("TEST.VAC/PUMP1/L1/NAME\t\nL1\t\n", r.out);
  EXPECT_EQ(r.err, "");
}

TEST_F(VantogetWildcard, NamesOfADirectlyAddressedServerAreReadFromThatServer) {
  // The name service is out of reach: only the server in the names counts.
  const std::string direct = server().direct("");
  const auto r = vantotest::run_program(
      VANTOGET_PATH,
      {"-T", "-X", "-c", direct + "TEST.VAC/PUMP1/*/NAME " + direct + "TEST.SIM/SCALAR/LOC1/INT"},
      "", {{"VANTO_ENS", "127.0.0.1:1"}});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("L1\tL2\t42\t\n", r.out);
}

}  // namespace
