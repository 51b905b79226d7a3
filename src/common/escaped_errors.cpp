#include "escaped_errors.h"

#include <iostream>

namespace vantocli {

namespace {

bool is_control(unsigned char c) { return (c < 0x20 && c != '\n' && c != '\t') || c == 0x7f; }

// Unbuffered, so that each write reaches the stream beneath at once and
// whole, as writes to std::cerr do.
class EscapingBuffer : public std::streambuf {
 public:
  explicit EscapingBuffer(std::streambuf* sink) : sink_(sink) {}

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const std::string text = escape_control_bytes(std::string(s, static_cast<std::size_t>(n)));
    const auto size = static_cast<std::streamsize>(text.size());
    return sink_->sputn(text.data(), size) == size ? n : 0;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
  }
  int sync() override { return sink_->pubsync(); }

 private:
  std::streambuf* sink_;
};

}  // namespace

std::string escape_control_bytes(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (!is_control(c)) {
      escaped += ch;
      continue;
    }
    escaped += "\\x";
    escaped += kHex[c >> 4];
    escaped += kHex[c & 0x0f];
  }
  return escaped;
}

EscapedErrors::EscapedErrors()
    : filter_(std::make_unique<EscapingBuffer>(std::cerr.rdbuf())), original_(std::cerr.rdbuf()) {
  std::cerr.rdbuf(filter_.get());
}

EscapedErrors::~EscapedErrors() {
  std::cerr.flush();
  std::cerr.rdbuf(original_);
}

}  // namespace vantocli
