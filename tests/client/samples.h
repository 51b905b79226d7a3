// A sample value of every data type, shared by the round-trip tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <vanto/eqdata.h>

namespace vanto_test {

struct Sample {
  std::string name;                          // test name, e.g. "A_INT"
  std::function<void(vanto::EqData&)> make;  // fills a container
  bool has_text_form = true;                 // set_from_string(get_string()) round-trips
};

inline std::vector<Sample> all_samples() {
  using namespace vanto;
  std::vector<Sample> s;
  auto add = [&s](std::string n, std::function<void(EqData&)> f, bool text = true) {
    s.push_back({std::move(n), std::move(f), text});
  };
  add("NULL", [](EqData& d) { d.set_type(DATA_NULL); });
  add("INT", [](EqData& d) { d.set_int(-42); });
  add("FLOAT", [](EqData& d) { d.set_float(1.5f); });
  add("FLOAT_third", [](EqData& d) { d.set_float(1.0f / 3.0f); });
  add("DOUBLE", [](EqData& d) { d.set_double(0.1); });
  add("SHORT", [](EqData& d) { d.set_short(-32768); });
  add("USHORT", [](EqData& d) { d.set_ushort(65535); });
  add("UINT", [](EqData& d) { d.set_uint(4000000000u); });
  add("LONG", [](EqData& d) { d.set_long(-9007199254740993LL); });
  add("ULONG", [](EqData& d) { d.set_ulong(18446744073709551615ULL); });
  add("BOOL", [](EqData& d) { d.set_bool(true); });
  add("STRING", [](EqData& d) { d.set_string("hello world"); });
  add("TEXT", [](EqData& d) {
    d.set_type(DATA_TEXT);
    d.set_string("two\nlines");
  });
  add("XML", [](EqData& d) { d.set_xml("<a x=\"1\">text</a>"); });
  add("XY", [](EqData& d) { d.set_xy(1.25f, -2.5f); });
  add("IIII", [](EqData& d) { d.set_iiii(1, -2, 3, 2147483647); });
  add("IFFF", [](EqData& d) { d.set_ifff(7, 0.5f, -1.5f, 1e-7f); });
  add("TTII", [](EqData& d) { d.set_ttii(1700000000, 1700003600, 256, -1); });
  add("TDS", [](EqData& d) { d.set_tds(1700000000, 3.75f, 200); });
  add("USTR", [](EqData& d) { d.set_ustr(5, 1.5f, -2.0f, 1700000000, "text with blanks"); });
  add("XYZS", [](EqData& d) { d.set_xyzs(3, 1.0f, 2.0f, 3.5f, "GIRDER 7"); });
  add("SPECTRUM", [](EqData& d) {
    const float v[] = {10, 20, 30.5f};
    d.set_spectrum("", 0, 0, 0, 0, v, 3);
  });
  add(
      "SPECTRUM_header",
      [](EqData& d) {
        const float v[] = {10, 20, 30};
        d.set_spectrum("scan, 3 points", 1700000000, 1.5f, 0.5f, 7, v, 3);
      },
      false);
  add(
      "GSPECTRUM",
      [](EqData& d) {
        const float v[] = {1, 2, 3, 4};
        d.set_gspectrum("grouped", 1700000000, 0.25f, 0.5f, 1, 2, 2, 1.5f, v, 4);
      },
      false);
  add(
      "IMAGE",
      [](EqData& d) {
        IMH h{};
        h.width = h.height = h.aoi_width = h.aoi_height = 2;
        h.bpp = 1;
        h.length = 4;
        const uint8_t px[] = {1, 2, 3, 4};
        d.set_image(h, 1700000000, 250000, 0, "camera", px, 4);
      },
      false);
  add("STRUCTURE", [](EqData& d) {
    const uint8_t b[] = {0x00, 0x7f, 0x80, 0xff};
    d.set_structure(b, 4);
  });
  add("A_FLOAT", [](EqData& d) {
    const float v[] = {1.5f, -0.1f, 3e38f};
    d.set_float_array(v, 3);
  });
  add("A_DOUBLE", [](EqData& d) {
    const double v[] = {2.25, 1e-300};
    d.set_double_array(v, 2);
  });
  add("A_INT", [](EqData& d) {
    const int32_t v[] = {1, 2, 3, 4};
    d.set_int_array(v, 4);
  });
  add("A_INT_empty", [](EqData& d) { d.set_type(DATA_A_INT); });
  add("A_SHORT", [](EqData& d) {
    d.set_type(DATA_A_SHORT);
    d.set_short(-5, 0);
    d.set_short(7, 2);
  });
  add("A_USHORT", [](EqData& d) {
    d.set_type(DATA_A_USHORT);
    d.set_ushort(65535, 1);
  });
  add("A_UINT", [](EqData& d) {
    d.set_type(DATA_A_UINT);
    d.set_uint(4000000000u, 1);
  });
  add("A_LONG", [](EqData& d) {
    d.set_type(DATA_A_LONG);
    d.set_long(-1, 0);
    d.set_long(1LL << 62, 1);
  });
  add("A_ULONG", [](EqData& d) {
    d.set_type(DATA_A_ULONG);
    d.set_ulong(~0ULL, 2);
  });
  add("A_BOOL", [](EqData& d) {
    d.set_type(DATA_A_BOOL);
    d.set_bool(true, 0);
    d.set_bool(false, 1);
    d.set_bool(true, 2);
  });
  add("A_XY", [](EqData& d) {
    d.set_type(DATA_A_XY);
    d.set_xy(1, 2, 0);
    d.set_xy(3.5f, -4, 1);
  });
  add("A_TDS", [](EqData& d) {
    d.set_type(DATA_A_TDS);
    d.set_tds(1700000000, 1.5f, 0, 0);
    d.set_tds(1700000060, 2.5f, 1, 1);
  });
  add("A_USTR", [](EqData& d) {
    d.set_type(DATA_A_USTR);
    d.set_ustr(1, 0, 0, 0, "L1", 0);
    d.set_ustr(2, 1.5f, 2.5f, 1700000000, "SRV._SVR with blank", 1);
    d.set_ustr(3, 0, 0, 0, "", 2);
  });
  add("A_STRING", [](EqData& d) {
    d.set_type(DATA_A_STRING);
    d.set_ustr(0, 0, 0, 0, "first", 0);
    d.set_ustr(0, 0, 0, 0, "second one", 1);
  });
  add("KEYVAL", [](EqData& d) {
    d.set_type(DATA_KEYVAL);
    d.set_ustr(0, 0, 0, 0, "mode=fast", 0);
    d.set_ustr(0, 0, 0, 0, "gain=2.5", 1);
  });
  add("A_XYZS", [](EqData& d) {
    d.set_type(DATA_A_XYZS);
    d.set_xyzs(0, 1, 2, 3, "A", 0);
    d.set_xyzs(1, -1, -2, -3, "B C", 1);
  });
  add("A_BYTE", [](EqData& d) {
    const uint8_t b[] = {0, 1, 2, 253, 254, 255};
    d.set_byte_array(b, 6, 1);
  });
  add(
      "A_BYTE_2d",
      [](EqData& d) {
        const uint8_t b[] = {0, 1, 2, 253, 254, 255};
        d.set_byte_array(b, 3, 2, 1, 2, 9);
      },
      false);
  add("MDA_FLOAT", [](EqData& d) {
    const double v[] = {1, 2, 3, 4, 5, 6};
    const int dims[] = {2, 3};
    d.set_mda(1, dims, "", v, 6, false);
    const int one[] = {6};
    d.set_mda(1, one, "", v, 6, false);
  });
  add(
      "MDA_DOUBLE_2d",
      [](EqData& d) {
        const double v[] = {1, 2, 3, 4, 5, 6.125};
        const int dims[] = {2, 3};
        d.set_mda(2, dims, "matrix", v, 6, true);
      },
      false);
  add("A_TS_DOUBLE", [](EqData& d) {
    d.set_type(DATA_A_TS_DOUBLE);
    d.set_ts(1700000000, 125, 0, 2.25, 0);
    d.set_ts(1700000001, 999, 3, -1e10, 1);
  });
  add("A_TS_INT", [](EqData& d) {
    d.set_type(DATA_A_TS_INT);
    d.set_ts(1700000000, 1, 0, 42, 0);
  });
  add("A_TS_BOOL", [](EqData& d) {
    d.set_type(DATA_A_TS_BOOL);
    d.set_ts(1700000000, 1, 0, 1, 0);
    d.set_ts(1700000000, 2, 0, 0, 1);
  });
  add("A_TS_FLOAT", [](EqData& d) {
    d.set_type(DATA_A_TS_FLOAT);
    d.set_ts(1700000000, 1, 0, 0.5, 0);
  });
  add("A_TS_STRING", [](EqData& d) {
    d.set_type(DATA_A_TS_STRING);
    EXPECT_EQ(d.set_from_string("1700000000 5 0 first text\n1700000001 6 1 second"), 0);
  });
  add("A_TS_IIII", [](EqData& d) {
    d.set_type(DATA_A_TS_IIII);
    EXPECT_EQ(d.set_from_string("1700000000 5 0 1 2 3 4 1700000001 6 0 5 6 7 8"), 0);
  });
  add("A_TS_USTR", [](EqData& d) {
    d.set_type(DATA_A_TS_USTR);
    EXPECT_EQ(d.set_from_string("1700000000 5 0 1 1.5 2.5 17 a text"), 0);
  });
  add("A_TS_XYZS", [](EqData& d) {
    d.set_type(DATA_A_TS_XYZS);
    EXPECT_EQ(d.set_from_string("1700000000 5 0 1 1.5 2.5 3 LOC 1"), 0);
  });
  add("A_THUMBNAIL", [](EqData& d) {
    d.set_type(DATA_A_THUMBNAIL);
    EXPECT_EQ(d.set_from_string("00ff10"), 0);
  });
  // The remaining types, each from its text form.
  struct FromText {
    const char* name;
    int type;
    const char* text;
  };
  const FromText from_text[] = {
      {"A_TS_LONG", DATA_A_TS_LONG, "1700000000 1 0 -9223372036854775808"},
      {"A_TS_SHORT", DATA_A_TS_SHORT, "1700000000 1 0 -7 1700000001 2 0 7"},
      {"A_TS_USHORT", DATA_A_TS_USHORT, "1700000000 1 0 65535"},
      {"A_TS_UINT", DATA_A_TS_UINT, "1700000000 1 0 4294967295"},
      {"A_TS_ULONG", DATA_A_TS_ULONG, "1700000000 1 0 18446744073709551615"},
      {"A_TS_XY", DATA_A_TS_XY, "1700000000 1 0 1.5 -2"},
      {"A_TS_IFFF", DATA_A_TS_IFFF, "1700000000 1 0 3 0.5 1.5 2.5"},
      {"A_TS_XML", DATA_A_TS_XML, "1700000000 1 0 <a>x</a>"},
      {"A_TS_SPECTRUM", DATA_A_TS_SPECTRUM, "0a0b0c"},
      {"A_TS_GSPECTRUM", DATA_A_TS_GSPECTRUM, "ff"},
      {"YT", DATA_YT, "0102"},
      {"XYT", DATA_XYT, "03"},
      {"FIS", DATA_FIS, "04"},
  };
  for (const auto& f : from_text) {
    const int type = f.type;
    const std::string text = f.text;
    add(f.name, [type, text](EqData& d) {
      d.set_type(type);
      EXPECT_EQ(d.set_from_string(text), 0) << d.get_string();
    });
  }
  return s;
}

}  // namespace vanto_test
