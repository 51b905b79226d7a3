// vantoget end to end: the built program against a started vantoserver on the
// demo installation.
#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <string>
#include <vector>

#include <vanto/errors.h>

#include "harness.h"
#include "text_diff.h"

namespace {

const std::string kInt = "TEST.SIM/SCALAR/LOC1/INT";          // 42
const std::string kInt255 = "TEST.SIM/SCALAR/LOC1/INT255";    // 255
const std::string kFloat = "TEST.SIM/SCALAR/LOC1/FLOAT";      // 1.5
const std::string kString = "TEST.SIM/SCALAR/LOC1/STRING";    // hello world
const std::string kLong = "TEST.SIM/SCALAR/LOC1/LONGSTRING";  // 120 x 'a'
const std::string kArray = "TEST.SIM/ARRAY/LOC1/A_INT";       // 1 2 3 4

using vantotest::pad;

class Vantoget : public vantotest::ServerTest {
 protected:
  static vantotest::ProgramResult run(const std::vector<std::string>& args) {
    return vantotest::run_program(VANTOGET_PATH, args);
  }
  void TearDown() override { server().clear_faults(); }
};

TEST_F(Vantoget, SingleChannelPrintsItsValueInACellOf80AndATab) {
  const auto r = run({"-c", kInt});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(pad("42") + "\t\n", r.out);
  EXPECT_EQ(r.err, "");
}

TEST_F(Vantoget, HeaderLineHoldsTheNamesPaddedLikeTheValues) {
  const auto r = run({"-H", "-c", kInt});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(pad(kInt) + "\t\n" + pad("42") + "\t\n", r.out);

  const auto two = run({"-H", "-c", kInt + "," + kFloat});
  EXPECT_SAME_TEXT(pad(kInt) + "\t" + pad(kFloat) + "\t\n" + pad("42") + "\t" + pad("1.5") + "\t\n",
                   two.out);
}

TEST_F(Vantoget, BlankAndCommaSeparatedListsGiveTheSameColumns) {
  const std::string expected = pad("42") + "\t" + pad("hello world") + "\t\n";
  EXPECT_SAME_TEXT(expected, run({"-c", kInt + "  " + kString}).out);
  EXPECT_SAME_TEXT(expected, run({"-c", kInt + "," + kString}).out);
}

TEST_F(Vantoget, ColumnWidthCutsValuesAndNamesWithMarks) {
  const auto r = run({"-H", "-w", "10", "-c", kInt + " " + kLong});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(
      "</LOC1/INT\t<ONGSTRING\t\n"
      "42        \taaaaaaaaa>\t\n",
      r.out);
  // A value is at most 79 characters even in a wide column.
  const auto wide = run({"-w", "100", "-c", kLong + " " + kInt});
  EXPECT_SAME_TEXT(pad(std::string(79, 'a'), 100) + "\t" + pad("42", 100) + "\t\n", wide.out);
  const auto header8 = run({"-H", "-w", "8", "-c", kString + "," + kInt});
  EXPECT_SAME_TEXT("</STRING\t<OC1/INT\t\nhello w>\t42      \t\n", header8.out);
}

TEST_F(Vantoget, TabOptionDropsThePadding) {
  const auto r = run({"-T", "-H", "-c", kInt + " " + kString});
  EXPECT_SAME_TEXT(kInt + "\t" + kString + "\t\n42\thello world\t\n", r.out);
}

TEST_F(Vantoget, DateColumnComesFirstAndEachCellAfterATab) {
  struct Case {
    const char* form;
    const char* head;
    const char* date;  // pattern of the date column
  };
  const Case cases[] = {
      {"1", "#_Date____ Time____ Year\tUNIX_time",
       R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4}\t\d+)"},
      {"2", "#_UNIX_time", R"(\d+  )"},
      {"3", "#_Date__", R"(\d\d\.\d\d\.\d\d)"},
      {"4", "#_Date__", R"(\d\d\.\d\d\.\d\d)"},
      {"5", "#_Date_____ Time____", R"(\d\d [A-Z][a-z]{2} \d{4} \d\d:\d\d:\d\d)"},
  };
  for (const Case& c : cases) {
    const auto r = run({"-H", "-d", c.form, "-c", kInt});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::regex expected(
        std::regex_replace(std::string(c.head), std::regex(R"([.|\\])"), "\\$&") + "\t" +
        pad(kInt) + "\n" + c.date + "\t" + pad("42") + "\n");
    EXPECT_TRUE(std::regex_match(r.out, expected)) << "-d " << c.form << ":\n" << r.out;
  }
}

