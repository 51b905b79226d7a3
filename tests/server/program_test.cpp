// The vantoserver program: command line, first line, errors and shutdown.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include <vanto/vanto.h>

#include "harness.h"

namespace {

using namespace std::chrono_literals;
using vantotest::run_program;

TEST(ProgramTest, HelpAndUsageErrors) {
  const auto help = run_program("vantoserver", {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("[--bind ADDR] [--port N] [--allow-faults] CONFIG"), std::string::npos)
      << help.out;

  for (const auto& args :
       {std::vector<std::string>{}, std::vector<std::string>{"--port", "70000", "x.toml"},
        std::vector<std::string>{"--port", "12a", "x.toml"},
        std::vector<std::string>{"--nope", "x.toml"},
        std::vector<std::string>{"a.toml", "b.toml"}}) {
    const auto r = run_program("vantoserver", args);
    EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
    EXPECT_NE(r.err.find("Usage: "), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST(ProgramTest, BadConfigEndsWithItsPlaceAndStatusOne) {
  struct Case {
    const char* text;
    const char* message;
  };
  for (const Case& c : std::vector<Case>{
           {"[[device]]\nfacility = \"F\"\nname = \"D\"\nlocation = \"L\"\n"
            "  [[device.property]]\n  name = \"P\"\n  type = \"NOTYPE\"\n",
            ":7: unknown type \"NOTYPE\""},
           {"[[device]]\nfacility = \"F\"\nname = \"D\"\nlocation = \"L\"\n"
            "  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n"
            "  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n",
            "channel F/D/L/P is configured twice"},
           {"this is = = not toml\n", ":1: "},
           {"[[device]]\nfacility = \"F\"\nname = \"D\"\nlocation = \"L\"\n"
            "  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n  dynamic = \"sine\"\n"
            "  writable = true\n",
            "cannot be writable"},
           {"[[device]]\nfacility = \"F/G\"\nname = \"D\"\nlocation = \"L\"\n"
            "  [[device.property]]\n  name = \"P\"\n  type = \"INT\"\n",
            "without '/'"},
           {"[typo]\n", "unknown key \"typo\""},
           {"", "defines no channel"},
           {"[server]\nevent_rate = 5.0\n", "defines no channel"}}) {
    const std::string path = vantotest::temp_file(c.text, ".toml");
    const auto r = run_program("vantoserver", {"--port", "0", path});
    EXPECT_EQ(r.status, 1) << c.text;
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // Paths that are no configuration file: refused at once, without reading.
  const std::string fifo = vantotest::temp_dir() + "/config.toml";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {std::string("/nonexistent/demo.toml"), vantotest::temp_dir(),
                                  std::string("/dev/zero"), fifo}) {
    const auto r = run_program("vantoserver", {"--port", "0", path}, "", {}, 30s);
    EXPECT_EQ(r.status, 1) << path << ": " << r.err;
    EXPECT_EQ(r.err.rfind("vantoserver: " + path + ": ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST(ProgramTest, FirstLineNamesTheAddressAndSignalsStopCleanly) {
  for (int sig : {SIGTERM, SIGINT}) {
    vantotest::ChildProcess server("vantoserver", {"--bind", "127.0.0.1", "--port", "0",
                                                   vantotest::example_path("demo.toml")});
    ASSERT_TRUE(server.wait_for_out("\n", 30s)) << server.err();
    const std::string first = server.out();
    EXPECT_EQ(first.rfind("vantoserver listening on 127.0.0.1:", 0), 0u) << first;
    EXPECT_GT(std::atoi(first.c_str() + first.rfind(':') + 1), 0);
    // The streams' IPC endpoints (/tmp/<port>) exist while it runs, not after.
    ASSERT_TRUE(server.wait_for_err(" channels from ", 30s)) << server.err();
    std::vector<std::string> endpoints;
    const std::regex stream_port(" on port ([0-9]+),");
    const std::string log = server.err();
    for (auto m = std::sregex_iterator(log.begin(), log.end(), stream_port);
         m != std::sregex_iterator(); ++m)
      endpoints.push_back("/tmp/" + (*m)[1].str());
    ASSERT_EQ(endpoints.size(), 2u) << log;
    for (const auto& path : endpoints) EXPECT_TRUE(std::filesystem::is_socket(path)) << path;
    server.signal(sig);
    const auto r = server.wait(30s);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("vantoserver: stopped"), std::string::npos) << r.err;
    for (const auto& path : endpoints) EXPECT_FALSE(std::filesystem::exists(path)) << path;
  }
}

// Every connection takes a descriptor: a server started with a low soft limit
// raises it to the hard limit.
TEST(ProgramTest, OpenFileLimitIsRaisedToTheHardLimit) {
  vantotest::ChildProcess server(
      "/bin/sh", {"-c", "ulimit -Sn 64 && exec \"$0\" --port 0 \"$1\"",
                  vantotest::program_path("vantoserver"), vantotest::example_path("demo.toml")});
  ASSERT_TRUE(server.wait_for_out("\n", 30s)) << server.err();
  std::ifstream limits("/proc/" + std::to_string(server.pid()) + "/limits");
  std::string line;
  while (std::getline(limits, line) && line.rfind("Max open files", 0) != 0) {
  }
  std::istringstream fields(line.substr(std::strlen("Max open files")));
  std::string soft, hard;
  fields >> soft >> hard;
  EXPECT_EQ(soft, hard) << line;
  EXPECT_NE(server.err().find("at most " + hard + " open files"), std::string::npos)
      << server.err();
}

// With every descriptor taken, connections beyond are closed at once (not left
// waiting, which kept a thread of the server busy), and the server goes on.
TEST(ProgramTest, ConnectionsBeyondTheDescriptorLimitAreRefused) {
  vantotest::ChildProcess server(
      "/bin/sh", {"-c", "ulimit -n 64 && exec \"$0\" --port 0 \"$1\"",
                  vantotest::program_path("vantoserver"), vantotest::example_path("demo.toml")});
  ASSERT_TRUE(server.wait_for_out("\n", 30s)) << server.err();
  const int port = std::atoi(server.out().c_str() + server.out().rfind(':') + 1);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::vector<pollfd> clients;
  for (int k = 0; k < 100; ++k) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    clients.push_back(pollfd{fd, POLLIN, 0});
  }
  // Served connections get the server's greeting; refused ones end.
  int ended = 0;
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (ended == 0 && std::chrono::steady_clock::now() < deadline &&
         ::poll(clients.data(), clients.size(), 1000) >= 0) {
    for (pollfd& client : clients) {
      if (client.fd < 0 || client.revents == 0) continue;
      char bytes[256];
      if (::recv(client.fd, bytes, sizeof bytes, MSG_DONTWAIT) > 0) continue;
      ++ended;
      ::close(client.fd);
      client.fd = -1;  // poll skips it from now on
    }
  }
  EXPECT_GT(ended, 0);
  EXPECT_TRUE(server.wait_for_err("no file descriptor free", 15s)) << server.err();
  for (const pollfd& client : clients)
    if (client.fd >= 0) ::close(client.fd);

  ::setenv("VANTO_ENS", ("127.0.0.1:" + std::to_string(port)).c_str(), 1);
  vanto::EqCall call;
  vanto::EqAdr adr("TEST.SIM/SCALAR/LOC1/INT255");
  vanto::EqData in, out;
  EXPECT_EQ(call.get(&adr, &in, &out), 0) << out.error_text();
}

TEST(ProgramTest, TakenPortIsReported) {
  vantotest::ServerProcess first;
  const auto r = run_program("vantoserver", {"--port", std::to_string(first.port()),
                                             vantotest::example_path("demo.toml")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot listen on 127.0.0.1:" + std::to_string(first.port())),
            std::string::npos)
      << r.err;
}

TEST(ProgramTest, LargeInstallationListsAllItsLocations) {
  vantotest::ServerProcess server(vantotest::example_path("large.toml"));
  ::setenv("VANTO_ENS", server.ens().c_str(), 1);
  vanto::EqCall call;
  vanto::EqAdr adr("BIG.SIM/MANY/*/VALUE");
  vanto::EqData out;
  ASSERT_EQ(call.names(&adr, &out), 0) << out.error_text();
  ASSERT_EQ(out.array_length(), 8000);
  EXPECT_STREQ(out.get_ustr(7999).str_data, "L8000");
}

}  // namespace
