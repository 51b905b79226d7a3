// vantoput's reader of save & restore files, and the pause of -D.
#include "restore_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>
#include <vector>

#include "options.h"
#include "restore_from_file.h"

namespace {

using vantoput::parse_entry_line;
using vantoput::parse_restore_text;
using vantoput::RestoreFile;
using vantoput::RestoreFileStatus;

// Entries as "chn|type|value" lines, so a mismatch shows as one readable diff.
std::string listing(const RestoreFile& file) {
  std::string text;
  for (const auto& e : file.entries)
    text += e.chn + "|" + std::to_string(e.type) + "|" + e.value + "\n";
  return text;
}

const std::string kTwoEntries =
    "TEST.VAC PUMP1 L1 ERROR\t1\t7\t;\n"
    "TEST.SIM SCALAR LOC1 IIII\t14\t1 2 3 4\t;\n";
const std::string kTwoEntriesListing =
    "TEST.VAC/PUMP1/L1/ERROR|1|7\n"
    "TEST.SIM/SCALAR/LOC1/IIII|14|1 2 3 4\n";

TEST(RestoreReader, HeaderOfFourLinesKeepsTheFirstEntry) {
  // The form of a snapshot written by the reader: the time's ";" on a line of
  // its own, the first entry on line 5.
  const RestoreFile f = parse_restore_text(
      "//Save_&_Restore//\n my comment ;\n Tue Dec  8 02:00:00 2026\n ;\n" + kTwoEntries);
  EXPECT_EQ(f.status, RestoreFileStatus::ok);
  EXPECT_EQ(listing(f), kTwoEntriesListing);
  EXPECT_FALSE(f.merge);
}

TEST(RestoreReader, HeaderWithMergeLineKeepsEveryEntryAndTheMergeAddress) {
  const RestoreFile f = parse_restore_text(
      "//Save_&_Restore//\n <Merge_addr: ///.TARGET >\n c ;\n Tue Dec  8 02:00:00 2026\n ;\n" +
      kTwoEntries);
  EXPECT_EQ(f.status, RestoreFileStatus::ok);
  EXPECT_EQ(listing(f), kTwoEntriesListing);
  EXPECT_EQ(f.merge, "///.TARGET");
}

TEST(RestoreReader, CompactHeadersAreReadByTheirTokens) {
  const struct {
    std::string header;
    std::optional<std::string> merge;
  } cases[] = {
      {"//Save_&_Restore//\n;\n;\n", std::nullopt},                  // empty comment and time
      {"//Save_&_Restore// a ; b ;\n", std::nullopt},                // all on the first line
      {"//Save_&_Restore//\n<Merge_addr: A B > ; t ;\n", "AB"},      // tokens joined
      {"//Save_&_Restore//\n<Merge_addr: A B> C > ; t ;\n", "AB"},   // "B>" closes
      {"//Save_&_Restore//\n<Merge_addr: > ; t ;\n", std::nullopt},  // empty block
      // A merge line counts on any header line, with or without blanks.
      {"//Save_&_Restore//\n c ;\n <Merge_addr: ///.TARGET >\n t ;\n", "///.TARGET"},
      {"//Save_&_Restore//\n<Merge_addr:///.TARGET >\n c ;\n t ;\n", "///.TARGET"},
      {"//Save_&_Restore//\n <Merge_addr: ///.TARGET>\n c ;\n t ;\n", "///.TARGET"},
      {"//Save_&_Restore//\n<Merge_addr: A >\n c ;\n<Merge_addr:A>\n t ;\n", "A"},
      // The comment's first line may read like an entry.
      {"//Save_&_Restore//\n Magnets of run B 2026 set ;\n t ;\n", std::nullopt},
  };
  for (const auto& c : cases) {
    const RestoreFile f = parse_restore_text(c.header + kTwoEntries);
    EXPECT_EQ(f.status, RestoreFileStatus::ok) << c.header;
    EXPECT_EQ(listing(f), kTwoEntriesListing) << c.header;
    EXPECT_EQ(f.merge, c.merge) << c.header;
  }
}

TEST(RestoreReader, RefusedFiles) {
  const struct {
    std::string text;
    RestoreFileStatus status;
    std::size_t bad_line = 0;
  } cases[] = {
      {"", RestoreFileStatus::empty},
      {"//Save_&_Restore_R_O//\n c ;\n t ;\n" + kTwoEntries, RestoreFileStatus::not_sr_file},
      {"\n//Save_&_Restore//\n c ;\n t ;\n", RestoreFileStatus::not_sr_file},
      {"//Save&Restore//\n c ;\n t ;\n", RestoreFileStatus::not_sr_file},
      {"//Save_&_Restore//\n comment without end\n", RestoreFileStatus::header_unclosed},
      {"//Save_&_Restore//\n <Merge_addr: ///.TARGET\n", RestoreFileStatus::merge_unclosed, 2},
      {"//Save_&_Restore//\n c ;\n", RestoreFileStatus::header_unclosed},
      // An entry is never taken for header text: the header is refused there.
      {"//Save_&_Restore//\n no end\n Tue Dec  8 02:00:00 2026\n\n\n" + kTwoEntries + kTwoEntries,
       RestoreFileStatus::header_unclosed, 6},
      {"//Save_&_Restore//\n c ;\n" + kTwoEntries, RestoreFileStatus::header_unclosed, 3},
      {"//Save_&_Restore//\n<Merge_addr: A >\n<Merge_addr: B >\n c ;\n t ;\n",
       RestoreFileStatus::two_merges, 3},
      {"//Save_&_Restore//\n c ;\n t ;\n" + kTwoEntries + " <Merge_addr: ///.TARGET >\n",
       RestoreFileStatus::merge_in_entries, 6},
      {"//Save_&_Restore//\n c ;\n t ;\nTEST.VAC PUMP1 L1 ERROR\t1\t7" + std::string(1, '\0') +
           "8\t;\n",
       RestoreFileStatus::nul_byte, 4},
      {std::string(1 << 20, '\0'), RestoreFileStatus::not_sr_file},
  };
  for (const auto& c : cases) {
    const RestoreFile f = parse_restore_text(c.text);
    EXPECT_EQ(f.status, c.status) << c.text;
    EXPECT_EQ(f.bad_line, c.bad_line) << c.text;
    EXPECT_TRUE(f.entries.empty()) << c.text;
  }
}

TEST(RestoreReader, ValueKeepsEveryWordAndLosesOnlyItsSeparators) {
  const struct {
    std::string line;
    std::string value;
  } cases[] = {
      {"TEST.SIM A L P\t105\t1 2 3\t;", "1 2 3"},
      {"TEST.SIM A L P\t105\t1 2 3;", "1 2 3"},  // glued to its ";"
      {"TEST.SIM A L P 105 1 2 3 ;", "1 2 3"},
      {"TEST.SIM A L P\t3\thello\tworld\t\t;", "hello world"},
      {"TEST.SIM A L P\t3\t  padded  \t; rest of line", "padded"},
      {"TEST.SIM A L P\t1\t5", "5"},  // no ";" at all: the rest of the line
      {"  TEST.SIM A L P\t1\t-3\t;", "-3"},
  };
  for (const auto& c : cases) {
    const auto e = parse_entry_line(c.line);
    ASSERT_TRUE(e) << c.line;
    EXPECT_EQ(e->chn, "TEST.SIM/A/L/P");
    EXPECT_EQ(e->value, c.value) << c.line;
  }
}

TEST(RestoreReader, LinesWithoutAnEntryToRestoreAreSkipped) {
  for (const std::string line : {
           "",
           "TEST.SIM A L P\t1\t\t;",    // blank value
           "TEST.SIM A L P\t1\t \t ;",  // only blanks and tabs
           "TEST.SIM A L P\t1",         // no value field
           "TEST.SIM A L P\t1;",        // the type glued to ";"
           "TEST.SIM A L",              // three address words
           "TEST.SIM A L P",            // no type
           "TST A L P\t1\t5\t;",        // facility shorter than four characters
       }) {
    EXPECT_FALSE(parse_entry_line(line)) << line;
  }
}

TEST(RestoreReader, DosLineEndsAreNoPartOfTheValue) {
  const RestoreFile f = parse_restore_text(
      "//Save_&_Restore//\r\n c ;\r\n t\r\n ;\r\nTEST.VAC PUMP1 L1 ERROR\t1\t7\r\n");
  EXPECT_EQ(listing(f), "TEST.VAC/PUMP1/L1/ERROR|1|7\n");
}

std::string file_with_entries(int count) {
  std::string text = "//Save_&_Restore//\n c ;\n t\n ;\n";
  for (int i = 0; i < count; ++i)
    text += "TEST.VAC PUMP1 L1 ERROR\t1\t" + std::to_string(i) + "\t;\n";
  return text;
}

TEST(RestoreReader, AThousandEntriesAreKeptAndMoreAreRefusedWhole) {
  const RestoreFile full = parse_restore_text(file_with_entries(1000));
  EXPECT_EQ(full.status, RestoreFileStatus::ok);
  ASSERT_EQ(full.entries.size(), 1000u);
  EXPECT_EQ(full.entries.front().value, "0");
  EXPECT_EQ(full.entries.back().value, "999");

  const RestoreFile over = parse_restore_text(file_with_entries(1001));
  EXPECT_EQ(over.status, RestoreFileStatus::too_many_entries);
  EXPECT_TRUE(over.entries.empty());
  // Skipped lines do not count.
  EXPECT_EQ(parse_restore_text(file_with_entries(1000) + "\nTST x\n\n").status,
            RestoreFileStatus::ok);
}

TEST(RestoreReader, OverlongLineRefusesTheFileAndNamesTheLine) {
  const std::string ok_line = "TEST.SIM A L P\t3\t" + std::string(998 - 17, 'x');
  ASSERT_EQ(ok_line.size(), 998u);
  const RestoreFile ok = parse_restore_text("//Save_&_Restore//\n c ;\n t\n ;\n" + ok_line + "\n");
  EXPECT_EQ(ok.status, RestoreFileStatus::ok);
  ASSERT_EQ(ok.entries.size(), 1u);
  EXPECT_EQ(ok.entries[0].value.size(), 998u - 17);

  const RestoreFile f =
      parse_restore_text("//Save_&_Restore//\n c ;\n t\n ;\n" + kTwoEntries + ok_line + "y\n");
  EXPECT_EQ(f.status, RestoreFileStatus::line_too_long);
  EXPECT_EQ(f.bad_line, 7u);
  EXPECT_TRUE(f.entries.empty());
}

// Only a regular file is read: others may block, never end or hold no text.
TEST(RestoreReader, OnlyRegularFilesAreOpened) {
  const std::string dir = ::testing::TempDir() + "restore_reader_XXXXXX";
  std::string made = dir;
  ASSERT_NE(::mkdtemp(made.data()), nullptr);
  const std::string fifo = made + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {made, fifo, std::string("/dev/zero"), made + "/missing"}) {
    const RestoreFile f = vantoput::read_restore_file(path);
    EXPECT_EQ(f.status, RestoreFileStatus::cannot_open) << path;
    EXPECT_NE(f.detail, "") << path;
  }
  ::unlink(fifo.c_str());
  ::rmdir(made.c_str());
}

