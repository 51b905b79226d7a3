// Whole-text expectations that show where two texts part, line by line, and
// the whole text of a file to hold against them.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantotest {

// The lines of text without their newlines. A last line without one is
// marked "<no newline>", so that lines compared one by one also see a cut end.
std::vector<std::string> lines_of(const std::string& text);

// The first differing lines of two texts, tabs shown as "\t" (empty when the
// texts are equal).
std::string text_diff(const std::string& expected, const std::string& actual);

// text followed by blanks up to width, as the programs fill a table cell
// (80 characters wide unless the run asks for another width).
std::string pad(const std::string& text, std::size_t width = 80);

// Everything a file holds, byte for byte ("" when it cannot be read).
std::string read_file(const std::string& path);

}  // namespace vantotest

#define EXPECT_SAME_TEXT(expected, actual)                                             \
  do {                                                                                 \
    const std::string diff_ = vantotest::text_diff((expected), (actual));              \
    EXPECT_TRUE(diff_.empty()) << "output differs (- expected, + actual):\n" << diff_; \
  } while (0)
