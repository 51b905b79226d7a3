#include "value_line.h"

#include <algorithm>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "cell.h"
#include "int_format.h"
#include "plain_read.h"
#include "retried_call.h"
#include "time_format.h"
#include "value_text.h"

namespace vantoget {

namespace {

void print_header_line(ReaderContext& ctx) {
  const ReaderOptions& o = ctx.options;
  if (o.date_flag) ctx.out << vantocli::time_head(static_cast<int>(o.form));
  for (const ChannelEntry& entry : ctx.nonspect.entries()) {
    const std::string cell = vantocli::name_cell(entry.name, o.width, o.tab_flag);
    if (o.date_flag) {
      ctx.out << '\t' << cell;
    } else {
      ctx.out << cell << '\t';
    }
  }
  ctx.out << '\n';
}

// The value text of -S where the type has a string argument, else the value.
bool use_string_arg(const ReaderOptions& o, const vanto::EqData& result) {
  return o.strarg_flag && vantocli::check_strarg_type(result);
}

std::string value_cell_of(const ReaderOptions& o, const vanto::EqData& result) {
  if (use_string_arg(o, result)) {
    return vantocli::string_arg_cell(vantocli::value_text_arg(result), o.width, o.tab_flag);
  }
  return vantocli::value_cell(vantocli::value_text(result), o.width, o.tab_flag);
}

// The entries are read once more for the value line, one attempt each, this
// many at a time (all of them in a list with an epics: name) and all reads of
// a window at once. A failed read is reported like a failed first read; its
// error text never stands in the line as if it were a value.
constexpr std::size_t kRereadWindow = 128;

bool reread_all(ReaderContext& ctx) {
  std::vector<ChannelEntry>& entries = ctx.nonspect.entries();
  std::vector<std::string> names;
  std::vector<vanto::EqData*> slots;
  bool all_read = true;
  const bool one_window = std::any_of(entries.begin(), entries.end(), [](const ChannelEntry& e) {
    return reads_in_one_window(e.name);
  });
  const std::size_t window = one_window ? std::max(entries.size(), kRereadWindow) : kRereadWindow;
  const vanto::EqCall::Batch batch(ctx.call);
  for (std::size_t start = 0; start < entries.size(); start += window) {
    const std::size_t end = std::min(entries.size(), start + window);
    names.clear();
    slots.clear();
    for (std::size_t i = start; i < end; ++i) {
      names.push_back(entries[i].name);
      slots.push_back(entries[i].result.get());
    }
    if (vantocli::get_many(ctx.call, names, ctx.data, slots) == 0) continue;
    all_read = false;
    for (std::size_t i = start; i < end; ++i) {
      const vanto::EqData& result = *entries[i].result;
      if (result.error() == 0) continue;
      ctx.err << entries[i].name << ": " << vantocli::value_text(result)
              << " , result->error() = " << result.error() << '\n';
    }
  }
  return all_read;
}

void print_value(ReaderContext& ctx, const ChannelEntry& entry) {
  const ReaderOptions& o = ctx.options;
  const vanto::EqData& result = *entry.result;
  if (o.addr_flag) {
    const std::string text =
        use_string_arg(o, result) ? vantocli::value_text_arg(result) : vantocli::value_text(result);
    ctx.out << entry.name << "\t\t" << text << '\n';
    return;
  }

  const std::string cell = vantocli::tabs_to_blanks(value_cell_of(o, result));
  if (o.date_flag) {
    ctx.out << '\t' << cell;
    return;
  }
  const auto form =
      o.int_format_flag ? vantocli::int_form_from_code(o.int_format) : vantocli::IntForm::none;
  if (result.type() == vanto::DATA_INT && form != vantocli::IntForm::none) {
    const int value = result.get_value<int>();
    ctx.out << value << vantocli::int_form_suffix(value, form) << '\t';
    return;
  }
  ctx.out << cell << '\t';
}

}  // namespace

StageResult print_plain_values(ReaderContext& ctx) {
  if (ctx.nonspect.empty()) return std::nullopt;
  if (!reread_all(ctx)) return 1;

  const ReaderOptions& o = ctx.options;
  if (ctx.first_iteration && o.header_flag) print_header_line(ctx);
  if (o.date_flag) ctx.out << vantocli::time_show(static_cast<int>(o.form), std::time(nullptr));
  for (const ChannelEntry& entry : ctx.nonspect.entries()) print_value(ctx, entry);
  ctx.out << '\n';
  return std::nullopt;
}

}  // namespace vantoget
