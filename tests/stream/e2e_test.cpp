// streamcat end to end: the built program against a vantoserver on
// 127.0.0.1 with a free port, streaming the demo installation's counters
// (and, for the level-4 layouts, a configuration of one stream per type).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <regex>
#include <set>

#include <vanto/eqdata.h>

#include "harness.h"
#include "text_diff.h"

using namespace vantotest;
using namespace std::chrono_literals;

namespace {

const std::string kLoc1 = "TEST.SIM/STREAM/LOC1/COUNTER";
const std::string kLoc2 = "TEST.SIM/STREAM/LOC2/COUNTER";
// tput finds no terminal description to act on; its failure is not looked at.
const std::map<std::string, std::string> kTerminal = {{"TERM", "dumb"}};

ProgramResult streamcat(const std::vector<std::string>& args,
                        std::map<std::string, std::string> env = kTerminal) {
  env.insert(kTerminal.begin(), kTerminal.end());
  return run_program(STREAMCAT, args, "", env, 60s);
}

int count_of(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

// A TCP port on 127.0.0.1 that nobody listens on (bound, then released).
int silent_port() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

// The event lines of one run, by event id: channel name -> the rest of its line.
struct Event {
  std::map<std::string, std::string> by_channel;
  std::string stamp;
};

class StreamcatE2E : public ServerTest {};

TEST_F(StreamcatE2E, TwoChannelsAreSynchronisedByEventIdAtLevelOne) {
  const ProgramResult r = streamcat({"-c", kLoc1 + " " + kLoc2, "-n", "8", "-d", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::regex line_form(R"(\[(TEST\.SIM/STREAM/LOC[12]/COUNTER)\]\[ *-?[0-9]+\.[0-9]{2} ms\])"
                             R"(  data of type (\S+)  length:1 ([0-9]+):([0-9]+)_([0-9]+) stat:0)");
  std::map<long, Event> events;
  std::vector<long> order;
  for (const std::string& line : lines_of(r.out)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, line_form)) << "line: " << line << "\n" << r.out;
    EXPECT_EQ(m[2].str(), vanto::EqData::type_string(vanto::DATA_INT));
    const long ident = std::stol(m[5].str());
    Event& event = events[ident];
    if (event.by_channel.empty()) order.push_back(ident);
    EXPECT_EQ(event.by_channel.count(m[1].str()), 0u) << "channel twice in event " << ident;
    event.by_channel[m[1].str()] = line;
    const std::string stamp = m[3].str() + ":" + m[4].str();
    if (event.stamp.empty()) event.stamp = stamp;
    EXPECT_EQ(event.stamp, stamp) << "one identity per event";
  }
  int complete = 0;
  for (auto& [ident, event] : events) complete += event.by_channel.size() == 2 ? 1 : 0;
  EXPECT_GE(complete, 2) << r.out << r.err;
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << r.out;
  // Incomplete events come with the warning, complete ones without.
  EXPECT_GE(count_of(r.err, "------------- Not COMPLETE data (1 channels)\n"),
            static_cast<int>(events.size()) - complete);
  const std::string head = "2 addresses found\nThey are:\n[0]\t" + kLoc1 + "\n[1]\t" + kLoc2 + "\n";
  EXPECT_EQ(r.err.rfind(head, 0), 0u) << r.err;
  const std::regex connecting(
      R"(\[TEST\.SIM/STREAM/LOC([12])/COUNTER\] Connecting to \S+:[0-9]+  data vers:2\n)");
  EXPECT_EQ(std::distance(std::sregex_iterator(r.err.begin(), r.err.end(), connecting),
                          std::sregex_iterator()),
            2)
      << r.err;
}

// Two counters on a slow clock (1 Hz): a receive thread that the machine
// holds up for a while still delivers its message before the next event.
const char* kSlowClockConfig = R"(
[server]
event_rate = 1.0

[[device]]
facility = "TEST.SLOW"
name = "STREAM"
locations = ["LOC1", "LOC2"]
  [[device.property]]
  name = "COUNTER"
  type = "INT"
  dynamic = "event"
  stream = true
  stream_start = true
)";

TEST(StreamcatSlowClock, EveryChannelOfAnEventIsKeptWhileItWaitsForOutput) {
  ServerProcess server(temp_file(kSlowClockConfig, ".toml"));
  // Sixteen channels publish each event at once: the messages that complete
  // a waiting event must not be dropped as "new data while outputting".
  std::string list;
  for (int i = 0; i < 16; ++i)
    list += std::string(i ? " " : "") +
            (i % 2 ? "TEST.SLOW/STREAM/LOC2/COUNTER" : "TEST.SLOW/STREAM/LOC1/COUNTER");
  const ProgramResult r =
      streamcat({"-c", list, "-n", "6", "-d", "1"}, {{"VANTO_ENS", server.ens()}});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::regex ident_form(R"(_([0-9]+) stat:0$)");
  std::map<long, int> slots;  // event id -> lines, in event order
  for (const std::string& line : lines_of(r.out)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(line, m, ident_form)) << line;
    ++slots[std::stol(m[1].str())];
  }
  // Channels connect one after the other, so the first events may miss some;
  // from the first complete event on, every event has all sixteen.
  int complete = 0;
  bool all_connected = false;
  for (auto& [ident, n] : slots) {
    all_connected = all_connected || n == 16;
    if (all_connected) {
      EXPECT_EQ(n, 16) << "event " << ident << "\n" << r.err;
    }
    complete += n == 16 ? 1 : 0;
  }
  EXPECT_GE(complete, 3) << r.out << r.err;
}

