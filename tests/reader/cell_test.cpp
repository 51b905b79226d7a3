// Cells of the value and header lines.
#include <gtest/gtest.h>

#include "cell.h"

namespace {

using vantocli::name_cell;
using vantocli::string_arg_cell;
using vantocli::tabs_to_blanks;
using vantocli::value_cell;

TEST(ValueCell, ShortTextIsPaddedToTheWidthUnlessPaddingIsOff) {
  EXPECT_EQ(value_cell("42", 5, false), "42   ");
  EXPECT_EQ(value_cell("42", 5, true), "42");
  EXPECT_EQ(value_cell("12345", 5, false), "12345");
}

TEST(ValueCell, LongTextKeepsWidthMinusOneCharactersAndAMark) {
  EXPECT_EQ(value_cell("hello world", 10, false), "hello wor>");
  EXPECT_EQ(value_cell("hello world", 10, true), "hello wor>");
  EXPECT_EQ(value_cell("ab", 1, false), ">");
}

TEST(NameCell, LongNameKeepsItsTailAfterAMark) {
  EXPECT_EQ(name_cell("TEST.SIM/SCALAR/INTS", 8, false), "<AR/INTS");
  EXPECT_EQ(name_cell("TEST.SIM/SCALAR/INTS", 8, false).size(), 8u);
  EXPECT_EQ(name_cell("A/B/C/D", 9, false), "A/B/C/D  ");
  EXPECT_EQ(name_cell("A/B/C/D", 9, true), "A/B/C/D");
}

TEST(StringArgCell, LongTextStaysWholeWithAMark) {
  EXPECT_EQ(string_arg_cell("hello world", 5, false), "hello world>");
  EXPECT_EQ(string_arg_cell("hi", 5, false), "hi   ");
  EXPECT_EQ(string_arg_cell("hi", 5, true), "hi");
}

TEST(TabsToBlanks, EveryTabBecomesOneBlank) {
  EXPECT_EQ(tabs_to_blanks("a\tb\t\tc"), "a b  c");
  EXPECT_EQ(tabs_to_blanks("plain"), "plain");
}

}  // namespace
