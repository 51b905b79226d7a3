// The receive path without the network: decode a message in place, file it
// in the synchronisation buffer, take the event out and free it. Reports
// messages per second and bytes per second for several message sizes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include <vanto/codec.h>

#include "stream_state.h"

using namespace streamcat;

namespace {

std::vector<uint8_t> int_array_message(int elements) {
  vanto::EqData value;
  std::vector<int32_t> numbers(static_cast<size_t>(elements));
  for (int i = 0; i < elements; ++i) numbers[static_cast<size_t>(i)] = i;
  value.set_int_array(numbers.data(), elements);
  vanto::StreamInfo info;
  info.name = "COUNTER";
  return vanto::Codec::encode_message(value, info, 2);
}

void BM_DecodeAndFile(benchmark::State& state) {
  const std::vector<uint8_t> bytes = int_array_message(static_cast<int>(state.range(0)));
  const size_t words = (bytes.size() + 3) / 4 + 1;
  chan channel;
  vanto::EqDataBlock block{};
  StreamState st;
  st.nchans = 1;
  int64_t ident = 0;
  for (auto _ : state) {
    channel.dp = std::make_unique<uint32_t[]>(words);
    std::memcpy(channel.dp.get(), bytes.data(), bytes.size());
    std::memcpy(reinterpret_cast<uint8_t*>(channel.dp.get()) + 80, &++ident, sizeof ident);
    auto container = std::make_unique<vanto::EqData>(&block, true);
    dmsg_info info;
    store_data(container.get(), &info, reinterpret_cast<uint8_t*>(channel.dp.get()),
               static_cast<int>(bytes.size()));
    put_new_data(st, &channel, &info, std::move(container), false);
    std::unique_ptr<data_entry> entry;
    get_data(st, &entry);
    benchmark::DoNotOptimize(entry.get());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeAndFile)->Arg(1)->Arg(256)->Arg(65536);

}  // namespace

BENCHMARK_MAIN();
