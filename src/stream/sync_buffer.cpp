#include "sync_buffer.h"

#include <chrono>

#include "stream_state.h"

namespace streamcat {

namespace {

// How often a waiting output thread looks at stop without being signalled.
constexpr auto kStopPoll = std::chrono::milliseconds(50);

void fill_slot(data_entry& entry, chan* pp, std::unique_ptr<vanto::EqData> data) {
  const int slot = entry.ndata;
  entry.data[slot] = std::move(data);
  entry.pbuf[slot] = std::move(pp->dp);
  pp->dp.reset();
  pp->len = 0;
  entry.name[slot] = pp->name;
  gettimeofday(&entry.time[slot], nullptr);
  ++entry.ndata;
}

size_t depth(const StreamState& st) { return st.bufs < 1 ? 1 : st.bufs; }

}  // namespace

int find_eventid_in_buffer(const StreamState& st, int64_t ident) {
  for (size_t index = 0; index < st.buf.size(); ++index) {
    if (st.buf[index]->ndata > 0 && st.buf[index]->info.ident == ident)
      return static_cast<int>(index);
  }
  return -1;
}

bool put_new_data(StreamState& st, chan* pp, const dmsg_info* info,
                  std::unique_ptr<vanto::EqData> data, bool keep_old) {
  if (!info || !data || !pp) return true;
  {
    std::lock_guard lock(st.bmutex);
    bool stored = false;
    const int found = find_eventid_in_buffer(st, info->ident);
    if (found >= 0) {
      data_entry& entry = *st.buf[static_cast<size_t>(found)];
      if (entry.ndata < kMaxSlots) {
        fill_slot(entry, pp, std::move(data));
        stored = true;
      }
    } else if (st.buf.size() < depth(st) || !keep_old) {
      if (st.buf.size() >= depth(st)) {
        // Drop the oldest event unprinted; its slots free themselves.
        st.buf.pop_front();
      }
      auto entry = std::make_unique<data_entry>();
      entry->info = *info;
      fill_slot(*entry, pp, std::move(data));
      st.buf.push_back(std::move(entry));
      stored = true;
    }
    if (!stored) {
      // Refused: the container goes with `data`, the buffer here.
      pp->dp.reset();
      pp->len = 0;
      return true;
    }
    // Output is pending from now until the output thread runs dry.
    st.read_data_prepared = true;
  }
  wake_output(st);
  return false;
}

bool number_of_entries(StreamState& st, int* size, int* chans) {
  if (!size || !chans) return true;
  std::lock_guard lock(st.bmutex);
  *size = static_cast<int>(st.buf.size());
  *chans = st.buf.empty() ? 0 : st.buf.front()->ndata;
  return false;
}

bool get_data(StreamState& st, std::unique_ptr<data_entry>* entry) {
  std::lock_guard lock(st.bmutex);
  if (st.buf.empty()) return true;
  *entry = std::move(st.buf.front());
  st.buf.pop_front();
  return false;
}

void clear_buffer(StreamState& st) {
  std::lock_guard lock(st.bmutex);
  st.buf.clear();
}

void wake_output(StreamState& st) {
  {
    std::lock_guard lock(st.read_mmx);
    st.read_go = 1;
  }
  st.read_cond.notify_all();
}

void stop_and_wake(StreamState& st) {
  st.stop = 1;
  wake_output(st);
}

void wait_for_data(StreamState& st) {
  st.read_data_prepared = false;
  std::unique_lock lock(st.read_mmx);
  while (!st.stop && !st.read_go) st.read_cond.wait_for(lock, kStopPoll);
  st.read_go = 0;
}

}  // namespace streamcat
