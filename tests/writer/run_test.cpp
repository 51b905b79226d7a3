// vantoput runs that end before any channel is touched: usage errors and
// value files that cannot be used.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "expected_usage.h"
#include "options.h"
#include "run.h"

namespace {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

RunResult run(std::vector<std::string> args) {
  args.insert(args.begin(), "vantoput");
  std::ostringstream out, err;
  RunResult r;
  const auto parsed = vantoput::parse_options(args, out, err);
  r.status = parsed.options ? vantoput::run_vantoput(*parsed.options, out, err) : parsed.status;
  r.out = out.str();
  r.err = err.str();
  return r;
}

// Files of this test program, removed when it ends.
class TempFiles {
 public:
  ~TempFiles() {
    for (const auto& p : paths_) std::filesystem::remove(p);
  }
  std::string write(const std::string& content) {
    std::string path = (std::filesystem::temp_directory_path() / "writer_run_XXXXXX").string();
    const int fd = mkstemp(path.data());
    EXPECT_GE(fd, 0);
    close(fd);
    std::ofstream(path, std::ios::binary) << content;
    paths_.push_back(path);
    return path;
  }
  std::string missing() {
    return (std::filesystem::temp_directory_path() / "writer_run_no_such_file").string();
  }

 private:
  std::vector<std::string> paths_;
};

TempFiles files;

TEST(WriterRunUsage, MissingChannelAndFileOrValueEndWithUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"-d", "5"},
      {"-V", "-t", "1"},
      {"-c", "A/B/C/D"},
      {"-c", "A/B/C/D", "-t", "1", "-V"},
      {"-f", "x.sr", "-x", "doc.xml"},
      {"-f", "x.sr", "-a", "spec.txt"},
      {"-f", "x.sr", "-s", "spec.spec"},
  };
  for (const auto& args : cases) {
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 255) << ::testing::PrintToString(args);
    EXPECT_EQ(r.err, writertest::kExpectedUsage) << ::testing::PrintToString(args);
    EXPECT_EQ(r.out, "") << ::testing::PrintToString(args);
  }
}

TEST(WriterRunUsage, VersionAloneIsFollowedByTheUsage) {
  const RunResult r = run({"-v"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, writertest::kExpectedVersion);
  EXPECT_EQ(r.err, writertest::kExpectedUsage);
}

TEST(WriterRunFiles, MissingXmlFileWithoutValueEndsWithStatusOne) {
  const std::string path = files.missing();
  const RunResult r = run({"-c", "A/B/C/D", "-x", path});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Cannot open xml file! " + path + "\n");
  EXPECT_EQ(r.out, "");
}

TEST(WriterRunFiles, DirectoryOrFifoAsValueFileIsRefusedAtOnce) {
  const std::string dir = std::filesystem::temp_directory_path().string();
  const std::string fifo = files.missing() + ".fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // opening it for reading would block
  for (const std::string& path : {dir, fifo}) {
    RunResult r = run({"-c", "A/B/C/D", "-x", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot open xml file! " + path + "\n");
    r = run({"-c", "A/B/C/D", "-d", "1", "-a", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot open file to read SPECTRUM data! " + path + "\n");
  }
  ::unlink(fifo.c_str());
}

TEST(WriterRunFiles, MissingSpectrumFileEndsWithStatusOne) {
  const std::string path = files.missing();
  for (const char* option : {"-a", "-s"}) {
    const RunResult r = run({"-c", "A/B/C/D", "-d", "1", option, path});
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_EQ(r.err, "Cannot open file to read SPECTRUM data! " + path + "\n") << option;
  }
}

TEST(WriterRunFiles, FilesThatFillTheirBufferAreRefusedWhole) {
  const std::string xml = files.write(std::string(16'777'216, 'x'));
  RunResult r = run({"-c", "A/B/C/D", "-x", xml});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "xml file too large! " + xml + " holds more than 16777215 bytes, nothing set\n");
  EXPECT_EQ(r.out, "");

  const std::string spectrum = files.write(std::string(8'388'608, '\n'));
  r = run({"-c", "A/B/C/D", "-a", spectrum});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "spectrum file too large! " + spectrum +
                       " holds more than 8388607 bytes, nothing set\n");
}

TEST(WriterRunFiles, XmlFileWithNulByteIsRefused) {
  const std::string xml = files.write(std::string("<a>\0</a>", 8));
  const RunResult r = run({"-c", "A/B/C/D", "-x", xml});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "xml file holds a NUL byte! " + xml + " , nothing set\n");
}

TEST(WriterRunWildcard, CopyAndPreformattedSpectrumNeedASingleChannel) {
  const std::string spec = files.write("0\n1\n\n\n1\n");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-c", "TEST.VAC/*/L1/ERROR", "-A", "TEST.SIM/SCALAR/LOC1/INT"},
           {"-c", "TEST.VAC/PUMP1/*/ERROR", "-s", spec}}) {
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vantoput: -A and -s need a single channel, not the wildcard address " +
                         args[1] + " , nothing set\n");
  }
}

}  // namespace
