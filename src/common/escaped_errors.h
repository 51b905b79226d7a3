// Messages on standard error quote addresses and the servers' error texts,
// which may hold any byte: an escape sequence among them would reach the
// terminal raw and could rewrite what the user sees.
#pragma once

#include <memory>
#include <streambuf>
#include <string>

namespace vantocli {

// text with every control byte (below 0x20, and DEL) but the newline and the
// tab written as \xHH.
std::string escape_control_bytes(const std::string& text);

// While it lives, everything written to std::cerr goes through
// escape_control_bytes. Values a script asked for go to standard output and
// stay as they are.
class EscapedErrors {
 public:
  EscapedErrors();
  ~EscapedErrors();
  EscapedErrors(const EscapedErrors&) = delete;
  EscapedErrors& operator=(const EscapedErrors&) = delete;

 private:
  std::unique_ptr<std::streambuf> filter_;
  std::streambuf* original_;
};

}  // namespace vantocli
