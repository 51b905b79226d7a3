// Loading save & restore files: the token grammar, its limits and damaged
// files, seen through SR::fill_list.
#include <gtest/gtest.h>

#include <string>

#include "sr_format.h"
#include "sr_test_files.h"
#include "vantoutil.h"

namespace {

// The whole loaded state of an engine as text, so a test can compare all of
// it at once.
std::string describe(const SR& engine) {
  std::string text = "error " + std::to_string(engine.get_error()) + "\n";
  for (const char* message : engine.get_error_list())
    text += "message [" + std::string(message) + "]\n";
  text +=
      "merge " + (engine.get_merge() ? "[" + std::string(engine.get_merge()) + "]" : "none") + "\n";
  if (engine.get_comment()) text += "comment [" + std::string(engine.get_comment()) + "]\n";
  if (engine.get_ref_time()) text += "time [" + std::string(engine.get_ref_time()) + "]\n";
  for (const sr_data* entry : engine.get_list()) {
    text += std::string(entry->name_) + " " + std::to_string(entry->type_) + " [" + entry->value_ +
            "]\n";
  }
  return text;
}

class SrFileTest : public ::testing::Test {
 protected:
  // Loads text as a file and describes the result.
  std::string load(const std::string& text) {
    SR engine(dir_.write("file.sr", text).c_str());
    engine.fill_list();
    return describe(engine);
  }

