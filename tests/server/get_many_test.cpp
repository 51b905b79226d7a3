// Calls that keep more than one request in flight: EqCall::get_many (many
// reads, each result in its own slot) and set with its read-back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "call_helpers.h"
#include "harness.h"

namespace {

using vanto::EqAdr;
using vanto::EqData;

// A device of many writable INT locations, so that every slot can be told
// apart by the value written into it.
std::string many_locations_config(const std::string& facility, int count) {
  std::string locations;
  for (int k = 0; k < count; ++k) locations += (k ? ", \"L" : "\"L") + std::to_string(k) + "\"";
  return "[[device]]\nfacility = \"" + facility + "\"\nname = \"DEV\"\nlocations = [" + locations +
         "]\n  [[device.property]]\n  name = \"VALUE\"\n  type = \"INT\"\n  writable = true\n"
         "  value = 0\n";
}

// The addresses, results and slot pointers of one get_many call.
struct Batch {
  explicit Batch(const std::vector<std::string>& names)
      : addresses(names.begin(), names.end()), results(names.size()) {
    for (auto& a : addresses) address_slots.push_back(&a);
    for (auto& r : results) result_slots.push_back(&r);
  }
  size_t read(vanto::EqCall& call) {
    return call.get_many(address_slots.data(), nullptr, result_slots.data(), results.size());
  }

  std::vector<EqAdr> addresses;
  std::vector<EqData> results;
  std::vector<EqAdr*> address_slots;
  std::vector<EqData*> result_slots;
};

std::string location(const std::string& facility, int k) {
  return facility + "/DEV/L" + std::to_string(k) + "/VALUE";
}

void write_int(vanto::EqCall& call, const std::string& address, int value) {
  EqData in;
  in.set_int(value);
  ASSERT_EQ(servertest::set(call, address, in).error(), 0) << address;
}

class GetManyTest : public ::testing::Test {
 protected:
  static constexpr int kLocations = 300;  // several windows of reads in flight

  void SetUp() override {
    server_ = std::make_unique<vantotest::ServerProcess>(
        vantotest::temp_file(many_locations_config("MANY.SIM", kLocations), ".toml"));
    ::setenv("VANTO_ENS", server_->ens().c_str(), 1);
    vanto::EqCall call;
    for (int k = 0; k < kLocations; ++k) write_int(call, location("MANY.SIM", k), 1000 + k);
  }

