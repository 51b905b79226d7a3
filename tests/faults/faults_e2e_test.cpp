// Faults around the programs: a server that dies while a program works with
// it, a server too slow to answer, a name service that is down, and a disk
// that refuses a file. Each program must end (never hang), say what failed
// and leave nothing half-written behind. The programs run against a
// vantoserver of their own on 127.0.0.1 with a free port.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <vanto/eqadr.h>
#include <vanto/eqcall.h>
#include <vanto/eqdata.h>

#include "harness.h"
#include "text_diff.h"

using namespace vantotest;
using namespace std::chrono_literals;

namespace {

const std::string kInt = "TEST.SIM/SCALAR/LOC1/INT";
const std::string kCounter = "TEST.SIM/STREAM/LOC1/COUNTER";

std::map<std::string, std::string> env_of(const ServerProcess& server) {
  return {{"VANTO_ENS", server.ens()}, {"TERM", "dumb"}};
}

// Every line of text matches line.
bool all_lines_match(const std::string& text, const std::regex& line) {
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (!std::regex_match(l, line)) return false;
  return true;
}

// Waits for a condition, polling; false after the time-out.
template <typename Condition>
bool wait_until(Condition condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

// A channel's value as a second client reads it directly from the server.
std::string read_channel(const ServerProcess& server, const std::string& address) {
  const vanto::EqData out = server.read(address);
  return out.error() == 0 ? out.get_string() : "";
}

TEST(ServerDiesMidRun, ReaderLoopEndsWithTheFailedReadAndKeepsItsEarlierLines) {
  ServerProcess server;
  // The -x command marks every pass in a file; its output is not buffered
  // like the reader's own, so the test sees the loop running.
  const std::string ticks = temp_dir() + "/ticks";
  ChildProcess reader("vantoget",
                      {"-x", "echo >> " + ticks, "-T", "-s", "0", "-R", "1", "-c", kInt},
                      env_of(server));
  ASSERT_TRUE(wait_until([&] { return read_file(ticks).size() >= 3; }, 60s)) << reader.err();
  server.stop();
  const ProgramResult r = reader.wait(120s);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 1) << r.err;
  // The passes before the server went are intact, and the failing pass
  // prints nothing: whether the read or the value line's second read failed,
  // its error text never stands in a line as a value.
  EXPECT_EQ(r.out.rfind("42\t\n42\t\n", 0), 0u) << r.out;
  EXPECT_TRUE(all_lines_match(r.out, std::regex("42\t"))) << r.out;
  EXPECT_TRUE(std::regex_match(r.err, std::regex(kInt + ": .* , result->error\\(\\) = 10[01]\n")))
      << r.err;
}

TEST(ServerDiesMidRun, StreamReceiverWaitsQuietlyAndEndsOnInterrupt) {
  ServerProcess server;
  ChildProcess receiver("streamcat", {"-c", kCounter, "-d", "2", "-t", "2000"}, env_of(server));
  ASSERT_TRUE(receiver.wait_for_out(kCounter, 30s, 3)) << receiver.out() << receiver.err();
  server.stop();
  // A stream that falls silent after its first message is waited for; the
  // interrupt ends the run cleanly.
  receiver.signal(SIGINT);
  const ProgramResult r = receiver.wait(60s);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("dmsg: "), std::string::npos) << r.err;
}

TEST(ServerDiesMidRun, SubscriptionWaitsQuietlyAndEndsOnInterrupt) {
  ServerProcess server;
  ChildProcess monitor("vantozmq_subscribe", {kCounter}, env_of(server));
  ASSERT_TRUE(monitor.wait_for_out(" DATA_", 30s, 3)) << monitor.out() << monitor.err();
  server.stop();
  // No update can come any more; the monitor keeps waiting until it is told
  // to stop, and then stops at once.
  const std::string before = monitor.out();
  monitor.signal(SIGINT);
  const ProgramResult r = monitor.wait(60s);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 128 + SIGINT);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.substr(0, before.size()), before);
}

