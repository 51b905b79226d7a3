// The four programs on tango: addresses, against the Tango installation of
// scripts/tango-up.sh (TANGO_HOST: database and TangoTest; VANTO_TANGO_NODB:
// a TangoTest without database) and a vantoserver for mixed lists.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using namespace std::chrono_literals;
using vantotest::ProgramResult;
using vantotest::run_program;

const std::string kDevice = "tango:sys/tg_test/1/";

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

std::string nodb_device() { return "tango://" + env("VANTO_TANGO_NODB") + "/sys/tg_test/1/"; }

ProgramResult vantoget(const std::vector<std::string>& args) {
  return run_program("vantoget", args);
}
ProgramResult vantoput(const std::vector<std::string>& args) {
  return run_program("vantoput", args);
}

// What a second client reads: the value alone.
std::string read_back(const std::string& address) {
  const ProgramResult r = vantoget({"-T", "-c", address});
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

std::string padded(const std::string& text) {
  return text + std::string(80 - text.size(), ' ') + "\t\n";
}

// The names of -N output lines, one per line.
std::string first_words(const std::string& text) {
  std::istringstream in(text);
  std::string names;
  for (std::string line; std::getline(in, line);) names += line.substr(0, line.find(' ')) + "\n";
  return names;
}

class TangoE2E : public vantotest::ServerTest {
 protected:
  static void SetUpTestSuite() {
    ServerTest::SetUpTestSuite();
    ASSERT_FALSE(env("TANGO_HOST").empty() || env("VANTO_TANGO_NODB").empty())
        << "no Tango installation: run scripts/tango-up.sh DIR and export the lines of DIR/env";
  }
};

TEST_F(TangoE2E, EachTangoTypeReadsAsItsLibraryType) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"short_scalar", "INT"},           {"long_scalar", "INT"},
      {"ushort_scalar", "INT"},          {"uchar_scalar", "INT"},
      {"long64_scalar", "LONG"},         {"ulong_scalar", "LONG"},
      {"ulong64_scalar", "LONG"},        {"float_scalar", "FLOAT"},
      {"double_scalar", "DOUBLE"},       {"string_scalar", "STRING"},
      {"boolean_scalar", "BOOL"},        {"State", "STRING"},
      {"long_spectrum_ro", "A_INT"},     {"double_spectrum_ro", "A_DOUBLE"},
      {"boolean_spectrum_ro", "A_BOOL"}, {"string_spectrum_ro", "A_STRING"},
      {"uchar_image_ro", "IMAGE"},       {"double_image_ro", "A_DOUBLE"},
  };
  for (const auto& [attribute, type] : cases) {
    const ProgramResult r = vantoget({"-t", "-c", kDevice + attribute});
    EXPECT_EQ(r.status, 0) << attribute << ": " << r.err;
    EXPECT_EQ(r.out.rfind("vantoget: type() of " + kDevice + attribute + " = " + type + "\n", 0),
              0u)
        << r.out.substr(0, 200);
  }
  const ProgramResult state = vantoget({"-T", "-c", kDevice + "State"});
  EXPECT_EQ(state.out, "RUNNING\t\n");
  const ProgramResult image = vantoget({"-c", kDevice + "uchar_image_ro"});
  EXPECT_NE(image.out.find("width:251(xstart:0 width_max:251)\theight:251(ystart:0 height_max:251)"
                           "\tbpp:1(ebit:8)"),
            std::string::npos);
}

TEST_F(TangoE2E, WritesAreReadBackAndSeenByASecondClient) {
  struct Case {
    std::string attribute, value, shown;
  };
  for (const Case& c :
       {Case{"double_scalar_w", "3.5", "3.5"}, Case{"string_scalar", "two words", "two words"},
        Case{"long_spectrum", "1 2 3", "1 2 3"}}) {
    const ProgramResult put = vantoput({"-c", kDevice + c.attribute, "-d", c.value});
    EXPECT_EQ(put.status, 0) << c.attribute << ": " << put.err;
    EXPECT_EQ(put.out, c.shown + "\n");
    EXPECT_EQ(read_back(kDevice + c.attribute), c.shown + "\t\n");
  }
  // The output forms of a known value.
  ASSERT_EQ(vantoput({"-c", kDevice + "double_scalar_w", "-d", "2.25"}).status, 0);
  EXPECT_EQ(vantoget({"-c", kDevice + "double_scalar_w"}).out, padded("2.25"));
  EXPECT_EQ(vantoget({"-H", "-c", kDevice + "double_scalar_w"}).out,
            padded(kDevice + "double_scalar_w") + padded("2.25"));
  // Through the server without a database.
  ASSERT_EQ(vantoput({"-c", nodb_device() + "short_scalar_w#dbase=no", "-d", "12"}).status, 0);
  EXPECT_EQ(read_back(nodb_device() + "short_scalar_w#dbase=no"), "12\t\n");
}

