// streamcat's command line: option rules, usage text and list handling.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "streamcat_app.h"
#include "text_diff.h"

using namespace streamcat;

namespace {

bool parse(std::vector<const char*> args, StreamOptions& options) {
  args.insert(args.begin(), "streamcat");
  return parse_options(static_cast<int>(args.size()), args.data(), options);
}

TEST(Options, AllSixOptionsAndTheLastOneCounts) {
  StreamOptions o;
  ASSERT_TRUE(parse({"-n", "5", "-d", "4", "-b", "3", "-k", "-t", "250", "-c", "A/B/C/D", "-n", "7"}, o));
  EXPECT_EQ(o.cycles, 7);
  EXPECT_EQ(o.debug, 4);
  EXPECT_EQ(o.bufs, 3);
  EXPECT_TRUE(o.keep);
  EXPECT_EQ(o.connect_timeout, 250);
  EXPECT_EQ(o.list, "A/B/C/D");
}

TEST(Options, ValuesReadLikeAtoi) {
  StreamOptions o;
  ASSERT_TRUE(parse({"-n", "abc", "-d", "12xyz", "-c", "X"}, o));
  EXPECT_EQ(o.cycles, 0);
  EXPECT_EQ(o.debug, 12);
}

TEST(Options, ParsingStopsSilently) {
  StreamOptions o;
  EXPECT_FALSE(parse({}, o));
  StreamOptions unknown;
  EXPECT_FALSE(parse({"-x", "-c", "A/B/C/D"}, unknown));
  StreamOptions word;
  EXPECT_FALSE(parse({"free", "-c", "A/B/C/D"}, word));
  StreamOptions last;
  EXPECT_FALSE(parse({"-n", "5", "-c"}, last));
  EXPECT_EQ(last.cycles, 5);
  StreamOptions glued;
  EXPECT_FALSE(parse({"-cA/B/C/D"}, glued));
}

TEST(Usage, ShowsTheCurrentValues) {
  StreamOptions o;
  parse({"-n", "5"}, o);
  std::ostringstream out;
  print_usage(out, "streamcat", o);
  const std::string want =
      "Usage: streamcat -c VANTO_address [-n cycles][-d debug_level] [-b buffers] [-k] [-t con_tmout]\n"
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
      "          if not set, the old data will be removed automatically from the buffer to put new once\n"
      "con_tmout timeout to get first data after connection (default:5000)\n";
  EXPECT_EQ(out.str(), want);
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
                       "[2]\ttab\tword\n", 0), 0u) << text;
  EXPECT_NE(text.find("dmsg: invalod format for host:port;version\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[localhost:5555] Connecting to :-1  data vers:0\n"), std::string::npos) << text;
}

}  // namespace
