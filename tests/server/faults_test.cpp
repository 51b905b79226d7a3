// Injected faults, a slow channel, a server that is down, and the retry.
#include <gtest/gtest.h>

#include "call_helpers.h"
#include "harness.h"

namespace {

using servertest::get;
using vanto::EqData;

class FaultsTest : public vantotest::ServerTest {
 protected:
  void TearDown() override { server().clear_faults(); }
};

TEST_F(FaultsTest, NextCallsFailWithTheChosenCodeThenRecover) {
  const std::string address = "TEST.SIM/SCALAR/LOC1/INT255";
  server().fail_next(address, vanto::ill_serv, 2);
  vanto::EqCall call;
  for (int k = 0; k < 2; ++k) {
    const EqData out = get(call, address);
    EXPECT_EQ(out.error(), vanto::ill_serv) << "call " << k;
    EXPECT_FALSE(out.error_text().empty());
  }
  EXPECT_EQ(get(call, address).get_int(), 255);
  // Other channels are not touched.
  server().fail_next(address, vanto::unavail_serv, 1);
  EXPECT_EQ(get(call, "TEST.SIM/SCALAR/LOC1/INT").error(), 0);
  EXPECT_EQ(get(call, address).error(), vanto::unavail_serv);
  EXPECT_EQ(get(call, address).error(), 0);
}

TEST_F(FaultsTest, RetriedCallsSucceedAfterTransientFailures) {
  const std::string address = "TEST.VAC/PUMP1/L1/NAME";
  server().fail_next(address, vanto::unavail_serv, 2);
  vanto::EqCall call;
  vanto::EqAdr adr(address);
  EqData in, out;
  int attempts = 0, code = 0;
  do {
    ++attempts;
    code = call.get(&adr, &in, &out);
    if (code == vanto::unavail_serv || code == vanto::ill_serv) {
      ASSERT_EQ(call.set_option(&adr, &in, &out, vanto::EQ_RETRY), 0);
    }
  } while (code != 0 && attempts < 5);
  EXPECT_EQ(attempts, 3);
  EXPECT_EQ(out.get_string(), "L1");
}

TEST_F(FaultsTest, AlwaysFailingChannelFailsUntilCleared) {
  const std::string address = "TEST.VAC/GAUGENG/L2/ERROR";
  server().fail_always(address, 42);
  vanto::EqCall call;
  for (int k = 0; k < 3; ++k) EXPECT_EQ(get(call, address).error(), 42);
  vanto::EqAdr adr("TEST.VAC/GAUGENG/*/ERROR");
  EqData list;
  EXPECT_EQ(call.names(&adr, &list), 0);  // a fault is bound to its own address only
  server().clear_faults();
  EXPECT_EQ(get(call, address).error(), 0);
}

TEST_F(FaultsTest, SlowChannelTimesOutWithUnavailServAndTheNextCallIsAnswered) {
  const std::string address = "TEST.SIM/SCALAR/LOC1/FLOAT";
  server().set_delay(address, 3000);
  vanto::EqCall call;
  vanto::EqAdr adr(address);
  EqData timeout, ignored;
  timeout.set_int(200);
  ASSERT_EQ(call.set_option(&adr, &timeout, &ignored, vanto::EQ_TIMEOUT), 0);
  const EqData late = get(call, address);
  EXPECT_EQ(late.error(), vanto::unavail_serv);
  // Other channels are answered meanwhile; the late reply is not taken for theirs.
  const EqData other = get(call, "TEST.SIM/SCALAR/LOC1/INT255");
  EXPECT_EQ(other.error(), 0);
  EXPECT_EQ(other.get_int(), 255);
  server().clear_faults();
  EXPECT_FLOAT_EQ(get(call, address).get_float(), 1.5f);
}

TEST(ServerDownTest, CallsToAStoppedServerGiveUnavailServ) {
  vantotest::ServerProcess server;
  const std::string ens = server.ens();
  const std::string direct = server.direct("TEST.SIM/SCALAR/LOC1/INT255");
  EXPECT_EQ(get(direct).get_int(), 255);
  server.stop();
  EXPECT_FALSE(server.running());

  vanto::EqCall call;
  vanto::EqAdr adr(direct);
  EqData timeout, ignored;
  timeout.set_int(300);
  ASSERT_EQ(call.set_option(&adr, &timeout, &ignored, vanto::EQ_TIMEOUT), 0);
  EXPECT_EQ(get(call, direct).error(), vanto::unavail_serv);

  ::setenv("VANTO_ENS", ens.c_str(), 1);
  const EqData through_ens = get(call, "TEST.SIM/SCALAR/LOC1/INT255");
  EXPECT_EQ(through_ens.error(), vanto::unavail_serv);
  EXPECT_FALSE(through_ens.error_text().empty());
}

}  // namespace
