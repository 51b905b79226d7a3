#include "array_stage.h"

#include <ctime>
#include <memory>
#include <ostream>

#include "ascii_export.h"
#include "export_name.h"
#include "history_read.h"
#include "history_stage.h"
#include "spectrum_print.h"

namespace vantoget {

namespace {

bool has_address_lines(int type) {
  return type == vanto::DATA_SPECTRUM || type == vanto::DATA_A_FLOAT || is_history_type(type);
}

// The export file of this pass with -g 2, else null. The default name is
// chosen once, at the first pass, and kept.
std::unique_ptr<ExportFile> export_file_of_pass(ReaderContext& ctx) {
  const ReaderOptions& o = ctx.options;
  if (!o.convert_flag || o.convert != 2) return nullptr;
  HistoryMemory& memory = ctx.history;
  if (o.filename.empty() && memory.default_file_name.empty()) {
    memory.default_file_name = default_export_name(o, std::time(nullptr));
  }
  return std::make_unique<ExportFile>(export_dir(o), export_file_name(o, memory.default_file_name));
}

}  // namespace

StageResult array_pass(ReaderContext& ctx) {
  const std::unique_ptr<ExportFile> export_file = export_file_of_pass(ctx);
  for (ChannelEntry& entry : ctx.spect.entries()) {
    const int type = entry.result->type();
    if (has_address_lines(type)) {
      ctx.out << "# Address: " << entry.name
              << "\n# Data Type : " << vanto::EqData::type_string(type) << '\n';
    }
    bool exported = true;
    if (is_history_type(type)) {
      exported = history_readout(ctx, entry, export_file.get());
    } else if (type == vanto::DATA_XML) {
      print_xml(ctx, entry);
    } else if (type == vanto::DATA_SPECTRUM) {
      print_spectrum(ctx, entry);
      if (export_file) exported = export_spectrum(*export_file, *entry.result, entry.name) == 0;
    } else {
      print_elements(ctx, entry);
    }
    if (!exported) {
      ctx.out << "History conversion into ascii format failed!\n";
      ctx.failed = true;  // the pass goes on, the run fails
    }
  }
  if (export_file && !export_file->finish()) {
    ctx.err << "vantoget: the export file " << export_file->path() << ": " << export_file->problem()
            << '\n';
    ctx.failed = true;
  }
  return std::nullopt;
}

}  // namespace vantoget
