// The value codec: encoding and decoding data parts of the values the RPC and
// the streams carry most (a scalar, a spectrum, a 1 MiB image) and whole
// stream messages. Bytes per second count the data part.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include <vanto/codec.h>

namespace {

vanto::EqData scalar() {
  vanto::EqData value;
  value.set_int(42);
  return value;
}

vanto::EqData spectrum(int count) {
  std::vector<float> values(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) values[static_cast<size_t>(i)] = static_cast<float>(i) * 0.5f;
  vanto::EqData value;
  value.set_spectrum("bench spectrum", 0, 1.5f, 0.5f, 0, values.data(), count);
  return value;
}

vanto::EqData image(int width, int height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i);
  vanto::IMH header{};
  header.width = header.aoi_width = width;
  header.height = header.aoi_height = height;
  header.bpp = 1;
  header.ebitpp = 8;
  header.length = static_cast<int32_t>(pixels.size());
  vanto::EqData value;
  value.set_image(header, 0, 0, 0, "bench image", pixels.data(), static_cast<int>(pixels.size()));
  return value;
}

vanto::EqData value_of(int which) {
  switch (which) {
    case 0: return scalar();
    case 1: return spectrum(1000);
    default: return image(1024, 1024);
  }
}

const char* label_of(int which) {
  static const char* const labels[] = {"INT", "SPECTRUM 1000", "IMAGE 1 MiB"};
  return labels[which];
}

void BM_EncodeData(benchmark::State& state) {
  const vanto::EqData value = value_of(static_cast<int>(state.range(0)));
  uint32_t count = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    const std::vector<uint8_t> part = vanto::Codec::encode_data(value, &count);
    bytes = part.size();
    benchmark::DoNotOptimize(part.data());
  }
  state.SetLabel(label_of(static_cast<int>(state.range(0))));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_EncodeData)->DenseRange(0, 2);

void BM_DecodeData(benchmark::State& state) {
  const vanto::EqData value = value_of(static_cast<int>(state.range(0)));
  uint32_t count = 0;
  const std::vector<uint8_t> part = vanto::Codec::encode_data(value, &count);
  vanto::EqData out;
  for (auto _ : state) {
    if (vanto::Codec::decode_data(out, value.type(), count, part.data(), part.size()) != 0)
      state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data_block());
  }
  state.SetLabel(label_of(static_cast<int>(state.range(0))));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(part.size()));
}
BENCHMARK(BM_DecodeData)->DenseRange(0, 2);

// A whole stream message as the server publishes it every tick.
void BM_EncodeMessage(benchmark::State& state) {
  const vanto::EqData value = value_of(static_cast<int>(state.range(0)));
  vanto::StreamInfo info;
  info.name = "IMAGE";
  size_t bytes = 0;
  for (auto _ : state) {
    ++info.ident;
    const std::vector<uint8_t> message = vanto::Codec::encode_message(value, info, 2);
    bytes = message.size();
    benchmark::DoNotOptimize(message.data());
  }
  state.SetLabel(label_of(static_cast<int>(state.range(0))));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_EncodeMessage)->DenseRange(0, 2);

void BM_DecodeMessage(benchmark::State& state) {
  const vanto::EqData value = value_of(static_cast<int>(state.range(0)));
  vanto::StreamInfo info;
  info.name = "IMAGE";
  const std::vector<uint8_t> message = vanto::Codec::encode_message(value, info, 2);
  vanto::EqData out;
  vanto::StreamInfo got;
  for (auto _ : state) {
    if (vanto::Codec::decode_message(message.data(), message.size(), out, got) != 0)
      state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data_block());
  }
  state.SetLabel(label_of(static_cast<int>(state.range(0))));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(message.size()));
}
BENCHMARK(BM_DecodeMessage)->DenseRange(0, 2);

}  // namespace

BENCHMARK_MAIN();