TEST_F(TangoE2E, FailuresCarryTheirCodeAndTangosReason) {
  struct Case {
    std::vector<std::string> put_args, get_args;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{"-c", kDevice + "short_scalar_ro", "-d", "3"},
       {},
       "API_AttrNotWritable: Attribute short_scalar_ro is not writable , result.error() = 7"},
      {{"-c", kDevice + "short_scalar_w", "-d", "70000"},
       {},
       "value 70000 out of the attribute's range , result.error() = 6"},
      {{},
       {"-c", kDevice + "no_such_attribute"},
       "API_AttrNotFound: no_such_attribute attribute not found , result->error() = 102"},
      {{},
       {"-c", "tango:sys/no_such/1/short_scalar"},
       "DB_DeviceNotDefined: device sys/no_such/1 not defined in the database ! , result->error() "
       "= 119"},
      // Registered in the database, its server never started.
      {{}, {"-c", "tango:sys/tg_stopped/1/short_scalar"}, "API_DeviceNotExported: "},
  };
  for (const Case& c : cases) {
    const ProgramResult r = c.put_args.empty() ? vantoget(c.get_args) : vantoput(c.put_args);
    EXPECT_NE(r.status, 0) << c.text;
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
  }
  const ProgramResult stopped = vantoget({"-c", "tango:sys/tg_stopped/1/short_scalar"});
  EXPECT_NE(stopped.err.find("result->error() = 100"), std::string::npos) << stopped.err;
}

TEST_F(TangoE2E, WildcardsListTheDatabaseOrTheDevice) {
  const ProgramResult members = vantoget({"-N", "-c", "tango:sys/tg_test/*"});
  EXPECT_EQ(members.status, 0) << members.err;
  EXPECT_EQ(members.out, "tango:sys/tg_test/1\ntango:sys/tg_test/2\n");
  const std::string written = "double_scalar_w\nlong_scalar_w\nshort_scalar_w\n";
  for (const auto& [prefix, suffix] :
       {std::pair<std::string, std::string>{kDevice, ""}, {nodb_device(), "#dbase=no"}}) {
    const ProgramResult r = vantoget({"-N", "-c", prefix + "*_scalar_w" + suffix});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string expected;
    std::istringstream names(written);
    for (std::string name; std::getline(names, name);) expected += prefix + name + suffix + "\n";
    EXPECT_EQ(first_words(r.out), expected) << r.out;
  }
  const ProgramResult no_db = vantoget(
      {"-N", "-c", "tango://" + env("VANTO_TANGO_NODB") + "/sys/tg_test/*/State#dbase=no"});
  EXPECT_NE(no_db.err.find("no Tango database to list devices (#dbase=no), error = 5"),
            std::string::npos)
      << no_db.err;
}