TEST(ServerDiesMidRun, RestoreFailsTheEntriesAfterTheServerIsGone) {
  ServerProcess server;
  std::string file = "//Save_&_Restore//\n dying server ;\n Tue Dec  8 02:00:00 2026\n ;\n\n";
  for (const char* device : {"PUMP1", "PUMP2", "GAUGENG", "VALVENG", "ABXY"})
    file += std::string("TEST.VAC ") + device + " L1 ERROR\t1\t7\t;\n";
  // Most of a second between writes: the server is stopped after the first one.
  ChildProcess writer("vantoput", {"-f", temp_file(file), "-D", "5000"}, env_of(server));
  // The first write has landed when a second client reads it.
  ASSERT_TRUE(
      wait_until([&] { return read_channel(server, "TEST.VAC/PUMP1/L1/ERROR") == "7"; }, 60s))
      << writer.err();
  server.stop();
  const ProgramResult r = writer.wait(180s);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  // The writes before the server went are reported; no later one claims success.
  EXPECT_TRUE(all_lines_match(r.out, std::regex("7"))) << r.out;
  EXPECT_GE(r.out.size(), 2u);
  EXPECT_LT(r.out.size(), 10u) << r.out;
  EXPECT_FALSE(r.err.empty());
}

// A server killed part-way through a long list of channels. After one
// time-out everything left on that server fails at once: the run ends long
// before the hang guard (one time-out per channel would take many minutes),
// with status 1, and every channel either succeeded or is reported by name.
const std::string kListConfig = R"(
[[device]]
facility = "BIG.SIM"
name = "MANY"
location_prefix = "L"
location_count = 8000
  [[device.property]]
  name = "VALUE"
  type = "INT"
  writable = true
  value = 7

[[device]]
facility = "BIG.SIM"
name = "SOME"
location_prefix = "L"
location_count = 1000
  [[device.property]]
  name = "VALUE"
  type = "INT"
  writable = true
  value = 7
)";

