// vantoget's command line: what is accepted, refused, clamped and printed.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "help_text.h"
#include "options.h"

namespace {

struct Parsed {
  vantocli::Parsed<vantoget::ReaderOptions> outcome;
  std::string out;
  std::string err;
};

Parsed parse(std::vector<std::string> words) {
  words.insert(words.begin(), "vantoget");
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::ostringstream out, err;
  Parsed p{vantoget::parse_options(static_cast<int>(words.size()), argv.data(), out, err), "", ""};
  p.out = out.str();
  p.err = err.str();
  return p;
}

TEST(ChannelList, CommasAndBlanksSeparateAndRunsCountAsOne) {
  using vantoget::split_channel_list;
  using V = std::vector<std::string>;
  EXPECT_EQ(split_channel_list("A/B/C/D,E/F/G/H"), (V{"A/B/C/D", "E/F/G/H"}));
  EXPECT_EQ(split_channel_list("A/B/C/D   E/F/G/H"), (V{"A/B/C/D", "E/F/G/H"}));
  EXPECT_EQ(split_channel_list(" ,A/B/C/D, ,E/F/G/H, "), (V{"A/B/C/D", "E/F/G/H"}));
  EXPECT_EQ(split_channel_list("A/B/C/D"), (V{"A/B/C/D"}));
  EXPECT_TRUE(split_channel_list(" , ,").empty());
}

TEST(Options, HelpEndsWithStatus255) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"-h"}, {"-?"}, {"-Z"}, {"-c"}, {"-c", "A/B/C/D", "-w"}}) {
    const Parsed p = parse(words);
    EXPECT_FALSE(p.outcome.options) << words.front();
    EXPECT_EQ(p.outcome.status, 255) << words.front();
    EXPECT_EQ(p.out, vantoget::help_text()) << words.front();
  }
}

TEST(Options, NoArgumentAtAllPrintsTheHintAndTheHelp) {
  const Parsed p = parse({});
  EXPECT_EQ(p.outcome.status, 255);
  EXPECT_EQ(p.out, " See help for usage :\n" + vantoget::help_text());
}

TEST(Options, NeitherChannelNorFileIsNotDefinedWithStatus1) {
  const Parsed p = parse({"-v"});
  EXPECT_FALSE(p.outcome.options);
  EXPECT_EQ(p.outcome.status, 1);
  EXPECT_EQ(p.out,
            " vantoget: channel reader of the vantotools package\n$Id$\n"
            "Channel or file name is not defined! (-c or -f options)\n");
}

TEST(Options, FileWithoutChannelsRunsTheSaveAndRestoreMode) {
  const Parsed p = parse({"-f", "x.sr"});
  ASSERT_TRUE(p.outcome.options);
  EXPECT_FALSE(p.outcome.options->channels_flag);
  EXPECT_EQ(p.outcome.options->filename, "x.sr");
}

TEST(Options, RetryCountIsClampedToOneToTen) {
  const Parsed high = parse({"-R", "25", "-c", "A/B/C/D"});
  ASSERT_TRUE(high.outcome.options);
  EXPECT_EQ(high.outcome.options->retry, 10);
  EXPECT_EQ(high.out, "Connection retry times set > 10! Setting to 10 ...\n");
  const Parsed zero = parse({"-R", "0", "-c", "A/B/C/D"});
  ASSERT_TRUE(zero.outcome.options);
  EXPECT_EQ(zero.outcome.options->retry, 1);
  EXPECT_EQ(zero.out, "");
  EXPECT_EQ(parse({"-R", "7", "-c", "A/B/C/D"}).outcome.options->retry, 7);
}

TEST(Options, LoopAndPauseSettings) {
  const Parsed p = parse({"-l", "3", "-s", "0.5", "-c", "A/B/C/D"});
  ASSERT_TRUE(p.outcome.options);
  EXPECT_EQ(p.outcome.options->loop, 2);
  EXPECT_TRUE(p.outcome.options->loop_flag);
  EXPECT_FLOAT_EQ(p.outcome.options->secounds, 0.5f);
  const Parsed plain = parse({"-c", "A/B/C/D"});
  EXPECT_EQ(plain.outcome.options->loop, 0);
  EXPECT_FALSE(plain.outcome.options->loop_flag);
}

