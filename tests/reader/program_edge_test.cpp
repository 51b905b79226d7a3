// The way every program ends after an exception that escaped its run.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <stdexcept>

#include "standard_output.h"

namespace {

// Points a standard stream at a string while it lives.
class Captured {
 public:
  explicit Captured(std::ostream& stream)
      : stream_(stream), original_(stream.rdbuf(text_.rdbuf())) {}
  ~Captured() { stream_.rdbuf(original_); }
  Captured(const Captured&) = delete;
  Captured& operator=(const Captured&) = delete;
  std::string text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::ostream& stream_;
  std::streambuf* original_;
};

TEST(ProgramEdge, AnEscapedExceptionEndsWithProgramAndTextAndStatus1) {
  const Captured out(std::cout);
  const Captured err(std::cerr);
  std::cout << "printed before";
  const int status = vantocli::exception_exit(std::length_error("vector too long"), "vantoput");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out.text(), "printed before");
  EXPECT_EQ(err.text(), "vantoput: vector too long\n");
}

}  // namespace
