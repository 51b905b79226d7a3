// Writing one value into every channel a wildcard address stands for.
#pragma once

#include <string>

#include "session.h"

namespace vantoput {

struct WildcardWrite {
  std::string channel;   // the -c address, with '*' in its device or location
  std::string setvalue;  // written into every expanded address
  bool verbose_flag = false;
  bool test_flag = false;
};

// Expands the address and writes the value into each channel (with -T only
// prints the addresses). Returns 0 when every write succeeded, 1 when one
// failed, the address expanded to nothing or the expansion was refused.
int run_wildcard_set(WriterSession& s, const WildcardWrite& w);

}  // namespace vantoput