TEST(Options, DebugBitsAddUpAndLaterOptionsOverwrite) {
  const Parsed p = parse({"-t", "-V", "-w", "9", "-w", "12", "-c", "A/B/C/D,E/F/G/H"});
  ASSERT_TRUE(p.outcome.options);
  EXPECT_EQ(p.outcome.options->debug_flag, vantoget::kDebugType | vantoget::kDebugEventId);
  EXPECT_EQ(p.outcome.options->width, 12u);
  EXPECT_EQ(p.outcome.options->channel.size(), 2u);
}

TEST(Options, ColumnWidthOutsideOneTo255IsRefused) {
  for (const char* width : {"0", "-3", "256"}) {
    const Parsed p = parse({"-w", width, "-c", "A/B/C/D"});
    EXPECT_FALSE(p.outcome.options) << width;
    EXPECT_EQ(p.outcome.status, 1) << width;
    EXPECT_NE(p.err.find("column width"), std::string::npos) << p.err;
  }
  EXPECT_EQ(parse({"-w", "255", "-c", "A/B/C/D"}).outcome.options->width, 255u);
  EXPECT_EQ(parse({"-w", "1", "-c", "A/B/C/D"}).outcome.options->width, 1u);
}

TEST(Options, ArgumentsLongerThanTheirBuffersAreRefusedNotCut) {
  for (const char* option : {"-f", "-F", "-b", "-P", "-x"}) {
    const Parsed fits = parse({option, std::string(199, 'p'), "-c", "A/B/C/D"});
    EXPECT_TRUE(fits.outcome.options) << option;
    const Parsed longer = parse({option, std::string(200, 'p'), "-c", "A/B/C/D"});
    EXPECT_FALSE(longer.outcome.options) << option;
    EXPECT_EQ(longer.outcome.status, 1) << option;
    EXPECT_EQ(longer.err,
              std::string("vantoget: argument of ") + option + " is longer than 199 characters\n");
  }
  for (const char* option : {"-i", "-I"}) {
    // A usable interval, filled up with blanks to 49 characters.
    const std::string fits = "935431417 936940565 0 0" + std::string(26, ' ');
    EXPECT_TRUE(parse({option, fits, "-c", "A/B/C/D"}).outcome.options);
    const Parsed longer = parse({option, std::string(50, '1'), "-c", "A/B/C/D"});
    EXPECT_EQ(longer.outcome.status, 1) << option;
    EXPECT_EQ(longer.err,
              std::string("vantoget: argument of ") + option + " is longer than 49 characters\n");
  }
}

// Arguments the program cannot use are refused with a message naming them,
// never read as 0 or replaced by a default.
struct RefusedCase {
  std::vector<std::string> words;
  const char* message;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.words[0] << " " << c.words[1]; }

