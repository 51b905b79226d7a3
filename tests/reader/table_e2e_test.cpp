// vantoget -E end to end: the column table file, its path rules and its
// failures, against a started vantoserver.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "text_diff.h"

namespace {

using vantotest::pad;

// A table row: every cell but the last padded to 82, the last padded only
// when it is "-", then a blank and a newline.
std::string row(const std::vector<std::string>& cells) {
  std::string text;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const bool last = i + 1 == cells.size();
    text += last && cells[i] != "-" ? cells[i] : pad(cells[i], 82);
  }
  return text + " \n";
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  if (!in) return "<no file " + path + ">";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string login() {
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr ? entry->pw_name : std::to_string(getuid());
}

// A word quoted for the shell.
std::string quoted(const std::string& word) {
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

const std::string kNames = "TEST.VAC/PUMP1/*/NAME";
const std::string kErrors = "TEST.VAC/PUMP1/*/ERROR";
const std::string kProperties = "TEST.VAC/PUMP1/L1/*";  // ERROR 0, NAME L1

class VantogetTable : public vantotest::ServerTest {
 protected:
  static vantotest::ProgramResult run(const std::vector<std::string>& args) {
    return vantotest::run_program(VANTOGET_PATH, args);
  }
  // Runs vantoget with dir as its working directory.
  static vantotest::ProgramResult run_in(const std::string& dir,
                                         const std::vector<std::string>& args) {
    std::string command = "cd " + quoted(dir) + " && exec " + quoted(VANTOGET_PATH);
    for (const auto& arg : args) command += " " + quoted(arg);
    return vantotest::run_program("/bin/sh", {"-c", command});
  }
  void TearDown() override { server().clear_faults(); }
};

TEST_F(VantogetTable, DefaultFileIsNamedAfterTheLoginInTheWorkingDirectory) {
  const std::string dir = vantotest::temp_dir();
  const auto r = run_in(dir, {"-E", "-T", "-c", kNames + " " + kErrors});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string file = login() + "-table.txt";
  EXPECT_SAME_TEXT("L1\tL2\tSRV._SVR\t0\t0\t0\t\ntable is created in the file " + file + "\n",
                   r.out);
  EXPECT_EQ(r.err, "");
  EXPECT_SAME_TEXT(row({"L1", "0"}) + row({"L2", "0"}) + row({"SRV._SVR", "0"}),
                   read_file(dir + "/" + file));
}

TEST_F(VantogetTable, DirectoryWithoutTrailingSlashGetsTwoSlashes) {
  const std::string dir = vantotest::temp_dir();
  const auto plain = run({"-E", "-X", "-T", "-P", dir, "-F", "t.txt", "-c", kNames});
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_SAME_TEXT("L1\tL2\t\ntable is created in the file " + dir + "//t.txt\n", plain.out);
  EXPECT_SAME_TEXT(row({"L1"}) + row({"L2"}), read_file(dir + "/t.txt"));

  const auto slash = run({"-E", "-T", "-P", dir + "/", "-F", "u.txt", "-c", kNames});
  EXPECT_EQ(slash.status, 0) << slash.err;
  EXPECT_SAME_TEXT("L1\tL2\tSRV._SVR\t\ntable is created in the file " + dir + "/u.txt\n",
                   slash.out);
  EXPECT_SAME_TEXT(row({"L1"}) + row({"L2"}) + row({"SRV._SVR"}), read_file(dir + "/u.txt"));
}

TEST_F(VantogetTable, DirectoryAloneTakesTheLoginFileName) {
  const std::string dir = vantotest::temp_dir();
  const auto r = run({"-E", "-X", "-P", dir + "/", "-c", kErrors});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(row({"0"}) + row({"0"}), read_file(dir + "/" + login() + "-table.txt"));
}

TEST_F(VantogetTable, ShortColumnsArePaddedWithDashes) {
  const std::string file = vantotest::temp_dir() + "/t.txt";
  // Three locations beside two properties, then the other way round.
  const auto longer_first = run({"-E", "-F", file, "-c", kNames + " " + kProperties});
  EXPECT_EQ(longer_first.status, 0) << longer_first.err;
  EXPECT_SAME_TEXT(row({"L1", "0"}) + row({"L2", "L1"}) + row({"SRV._SVR", "-"}), read_file(file));

  const auto shorter_first = run({"-E", "-F", file, "-c", kProperties + " " + kNames});
  EXPECT_EQ(shorter_first.status, 0) << shorter_first.err;
  EXPECT_SAME_TEXT(row({"0", "L1"}) + row({"L1", "L2"}) + row({"-", "SRV._SVR"}), read_file(file));
}

TEST_F(VantogetTable, PlainNamesHaveNoColumn) {
  const std::string file = vantotest::temp_dir() + "/t.txt";
  const auto mixed = run({"-E", "-X", "-F", file, "-c", "TEST.SIM/SCALAR/LOC1/INT " + kNames});
  EXPECT_EQ(mixed.status, 0) << mixed.err;
  EXPECT_SAME_TEXT(row({"-", "L1"}) + row({"-", "L2"}), read_file(file));

  const auto plain_only = run({"-E", "-T", "-F", file, "-c", "TEST.SIM/SCALAR/LOC1/INT"});
  EXPECT_EQ(plain_only.status, 0) << plain_only.err;
  EXPECT_SAME_TEXT("42\t\ntable is created in the file " + file + "\n", plain_only.out);
  EXPECT_EQ(read_file(file), "");
}

TEST_F(VantogetTable, StringArgumentOptionFillsCellsWithTheStringArgument) {
  const std::string file = vantotest::temp_dir() + "/t.txt";
  // An A_USTR value (records "first" and "second") beside a STRING value.
  const std::string names = "TEST.SIM/TYPES/*/A_USTR TEST.SIM/TYPES/*/STRING";
  const auto with_s = run({"-S", "-E", "-F", file, "-c", names});
  EXPECT_EQ(with_s.status, 0) << with_s.err;
  EXPECT_SAME_TEXT(row({"first", "typed text"}), read_file(file));

  // Without -S the cell holds the whole value text, one record per line
  // (padded as one text).
  const auto without_s = run({"-E", "-F", file, "-c", names});
  EXPECT_EQ(without_s.status, 0) << without_s.err;
  EXPECT_SAME_TEXT(row({"1 0 0 0 first\n2 0.5 0 0 second", "typed text"}), read_file(file));
}

TEST_F(VantogetTable, TableIsRewrittenInEveryIteration) {
  const std::string file = vantotest::temp_dir() + "/t.txt";
  const auto r = run({"-E", "-T", "-X", "-l", "2", "-s", "0", "-F", file, "-c", kErrors});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string iteration = "0\t0\t\ntable is created in the file " + file + "\n";
  EXPECT_SAME_TEXT(iteration + iteration, r.out);
  EXPECT_SAME_TEXT(row({"0"}) + row({"0"}), read_file(file));
}

TEST_F(VantogetTable, NamesOptionWritesNoTable) {
  const std::string dir = vantotest::temp_dir();
  const auto r = run({"-E", "-N", "-X", "-P", dir + "/", "-F", "t.txt", "-c", kErrors});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_SAME_TEXT(
      pad("TEST.VAC/PUMP1/L1/ERROR", 80) + " 0\n" + pad("TEST.VAC/PUMP1/L2/ERROR", 80) + " 0\n",
      r.out);
  EXPECT_FALSE(exists(dir + "/t.txt"));
}

TEST_F(VantogetTable, UnwritablePathIsReportedAndTheRunEndsWithAFailure) {
  const std::string path = vantotest::temp_dir() + "/no/such/dir/t.txt";
  const auto r = run({"-E", "-T", "-X", "-l", "2", "-s", "0", "-F", path, "-c", kErrors});
  EXPECT_EQ(r.status, 1);
  // Every iteration prints its values and reports the file.
  EXPECT_SAME_TEXT("0\t0\t\n0\t0\t\n", r.out);
  EXPECT_SAME_TEXT("Cannot open file " + path + "\nCannot open file " + path + "\n", r.err);
}

TEST_F(VantogetTable, FileThatCannotTakeTheTextIsAFailure) {
  const auto r = run({"-E", "-T", "-X", "-F", "/dev/full", "-c", kErrors});
  EXPECT_EQ(r.status, 1);
  EXPECT_SAME_TEXT("0\t0\t\n", r.out);
  EXPECT_NE(r.err.find("/dev/full"), std::string::npos) << r.err;
}

TEST_F(VantogetTable, PathBeyond255CharactersIsRefused) {
  const std::string dir = vantotest::temp_dir() + "/" + std::string(150, 'd');
  const std::string file(150, 'f');
  const std::string path = dir + "//" + file;
  const auto r = run({"-E", "-T", "-X", "-P", dir, "-F", file, "-c", kErrors});
  EXPECT_EQ(r.status, 1);
  EXPECT_SAME_TEXT("0\t0\t\n", r.out);
  EXPECT_NE(r.err.find("longer than 255"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(path));
}

}  // namespace
