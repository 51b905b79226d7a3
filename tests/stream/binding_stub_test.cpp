// The binding refuses a library that lacks one of the sixteen names and a
// library that does not open, and the program then reports the failure.
// (Its own executable: the binding is process-wide state.)
#include <gtest/gtest.h>

#include <sstream>

#include "console.h"
#include "streamcat_app.h"
#include "zmq_binding.h"

using namespace streamcat;

namespace {

class RefusedBinding : public ::testing::Test {
 protected:
  void SetUp() override { set_console(out_, err_); }
  void TearDown() override { set_console(std::cout, std::cerr); }
  std::ostringstream out_, err_;
};

TEST_F(RefusedBinding, ALibraryLackingOneNameIsRefusedWithoutAMessage) {
  ASSERT_EQ(dmsg_hdl, nullptr);
  EXPECT_EQ(dmsg_open(STUB_LIBRARY), -1);
  EXPECT_EQ(dmsg_hdl, nullptr);
  EXPECT_TRUE(dmsg_func.empty());
  EXPECT_EQ(init(STUB_LIBRARY), nullptr);
  EXPECT_EQ(err_.str(), "");
}

TEST_F(RefusedBinding, AMissingLibraryIsReportedOncePerProcess) {
  EXPECT_EQ(dmsg_open("libvanto-no-such-library.so.5"), -1);
  const std::string first = err_.str();
  EXPECT_EQ(first.rfind("dmsg libvanto-no-such-library.so.5", 0), 0u) << first;
  EXPECT_EQ(first.find('\n'), std::string::npos);  // the caller's text follows on the line
  EXPECT_EQ(dmsg_open("libvanto-no-such-library.so.5"), -1);
  EXPECT_EQ(err_.str(), first);
}

TEST_F(RefusedBinding, TheProgramEndsWithAFailureAndContactsNoChannel) {
  StreamOptions options;
  options.list = "127.0.0.1:5555;2";
  options.have_list = true;
  options.zmq_library = STUB_LIBRARY;
  options.terminal_cursor = false;
  std::ostringstream out, err;
  EXPECT_EQ(run_streamcat(options, out, err), 1);
  EXPECT_EQ(err.str(), "1 addresses found\nThey are:\n[0]\t127.0.0.1:5555;2\ninit () failed\n");
  EXPECT_EQ(out.str(), "");
}

TEST_F(RefusedBinding, TheRealLibraryBindsAfterARefusal) {
  EXPECT_EQ(dmsg_open(STUB_LIBRARY), -1);
  EXPECT_EQ(dmsg_open(), 0);
  EXPECT_EQ(dmsg_func.size(), 16u);
}

}  // namespace
