// The tango: backend's mappings, without a server: addresses to Tango names,
// Tango's error stacks to codes and texts, attribute values to EqData.
#include <gtest/gtest.h>

#include "attribute_value.h"
#include "tango_address.h"
#include "tango_errors.h"
#include "vanto/errors.h"

namespace {

using vanto::EqAdr;
using vanto::EqData;

struct NameCase {
  const char* address;
  const char* device;
  const char* attribute;
  bool no_database;
};

TEST(TangoName, FourFieldsAreDomainFamilyMemberAttribute) {
  for (const NameCase& c : {
           NameCase{"tango:sys/tg_test/1/ampli", "sys/tg_test/1", "ampli", false},
           NameCase{"tango://db.host:10000/Sys/TG_Test/1/Ampli",
                    "tango://db.host:10000/Sys/TG_Test/1", "Ampli", false},
           NameCase{"tango://127.0.0.1:1234/sys/tg_test/1/short_scalar#dbase=no",
                    "tango://127.0.0.1:1234/sys/tg_test/1#dbase=no", "short_scalar", true},
       }) {
    const vanto::tango::TangoName name = vanto::tango::tango_name(EqAdr(c.address));
    EXPECT_EQ(name.device, c.device) << c.address;
    EXPECT_EQ(name.attribute, c.attribute) << c.address;
    EXPECT_EQ(name.no_database, c.no_database) << c.address;
  }
  EXPECT_EQ(vanto::tango::tango_name(EqAdr("tango:SYS/Tg_Test/1/x")).device_key(), "sys/tg_test/1");
}

Tango::DevErrorList stack(std::initializer_list<std::pair<const char*, const char*>> entries) {
  Tango::DevErrorList errors;
  errors.length(static_cast<CORBA::ULong>(entries.size()));
  CORBA::ULong i = 0;
  for (const auto& [reason, desc] : entries) {
    errors[i].reason = CORBA::string_dup(reason);
    errors[i].desc = CORBA::string_dup(desc);
    errors[i].origin = CORBA::string_dup("test");
    errors[i].severity = Tango::ERR;
    ++i;
  }
  return errors;
}

struct ErrorCase {
  Tango::DevErrorList errors;
  int code;
  std::string text;
};

TEST(TangoErrors, ReasonsDecideTheCodeAndTheText) {
  const std::vector<ErrorCase> cases = {
      {stack({{"API_AttrNotFound", "nope attribute not found\nmore"}}), vanto::ill_property,
       "API_AttrNotFound: nope attribute not found"},
      {stack({{"DB_DeviceNotDefined", "device a/b/c not defined"}}), vanto::no_ens_entry,
       "DB_DeviceNotDefined: device a/b/c not defined"},
      // The precise reason decides, wherever it is in the stack.
      {stack({{"TRANSIENT_CallTimedout", "timed out"}, {"API_DeviceTimedOut", "no answer"}}),
       vanto::unavail_serv, "API_DeviceTimedOut: no answer"},
      {stack({{"API_AttrNotWritable", "ro is not writable"}}), vanto::not_writable,
       "API_AttrNotWritable: ro is not writable"},
      {stack({{"API_IncompatibleAttrArgumentType", "wrong type"}}), vanto::type_error,
       "API_IncompatibleAttrArgumentType: wrong type"},
      {stack({{"SOMETHING_ELSE", "odd"}}), vanto::ill_serv, "SOMETHING_ELSE: odd"},
  };
  for (const ErrorCase& c : cases) {
    EqData out;
    EXPECT_EQ(vanto::tango::fail(c.errors, out), c.code) << c.text;
    EXPECT_EQ(out.error(), c.code);
    EXPECT_EQ(out.error_text(), c.text);
  }
}

struct ValueCase {
  std::function<Tango::DeviceAttribute()> make;
  int type;
  std::string text;
};

template <typename T>
Tango::DeviceAttribute scalar(T value) {
  Tango::DeviceAttribute attribute("a", value);
  return attribute;
}

template <typename T>
Tango::DeviceAttribute spectrum(std::vector<T> values) {
  Tango::DeviceAttribute attribute("a", values);
  return attribute;
}

TEST(TangoValues, EachTangoTypeBecomesItsLibraryType) {
  const std::vector<ValueCase> cases = {
      {[] { return scalar<Tango::DevShort>(-7); }, vanto::DATA_INT, "-7"},
      {[] { return scalar<Tango::DevUChar>(200); }, vanto::DATA_INT, "200"},
      {[] { return scalar<Tango::DevULong>(4000000000u); }, vanto::DATA_LONG, "4000000000"},
      {[] { return scalar<Tango::DevLong64>(-5000000000); }, vanto::DATA_LONG, "-5000000000"},
      {[] { return scalar<Tango::DevDouble>(2.25); }, vanto::DATA_DOUBLE, "2.25"},
      {[] { return scalar<Tango::DevFloat>(1.5f); }, vanto::DATA_FLOAT, "1.5"},
      {[] { return scalar<bool>(true); }, vanto::DATA_BOOL, "1"},
      {[] { return scalar<std::string>("two words"); }, vanto::DATA_STRING, "two words"},
      {[] { return scalar<Tango::DevState>(Tango::ALARM); }, vanto::DATA_STRING, "ALARM"},
      {[] {
         return spectrum<Tango::DevLong>({1, 2, 3});
       },
       vanto::DATA_A_INT, "1 2 3"},
      {[] {
         return spectrum<Tango::DevLong64>({4, 5});
       },
       vanto::DATA_A_LONG, "4 5"},
      {[] {
         return spectrum<double>({0.5, 1.5});
       },
       vanto::DATA_A_DOUBLE, "0.5 1.5"},
  };
  for (const ValueCase& c : cases) {
    Tango::DeviceAttribute attribute = c.make();
    EqData out;
    ASSERT_EQ(vanto::tango::to_eqdata(attribute, {}, out), 0) << c.text << ": " << out.error_text();
    EXPECT_EQ(out.type(), c.type) << c.text;
    EXPECT_EQ(out.get_string(), c.text);
  }
}

TEST(TangoValues, WhatCannotBeShownTrulyIsAFailure) {
  Tango::DeviceAttribute too_big = scalar<Tango::DevULong64>(18446744073709551615ull);
  EqData out;
  EXPECT_EQ(vanto::tango::to_eqdata(too_big, {}, out), vanto::out_of_range);
  EXPECT_EQ(out.error_text(), "value 18446744073709551615 does not fit a LONG");

  Tango::DeviceAttribute invalid = scalar<Tango::DevDouble>(1.0);
  invalid.get_quality() = Tango::ATTR_INVALID;
  EXPECT_NE(vanto::tango::to_eqdata(invalid, {}, out), 0);
  EXPECT_NE(out.error_text().find("quality INVALID"), std::string::npos) << out.error_text();
}

TEST(TangoValues, WritesRefuseValuesOutsideTheAttributesType) {
  Tango::AttributeInfoEx info;
  info.name = "short_scalar_w";
  info.data_format = Tango::SCALAR;
  info.data_type = Tango::DEV_SHORT;
  EqData in;
  in.set_int(70000);
  Tango::DeviceAttribute value;
  std::string why;
  EXPECT_EQ(vanto::tango::from_eqdata(in, info, value, why), vanto::out_of_range);
  EXPECT_EQ(why, "value 70000 out of the attribute's range");
  in.set_int(-300);
  EXPECT_EQ(vanto::tango::from_eqdata(in, info, value, why), 0);
  Tango::DevShort written = 0;
  value >> written;
  EXPECT_EQ(written, -300);
}

}  // namespace