class KilledMidList : public ::testing::Test {
 protected:
  // Runs program until progressed(child) holds, kills the server meanwhile
  // holding the program still (so that it cannot finish first) and waits
  // for the end.
  template <typename Progressed>
  ProgramResult run_and_kill(const std::string& program, const std::vector<std::string>& args,
                             Progressed progressed) {
    ChildProcess child(program, args, env_of(server_));
    EXPECT_TRUE(wait_until([&] { return progressed(child); }, 120s)) << child.err();
    child.signal(SIGSTOP);
    ::kill(server_.pid(), SIGKILL);
    child.signal(SIGCONT);
    ProgramResult r = child.wait(90s);
    EXPECT_FALSE(r.timed_out) << "still running long after the server died";
    EXPECT_EQ(r.status, 1) << r.err.substr(0, 2000);
    return r;
  }
  // Holds back the answer to address far beyond the test's run: however fast
  // the program is, it cannot be done before the server dies.
  void hold_back(const std::string& address) { server_.set_delay(address, 60'000); }
  // The locations k of the "BIG.SIM/<device>/Lk/VALUE" addresses in text.
  static std::set<int> locations_named(const std::string& text) {
    static const std::regex address("BIG\\.SIM/[A-Z]+/L([0-9]+)/VALUE");
    std::set<int> found;
    for (std::sregex_iterator it(text.begin(), text.end(), address), end; it != end; ++it)
      found.insert(std::stoi((*it)[1]));
    return found;
  }
  static size_t lines(const std::string& text) { return std::ranges::count(text, '\n'); }

  ServerProcess server_{temp_file(kListConfig, ".toml")};
};

TEST_F(KilledMidList, WildcardReadReportsEveryChannelItCouldNotRead) {
  hold_back("BIG.SIM/MANY/L4000/VALUE");
  // -N prints each channel as it is read.
  const ProgramResult r =
      run_and_kill("vantoget", {"-N", "-c", "BIG.SIM/MANY/*/VALUE"},
                   [](ChildProcess& c) { return c.wait_for_out("/VALUE ", 0ms, 500); });
  const std::set<int> read = locations_named(r.out);
  const std::set<int> failed = locations_named(r.err);
  ASSERT_GE(read.size(), 500u);
  ASSERT_FALSE(failed.empty()) << "the server died after the last read";
  // Each channel read or reported, none both; the held-back one reported.
  EXPECT_EQ(read.size() + failed.size(), 8000u);
  EXPECT_TRUE(std::ranges::none_of(failed, [&](int k) { return read.contains(k); }));
  EXPECT_TRUE(failed.contains(4000));
  EXPECT_TRUE(all_lines_match(r.err, std::regex(".*/VALUE: .* , result->error\\(\\) = 100")))
      << r.err.substr(0, 2000);
}

// Restore and wildcard write of 1000 channels: one read-back line per channel
// written, one error line naming the channel for each of the others. The
// progress is seen on the server, as the writers' output comes in blocks.
struct ListWrite {
  const char* name;
  std::vector<std::string> (*args)();
  const char* device;
};

class KilledMidWrite : public KilledMidList, public ::testing::WithParamInterface<ListWrite> {};

std::vector<std::string> restore_args() {
  std::string file = "//Save_&_Restore//\n dying server ;\n Tue Dec  8 02:00:00 2026\n ;\n\n";
  for (int k = 1; k <= 1000; ++k)
    file += "BIG.SIM MANY L" + std::to_string(k) + " VALUE\t1\t9\t;\n";
  return {"-f", temp_file(file), "-D", "2"};
}
std::vector<std::string> wildcard_args() { return {"-c", "BIG.SIM/SOME/*/VALUE", "-d", "9"}; }

TEST_P(KilledMidWrite, EveryChannelIsWrittenOrReportedByName) {
  const std::string device = std::string("BIG.SIM/") + GetParam().device;
  const std::string progress = device + "/L200/VALUE";
  hold_back(device + "/L600/VALUE");
  const ProgramResult r = run_and_kill("vantoput", GetParam().args(), [&](ChildProcess&) {
    return read_channel(server_, progress) == "9";
  });
  const size_t written = lines(r.out);
  // A write whose read-back went unanswered still counts as done; its line
  // says so in place of the value.
  EXPECT_TRUE(all_lines_match(r.out, std::regex("9|no answer from .*"))) << r.out.substr(0, 2000);
  EXPECT_GE(written, 200u);
  const std::regex failed(
      ".* , result.error\\(\\) = 100 for address BIG\\.SIM/[A-Z]+/L[0-9]+/VALUE");
  EXPECT_TRUE(all_lines_match(r.err, failed)) << r.err.substr(0, 2000);
  EXPECT_EQ(lines(r.err), 1000 - written);
  EXPECT_EQ(locations_named(r.err).size(), 1000 - written);
}

INSTANTIATE_TEST_SUITE_P(Writes, KilledMidWrite,
                         ::testing::Values(ListWrite{"Restore", restore_args, "MANY"},
                                           ListWrite{"Wildcard", wildcard_args, "SOME"}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(SlowServer, ReadAndWriteTimeOutWithUnavailableService) {
  ServerProcess server;
  server.set_delay(kInt, 60'000);
  const ProgramResult read = run_program("vantoget", {"-R", "1", "-c", kInt}, "", env_of(server));
  EXPECT_FALSE(read.timed_out);
  EXPECT_EQ(read.status, 1);
  EXPECT_EQ(read.out, "");
  EXPECT_TRUE(std::regex_match(read.err, std::regex(kInt + ": .* , result->error\\(\\) = 100\n")))
      << read.err;

  const ProgramResult write = run_program("vantoput", {"-c", kInt, "-d", "5"}, "", env_of(server));
  EXPECT_FALSE(write.timed_out);
  EXPECT_EQ(write.status, 1) << write.out;
  EXPECT_FALSE(write.err.empty());
  server.clear_faults();
  const ProgramResult after = run_program("vantoget", {"-T", "-c", kInt}, "", env_of(server));
  EXPECT_EQ(after.out, "42\t\n") << "the timed-out write must not have reached the channel";
}

TEST(NameServiceDown, EveryProgramEndsWithAFailure) {
  const std::map<std::string, std::string> env = {{"VANTO_ENS", dead_ens()}, {"TERM", "dumb"}};
  const ProgramResult read = run_program("vantoget", {"-R", "1", "-c", kInt}, "", env);
  EXPECT_FALSE(read.timed_out);
  EXPECT_EQ(read.status, 1);
  EXPECT_TRUE(
      std::regex_match(read.err, std::regex(kInt + ": .* , result->error\\(\\) = 10[01]\n")))
      << read.err;

  // Wildcards: the names calls fail, with the library's reason.
  for (const char* name : {"TEST.VAC/PUMP1/*/NAME", "TEST.VAC/*"}) {
    const ProgramResult names = run_program("vantoget", {"-N", "-c", name}, "", env);
    EXPECT_FALSE(names.timed_out);
    EXPECT_EQ(names.status, 1) << name;
    EXPECT_TRUE(
        std::regex_search(names.err, std::regex("names call: .*does not answer, error = 100\n")))
        << names.err;
  }

  const ProgramResult write = run_program("vantoput", {"-c", kInt, "-d", "5"}, "", env);
  EXPECT_FALSE(write.timed_out);
  EXPECT_EQ(write.status, 1);
  EXPECT_FALSE(write.err.empty());

  const ProgramResult wildcard =
      run_program("vantoput", {"-c", "TEST.VAC/*/L1/ERROR", "-d", "5"}, "", env);
  EXPECT_FALSE(wildcard.timed_out);
  EXPECT_EQ(wildcard.status, 1);

  const ProgramResult stream = run_program("streamcat", {"-c", kCounter, "-t", "500"}, "", env);
  EXPECT_FALSE(stream.timed_out);
  EXPECT_EQ(stream.status, 1);
  EXPECT_EQ(stream.out, "");
}

class DiskRefuses : public ::testing::Test {
 protected:
  void SetUp() override { missing_dir_ = temp_dir() + "/no/such/dir"; }
  ServerProcess server_;
  std::string missing_dir_;
};

TEST_F(DiskRefuses, SaveIntoAMissingDirectoryFailsAndWritesNothing) {
  const std::string file = temp_file(
      "//Save_&_Restore//\n c ;\n Tue Dec  8 02:00:00 2026\n ;\n"
      "TEST.SIM SCALAR LOC1 INT\t1\t1\t;\n");
  const std::string target = missing_dir_ + "/new.sr";
  const ProgramResult r = run_program("vantoget", {"-f", file, "-b", target}, "", env_of(server_));
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_FALSE(r.err.empty() && r.out.empty());
  EXPECT_FALSE(std::filesystem::exists(target));
  // The source file is untouched.
  EXPECT_EQ(read_file(file),
            "//Save_&_Restore//\n c ;\n Tue Dec  8 02:00:00 2026\n ;\nTEST.SIM SCALAR LOC1 "
            "INT\t1\t1\t;\n");
}

TEST_F(DiskRefuses, TableFileInAMissingDirectoryIsReported) {
  const ProgramResult r = run_program(
      "vantoget", {"-E", "-T", "-P", missing_dir_, "-F", "t.txt", "-c", kInt}, "", env_of(server_));
  EXPECT_FALSE(r.timed_out);
  EXPECT_NE(r.status, 0) << r.out << r.err;
  EXPECT_FALSE(r.err.empty());
  EXPECT_FALSE(std::filesystem::exists(missing_dir_));
}

TEST_F(DiskRefuses, HistoryExportInAMissingDirectoryIsReported) {
  const ProgramResult r = run_program(
      "vantoget", {"-a", "-g", "2", "-P", missing_dir_, "-c", "TEST.SIM/HIST/LOC1/HIST"}, "",
      env_of(server_));
  EXPECT_FALSE(r.timed_out);
  // The export failure is reported, the pass goes on and the run fails.
  EXPECT_NE(r.out.find("History conversion into ascii format failed!\n"), std::string::npos)
      << r.out << r.err;
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::filesystem::exists(missing_dir_));
}

// Runs a built program through the shell: setup runs first ("ulimit -f 0"),
// redirect follows the arguments ("> /dev/full").
ProgramResult run_in_shell(const std::string& setup, const std::vector<std::string>& command,
                           const std::string& redirect = "") {
  std::vector<std::string> args{"-c", setup + "; exec \"$0\" \"$@\" " + redirect,
                                program_path(command.front())};
  args.insert(args.end(), command.begin() + 1, command.end());
  return run_program("/bin/sh", args, "", {}, 30s);
}

std::vector<std::string> entries_of(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  return names;
}

// Output that never reaches standard output is a failure, as in the shell's
// own tools; the subscription monitor, which runs until interrupted, ends.
class StandardOutputFails : public ServerTest,
                            public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(StandardOutputFails, TheProgramEndsWithStatus1AndSaysWhy) {
  const ProgramResult r = run_in_shell(":", GetParam(), "> /dev/full");
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find(GetParam().front() + ": write error on standard output"), std::string::npos)
      << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    AllPrograms, StandardOutputFails,
    ::testing::Values(std::vector<std::string>{"vantoget", "-c", kInt},
                      std::vector<std::string>{"vantoget", "-s", "0.05", "-c", kInt},  // endless
                      std::vector<std::string>{"vantoput", "-c", kInt, "-d", "42"},
                      std::vector<std::string>{"streamcat", "-c", kCounter, "-n", "2"},
                      std::vector<std::string>{"vantozmq_subscribe", kInt}));

// The files vantoget writes for its user, -E tables and -g 2 exports, into
// "out.txt" of a directory given with -P.
struct OutputFileCase {
  std::string name;
  std::vector<std::string> args;
  friend void PrintTo(const OutputFileCase& c, std::ostream* os) { *os << c.name; }
};

class OutputFile : public ServerTest, public ::testing::WithParamInterface<OutputFileCase> {
 protected:
  std::vector<std::string> command(const std::string& dir, const std::string& file) const {
    std::vector<std::string> c{"vantoget", "-P", dir, "-F", file};
    c.insert(c.end(), GetParam().args.begin(), GetParam().args.end());
    return c;
  }
  const std::string dir_ = temp_dir();
  const std::string target_ = dir_ + "/out.txt";
};

TEST_P(OutputFile, APlantedLinkIsReplacedAndItsTargetUntouched) {
  const std::string victim = temp_file("precious\n");
  std::filesystem::create_symlink(victim, target_);
  const ProgramResult r = run_in_shell(":", command(dir_, "out.txt"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(victim), "precious\n");
  EXPECT_FALSE(std::filesystem::is_symlink(target_));
  EXPECT_NE(read_file(target_), "");
}

TEST_P(OutputFile, AFullFileSystemFailsTheRunAndKeepsTheOldFile) {
  std::ofstream(target_) << "old\n";
  // No byte may be written to any file, and the signal that would end the
  // program at the first one is ignored: every write fails as on a full disk.
  const ProgramResult r = run_in_shell("trap '' XFSZ; ulimit -f 0", command(dir_, "out.txt"));
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("out.txt"), std::string::npos) << r.err;
  EXPECT_EQ(read_file(target_), "old\n");
  EXPECT_EQ(entries_of(dir_), std::vector<std::string>{"out.txt"});
}

TEST_P(OutputFile, ADeviceThatRefusesTheTextFailsTheRun) {
  const ProgramResult r = run_in_shell(":", command("/dev", "./full"));
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("full"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Vantoget, OutputFile,
    ::testing::Values(OutputFileCase{"Table", {"-E", "-c", "TEST.VAC/PUMP1/*/ERROR"}},
                      OutputFileCase{"Export", {"-a", "-g", "2", "-c", "TEST.SIM/HIST/LOC1/HIST"}}),
    [](const auto& p) { return p.param.name; });

// Every file a program reads, given a directory or a FIFO nobody writes: a
// message and status 1 at once, never a hang.
class UnusableInputFile
    : public ServerTest,
      public ::testing::WithParamInterface<std::tuple<std::string, std::vector<std::string>>> {};

TEST_P(UnusableInputFile, IsRefusedAtOnce) {
  const std::string dir = temp_dir();
  std::string path = dir;
  if (std::get<0>(GetParam()) == "Fifo") {
    path = dir + "/fifo";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  }
  std::vector<std::string> command = std::get<1>(GetParam());
  command.push_back(path);
  const ProgramResult r = run_in_shell(":", command);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    FileOptions, UnusableInputFile,
    ::testing::Combine(
        ::testing::Values("Directory", "Fifo"),
        ::testing::Values(
            std::vector<std::string>{"vantoput", "-c", "TEST.SIM/ARRAY/LOC1/XML", "-x"},
            std::vector<std::string>{"vantoput", "-c", "TEST.SIM/ARRAY/LOC1/SPECTRUM", "-a"},
            std::vector<std::string>{"vantoput", "-c", "TEST.SIM/ARRAY/LOC1/SPECTRUM", "-s"},
            std::vector<std::string>{"vantoget", "-f"})),
    [](const auto& p) {  // "Fifo_vantoput_x"
      const std::vector<std::string>& command = std::get<1>(p.param);
      return std::get<0>(p.param) + "_" + command.front() + "_" + command.back().substr(1);
    });

// Addresses and the servers' error texts may hold any byte: messages show
// control bytes escaped, so no escape sequence reaches the terminal.
class HostileAddress : public ServerTest,
                       public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(HostileAddress, ControlBytesInMessagesAreEscaped) {
  const std::string address = "TEST.SIM/SCALAR/LOC1/NO\x1b[2J\rPE";
  std::vector<std::string> args(GetParam().begin() + 1, GetParam().end());
  std::replace(args.begin(), args.end(), std::string("ADDRESS"), address);
  const ProgramResult r = run_program(GetParam().front(), args, "", {}, 30s);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("NO\\x1b[2J\\x0dPE"), std::string::npos) << r.err;
  // streamcat's standard output holds the terminal's own cursor commands.
  const std::string messages = GetParam().front() == "streamcat" ? r.err : r.out + r.err;
  EXPECT_EQ(messages.find_first_of("\x1b\r"), std::string::npos) << messages;
}

INSTANTIATE_TEST_SUITE_P(
    AllPrograms, HostileAddress,
    ::testing::Values(std::vector<std::string>{"vantoget", "-c", "ADDRESS"},
                      std::vector<std::string>{"vantoput", "-c", "ADDRESS", "-d", "1"},
                      std::vector<std::string>{"streamcat", "-c", "ADDRESS", "-n", "1", "-t",
                                               "500"},
                      std::vector<std::string>{"vantozmq_subscribe", "ADDRESS"}));

}  // namespace
