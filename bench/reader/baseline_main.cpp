// Starts and exits. Linked like vantoget (the client library with its
// ZeroMQ dependency), so the difference to a vantoget run is the run itself:
// option parsing, name resolution, the reads and the printing.
#include <vanto/eqdata.h>

int main() {
  // One use of the client library keeps it (and its dependencies) loaded.
  vanto::EqData data;
  return data.error();
}
