// vantoget's help text, printed by the built program.
#include <gtest/gtest.h>

#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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
  EXPECT_EQ(r.status, 1) << "nothing to read is a failure";
  EXPECT_SAME_TEXT(
      " vantoget: channel reader of the vantotools package\n$Id$\n"
      "Channel or file name is not defined! (-c or -f options)\n",
      r.out);
}

// The example commands of the help text, each run by the shell as written
// against the demo installation, in a directory of its own that holds the
// save & restore file the examples name.
class HelpExamples : public vantotest::ServerTest {
 protected:
  static std::vector<std::string> example_commands() {
    std::vector<std::string> commands;
    std::istringstream lines(expected_help());
    const std::string prompt = " $ vantoget ";
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with(prompt)) commands.push_back(line.substr(prompt.size()));
    }
    return commands;
  }

  struct Example {
    std::string command;
    std::unique_ptr<vantotest::ChildProcess> run;
  };

  static Example start(const std::string& command) {
    const std::string dir = vantotest::temp_dir();
    std::filesystem::copy_file(vantotest::example_path("demo.sr"), dir + "/settings.sr");
    const std::string line = "cd '" + dir + "' && exec '" VANTOGET_PATH "' " + command;
    return {command, std::make_unique<vantotest::ChildProcess>(
                         "/bin/sh", std::vector<std::string>{"-c", line})};
  }

  static void check(Example& example) {
    const std::string& command = example.command;
    // -s without -l repeats without end: its first two passes must succeed.
    if (command.find("-s ") != std::string::npos && command.find("-l ") == std::string::npos) {
      EXPECT_TRUE(example.run->wait_for_out("\n", std::chrono::seconds(60), 2)) << command;
      example.run->signal(SIGTERM);
      EXPECT_EQ(example.run->wait().err, "") << command;
      return;
    }
    const auto r = example.run->wait(std::chrono::seconds(120));
    EXPECT_FALSE(r.timed_out) << command;
    EXPECT_EQ(r.status, command == "-h" ? 255 : 0) << command << "\n" << r.out << r.err;
    EXPECT_EQ(r.err, "") << command;
  }
};

TEST_F(HelpExamples, EveryExampleCommandSucceeds) {
  const std::vector<std::string> commands = example_commands();
  ASSERT_GE(commands.size(), 40u);
  // A few examples pause between passes: several run at a time.
  constexpr std::size_t kAtATime = 6;
  std::deque<Example> running;
  for (const std::string& command : commands) {
    running.push_back(start(command));
    if (running.size() == kAtATime) {
      check(running.front());
      running.pop_front();
    }
  }
  for (Example& example : running) check(example);
}

}  // namespace
