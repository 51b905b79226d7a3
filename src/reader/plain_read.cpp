#include "plain_read.h"

#include <memory>
#include <ostream>

#include "image_stage.h"
#include "picture_stage.h"
#include "retried_call.h"
#include "value_text.h"

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

StageResult read_plain_name(ReaderContext& ctx, const std::string& name) {
  auto result = std::make_unique<vanto::EqData>();
  ctx.address.adr(name);
  vanto::EqData crop;
  vanto::EqData& input = image_read_input(ctx, name, crop);

  const int code = vantocli::retried_get(ctx.call, ctx.address, input, ctx.dst, ctx.src,
                                         ctx.options.retry);
  result->copy_from(ctx.dst);
  if (code != 0) {
    ctx.err << name << ": " << vantocli::value_text(*result)
            << " , result->error() = " << code << '\n';
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

}  // namespace vantoget
