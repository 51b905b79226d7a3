// vantoput -f: restores of save & restore files into a server of its own,
// every channel read back through a second client.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "put_fixture.h"
#include "restore_from_file.h"
#include "session.h"
#include "text_diff.h"

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
  EXPECT_SAME_TEXT("11\n12\n13\n", r.out);
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
  EXPECT_SAME_TEXT("5 6 7 8\n9 8 7\ngood  day\n0.75\n", r.out);
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
  EXPECT_SAME_TEXT("1\n2\n", r.out);
  EXPECT_EQ(read_text("TEST.VAC/PUMP1/L1/NAME"), "L1");
  EXPECT_EQ(read_text("TEST.VAC/PUMP2/L1/ERROR"), "2");
}

// Among many entries, one whose value text cannot be written is named, with
// and without -D (which writes the entries one by one).
TEST_F(RestoreE2E, EntriesWhoseValuesCannotBeWrittenAreNamed) {
  const std::string path = sr_file("//Save_&_Restore//\n c ;\n" + kTime +
                                   "TEST.VAC PUMP1 L1 ERROR\t1\tabc\t;\n"
                                   "TEST.SIM ARRAY LOC1 SPECTRUM\t19\t#comment=x\t;\n"
                                   "TEST.VAC PUMP2 L1 ERROR\t1\t4\t;\n");
  for (const std::vector<std::string>& delay : {std::vector<std::string>{}, {"-D", "1"}}) {
    std::vector<std::string> args = {"-f", path};
    args.insert(args.end(), delay.begin(), delay.end());
    const vantotest::ProgramResult r = put(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "4\n");
    EXPECT_NE(r.err.find("cannot convert value text to INT for address TEST.VAC/PUMP1/L1/ERROR: "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("vantoput: nothing set for address TEST.SIM/ARRAY/LOC1/SPECTRUM\n"),
              std::string::npos)
        << r.err;
  }
  EXPECT_EQ(read_text("TEST.VAC/PUMP1/L1/ERROR"), "0");
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
  const std::string directory = vantotest::temp_dir();
  const std::string fifo = directory + "/fifo.sr";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string entries =
      "TEST.VAC PUMP1 L1 ERROR\t1\t9\t;\nTEST.VAC PUMP1 L2 ERROR\t1\t9\t;\n";
  // The comment lacks its ";": the header must not swallow the entries.
  const std::string swallowing_file =
      sr_file("//Save_&_Restore//\n no end\n Tue Dec  8 02:00:00 2026\n\n\n" + entries + entries);
  const std::string two_merges_file = sr_file(
      "//Save_&_Restore//\n<Merge_addr: ///.A >\n<Merge_addr: ///.B >\n c ;\n" + kTime + entries);
  const std::string nul_file =
      sr_file("//Save_&_Restore//\n c ;\n" + kTime + "TEST.VAC PUMP1 L1 ERROR\t1\t9" +
              std::string(1, '\0') + "9\t;\n");
  const struct {
    std::string file;
    std::string err;
  } cases[] = {
      {sr_file("//Save_&_Restore_R_O//\n c ;\n" + kTime + "TEST.VAC PUMP1 L1 ERROR\t1\t9\t;\n"),
       "This is not a save&restore file \n"},
      {sr_file("TEST.VAC PUMP1 L1 ERROR\t1\t9\t;\n"), "This is not a save&restore file \n"},
      {missing, "Cannot open file! \nvantoput: " + missing + ": No such file or directory\n"},
      {directory, "Cannot open file! \nvantoput: " + directory + ": is a directory\n"},
      {fifo, "Cannot open file! \nvantoput: " + fifo + ": is a FIFO, not a regular file\n"},
      {"/dev/zero", "Cannot open file! \nvantoput: /dev/zero: is a device, not a regular file\n"},
      {swallowing_file, "vantoput: line 6 of " + swallowing_file +
                            " is an entry, but the header above it is not closed (the comment "
                            "and the time each end with \";\"), nothing restored\n"},
      {two_merges_file, "vantoput: line 3 of " + two_merges_file +
                            " names a second, different merge address, nothing restored\n"},
      {nul_file, "vantoput: line 5 of " + nul_file + " holds a NUL byte, nothing restored\n"},
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
  EXPECT_EQ(read_text("TEST.VAC/PUMP1/L2/ERROR"), "0");
}

// An entry whose facility is shorter than four characters is not restored,
// but never silently: a snapshot of such a channel would otherwise come
// back incomplete with status 0.
TEST_F(RestoreE2E, EntryWithAShortFacilityIsNamedAndFailsTheRun) {
  const std::string path = sr_file("//Save_&_Restore//\n c ;\n" + kTime +
                                   "LAB DEV L1 P\t1\t5\t;\n"
                                   "TEST.VAC PUMP2 L2 ERROR\t1\t6\t;\n");
  for (const std::vector<std::string>& delay : {std::vector<std::string>{}, {"-D", "1"}}) {
    std::vector<std::string> args = {"-f", path};
    args.insert(args.end(), delay.begin(), delay.end());
    const vantotest::ProgramResult r = put(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vantoput: line 5 of " + path +
                         ": the facility \"LAB\" is shorter than 4 characters, this entry is "
                         "not restored\n");
    EXPECT_EQ(r.out, "6\n");
  }
  EXPECT_EQ(read_text("TEST.VAC/PUMP2/L2/ERROR"), "6");
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
  EXPECT_SAME_TEXT("21\n22\n", plain.out);
  EXPECT_EQ(values("PS"), "21 22");
  EXPECT_EQ(values("PS.TARGET"), "0 0");

  const vantotest::ProgramResult r = put({"-C", "-f", merged});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("21\n22\n", r.out);
  EXPECT_EQ(values("PS.TARGET"), "21 22");
}

TEST_F(MergeRestore, MergeLineInAnyFormAndPlaceIsUsedWithC) {
  for (const std::string header : {
           "//Save_&_Restore//\n comment ;\n <Merge_addr: ///.TARGET >\n",  // third line
           "//Save_&_Restore//\n<Merge_addr:///.TARGET >\n comment ;\n",    // no blank after ":"
           "//Save_&_Restore//\n <Merge_addr: ///.TARGET>\n comment ;\n",   // ">" glued
       }) {
    const std::string path = sr_file(header + kTime + "TEST.MAG DIPOLE B1 PS\t1\t21\t;\n");
    const vantotest::ProgramResult plain = put({"-f", path});  // without -C: no merge
    EXPECT_EQ(plain.status, 0) << header << plain.err;
    const vantotest::ProgramResult r = put({"-C", "-f", path});
    EXPECT_EQ(r.status, 0) << header << r.err;
    EXPECT_EQ(read_text("TEST.MAG/DIPOLE/B1/PS.TARGET"), "21") << header;
    write_int("TEST.MAG/DIPOLE/B1/PS.TARGET", 0);
  }
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
  const std::string host = server().direct("TEST.VAC");
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
    EXPECT_SAME_TEXT("1\n2\n", out.str());
    EXPECT_EQ(pauses, c.pauses) << c.delay;
  }
}

}  // namespace

