// How epics: addresses name process variables.
#include <gtest/gtest.h>

#include "pv_name.h"

namespace {

class PvName : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(PvName, JoinsTheFieldsWithColons) {
  const auto& [address, name] = GetParam();
  EXPECT_EQ(vanto::epics::pv_name(vanto::EqAdr(address)), name) << address;
}

INSTANTIATE_TEST_SUITE_P(Forms, PvName,
                         ::testing::Values(std::pair{"epics:TEST:AO", "TEST:AO"},
                                           std::pair{"epics:TEST:AO.EGU", "TEST:AO.EGU"},
                                           std::pair{"epics:SR/C01/BPM1/X", "SR:C01:BPM1:X"},
                                           std::pair{"epics:TEST/AO", "TEST:AO"},
                                           // A save & restore entry fills unused fields with ".".
                                           std::pair{"epics:TEST:AO/././.", "TEST:AO"},
                                           std::pair{"epics:TEST/AO/./.EGU", "TEST:AO.EGU"}));

TEST(EpicsAddress, IsShownAsWritten) {
  EXPECT_EQ(vanto::EqAdr("epics:TEST:AO").show_adr(), "epics:TEST:AO");
  EXPECT_EQ(vanto::EqAdr("epics:SR/C01/BPM1/X").show_adr(), "epics:SR/C01/BPM1/X");
  EXPECT_EQ(vanto::EqAdr("TEST.SIM/SCALAR").show_adr(), "TEST.SIM/SCALAR//");
}

}  // namespace
