// Text forms of values: exact texts, round trips through set_from_string and
// refusal of texts that are no value of the type.
#include <gtest/gtest.h>

#include <cstring>

#include <vanto/codec.h>
#include <vanto/eqdata.h>
#include <vanto/errors.h>

#include "samples.h"

namespace {

using namespace vanto;

std::vector<uint8_t> part_of(const EqData& d) {
  uint32_t count = 0;
  return Codec::encode_data(d, &count);
}

class TextRoundTrip : public ::testing::TestWithParam<vanto_test::Sample> {};

TEST_P(TextRoundTrip, SetFromStringReadsBackGetString) {
  EqData original;
  GetParam().make(original);
  ASSERT_EQ(original.error(), 0) << original.get_string();
  const std::string text = original.get_string();

  EqData parsed;
  parsed.set_type(original.type());
  ASSERT_EQ(parsed.set_from_string(text), 0) << "text: '" << text << "': " << parsed.get_string();
  EXPECT_EQ(parsed.type(), original.type());
  EXPECT_EQ(parsed.get_string(), text);
  EXPECT_EQ(part_of(parsed), part_of(original)) << "text: '" << text << "'";
}

TEST(TextForms, OneLineFormOfRecordsPicksASeparatorNoRecordHolds) {
  EqData d;
  d.set_type(DATA_A_STRING);
  ASSERT_EQ(d.set_from_string("a|b\nc\n"), 0);
  EXPECT_EQ(d.get_string_line(), "[sep=^] a|b^c");
  ASSERT_EQ(d.set_from_string("[sep=|] x||"), 0);  // empty records are kept
  EXPECT_EQ(d.get_string(), "x\n\n");
  EXPECT_EQ(d.array_length(), 3);
  ASSERT_EQ(d.set_from_string("|^~#@!%&*+=_\nz"), 0);  // every separator taken
  EXPECT_EQ(d.get_string_line(), std::nullopt);
  ASSERT_EQ(d.set_from_string("[sep=|] "), 0);  // one empty record is no empty array
  EXPECT_EQ(d.get_string_line(), "[sep=|] ");
  for (const char* broken : {"a\rb", "x\r\r\r", "[sep=|] a\rb|c"}) {  // no line to give
    ASSERT_EQ(d.set_from_string(broken), 0);
    EXPECT_EQ(d.get_string_line(), std::nullopt) << d.get_string();
  }

  EqData spectrum;  // the description comes first, its comment last
  const float v[] = {10, 20};
  spectrum.set_spectrum("scan, fast", 0, 1.5f, 0.5f, 0, v, 2);
  EXPECT_EQ(spectrum.get_string_line(),
            "[start=1.5,inc=0.5,status=0,tm=0,comment=scan, fast] 10 20");
}

std::vector<vanto_test::Sample> with_text_form() {
  std::vector<vanto_test::Sample> out;
  for (auto& s : vanto_test::all_samples()) {
    if (s.has_text_form) out.push_back(s);
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(EveryType, TextRoundTrip, ::testing::ValuesIn(with_text_form()),
                         [](const auto& param_info) { return param_info.param.name; });

// Files that keep one value per line use get_string_line: it never breaks a
// line and reads back to the same value, description included, or there is
// none. Only an image has no text to read back.
class OneLineRoundTrip : public ::testing::TestWithParam<vanto_test::Sample> {};

TEST_P(OneLineRoundTrip, ReadsBackTheSameValue) {
  EqData original;
  GetParam().make(original);
  const std::optional<std::string> line = original.get_string_line();
  if (!line) {
    EXPECT_NE(original.get_string().find('\n'), std::string::npos);
    return;
  }
  EXPECT_EQ(line->find_first_of("\n\r"), std::string::npos) << *line;
  EqData parsed;
  parsed.set_type(original.type());
  ASSERT_EQ(parsed.set_from_string(*line), 0) << "text: '" << *line << "'";
  EXPECT_EQ(part_of(parsed), part_of(original)) << "text: '" << *line << "'";
  EXPECT_EQ(parsed.get_string_line(), line);
}

std::vector<vanto_test::Sample> with_input_form() {
  std::vector<vanto_test::Sample> out;
  for (auto& s : vanto_test::all_samples()) {
    if (s.name != "IMAGE") out.push_back(s);
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(EveryType, OneLineRoundTrip, ::testing::ValuesIn(with_input_form()),
                         [](const auto& param_info) { return param_info.param.name; });

struct Expected {
  const char* name;
  std::function<void(EqData&)> make;
  const char* text;
};

TEST(TextForms, ExactTextsOfTheCommonTypes) {
  const std::vector<Expected> cases = {
      {"int", [](EqData& d) { d.set_int(42); }, "42"},
      {"float 1.5", [](EqData& d) { d.set_float(1.5f); }, "1.5"},
      {"float 0.1", [](EqData& d) { d.set_float(0.1f); }, "0.1"},
      {"double 2.25", [](EqData& d) { d.set_double(2.25); }, "2.25"},
      {"double 42", [](EqData& d) { d.set_double(42.0); }, "42"},
      {"string", [](EqData& d) { d.set_string("hello world"); }, "hello world"},
      {"bool", [](EqData& d) { d.set_bool(true); }, "1"},
      {"iiii", [](EqData& d) { d.set_iiii(1, 2, 3, 4); }, "1 2 3 4"},
      {"ifff", [](EqData& d) { d.set_ifff(1, 1.5f, 2, -3); }, "1 1.5 2 -3"},
      {"xy", [](EqData& d) { d.set_xy(1.5f, 2); }, "1.5 2"},
      {"ttii", [](EqData& d) { d.set_ttii(10, 20, 256, 0); }, "10 20 256 0"},
      {"a_int",
       [](EqData& d) {
         const int32_t v[] = {1, 2, 3, 4};
         d.set_int_array(v, 4);
       },
       "1 2 3 4"},
      {"ustr", [](EqData& d) { d.set_ustr(1, 2.5f, 0, 17, "a name"); }, "1 2.5 0 17 a name"},
      {"spectrum",
       [](EqData& d) {
         const float v[] = {10, 20, 30};
         d.set_spectrum("c", 5, 1.5f, 0.5f, 0, v, 3);
       },
       "10 20 30"},
      {"structure",
       [](EqData& d) {
         const uint8_t b[] = {1, 0xab};
         d.set_structure(b, 2);
       },
       "01ab"},
  };
  for (const auto& c : cases) {
    EqData d;
    c.make(d);
    EXPECT_EQ(d.get_string(), c.text) << c.name;
  }
}

TEST(TextForms, BufferFormsCutToSizeMinusOne) {
  EqData d;
  d.set_string(std::string(120, 'a'));
  char buf[80];
  std::memset(buf, 'x', sizeof buf);
  d.get_string(buf, sizeof buf);
  EXPECT_EQ(std::string(buf), std::string(79, 'a'));

  char tiny[1] = {'x'};
  d.get_string(tiny, 1);
  EXPECT_EQ(tiny[0], '\0');
  EXPECT_EQ(d.get_string(nullptr, 10), nullptr);  // no buffer: nothing written
}

TEST(TextForms, ElementTextsOfArraysSpectraAndHistories) {
  EqData spectrum;
  const float v[] = {10, 20.5f, 30};
  spectrum.set_spectrum("scan", 0, 1.5f, 0.5f, 0, v, 3);
  char buf[80];
  EXPECT_STREQ(spectrum.get_string(1, buf, 80), "20.5");
  EXPECT_STREQ(spectrum.get_string(3, buf, 80), "");  // beyond the end
  EXPECT_STREQ(spectrum.get_string(-1, buf, 80), "");
  EXPECT_STREQ(spectrum.get_string_arg(buf, 80), "scan");

  EqData hist;
  hist.set_type(DATA_A_TDS);
  hist.set_tds(1700000000, 1.5f, 2, 0);
  hist.set_tds(1700000060, -2.5f, 0, 1);
  EXPECT_STREQ(hist.get_string(1, buf, 80), "1700000060 -2.5 0");
  const std::string extra = hist.get_string_extra(0, buf, 80);
  ASSERT_EQ(extra.size(), 19u) << extra;  // YYYY-MM-DD HH:MM:SS
  EXPECT_EQ(extra[4], '-');
  EXPECT_EQ(extra[10], ' ');
  EXPECT_EQ(extra[13], ':');
  EXPECT_STREQ(hist.get_string_extra(2, buf, 80), "");
}

TEST(TextForms, NamesReplyGivesEachRecordsTextLast) {
  EqData names;
  names.set_type(DATA_A_USTR);
  names.set_ustr(0, 0, 0, 0, "L1", 0);
  names.set_ustr(0, 0, 0, 0, "SRV._SVR", 1);
  char buf[80];
  EXPECT_STREQ(names.get_string_arg(1, buf, 80), "SRV._SVR");
  const std::string element = names.get_string(1, buf, 80);
  ASSERT_GE(element.size(), 8u);
  EXPECT_EQ(element.substr(element.size() - 8), "SRV._SVR");
  EXPECT_EQ(element.substr(element.rfind(' ') + 1), "SRV._SVR");
  EXPECT_EQ(names.array_length(), 2);
}

TEST(TextForms, ErrorTextReplacesTheValue) {
  EqData d;
  d.set_int(5);
  d.error(unavail_serv, "server gone");
  EXPECT_EQ(d.get_string(), "server gone");
  char buf[80];
  EXPECT_STREQ(d.get_string_arg(buf, 80), "server gone");
  EXPECT_EQ(d.get_int(), 0);

  EqData coded;
  coded.error(no_ens_entry, "");
  EXPECT_EQ(coded.get_string(), get_error_string(no_ens_entry));
}

TEST(TextForms, SpectrumHeaderBlockSetsTheDescription) {
  EqData d;
  d.set_type(DATA_SPECTRUM);
  ASSERT_EQ(d.set_from_string("[start=1.5,inc=0.5,status=3,tm=1700000000,comment=a, b] 1 2 3"), 0)
      << d.get_string();
  const std::optional<vanto::SpectrumView> s = d.spectrum();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->comment, "a, b");
  EXPECT_EQ(s->time, 1700000000);
  EXPECT_EQ(s->start, 1.5f);
  EXPECT_EQ(s->increment, 0.5f);
  EXPECT_EQ(s->status, 3u);
  ASSERT_EQ(s->count, 3);
  EXPECT_EQ(s->value(2), 3.0f);
}

TEST(TextForms, BoolAcceptsWordsAndDigits) {
  for (const char* t : {"1", "true", "TRUE", "0", "false"}) {
    EqData d;
    d.set_type(DATA_BOOL);
    EXPECT_EQ(d.set_from_string(t), 0) << t;
    EXPECT_EQ(d.get_bool(), t[0] == '1' || t[0] == 't' || t[0] == 'T') << t;
  }
}

TEST(TextForms, ArraysTakeBlankTabAndCommaSeparators) {
  EqData d;
  d.set_type(DATA_A_INT);
  ASSERT_EQ(d.set_from_string(" 1,2\t3 , 4 "), 0);
  EXPECT_EQ(d.get_string(), "1 2 3 4");
  EXPECT_EQ(d.length(), 4);
}

struct Bad {
  int type;
  const char* text;
};

class RefusedText : public ::testing::TestWithParam<Bad> {};

TEST_P(RefusedText, GivesIllParameterAndAnErrorValue) {
  EqData d;
  d.set_type(GetParam().type);
  EXPECT_EQ(d.set_from_string(GetParam().text), ill_parameter);
  EXPECT_EQ(d.error(), ill_parameter);
  EXPECT_NE(d.get_string().find("illegal parameter"), std::string::npos) << d.get_string();
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, RefusedText,
    ::testing::Values(Bad{DATA_INT, "abc"}, Bad{DATA_INT, ""}, Bad{DATA_INT, "12abc"},
                      Bad{DATA_INT, "1 2"}, Bad{DATA_INT, "99999999999"}, Bad{DATA_SHORT, "40000"},
                      Bad{DATA_USHORT, "-1"}, Bad{DATA_UINT, "-5"}, Bad{DATA_FLOAT, "1.5x"},
                      Bad{DATA_FLOAT, "1e60"}, Bad{DATA_DOUBLE, "  "}, Bad{DATA_BOOL, "yes"},
                      Bad{DATA_IIII, "1 2 3"}, Bad{DATA_IIII, "1 2 3 4 5"}, Bad{DATA_XY, "1"},
                      Bad{DATA_A_INT, "1 2 x"}, Bad{DATA_A_XY, "1 2 3"}, Bad{DATA_A_TDS, "1 2"},
                      Bad{DATA_USTR, "1 2 3"}, Bad{DATA_A_FLOAT, "1,,nope"},
                      Bad{DATA_SPECTRUM, "[start=x] 1 2"}, Bad{DATA_SPECTRUM, "[start=1 1 2"},
                      Bad{DATA_SPECTRUM, "[colour=red] 1"}, Bad{DATA_STRUCTURE, "abc"},
                      Bad{DATA_STRUCTURE, "zz"}, Bad{DATA_A_BYTE, "256"},
                      Bad{DATA_A_BYTE, "[x_dim=2,y_dim=2] 1 2 3"}, Bad{DATA_IMAGE, "1 2 3"},
                      Bad{DATA_NULL, "5"}, Bad{12345, "1"}));

}  // namespace