TEST_F(Vantoget, DateFormatsThreeAndFourSwapDayAndMonth) {
  const auto three = run({"-d", "3", "-T", "-c", kInt}).out;
  const auto four = run({"-d", "4", "-T", "-c", kInt}).out;
  ASSERT_GE(three.size(), 8u);
  ASSERT_GE(four.size(), 8u);
  // Unless the run crossed midnight, dd.mm.yy and mm.dd.yy hold the same parts.
  EXPECT_EQ(three.substr(0, 2), four.substr(3, 2));
  EXPECT_EQ(three.substr(3, 2), four.substr(0, 2));
  EXPECT_EQ(three.substr(5), four.substr(5));
}

TEST_F(Vantoget, AddressOptionPrintsOneLinePerChannelAndAnEmptyLine) {
  const auto r = run({"-A", "-c", kInt + "," + kString});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(kInt + "\t\t42\n" + kString + "\t\thello world\n\n", r.out);
}

TEST_F(Vantoget, StringArgumentOptionKeepsLongStringsWhole) {
  EXPECT_SAME_TEXT("hello world>\t\n", run({"-S", "-w", "5", "-c", kString}).out);
  EXPECT_SAME_TEXT("hell>\t\n", run({"-w", "5", "-c", kString}).out);
  // Types without a string argument keep the normal cell.
  EXPECT_SAME_TEXT("42   \t\n", run({"-S", "-w", "5", "-c", kInt}).out);
}

TEST_F(Vantoget, IntegerFormsOfMinusC) {
  EXPECT_SAME_TEXT("42, bin: " + std::string(26, '0') + "101010\t\n",
                   run({"-C", "1", "-c", kInt}).out);
  EXPECT_SAME_TEXT("255, oct: 0377\t42, oct: 052\t\n",
                   run({"-C", "2", "-c", kInt255 + " " + kInt}).out);
  EXPECT_SAME_TEXT("255, hex: 0xff\t42, hex: 0x2a\t\n",
                   run({"-C", "3", "-c", kInt255 + " " + kInt}).out);
  // No effect on other types, none with a date column, none for other codes.
  EXPECT_SAME_TEXT(pad("1.5") + "\t\n", run({"-C", "3", "-c", kFloat}).out);
  EXPECT_SAME_TEXT(pad("42") + "\t\n", run({"-C", "4", "-c", kInt}).out);
  const auto dated = run({"-C", "3", "-d", "2", "-c", kInt}).out;
  EXPECT_TRUE(std::regex_match(dated, std::regex(R"(\d+  \t42 {78}\n)"))) << dated;
}

TEST_F(Vantoget, TypeLinesOnlyInTheFirstIteration) {
  const auto r = run({"-t", "-l", "2", "-s", "0", "-T", "-c", kInt + " " + kString});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("vantoget: type() of " + kInt + " = INT\n vantoget: type() of " + kString +
                       " = STRING\n 42\thello world\t\n42\thello world\t\n",
                   r.out);
}

TEST_F(Vantoget, EventIdLinePerChannelAndIteration) {
  const auto r = run({"-V", "-l", "2", "-s", "0", "-T", "-c", kInt + " " + kFloat});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::regex expected(
      R"((vantoget: EVENTID -?\d+\nvantoget: EVENTID -?\d+\n42\t1\.5\t\n){2})");
  EXPECT_TRUE(std::regex_match(r.out, expected)) << r.out;
}

