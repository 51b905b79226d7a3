#include "table_stage.h"

#include <ostream>

#include "table_file.h"
#include "value_text.h"

namespace vantoget {

StageResult begin_table(ReaderContext& ctx) {
  ctx.table.columns.reset(ctx.options.channel.size());
  return std::nullopt;
}

void open_table_column(ReaderContext& ctx, std::size_t index) {
  if (ctx.options.table_flag) ctx.table.columns.open(index);
}

void enter_table_value(ReaderContext& ctx, std::size_t index, const vanto::EqData& result) {
  if (!ctx.options.table_flag) return;
  const bool string_arg = ctx.options.strarg_flag && vantocli::check_strarg_type(result);
  const std::string text =
      string_arg ? vantocli::value_text_arg(result) : vantocli::value_text(result);
  if (!ctx.table.columns.add(index, text)) {
    ctx.err << "vantoget: the table column of " << ctx.options.channel[index] << " is full ("
            << TableColumns::kMaxCells << " values), a value is left out\n";
  }
}

StageResult write_table(ReaderContext& ctx) {
  const ReaderOptions& o = ctx.options;
  const std::string path = table_path(o.dir, o.filename, login_name());
  if (path.size() > kMaxTablePath) {
    ctx.err << "vantoget: the table file path is longer than " << kMaxTablePath
            << " characters, no table written: " << path << '\n';
    ctx.table.file_failed = true;
  } else {
    const WriteResult written = write_text_file(path, table_rows(ctx.table.columns));
    switch (written.outcome) {
      case WriteOutcome::written: ctx.out << "table is created in the file " << path << '\n'; break;
      case WriteOutcome::cannot_open:
        ctx.err << "Cannot open file " << path << '\n';
        ctx.table.file_failed = true;
        break;
      case WriteOutcome::cannot_write:
        ctx.err << "vantoget: the table file " << path
                << " could not be written: " << written.reason << '\n';
        ctx.table.file_failed = true;
        break;
    }
  }
  ctx.table.columns.clear();
  return std::nullopt;
}

}  // namespace vantoget
