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
  // One attempt, used as it comes: a failed read prints its error text below.
  (void)ctx.call.get(&ctx.address, &request, &result);

  // A value that is no spectrum shows zeros.
  const vanto::SpectrumView info = result.spectrum().value_or(vanto::SpectrumView{});
  if (ctx.options.spect_info) {
    ctx.out << "# Spectrum info: From=" << float_text(info.start)
            << ", Inc=" << float_text(info.increment) << ", Status=" << info.status
            << ", Time=" << info.time << ", #=" << info.count << '\n';
  }
  // A failed re-read shows its error text in place of the values; the run
  // goes on, and fails at its end.
  if (result.error() != 0) {
    ctx.out << vantocli::value_text(result) << '\n';
    ctx.err << entry.name << ": " << vantocli::value_text(result)
            << " , result->error() = " << result.error() << '\n';
    ctx.failed = true;
    return;
  }
  const std::size_t width = ctx.options.width;
  float axis = info.start;
  const int length = result.length();
  for (int j = 0; j < length; ++j) {
    std::string text = vantocli::element_text(result, j);
    if (text.size() < width) text.append(width - text.size(), ' ');
    ctx.out << float_text(axis) << '\t' << text << '\n';
    axis += info.increment;
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
