// The whole-file lock: a file that another process holds under a write lock
// is loaded only after that process let it go.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "sr_test_files.h"
#include "vantoutil.h"

namespace {

const std::string kOldText = "//Save_&_Restore// old ; t ;\nF D L OLD\t1\t1\t;\n";
const std::string kNewText =
    "//Save_&_Restore// new ; t ;\nF D L NEW\t1\t2\t;\nF D L NEWER\t1\t3\t;\n";

// True when /proc/locks shows a process waiting for a lock on inode.
bool someone_waits_for(ino_t inode) {
  std::ifstream locks("/proc/locks");
  std::string line;
  const std::string suffix = ":" + std::to_string(inode) + " ";
  while (std::getline(locks, line)) {
    if (line.find("->") != std::string::npos && line.find(suffix) != std::string::npos) {
      return true;
    }
  }
  return false;
}

bool write_all(int fd, const std::string& text) {
  return ::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

// Child: takes a write lock, tells the parent, waits until the parent is
// seen waiting for the lock (or a generous time-out), rewrites the file and
// only then lets the lock go.
[[noreturn]] void hold_lock_and_rewrite(const std::string& path, int ready_fd) {
  int fd = ::open(path.c_str(), O_RDWR);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (fd < 0 || ::fcntl(fd, F_SETLKW, &lock) != 0) ::_exit(2);
  char byte = 'L';
  if (::write(ready_fd, &byte, 1) != 1) ::_exit(3);
  struct stat st {};
  ::fstat(fd, &st);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!someone_waits_for(st.st_ino) && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!write_all(fd, kNewText)) ::_exit(4);
  lock.l_type = F_UNLCK;
  ::fcntl(fd, F_SETLK, &lock);
  ::_exit(0);
}

TEST(SrLockTest, LoadingWaitsForAWriterThatHoldsTheFile) {
  srtest::ScratchDir dir;
  const std::string path = dir.write("locked.sr", kOldText);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) hold_lock_and_rewrite(path, ready[1]);
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the child could not lock the file";
  ::close(ready[0]);

  // The child holds the file; only the rewritten text may be loaded.
  SR engine(path.c_str());
  engine.fill_list();

  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  ASSERT_EQ(engine.get_error(), 0);
  ASSERT_EQ(engine.get_list().size(), 2u);
  EXPECT_STREQ(engine.get_list()[0]->name_, "F/D/L/NEW");
  EXPECT_STREQ(engine.get_comment(), "new ");
}

}  // namespace
