// Event synchronisation buffer: messages of all channels grouped by event id,
// and the hand-off by which receive threads wake the output thread.
//
// Ownership: a message's container and assembled buffer travel receive thread
// -> entry (put_new_data) -> output thread (get_data); every hop moves a
// unique_ptr, so refusal, eviction and the end of the program free each once.
#pragma once

#include <sys/time.h>

#include <array>
#include <cstdint>
#include <memory>

#include <vanto/eqdata.h>

#include "stream_message.h"

namespace streamcat {

inline constexpr int kMaxSlots = 64;

// One event: up to 64 slots, one per message that carried its event id.
struct data_entry {
  dmsg_info info;                             // identity of the message that created the entry
  std::array<timeval, kMaxSlots> time{};      // local arrival time per slot
  std::array<const char*, kMaxSlots> name{};  // the channel's name (not copied)
  // pbuf before data: members die in reverse order, so every container is
  // gone before the buffer it points into.
  std::array<MessageBuffer, kMaxSlots> pbuf;  // the buffer data points into
  std::array<std::unique_ptr<vanto::EqData>, kMaxSlots> data;
  int ndata = 0;
};

struct StreamState;

// Puts one message into the entry of its event id: the container data and the
// channel's current buffer pp->dp (which is taken over, pp->dp left empty).
// Returns false when stored, true when refused (entry full, or buffer full
// with keep); a refused message is freed. A stored message marks output as
// pending (read_data_prepared) and wakes the output.
bool put_new_data(StreamState& st, chan* pp, const dmsg_info* info,
                  std::unique_ptr<vanto::EqData> data, bool keep_old);

// Index in buf of the oldest entry with at least one slot for ident, or -1.
// Call with bmutex held.
int find_eventid_in_buffer(const StreamState& st, int64_t ident);

// *size = entries waiting, *chans = slots of the oldest (0 if none). Returns
// true (error) if a pointer is missing, else false.
bool number_of_entries(StreamState& st, int* size, int* chans);

// Takes the oldest entry out of buf into *entry. Returns true if buf is empty.
bool get_data(StreamState& st, std::unique_ptr<data_entry>* entry);

// One turn of a loop limited by count: a negative count always allows, zero
// refuses, a positive count allows and is decreased.
inline bool take_turn(int& count) {
  if (count < 0) return true;
  if (count == 0) return false;
  --count;
  return true;
}

// Frees every waiting entry.
void clear_buffer(StreamState& st);

// read_go = 1 and signal read_cond.
void wake_output(StreamState& st);
// stop = 1, then wake_output.
void stop_and_wake(StreamState& st);
// The output thread's wait: clears read_data_prepared, then waits until stop
// or read_go is set and clears read_go. A stop request that cannot signal
// (the SIGINT handler) is seen within a short polling interval.
void wait_for_data(StreamState& st);

}  // namespace streamcat
