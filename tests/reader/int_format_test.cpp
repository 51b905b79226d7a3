// The binary, octal and hexadecimal forms of -C.
#include <gtest/gtest.h>

#include "int_format.h"

namespace {

using vantocli::int_form_suffix;
using vantocli::IntForm;

TEST(IntForm, CodesOneToThreeChooseAFormOthersNone) {
  EXPECT_EQ(vantocli::int_form_from_code(1), IntForm::binary);
  EXPECT_EQ(vantocli::int_form_from_code(2), IntForm::octal);
  EXPECT_EQ(vantocli::int_form_from_code(3), IntForm::hexadecimal);
  EXPECT_EQ(vantocli::int_form_from_code(0), IntForm::none);
  EXPECT_EQ(vantocli::int_form_from_code(4), IntForm::none);
}

TEST(IntForm, SuffixesShowTheThirtyTwoBitPattern) {
  EXPECT_EQ(int_form_suffix(5, IntForm::binary), ", bin: " + std::string(29, '0') + "101");
  EXPECT_EQ(int_form_suffix(255, IntForm::octal), ", oct: 0377");
  EXPECT_EQ(int_form_suffix(255, IntForm::hexadecimal), ", hex: 0xff");
  EXPECT_EQ(int_form_suffix(16, IntForm::hexadecimal), ", hex: 0x10");
  EXPECT_EQ(int_form_suffix(-1, IntForm::hexadecimal), ", hex: 0xffffffff");
  EXPECT_EQ(int_form_suffix(-1, IntForm::binary), ", bin: " + std::string(32, '1'));
  EXPECT_EQ(int_form_suffix(0, IntForm::octal), ", oct: 00");
  EXPECT_EQ(int_form_suffix(7, IntForm::none), "");
  EXPECT_EQ(int_form_suffix(2, IntForm::binary, ", bin:  "),
            ", bin:  " + std::string(30, '0') + "10");
}

}  // namespace