TEST_F(TangoE2E, SaveAndRestoreMixesVantoAndTangoChannels) {
  ASSERT_EQ(vantoput({"-c", kDevice + "short_scalar_w", "-d", "7"}).status, 0);
  const std::string file = vantotest::temp_file(
      "//Save_&_Restore//\n mixed ;\n Tue Dec  8 02:00:00 2026\n ;\n"
      "TEST.SIM SCALAR LOC1 DOUBLE\t6\t2.25\t;\n"
      "tango:sys tg_test 1 short_scalar_w\t1\t7\t;\n",
      ".sr");
  const std::string saved = vantotest::temp_dir() + "/saved.sr";
  const ProgramResult save = vantoget({"-f", file, "-b", saved});
  ASSERT_EQ(save.status, 0) << save.err;
  std::ifstream in(saved);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("tango:sys tg_test 1 short_scalar_w\t1\t7"), std::string::npos) << text;
  const std::string compared = "Differences between actual and reference data : ";
  EXPECT_EQ(vantoget({"-r", "-f", saved}).out, compared + "0\n");

  ASSERT_EQ(vantoput({"-c", kDevice + "short_scalar_w", "-d", "9"}).status, 0);
  EXPECT_EQ(vantoget({"-r", "-f", saved}).out, compared + "1\n");
  const ProgramResult restore = vantoput({"-f", saved});
  EXPECT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(read_back(kDevice + "short_scalar_w"), "7\t\n");
}

TEST_F(TangoE2E, ASubscriptionPrintsTheValuesWritten) {
  ASSERT_EQ(vantoput({"-c", kDevice + "long_scalar_w", "-d", "10"}).status, 0);
  vantotest::ChildProcess subscriber("vantozmq_subscribe", {kDevice + "long_scalar_w"});
  ASSERT_TRUE(subscriber.wait_for_out("Subscription established successfully.", 30s))
      << subscriber.err();
  for (const char* value : {"11", "12"}) {
    ASSERT_EQ(vantoput({"-c", kDevice + "long_scalar_w", "-d", value}).status, 0);
    EXPECT_TRUE(subscriber.wait_for_out(std::string(" DATA_INT ") + value + "\n", 30s))
        << subscriber.out();
  }
  // libtango is loaded only for the tango: address.
  std::ifstream maps("/proc/" + std::to_string(subscriber.pid()) + "/maps");
  const std::string mapped((std::istreambuf_iterator<char>(maps)),
                           std::istreambuf_iterator<char>());
  EXPECT_NE(mapped.find("libtango"), std::string::npos);
  subscriber.signal(SIGTERM);
  const ProgramResult end = subscriber.wait();
  EXPECT_EQ(end.err, "");
}

TEST_F(TangoE2E, WithoutAChangeCriterionPeriodicEventsFollow) {
  vantotest::ChildProcess subscriber("vantozmq_subscribe", {kDevice + "ampli"});
  ASSERT_TRUE(subscriber.wait_for_out(" DATA_DOUBLE ", 30s, 3)) << subscriber.err();
  EXPECT_EQ(subscriber.err(), "vantozmq_subscribe: " + kDevice +
                                  "ampli has no change criteria: following its periodic "
                                  "events instead\n");
}

TEST_F(TangoE2E, VantoChannelsNeverLoadTheModule) {
  vantotest::ChildProcess subscriber("vantozmq_subscribe", {"TEST.SIM/STREAM/LOC1/COUNTER"});
  ASSERT_TRUE(subscriber.wait_for_out("Subscription established successfully.", 30s));
  std::ifstream maps("/proc/" + std::to_string(subscriber.pid()) + "/maps");
  const std::string mapped((std::istreambuf_iterator<char>(maps)),
                           std::istreambuf_iterator<char>());
  EXPECT_EQ(mapped.find("libtango"), std::string::npos);
  EXPECT_EQ(mapped.find("libvanto-tango"), std::string::npos);
}

TEST_F(TangoE2E, WithoutTheModuleOrAStreamATangoAddressIsRefused) {
  const ProgramResult missing =
      run_program("vantoget", {"-c", kDevice + "double_scalar"}, "",
                  {{"VANTO_TANGO_MODULE", "/nonexistent/libvanto-tango.so"}});
  EXPECT_NE(missing.status, 0);
  EXPECT_EQ(missing.err, kDevice +
                             "double_scalar: tango: addresses need the module "
                             "libvanto-tango.so, which is not installed , result->error() = 9\n");
  const ProgramResult stream = run_program("streamcat", {"-c", kDevice + "double_scalar"});
  EXPECT_EQ(stream.status, 1);
  EXPECT_EQ(stream.out, "");
  EXPECT_NE(stream.err.find(kDevice + "double_scalar: streamcat reads VANTO streams only"),
            std::string::npos)
      << stream.err;
}

}  // namespace
