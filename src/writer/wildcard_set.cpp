#include "wildcard_set.h"

#include <vector>

#include "fill_devs.h"
#include "write_many.h"

namespace vantoput {

int run_wildcard_set(WriterSession& s, const WildcardWrite& w) {
  // After one time-out the remaining channels of a silent server fail at once.
  const vanto::EqCall::Batch batch(s.call);
  s.many_channels = true;
  const Expansion expansion = fill_devs(s, w.channel);
  if (expansion.refused) return 1;
  if (expansion.locs.empty()) {
    // Nothing was written: that is no success.
    s.out << "illegal address " << w.channel << " !\n";
    return 1;
  }
  bool any_failed = expansion.device_passed_over;
  auto setting_line = [&](std::size_t i) {
    if (w.verbose_flag)
      s.out << i << ": setting  " << expansion.locs[i] << "  =  " << w.setvalue << "\n";
  };
  if (w.test_flag) {
    for (std::size_t i = 0; i < expansion.locs.size(); ++i) setting_line(i);
    return any_failed ? 1 : 0;
  }
  // Each channel's type is detected by its own read; a failed write does not
  // stop the others, but the run reports it. The reads and the writes of all
  // channels go out together.
  std::vector<ChannelWrite> writes;
  writes.reserve(expansion.locs.size());
  for (const std::string& address : expansion.locs) writes.push_back({address, -1, w.setvalue});
  if (write_many(s, writes, std::nullopt, setting_line) != 0) any_failed = true;
  return any_failed ? 1 : 0;
}

}  // namespace vantoput
