// The four programs on epics: addresses, against the soft IOC of
// scripts/epics-up.sh (its Channel Access variables in the environment) and
// a vantoserver for the lists that mix both.
#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using namespace std::chrono_literals;
using vantotest::ProgramResult;
using vantotest::run_program;

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

ProgramResult vantoget(const std::vector<std::string>& args) {
  return run_program("vantoget", args);
}
ProgramResult vantoput(const std::vector<std::string>& args) {
  return run_program("vantoput", args);
}

std::string mapped_files(int pid) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  return std::string((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
}

class EpicsE2E : public vantotest::ServerTest {
 protected:
  static void SetUpTestSuite() {
    ServerTest::SetUpTestSuite();
    ASSERT_FALSE(env("EPICS_CA_SERVER_PORT").empty())
        << "no soft IOC: run scripts/epics-up.sh DIR EPICS_BASE and export the lines of DIR/env";
  }
};

struct Read {
  std::string pv, type, value;
  friend void PrintTo(const Read& r, std::ostream* os) { *os << r.pv; }
};

class EpicsRead : public EpicsE2E, public ::testing::WithParamInterface<Read> {};

TEST_P(EpicsRead, EachRecordTypeReadsAsItsLibraryType) {
  const Read& c = GetParam();
  const ProgramResult r = vantoget({"-t", "-T", "-c", "epics:" + c.pv});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "vantoget: type() of epics:" + c.pv + " = " + c.type + "\n " + c.value + "\t\n");
}

