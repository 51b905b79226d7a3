// ca_read NAME...: reads each process variable through libca with the fewest
// calls (a context, every channel, one wait for all connections, every read,
// one wait for all values, the context destroyed) and prints the values, the
// least a Channel Access client does; bench/run's floor for vantoget on
// epics: addresses.
#include <iostream>
#include <vector>

#include "ca_headers.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: ca_read NAME...\n";
    return 2;
  }
  constexpr double kTimeout = 5.0;
  if (ca_context_create(ca_disable_preemptive_callback) != ECA_NORMAL) return 1;
  const auto count = static_cast<size_t>(argc - 1);
  std::vector<chid> channels(count, nullptr);
  for (size_t i = 0; i < count; ++i)
    ca_create_channel(argv[i + 1], nullptr, nullptr, CA_PRIORITY_DEFAULT, &channels[i]);
  int status = ca_pend_io(kTimeout);
  std::vector<double> values(count, 0);
  if (status == ECA_NORMAL) {
    for (size_t i = 0; i < count; ++i) ca_get(DBR_DOUBLE, channels[i], &values[i]);
    status = ca_pend_io(kTimeout);
  }
  if (status == ECA_NORMAL) {
    for (size_t i = 0; i < count; ++i) std::cout << argv[i + 1] << ' ' << values[i] << '\n';
  } else {
    std::cerr << ca_message(status) << '\n';
  }
  ca_context_destroy();
  return status == ECA_NORMAL ? 0 : 1;
}
