// The spectrum file parsers: header-line files (-a) and pre-formatted files (-s).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "spectrum_text.h"
#include "writer_limits.h"

namespace {

using vantoput::parse_header_spectrum;
using vantoput::parse_preformatted_spectrum;
using vantoput::SpectrumParse;

const std::string kHelp =
    "Unable to set Spectrum! Please, make sure that the first line of file defines the "
    "parameters like follows:\n"
    "#comment=comment_string, start=float_value, increment=float_value, "
    "status=unsigned_integer, points=numer_of_points, time=timestamp(in seconds)\n";
const std::string kTimeWarning = "\"time\" parameter is 0, current time will be set\n";

std::string count_message(int count, int length) {
  return "Elements count is unequal to the defined spectrum length:  " + std::to_string(count) +
         "!= " + std::to_string(length) +
         "\nExit without setting! Please, check the input file! \n";
}

struct HeaderRun {
  SpectrumParse parse;
  std::string err;
};

HeaderRun header(const std::string& text) {
  std::ostringstream err;
  HeaderRun run{parse_header_spectrum(text, err), ""};
  run.err = err.str();
  return run;
}

TEST(HeaderSpectrum, ValidFileGivesAllFieldsAndWarnsAboutTimeZero) {
  const HeaderRun run =
      header("#comment=test, start=0.0, increment=0.5, status=0, points=3, time=0\n1.5\n-2\n3e2\n");
  EXPECT_EQ(run.parse.status, 0);
  EXPECT_EQ(run.err, kTimeWarning);
  const auto& v = run.parse.value;
  EXPECT_EQ(v.comment, "test");
  EXPECT_EQ(v.start, 0.0f);
  EXPECT_EQ(v.increment, 0.5f);
  EXPECT_EQ(v.status, 0u);
  EXPECT_EQ(v.length, 3);
  EXPECT_EQ(v.time, 0);
  EXPECT_EQ(v.values, (std::vector<float>{1.5f, -2.0f, 300.0f}));
}

TEST(HeaderSpectrum, TimeAndNonZeroFieldsAreTaken) {
  const HeaderRun run = header(
      "#comment=scan\tstart=-1.25,increment=2, status=7, points=2, time=1700000000\n\n4\n\n5\n");
  ASSERT_EQ(run.parse.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const auto& v = run.parse.value;
  EXPECT_EQ(v.comment, "scan");
  EXPECT_EQ(v.start, -1.25f);
  EXPECT_EQ(v.increment, 2.0f);
  EXPECT_EQ(v.status, 7u);
  EXPECT_EQ(v.time, 1700000000);
  EXPECT_EQ(v.values, (std::vector<float>{4.0f, 5.0f}));
}

TEST(HeaderSpectrum, CommentIsCutTo79Characters) {
  const std::string comment(100, 'c');
  const HeaderRun run =
      header("#comment=" + comment + ", start=1, increment=1, status=1, points=1, time=5\n1\n");
  ASSERT_EQ(run.parse.status, 0) << run.err;
  EXPECT_EQ(run.parse.value.comment, std::string(79, 'c'));
}

TEST(HeaderSpectrum, StartThatIsNoNumberIsRefusedWithReminder) {
  const HeaderRun run =
      header("#comment=test, start=abc, increment=0.5, status=0, points=3, time=0\n1\n2\n3\n");
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_EQ(run.err,
            "\"start\" parameter is invalid: illegal spaces or incorrect value .\n" + kHelp);
}

TEST(HeaderSpectrum, EachInvalidHeaderFieldHasItsMessage) {
  struct Case {
    std::string header;
    std::string message;
  };
  const std::string tail = "\n1\n";
  const Case cases[] = {
      {"#c=x, begin=1, increment=1, status=1, points=1, time=1",
       "\"start\" parameter is invalid: illegal spaces or incorrect value .\n"},
      {"#c=x, start=1e40, increment=1, status=1, points=1, time=1",
       "\"start\" parameter is invalid: illegal spaces or incorrect value .\n"},
      {"#c=x, start=1, increment=0x, status=1, points=1, time=1",
       "\"increment\" parameter is invalid: illegal spaces or incorrect value .\n"},
      {"#c=x, start=1, increment=1, state=1, points=1, time=1",
       "\"status\" parameter is invalid: illegal spaces or incorrect value .\n"},
      {"#c=x, start=1, increment=1, status=zero, points=1, time=1",
       "\"status\" parameter is invalid: illegal spaces or incorrect value .\n"},
      {"#c=x, start=1, increment=1, status=1, points=0, time=1",
       "\"points\" - number of points parameter is invalid: illegal spaces or incorrect value "
       ".\n"},
      {"#c=x, start=1, increment=1, status=1, count=1, time=1",
       "\"points\" - number of points parameter is invalid: illegal spaces or incorrect value "
       ".\n"},
  };
  for (const Case& c : cases) {
    const HeaderRun run = header(c.header + tail);
    EXPECT_EQ(run.parse.status, 1) << c.header;
    EXPECT_EQ(run.err, c.message + kHelp) << c.header;
  }
}

TEST(HeaderSpectrum, MorePointsThanValuesIsRefused) {
  const HeaderRun run =
      header("#comment=test, start=0.0, increment=0.5, status=0, points=4, time=0\n1\n2\n3\n");
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_EQ(run.err, kTimeWarning + count_message(3, 4));
}

TEST(HeaderSpectrum, HeaderWithoutTimeKeyGivesTimeZeroWithoutWarning) {
  const HeaderRun run =
      header("#comment=test, start=0.0, increment=0.5, status=0, points=2\n1\n2\n");
  EXPECT_EQ(run.parse.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.parse.value.time, 0);
}

TEST(HeaderSpectrum, HeaderWithOnlyTheCommentLeavesLengthUndefined) {
  const HeaderRun run = header("#comment=test\n1\n2\n");
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_EQ(run.err, count_message(2, -1));
}

TEST(HeaderSpectrum, EmptyTextIsRefused) {
  const HeaderRun run = header("");
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_EQ(run.err, count_message(0, -1));
}

TEST(HeaderSpectrum, ValueOutsideFloatRangeNamesItsLine) {
  // The data error comes first even though the header is bad as well.
  const HeaderRun run = header("#comment=test, start=abc\n1\n\n2\n1e40\n4\n");
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_EQ(run.err, "spectrum data corrupted, please check line 3 in the input file!\n");
}

TEST(HeaderSpectrum, ValueLineThatIsNoNumberIsRefusedNotWrittenAsZero) {
  for (const char* line : {"abc", "1.5x", "2 3"}) {
    const HeaderRun run =
        header(std::string("#comment=t, start=0, increment=1, status=0, points=2, time=1\n1\n") +
               line + "\n");
    EXPECT_EQ(run.parse.status, 1) << line;
    EXPECT_EQ(run.err, "spectrum data corrupted, please check line 2 in the input file!\n") << line;
  }
}

TEST(HeaderSpectrum, DosLineEndsAndBlankLinesAreNoValues) {
  const HeaderRun run = header(
      "#comment=t, start=0, increment=1, status=0, points=2, time=1\r\n1\r\n  \r\n2\r\n\r\n");
  ASSERT_EQ(run.parse.status, 0) << run.err;
  EXPECT_EQ(run.parse.value.values, (std::vector<float>{1.0f, 2.0f}));
}

TEST(HeaderSpectrum, TextBeyondTheBufferIsRefusedBeforeParsing) {
  std::string text = "#comment=t, start=0, increment=1, status=0, points=1, time=1\n1\n";
  text.resize(vantoput::kSpectrumTextMax + 1, '\n');
  const HeaderRun run = header(text);
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_NE(run.err.find("Exit without setting!"), std::string::npos) << run.err;
  // One byte less still fits.
  text.resize(vantoput::kSpectrumTextMax);
  EXPECT_EQ(header(text).parse.status, 0);
}

struct PreRun {
  SpectrumParse parse;
  std::string err;
};

PreRun preformatted(const std::string& text) {
  std::ostringstream err;
  PreRun run{parse_preformatted_spectrum(text, err), ""};
  run.err = err.str();
  return run;
}

std::string values_text(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(i) + "\n";
  return text;
}

TEST(PreformattedSpectrum, DigitsOnLineTwoAreTheLengthWithEmptyComment) {
  const PreRun run =
      preformatted("1700000000 1.5 0.25 3\n1024\nignored\nskipped too\n" + values_text(1024));
  ASSERT_EQ(run.parse.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const auto& v = run.parse.value;
  EXPECT_EQ(v.comment, "");
  EXPECT_EQ(v.length, 1024);
  EXPECT_EQ(v.time, 1700000000);
  EXPECT_EQ(v.start, 1.5f);
  EXPECT_EQ(v.increment, 0.25f);
  EXPECT_EQ(v.status, 3u);
  ASSERT_EQ(v.values.size(), 1024u);
  EXPECT_EQ(v.values[1023], 1023.0f);
}

TEST(PreformattedSpectrum, TextOnLineTwoIsTheCommentAndLineThreeTheLength) {
  const PreRun run = preformatted("0\nscan 3\n3\nfourth line\n7\n8\n9\n");
  ASSERT_EQ(run.parse.status, 0) << run.err;
  EXPECT_EQ(run.parse.value.comment, "scan 3");
  EXPECT_EQ(run.parse.value.length, 3);
  EXPECT_EQ(run.parse.value.values, (std::vector<float>{7.0f, 8.0f, 9.0f}));
}

TEST(PreformattedSpectrum, ParameterFailuresHaveTheirMessagesOnStandardError) {
  struct Case {
    std::string text;
    std::string err;
  };
  const Case cases[] = {
      {"99999999999999999999999 0 0 0\n1\n\n\n1\n",
       "spectrum timestamp parameter not correct, returning\n"},
      {"0 1e400 0 0\n1\n\n\n1\n", "spectrum start parameter not correct, returning\n"},
      {"0 0 -1e40 0\n1\n\n\n1\n", "spectrum increment parameter not correct, returning\n"},
      {"0 0 0 99999999999\n1\n\n\n1\n", "spectrum status parameter not correct, returning\n"},
      {"0\n000\n\n\n1\n", "spectrum length not defined correctly: illegal parameter?\n"},
      {"0\ncomment\nnone\n\n1\n", "spectrum length not defined: illegal parameter?\n"},
      {"0\n1\n1\n", "end of spectrum file reached : no data? returning\n"},
  };
  for (const Case& c : cases) {
    const PreRun run = preformatted(c.text);
    EXPECT_EQ(run.parse.status, 1) << c.text;
    EXPECT_EQ(run.err, c.err) << c.text;
  }
}

TEST(PreformattedSpectrum, DataFailuresGoToStandardError) {
  PreRun run = preformatted("0\n3\n\n\n1\n2\n");
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_EQ(run.err, count_message(2, 3));

  run = preformatted("0\n2\n\n\n1\n3.4e39\n");
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_EQ(run.err, "spectrum data corrupted, please check the input file!\n");

  run = preformatted("0\n2\n\n\n1\nnot a value\n");
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_EQ(run.err, "spectrum data corrupted, please check the input file!\n");
}

TEST(PreformattedSpectrum, DataStartAfterTheFourthNewlineCountingEmptyLines) {
  // Lines 3 and 4 are empty: the values still start at line 5.
  const PreRun run = preformatted("0\n2\n\n\n5\n6\n");
  ASSERT_EQ(run.parse.status, 0) << run.err;
  EXPECT_EQ(run.parse.value.values, (std::vector<float>{5.0f, 6.0f}));
}

TEST(PreformattedSpectrum, MissingLengthLineIsReportedNotSilent) {
  PreRun run = preformatted("0\n");
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_NE(run.err, "");
  run = preformatted("0\nonly a comment\n");
  EXPECT_EQ(run.parse.status, 1);
  EXPECT_NE(run.err, "");
}

TEST(PreformattedSpectrum, DosLineEndsKeepLengthAndCommentApart) {
  const PreRun run = preformatted("0\r\nscan\r\n2\r\n\r\n1\r\n2\r\n");
  ASSERT_EQ(run.parse.status, 0) << run.err;
  EXPECT_EQ(run.parse.value.comment, "scan");
  EXPECT_EQ(run.parse.value.length, 2);
  EXPECT_EQ(preformatted("0\r\n2\r\n\r\n\r\n1\r\n2\r\n").parse.value.comment, "");
}

TEST(PreformattedSpectrum, EmptyTextIsMinusOne) {
  EXPECT_EQ(preformatted("").parse.status, -1);
  EXPECT_EQ(preformatted("\n\n\n").parse.status, -1);
}

}  // namespace
