// vantoput's command line: options, placeholders, usage and version texts.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "expected_usage.h"
#include "options.h"

namespace {

using ParsedOptions = vantocli::Parsed<vantoput::WriterOptions>;

struct Parse {
  ParsedOptions parsed;
  std::string out;
  std::string err;
};

Parse parse(std::vector<std::string> args) {
  args.insert(args.begin(), "vantoput");
  std::ostringstream out, err;
  Parse p{vantoput::parse_options(args, out, err), "", ""};
  p.out = out.str();
  p.err = err.str();
  return p;
}

TEST(WriterOptions, HelpAndBadOptionsPrintTheUsageAndEndWith255) {
  const std::vector<std::vector<std::string>> cases = {
      {"-h"}, {"-H"}, {"-c", "A/B/C/D", "-q"}, {"-c"}, {"-d", "1", "-t"}, {"-x"}, {"-A"},
  };
  for (const auto& args : cases) {
    const Parse p = parse(args);
    ASSERT_FALSE(p.parsed.options.has_value()) << args[0];
    EXPECT_EQ(p.parsed.status, 255);
    EXPECT_EQ(p.err, writertest::kExpectedUsage);
    EXPECT_EQ(p.out, "");
  }
}

TEST(WriterOptions, DashBNamesTheLastWordBeforeTheUsage) {
  Parse p = parse({"-c", "A/B/C/D", "-b", "junk"});
  EXPECT_FALSE(p.parsed.options.has_value());
  EXPECT_EQ(p.parsed.status, 255);
  EXPECT_EQ(p.err, "unrecognized or incomplete argumentjunk\n" + writertest::kExpectedUsage);
  p = parse({"-bjunk"});
  EXPECT_EQ(p.err, "unrecognized or incomplete argument-bjunk\n" + writertest::kExpectedUsage);
}

TEST(WriterOptions, VersionLinesGoToStandardOutputAndParsingGoesOn) {
  const Parse p = parse({"-v", "-c", "A/B/C/D", "-d", "5"});
  ASSERT_TRUE(p.parsed.options.has_value());
  EXPECT_EQ(p.out, writertest::kExpectedVersion);
  EXPECT_EQ(p.parsed.options->channel, "A/B/C/D");
  EXPECT_EQ(p.parsed.options->setvalue, "5");
}

TEST(WriterOptions, OptionValuesAndFlags) {
  const Parse p = parse({"-t", "14", "-T", "-C", "-D", "2.7", "-f", "x.sr", "-c", "///.T"});
  ASSERT_TRUE(p.parsed.options.has_value());
  const auto& o = *p.parsed.options;
  EXPECT_EQ(o.datatype, 14);
  EXPECT_TRUE(o.test_flag);
  EXPECT_TRUE(o.verbose_flag);  // -T implies -V
  EXPECT_TRUE(o.copy_flag);
  EXPECT_TRUE(o.copy_adr);
  EXPECT_TRUE(o.delay_flag);
  EXPECT_EQ(o.delay, 2u);
  EXPECT_EQ(o.filename, "x.sr");
  EXPECT_EQ(o.channel, "///.T");
  EXPECT_EQ(parse({"-c", "A/B/C/D"}).parsed.options->datatype, -1);
}

TEST(WriterOptions, TypeThatIsNoIntegerIsRefused) {
  // Read as its leading digits, "1x" was written as INT; "4294967295" wrapped
  // to -1 and had the type detected; "abc" became DATA_NULL.
  for (const std::string type : {"abc", "1x", "", "4294967295", "-2147483649", "2.5"}) {
    const Parse p = parse({"-c", "A/B/C/D", "-t", type, "-d", "1"});
    EXPECT_FALSE(p.parsed.options.has_value()) << type;
    EXPECT_EQ(p.parsed.status, 1) << type;
    EXPECT_EQ(p.err, "vantoput: argument of -t is not a number: \"" + type + "\"\n");
  }
  EXPECT_EQ(parse({"-t", "-2147483648", "-c", "A/B/C/D"}).parsed.options->datatype, INT_MIN);
}

TEST(WriterOptions, WordsThatBelongToNoOptionAreRefused) {
  // An unquoted value of several words: only "1" would have been written
  // (an array channel would have lost its other elements).
  const std::vector<std::vector<std::string>> cases = {
      {"-c", "A/B/C/D", "-d", "1", "2", "3"},
      {"stray", "-c", "A/B/C/D", "-d", "1"},
      {"-f", "x.sr", "y.sr"},
  };
  for (const auto& args : cases) {
    const Parse p = parse(args);
    EXPECT_FALSE(p.parsed.options.has_value()) << ::testing::PrintToString(args);
    EXPECT_EQ(p.parsed.status, 1);
    EXPECT_EQ(p.err.rfind("vantoput: unexpected argument \"", 0), 0u) << p.err;
  }
}

TEST(WriterOptions, PlaceholdersStandInForTheValueText) {
  // -A always replaces the value text, before or after -d.
  EXPECT_EQ(parse({"-d", "5", "-A", "S/R/C/P"}).parsed.options->setvalue, "read property");
  EXPECT_EQ(parse({"-A", "S/R/C/P", "-d", "5"}).parsed.options->setvalue, "5");
  // -a, -s and -x only fill an empty value text; a later -d replaces them.
  EXPECT_EQ(parse({"-a", "f"}).parsed.options->setvalue, "array_file");
  EXPECT_EQ(parse({"-s", "f"}).parsed.options->setvalue, "array_file");
  EXPECT_EQ(parse({"-x", "f"}).parsed.options->setvalue, "xml_file");
  EXPECT_EQ(parse({"-d", "1", "-x", "f"}).parsed.options->setvalue, "1");
  EXPECT_EQ(parse({"-x", "f", "-d", "1"}).parsed.options->setvalue, "1");
  EXPECT_EQ(parse({"-a", "f", "-x", "g"}).parsed.options->setvalue, "array_file");
}

TEST(WriterOptions, DashSAndDashAShareTheFileNameAndTheFlagStays) {
  const Parse p = parse({"-s", "first.spec", "-a", "second.txt"});
  EXPECT_EQ(p.parsed.options->spectfile, "second.txt");
  EXPECT_TRUE(p.parsed.options->set_spec_wo_header);
  EXPECT_FALSE(parse({"-a", "f"}).parsed.options->set_spec_wo_header);
}

TEST(WriterOptions, ParsingTwiceInOneProcessStartsAfresh) {
  parse({"-c", "A/B/C/D", "-d", "1"});
  const Parse p = parse({"-c", "E/F/G/H", "-d", "2"});
  EXPECT_EQ(p.parsed.options->channel, "E/F/G/H");
  EXPECT_EQ(p.parsed.options->setvalue, "2");
}

}  // namespace
