// The reader's device pattern: the text before the first '*' begins a name,
// the text after it ends the name.
#include <gtest/gtest.h>

#include "device_pattern.h"

namespace {

using vantocli::DevicePattern;
using vantocli::DevicePatternRules;

TEST(DevicePattern, PrefixAndSuffixMayOverlapInTheName) {
  const DevicePattern pattern("AB*BC", DevicePatternRules::reader);
  EXPECT_TRUE(pattern.matches("ABC"));
  EXPECT_TRUE(pattern.matches("ABXBC"));
  EXPECT_FALSE(pattern.matches("AB"));
  EXPECT_FALSE(pattern.matches("XABBC"));
}

TEST(DevicePattern, SuffixMustEndTheNameEvenWhenItAlsoOccursEarlier) {
  const DevicePattern pattern("*NG", DevicePatternRules::reader);
  EXPECT_TRUE(pattern.matches("NGANG"));
  EXPECT_FALSE(pattern.matches("NGA"));
}

TEST(DevicePattern, LaterStarsAreOrdinaryCharacters) {
  const DevicePattern pattern("A*B*", DevicePatternRules::reader);
  EXPECT_TRUE(pattern.matches("AXB*"));
  EXPECT_FALSE(pattern.matches("AXBY"));
}

}  // namespace
