// vantoget -f: the built program on save & restore files, against a started
// vantoserver.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <vanto/vanto.h>

#include "harness.h"
#include "sr_test_files.h"
#include "text_diff.h"

namespace {

const std::string kVantoget = VANTOGET_PATH;

class VantogetSrTest : public vantotest::ServerTest {
 protected:
  void SetUp() override {
    file_ = dir_.write("two.sr",
                       "//Save_&_Restore//\n two ;\n t ;\n"
                       "TEST.SIM SCALAR LOC1 INT\t1\t42\t;\n"
                       "TEST.SIM SCALAR LOC1 STRING\t3\thello\t;\n");
  }

  vantotest::ProgramResult run(std::vector<std::string> args) {
    return vantotest::run_program(kVantoget, args);
  }

  srtest::ScratchDir dir_;
  std::string file_;
};

TEST_F(VantogetSrTest, ShowsTheFileValues) {
  vantotest::ProgramResult r = run({"-f", file_, "-T", "-H"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("TEST.SIM/SCALAR/LOC1/INT\tTEST.SIM/SCALAR/LOC1/STRING\t\n42\thello\t\n", r.out);
  EXPECT_EQ(r.err, "");
}

TEST_F(VantogetSrTest, EntryCountAndEntryNames) {
  vantotest::ProgramResult r = run({"-f", file_, "-n", "0", "-r"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Number of properties in file: 2\n");

  r = run({"-f", file_, "-n", "3"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Number of properties in file: 2\n");

  r = run({"-f", file_, "-n", "1", "-T"});
  EXPECT_EQ(r.status, 0);
  EXPECT_SAME_TEXT("TEST.SIM/SCALAR/LOC1/INT\n42\thello\t\n", r.out);

  r = run({"-f", file_, "-L"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "TEST.SIM/SCALAR/LOC1/INT   TEST.SIM/SCALAR/LOC1/STRING   \n");
}

TEST_F(VantogetSrTest, ReferenceCountsChannelsAnotherClientChanged) {
  vantotest::ProgramResult r = run({"-f", file_, "-r"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Differences between actual and reference data : 1\n");

  vanto::EqCall call;
  vanto::EqAdr adr("TEST.SIM/SCALAR/LOC1/INT");
  vanto::EqData in, out;
  in.set_type(vanto::DATA_INT);
  in.set_from_string("7");
  ASSERT_EQ(call.set(&adr, &in, &out), 0) << out.get_string();

  r = run({"-f", file_, "-r"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Differences between actual and reference data : 2\n");
}

TEST_F(VantogetSrTest, SavedFileReadsBackWithTheLiveValues) {
  const std::string saved = dir_.path("saved.sr");
  vantotest::ProgramResult r = run({"-f", file_, "-L", "-b", saved});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");

  r = run({"-f", saved, "-T"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "42\thello world\t\n");
  EXPECT_EQ(srtest::read_file(saved).substr(0, 25), "//Save_&_Restore//\n two ;");
}

// -r compares live values with their tabs shown as blanks; the snapshot of
// -b is the same with or without -r: a value holding a tab is not saved in
// its blank form, as if that were the channel's value.
TEST_F(VantogetSrTest, SaveAfterCompareKeepsTheValuesAsTheyAre) {
  vanto::EqCall call;
  vanto::EqAdr adr("TEST.SIM/SCALAR/LOC1/STRING");
  vanto::EqData in, out;
  in.set_type(vanto::DATA_STRING);
  in.set_from_string("a\tb");
  ASSERT_EQ(call.set(&adr, &in, &out), 0) << out.get_string();
  for (const char* mode : {"-L", "-r"}) {
    const std::string saved = dir_.path(std::string("saved") + mode + ".sr");
    const vantotest::ProgramResult r = run({"-f", file_, mode, "-b", saved});
    EXPECT_EQ(r.status, 1) << mode;
    EXPECT_NE(r.err.find("STRING error: the live value cannot be stored (it holds a tab)"),
              std::string::npos)
        << mode << ": " << r.err;
    const std::string text = srtest::read_file(saved);
    EXPECT_NE(text.find("TEST.SIM SCALAR LOC1 STRING\t3\thello\t;\n"), std::string::npos)
        << mode << ": " << text;
  }
  in.set_from_string("hello world");
  ASSERT_EQ(call.set(&adr, &in, &out), 0) << out.get_string();
}

TEST_F(VantogetSrTest, FailedSaveEndsWithStatusOne) {
  const std::string saved = dir_.path("missing/dir/saved.sr");
  vantotest::ProgramResult r = run({"-f", file_, "-L", "-b", saved});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("can't open file: " + saved), std::string::npos) << r.err;
}

TEST_F(VantogetSrTest, SaveRewritesTheTargetWhereItsDirectoryForbidsNewFiles) {
  // A directory the saving user may not create files in, holding a target
  // that user may rewrite. Root ignores such modes, so it runs vantoget as
  // the unprivileged user "nobody".
  const bool as_root = ::getuid() == 0;
  const std::string locked = dir_.path("locked");
  std::filesystem::create_directory(locked);
  const std::string source = locked + "/source.sr";
  const std::string target = locked + "/target.sr";
  std::filesystem::copy_file(file_, source);
  dir_.write("locked/target.sr", "//Save_&_Restore// old ; t ;\n");
  using std::filesystem::perms;
  std::filesystem::permissions(dir_.path(""),
                               perms::owner_all | perms::group_exec | perms::others_exec);
  std::filesystem::permissions(source, perms::owner_read | perms::group_read | perms::others_read);
  std::filesystem::permissions(target, perms::owner_read | perms::owner_write | perms::group_read |
                                           perms::group_write | perms::others_read |
                                           perms::others_write);
  std::filesystem::permissions(locked, perms::owner_read | perms::owner_exec | perms::group_read |
                                           perms::group_exec | perms::others_read |
                                           perms::others_exec);

  std::vector<std::string> args = {"-f", source, "-L", "-b", target};
  std::string program = kVantoget;
  if (as_root) {
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", kVantoget});
    program = "/usr/bin/setpriv";
  }
  vantotest::ProgramResult r = vantotest::run_program(program, args);
  std::filesystem::permissions(locked, perms::owner_all);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(srtest::read_file(target).find("TEST.SIM SCALAR LOC1 STRING\t3\thello world\t;\n"),
            std::string::npos)
      << srtest::read_file(target);
}

// A device or FIFO named by -b takes the snapshot directly, as it takes
// -E tables: renaming a new file over it would take the device away (as
// root, "-b /dev/null" would leave a regular file in its place). A link to
// one (such as /dev/stdout) is neither followed nor replaced.
TEST_F(VantogetSrTest, SaveIntoADeviceOrFifoNeverReplacesIt) {
  const struct {
    std::string name;
    mode_t mode;
    dev_t device;
    int status;
  } cases[] = {
      {"null", S_IFCHR | 0666, makedev(1, 3), 0},  // takes the text
      {"full", S_IFCHR | 0666, makedev(1, 7), 1},  // refuses it: no space left
      {"fifo", S_IFIFO | 0666, 0, 1},              // nobody reads it
      {"link", S_IFLNK | 0777, 0, 1},              // to the "null" device
  };
  for (const auto& c : cases) {
    const std::string target = dir_.path(c.name);
    const bool made = S_ISLNK(c.mode) ? ::symlink(dir_.path("null").c_str(), target.c_str()) == 0
                                      : ::mknod(target.c_str(), c.mode, c.device) == 0;
    if (!made) {
      GTEST_SKIP() << "cannot make " << c.name << " here";
    }
    const vantotest::ProgramResult r = run({"-f", file_, "-L", "-b", target});
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
    struct stat st {};
    ASSERT_EQ(::lstat(target.c_str(), &st), 0) << c.name;
    EXPECT_EQ(st.st_mode & S_IFMT, c.mode & S_IFMT) << c.name << " was replaced";
  }
  // No temporary file is left beside them.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path("")),
                          std::filesystem::directory_iterator()),
            5);
}

TEST_F(VantogetSrTest, DelayIsClampedAndKeepsTheOutput) {
  // The largest delays pause 999.999 ms and then 999 ms per value.
  for (const char* delay : {"0", "-9223372036854775808", "9223372036854775807"}) {
    vantotest::ProgramResult r = run({"-f", file_, "-T", "-D", delay});
    EXPECT_EQ(r.status, 0) << delay << ": " << r.err;
    EXPECT_EQ(r.out, "42\thello\t\n") << delay;
  }
}

TEST_F(VantogetSrTest, SampleFileHoldsTheDemoInstallationsValues) {
  vantotest::ProgramResult r = run({"-f", vantotest::example_path("demo.sr"), "-r", "-n", "1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(
      "TEST.SIM/SCALAR/LOC1/INT\n"
      "Differences between actual and reference data : 0\n",
      r.out);
}

TEST_F(VantogetSrTest, FileThatCannotBeLoaded) {
  const std::string missing = dir_.path("missing.sr");
  vantotest::ProgramResult r = run({"-f", missing});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_SAME_TEXT(
      "Cannot open file " + missing + "\nvantoget: " + missing + ": No such file or directory\n",
      r.err);
}

}  // namespace
