// The IPC endpoint file of a stream: what a starting server takes over and
// what it leaves alone.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "ipc_path.h"

namespace {

namespace fs = std::filesystem;

// A unix socket bound at path; listening or closed (then left behind as a
// server that was killed leaves it).
int bound_socket(const fs::path& path, bool listening) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  if (listening) {
    EXPECT_EQ(::listen(fd, 1), 0);
    return fd;
  }
  ::close(fd);
  return -1;
}

struct Case {
  const char* name;
  bool claimed;                    // the path may take the new socket
  void (*plant)(const fs::path&);  // what lies at the path before
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

void nothing(const fs::path&) {}
void stale_socket(const fs::path& p) { bound_socket(p, false); }
void regular_file(const fs::path& p) { std::ofstream(p) << "keep"; }
void link_to_file(const fs::path& p) {
  std::ofstream(p.string() + ".target") << "keep";
  fs::create_symlink(p.string() + ".target", p);
}
void directory(const fs::path& p) { fs::create_directory(p); }

class IpcPathTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("ipc_path_test." + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_P(IpcPathTest, TakesOnlyWhatIsFreeOrAStaleSocketOfOurs) {
  const fs::path path = dir_ / "40123";
  GetParam().plant(path);
  const auto before = fs::symlink_status(path).type();
  std::string why;
  EXPECT_EQ(vantoserver::claim_ipc_path(path, why), GetParam().claimed) << why;
  if (GetParam().claimed) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
  } else {
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(fs::symlink_status(path).type(), before);  // left alone
    for (const fs::path& file : {path, fs::path(path.string() + ".target")}) {
      if (!fs::is_regular_file(file)) continue;
      std::ifstream in(file);
      std::string text;
      in >> text;
      EXPECT_EQ(text, "keep") << file;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Planted, IpcPathTest,
                         ::testing::Values(Case{"nothing", true, nothing},
                                           Case{"stale_socket", true, stale_socket},
                                           Case{"regular_file", false, regular_file},
                                           Case{"link_to_file", false, link_to_file},
                                           Case{"directory", false, directory}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(IpcPathTest, SocketInUseIsLeftToItsServer) {
  const fs::path path = dir_ / "40124";
  const int listener = bound_socket(path, true);
  std::string why;
  EXPECT_FALSE(vantoserver::claim_ipc_path(path, why));
  EXPECT_EQ(why, "in use by another process");
  EXPECT_TRUE(fs::is_socket(path));
  ::close(listener);
}

}  // namespace
