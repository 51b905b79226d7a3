// vantoput -f: restores of save & restore files into a server of its own,
// every channel read back through a second client.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "put_fixture.h"
#include "restore_from_file.h"
#include "session.h"

namespace {

// A device with a plain and a ".TARGET" property per location, for merges.
const char* const kMagnetConfig = R"([[device]]
facility = "TEST.MAG"
names = ["DIPOLE"]
locations = ["B1", "B2"]
  [[device.property]]
  name = "PS"
  type = "INT"
  writable = true
  value = 0
  [[device.property]]
  name = "PS.TARGET"
  type = "INT"
  writable = true
  value = 0
)";

const std::string kTime = " Tue Dec  8 02:00:00 2026\n ;\n";

std::string sr_file(const std::string& header_and_entries) {
  return vantotest::temp_file(header_and_entries, ".sr");
}

class RestoreE2E : public writertest::PutFixture {};

TEST_F(RestoreE2E, SnapshotWrittenByTheReaderIsRestoredWhole) {
  const std::vector<std::pair<std::string, std::string>> channels = {
      {"TEST.VAC/PUMP1/L1/ERROR", "11"},
      {"TEST.VAC/PUMP2/L2/ERROR", "12"},
      {"TEST.VAC/GAUGENG/SRV._SVR/ERROR", "13"}};
  std::string source = "//Save_&_Restore//\n source ;\n" + kTime;
  for (const auto& [address, value] : channels) {
    write_int(address, std::stoi(value));
    std::string fields = address;
    std::replace(fields.begin(), fields.end(), '/', ' ');
    source += fields + "\t1\t0\t;\n";
  }
  const std::string snapshot = vantotest::temp_dir() + "/snapshot.sr";
  const vantotest::ProgramResult saved = run("vantoget", {"-f", sr_file(source), "-b", snapshot});
  ASSERT_EQ(saved.status, 0) << saved.err;
  // The snapshot's header is four lines: its first entry stands on line 5.
  std::ifstream in(snapshot);
  std::string line;
  for (int i = 0; i < 5; ++i) std::getline(in, line);
  ASSERT_EQ(line.rfind("TEST.VAC PUMP1 L1 ERROR\t1\t11", 0), 0u) << line;

  for (const auto& [address, value] : channels) write_int(address, 0);
  const vantotest::ProgramResult r = put({"-f", snapshot});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "11\n12\n13\n");
  for (const auto& [address, value] : channels) EXPECT_EQ(read_text(address), value) << address;
}

