// vantoget's save & restore mode on the file values alone: listing, entry
// count and names, cells, header and date column, and the load failure.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "sr_mode.h"
#include "sr_test_files.h"
#include "text_diff.h"

namespace {

using vantosr::SrModeOptions;
using vantotest::pad;

struct PassResult {
  std::optional<int> status;
  std::string out;
  std::string err;
};

class SrModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.filename = dir_.write("three.sr",
                                   "//Save_&_Restore//\n three entries ;\n t ;\n"
                                   "TEST.SIM SCALAR LOC1 INT\t1\t42\t;\n"
                                   "TEST.SIM SCALAR LOC1 STRING\t3\thello world\t;\n"
                                   "TEST.SIM ARRAY LOC1 A_INT\t105\t1\t2 3 4\t;\n");
  }

  PassResult pass(bool first_pass = true) {
    std::ostringstream out, err;
    PassResult result;
    result.status = vantosr::sr_mode_pass(options_, first_pass, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
  }

  srtest::ScratchDir dir_;
  SrModeOptions options_;
};

TEST_F(SrModeTest, DisplaysFileValuesInCells) {
  PassResult r = pass();
  EXPECT_EQ(r.status, std::nullopt);
  // A tab inside a value shows as a blank: it never splits a column.
  EXPECT_EQ(r.out, pad("42") + "\t" + pad("hello world") + "\t" + pad("1 2 3 4") + "\t\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(SrModeTest, HeaderOnlyOnTheFirstPass) {
  options_.header_flag = true;
  options_.tab_flag = true;
  EXPECT_SAME_TEXT(
      "TEST.SIM/SCALAR/LOC1/INT\tTEST.SIM/SCALAR/LOC1/STRING\t"
      "TEST.SIM/ARRAY/LOC1/A_INT\t\n"
      "42\thello world\t1 2 3 4\t\n",
      pass(true).out);
  EXPECT_EQ(pass(false).out, "42\thello world\t1 2 3 4\t\n");
}

TEST_F(SrModeTest, NarrowCellsKeepTheTailOfNamesAndValues) {
  options_.header_flag = true;
  options_.width = 5;
  EXPECT_SAME_TEXT(
      "</INT\t<RING\t<_INT\t\n"
      "42   \torld>\t 3 4>\t\n",
      pass().out);
  options_.width = 1;
  EXPECT_SAME_TEXT("<\t<\t<\t\n>\t>\t>\t\n", pass().out);
}

TEST_F(SrModeTest, DateColumnComesFirstAndCellsFollowATab) {
  options_.header_flag = true;
  options_.date_flag = true;
  options_.form = 2;
  options_.tab_flag = true;
  PassResult r = pass();
  const std::regex expected(
      "#_UNIX_time\tTEST.SIM/SCALAR/LOC1/INT\tTEST.SIM/SCALAR/LOC1/STRING\t"
      "TEST.SIM/ARRAY/LOC1/A_INT\n"
      "[0-9]+  \t42\thello world\t1 2 3 4\n");
  EXPECT_TRUE(std::regex_match(r.out, expected)) << r.out;
}

TEST_F(SrModeTest, EntryCountAndEntryNames) {
  options_.line_flag = true;
  for (long n : {0L, 4L, 100L}) {
    options_.line_number = n;
    options_.atoref_flag = true;  // nothing else of the pass is done
    options_.filename1 = dir_.path("never.sr");
    PassResult r = pass();
    EXPECT_EQ(r.status, 0) << n;
    EXPECT_EQ(r.out, "Number of properties in file: 3\n") << n;
    EXPECT_FALSE(std::filesystem::exists(options_.filename1));
  }
  options_.atoref_flag = false;
  options_.tab_flag = true;
  options_.line_number = 3;
  EXPECT_SAME_TEXT("TEST.SIM/ARRAY/LOC1/A_INT\n42\thello world\t1 2 3 4\t\n", pass().out);
  options_.line_number = -1;
  EXPECT_EQ(pass().out, "42\thello world\t1 2 3 4\t\n");
  options_.line_number = 1;
  options_.list_flag = true;
  EXPECT_SAME_TEXT(
      "TEST.SIM/SCALAR/LOC1/INT\n"
      "TEST.SIM/SCALAR/LOC1/INT   TEST.SIM/SCALAR/LOC1/STRING   "
      "TEST.SIM/ARRAY/LOC1/A_INT   \n",
      pass().out);
}

TEST_F(SrModeTest, SavingAFileWithoutEntriesIsReportedAsAFailure) {
  options_.filename = dir_.write("empty.sr", "//Save_&_Restore// c ; t ;\n");
  options_.list_flag = true;
  options_.atoref_flag = true;
  options_.filename1 = dir_.path("new.sr");
  PassResult r = pass();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "\n");
  EXPECT_SAME_TEXT("vantoget: file not loaded\nvantoget: the live values were not saved to " +
                       options_.filename1 + "\n",
                   r.err);
  EXPECT_FALSE(std::filesystem::exists(options_.filename1));
}

TEST_F(SrModeTest, FilesThatCannotBeLoadedEndTheProcessWithTheRealReason) {
  struct Case {
    std::string path;
    std::string message;
  };
  const std::string missing = dir_.path("missing.sr");
  const std::string plain = dir_.write("plain.txt", "just text\n");
  const std::string damaged =
      dir_.write("damaged.sr", "//Save_&_Restore// c ; t ;\nF D L P\tx\t5\t;\n");
  for (const Case& c : {
           Case{missing, "Cannot open file " + missing + "\nvantoget: " + missing +
                             ": No such file or directory\n"},
           Case{plain, "vantoget: " + plain +
                           " is not a save & restore file (it does not begin with "
                           "//Save_&_Restore//)\n"},
           // Damaged files opened fine: the damage alone is reported.
           Case{damaged, "vantoget: " + damaged +
                             ": entry 1: the type is not a number: \"x\"; the file is "
                             "damaged, this entry was not loaded\n"},
       }) {
    options_.filename = c.path;
    const PassResult r = pass();
    EXPECT_EQ(r.status, 1) << c.path;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.message);
  }
  // Neither a directory nor a FIFO is opened for reading (a FIFO would block).
  const std::string fifo = dir_.path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& special : {dir_.path(""), fifo}) {
    options_.filename = special;
    const PassResult r = pass();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(special + ": is a"), std::string::npos) << r.err;
  }
}

}  // namespace
