// vantoget -f: the built program on save & restore files, against a started
// vantoserver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <vanto/vanto.h>

#include "harness.h"
#include "sr_test_files.h"

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
  EXPECT_EQ(r.out, "TEST.SIM/SCALAR/LOC1/INT\tTEST.SIM/SCALAR/LOC1/STRING\t\n42\thello\t\n");
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
  EXPECT_EQ(r.out, "TEST.SIM/SCALAR/LOC1/INT\n42\thello\t\n");

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

TEST_F(VantogetSrTest, FailedSaveEndsWithStatusOne) {
  const std::string saved = dir_.path("missing/dir/saved.sr");
  vantotest::ProgramResult r = run({"-f", file_, "-L", "-b", saved});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("can't open file: " + saved), std::string::npos) << r.err;
}

TEST_F(VantogetSrTest, DelayIsClampedAndKeepsTheOutput) {
  vantotest::ProgramResult r = run({"-f", file_, "-T", "-D", "0"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "42\thello\t\n");
}

TEST_F(VantogetSrTest, SampleFileHoldsTheDemoInstallationsValues) {
  vantotest::ProgramResult r = run({"-f", vantotest::example_path("demo.sr"), "-r", "-n", "1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "TEST.SIM/SCALAR/LOC1/INT\n"
            "Differences between actual and reference data : 0\n");
}

TEST_F(VantogetSrTest, FileThatCannotBeLoaded) {
  const std::string missing = dir_.path("missing.sr");
  vantotest::ProgramResult r = run({"-f", missing});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Cannot open file " + missing + "\n");
}

}  // namespace
