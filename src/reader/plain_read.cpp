#include "plain_read.h"

#include <strings.h>  // strncasecmp

#include <algorithm>
#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

#include "image_stage.h"
#include "picture_stage.h"
#include "retried_call.h"
#include "retry.h"
#include "value_text.h"
#include "vanto/eqadr.h"

namespace vantoget {

namespace {
bool is_array_type(int type) {
  switch (type) {
    case vanto::DATA_SPECTRUM:
    case vanto::DATA_A_TDS:
    case vanto::DATA_A_TS_FLOAT:
    case vanto::DATA_A_TS_INT:
    case vanto::DATA_A_FLOAT: return true;
    default: return false;
  }
}

// Types that are printed in one cell even when they hold several elements.
// A STRING counts its characters as elements; it is one value all the same
// and keeps its column (the array pass has nothing to print of it).
bool is_single_cell_type(int type) {
  switch (type) {
    case vanto::DATA_STRING:
    case vanto::DATA_IMAGE:
    case vanto::DATA_IFFF:
    case vanto::DATA_IIII:
    case vanto::DATA_TEXT: return true;
    default: return false;
  }
}
}  // namespace

bool is_array_result(const vanto::EqData& result) {
  const bool candidate = is_array_type(result.type()) || result.length() > 1;
  return candidate && !is_single_cell_type(result.type());
}

namespace {

// Takes the result of name's read (code: its last error code): a failure is
// reported and ends the process, an image is printed, anything else is
// sorted into its table.
StageResult take_plain_result(ReaderContext& ctx, const std::string& name,
                              std::unique_ptr<vanto::EqData> result, int code) {
  if (code != 0) {
    ctx.err << name << ": " << vantocli::value_text(*result) << " , result->error() = " << code
            << '\n';
    return 1;
  }

  if (ctx.first_iteration && (ctx.options.debug_flag & kDebugType)) {
    ctx.out << "vantoget: type() of " << name << " = " << vanto::EqData::type_string(result->type())
            << "\n ";
  }
  if (ctx.options.debug_flag & kDebugEventId) {
    ctx.out << "vantoget: EVENTID " << result->get_event_id() << '\n';
  }

  if (StageResult r = png_of_read(ctx, name, *result)) return r;
  if (result->type() == vanto::DATA_IMAGE) return print_image(ctx, name, *result);
  ChannelTable& table = is_array_result(*result) ? ctx.spect : ctx.nonspect;
  if (!table.add(name, std::move(result))) return table_full(ctx);
  return std::nullopt;
}

// Plain names are read this many at a time, all reads of a window at once.
constexpr std::size_t kReadWindow = 512;

std::size_t read_window(std::span<const std::string> names) {
  for (const std::string& name : names)
    if (reads_in_one_window(name)) return std::max(names.size(), kReadWindow);
  return kReadWindow;
}

}  // namespace

bool reads_in_one_window(const std::string& name) {
  // Only the prefix counts: asked for every name of a list, so no whole parse.
  constexpr std::string_view kEpics = "epics:";
  return name.size() >= kEpics.size() &&
         strncasecmp(name.c_str(), kEpics.data(), kEpics.size()) == 0;
}

StageResult read_plain_name(ReaderContext& ctx, const std::string& name) {
  auto result = std::make_unique<vanto::EqData>();
  ctx.address.adr(name);
  vanto::EqData crop;
  vanto::EqData& input = image_read_input(ctx, name, crop);

  const int code =
      vantocli::retried_get(ctx.call, ctx.address, input, ctx.dst, ctx.src, ctx.options.retry);
  result->copy_from(ctx.dst);
  return take_plain_result(ctx, name, std::move(result), code);
}

StageResult read_plain_names(ReaderContext& ctx, std::span<const std::string> names) {
  // An image crop is a request of its own per name: those go one by one.
  if (ctx.options.sp_flag || names.size() == 1) {
    for (const std::string& name : names) {
      if (StageResult r = read_plain_name(ctx, name)) return r;
    }
    return std::nullopt;
  }
  std::vector<std::unique_ptr<vanto::EqData>> results;
  std::vector<vanto::EqData*> slots;
  const std::size_t window_size = read_window(names);
  for (std::size_t start = 0; start < names.size(); start += window_size) {
    const auto window = names.subspan(start, std::min(window_size, names.size() - start));
    results.clear();
    slots.clear();
    for (std::size_t k = 0; k < window.size(); ++k) {
      results.push_back(std::make_unique<vanto::EqData>());
      slots.push_back(results.back().get());
    }
    vantocli::get_many(ctx.call, window, ctx.data, slots);
    // In list order, as if each name had been read alone: a failed read is
    // tried again on its own with the retries of -R, and the first read that
    // stays failed ends the process.
    for (std::size_t k = 0; k < window.size(); ++k) {
      int code = results[k]->error();
      if (vantocli::is_retryable(code)) {
        ctx.address.adr(window[k]);
        code = vantocli::retry_failed_get(ctx.call, ctx.address, ctx.data, *results[k], ctx.src,
                                          ctx.options.retry);
      }
      if (StageResult r = take_plain_result(ctx, window[k], std::move(results[k]), code)) return r;
    }
  }
  return std::nullopt;
}

}  // namespace vantoget
