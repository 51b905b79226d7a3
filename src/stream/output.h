// Output thread: takes synchronised events out of the buffer and prints them.
#pragma once

#include <sys/time.h>

#include <vanto/eqdata.h>

#include "stream_message.h"

namespace streamcat {

struct StreamState;

// Thread body: prints st.cycles events (negative: no limit) at level st.debug.
// Ends on stop, or when the count is used up: then it requests the stop that
// ends the receive threads.
void print_msg(StreamState& st);

// Prints one slot: channel name (may be null), its container (nothing if
// null), the event identity ts and the slot's arrival time dtm. Level 0 spinner
// only (drawn by print_msg), 1 timing, 2 value text, 3 block header, 4 full
// data; any other value prints only the channel name.
void print_data(const char* name, vanto::EqData* data, const dmsg_info* ts, const timeval* dtm,
                int level);

}  // namespace streamcat
