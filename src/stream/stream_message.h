// Stream messages: the subscription filter, the joining of message parts into
// one buffer and the in-place decoding of that buffer into an EqData block.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <vanto/eqdata.h>

#include "zmq_binding.h"

namespace streamcat {

// Identity of one stream message.
struct dmsg_info {
  int64_t ident = 0;  // event id
  int64_t sec = 0;
  int32_t usec = 0;
  uint32_t stat = 0;  // upper 16 bits: error code
  uint32_t res0 = 0;
  uint32_t res1 = 0;
};
inline int dmsg_error(const dmsg_info& info) { return static_cast<int>(info.stat >> 16); }

// An assembled message: 4-byte words, so the header fields sit aligned.
using MessageBuffer = std::unique_ptr<uint32_t[]>;

struct chan_cb;

// Per-channel state, shared by the receive thread, the buffer and the output.
struct chan {
  char prop[64] = {};   // property of the address, for the subscription filter
  char name[256] = {};  // the address as written; the label of its output
  char host[256] = {};  // server host found by the binding
  int loc = 0;          // 1: IPC endpoint on the local host, 0: TCP
  unsigned int port = 0;
  unsigned int vers = 0;  // data version, 0 replaced by 1
  int len = 0;            // words in dp; 0 once handed over
  MessageBuffer dp;       // current assembled message; empty once handed over
  int hwm = 0;            // receive high-water mark; negative means 200
  int refcnt = 0;
  chan_cb* root = nullptr;  // first callback node
  int cmd = 0;
};

// Closed message parts kept for the next message, so that a receive loop
// allocates no part record per message.
class PartPool {
 public:
  // A closed part record: a kept one, or a new one.
  zmq_msg_t* take() {
    if (spare_.empty()) return new zmq_msg_t;
    zmq_msg_t* part = spare_.back().release();
    spare_.pop_back();
    return part;
  }
  void give_back(zmq_msg_t* part) { spare_.emplace_back(part); }

 private:
  std::vector<std::unique_ptr<zmq_msg_t>> spare_;
};

// One received message part: initialised on creation, closed when released,
// and then given back to its pool (if it came from one) or freed.
struct PartCloser {
  PartPool* pool = nullptr;
  void operator()(zmq_msg_t* part) const {
    lib_zmq_msg_close(part);
    if (pool != nullptr) {
      pool->give_back(part);
    } else {
      delete part;
    }
  }
};
using MessagePart = std::unique_ptr<zmq_msg_t, PartCloser>;
// The multi-part message as received.
using MessageParts = std::vector<MessagePart>;

// Writes the subscription filter of the channel into buffer (at most size
// bytes) and returns its length: empty for data version 1, otherwise the
// first 4 + strlen(prop) bytes of a layout-2 header naming the property.
int get_subscr(const chan* chp, char* buffer, int size);

// Joins the parts into a new buffer kept in chp->dp and decodes it into
// container and info. Returns 0, or -1 when the message is malformed (the
// caller drops it; a "dmsg:" line says why).
int store_msg(chan* chp, MessageParts& parts, vanto::EqData* container, dmsg_info* info);

// Decodes the total bytes at buffer into container's block (pointers into the
// buffer, nothing copied) and info. Returns 0 for a decoded type, 1 for a type
// it does not decode (time, error and type are set all the same), and -1 for a
// message shorter than its header and type require (a "dmsg:" line says why;
// the container is then not to be used).
int store_data(vanto::EqData* container, dmsg_info* info, uint8_t* buffer, int total);

// For a decoded single USTR: prints "test length: N 'text'" on standard
// output (its string length and text). Nothing for other types. Called only
// for a message that is kept, so a dropped message leaves no line behind.
void show_ustr_length(const vanto::EqData& container);

}  // namespace streamcat
