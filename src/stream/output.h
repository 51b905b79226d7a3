// Output thread: takes synchronised events out of the buffer and prints them.
#pragma once

#include <sys/time.h>

#include <vanto/eqdata.h>

#include "stream_message.h"

namespace streamcat {

// Print level (-d): 0 spinner only, 1 timing, 2 value text, 3 block header,
// 4 full data; any other value prints only the channel name.
extern int debug;
// Events to print (-n); negative: no limit. Printing the last one ends the run.
extern int cycles;

// Thread body; count points to the number of events to print (negative: no
// limit). Ends on stop, or when the count is used up: then it requests the
// stop that ends the receive threads.
void print_msg(const int* count);

// Prints one slot: channel name (may be null), its container (nothing if
// null), the event identity ts and the slot's arrival time dtm.
void print_data(const char* name, vanto::EqData* data, const dmsg_info* ts, const timeval* dtm,
                int level);

}  // namespace streamcat