  srtest::ScratchDir dir_;
};

const std::string kHeader = "//Save_&_Restore//\n a comment ;\n Tue Dec  8 02:07:37 2026\n ;\n";

TEST_F(SrFileTest, WrittenLayoutLoadsHeaderAndEntries) {
  EXPECT_EQ(load(kHeader + "TEST.SIM SCALAR LOC1 INT\t1\t42\t;\n"
                           "TEST.SIM SCALAR LOC1 STRING\t3\thello world\t;\n"),
            "error 0\n"
            "merge none\n"
            "comment [a comment ]\n"
            "time [Tue Dec 8 02:07:37 2026 ]\n"
            "TEST.SIM/SCALAR/LOC1/INT 1 [42]\n"
            "TEST.SIM/SCALAR/LOC1/STRING 3 [hello world]\n");
}

TEST_F(SrFileTest, ReadOnlyMarkerLoadsLikeTheOrdinaryOne) {
  const std::string body = " c ;\n t ;\nF D L P\t1\t5\t;\n";
  const std::string expected = "error 0\nmerge none\ncomment [c ]\ntime [t ]\nF/D/L/P 1 [5]\n";
  EXPECT_EQ(load("//Save_&_Restore//\n" + body), expected);
  EXPECT_EQ(load("//Save_&_Restore_R_O//\n" + body), expected);
}

TEST_F(SrFileTest, HeaderLineBreaksCarryNoMeaning) {
  EXPECT_EQ(load("//Save_&_Restore// first\tsecond\n;\n\r\v\f t1 t2 ; F D L P 1 5 ;"),
            "error 0\nmerge none\ncomment [first second ]\ntime [t1 t2 ]\nF/D/L/P 1 [5]\n");
}

TEST_F(SrFileTest, BareSemicolonCommentIsEmpty) {
  EXPECT_EQ(load("//Save_&_Restore//\n ;\n t ;\n"), "error 0\nmerge none\ncomment []\ntime [t ]\n");
}

TEST_F(SrFileTest, MergeBlockJoinsItsTokens) {
  EXPECT_EQ(load("//Save_&_Restore//\n <Merge_addr: ///.TARGET >\n c ;\n t ;\n"),
            "error 0\nmerge [///.TARGET]\ncomment [c ]\ntime [t ]\n");
  EXPECT_EQ(load("//Save_&_Restore//\n <Merge_addr: A B >\n c ;\n t ;\n"),
            "error 0\nmerge [AB]\ncomment [c ]\ntime [t ]\n");
}

TEST_F(SrFileTest, MergeBlockClosesOnlyAtALoneBracket) {
  EXPECT_EQ(load("//Save_&_Restore//\n <Merge_addr: A B>\n C >\n ;\n t ;\n"),
            "error 0\nmerge [AB>C]\ncomment []\ntime [t ]\n");
}

TEST_F(SrFileTest, MergeBlockCountsOnlyRightAfterTheMarker) {
  EXPECT_EQ(load("//Save_&_Restore//\n x <Merge_addr: A > ;\n t ;\n"),
            "error 0\nmerge none\ncomment [x <Merge_addr: A > ]\ntime [t ]\n");
}

TEST_F(SrFileTest, ValueRules) {
  EXPECT_EQ(load(kHeader + "F D L ARRAY\t105\t1 2 3\t;\n"
                           "F D L EMPTY\t3\t;\n"
                           "F D L NULL\t0\tanything at all\t;\n"
                           "F D L TWOTABS\t1\t5\t\t;\n"
                           "F D L SPLIT\t7\tline one\nline two\t;\n"
                           "F D L BLANKSEP\t1\t9 ;\n"),
            "error 0\nmerge none\ncomment [a comment ]\ntime [Tue Dec 8 02:07:37 2026 ]\n"
            "F/D/L/ARRAY 105 [1 2 3]\n"
            "F/D/L/EMPTY 3 [ ]\n"
            "F/D/L/NULL 0 [ ]\n"
            "F/D/L/TWOTABS 1 [5\t]\n"
            "F/D/L/SPLIT 7 [line one\nline two]\n"
            "F/D/L/BLANKSEP 1 [9]\n");
}

TEST_F(SrFileTest, NulByteInAnEntryRefusesTheFile) {
  const std::string nul(1, '\0');
  const std::string loaded = "merge none\ncomment [a comment ]\ntime [Tue Dec 8 02:07:37 2026 ]\n";
  EXPECT_EQ(load(kHeader + "F D L P\t3\tab c" + nul + "d\t;\n"),
            "error 1\nmessage [entry 1: a value holds a NUL byte; the file is damaged, this entry "
            "was not loaded]\n" +
                loaded);
  EXPECT_EQ(load(kHeader + "F D L P" + nul + "\t3\tcd\t;\n"),
            "error 1\nmessage [entry 1: an entry holds a NUL byte; the file is damaged, this entry "
            "was not loaded]\n" +
                loaded);
}

TEST_F(SrFileTest, ValueGluedToItsSemicolonRunsOnToTheNextOne) {
  EXPECT_EQ(load(kHeader + "F D L GLUED\t1\t5;\n"
                           "F D L NEXT\t1\t6\t;\n"
                           "F D L LAST\t1\t7\t;\n"),
            "error 0\nmerge none\ncomment [a comment ]\ntime [Tue Dec 8 02:07:37 2026 ]\n"
            "F/D/L/GLUED 1 [5;\nF D L NEXT\t1\t6]\n"
            "F/D/L/LAST 1 [7]\n");
}

TEST_F(SrFileTest, OtherFirstTokenIsRefusedAndKeepsTheLoadedList) {
  SR engine(dir_.write("good.sr", kHeader + "F D L P\t1\t5\t;\n").c_str());
  engine.fill_list();
  ASSERT_EQ(engine.get_error(), 0);
  engine.set_name(dir_.write("bad.sr", "//Save_&_Restore\n c ;\n t ;\nX Y Z W\t1\t6\t;\n").c_str());
  engine.fill_list();
  EXPECT_EQ(describe(engine),
            "error 1\nmessage [doesn't sr file]\nmerge none\ncomment [a comment ]\n"
            "time [Tue Dec 8 02:07:37 2026 ]\nF/D/L/P 1 [5]\n");
}

TEST_F(SrFileTest, OpenFailures) {
  const std::string missing = dir_.path("missing.sr");
  SR engine(missing.c_str());
  engine.fill_list();
  EXPECT_EQ(describe(engine), "error 1\nmessage [can't open file " + missing + "]\nmessage [" +
                                  missing + ": No such file or directory]\nmerge none\n");

  SR unnamed;
  unnamed.fill_list();
  EXPECT_EQ(describe(unnamed), "error 1\nmessage [file name not defined]\nmerge none\n");

  SR empty(dir_.write("empty.sr", "").c_str());
  empty.fill_list();
  EXPECT_EQ(describe(empty), "error 1\nmessage [doesn't sr file]\nmerge none\n");
}

TEST_F(SrFileTest, LoadingForgetsTheFileName) {
  SR engine(dir_.write("good.sr", kHeader + "F D L P\t1\t5\t;\n").c_str());
  engine.fill_list();
  ASSERT_EQ(engine.get_error(), 0);
  engine.fill_list();
  EXPECT_EQ(engine.get_error(), 1);
  ASSERT_EQ(engine.get_error_list().size(), 1u);
  EXPECT_STREQ(engine.get_error_list()[0], "file name not defined");
  EXPECT_EQ(engine.get_list().size(), 1u);
}

TEST_F(SrFileTest, TruncatedFilesStopAtTheirEnd) {
  EXPECT_EQ(load("//Save_&_Restore//\n a comment"),
            "error 1\nmessage [damaged header: file ends inside the comment]\nmerge none\n");
  EXPECT_EQ(load("//Save_&_Restore//\n c ;\n t"),
            "error 1\nmessage [damaged header: file ends inside the reference time]\nmerge none\n");
  EXPECT_EQ(load("//Save_&_Restore//\n <Merge_addr: A B"),
            "error 1\nmessage [damaged header: file ends inside the merge block]\nmerge none\n");
  const std::string loaded_first = "merge none\ncomment [c ]\ntime [t ]\nF/D/L/P 1 [5]\n";
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\t1\t5\t;\nF D L"),
            "error 1\nmessage [entry 2: file ends inside an entry; the file is damaged, this "
            "entry was not loaded]\n" +
                loaded_first);
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\t1\t5\t;\nF D L Q\t1"),
            "error 1\nmessage [entry 2: file ends inside an entry; the file is damaged, this "
            "entry was not loaded]\n" +
                loaded_first);
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\t1\t5\t;\nF D L Q\t1\t6\n"),
            "error 1\nmessage [entry 2: file ends inside a value (no closing \";\"); the file "
            "is damaged, this entry was not loaded]\n" +
                loaded_first);
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\t1\t5\t;\n \n\t\n"),
            "error 0\n" + loaded_first);
}

