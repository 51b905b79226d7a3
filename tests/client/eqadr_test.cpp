// Channel addresses: parsing, field access, merging and the text form.
#include <gtest/gtest.h>

#include <vanto/eqadr.h>
#include <vanto/errors.h>

namespace {

using vanto::EqAdr;

struct Parsed {
  const char* text;
  const char* protocol;
  const char* host;
  int port;
  const char* f;
  const char* d;
  const char* l;
  const char* p;
  const char* shown;
};

class AddressParsing : public ::testing::TestWithParam<Parsed> {};

TEST_P(AddressParsing, GivesFieldsAndTextForm) {
  const Parsed& c = GetParam();
  EqAdr a;
  ASSERT_EQ(a.adr(c.text), 0) << c.text << ": " << a.error_text();
  EXPECT_EQ(a.protocol(), c.protocol);
  EXPECT_EQ(a.host(), c.host);
  EXPECT_EQ(a.port(), c.port);
  EXPECT_EQ(a.facility(), c.f);
  EXPECT_EQ(a.device(), c.d);
  EXPECT_EQ(a.location(), c.l);
  EXPECT_EQ(a.property(), c.p);
  EXPECT_EQ(a.show_adr(), c.shown);
  EXPECT_EQ(EqAdr(c.text).show_adr(), c.shown);  // the constructor parses the same way
  // The name a server knows: no prefix, no host, all four fields.
  EXPECT_EQ(a.channel(), std::string(c.f) + "/" + c.d + "/" + c.l + "/" + c.p);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressParsing,
    ::testing::Values(Parsed{"TEST.SIM/SCALAR/LOC1/INT", "", "", 0, "TEST.SIM", "SCALAR", "LOC1",
                             "INT", "TEST.SIM/SCALAR/LOC1/INT"},
                      Parsed{"vanto:F/D/L/P", "vanto", "", 0, "F", "D", "L", "P", "vanto:F/D/L/P"},
                      Parsed{"rask:F/D/L/P", "rask", "", 0, "F", "D", "L", "P", "rask:F/D/L/P"},
                      Parsed{"epics:F/D", "epics", "", 0, "F", "D", "", "", "epics:F/D"},
                      Parsed{"tango:F/D/L/P", "tango", "", 0, "F", "D", "L", "P", "tango:F/D/L/P"},
                      Parsed{"vanto://127.0.0.1:5555/F/D/L/P", "vanto", "127.0.0.1", 5555, "F", "D",
                             "L", "P", "vanto://127.0.0.1:5555/F/D/L/P"},
                      Parsed{"F/*/L/P", "", "", 0, "F", "*", "L", "P", "F/*/L/P"},
                      Parsed{"F/D/*", "", "", 0, "F", "D", "*", "", "F/D/*/"},
                      Parsed{"F", "", "", 0, "F", "", "", "", "F///"},
                      Parsed{"h:5555;2", "", "", 0, "h:5555;2", "", "", "", "h:5555;2///"},
                      Parsed{"host:5555;2", "", "", 0, "host:5555;2", "", "", "", "host:5555;2///"},
                      Parsed{"///.TARGET", "", "", 0, "", "", "", ".TARGET", "///.TARGET"}),
    [](const auto& param_info) { return "case" + std::to_string(param_info.index); });

TEST(AddressParsing, RefusesMalformedAddressesAndEmptiesTheFields) {
  for (const char* text :
       {"F/D/L/P/X", "a/b/c/d/e/f", "", "vanto:", "vanto://:5555/F/D/L/P", "vanto://host/F/D/L/P",
        "vanto://host:0/F/D/L/P", "vanto://host:99999/F/D/L/P", "vanto://host:12a/F/D/L/P"}) {
    EqAdr a("OLD/OLD/OLD/OLD");
    EXPECT_EQ(a.adr(text), vanto::bad_address) << text;
    EXPECT_FALSE(a.error_text().empty()) << text;
    EXPECT_EQ(a.facility(), "") << text;
    EXPECT_EQ(a.property(), "") << text;
  }
}

TEST(AddressEditing, SetAndSetFieldsReplace) {
  EqAdr a("vanto:F/D/L/P");
  a.set_device("PUMP1");
  a.set_property("ERROR");
  EXPECT_EQ(a.show_adr(), "vanto:F/PUMP1/L/ERROR");
  a.set("A", "B", "C", "D");
  EXPECT_EQ(a.show_adr(), "vanto:A/B/C/D");
}

TEST(AddressEditing, MergeReplacesGivenFieldsAndAppendsDottedProperty) {
  struct Case {
    const char* base;
    const char* partial;
    const char* merged;
  };
  const Case cases[] = {
      {"F/D/L/PS", "///.TARGET", "F/D/L/PS.TARGET"},
      {"F/D/L/PS", "/D2", "F/D2/L/PS"},
      {"F/D/L/PS", "F2//L2/", "F2/D/L2/PS"},
      {"F/D/L/PS", "", "F/D/L/PS"},
      {"F/D/L/PS", "///Q", "F/D/L/Q"},
      {"F/D/L/PS", "a/b/c/d/e", "F/D/L/PS"},  // not an address: nothing changes
  };
  for (const auto& c : cases) {
    EqAdr a(c.base);
    a.merge(c.partial);
    EXPECT_EQ(a.show_adr(), c.merged) << c.base << " + " << c.partial;
  }
}

}  // namespace
