// vantoput against a running vantoserver (the demo installation): every write
// is checked through a second client, not only through vantoput's own output.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <vanto/eqadr.h>
#include <vanto/eqcall.h>
#include <vanto/eqdata.h>
#include <vanto/errors.h>
#include <vanto/types.h>
#include "harness.h"

#include "expected_usage.h"
#include "put_fixture.h"

namespace {

using vantotest::ProgramResult;

constexpr const char* kInt = "TEST.SIM/SCALAR/LOC1/INT";
constexpr const char* kInt255 = "TEST.SIM/SCALAR/LOC1/INT255";
constexpr const char* kFloat = "TEST.SIM/SCALAR/LOC1/FLOAT";
constexpr const char* kString = "TEST.SIM/SCALAR/LOC1/STRING";
constexpr const char* kSpectrum = "TEST.SIM/ARRAY/LOC1/SPECTRUM";
constexpr const char* kXml = "TEST.SIM/ARRAY/LOC1/XML";
constexpr const char* kPumpError = "TEST.VAC/PUMP1/L1/ERROR";

const std::string kTimeWarning = "\"time\" parameter is 0, current time will be set\n";

class VantoputE2E : public writertest::PutFixture {
 protected:
  struct Spectrum {
    std::string comment;
    int64_t time = 0;
    float start = 0, inc = 0;
    uint32_t status = 0;
    std::vector<float> values;
  };
  Spectrum read_spectrum(const std::string& address) {
    const vanto::EqData d = read(address);
    EXPECT_EQ(d.type(), vanto::DATA_SPECTRUM);
    Spectrum s;
    const std::optional<vanto::SpectrumView> view = d.spectrum();
    EXPECT_TRUE(view);
    if (!view) return s;
    s.comment = view->comment;
    s.time = view->time;
    s.start = view->start;
    s.inc = view->increment;
    s.status = view->status;
    s.values = view->values();
    return s;
  }
};

struct ScalarCase {
  const char* address;
  const char* value;
};

class VantoputScalar : public VantoputE2E, public ::testing::WithParamInterface<ScalarCase> {};

TEST_P(VantoputScalar, WritesDetectedTypeAndPrintsTheValueReadBack) {
  const ScalarCase& c = GetParam();
  const ProgramResult r = put({"-c", c.address, "-d", c.value});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_text(c.address), c.value);
  EXPECT_EQ(r.out, std::string(c.value) + "\n");
}

INSTANTIATE_TEST_SUITE_P(DemoChannels, VantoputScalar,
                         ::testing::Values(ScalarCase{kInt, "-17"}, ScalarCase{kFloat, "2.5"},
                                           ScalarCase{"TEST.SIM/SCALAR/LOC1/DOUBLE", "-3.125"},
                                           ScalarCase{kString, "good morning"},
                                           ScalarCase{"TEST.SIM/SCALAR/LOC1/IIII", "10 0 -3 7"},
                                           ScalarCase{"TEST.SIM/ARRAY/LOC1/A_INT", "4 3 2 1"}));

TEST_F(VantoputE2E, GivenTypeIsUsedWithoutDetection) {
  const ProgramResult r = put({"-t", "14", "-c", "TEST.SIM/SCALAR/LOC1/IIII", "-d", "5 6 7 8"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "5 6 7 8\n");
  EXPECT_EQ(read_text("TEST.SIM/SCALAR/LOC1/IIII"), "5 6 7 8");
}

TEST_F(VantoputE2E, ReadBackLineIsCutTo79Characters) {
  const std::string long_text(100, 'b');
  const ProgramResult r = put({"-c", kString, "-d", long_text});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, std::string(79, 'b') + "\n");
  EXPECT_EQ(read_text(kString), long_text);
}

