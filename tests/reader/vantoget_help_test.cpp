// vantoget's help text, printed by the built program.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "harness.h"
#include "text_diff.h"

namespace {

std::string expected_help() {
  std::ifstream in(std::string(READER_TEST_DATA_DIR) + "/help.txt", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(VantogetHelp, HelpOptionPrintsTheWholeTextWithStatus255) {
  const std::string expected = expected_help();
  ASSERT_FALSE(expected.empty());
  const auto r = vantotest::run_program(VANTOGET_PATH, {"-h"});
  EXPECT_EQ(r.status, 255);
  EXPECT_SAME_TEXT(expected, r.out);
  EXPECT_EQ(r.err, "");
}

TEST(VantogetHelp, NoArgumentPrintsTheHintFirst) {
  const auto r = vantotest::run_program(VANTOGET_PATH, {});
  EXPECT_EQ(r.status, 255);
  EXPECT_SAME_TEXT(" See help for usage :\n" + expected_help(), r.out);
}

TEST(VantogetHelp, UnknownOptionOrMissingArgumentPrintsTheHelp) {
  for (const char* option : {"-k", "-c"}) {
    const auto r = vantotest::run_program(VANTOGET_PATH, {option});
    EXPECT_EQ(r.status, 255) << option;
    EXPECT_SAME_TEXT(expected_help(), r.out);
  }
}

TEST(VantogetHelp, VersionLineThenTheMissingChannelMessage) {
  const auto r = vantotest::run_program(VANTOGET_PATH, {"-v"});
  EXPECT_EQ(r.status, 0);
  EXPECT_SAME_TEXT(" vantoget: channel reader of the vantotools package\n$Id$\n"
                   "Channel or file name is not defined! (-c or -f options)\n",
                   r.out);
}

}  // namespace
