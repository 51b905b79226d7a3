// The engine and vantoget's save & restore mode against a started
// vantoserver: live values, the two writers, restore and the -r/-b passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <vanto/vanto.h>

#include "harness.h"
#include "sr_mode.h"
#include "sr_test_files.h"
#include "text_diff.h"
#include "vantoutil.h"

namespace {

using srtest::read_file;

const char* kInt = "TEST.SIM/SCALAR/LOC1/INT";
const char* kFloat = "TEST.SIM/SCALAR/LOC1/FLOAT";

// A second client, to check what the engine wrote and to change values
// behind its back.
std::string live_text(const std::string& address) {
  vanto::EqCall call;
  vanto::EqAdr adr(address);
  vanto::EqData in, out;
  EXPECT_EQ(call.get(&adr, &in, &out), 0) << address << ": " << out.get_string();
  return out.get_string();
}

void set_live(const std::string& address, int type, const std::string& text) {
  vanto::EqCall call;
  vanto::EqAdr adr(address);
  vanto::EqData in, out;
  in.set_type(type);
  ASSERT_EQ(in.set_from_string(text), 0) << text;
  ASSERT_EQ(call.set(&adr, &in, &out), 0) << address << ": " << out.get_string();
}

std::vector<std::string> messages(const SR& engine) {
  return {engine.get_error_list().begin(), engine.get_error_list().end()};
}

// Replaces the time line (the third line) of a written file by "<time>",
// after checking that it is a ctime text.
std::string without_time_line(const std::string& text) {
  std::istringstream in(text);
  std::string line, result;
  for (int n = 0; std::getline(in, line); ++n) {
    if (n == 2) {
      EXPECT_TRUE(
          std::regex_match(line, std::regex(R"( \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4})")))
          << line;
      line = "<time>";
    }
    result += line + "\n";
  }
  return result;
}

class SrLiveTest : public vantotest::ServerTest {
 protected:
  std::string file(const std::string& body, const std::string& header = " c ;\n t ;\n") {
    return dir_.write("f" + std::to_string(++files_) + ".sr",
                      "//Save_&_Restore//\n" + header + body);
  }