TEST_F(Vantoget, LoopCountsAndPause) {
  const std::string line = "42\t\n";
  EXPECT_SAME_TEXT(line + line + line, run({"-T", "-l", "3", "-s", "0.5", "-c", kInt}).out);
  EXPECT_SAME_TEXT(line + line, run({"-T", "-l", "2", "-s", "0", "-c", kInt}).out);
  const auto none = run({"-T", "-l", "0", "-c", kInt});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "");
  // The header belongs to the first iteration only.
  EXPECT_SAME_TEXT(kInt + "\t\n" + line + line,
                   run({"-H", "-T", "-l", "2", "-s", "0", "-c", kInt}).out);
}

TEST_F(Vantoget, EndlessLoopsRepeatWithoutHeader) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-H", "-T", "-s", "0", "-c", kInt},
        std::vector<std::string>{"-H", "-T", "-l", "1", "-s", "0", "-c", kInt}}) {
    vantotest::ChildProcess child(VANTOGET_PATH, args);
    ASSERT_TRUE(child.wait_for_out("42\t\n", std::chrono::seconds(30), 3)) << child.out();
    child.signal(SIGTERM);
    const auto r = child.wait();
    EXPECT_EQ(r.out.find(kInt), std::string::npos) << "no iteration counts as the first one";
  }
}

TEST_F(Vantoget, CommandRunsBeforeEveryIteration) {
  const auto r = run({"-x", "echo tick", "-l", "2", "-s", "0", "-T", "-c", kInt});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("tick\n42\t\ntick\n42\t\n", r.out);
  // The command's own failure is not looked at.
  EXPECT_EQ(run({"-x", "exit 3", "-T", "-c", kInt}).status, 0);
}

TEST_F(Vantoget, ACommandEndedByTheInterruptKeyEndsTheRun) {
  // Ctrl-C while the command runs reaches the command alone; the run ends with it.
  const auto r = run({"-x", "kill -INT $$", "-l", "3", "-s", "0", "-T", "-c", kInt});
  EXPECT_EQ(r.status, 128 + SIGINT) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(Vantoget, RetriesAfterAFailingServer) {
  server().fail_next(kInt, 101, 2);
  const auto ok = run({"-R", "3", "-T", "-c", kInt});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_SAME_TEXT("42\t\n", ok.out);

  server().fail_next(kInt, 101, 2);
  const auto failed = run({"-R", "1", "-T", "-c", kInt});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out, "");
  EXPECT_TRUE(std::regex_match(failed.err, std::regex(kInt + ": .* , result->error\\(\\) = 101\n")))
      << failed.err;
}

TEST_F(Vantoget, RetryCountZeroGivesOneAttempt) {
  server().fail_next(kInt, 100, 1);
  const auto r = run({"-R", "0", "-T", "-c", kInt});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(" , result->error() = 100\n"), std::string::npos) << r.err;
}

