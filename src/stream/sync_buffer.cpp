#include "sync_buffer.h"

#include <chrono>

namespace streamcat {

std::deque<std::unique_ptr<data_entry>> buf;
std::mutex bmutex;
unsigned int bufs = 8;
bool keep = false;
int nchans = 0;

std::atomic<int> stop{0};
std::atomic<bool> read_data_prepared{false};
std::mutex read_mmx;
std::condition_variable read_cond;
int read_go = 0;

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

size_t depth() { return bufs < 1 ? 1 : bufs; }

}  // namespace

int find_eventid_in_buffer(int64_t ident) {
  for (size_t index = 0; index < buf.size(); ++index) {
    if (buf[index]->ndata > 0 && buf[index]->info.ident == ident) return static_cast<int>(index);
  }
  return -1;
}

bool put_new_data(chan* pp, const dmsg_info* info, std::unique_ptr<vanto::EqData> data,
                  bool keep_old) {
  if (!info || !data || !pp) return true;
  {
    std::lock_guard lock(bmutex);
    bool stored = false;
    const int found = find_eventid_in_buffer(info->ident);
    if (found >= 0) {
      data_entry& entry = *buf[static_cast<size_t>(found)];
      if (entry.ndata < kMaxSlots) {
        fill_slot(entry, pp, std::move(data));
        stored = true;
      }
    } else if (buf.size() < depth() || !keep_old) {
      std::unique_ptr<data_entry> entry;
      if (buf.size() >= depth()) {
        // Drop the oldest event unprinted; its slots free themselves.
        buf.pop_front();
      }
      entry = std::make_unique<data_entry>();
      entry->info = *info;
      fill_slot(*entry, pp, std::move(data));
      buf.push_back(std::move(entry));
      stored = true;
    }
    if (!stored) {
      // Refused: the container goes with `data`, the buffer here.
      pp->dp.reset();
      pp->len = 0;
      return true;
    }
  }
  wake_output();
  return false;
}

bool number_of_entries(int* size, int* chans) {
  if (!size || !chans) return true;
  std::lock_guard lock(bmutex);
  *size = static_cast<int>(buf.size());
  *chans = buf.empty() ? 0 : buf.front()->ndata;
  return false;
}

bool get_data(std::unique_ptr<data_entry>* entry) {
  std::lock_guard lock(bmutex);
  if (buf.empty()) return true;
  *entry = std::move(buf.front());
  buf.pop_front();
  return false;
}

void clear_buffer() {
  std::lock_guard lock(bmutex);
  buf.clear();
}

void wake_output() {
  {
    std::lock_guard lock(read_mmx);
    read_go = 1;
  }
  read_cond.notify_all();
}

void stop_and_wake() {
  stop = 1;
  wake_output();
}

void wait_for_data() {
  read_data_prepared = false;
  std::unique_lock lock(read_mmx);
  while (!stop && !read_go) read_cond.wait_for(lock, kStopPoll);
  read_go = 0;
}

}  // namespace streamcat