TEST(RestoreDelay, ClampsTheDelayOption) {
  using std::chrono::microseconds;
  using std::chrono::milliseconds;
  EXPECT_EQ(vantoput::restore_delay(0), milliseconds(1));
  EXPECT_EQ(vantoput::restore_delay(2), milliseconds(2));
  EXPECT_EQ(vantoput::restore_delay(999), milliseconds(999));
  EXPECT_EQ(vantoput::restore_delay(1000), microseconds(999'999));
  EXPECT_EQ(vantoput::restore_delay(5000), microseconds(999'999));
  EXPECT_EQ(vantoput::restore_delay(ULONG_MAX), microseconds(999'999));  // -D -1
}

TEST(RestoreDelay, OptionTakesTheIntegerPartAndNegativesCountAsLarge) {
  const auto parsed = [](const std::string& d) {
    std::ostringstream out, err;
    return *vantoput::parse_options({"vantoput", "-D", d, "-f", "x.sr"}, out, err).options;
  };
  EXPECT_EQ(vantoput::restore_delay(parsed("2.7").delay), std::chrono::milliseconds(2));
  EXPECT_EQ(vantoput::restore_delay(parsed("-5").delay), std::chrono::microseconds(999'999));
  EXPECT_TRUE(parsed("0").delay_flag);
}

}  // namespace