TEST_F(Vantoget, NamesOnlyOptionPrintsNoValueLineForPlainNames) {
  const auto r = run({"-N", "-H", "-l", "2", "-s", "0", "-c", kInt});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(Vantoget, RetryCountAboveTenIsClamped) {
  server().fail_next(kInt, 100, 9);
  const auto r = run({"-R", "25", "-T", "-c", kInt});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("Connection retry times set > 10! Setting to 10 ...\n42\t\n", r.out);
}

TEST_F(Vantoget, FailedReadEndsWithStatus1AndPrintsNothingOfTheIteration) {
  const auto r = run({"-c", kInt + " TEST.SIM/SCALAR/LOC1/NO_SUCH_PROPERTY"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(std::regex_match(
      r.err,
      std::regex("TEST.SIM/SCALAR/LOC1/NO_SUCH_PROPERTY: .* , result->error\\(\\) = [1-9]\\d*\n")))
      << r.err;
  const auto unknown = run({"-c", "NO.SUCH/FACILITY/L/P"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find(", result->error() = 119\n"), std::string::npos) << unknown.err;
}

TEST_F(Vantoget, ArraysWithoutMinusAShowInTheValueLineAfterThePlainValues) {
  const auto r = run({"-T", "-c", kArray + " " + kInt});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("42\t1 2 3 4\t\n", r.out);
}

TEST_F(Vantoget, StringsKeepTheirColumnLikeOtherPlainValues) {
  const auto r = run({"-H", "-T", "-c", kString + " " + kInt + " " + kFloat});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(kString + "\t" + kInt + "\t" + kFloat + "\t\nhello world\t42\t1.5\t\n", r.out);
  const auto with_a = run({"-a", "-T", "-c", kString});
  EXPECT_EQ(with_a.status, 0) << with_a.err;
  EXPECT_SAME_TEXT("hello world\t\n", with_a.out);
}

TEST_F(Vantoget, MinusAWithoutArraysWarnsOnceAndPrintsThePlainValues) {
  const auto r = run({"-a", "-T", "-l", "2", "-s", "0", "-c", kInt});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("42\t\n42\t\n", r.out);
  EXPECT_SAME_TEXT(" No proper channels specified for -a option! Ignoring -a ...\n", r.err);
}

TEST_F(Vantoget, ExitStatusesOfTheCommandLine) {
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const Case cases[] = {
      {{"-h"}, 255},
      {{"-q"}, 255},
      {{"-v"}, 1},  // neither -c nor -f
      {{"-c", kInt}, 0},
      {{"-c", " , "}, 1},
      {{"-w", "0", "-c", kInt}, 1},
      {{"-x", std::string(200, 'x'), "-c", kInt}, 1},
      {{"-c", "TEST.*/PUMP1/L1/ERROR"}, 1},
      {{"-c", "vanto://127.0.0.1:1/TEST.VAC/*/L1/ERROR"}, 1},
      {{"-f", "/nonexistent/file.sr"}, 1},
  };
  for (const Case& c : cases) {
    const auto r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args.front() << "\n" << r.out << r.err;
  }
}

TEST_F(Vantoget, AddressWithServerPrefixIsReadDirectly) {
  const auto r = run({"-T", "-c", server().direct(kInt)});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT("42\t\n", r.out);
}

// A list of plain names is read in one go (the reads travel together); its
// output must be exactly what reading the names one by one gives, also when
// reads fail on the way: a busy answer is retried alone with -R, and a read
// that stays failed ends the run with that name's error line alone.
TEST_F(Vantoget, ListOfManyNamesPrintsWhatReadingThemOneByOnePrints) {
  std::vector<std::string> names;
  // Values of one cell each (arrays would move to the end of the line).
  const std::vector<std::string> scalars = {kInt,
                                            kInt255,
                                            kFloat,
                                            "TEST.SIM/SCALAR/LOC1/DOUBLE",
                                            kString,
                                            kLong,
                                            "TEST.SIM/SCALAR/LOC1/IIII"};
  while (names.size() < 100) {
    for (const char* device : {"PUMP1", "PUMP2", "GAUGENG", "VALVENG", "ABXY"})
      for (const char* location : {"L1", "L2", "SRV._SVR"})
        for (const char* property : {"ERROR", "NAME"})
          names.push_back(std::string("TEST.VAC/") + device + "/" + location + "/" + property);
    names.insert(names.end(), scalars.begin(), scalars.end());
  }
  names.resize(100);
  std::string list, one_by_one;
  for (const std::string& name : names) {
    list += name + " ";
    const auto single = run({"-T", "-c", name});
    ASSERT_EQ(single.status, 0) << name << ": " << single.err;
    one_by_one += single.out.substr(0, single.out.size() - 1);
  }
  one_by_one += "\n";

  for (const int k : {0, 50, 99}) server().fail_next(names[k], vanto::ill_serv, 1);
  const auto retried = run({"-T", "-R", "2", "-c", list});
  EXPECT_EQ(retried.status, 0) << retried.err;
  EXPECT_SAME_TEXT(one_by_one, retried.out);
  EXPECT_EQ(retried.err, "");

  server().fail_always(names[60], vanto::ill_parameter);
  const auto alone = run({"-T", "-c", names[60]});
  const auto failed = run({"-T", "-c", list});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out, "");
  EXPECT_EQ(failed.err, alone.err);
  EXPECT_NE(alone.err, "");
}

}  // namespace