TEST_F(SrFileTest, HeaderNeverSwallowsAnEntry) {
  const std::string entry = "TEST.VAC PUMP1 L1 ERROR\t1\t7\t;";
  EXPECT_EQ(load("//Save_&_Restore//\n no end\n Tue Dec  8 02:00:00 2026\n\n\n" + entry + "\n"),
            "error 1\nmessage [damaged header: the comment is not closed by \";\" before the "
            "entry \"" +
                entry + "\"]\nmerge none\n");
  EXPECT_EQ(load("//Save_&_Restore//\n c ;\n" + entry + "\n"),
            "error 1\nmessage [damaged header: the reference time is not closed by \";\" before "
            "the entry \"" +
                entry + "\"]\nmerge none\n");
  // The comment's first line may read like anything.
  EXPECT_EQ(load("//Save_&_Restore//\n Magnets of run B 2026 set ;\n t ;\n"),
            "error 0\nmerge none\ncomment [Magnets of run B 2026 set ]\ntime [t ]\n");
}

TEST_F(SrFileTest, TypeMustBeANumber) {
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\tINT\t5\t;\n"),
            "error 1\nmessage [entry 1: the type is not a number: \"INT\"; the file is damaged, "
            "this entry was not loaded]\nmerge none\ncomment [c ]\ntime [t ]\n");
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\t1x\t5\t;\n"),
            "error 1\nmessage [entry 1: the type is not a number: \"1x\"; the file is damaged, "
            "this entry was not loaded]\nmerge none\ncomment [c ]\ntime [t ]\n");
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\t99999999999\t5\t;\n"),
            "error 1\nmessage [entry 1: the type is not a number: \"99999999999\"; the file is "
            "damaged, this entry was not loaded]\nmerge none\ncomment [c ]\ntime [t ]\n");
}

