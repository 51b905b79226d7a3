// Takes structured pieces from the front of a fuzz input; once the bytes run
// out every piece is zero or empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vantofuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  template <typename T>
  T take() {
    T value{};
    if (size_ >= sizeof value) {
      std::memcpy(&value, data_, sizeof value);
      data_ += sizeof value;
      size_ -= sizeof value;
    }
    return value;
  }
  std::vector<uint8_t> take_bytes(size_t count) {
    count = count < size_ ? count : size_;
    std::vector<uint8_t> bytes(data_, data_ + count);
    data_ += count;
    size_ -= count;
    return bytes;
  }
  std::string take_text(size_t count) {
    const auto bytes = take_bytes(count);
    return std::string(bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> rest() { return take_bytes(size_); }
  std::string rest_text() { return take_text(size_); }
  size_t remaining() const { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace vantofuzz
