// check_value: which texts that convert to zero really spell a zero.
#include <gtest/gtest.h>

#include "check_value.h"

namespace {

using vantoput::check_value;
using vantoput::kCheckFloat;
using vantoput::kCheckInteger;

struct Case {
  const char* text;
  int kind;
};

class ZeroAccepted : public ::testing::TestWithParam<Case> {};
TEST_P(ZeroAccepted, IsWellFormedZero) {
  EXPECT_EQ(check_value(GetParam().text, GetParam().kind), 0) << '"' << GetParam().text << '"';
}
INSTANTIATE_TEST_SUITE_P(Texts, ZeroAccepted,
                         ::testing::Values(Case{"0", kCheckFloat}, Case{"0.0", kCheckFloat},
                                           Case{"-0.000", kCheckFloat}, Case{"+.0", kCheckFloat},
                                           Case{"0e+12", kCheckFloat}, Case{"0E-3", kCheckFloat},
                                           Case{"", kCheckFloat}, Case{"-0", kCheckFloat},
                                           Case{"0.", kCheckFloat}, Case{"   0", kCheckFloat},
                                           Case{"+-0", kCheckFloat}, Case{"0", kCheckInteger},
                                           Case{"-00", kCheckInteger}, Case{"", kCheckInteger}));

class ZeroRefused : public ::testing::TestWithParam<Case> {};
TEST_P(ZeroRefused, IsNoZero) {
  EXPECT_NE(check_value(GetParam().text, GetParam().kind), 0) << '"' << GetParam().text << '"';
}
INSTANTIATE_TEST_SUITE_P(Texts, ZeroRefused,
                         ::testing::Values(Case{"1", kCheckFloat}, Case{"0.5", kCheckFloat},
                                           Case{"00x", kCheckFloat}, Case{"0e5", kCheckFloat},
                                           Case{"0 ", kCheckFloat}, Case{"0.0.0", kCheckFloat},
                                           Case{"0.0", kCheckInteger}, Case{"abc", kCheckFloat},
                                           Case{"e+0", kCheckFloat}, Case{"0e", kCheckFloat},
                                           Case{"0e+1e+1", kCheckFloat}, Case{"0e+0.", kCheckFloat},
                                           Case{"0-", kCheckFloat}, Case{"0 0", kCheckInteger},
                                           Case{"0.", kCheckInteger}));

}  // namespace
