// streamcat's command line: option rules, usage text and list handling.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "streamcat_app.h"
#include "text_diff.h"

using namespace streamcat;

namespace {

struct Parse {
  vantocli::Parsed<StreamOptions> parsed;
  std::string out;  // the usage text, when parsing ends the program
};

Parse parse(std::vector<const char*> args) {
  args.insert(args.begin(), "streamcat");
  std::ostringstream out;
  Parse p{parse_options(static_cast<int>(args.size()), args.data(), out), ""};
  p.out = out.str();
  return p;
}

TEST(Options, AllSixOptionsAndTheLastOneCounts) {
  const Parse p =
      parse({"-n", "5", "-d", "4", "-b", "3", "-k", "-t", "250", "-c", "A/B/C/D", "-n", "7"});
  ASSERT_TRUE(p.parsed.options);
  const StreamOptions& o = *p.parsed.options;
  EXPECT_EQ(o.cycles, 7);
  EXPECT_EQ(o.debug, 4);
  EXPECT_EQ(o.bufs, 3);
  EXPECT_TRUE(o.keep);
  EXPECT_EQ(o.connect_timeout, 250);
  EXPECT_EQ(o.list, "A/B/C/D");
  EXPECT_EQ(p.out, "");
}

TEST(Options, ValuesReadLikeAtoi) {
  const Parse p = parse({"-n", "abc", "-d", "12xyz", "-c", "X"});
  ASSERT_TRUE(p.parsed.options);
  EXPECT_EQ(p.parsed.options->cycles, 0);
  EXPECT_EQ(p.parsed.options->debug, 12);
}

// Parsing stops without a message of its own at the first word it cannot
// take; without an address list the usage text follows, with status 255.
TEST(Options, ParsingStopsSilentlyBeforeTheUsage) {
  for (const std::vector<const char*>& args : {std::vector<const char*>{},
                                               {"-x", "-c", "A/B/C/D"},
                                               {"free", "-c", "A/B/C/D"},
                                               {"-n", "5", "-c"},
                                               {"-cA/B/C/D"}}) {
    const Parse p = parse(args);
    EXPECT_FALSE(p.parsed.options) << testing::PrintToString(args);
    EXPECT_EQ(p.parsed.status, 255);
    EXPECT_EQ(p.out.rfind("Usage: streamcat -c VANTO_address", 0), 0u) << p.out;
  }
  // The values read before the stop count.
  EXPECT_NE(parse({"-n", "5", "-c"}).out.find("(default:5)"), std::string::npos);
  // A program started without even its own name is named by default.
  const char* const no_words[] = {nullptr};
  std::ostringstream out;
  EXPECT_FALSE(parse_options(0, no_words, out).options);
  EXPECT_EQ(out.str().rfind("Usage: streamcat -c VANTO_address", 0), 0u) << out.str();
}

TEST(Usage, ShowsTheCurrentValues) {
  const Parse p = parse({"-n", "5"});
  const std::string want =
      "Usage: streamcat -c VANTO_address [-n cycles][-d debug_level] [-b buffers] [-k] [-t "
      "con_tmout]\n"
      "\n"
      "VANTO_addres   property VANTO addres to subscribe\n"
      "               there can be a list of addess separated by spaces 'addr1 addr2 addr3'\n"
      "cycles         number of get cycles (default:5)\n"
      "debug_level    debug_level (default:1)  as:\n"
      "          0 - print nothing (silent mode)\n"
      "          1 - print data type, timing/event/status info\n"
      "          2 - print data for simple data types and info for arrays/images\n"
      "          3 - print parameters for all data types\n"
      "          4 - print data for all data types\n"
      "buffers   depths of  the buffer for data synchronization (default:8)\n"
      "-k        keep 'old' entries - no new data if the buffer is full,\n"
      "          if not set, the old data will be removed automatically from the buffer to put new "
      "once\n"
      "con_tmout timeout to get first data after connection (default:5000)\n";
  EXPECT_EQ(p.out, want);
}

TEST(Run, AListWithoutAddressesEndsAtOnceWith255) {
  for (const char* list : {"", "   "}) {
    StreamOptions o;
    o.list = list;
    o.have_list = true;
    o.terminal_cursor = false;
    std::ostringstream out, err;
    EXPECT_EQ(run_streamcat(o, out, err), 255);
    EXPECT_SAME_TEXT("0 addresses found\nno address in the list given with -c\n", err.str());
  }
}

TEST(Run, ABadDirectAddressFailsItsChannel) {
  StreamOptions o;
  o.list = "localhost:5555  localhost:0;2 tab\tword";
  o.have_list = true;
  o.terminal_cursor = false;
  std::ostringstream out, err;
  EXPECT_EQ(run_streamcat(o, out, err), 1);
  const std::string text = err.str();
  EXPECT_EQ(text.rfind("3 addresses found\nThey are:\n[0]\tlocalhost:5555\n[1]\tlocalhost:0;2\n"
                       "[2]\ttab\tword\n",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("dmsg: invalod format for host:port;version\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[localhost:5555] Connecting to :-1  data vers:0\n"), std::string::npos)
      << text;
}

}  // namespace
