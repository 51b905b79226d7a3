#include "table_stage.h"

namespace vantoget {

StageResult begin_table(ReaderContext& ctx) { return not_implemented(ctx, "column table (-E)"); }

StageResult write_table(ReaderContext& ctx) { return not_implemented(ctx, "column table (-E)"); }

}  // namespace vantoget
