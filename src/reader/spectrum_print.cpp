#include "spectrum_print.h"

#include <ostream>
#include <sstream>

#include "value_text.h"

namespace vantoget {

namespace {

// A float as the stream shows it by default: six significant digits.
std::string float_text(float value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

struct SpectrumInfo {
  int64_t tm = 0;
  float start = 0;
  float inc = 0;
  uint32_t status = 0;
  int count = 0;
};

SpectrumInfo spectrum_info(const vanto::EqData& spectrum) {
  SpectrumInfo info;
  char* comment = nullptr;
  int comment_length = 0;
  float* values = nullptr;
  if (!spectrum.get_spectrum(&comment, &comment_length, &info.tm, &info.start, &info.inc,
                             &info.status, &values, &info.count)) {
    return SpectrumInfo{};
  }
  return info;
}

}  // namespace

void print_spectrum(ReaderContext& ctx, ChannelEntry& entry) {
  ctx.address.adr(entry.name);
  // A request of its own: the read input of the other channels stays empty.
  vanto::EqData request;
  if (ctx.options.sp_flag) {
    request.set_type(vanto::DATA_IIII);
    request.set_from_string(ctx.options.spstr);
  }
  vanto::EqData& result = *entry.result;
  ctx.call.get(&ctx.address, &request, &result);  // one attempt, used as it comes

  const SpectrumInfo info = spectrum_info(result);
  if (ctx.options.spect_info) {
    ctx.out << "# Spectrum info: From=" << float_text(info.start)
            << ", Inc=" << float_text(info.inc) << ", Status=" << info.status
            << ", Time=" << info.tm << ", #=" << info.count << '\n';
  }
  // A failed re-read shows its error text in place of the values.
  if (result.error() != 0) {
    ctx.out << vantocli::value_text(result) << '\n';
    return;
  }
  const std::size_t width = ctx.options.width;
  float axis = info.start;
  const int length = result.length();
  for (int j = 0; j < length; ++j) {
    std::string text = vantocli::element_text(result, j);
    if (text.size() < width) text.append(width - text.size(), ' ');
    ctx.out << float_text(axis) << '\t' << text << '\n';
    axis += info.inc;
  }
}

void print_xml(ReaderContext& ctx, const ChannelEntry& entry) {
  ctx.out << entry.result->get_xml() << '\n';
}

void print_elements(ReaderContext& ctx, const ChannelEntry& entry) {
  const vanto::EqData& result = *entry.result;
  const int length = result.length();
  for (int j = 0; j < length; ++j) ctx.out << vantocli::element_text(result, j) << '\n';
}

}  // namespace vantoget
