// A new file replaces its target whole; where the directory refuses new
// files the target is rewritten in place, never through a symbolic link.
#include "replacing_file.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "sr_test_files.h"

namespace {

constexpr uid_t kNobody = 65534;

// Runs body in a child process without the right to create files in a
// directory owned by root (as root, the child becomes nobody). The child's
// exit status is the number of failed checks.
int in_unprivileged_child(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(100);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

TEST(ReplacingFile, ClosedDirectoryRewritesInPlaceButNeverThroughALink) {
  srtest::ScratchDir dir;
  const std::string target = dir.write("target.sr", "old");
  const std::string victim = dir.write("victim", "untouched");
  const std::string link = dir.path("link.sr");
  ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
  const uid_t owner = ::geteuid() == 0 ? kNobody : ::geteuid();
  for (const std::string& path : {target, victim}) ASSERT_EQ(::chown(path.c_str(), owner, -1), 0);
  ASSERT_EQ(::chmod(dir.path("").c_str(), 0755), 0);
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(dir.path("").c_str(), 0555), 0);
  }

  const int failed = in_unprivileged_child([&] {
    int failures = 0;
    vantosr::ReplacingFile in_place(target);
    failures += !in_place.is_open() || !in_place.in_place();
    failures += !in_place.write("new") || !in_place.commit();
    vantosr::ReplacingFile through_link(link);
    failures += through_link.is_open();
    failures += through_link.error().find("symbolic link") == std::string::npos;
    return failures;
  });
  ::chmod(dir.path("").c_str(), 0755);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(srtest::read_file(target), "new");
  EXPECT_EQ(srtest::read_file(victim), "untouched");
}

// A file its owner made read-only is not replaced either, though the
// directory would allow the rename: a plain create would be refused too.
TEST(ReplacingFile, ReadOnlyTargetIsRefusedAndKept) {
  srtest::ScratchDir dir;
  const std::string target = dir.write("reference.sr", "precious");
  const uid_t owner = ::geteuid() == 0 ? kNobody : ::geteuid();
  ASSERT_EQ(::chown(dir.path("").c_str(), owner, -1), 0);
  ASSERT_EQ(::chown(target.c_str(), owner, -1), 0);
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);

  const int failed = in_unprivileged_child([&] {
    vantosr::ReplacingFile file(target);
    int failures = file.is_open();
    failures += file.error() != std::strerror(EACCES);
    failures += file.write("new") && file.commit();
    return failures;
  });
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(srtest::read_file(target), "precious");
}

}  // namespace
