#include "wildcard_stage.h"

namespace vantoget {

StageResult device_name_prepass(ReaderContext& ctx, const std::string& name) {
  ctx.address.adr(name);
  if (ctx.address.device().find('*') == std::string::npos) return std::nullopt;
  return not_implemented(ctx, "device wildcards");
}

StageResult expand_wildcard_name(ReaderContext& ctx, std::size_t /*index*/) {
  return not_implemented(ctx, "wildcard names");
}

}  // namespace vantoget
