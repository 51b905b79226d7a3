// The name service across two servers: one routes a facility to the other.
#include <gtest/gtest.h>

#include "call_helpers.h"
#include "harness.h"

namespace {

using servertest::get;

const char* kOtherConfig = R"(
[[device]]
facility = "OTHER.SIM"
name = "DEV"
locations = ["LOC"]
  [[device.property]]
  name = "WHO"
  type = "STRING"
  value = "the second server"
  [[device.property]]
  name = "VALUE"
  type = "INT"
  writable = true
  value = 7
)";

TEST(RoutingTest, FacilityRoutedToASecondServerIsServedThere) {
  vantotest::ServerProcess other(vantotest::temp_file(kOtherConfig, ".toml"));
  const std::string main_config = std::string(R"(
[[device]]
facility = "MAIN.SIM"
name = "DEV"
locations = ["LOC"]
  [[device.property]]
  name = "WHO"
  type = "STRING"
  value = "the name server"

[[route]]
facility = "OTHER.SIM"
server = ")") + other.ens() + "\"\n";
  vantotest::ServerProcess main(vantotest::temp_file(main_config, ".toml"));
  ::setenv("VANTO_ENS", main.ens().c_str(), 1);

  EXPECT_EQ(get("MAIN.SIM/DEV/LOC/WHO").get_string(), "the name server");
  EXPECT_EQ(get("OTHER.SIM/DEV/LOC/WHO").get_string(), "the second server");
  EXPECT_EQ(servertest::names("OTHER.SIM/*"), (std::vector<std::string>{"DEV"}));
  EXPECT_EQ(get("THIRD.SIM/DEV/LOC/WHO").error(), vanto::no_ens_entry);

  // A set through the route is seen on the second server directly.
  vanto::EqCall call;
  vanto::EqData in;
  in.set_int(99);
  ASSERT_EQ(servertest::set(call, "OTHER.SIM/DEV/LOC/VALUE", in).error(), 0);
  EXPECT_EQ(other.read("OTHER.SIM/DEV/LOC/VALUE").get_int(), 99);

  // The second server asked directly does not serve the first one's facility.
  EXPECT_EQ(other.read("MAIN.SIM/DEV/LOC/WHO").error(), vanto::no_ens_entry);
}

}  // namespace