TEST_F(StreamcatE2E, LevelTwoShowsTheCounterValueOfEachEvent) {
  const ProgramResult r = streamcat({"-c", kLoc1 + " " + kLoc2, "-n", "6", "-d", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::regex line_form(
      R"(\[(TEST\.SIM/STREAM/LOC[12]/COUNTER)\]([0-9]+):([0-9]+)_([0-9]+)\(0:0\)    DATA (.*))");
  int lines = 0;
  for (const std::string& line : lines_of(r.out)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, line_form)) << "line: " << line;
    // The counter's value is the event id.
    EXPECT_EQ(m[5].str(), m[4].str()) << line;
    ++lines;
  }
  EXPECT_GE(lines, 2) << r.out << r.err;
}

TEST_F(StreamcatE2E, LevelZeroDrawsOnlyTheSpinner) {
  const ProgramResult r = streamcat({"-c", kLoc1, "-n", "5", "-d", "0"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> frames = {".-\r", "./\r", ".|\r", ".\\\r", ".-\r"};
  std::string want;
  size_t shown = 0;
  while (want.size() < r.out.size() && shown < frames.size()) want += frames[shown++];
  EXPECT_GE(shown, 1u);
  EXPECT_SAME_TEXT(want, r.out);
}

TEST_F(StreamcatE2E, TheCycleCountEndsTheRun) {
  const ProgramResult r = streamcat({"-c", kLoc1 + " " + kLoc2, "-n", "3", "-d", "1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(r.timed_out);
  EXPECT_LE(count_of(r.out, "[" + kLoc1 + "]"), 3) << r.out;
}

// Run after run, -n 5 prints exactly five events, each whole; with a
// terminal type whose cursor commands are escape bytes, the redirected output
// still holds event lines and nothing else.
TEST_F(StreamcatE2E, EveryCountedRunPrintsExactlyItsEventsAndNothingElse) {
  const std::regex line_form(R"(\[(TEST\.SIM/STREAM/LOC[12]/COUNTER)\]\[ *-?[0-9]+\.[0-9]{2} ms\])"
                             R"(  data of type \S+  length:1 [0-9]+:[0-9]+_([0-9]+) stat:0)");
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const ProgramResult r =
        streamcat({"-c", kLoc1 + " " + kLoc2, "-n", "5", "-d", "1"}, {{"TERM", "xterm"}});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_FALSE(r.out.empty()) << r.err;
    EXPECT_EQ(r.out.back(), '\n') << r.out;
    // The slots of one printed event are consecutive lines of one event id
    // (a late message may make a second, separate event of an id).
    std::vector<std::pair<long, std::set<std::string>>> events;
    for (const std::string& line : lines_of(r.out)) {
      std::smatch m;
      ASSERT_TRUE(std::regex_match(line, m, line_form)) << "line: " << line << "\n" << r.out;
      const long ident = std::stol(m[2].str());
      if (events.empty() || events.back().first != ident) events.push_back({ident, {}});
      EXPECT_TRUE(events.back().second.insert(m[1].str()).second) << "channel twice in " << ident;
    }
    EXPECT_EQ(events.size(), 5u) << r.out << r.err;
    const auto incomplete = std::count_if(
        events.begin(), events.end(), [](const auto& event) { return event.second.size() < 2; });
    EXPECT_EQ(count_of(r.err, "------------- Not COMPLETE data (1 channels)\n"), incomplete)
        << r.err;
  }
}

TEST_F(StreamcatE2E, ASilentEndpointGivesNoResponseAndAFailure) {
  const std::string address = "127.0.0.1:" + std::to_string(silent_port()) + ";2";
  const ProgramResult r = streamcat({"-c", address, "-t", "300"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Connecting to 127.0.0.1:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("  data vers:2\ndmsg: no response\n"), std::string::npos) << r.err;
}

TEST_F(StreamcatE2E, BadDirectAddresses) {
  const ProgramResult no_version = streamcat({"-c", "localhost:5555"});
  EXPECT_EQ(no_version.status, 1);
  EXPECT_NE(no_version.err.find("[localhost:5555] Connecting to :-1  data vers:0\n"),
            std::string::npos)
      << no_version.err;
  EXPECT_NE(no_version.err.find("dmsg: invalod format for host:port;version\n"), std::string::npos);
  EXPECT_NE(no_version.err.find(" - invalod format for host:port;version\n"), std::string::npos)
      << no_version.err;
  const ProgramResult port_zero = streamcat({"-c", "localhost:0;2"});
  EXPECT_EQ(port_zero.status, 1);
  EXPECT_NE(port_zero.err.find("dmsg: invalid port number\n"), std::string::npos) << port_zero.err;
  const ProgramResult bad_port = streamcat({"-c", "localhost:55x;2"});
  EXPECT_NE(bad_port.err.find("dmsg: invalid format for port\n"), std::string::npos)
      << bad_port.err;
  const ProgramResult bad_version = streamcat({"-c", "localhost:5555;v2"});
  EXPECT_NE(bad_version.err.find("dmsg: invalid format for version\n"), std::string::npos)
      << bad_version.err;
}

TEST_F(StreamcatE2E, AnUnknownChannelFailsItsBinding) {
  const ProgramResult r = streamcat({"-c", "TEST.NOPE/DEV/LOC/PROP"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("[TEST.NOPE/DEV/LOC/PROP] Connecting to :-1  data vers:0\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("[TEST.NOPE/DEV/LOC/PROP] TEST.NOPE/DEV/LOC/PROP - "), std::string::npos)
      << r.err;
}

TEST_F(StreamcatE2E, SeventyAddressesAreListedAndSixtyFourReceived) {
  std::string list;
  std::string listing = "70 addresses found\nThey are:\n";
  for (int i = 0; i < 70; ++i) {
    const std::string& address = i % 2 ? kLoc2 : kLoc1;
    list += (i ? "  " : "") + address;
    listing += "[" + std::to_string(i) + "]\t" + address + "\n";
  }
  listing +=
      "WARNING: you number of channels exeeds the maximum (64)\n"
      "WARNING: only first 64 channels will be used\n";
  const ProgramResult r = streamcat({"-c", list, "-n", "3", "-d", "1", "-t", "20000"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(listing, r.err.substr(0, listing.size()));
  EXPECT_EQ(count_of(r.err, "] Connecting to "), 64) << r.err;
}

TEST_F(StreamcatE2E, UsageText) {
  const ProgramResult bare = streamcat({});
  EXPECT_EQ(bare.status, 255);
  EXPECT_EQ(bare.err, "");
  EXPECT_EQ(
      bare.out.rfind(
          std::string("Usage: ") + STREAMCAT +
              " -c VANTO_address [-n cycles][-d debug_level] [-b buffers] [-k] [-t con_tmout]\n\n",
          0),
      0u)
      << bare.out;
  EXPECT_NE(bare.out.find("cycles         number of get cycles (default:100)\n"),
            std::string::npos);
  const ProgramResult counted = streamcat({"-n", "5"});
  EXPECT_EQ(counted.status, 255);
  EXPECT_NE(counted.out.find("cycles         number of get cycles (default:5)\n"),
            std::string::npos);
  const ProgramResult empty = streamcat({"-c", "   "});
  EXPECT_EQ(empty.status, 255);
  EXPECT_EQ(empty.err, "0 addresses found\nno address in the list given with -c\n");
}

// SIGINT, SIGTERM (kill, timeout, service managers) and SIGHUP end a run
// alike: the "SIGNAL: N" line, status 0, and every byte printed before kept.
class StreamcatSignal : public StreamcatE2E, public ::testing::WithParamInterface<int> {};

TEST_P(StreamcatSignal, EndsTheRunWithStatusZeroKeepingWhatWasPrinted) {
  ChildProcess child(STREAMCAT, {"-c", kLoc1 + " " + kLoc2, "-n", "-1", "-d", "1"}, kTerminal);
  ASSERT_TRUE(child.wait_for_out("data of type", 30s)) << child.err();
  const std::string before = child.out();
  child.signal(GetParam());
  const ProgramResult r = child.wait(30s);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("SIGNAL: " + std::to_string(GetParam()) + "\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.compare(0, before.size(), before), 0) << r.out;
  ASSERT_FALSE(r.out.empty());
  EXPECT_EQ(r.out.back(), '\n') << "the last line is whole";
}
INSTANTIATE_TEST_SUITE_P(EndingSignals, StreamcatSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return std::string(sigabbrev_np(param.param));
                         });

TEST_F(StreamcatE2E, SigintEndsAThreadWaitingForItsFirstMessage) {
  const std::string address = "127.0.0.1:" + std::to_string(silent_port()) + ";2";
  // A negative time-out waits for the first message without limit.
  ChildProcess child(STREAMCAT, {"-c", address, "-t", "-1"}, kTerminal);
  ASSERT_TRUE(child.wait_for_err("data vers:2\n", 30s)) << child.err();
  child.signal(SIGINT);
  const ProgramResult r = child.wait(30s);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("no response"), std::string::npos) << r.err;
}

// One stream per type, each printed at level 4.
const char* kTypesConfig = R"(
[server]
event_rate = 20.0

[[device]]
facility = "TEST.STREAMTYPES"
name = "DEV"
location = "L1"

[[device.property]]
name = "INT"
type = "INT"
value = 42
stream = true

[[device.property]]
name = "FLOAT"
type = "FLOAT"
value = 1.5
stream = true

[[device.property]]
name = "STRING"
type = "STRING"
value = "hello world"
stream = true

[[device.property]]
name = "IIII"
type = "IIII"
value = [1, 2, 3, 4]
stream = true

[[device.property]]
name = "A_INT"
type = "A_INT"
value = [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11]
stream = true

[[device.property]]
name = "A_SHORT"
type = "A_SHORT"
value = [-1, 16]
stream = true

[[device.property]]
name = "SPECTRUM"
type = "SPECTRUM"
value = [10, 20, 30]
start = 1.5
increment = 0.5
comment = "spec"
stream = true

[[device.property]]
name = "IMAGE"
type = "IMAGE"
width = 2
height = 2
bpp = 1
value = [1, 2, 3, 4]
comment = "cam"
stream = true

[[device.property]]
name = "MDA"
type = "MDA_FLOAT"
dims = [2, 2]
value = [0, 1, 2, 3]
comment = "m"
stream = true

[[device.property]]
name = "BOOL"
type = "BOOL"
value = 1
stream = true

[[device.property]]
name = "V1INT"
type = "INT"
value = 7
stream = true
stream_version = 1
)";

struct TypeCase {
  const char* property;
  int type;
  std::string body;  // output of one event; STAMP for sec:usec_ident, T for times
};

std::string normalised(const std::string& text) {
  static const std::regex stamp(R"([0-9]+:[0-9]+_[0-9]+)");
  static const std::regex tm(R"(tm:[0-9]+)");
  return std::regex_replace(std::regex_replace(text, stamp, "STAMP"), tm, "tm:T");
}

std::string type_name(int type) { return vanto::EqData::type_string(type); }

std::vector<TypeCase> type_cases() {
  const std::string a = "[TEST.STREAMTYPES/DEV/L1/";
  return {
      {"INT", vanto::DATA_INT, a + "INT]STAMP " + type_name(vanto::DATA_INT) + " length:1 42\n"},
      {"V1INT", vanto::DATA_INT, a + "V1INT]STAMP " + type_name(vanto::DATA_INT) + " length:1 7\n"},
      {"FLOAT", vanto::DATA_FLOAT,
       a + "FLOAT]STAMP " + type_name(vanto::DATA_FLOAT) + " length:1  1.50\n"},
      {"STRING", vanto::DATA_STRING,
       a + "STRING]STAMP " + type_name(vanto::DATA_STRING) + " hello world\n"},
      {"IIII", vanto::DATA_IIII,
       a + "IIII]STAMP " + type_name(vanto::DATA_IIII) + " I1:1 I2:2 I3:3 I4:4\n"},
      {"A_INT", vanto::DATA_A_INT,
       a + "A_INT]STAMP " + type_name(vanto::DATA_A_INT) +
           " length:11\n"
           "[0000]:1\t[0001]:2\t[0002]:3\t[0003]:4\t[0004]:5\t[0005]:6\t[0006]:7\t[0007]:8\t[0008]:"
           "9\t[0009]:10\t\n"
           "[0010]:11\t\n"},
      {"A_SHORT", vanto::DATA_A_SHORT,
       a + "A_SHORT]STAMP " + type_name(vanto::DATA_A_SHORT) +
           " length:2\n[0000]:-1 (0xFFFF) \t[0001]:16 (0x10) \t\n"},
      {"SPECTRUM", vanto::DATA_SPECTRUM,
       a + "SPECTRUM]\nSTAMP  " + type_name(vanto::DATA_SPECTRUM) +
           "\nSpectrum parameters: Comment:'spec'\ntm:T status:0 start:1.500000 inc:0.500000 data "
           "entries:3\n"
           "[00000]:10.00\t[00001]:20.00\t[00002]:30.00\t\n"},
      {"IMAGE", vanto::DATA_IMAGE,
       a + "IMAGE]\nSTAMP " + type_name(vanto::DATA_IMAGE) +
           " cam from image STAMP\n"
           "width:2(xstart:0, aoi_width:2)\theight:2(ystart:0 aoi_height:2)\tbpp:1(xbin:1 ybin:1 "
           "ebit:8)"
           "\ts_format:0\ti_format:0\tframe:1\tev#:0\tlen:4\n"
           "scale_x:1.000000\tscale_y:1.000000\trotation:0.000000\tflags:0x0\tfspares:(0.000000 "
           "0.000000 0.000000) "
           "\tispares:(0 0 0)\n\n"
           "[000x000]:1\t[000x001]:2\t[001x000]:3\t[001x001]:4\t"},
      {"MDA", vanto::DATA_MDA_FLOAT,
       a + "MDA]STAMP " + type_name(vanto::DATA_MDA_FLOAT) +
           " 'm'\ndim[0] values:2\ndim[1] values:2\n"
           "[0:0]: 0.000000 [0:1]: 1.000000 [1:0]: 2.000000 [1:1]: 3.000000 \n"},
      {"BOOL", vanto::DATA_BOOL,
       a + "BOOL]STAMP " + type_name(vanto::DATA_BOOL) + " length:1  not implemented\n"},
  };
}

class StreamTypes : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<ServerProcess>(temp_file(kTypesConfig, ".toml"));
  }
  static void TearDownTestSuite() { server_.reset(); }
  static std::unique_ptr<ServerProcess> server_;
};
std::unique_ptr<ServerProcess> StreamTypes::server_;

TEST_P(StreamTypes, LevelFourPrintsTheWholeValue) {
  const TypeCase c = type_cases()[static_cast<size_t>(GetParam())];
  const std::string address = std::string("TEST.STREAMTYPES/DEV/L1/") + c.property;
  const ProgramResult r =
      streamcat({"-c", address, "-n", "3", "-d", "4"}, {{"VANTO_ENS", server_->ens()}});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string got = normalised(r.out);
  // Every printed event shows the same value; the last may be cut by the end.
  ASSERT_FALSE(got.empty()) << r.err;
  std::string want;
  while (want.size() < got.size()) want += c.body;
  EXPECT_SAME_TEXT(want, got);
}
INSTANTIATE_TEST_SUITE_P(Types, StreamTypes,
                         ::testing::Range(0, static_cast<int>(type_cases().size())),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return std::string(
                               type_cases()[static_cast<size_t>(param.param)].property);
                         });

}  // namespace