TEST_F(VantoputE2E, AtSignIsNoPartOfTheAddress) {
  const ProgramResult r = put({"-c", std::string("@") + kInt, "-d", "23"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "23\n");
  EXPECT_EQ(read_text(kInt), "23");
}

TEST_F(VantoputE2E, FailuresEndWithStatusOneAndChangeNothing) {
  struct Case {
    std::vector<std::string> args;
    std::string err_part;
  };
  const Case cases[] = {
      {{"-c", kInt255, "-d", "1"}, " , result.error() = "},  // read-only
      {{"-c", "TEST.SIM/SCALAR/LOC1/NOPE", "-d", "1"}, " , result.error() = "},
      {{"-c", "NOSUCH.FAC/DEV/LOC/PROP", "-d", "1"}, " , result.error() = 119"},
      {{"-c", kInt, "-d", "forty"}, "cannot convert value text to "},  // never sent as 0
      {{"-c", kInt, "-t", "1", "-d", "1.5.5"}, "cannot convert value text to "},
  };
  for (const Case& c : cases) {
    const ProgramResult r = put(c.args);
    EXPECT_EQ(r.status, 1) << ::testing::PrintToString(c.args);
    EXPECT_NE(r.err.find(c.err_part), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(read_text(kInt), "42");
  EXPECT_EQ(read_text(kInt255), "255");
}

TEST_F(VantoputE2E, FailedTypeReadStopsTheWrite) {
  server().fail_next(kInt, vanto::ill_serv, 1);
  const ProgramResult r = put({"-c", kInt, "-d", "5"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(" , result.error() = 101"), std::string::npos) << r.err;
  EXPECT_EQ(read_text(kInt), "42");
}

TEST_F(VantoputE2E, SpectrumFromFileWithHeaderLine) {
  const std::string file = vantotest::temp_file(
      "#comment=test, start=0.0, increment=0.5, status=0, points=3, time=0\n1.5\n-2\n300\n");
  const ProgramResult r = put({"-c", kSpectrum, "-a", file});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, kTimeWarning);
  const Spectrum s = read_spectrum(kSpectrum);
  EXPECT_EQ(s.comment, "test");
  EXPECT_EQ(s.start, 0.0f);
  EXPECT_EQ(s.inc, 0.5f);
  EXPECT_EQ(s.values, (std::vector<float>{1.5f, -2.0f, 300.0f}));
  EXPECT_EQ(r.out, read_text(kSpectrum).substr(0, 79) + "\n");
}

TEST_F(VantoputE2E, InvalidSpectrumFilesSendNothing) {
  struct Case {
    std::string text;
    std::string err;
  };
  const std::string help =
      "Unable to set Spectrum! Please, make sure that the first line of file defines the "
      "parameters like follows:\n"
      "#comment=comment_string, start=float_value, increment=float_value, "
      "status=unsigned_integer, points=numer_of_points, time=timestamp(in seconds)\n";
  const Case cases[] = {
      {"#comment=test, start=abc, increment=0.5, status=0, points=3, time=0\n1\n2\n3\n",
       "\"start\" parameter is invalid: illegal spaces or incorrect value .\n" + help},
      {"#comment=test, start=0.0, increment=0.5, status=0, points=4, time=0\n1\n2\n3\n",
       kTimeWarning + "Elements count is unequal to the defined spectrum length:  3!= 4\n"
                      "Exit without setting! Please, check the input file! \n"},
      {"#comment=test\n1\n",
       "Elements count is unequal to the defined spectrum length:  1!= -1\n"
       "Exit without setting! Please, check the input file! \n"},
      {"#comment=t, start=0, increment=1, status=0, points=2, time=1\n1\n1e40\n",
       "spectrum data corrupted, please check line 2 in the input file!\n"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = put({"-c", kSpectrum, "-a", vantotest::temp_file(c.text)});
    EXPECT_EQ(r.status, 1) << c.text;
    EXPECT_EQ(r.err, c.err) << c.text;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(read_spectrum(kSpectrum).values, (std::vector<float>{10.0f, 20.0f, 30.0f}));
}

TEST_F(VantoputE2E, PreformattedSpectrumFile) {
  const std::string file =
      vantotest::temp_file("1700000000 2.5 0.25 3\nscan 3\n4\nskipped line\n4\n5\n6\n7\n", ".spec");
  const ProgramResult r = put({"-c", kSpectrum, "-s", file});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const Spectrum s = read_spectrum(kSpectrum);
  EXPECT_EQ(s.comment, "scan 3");
  EXPECT_EQ(s.start, 2.5f);
  EXPECT_EQ(s.inc, 0.25f);
  EXPECT_EQ(s.status, 3u);
  EXPECT_EQ(s.time, 1700000000);
  EXPECT_EQ(s.values, (std::vector<float>{4.0f, 5.0f, 6.0f, 7.0f}));
  EXPECT_EQ(r.out, read_text(kSpectrum).substr(0, 79) + "\n");
}

TEST_F(VantoputE2E, PreformattedSpectrumOnOtherChannelTypeEndsWith255) {
  const std::string file = vantotest::temp_file("0\n1\n\n\n1\n", ".spec");
  const ProgramResult r = put({"-c", kInt, "-s", file});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, std::string("-s needs a SPECTRUM channel: ") + kInt +
                       " has type INT (1), nothing set\n");
  EXPECT_EQ(read_text(kInt), "42");
}

TEST_F(VantoputE2E, XmlDocumentIsSentWholeAndNotPrinted) {
  const std::string doc =
      "<?xml version=\"1.0\"?>\n<settings>\n  <gain unit=\"dB\">12</gain>\n"
      "  <note>" +
      std::string(300, 'n') + "</note>\n</settings>\n";
  const ProgramResult r = put({"-c", kXml, "-x", vantotest::temp_file(doc, ".xml")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "xml string size: " + std::to_string(doc.size()) + "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read(kXml).get_xml(), doc);
}

TEST_F(VantoputE2E, MissingXmlFileFallsBackToAnEarlierValue) {
  const std::string missing = vantotest::temp_dir() + "/none.xml";
  const ProgramResult r = put({"-c", kString, "-d", "1", "-x", missing});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Cannot open xml file! " + missing + "\n");
  EXPECT_EQ(r.out, "1\n");
  EXPECT_EQ(read_text(kString), "1");
}

TEST_F(VantoputE2E, SpectrumFileReplacesXmlContent) {
  const std::string xml = vantotest::temp_file("<a/>", ".xml");
  const std::string spec = vantotest::temp_file(
      "#comment=both, start=1, increment=1, status=1, points=2, time=5\n8\n9\n");
  const ProgramResult r = put({"-c", kSpectrum, "-x", xml, "-a", spec});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_spectrum(kSpectrum).values, (std::vector<float>{8.0f, 9.0f}));
}

TEST_F(VantoputE2E, CopiesOneChannelIntoAnotherOfTheSameType) {
  // -d before -A is not written: the copy wins.
  const ProgramResult r = put({"-d", "5", "-c", kPumpError, "-A", kInt});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "42\n");
  EXPECT_EQ(read_text(kPumpError), "42");
}

TEST_F(VantoputE2E, CopyRefusesTypeMismatch) {
  ProgramResult r = put({"-c", kInt, "-A", kFloat});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string("type mismatch for two addresses : ") + kInt + " (type = 1) , " +
                       kFloat + " (type = 2),  exit without setting\n");
  EXPECT_EQ(r.out, "");

  // With -t the given type is compared with the target's.
  r = put({"-t", "2", "-c", kPumpError, "-A", kInt});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string("type mismatch for two addresses : ") + kPumpError +
                       " (type = 1) , " + kInt + " (type = 2),  exit without setting\n");
  EXPECT_EQ(read_text(kInt), "42");
  EXPECT_EQ(read_text(kPumpError), "0");
}

TEST_F(VantoputE2E, CopyFromUnreadableSourceIsRefusedEvenWithAtSign) {
  for (const std::string& target : {std::string(kPumpError), std::string("@") + kPumpError}) {
    const ProgramResult r = put({"-c", target, "-A", "TEST.SIM/SCALAR/LOC1/NOPE"});
    EXPECT_EQ(r.status, 1) << target;
    EXPECT_NE(r.err.find(" , result_r.error() = "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("for address TEST.SIM/SCALAR/LOC1/NOPE\n"), std::string::npos) << r.err;
  }
  EXPECT_EQ(read_text(kPumpError), "0");
}

TEST_F(VantoputE2E, UsageAndItsExitStatus) {
  const ProgramResult r = put({});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, writertest::kExpectedUsage);
  EXPECT_EQ(r.out, "");
}

}  // namespace
