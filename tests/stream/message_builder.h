// Hand-built stream messages for the decoder and buffer tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace streamtest {

// A little-endian byte writer.
class Bytes {
 public:
  template <typename T>
  Bytes& put(T value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    bytes_.insert(bytes_.end(), p, p + sizeof value);
    return *this;
  }
  Bytes& zeros(size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
    return *this;
  }
  Bytes& text(const std::string& s, bool nul = true) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    if (nul) bytes_.push_back(0);
    return *this;
  }
  // A text in a fixed field of `width` bytes, NUL-padded.
  Bytes& field(const std::string& s, size_t width) {
    std::string cut = s.substr(0, width);
    bytes_.insert(bytes_.end(), cut.begin(), cut.end());
    return zeros(width - cut.size());
  }
  Bytes& append(const std::vector<uint8_t>& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
};

struct Header {
  int16_t vers = 2;
  int16_t size = 120;
  std::string name = "PROP";
  int32_t type = 1;
  int64_t len = 1;
  int64_t ident = 7;
  int64_t sec = 1700000000;
  uint32_t usec = 250;
  uint32_t stat = 0;
  uint32_t res0 = 0;
  uint32_t res1 = 0;
  uint32_t sechi = 0;  // layout 1 only
};

// A layout-2 header (also used for any vers other than 1).
inline Bytes header_v2(const Header& h) {
  Bytes b;
  b.put<int16_t>(h.vers)
      .put<int16_t>(h.size)
      .field(h.name, 64)
      .put<int32_t>(h.type)
      .put<int64_t>(h.len)
      .put<int64_t>(h.ident)
      .put<int64_t>(h.sec)
      .put<uint32_t>(h.usec)
      .put<uint32_t>(h.stat)
      .put<uint32_t>(0)
      .put<uint32_t>(h.res0)
      .put<uint32_t>(h.res1)
      .zeros(4);
  return b;
}

// The data part of a SPECTRUM: the 136-byte record (an 80-byte comment) and
// its values.
inline Bytes spectrum_part(const std::string& comment, int64_t time, float start, float increment,
                           uint32_t status, const std::vector<float>& values) {
  Bytes b;
  b.put<uint32_t>(4)
      .zeros(4)
      .zeros(8)
      .put<int64_t>(time)
      .put<float>(start)
      .put<float>(increment)
      .put<uint32_t>(status)
      .zeros(4)
      .put<uint32_t>(static_cast<uint32_t>(values.size()))
      .zeros(4)
      .zeros(8)
      .field(comment, 80);
  for (float v : values) b.put<float>(v);
  return b;
}

// A layout-1 header; size carries the bit-15 flag as given.
inline Bytes header_v1(const Header& h) {
  Bytes b;
  b.put<int16_t>(1)
      .put<int16_t>(h.size)
      .put<int32_t>(h.type)
      .put<int64_t>(h.len)
      .put<int64_t>(h.ident)
      .put<uint32_t>(static_cast<uint32_t>(h.sec))
      .put<uint32_t>(h.usec)
      .put<uint32_t>(h.stat)
      .put<uint32_t>(h.sechi);
  return b;
}

// Header plus data part, copied into 4-byte words as store_msg would.
struct Message {
  std::vector<uint32_t> words;
  int total = 0;
  uint8_t* data() { return reinterpret_cast<uint8_t*>(words.data()); }
};

inline Message message(const Bytes& header, const Bytes& part) {
  Message m;
  m.total = static_cast<int>(header.size() + part.size());
  m.words.assign((static_cast<size_t>(m.total) + 3) / 4 + 1, 0);
  std::memcpy(m.data(), header.bytes().data(), header.size());
  if (part.size()) std::memcpy(m.data() + header.size(), part.bytes().data(), part.size());
  return m;
}

}  // namespace streamtest
