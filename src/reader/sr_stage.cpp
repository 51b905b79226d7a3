#include "sr_stage.h"

#include "sr_mode.h"

namespace vantoget {

StageResult sr_stage(ReaderContext& ctx) {
  const ReaderOptions& o = ctx.options;
  vantosr::SrModeOptions sr;
  sr.filename = o.filename;
  sr.line_flag = o.line_flag;
  sr.line_number = o.line_number;
  sr.list_flag = o.list_flag;
  sr.reference_flag = o.reference_flag;
  sr.atoref_flag = o.atoref_flag;
  sr.filename1 = o.filename1;
  sr.delay_flag = o.delay_flag;
  sr.delay = o.delay;
  sr.header_flag = o.header_flag;
  sr.date_flag = o.date_flag;
  sr.form = static_cast<int>(o.form);
  sr.width = static_cast<long>(o.width);
  sr.tab_flag = o.tab_flag;
  return vantosr::sr_mode_pass(sr, ctx.first_iteration, ctx.out, ctx.err);
}

}  // namespace vantoget