TEST_F(RestoreE2E, ValuesOfEveryShapeKeepEveryWord) {
  const vantotest::ProgramResult r =
      put({"-f", sr_file("//Save_&_Restore//\n c ;\n" + kTime +
                         "TEST.SIM SCALAR LOC1 IIII\t14\t5 6 7 8;\n"
                         "TEST.SIM ARRAY LOC1 A_INT\t105\t9 8 7\t;\n"
                         "TEST.SIM SCALAR LOC1 STRING\t3\tgood  day\t;\n"
                         "TEST.SIM SCALAR LOC1 FLOAT 2 0.75 ;\n")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "5 6 7 8\n9 8 7\ngood  day\n0.75\n");
  EXPECT_EQ(read_text("TEST.SIM/SCALAR/LOC1/IIII"), "5 6 7 8");
  EXPECT_EQ(read_text("TEST.SIM/ARRAY/LOC1/A_INT"), "9 8 7");
  EXPECT_EQ(read_text("TEST.SIM/SCALAR/LOC1/STRING"), "good  day");
  EXPECT_EQ(read_text("TEST.SIM/SCALAR/LOC1/FLOAT"), "0.75");
}

TEST_F(RestoreE2E, EntriesWithBlankOrMissingValuesAreNotWritten) {
  write_int("TEST.VAC/PUMP1/L1/ERROR", 5);
  write_int("TEST.VAC/PUMP1/L2/ERROR", 5);
  const vantotest::ProgramResult r = put({"-f", sr_file("//Save_&_Restore//\n c ;\n" + kTime +
                                                        "TEST.VAC PUMP1 L1 ERROR\t1\t \t;\n"
                                                        "TEST.VAC PUMP1 L2 ERROR\t1\n"
                                                        "TEST.VAC PUMP2 L1 ERROR\t1\t3\t;\n")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "3\n");
  EXPECT_EQ(read_text("TEST.VAC/PUMP1/L1/ERROR"), "5");
  EXPECT_EQ(read_text("TEST.VAC/PUMP1/L2/ERROR"), "5");
  EXPECT_EQ(read_text("TEST.VAC/PUMP2/L1/ERROR"), "3");
}

TEST_F(RestoreE2E, FailedEntryFailsTheRunButTheOthersAreWritten) {
  const vantotest::ProgramResult r = put({"-f", sr_file("//Save_&_Restore//\n c ;\n" + kTime +
                                                        "TEST.VAC PUMP1 L1 ERROR\t1\t1\t;\n"
                                                        "TEST.VAC PUMP1 L1 NAME\t3\tx\t;\n"
                                                        "TEST.VAC PUMP2 L1 ERROR\t1\t2\t;\n")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(" , result.error() = "), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "1\n2\n");
  EXPECT_EQ(read_text("TEST.VAC/PUMP1/L1/NAME"), "L1");
  EXPECT_EQ(read_text("TEST.VAC/PUMP2/L1/ERROR"), "2");
}

TEST_F(RestoreE2E, UnusableFilesAreRefusedBeforeAnyWrite) {
  std::string too_many = "//Save_&_Restore//\n c ;\n" + kTime;
  for (int i = 0; i < 1001; ++i) too_many += "TEST.VAC PUMP1 L1 ERROR\t1\t9\t;\n";
  const std::string too_many_file = sr_file(too_many);
  const std::string long_line_file = sr_file("//Save_&_Restore//\n c ;\n" + kTime +
                                             "TEST.VAC PUMP1 L1 ERROR\t1\t9\t;\n"
                                             "TEST.VAC PUMP1 L2 ERROR\t1\t9" +
                                             std::string(1000, ' ') + ";\n");
  const std::string unclosed_file = sr_file("//Save_&_Restore//\n no end of comment\n");
  const std::string missing = vantotest::temp_dir() + "/missing.sr";
  const struct {
    std::string file;
    std::string err;
  } cases[] = {
      {sr_file("//Save_&_Restore_R_O//\n c ;\n" + kTime + "TEST.VAC PUMP1 L1 ERROR\t1\t9\t;\n"),
       "This is not a save&restore file \n"},
      {sr_file("TEST.VAC PUMP1 L1 ERROR\t1\t9\t;\n"), "This is not a save&restore file \n"},
      {missing, "Cannot open file! \n"},
      {sr_file(""), ""},
      {too_many_file,
       "vantoput: " + too_many_file + " holds more than 1000 entries, nothing restored\n"},
      {long_line_file, "vantoput: line 6 of " + long_line_file +
                           " is longer than 998 characters, nothing restored\n"},
      {unclosed_file, "vantoput: the header of " + unclosed_file +
                          " ends before its comment and time are closed by \";\", nothing "
                          "restored\n"},
  };
  for (const auto& c : cases) {
    const vantotest::ProgramResult r = put({"-f", c.file});
    EXPECT_EQ(r.status, 1) << c.file;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(read_text("TEST.VAC/PUMP1/L1/ERROR"), "0");
}

TEST_F(RestoreE2E, FileWithoutEntriesIsDoneWithNothingWritten) {
  const vantotest::ProgramResult r =
      put({"-f", sr_file("//Save_&_Restore//\n c ;\n" + kTime + "TST x\n\n")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
}

// The files of the engine's other writer: a merge line makes a five-line header.
class MergeRestore : public writertest::PutFixture {
 protected:
  void SetUp() override { start_server(vantotest::temp_file(kMagnetConfig, ".toml")); }

  std::string file(const std::string& merge_line) {
    return sr_file("//Save_&_Restore//\n" + merge_line + " comment ;\n" + kTime +
                   "TEST.MAG DIPOLE B1 PS\t1\t21\t;\n"
                   "TEST.MAG DIPOLE B2 PS\t1\t22\t;\n");
  }
  // The values of B1, B2 of property.
  std::string values(const std::string& property) {
    return read_text("TEST.MAG/DIPOLE/B1/" + property) + " " +
           read_text("TEST.MAG/DIPOLE/B2/" + property);
  }
};

TEST_F(MergeRestore, MergeLineIsUsedOnlyWithC) {
  const std::string merged = file(" <Merge_addr: ///.TARGET >\n");
  const vantotest::ProgramResult plain = put({"-f", merged});
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, "21\n22\n");
  EXPECT_EQ(values("PS"), "21 22");
  EXPECT_EQ(values("PS.TARGET"), "0 0");

  const vantotest::ProgramResult r = put({"-C", "-f", merged});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "21\n22\n");
  EXPECT_EQ(values("PS.TARGET"), "21 22");
}

TEST_F(MergeRestore, MergeAddressOfTheCommandLineWins) {
  // The file's merge address names another location; -c replaces it.
  const vantotest::ProgramResult r =
      put({"-C", "-c", "///.TARGET", "-f", file(" <Merge_addr: //B2/ >\n")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(values("PS.TARGET"), "21 22");
  EXPECT_EQ(values("PS"), "0 0");
}

TEST_F(MergeRestore, MergeAddressWithoutCIsIgnored) {
  const vantotest::ProgramResult r = put({"-c", "///.TARGET", "-f", file("")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(values("PS"), "21 22");
  EXPECT_EQ(values("PS.TARGET"), "0 0");
}

TEST_F(MergeRestore, FileMergeAddressLongerThanItsTextIsRefused) {
  const std::string merge = "///" + std::string(77, 'X');
  const std::string path = file(" <Merge_addr: " + merge + " >\n");
  const vantotest::ProgramResult r = put({"-C", "-f", path});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vantoput: the merge address of " + path +
                       " is longer than 79 characters, nothing restored\n");
  EXPECT_EQ(values("PS"), "0 0");
}

TEST_F(RestoreE2E, DelayOptionIsAcceptedInEveryForm) {
  const std::string path = sr_file("//Save_&_Restore//\n c ;\n" + kTime +
                                   "TEST.VAC PUMP1 L1 ERROR\t1\t1\t;\n"
                                   "TEST.VAC PUMP1 L2 ERROR\t1\t2\t;\n");
  for (const std::string delay : {"0", "2.7", "-3"}) {
    const vantotest::ProgramResult r = put({"-D", delay, "-f", path});
    EXPECT_EQ(r.status, 0) << delay << ": " << r.err;
    EXPECT_EQ(r.out, "1\n2\n") << delay;
  }
  // A delay beyond the range is clamped, not refused (the pause itself is
  // observed in PauseFollowsEverySuccessfulWriteOnly).
  const vantotest::ProgramResult r =
      put({"-D", "5000", "-f",
           sr_file("//Save_&_Restore//\n c ;\n" + kTime + "TEST.VAC PUMP2 L2 ERROR\t1\t4\t;\n")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_text("TEST.VAC/PUMP2/L2/ERROR"), "4");
}

// The restore itself, in this process, with the pause observed.
TEST_F(RestoreE2E, PauseFollowsEverySuccessfulWriteOnly) {
  const std::string host = "vanto://127.0.0.1:" + std::to_string(server().port()) + "/TEST.VAC";
  const std::string path =
      sr_file("//Save_&_Restore//\n c ;\n" + kTime + host + " PUMP1 L1 ERROR\t1\t1\t;\n" + host +
              " PUMP1 L1 NAME\t3\tno\t;\n" + host + " PUMP1 L2 ERROR\t1\t2\t;\n");
  using std::chrono::microseconds;
  const struct {
    bool delay_flag;
    unsigned long delay;
    std::vector<microseconds> pauses;
  } cases[] = {
      {false, 0, {}},
      {true, 0, {microseconds(1000), microseconds(1000)}},
      {true, 2, {microseconds(2000), microseconds(2000)}},
      {true, 5000, {microseconds(999'999), microseconds(999'999)}},
  };
  for (const auto& c : cases) {
    std::ostringstream out, err;
    vantoput::WriterSession session(out, err);
    std::vector<microseconds> pauses;
    vantoput::RestoreRequest request;
    request.filename = path;
    request.delay_flag = c.delay_flag;
    request.delay = c.delay;
    request.pause = [&](microseconds d) { pauses.push_back(d); };
    EXPECT_EQ(vantoput::restore_from_file(session, request), 1);  // the NAME entry fails
    EXPECT_EQ(out.str(), "1\n2\n");
    EXPECT_EQ(pauses, c.pauses) << c.delay;
  }
}

}  // namespace
