#include "array_stage.h"

#include "history_stage.h"

namespace vantoget {

StageResult array_pass(ReaderContext& ctx) { return not_implemented(ctx, "array output (-a)"); }

}  // namespace vantoget
