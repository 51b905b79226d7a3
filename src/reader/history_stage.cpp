#include "history_stage.h"

namespace vantoget {

StageResult history_readout(ReaderContext& ctx, ChannelEntry& /*entry*/, bool /*last_entry*/) {
  return not_implemented(ctx, "history readout");
}

}  // namespace vantoget
