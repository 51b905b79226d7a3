// The -E table file's rows and path, and the limits of its columns.
#include <gtest/gtest.h>

#include <string>

#include "table_columns.h"
#include "table_file.h"
#include "text_diff.h"

namespace {

using vantoget::TableColumns;

std::string pad82(const std::string& text) { return text + std::string(82 - text.size(), ' '); }

TEST(TableRows, CellsArePaddedToTheirColumnExceptAFilledLastOne) {
  TableColumns columns;
  columns.reset(3);
  ASSERT_TRUE(columns.add(0, "a"));
  ASSERT_TRUE(columns.add(0, "b"));
  ASSERT_TRUE(columns.add(2, "x"));
  // Column 1 is absent, column 2 is short.
  EXPECT_SAME_TEXT(pad82("a") + pad82("-") + "x \n" + pad82("b") + pad82("-") + pad82("-") + " \n",
                   vantoget::table_rows(columns));
}

TEST(TableRows, StopAtTheFirstRowNoColumnFills) {
  TableColumns columns;
  columns.reset(2);
  ASSERT_TRUE(columns.add(0, "1"));
  ASSERT_TRUE(columns.add(0, ""));  // an empty value text counts as not filled
  ASSERT_TRUE(columns.add(0, "3"));
  columns.open(1);
  EXPECT_SAME_TEXT(pad82("1") + pad82("-") + " \n", vantoget::table_rows(columns));

  TableColumns none;
  none.reset(2);
  EXPECT_EQ(vantoget::table_rows(none), "");
}

TEST(TableColumnsLimits, CellsHold79CharactersAndAColumn8000Cells) {
  TableColumns columns;
  columns.reset(1);
  ASSERT_TRUE(columns.add(0, std::string(100, 'v')));
  EXPECT_EQ(columns.cell(0, 0), std::string(79, 'v'));
  for (std::size_t i = 1; i < TableColumns::kMaxCells; ++i) ASSERT_TRUE(columns.add(0, "v"));
  EXPECT_FALSE(columns.add(0, "one too many"));
  EXPECT_EQ(columns.longest(), TableColumns::kMaxCells);
  EXPECT_EQ(columns.cell(0, TableColumns::kMaxCells), "");
}

TEST(TablePath, DirectoryFileNameAndLoginDefault) {
  EXPECT_EQ(vantoget::table_path("", "", "op"), "op-table.txt");
  EXPECT_EQ(vantoget::table_path("", "out.txt", "op"), "out.txt");
  EXPECT_EQ(vantoget::table_path("/tmp", "", "op"), "/tmp//op-table.txt");
  EXPECT_EQ(vantoget::table_path("/tmp/", "out.txt", "op"), "/tmp/out.txt");
}

}  // namespace
