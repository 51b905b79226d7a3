// The device-name pass before the run loop.
#include <ostream>

#include "device_pattern.h"
#include "name_list.h"
#include "retried_call.h"
#include "value_text.h"
#include "wildcard_stage.h"

namespace vantoget {

namespace {

std::string padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

StageResult device_name_prepass(ReaderContext& ctx, const std::string& name) {
  ctx.address.adr(name);
  const std::string dev_str = ctx.address.device();
  if (dev_str.find('*') == std::string::npos) return std::nullopt;
  const vantocli::DevicePattern pattern(dev_str, vantocli::DevicePatternRules::reader);

  const int code =
      vantocli::retried_names(ctx.call, ctx.address, ctx.dst, ctx.src, ctx.options.retry);
  if (code != 0) {
    // The loop still runs; the name finds no devices and reads nothing, and
    // the run fails.
    ctx.err << ctx.address.channel() << " device names call: " << vantocli::value_text_arg(ctx.dst)
            << ", error = " << code << '\n';
    ctx.failed = true;
    return std::nullopt;
  }
  if (ctx.dst.length() <= 0) return 1;

  for (const std::string& device : name_texts(ctx.dst, name, ctx.err)) {
    if (pattern.matches(device)) ctx.devs.push_back(device);
  }

  if (!ctx.address.location().empty() || !ctx.address.property().empty()) return std::nullopt;
  // Facility and device pattern only: a device listing.
  if (ctx.options.names_flag) {
    for (const std::string& device : ctx.devs) {
      ctx.out << padded(device, ctx.options.width) << '\n';
    }
  }
  return 0;
}

}  // namespace vantoget
