#include "wildcard_set.h"

namespace vantoput {

// The expansion (fill_devs, in a file of its own) and the write loop come
// with the wildcard work; until then the mode refuses clearly.
int run_wildcard_set(WriterSession& s, const WildcardWrite& w) {
  s.err << "vantoput: wildcard addresses are not implemented yet: " << w.channel
        << " , nothing set\n";
  return 1;
}

}  // namespace vantoput