namespace {

// One channel of every type of the demo installation.
std::vector<std::string> one_channel_per_type() {
  std::vector<std::string> addresses;
  for (const char* p :
       {"INT",      "FLOAT",     "DOUBLE", "BOOL",    "SHORT",     "USHORT",    "UINT",
        "LONG",     "ULONG",     "STRING", "TEXT",    "XML",       "XY",        "IIII",
        "IFFF",     "TTII",      "TDS",    "USTR",    "XYZS",      "A_USTR",    "A_XYZS",
        "A_FLOAT",  "A_DOUBLE",  "A_INT",  "A_SHORT", "A_USHORT",  "A_UINT",    "A_LONG",
        "A_ULONG",  "A_BOOL",    "A_XY",   "A_BYTE",  "STRUCTURE", "MDA_FLOAT", "MDA_DOUBLE",
        "SPECTRUM", "GSPECTRUM", "IMAGE"})
    addresses.push_back(std::string("TEST.SIM/TYPES/LOC1/") + p);
  addresses.push_back("TEST.SIM/HIST/LOC1/HIST");
  for (const char* p : {"TS_FLOAT", "TS_INT", "TS_DOUBLE", "TS_BOOL", "TS_LONG"})
    addresses.push_back(std::string("TEST.SIM/HISTORY/LOC1/") + p);
  return addresses;
}

// Values no save & restore file can hold: an image has no text form to
// write back, a history is far longer than a value.
bool has_no_file_form(const std::string& address) {
  return address.find("/IMAGE") != std::string::npos || address.find("/HIST") != std::string::npos;
}

vanto::EqData read_at(const vantotest::ServerProcess& server, const std::string& address) {
  vanto::EqData out = server.read(address);
  EXPECT_EQ(out.error(), 0) << address << ": " << out.error_text();
  return out;
}

// The value with its description (a spectrum's start, increment, comment).
std::string whole_value(const vantotest::ServerProcess& server, const std::string& address) {
  return read_at(server, address).get_string_line().value_or("(no one-line form)");
}

std::string entry_fields(std::string address) {
  std::replace(address.begin(), address.end(), '/', ' ');
  return address;
}

// The same channels, writable and holding their default values, where they
// have a file form.
std::string changed_installation(const std::vector<std::string>& addresses) {
  std::string config =
      "[[device]]\nfacility = \"TEST.SIM\"\nname = \"TYPES\"\nlocations = [\"LOC1\"]\n";
  for (const std::string& address : addresses) {
    if (has_no_file_form(address)) continue;
    const std::string type = address.substr(address.rfind('/') + 1);
    config += "  [[device.property]]\n  name = \"" + type + "\"\n  type = \"" + type +
              "\"\n  writable = true\n";
    if (type.rfind("MDA_", 0) == 0) config += "  dims = [1]\n  value = [0]\n";
  }
  return config;
}

TEST_F(RestoreE2E, EveryTypeComesBackWholeFromASnapshot) {
  const std::vector<std::string> addresses = one_channel_per_type();
  std::string source = "//Save_&_Restore//\n every type ;\n" + kTime;
  for (const std::string& address : addresses) {
    source += entry_fields(address) + "\t" + std::to_string(read_at(server(), address).type()) +
              "\t0\t;\n";
  }
  const std::string snapshot = vantotest::temp_dir() + "/snapshot.sr";
  const vantotest::ProgramResult saved = run("vantoget", {"-f", sr_file(source), "-b", snapshot});
  // Values without a file form are reported and keep their file value.
  EXPECT_EQ(saved.status, 1);
  std::string restorable;
  std::ifstream lines(snapshot);
  std::string line;
  while (std::getline(lines, line)) {
    const bool reported =
        std::any_of(addresses.begin(), addresses.end(), [&](const std::string& a) {
          return has_no_file_form(a) && line.rfind(entry_fields(a) + "\t", 0) == 0;
        });
    if (!reported) restorable += line + "\n";
  }
  for (const std::string& address : addresses) {
    const bool reported =
        saved.err.find(address + " error: the live value cannot be stored") != std::string::npos;
    EXPECT_EQ(reported, has_no_file_form(address)) << address << "\n" << saved.err;
  }
  EXPECT_NE(restorable.find("(not live: 7 of 44 values are those of the source file)"),
            std::string::npos)
      << restorable;

  vantotest::ServerProcess changed(vantotest::temp_file(changed_installation(addresses), ".toml"));
  const std::map<std::string, std::string> env = {{"VANTO_ENS", changed.ens()}};
  for (const std::string& address : addresses) {
    if (has_no_file_form(address)) continue;
    EXPECT_NE(whole_value(changed, address), whole_value(server(), address)) << address;
  }
  const std::string restorable_file = sr_file(restorable);
  const vantotest::ProgramResult restored =
      vantotest::run_program(VANTOPUT_PATH, {"-f", restorable_file}, "", env);
  EXPECT_EQ(restored.status, 0) << restored.err;
  EXPECT_EQ(restored.err, "");
  const vantotest::ProgramResult compared =
      vantotest::run_program("vantoget", {"-f", restorable_file, "-r"}, "", env);
  EXPECT_EQ(compared.status, 0) << compared.err;
  EXPECT_EQ(compared.out, "Differences between actual and reference data : 0\n");
  for (const std::string& address : addresses) {
    if (has_no_file_form(address)) continue;
    EXPECT_EQ(whole_value(changed, address), whole_value(server(), address)) << address;
  }
}

}  // namespace
