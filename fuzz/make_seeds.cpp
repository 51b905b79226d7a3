// Writes the binary seeds of the codec, stream message and server request
// targets from a sample value of every type, encoded by the library itself.
// Usage: fuzz_make_seeds <fuzz/corpus directory>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>  // samples.h checks its own samples with EXPECT_EQ
#include <vanto/codec.h>

#include "fuzz_input.h"
#include "rpc_protocol.h"
#include "samples.h"
#include "type_ids.h"

namespace {

using Bytes = std::vector<uint8_t>;

template <typename T>
void put(Bytes& out, const T& value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  out.insert(out.end(), p, p + sizeof value);
}
void put(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
void put(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

void write_seed(const std::filesystem::path& dir, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(dir);
  std::ofstream(dir / ("seed_" + name), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

uint8_t selector_of(int type) {
  const auto& ids = vantofuzz::kTypeIds;
  return static_cast<uint8_t>(std::find(ids.begin(), ids.end(), type) - ids.begin());
}

// Frames as the server target splits them: shape byte (4 frames, keep the
// header valid), then the lengths of the first three frames.
Bytes request(vanto::rpc::Op op, const std::string& address, const vanto::EqData* value) {
  vanto::rpc::RequestHeader header;
  header.op = static_cast<uint16_t>(op);
  header.id = 7;
  Bytes data;
  if (value) {
    header.type = value->type();
    data = vanto::Codec::encode_data(*value, &header.count);
  }
  Bytes out;
  put<uint8_t>(out, 0x13);
  put<uint16_t>(out, sizeof header);
  put(out, header);
  put<uint16_t>(out, static_cast<uint16_t>(address.size()));
  put(out, address);
  put<uint16_t>(out, static_cast<uint16_t>(data.size()));
  put(out, data);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds <corpus directory>\n");
    return 1;
  }
  const std::filesystem::path corpus(argv[1]);
  for (const auto& sample : vanto_test::all_samples()) {
    vanto::EqData value;
    sample.make(value);
    uint32_t count = 0;
    const Bytes part = vanto::Codec::encode_data(value, &count);
    Bytes data_seed;
    put<uint8_t>(data_seed, 0);
    put<uint8_t>(data_seed, selector_of(value.type()));
    put<int32_t>(data_seed, value.type());
    put<uint32_t>(data_seed, count);
    put(data_seed, part);
    write_seed(corpus / "codec", "data_" + sample.name, data_seed);

    vanto::StreamInfo info;
    info.name = "COUNTER";
    info.ident = 1234;
    info.sec = 1700000000;
    info.usec = 5;
    for (int layout : {1, 2}) {
      const Bytes message = vanto::Codec::encode_message(value, info, layout);
      Bytes codec_seed{1};
      put(codec_seed, message);
      write_seed(corpus / "codec", "message" + std::to_string(layout) + "_" + sample.name,
                 codec_seed);
      Bytes stream_seed{0};  // one part
      put(stream_seed, message);
      write_seed(corpus / "stream_message", std::to_string(layout) + "_" + sample.name,
                 stream_seed);
    }
    if (sample.name == "SPECTRUM_header") {
      // The same message split over three parts.
      const Bytes message = vanto::Codec::encode_message(value, info, 2);
      Bytes split{2};
      put<uint16_t>(split, 60);
      split.insert(split.end(), message.begin(), message.begin() + 60);
      put<uint16_t>(split, 70);
      split.insert(split.end(), message.begin() + 60, message.begin() + 130);
      split.insert(split.end(), message.begin() + 130, message.end());
      write_seed(corpus / "stream_message", "three_parts", split);
    }
  }

  using vanto::rpc::Op;
  const auto dir = corpus / "server_request";
  write_seed(dir, "get_int", request(Op::get, "TEST.SIM/SCALAR/LOC1/INT", nullptr));
  write_seed(dir, "get_hist", request(Op::get, "TEST.SIM/HIST/LOC1/HIST", nullptr));
  write_seed(dir, "get_image", request(Op::get, "TEST.SIM/IMAGE/LOC1/IMAGE", nullptr));
  vanto::EqData number;
  number.set_int(17);
  write_seed(dir, "set_int", request(Op::set, "TEST.SIM/SCALAR/LOC1/INT", &number));
  write_seed(dir, "set_readonly", request(Op::set, "TEST.SIM/SCALAR/LOC1/INT255", &number));
  vanto::EqData text;
  text.set_string("fuzz");
  write_seed(dir, "set_string", request(Op::set, "TEST.SIM/SCALAR/LOC1/STRING", &text));
  const float points[] = {1, 2, 3};
  vanto::EqData spectrum;
  spectrum.set_spectrum("seed", 0, 0.5f, 0.25f, 0, points, 3);
  write_seed(dir, "set_spectrum", request(Op::set, "TEST.SIM/ARRAY/LOC1/SPECTRUM", &spectrum));
  write_seed(dir, "names_devices", request(Op::names, "TEST.VAC/*", nullptr));
  write_seed(dir, "names_locations", request(Op::names, "TEST.VAC/PUMP1/*", nullptr));
  write_seed(dir, "names_properties", request(Op::names, "TEST.VAC/PUMP1/L1/*", nullptr));
  write_seed(dir, "resolve", request(Op::resolve, "TEST.SIM/SCALAR", nullptr));
  write_seed(dir, "hostname", request(Op::hostname, "TEST.SIM/SCALAR/LOC1/INT", nullptr));
  write_seed(dir, "subscribe", request(Op::subscribe, "TEST.SIM/STREAM/LOC1/COUNTER", nullptr));
  write_seed(dir, "unknown", request(Op::get, "NO.SUCH/DEVICE/L/P", nullptr));
  vanto::EqData counter;
  counter.set_ustr(0, 0.0f, 0.0f, 0, "COUNTER");
  write_seed(dir, "stream_port", request(Op::get, "TEST.SIM/STREAM/LOC1/SPN", &counter));
  write_seed(dir, "stream_start", request(Op::set, "TEST.SIM/STREAM/LOC2/SPN", &counter));
  vanto::EqData fault;
  fault.set_iiii(1, 100, 2, 0);
  write_seed(dir, "fault_next", request(Op::fault, "TEST.SIM/SCALAR/LOC1/INT", &fault));
  return 0;
}