  srtest::ScratchDir dir_;
  int files_ = 0;
};

TEST_F(SrLiveTest, ReadActualTakesLiveValuesAndKeepsFileValuesOfFailures) {
  SR engine(file("TEST.SIM SCALAR LOC1 INT\t1\t1\t;\n"
                 "TEST.SIM SCALAR LOC1 NOPE\t1\tfile value\t;\n"
                 "TEST.SIM SCALAR LOC1 STRING\t3\tx\t;\n")
                .c_str());
  engine.fill_list();
  ASSERT_EQ(engine.get_error(), 0);
  engine.set_actual(0);  // reads the live values all the same
  EXPECT_EQ(engine.get_actual(), 0);
  EXPECT_EQ(engine.get_error(), 1);
  ASSERT_EQ(messages(engine).size(), 1u);
  EXPECT_EQ(messages(engine)[0].rfind("TEST.SIM/SCALAR/LOC1/NOPE error: ", 0), 0u)
      << messages(engine)[0];
  const auto& list = engine.get_list();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_STREQ(list[0]->actual_, "42");
  EXPECT_STREQ(list[1]->actual_, "file value");
  EXPECT_STREQ(list[2]->actual_, "hello world");
  EXPECT_TRUE(std::regex_match(engine.get_actual_time(),
                               std::regex(R"(\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}\n)")));
}

TEST_F(SrLiveTest, SrSaveWritesAFourLineHeaderAndTheLiveValuesWithTheFileTypes) {
  const std::string source = file(
      "TEST.SIM SCALAR LOC1 INT\t2\t1\t;\n"
      "TEST.SIM SCALAR LOC1 STRING\t3\tx\t;\n"
      "TEST.SIM SCALAR LOC1 NOPE\t1\tkept 1 2\t;\n",
      " <Merge_addr: //LOC2/ >\n my snapshot ;\n Tue Dec  8 02:07:37 2026\n ;\n");
  SR engine(source.c_str(), 1);  // actual mode: loading reads the live values
  engine.fill_list();
  ASSERT_EQ(engine.get_list().size(), 3u);
  const std::string act_time = engine.get_actual_time();
  const std::string target = dir_.path("saved.sr");
  engine.sr_save(target.c_str());
  EXPECT_EQ(engine.get_error(), 0);
  EXPECT_TRUE(engine.get_list().empty());  // a saved engine is emptied
  EXPECT_SAME_TEXT(
      "//Save_&_Restore//\n"
      " my snapshot ;\n"
      // The channel that could not be read keeps its file value: the
      // time line says that not every value is live.
      " " +
          act_time.substr(0, act_time.size() - 1) +
          " (not live: 1 of 3 values are those of the source file)\n ;\n"
          "TEST.SIM SCALAR LOC1 INT\t2\t42\t;\n"
          "TEST.SIM SCALAR LOC1 STRING\t3\thello world\t;\n"
          "TEST.SIM SCALAR LOC1 NOPE\t1\tkept 1 2\t;\n",
      read_file(target));

  SR reread(target.c_str());
  reread.fill_list();
  ASSERT_EQ(reread.get_error(), 0);
  EXPECT_STREQ(reread.get_comment(), "my snapshot ");
  EXPECT_EQ(reread.get_merge(), nullptr);
  ASSERT_EQ(reread.get_list().size(), 3u);
  EXPECT_STREQ(reread.get_list()[1]->value_, "hello world");
  EXPECT_EQ(reread.get_list()[0]->type_, 2);
}

TEST_F(SrLiveTest, SrSaveThatCannotCreateItsFileReportsAndKeepsTheEntries) {
  SR engine(file("TEST.SIM SCALAR LOC1 INT\t1\t1\t;\n").c_str(), 1);
  engine.fill_list();
  const std::string target = dir_.path("no/such/dir/saved.sr");
  engine.sr_save(target.c_str());
  EXPECT_EQ(engine.get_error(), 1);
  EXPECT_EQ(messages(engine), (std::vector<std::string>{"can't open file: " + target,
                                                        target + ": No such file or directory"}));
  EXPECT_EQ(engine.get_list().size(), 1u);
}

TEST_F(SrLiveTest, SrSaveActualMergeRules) {
  const std::string merged =
      file("TEST.SIM SCALAR LOCX INT\t1\t1\t;\n", " <Merge_addr: //LOC1/ >\n c ;\n t ;\n");
  SR merging(merged.c_str());
  merging.fill_list();
  const std::string target1 = dir_.path("merged.sr");
  merging.sr_save_actual(target1.c_str(), 0, 1);
  EXPECT_EQ(merging.get_error(), 0) << messages(merging)[0];
  EXPECT_SAME_TEXT("//Save_&_Restore//\n c ;\n<time>\n ;\nTEST.SIM SCALAR LOC1 INT\t1\t42\t;\n",
                   without_time_line(read_file(target1)));
  EXPECT_TRUE(merging.get_list().empty());

  SR kept(
      file("TEST.SIM SCALAR LOC1 INT\t1\t1\t;\n", " <Merge_addr: //LOC1/ >\n c ;\n t ;\n").c_str());
  kept.fill_list();
  const std::string target2 = dir_.path("kept.sr");
  kept.sr_save_actual(target2.c_str(), 0, 0);
  const std::string with_block = read_file(target2);
  EXPECT_EQ(with_block.rfind("//Save_&_Restore//\n <Merge_addr: //LOC1/ >\n c ;\n", 0), 0u)
      << with_block;
  EXPECT_NE(with_block.find("\nTEST.SIM SCALAR LOC1 INT\t1\t42\t;\n"), std::string::npos)
      << with_block;

  SR empty_merge(
      file("TEST.SIM SCALAR LOC1 INT\t1\t1\t;\n", " <Merge_addr: /// >\n c ;\n t ;\n").c_str());
  empty_merge.fill_list();
  const std::string target3 = dir_.path("plain.sr");
  empty_merge.sr_save_actual(target3.c_str(), 0, 0);
  EXPECT_SAME_TEXT("//Save_&_Restore//\n c ;\n<time>\n ;\nTEST.SIM SCALAR LOC1 INT\t1\t42\t;\n",
                   without_time_line(read_file(target3)));

  // A file written with the merge block restores its merge address.
  SR reread(target2.c_str());
  reread.fill_list();
  ASSERT_NE(reread.get_merge(), nullptr);
  EXPECT_STREQ(reread.get_merge(), "//LOC1/");
}

TEST_F(SrLiveTest, SrSaveActualReportsChannelsItCannotRead) {
  const std::string body =
      "TEST.SIM SCALAR LOC1 INT\t1\t1\t;\n"
      "TEST.SIM SCALAR LOC1 NOPE\t1\t1\t;\n"
      "TEST.SIM SCALAR LOC1 STRING\t3\tx\t;\n";
  SR going_on(file(body).c_str());
  going_on.fill_list();
  const std::string target = dir_.path("partial.sr");
  going_on.sr_save_actual(target.c_str(), 0, 0);
  EXPECT_EQ(going_on.get_error(), 1);
  ASSERT_EQ(messages(going_on).size(), 1u);
  EXPECT_EQ(messages(going_on)[0].rfind("TEST.SIM/SCALAR/LOC1/NOPE error: ", 0), 0u);
  EXPECT_SAME_TEXT(
      "//Save_&_Restore//\n c ;\n<time>\n ;\n"
      "TEST.SIM SCALAR LOC1 INT\t1\t42\t;\n"
      "TEST.SIM SCALAR LOC1 STRING\t3\thello world\t;\n",
      without_time_line(read_file(target)));

  // With stop the save ends at the failure and a good old file stays.
  const std::string good = dir_.write("good.sr", "//Save_&_Restore// good ; t ;\n");
  SR stopping(file(body).c_str());
  stopping.fill_list();
  stopping.sr_save_actual(good.c_str(), 1, 0);
  EXPECT_EQ(stopping.get_error(), 1);
  EXPECT_EQ(read_file(good), "//Save_&_Restore// good ; t ;\n");
  EXPECT_EQ(stopping.get_list().size(), 3u);
}

TEST_F(SrLiveTest, RestoreFromFileAndFromData) {
  const std::string body =
      "TEST.SIM SCALAR LOC1 INT\t1\t7\t;\n"
      "TEST.SIM SCALAR LOC1 FLOAT\t2\t3.5\t;\n"
      "TEST.SIM SCALAR LOC1 STRING\t3\tfrom file\t;\n";
  SR engine(file(body).c_str());
  engine.fill_list();
  engine.restore(0, SR_SET_FROM_FILE, 0);
  EXPECT_EQ(engine.get_error(), 0);
  EXPECT_EQ(live_text(kInt), "7");
  EXPECT_FLOAT_EQ(std::stof(live_text(kFloat)), 3.5f);
  EXPECT_EQ(live_text("TEST.SIM/SCALAR/LOC1/STRING"), "from file");

  set_live("TEST.SIM/SCALAR/LOC1/STRING", vanto::DATA_STRING, "untouched");
  engine.restore(1.0f, SR_ADD_FROM_DATA, 0);
  EXPECT_EQ(engine.get_error(), 0);
  EXPECT_EQ(live_text(kInt), "8");
  EXPECT_FLOAT_EQ(std::stof(live_text(kFloat)), 4.5f);
  EXPECT_EQ(live_text("TEST.SIM/SCALAR/LOC1/STRING"), "untouched");

  SR large(file("TEST.SIM SCALAR LOC1 INT\t1\t1234567\t;\n").c_str());
  large.fill_list();
  large.restore(1.0f, SR_ADD_FROM_DATA, 0);
  EXPECT_EQ(large.get_error(), 0);
  EXPECT_EQ(live_text(kInt), "1234568");

  SR floats(
      file("TEST.SIM SCALAR LOC1 FLOAT\t2\t1\t;\nTEST.SIM SCALAR LOC1 DOUBLE\t6\t1\t;\n").c_str());
  floats.fill_list();
  floats.restore(2.0f, SR_SET_FROM_DATA, 0);
  EXPECT_EQ(floats.get_error(), 0);
  EXPECT_FLOAT_EQ(std::stof(live_text(kFloat)), 2.0f);
  EXPECT_DOUBLE_EQ(std::stod(live_text("TEST.SIM/SCALAR/LOC1/DOUBLE")), 2.0);
}

TEST_F(SrLiveTest, RestoreCheckCorrectWritesOnlyDifferences) {
  // INT255 accepts no set: writing it would fail, so an equal value must be skipped.
  SR engine(file("TEST.SIM SCALAR LOC1 INT255\t1\t255\t;\n"
                 "TEST.SIM SCALAR LOC1 INT\t1\t9\t;\n")
                .c_str());
  engine.fill_list();
  engine.restore(0, SR_CHECK_CORRECT, 0);
  EXPECT_EQ(engine.get_error(), 0) << messages(engine)[0];
  EXPECT_EQ(live_text(kInt), "9");
}

TEST_F(SrLiveTest, RestoreMergeAddressWritesTheFileValueAtTheMergedAddress) {
  SR engine(file("TEST.SIM SCALAR LOCX INT\t1\t11\t;\n", " <Merge_addr: //LOC1/ >\n c ;\n t ;\n")
                .c_str());
  engine.fill_list();
  engine.restore(0, SR_MERGE_ADDRESS, 0);
  EXPECT_EQ(engine.get_error(), 0) << messages(engine)[0];
  EXPECT_EQ(live_text(kInt), "11");
}

TEST_F(SrLiveTest, RestoreFailuresAreListedAndStopEndsTheRun) {
  const std::string body =
      "TEST.SIM SCALAR LOC1 INT255\t1\t3\t;\n"
      "TEST.SIM SCALAR LOC1 INT\t1\t5\t;\n";
  SR stopping(file(body).c_str());
  stopping.fill_list();
  stopping.restore(0, SR_SET_FROM_FILE, 1);
  EXPECT_EQ(stopping.get_error(), 1);
  ASSERT_EQ(messages(stopping).size(), 1u);
  EXPECT_EQ(messages(stopping)[0].rfind("TEST.SIM/SCALAR/LOC1/INT255 error: ", 0), 0u);
  EXPECT_EQ(live_text(kInt), "42");

  SR going_on(file(body).c_str());
  going_on.fill_list();
  going_on.restore(0, SR_SET_FROM_FILE, 0);
  EXPECT_EQ(going_on.get_error(), 1);
  EXPECT_EQ(live_text(kInt), "5");
}

// --- vantoget's save & restore mode with live values ----------------------

struct PassResult {
  std::optional<int> status;
  std::string out;
  std::string err;
};

PassResult run_pass(const vantosr::SrModeOptions& options) {
  std::ostringstream out, err;
  PassResult result;
  result.status = vantosr::sr_mode_pass(options, true, out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

TEST_F(SrLiveTest, ReferenceCountsDifferencesAfterAnotherClientChangedAChannel) {
  vantosr::SrModeOptions options;
  options.filename = file(
      "TEST.SIM SCALAR LOC1 INT\t1\t42\t;\n"
      "TEST.SIM SCALAR LOC1 STRING\t3\thello world and more\t;\n"  // live text only a prefix
      "TEST.SIM SCALAR LOC1 IIII\t14\t1\t2 3 4\t;\n");             // a tab never matches
  options.reference_flag = true;
  PassResult first = run_pass(options);
  EXPECT_EQ(first.status, std::nullopt);
  EXPECT_EQ(first.out, "Differences between actual and reference data : 2\n");

  set_live(kInt, vanto::DATA_INT, "43");
  PassResult second = run_pass(options);
  EXPECT_EQ(second.out, "Differences between actual and reference data : 3\n");
  EXPECT_EQ(second.err, "");
}

TEST_F(SrLiveTest, ReferenceWithAFailedReadPrintsTheErrorListAndEnds) {
  vantosr::SrModeOptions options;
  options.filename =
      file("TEST.SIM SCALAR LOC1 NOPE\t1\t1\t;\nTEST.SIM SCALAR LOC1 INT\t1\t42\t;\n");
  options.reference_flag = true;
  options.atoref_flag = true;
  options.filename1 = dir_.path("never.sr");
  PassResult r = run_pass(options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.rfind("TEST.SIM/SCALAR/LOC1/NOPE error: ", 0), 0u) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
  EXPECT_FALSE(std::filesystem::exists(options.filename1));
}

TEST_F(SrLiveTest, SaveOptionReportsASnapshotWithFileValuesOrNoSnapshot) {
  vantosr::SrModeOptions options;
  options.filename = file(
      "TEST.SIM SCALAR LOC1 INT\t1\t1\t;\n"
      "TEST.SIM SCALAR LOC1 NOPE\t1\tstored\t;\n");
  options.list_flag = true;
  options.atoref_flag = true;
  options.filename1 = dir_.path("partly.sr");
  PassResult r = run_pass(options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("vantoget: TEST.SIM/SCALAR/LOC1/NOPE error: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("vantoget: 1 channel(s) could not be read; their file values were saved "
                       "in their place\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(read_file(options.filename1).find("TEST.SIM SCALAR LOC1 NOPE\t1\tstored\t;\n"),
            std::string::npos);

  options.filename1 = dir_.path("no/such/dir/new.sr");
  r = run_pass(options);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("vantoget: can't open file: " + options.filename1 + "\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("vantoget: the live values were not saved to " + options.filename1 + "\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("were saved in their place"), std::string::npos) << r.err;
}

}  // namespace
