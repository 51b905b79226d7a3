// The device pattern matcher shared by vantoget and vantoput.
#include "device_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vantocli::DevicePattern;
using vantocli::DevicePatternRules;

const std::vector<std::string> kDevices = {"PUMP1", "PUMP2", "GAUGENG", "VALVENG", "ABXY",
                                           "ABC",   "X*",    "NGX",     "P"};

std::vector<std::string> selected(const std::string& pattern, DevicePatternRules rules) {
  const DevicePattern p(pattern, rules);
  std::vector<std::string> kept;
  for (const std::string& name : kDevices)
    if (p.matches(name)) kept.push_back(name);
  return kept;
}

struct PatternCase {
  std::string pattern;
  std::vector<std::string> writer;  // names the writer keeps
  std::vector<std::string> reader;  // names the reader keeps
};

class DevicePatternRulesTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(DevicePatternRulesTest, KeepsTheNamesOfEachProgramsRules) {
  const PatternCase& c = GetParam();
  EXPECT_EQ(selected(c.pattern, DevicePatternRules::writer), c.writer) << c.pattern;
  EXPECT_EQ(selected(c.pattern, DevicePatternRules::reader), c.reader) << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, DevicePatternRulesTest,
    ::testing::Values(PatternCase{"*", kDevices, kDevices},
                      PatternCase{"P*", {"PUMP1", "PUMP2", "P"}, {"PUMP1", "PUMP2", "P"}},
                      PatternCase{"*NG", {"GAUGENG", "VALVENG"}, {"GAUGENG", "VALVENG"}},
                      // The writer's *X* selects nothing; the reader matches "X*" literally.
                      PatternCase{"*NG*", {}, {}}, PatternCase{"*X*", {}, {"X*"}},
                      PatternCase{"**", {}, {"X*"}},
                      // Prefix and suffix are tested on the whole name, so they may overlap.
                      PatternCase{"AB*XY", {"ABXY"}, {"ABXY"}},
                      PatternCase{"AB*BC", {"ABC"}, {"ABC"}},
                      PatternCase{"PU*2", {"PUMP2"}, {"PUMP2"}},
                      // A pattern ending in '*' checks only its prefix for the writer.
                      PatternCase{"A*B*", {"ABXY", "ABC"}, {}}, PatternCase{"Q*", {}, {}},
                      PatternCase{"*Z", {}, {}}));

TEST(DevicePattern, SplitsAtTheFirstStar) {
  const DevicePattern p("AB*C*D", DevicePatternRules::reader);
  EXPECT_EQ(p.prefix(), "AB");
  EXPECT_EQ(p.suffix(), "C*D");
  EXPECT_TRUE(p.matches("ABXC*D"));
  EXPECT_FALSE(p.matches("ABXCYD"));
}

TEST(DevicePattern, PatternWithoutStarMatchesOnlyItself) {
  const DevicePattern p("AB", DevicePatternRules::writer);
  EXPECT_TRUE(p.matches("AB"));
  EXPECT_FALSE(p.matches("ABAB"));
  EXPECT_FALSE(p.matches("A"));
}

}  // namespace
