// Receive side: channel binding, connection and one receive thread per channel.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <vanto/eqadr.h>
#include <vanto/eqdata.h>

#include "stream_message.h"

namespace streamcat {

struct StreamState;

// A node of a channel's callback list. cb may take the container (move it
// out); whatever it leaves is freed by the receive thread.
struct chan_cb {
  using Callback =
      std::function<void(chan* chp, std::unique_ptr<vanto::EqData>& data, dmsg_info* ts)>;
  chan_cb* next = nullptr;
  Callback cb;
};

// Receive-thread record, one per channel.
struct chan_tb {
  std::thread id;
  void* sockp = nullptr;  // the thread's socket while it is open
  int hwm = 0;            // high-water mark applied to the socket
  unsigned int port = 0;  // port found by the binding
  chan* chp = nullptr;
  bool start = false;     // set by dmsg_rcv to release the thread
  bool started = false;   // set by the thread when it runs
  bool finished = false;  // set when the thread body has returned
  std::mutex mutex;       // guards start, started and finished
};

// Runs one receive thread per channel and returns when all have ended.
chan* dmsg_rcv(StreamState& st, chan* channels, int count);

// Thread body.
void receive_msg(StreamState& st, chan_tb* tb);

// Hands a decoded message (chp->dp, container, info) on: while output is
// pending, a message of a new event is dropped with "Got new data while still
// outputting previous, skipping" before anything else is printed about it;
// otherwise it goes through the channel's callback list. Returns true when
// the message was kept.
bool hand_over_message(StreamState& st, chan* chp, std::unique_ptr<vanto::EqData>& container,
                       const dmsg_info& info);

// Finds host, port and data version of the channel written as `written`
// (parsed into ea). A "host:port;version" text is taken apart directly; any
// other address asks the channel's server ("SPN"). On failure ed carries an
// error code and text. Returns 0 or -1.
int get_binding(const std::string& written, vanto::EqAdr* ea, vanto::EqData* ed, char* hostp,
                int len, int* portp, int* versp);

// 1 if host `name` is the local host (same name, or same first address).
int con_type(const char* name, const char* machname, unsigned long machaddr);

// Completes the block (time, microseconds, event id) and files the message in
// st's buffer.
void call_back(StreamState& st, chan* chp, std::unique_ptr<vanto::EqData>& data, dmsg_info* ts);
// The callback the run installs for every channel: call_back into st.
chan_cb::Callback filing_call_back(StreamState& st);

}  // namespace streamcat
