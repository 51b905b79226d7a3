#include "reader_context.h"

#include <ostream>

namespace vantoget {

StageResult table_full(ReaderContext& ctx) {
  ctx.err << "vantoget: more than " << ChannelTable::kCapacity
          << " values in one pass, the tables are full\n";
  return 1;
}

}  // namespace vantoget