TEST_F(SrFileTest, LimitsAreKeptExactlyAndRefusedBeyond) {
  const std::string field64(64, 'f');
  const std::string value255(255, 'v');
  const std::string token80(80, 'c');
  EXPECT_EQ(load("//Save_&_Restore// " + token80 + " ; t ;\n" + field64 + " D L P\t3\t" + value255 +
                 "\t;\n"),
            "error 0\nmerge none\ncomment [" + token80 + " ]\ntime [t ]\n" + field64 +
                "/D/L/P 3 [" + value255 + "]\n");
  // A value of 255 characters made of several tokens.
  const std::string spaced = std::string(100, 'a') + " " + std::string(154, 'b');
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\t3\t" + spaced + "\t;\n"),
            "error 0\nmerge none\ncomment [c ]\ntime [t ]\nF/D/L/P 3 [" + spaced + "]\n");

  const std::string refused_entry =
      "; the file is damaged, this entry was not loaded]\nmerge none\ncomment [c ]\ntime [t ]\n";
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D " + field64 + "x P\t1\t5\t;\n"),
            "error 1\nmessage [entry 1: the location is longer than 64 characters" + refused_entry);
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\t3\t" + value255 + "v\t;\n"),
            "error 1\nmessage [entry 1: a value is longer than 255 characters" + refused_entry);
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\t3\t" + spaced + "b\t;\n"),
            "error 1\nmessage [entry 1: a value is longer than 255 characters" + refused_entry);
  EXPECT_EQ(load("//Save_&_Restore// " + token80 + "c ; t ;\n"),
            "error 1\nmessage [damaged header: a token of the comment is longer than 80 "
            "characters]\nmerge none\n");
  std::string long_comment;
  for (int i = 0; i < 26; ++i) long_comment += "123456789 ";  // 260 characters stored
  EXPECT_EQ(load("//Save_&_Restore// " + long_comment + "; t ;\n"),
            "error 1\nmessage [damaged header: the comment is longer than 255 characters]\n"
            "merge none\n");
}

TEST_F(SrFileTest, FieldsThatDoNotFormAnAddressAreRefused) {
  EXPECT_EQ(load("//Save_&_Restore// c ; t ;\nF D L P\t1\t5\t;\nF D/X L P\t1\t6\t;\n"),
            "error 1\nmessage [entry 2: \"F D/X L P\" is no channel address; this entry was not "
            "loaded]\nmerge none\ncomment [c ]\ntime [t ]\nF/D/L/P 1 [5]\n");
}

TEST_F(SrFileTest, MoreEntriesThanTheReaderHoldsAreRefused) {
  std::string text = "//Save_&_Restore// c ; t ;\n";
  for (size_t i = 0; i <= SR::kMaxEntries; ++i)
    text += "F D L P" + std::to_string(i) + "\t1\t1\t;\n";
  SR engine(dir_.write("big.sr", text).c_str());
  engine.fill_list();
  EXPECT_EQ(engine.get_error(), 1);
  ASSERT_EQ(engine.get_error_list().size(), 1u);
  EXPECT_STREQ(engine.get_error_list()[0],
               "the file holds more than 8000 entries; the rest was not loaded");
  EXPECT_EQ(engine.get_list().size(), SR::kMaxEntries);
}

TEST_F(SrFileTest, WritersNeedActualModeOrEntries) {
  const std::string target = dir_.path("new.sr");
  SR engine(dir_.write("good.sr", kHeader + "F D L P\t1\t5\t;\n").c_str());
  engine.fill_list();
  engine.sr_save(target.c_str());  // not in actual mode: nothing at all
  EXPECT_EQ(describe(engine).substr(0, 8), "error 0\n");
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_EQ(engine.get_list().size(), 1u);

  SR empty;
  empty.restore(0, SR_SET_FROM_FILE, 0);
  EXPECT_EQ(describe(empty), "error 1\nmessage [file not loaded]\nmerge none\n");
  empty.sr_save_actual(target.c_str(), 0, 0);
  EXPECT_EQ(describe(empty), "error 1\nmessage [file not loaded]\nmerge none\n");
  EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace

namespace {

// -b stores a live value only when both readers get exactly it back.
TEST(SrValueStorage, OnlyValuesThatComeBackWholeAreStored) {
  const struct {
    std::string text;
    int type;
    bool storable;
  } cases[] = {
      {"hello world", 3, true},
      {"[sep=|] 1 0 0 0 first|2 0.5 0 0 second", 103, true},  // A_USTR of two records
      {"two\nlines", 3, false},
      {"a;b", 3, false},
      {"a\tb", 3, false},
      {std::string("a\0b", 3), 3, false},
      {"", 3, false},
      {" padded", 3, false},
      {std::string(256, 'x'), 3, false},
      {"IMAGE 2x2 bpp:1 bytes:4", 22, false},  // no text form to write back
      {"1.50", 2, false},                      // reads back as "1.5"
  };
  for (const auto& c : cases) {
    EXPECT_EQ(!vantosr::value_storage_fault(c.text, c.type), c.storable) << c.text;
  }
}

}  // namespace