  std::unique_ptr<vantotest::ServerProcess> server_;
};

TEST_F(GetManyTest, EveryReplyLandsInTheSlotOfItsAddress) {
  std::vector<std::string> names;
  for (int k = 0; k < kLocations; ++k) names.push_back(location("MANY.SIM", k));
  Batch batch(names);
  vanto::EqCall call;
  EXPECT_EQ(batch.read(call), 0u);
  for (int k = 0; k < kLocations; ++k) {
    ASSERT_EQ(batch.results[k].error(), 0) << names[k];
    EXPECT_EQ(batch.results[k].get_int(), 1000 + k) << names[k];
  }
  // The same call object reads the same list again: no reply of the first
  // round is left over to be taken for one of the second.
  write_int(call, location("MANY.SIM", 7), 7);
  EXPECT_EQ(batch.read(call), 0u);
  EXPECT_EQ(batch.results[7].get_int(), 7);
  EXPECT_EQ(batch.results[8].get_int(), 1008);
}

TEST_F(GetManyTest, FailedReadsKeepTheirOwnErrorAndDoNotDisturbTheOthers) {
  const std::vector<std::string> names = {
      location("MANY.SIM", 1), "MANY.SIM/NODEV/L1/VALUE",  location("MANY.SIM", 2),
      "MANY.SIM/DEV/L3",  // no property: refused by the address parser
      location("MANY.SIM", 3), "MANY.SIM/DEV/NOLOC/VALUE", location("MANY.SIM", 4)};
  Batch batch(names);
  vanto::EqCall call;
  const size_t failed = batch.read(call);
  EXPECT_EQ(batch.results[0].get_int(), 1001);
  EXPECT_EQ(batch.results[1].error(), vanto::no_ens_entry);
  EXPECT_EQ(batch.results[2].get_int(), 1002);
  EXPECT_NE(batch.results[3].error(), 0);
  EXPECT_EQ(batch.results[4].get_int(), 1003);
  EXPECT_NE(batch.results[5].error(), 0);
  EXPECT_EQ(batch.results[6].get_int(), 1004);
  EXPECT_EQ(failed, 3u);
  for (int k : {0, 2, 4, 6}) EXPECT_EQ(batch.results[k].error(), 0) << names[k];
}

TEST_F(GetManyTest, AReplyHeldBackFailsWithUnavailServAndLeavesTheCallUsable) {
  server_->set_delay(location("MANY.SIM", 5), 3000);
  vanto::EqCall call;
  EqAdr any(location("MANY.SIM", 0));
  EqData timeout, ignored;
  timeout.set_int(300);
  ASSERT_EQ(call.set_option(&any, &timeout, &ignored, vanto::EQ_TIMEOUT), 0);
  std::vector<std::string> names;
  for (int k = 0; k < 10; ++k) names.push_back(location("MANY.SIM", k));
  Batch batch(names);
  EXPECT_EQ(batch.read(call), 1u);
  EXPECT_EQ(batch.results[5].error(), vanto::unavail_serv);
  for (int k = 0; k < 10; ++k) {
    if (k == 5) continue;
    EXPECT_EQ(batch.results[k].get_int(), 1000 + k) << names[k];
  }
  // The late reply, whenever it comes, is never taken for a later read.
  server_->clear_faults();
  Batch again(names);
  EXPECT_EQ(again.read(call), 0u);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(again.results[k].get_int(), 1000 + k) << names[k];
}

TEST_F(GetManyTest, AStoppedServerFailsEveryReadWithUnavailServ) {
  std::vector<std::string> names;
  for (int k = 0; k < 100; ++k) names.push_back(location("MANY.SIM", k));
  vanto::EqCall call;
  EqData first = servertest::get(call, names[0]);  // the route is known now
  ASSERT_EQ(first.get_int(), 1000);
  EqAdr any(names[0]);
  EqData timeout, ignored;
  timeout.set_int(300);
  ASSERT_EQ(call.set_option(&any, &timeout, &ignored, vanto::EQ_TIMEOUT), 0);
  server_->stop();
  Batch batch(names);
  EXPECT_EQ(batch.read(call), names.size());
  for (const EqData& result : batch.results) EXPECT_EQ(result.error(), vanto::unavail_serv);
}

TEST_F(GetManyTest, ASetWithReadBackSeesTheWrittenValue) {
  vanto::EqCall call;
  EqAdr adr(location("MANY.SIM", 3));
  EqData in, out, read_back;
  in.set_int(77);
  EXPECT_EQ(call.set(&adr, &in, &out, &read_back), 0);
  EXPECT_EQ(out.error(), 0);
  EXPECT_EQ(read_back.error(), 0);
  EXPECT_EQ(read_back.get_int(), 77);
  EXPECT_EQ(servertest::get(location("MANY.SIM", 3)).get_int(), 77);
}

TEST_F(GetManyTest, AFailedSetLeavesTheReadBackEmptyAndTheNextCallGetsItsOwnReply) {
  const std::string address = location("MANY.SIM", 4);
  server_->fail_next(address, vanto::ill_serv, 1);
  vanto::EqCall call;
  EqAdr adr(address);
  EqData in, out, read_back;
  read_back.set_int(-1);  // must not survive the failed write
  in.set_int(55);
  EXPECT_EQ(call.set(&adr, &in, &out, &read_back), vanto::ill_serv);
  EXPECT_EQ(read_back.type(), vanto::DATA_NULL);
  // The reply of the read that followed the failed write is not taken for
  // this one's.
  const EqData next = servertest::get(call, location("MANY.SIM", 5));
  EXPECT_EQ(next.get_int(), 1005);
  EXPECT_EQ(servertest::get(call, address).get_int(), 1004);

  EqAdr unknown("MANY.SIM/NODEV/L1/VALUE");
  EXPECT_EQ(call.set(&unknown, &in, &out, &read_back), vanto::no_ens_entry);
  EXPECT_EQ(read_back.type(), vanto::DATA_NULL);
}

TEST(GetManyRequestTest, TheRequestArgumentGoesWithEveryRead) {
  vantotest::ServerProcess server;
  ::setenv("VANTO_ENS", server.ens().c_str(), 1);
  // Squares 1 4 9 ... 64: from value 2 on, every second one, three of them.
  const std::string spectrum = "TEST.SIM/TYPES/LOC1/SPECTRUM";
  EqData crop;  // buffer, offset, step, count
  crop.set_iiii(0, 2, 2, 3);
  Batch batch({spectrum, spectrum, spectrum});
  vanto::EqCall call;
  EXPECT_EQ(call.get_many(batch.address_slots.data(), &crop, batch.result_slots.data(), 3), 0u);
  for (const EqData& result : batch.results)
    EXPECT_EQ(servertest::spectrum_of(result).values, (std::vector<float>{9, 25, 49}));
}

TEST(GetManyRoutingTest, ReadsOfTwoServersInterleavedEachReachTheirOwn) {
  vantotest::ServerProcess other(
      vantotest::temp_file(many_locations_config("OTHER.SIM", 20), ".toml"));
  vantotest::ServerProcess main(vantotest::temp_file(
      many_locations_config("MAIN.SIM", 20) + "\n[[route]]\nfacility = \"OTHER.SIM\"\nserver = \"" +
          other.ens() + "\"\n",
      ".toml"));
  ::setenv("VANTO_ENS", main.ens().c_str(), 1);
  vanto::EqCall call;
  std::vector<std::string> names;
  for (int k = 0; k < 20; ++k) {
    write_int(call, location("MAIN.SIM", k), 100 + k);
    write_int(call, location("OTHER.SIM", k), 200 + k);
    // Runs of three on one server, then the other.
    names.push_back(location(k % 6 < 3 ? "MAIN.SIM" : "OTHER.SIM", k));
  }
  Batch batch(names);
  vanto::EqCall reader;
  EXPECT_EQ(batch.read(reader), 0u);
  for (int k = 0; k < 20; ++k) {
    EXPECT_EQ(batch.results[k].get_int(), (k % 6 < 3 ? 100 : 200) + k) << names[k];
  }
}

}  // namespace