class RefusedArguments : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedArguments, EndWithStatus1AndAMessage) {
  std::vector<std::string> words = GetParam().words;
  words.insert(words.end(), {"-c", "A/B/C/D"});
  const Parsed p = parse(words);
  EXPECT_FALSE(p.outcome.options);
  EXPECT_EQ(p.outcome.status, 1);
  EXPECT_EQ(p.err, std::string("vantoget: ") + GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, RefusedArguments,
    ::testing::Values(
        RefusedCase{{"-s", "abc"}, "argument of -s is not a number: \"abc\""},
        RefusedCase{{"-s", "nan"}, "argument of -s is not a number: \"nan\""},
        RefusedCase{{"-s", "-1"}, "the pause of -s is negative: -1"},
        RefusedCase{{"-l", "3x"}, "argument of -l is not a number: \"3x\""},
        RefusedCase{{"-w", "12abc"}, "argument of -w is not a number: \"12abc\""},
        RefusedCase{{"-R", ""}, "argument of -R is not a number: \"\""},
        RefusedCase{{"-j", "0"}, "the seconds of -j are below 1: 0"},
        RefusedCase{{"-e", "-2"}, "the step of -e is negative: -2"},
        RefusedCase{{"-u", "x"}, "the unit of -u is none of s, m, h, d, w, M, y: \"x\""},
        RefusedCase{{"-I", "0 4 x 20"}, "the argument of -I is not four integers: \"0 4 x 20\""},
        RefusedCase{{"-I", "0 4 1"}, "the argument of -I is not four integers: \"0 4 1\""}));

INSTANTIATE_TEST_SUITE_P(
    Intervals, RefusedArguments,
    ::testing::Values(
        RefusedCase{{"-i", "31.02.26, 1.3.26"},
                    "cannot use the interval of -i: \"31.02.26\": no such date"},
        RefusedCase{{"-i", "1.1.20, 1.1.69"},
                    "cannot use the interval of -i: \"1.1.69\": before 1970"},
        RefusedCase{{"-i", "1.1.20 10:60, 2.1.20"},
                    "cannot use the interval of -i: \"1.1.20 10:60\": no such time of day"},
        RefusedCase{{"-i", "2.1.20, 1.1.20"},
                    "cannot use the interval of -i: \"2.1.20, 1.1.20\": the interval ends "
                    "before it starts"},
        RefusedCase{{"-i", "0 0 0 0"},
                    "cannot use the interval of -i: \"0 0 0 0\": neither two Unix times nor "
                    "two local times separated by \",\""}));

INSTANTIATE_TEST_SUITE_P(
    Pictures, RefusedArguments,
    ::testing::Values(RefusedCase{{"--png", "a.png", "--svg", "b.svg"},
                                  "--png and --svg cannot be given together"},
                      RefusedCase{{"--svg", "-"},
                                  "--svg needs a file name (\"-\" is only for --png)"},
                      RefusedCase{{"--png", ""}, "--png and --svg need a file name"},
                      RefusedCase{{"--svg", "b.svg", "-N"}, "--png and --svg do not go with -N"}));

TEST(Options, UsableNumbersAndIntervalsAreTaken) {
  const Parsed p = parse(
      {"-s", " 0.25", "-l", "2", "-u", "Months", "-i", "935431417 936940565 0 0", "-c", "A/B/C/D"});
  ASSERT_TRUE(p.outcome.options) << p.err;
  EXPECT_FLOAT_EQ(p.outcome.options->secounds, 0.25f);
  EXPECT_EQ(p.outcome.options->units, 'M');
  EXPECT_EQ(p.outcome.options->interval_t1, 935431417);
  EXPECT_EQ(p.outcome.options->interval_t2, 936940565);
}

TEST(Options, ChannelListWithoutNamesIsRefused) {
  for (const char* list : {"", " ", ",, ,"}) {
    const Parsed p = parse({"-c", list});
    EXPECT_FALSE(p.outcome.options);
    EXPECT_EQ(p.outcome.status, 1);
    EXPECT_EQ(p.err, "vantoget: the channel list (-c) holds no channel name\n");
  }
}

TEST(Options, AtMost7999ChannelNames) {
  std::string list;
  for (int i = 0; i < 7999; ++i) list += "F/D/L/P" + std::to_string(i) + ",";
  const Parsed most = parse({"-c", list});
  ASSERT_TRUE(most.outcome.options);
  EXPECT_EQ(most.outcome.options->channel.size(), 7999u);
  const Parsed too_many = parse({"-c", list + "F/D/L/LAST"});
  EXPECT_FALSE(too_many.outcome.options);
  EXPECT_EQ(too_many.outcome.status, 1);
  EXPECT_EQ(too_many.err, "vantoget: more than 7999 channel names in the channel list (-c)\n");
}

}  // namespace