INSTANTIATE_TEST_SUITE_P(
    Records, EpicsRead,
    ::testing::Values(Read{"TEST:AI", "DOUBLE", "2.5"}, Read{"TEST:READONLY", "DOUBLE", "3"},
                      Read{"TEST:SHORT", "INT", "7"}, Read{"TEST:FLOAT", "FLOAT", "0.25"},
                      Read{"TEST:AO.EGU", "STRING", "mm"}, Read{"TEST/AO/./.EGU", "STRING", "mm"},
                      Read{"TEST:WFL", "A_INT", "1 2"}, Read{"TEST:WFS", "A_STRING", "one\ntwo"}),
    [](const ::testing::TestParamInfo<Read>& case_info) {
      std::string name = case_info.param.pv;
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

struct Write {
  std::string pv, value, shown, seen_at;  // seen_at: the record a second client reads
  std::string type;                       // of -t, none where empty
  friend void PrintTo(const Write& w, std::ostream* os) { *os << w.pv; }
};

class EpicsWrite : public EpicsE2E, public ::testing::WithParamInterface<Write> {};

TEST_P(EpicsWrite, IsReadBackAndSeenByASecondClient) {
  const Write& c = GetParam();
  // A leading "@" (go on after a failed type-detecting read) goes before the prefix.
  const std::string name = c.pv.starts_with('@') ? "@epics:" + c.pv.substr(1) : "epics:" + c.pv;
  std::vector<std::string> args = {"-c", name, "-d", c.value};
  if (!c.type.empty()) args.insert(args.begin(), {"-t", c.type});
  const ProgramResult put = vantoput(args);
  EXPECT_EQ(put.status, 0) << put.err;
  EXPECT_EQ(put.out, c.shown + "\n");
  const ProgramResult get = vantoget({"-T", "-c", "epics:" + c.seen_at});
  EXPECT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(get.out, c.shown + "\t\n");
}

INSTANTIATE_TEST_SUITE_P(
    Records, EpicsWrite,
    ::testing::Values(Write{"TEST:AO", "2.75", "2.75", "TEST:AO", ""},
                      Write{"TEST/LONG", "-12", "-12", "TEST:LONG", ""},
                      Write{"TEST:STRING", "two words", "two words", "TEST:STRING", ""},
                      // The enum's label goes in; the mbbi that follows it shows it.
                      Write{"TEST:MBBO", "fault", "Fault", "TEST:MBBI", ""},
                      // Of labels that differ only by case, the one as written.
                      Write{"TEST:CASE", "ON", "ON", "TEST:CASE", ""},
                      Write{"TEST:WF", "1 2 3 4", "1 2 3 4", "TEST:WF", ""},
                      Write{"TEST:CHARS", "65 66 67", "65 66 67", "TEST:CHARS", ""},
                      // A text is one element, whatever its length; a number
                      // into a character waveform is its byte, not its digits.
                      Write{"TEST:WFD", "1.5", "1.5", "TEST:WFD", "3"},
                      Write{"TEST:BYTES", "65", "65", "TEST:BYTES", "1"},
                      // A record whose reads fail (never written, severity
                      // INVALID) still tells its type to a write that goes on.
                      Write{"@TEST:UNSET", "1 2", "1 2", "TEST:UNSET", ""}),
    [](const ::testing::TestParamInfo<Write>& case_info) {
      return std::to_string(case_info.index);
    });

TEST_F(EpicsE2E, AListMixesVantoAndEpicsChannelsInItsOrder) {
  std::string list = "epics:BENCH:AO0,TEST.SIM/SCALAR/LOC1/DOUBLE";
  for (int i = 4990; i < 5000; ++i) list += ",epics:BENCH:AO" + std::to_string(i);
  const ProgramResult r = vantoget({"-T", "-c", list});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string expected = "0\t2.25\t";
  for (int i = 4990; i < 5000; ++i) expected += std::to_string(i) + "\t";
  EXPECT_EQ(r.out, expected + "\n");
}

TEST_F(EpicsE2E, FailuresCarryTheirCodeAndChannelAccesssMessage) {
  struct Case {
    bool put;
    std::vector<std::string> args;
    std::string text;
  };
  const std::vector<Case> cases = {
      {false,
       {"-c", "epics:TEST:INVALID"},
       "epics:TEST:INVALID: severity INVALID (HIHI), no value , result->error() = 101"},
      {false,
       {"-c", "epics:NO:SUCH"},
       "epics:NO:SUCH: search unanswered in 2000 ms: User specified timeout on IO operation "
       "expired , result->error() = 100"},
      {false,
       {"-N", "-c", "epics:TEST/*"},
       "epics:TEST/*: Channel Access has no name listing: give whole names (TEST:*), error = 5"},
      {false,
       {"-c", "epics:TEST:*"},
       "epics:TEST:*: Channel Access has no name listing: give whole names (TEST:*), error = 5"},
      {true,
       {"-c", "epics:TEST:READONLY", "-d", "4"},
       "Write access denied , result.error() = 7 for address epics:TEST:READONLY"},
      {true,
       {"-c", "epics:TEST:SHORT", "-d", "70000"},
       "value 70000 out of the channel's range , result.error() = 6"},
      // Channel Access shows these as long and char: the server refuses
      // what its own type cannot hold instead of storing it wrapped.
      {true,
       {"-c", "epics:TEST:USHORT", "-d", "70000"},
       "Channel write request failed (refused in the channel's own type) , result.error() = 101"},
      {true,
       {"-c", "epics:TEST:SCHAR", "-d", "200"},
       "Channel write request failed (refused in the channel's own type) , result.error() = 101"},
      // A NaN would leave the ao record in the INVALID alarm UDF.
      {true,
       {"-c", "epics:BENCH:AO4321", "-d", "nan"},
       "value nan is no finite number , result.error() = 6"},
      {true,
       {"-c", "epics:TEST:WF", "-d", "1 -inf"},
       "value -inf is no finite number , result.error() = 6"},
      {true,
       {"-c", "epics:TEST:MBBO", "-d", "Nope"},
       "'Nope' is none of the labels: Off, On, Fault , result.error() = 5"},
      {true,
       {"-c", "epics:TEST:WFL", "-d", "1 2 3 4 5"},
       "5 values, the channel holds at most 4 , result.error() = 6"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = c.put ? vantoput(c.args) : vantoget(c.args);
    EXPECT_NE(r.status, 0) << c.text;
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
  }
}

TEST_F(EpicsE2E, SaveAndRestoreMixesVantoTangoAndEpicsChannels) {
  // Records and a Tango device that no other test writes: the tests run in
  // parallel against the same servers.
  ASSERT_EQ(vantoput({"-c", "epics:BENCH:AO7", "-d", "4.5"}).status, 0);
  ASSERT_EQ(vantoput({"-c", "epics:BENCH/AO8", "-d", "8"}).status, 0);
  // Tango's line where a Tango installation is up (scripts/test.sh).
  const std::string tango =
      env("TANGO_HOST").empty() ? "" : "tango:sys tg_test 2 short_scalar_w\t1\t7\t;\n";
  const std::string file = vantotest::temp_file(
      "//Save_&_Restore//\n mixed ;\n Tue Dec  8 02:00:00 2026\n ;\n"
      "TEST.SIM SCALAR LOC1 DOUBLE\t6\t2.25\t;\n" +
          tango + "epics:BENCH:AO7 . . .\t6\t0\t;\nepics:BENCH AO8 . .\t6\t0\t;\n",
      ".sr");
  const std::string saved = vantotest::temp_dir() + "/saved.sr";
  const ProgramResult save = vantoget({"-f", file, "-b", saved});
  ASSERT_EQ(save.status, 0) << save.err;
  std::ifstream in(saved);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("epics:BENCH:AO7 . . .\t6\t4.5"), std::string::npos) << text;
  EXPECT_NE(text.find("epics:BENCH AO8 . .\t6\t8"), std::string::npos) << text;
  const std::string compared = "Differences between actual and reference data : ";
  EXPECT_EQ(vantoget({"-r", "-f", saved}).out, compared + "0\n");

  ASSERT_EQ(vantoput({"-c", "epics:BENCH:AO7", "-d", "9"}).status, 0);
  EXPECT_EQ(vantoget({"-r", "-f", saved}).out, compared + "1\n");
  const ProgramResult restore = vantoput({"-f", saved});
  EXPECT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(vantoget({"-T", "-c", "epics:BENCH:AO7"}).out, "4.5\t\n");
}

// The channels of a restore are sought together before the first write: an
// unknown one among them is named and fails the run, the others are written.
TEST_F(EpicsE2E, ARestoreNamesItsUnknownChannelAndWritesTheOthers) {
  const std::string file = vantotest::temp_file(
      "//Save_&_Restore//\n unknown ;\n Tue Dec  8 02:00:00 2026\n ;\n"
      "epics:BENCH AO11 . .\t6\t1.5\t;\nepics:NO SUCH . .\t6\t1\t;\n"
      "epics:BENCH AO12 . .\t6\t2.5\t;\n",
      ".sr");
  const ProgramResult restore = vantoput({"-f", file});
  EXPECT_EQ(restore.status, 1);
  EXPECT_EQ(restore.out, "1.5\n2.5\n");
  EXPECT_NE(restore.err.find("result.error() = 100 for address epics:NO/SUCH"), std::string::npos)
      << restore.err;
  EXPECT_EQ(vantoget({"-T", "-c", "epics:BENCH:AO12"}).out, "2.5\t\n");
}

TEST_F(EpicsE2E, ASubscriptionPrintsTheChangingCalcRecord) {
  vantotest::ChildProcess subscriber("vantozmq_subscribe", {"epics:TEST:CALC"});
  ASSERT_TRUE(subscriber.wait_for_out("Subscription established successfully.", 30s))
      << subscriber.err();
  EXPECT_TRUE(subscriber.wait_for_out(" DATA_DOUBLE ", 30s, 4)) << subscriber.out();
  EXPECT_NE(mapped_files(subscriber.pid()).find("libca.so"), std::string::npos);
  subscriber.signal(SIGTERM);
  const ProgramResult end = subscriber.wait();
  EXPECT_EQ(end.err, "");
  // A "*" is refused at once, as for reads, not searched for.
  const ProgramResult wildcard = run_program("vantozmq_subscribe", {"epics:TEST:*"});
  EXPECT_EQ(wildcard.status, 1);
  EXPECT_NE(wildcard.err.find("Error 5, illegal parameter: Channel Access has no name listing"),
            std::string::npos)
      << wildcard.err;
}

// A soft IOC of the test's own (scripts/epics-up.sh, on free ports), which
// the test may kill; programs reach it with its variables().
class OwnIoc {
 public:
  OwnIoc() : dir_(vantotest::temp_dir() + "/ioc") {
    const ProgramResult up = run_program(script("epics-up.sh"), {dir_, env("VANTO_EPICS_BASE")});
    if (up.status != 0) throw std::runtime_error("epics-up.sh failed: " + up.err);
    std::ifstream lines(dir_ + "/env");
    for (std::string line; std::getline(lines, line);) {
      const size_t equals = line.find('=');
      if (equals != std::string::npos) variables_[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  ~OwnIoc() { run_program(script("epics-down.sh"), {dir_}); }
  OwnIoc(const OwnIoc&) = delete;
  OwnIoc& operator=(const OwnIoc&) = delete;

  const std::map<std::string, std::string>& variables() const { return variables_; }
  void kill() const {
    std::ifstream pid_file(dir_ + "/ioc.pid");
    int pid = 0;
    if (pid_file >> pid && pid > 0) ::kill(pid, SIGKILL);
  }

 private:
  static std::string script(const std::string& name) {
    return vantotest::example_path("../scripts/" + name);
  }
  std::string dir_;
  std::map<std::string, std::string> variables_;
};

TEST_F(EpicsE2E, AServerThatDiesDuringAWriteFailsItAndTellsTheSubscriber) {
  const OwnIoc ioc;
  // TEST:SLOW completes a write only after a minute: the write is still in
  // progress when the IOC dies, and the subscriber to its DLYA field sees it
  // start.
  vantotest::ChildProcess subscriber("vantozmq_subscribe", {"epics:TEST:SLOW.DLYA"},
                                     ioc.variables());
  ASSERT_TRUE(subscriber.wait_for_out(" DATA_INT 0\n", 30s))
      << subscriber.out() << subscriber.err();
  vantotest::ChildProcess put("vantoput", {"-c", "epics:TEST:SLOW.A", "-d", "3"}, ioc.variables());
  ASSERT_TRUE(subscriber.wait_for_out(" DATA_INT 1\n", 30s)) << subscriber.out() << put.err();
  ioc.kill();

  // The write ends with the disconnect, not with its time-out of 2 s.
  const ProgramResult written = put.wait(30s);
  EXPECT_FALSE(written.timed_out);
  EXPECT_EQ(written.status, 1);
  EXPECT_EQ(written.err,
            "Virtual circuit disconnect , result.error() = 100 for address epics:TEST:SLOW.A\n");
  // The subscription says so and goes on (Channel Access finds the channel
  // again when its server is back); it still ends at once on request.
  EXPECT_TRUE(subscriber.wait_for_out(" disconnected: Virtual circuit disconnect\n", 30s))
      << subscriber.out();
  subscriber.signal(SIGTERM);
  const ProgramResult ended = subscriber.wait(30s);
  EXPECT_FALSE(ended.timed_out);
  EXPECT_EQ(ended.err, "");
}

TEST_F(EpicsE2E, AProgramFoundThroughPathFindsTheModuleBesideIt) {
  const std::string bin = vantotest::program_path("vantoget");
  const ProgramResult r =
      run_program("/bin/sh", {"-c", "vantoget -T -c epics:TEST:AI"}, "",
                  {{"PATH", bin.substr(0, bin.rfind('/')) + ":" + env("PATH")}});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "2.5\t\n");
}

TEST_F(EpicsE2E, WithoutTheModuleOrAStreamAnEpicsAddressIsRefused) {
  const ProgramResult missing = run_program("vantoget", {"-c", "epics:TEST:AO"}, "",
                                            {{"VANTO_EPICS_MODULE", "/nonexistent/x.so"}});
  EXPECT_NE(missing.status, 0);
  EXPECT_EQ(missing.err,
            "epics:TEST:AO: epics: addresses need the module libvanto-epics.so, which is not "
            "installed , result->error() = 9\n");
  const ProgramResult stream = run_program("streamcat", {"-c", "epics:TEST:AO"});
  EXPECT_EQ(stream.status, 1);
  EXPECT_NE(stream.err.find("epics:TEST:AO: streamcat reads VANTO streams only, epics: addresses"),
            std::string::npos)
      << stream.err;
  // Programs reading VANTO channels never load Channel Access.
  vantotest::ChildProcess subscriber("vantozmq_subscribe", {"TEST.SIM/STREAM/LOC1/COUNTER"});
  ASSERT_TRUE(subscriber.wait_for_out("Subscription established successfully.", 30s));
  EXPECT_EQ(mapped_files(subscriber.pid()).find("libca.so"), std::string::npos);
}

}  // namespace
