#include "receive.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include <vanto/eqcall.h>
#include <vanto/errors.h>

#include "console.h"
#include "ending_signals.h"
#include "stream_state.h"
#include "zmq_binding.h"

namespace streamcat {

namespace {

using namespace std::chrono_literals;

// A blocked receive looks at stop this often, so a stop request ends a thread
// on a silent stream too.
constexpr long kPollSliceMs = 100;
constexpr auto kFailurePause = 300ms;
constexpr auto kGatePause = 10us;
constexpr int kDefaultHwm = 200;

// Ends the thread's part in the run: stop everybody and wake the output.
void fail_channel(StreamState& st) {
  st.receive_failed = true;
  std::this_thread::sleep_for(kFailurePause);
  stop_and_wake(st);
}

// An optional '-' and at least one decimal digit, within the int range.
bool parse_int_text(const std::string& text, int* value) {
  size_t at = text.size() > 0 && text[0] == '-' ? 1 : 0;
  if (at == text.size()) return false;
  for (size_t i = at; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  errno = 0;
  const long long number = std::strtoll(text.c_str(), nullptr, 10);
  if (errno == ERANGE || number < INT_MIN || number > INT_MAX) return false;
  *value = static_cast<int>(number);
  return true;
}

int binding_failure(vanto::EqData* ed, int code, const std::string& text) {
  dmsg_err(text);
  ed->error(code, text);
  return -1;
}

int direct_binding(const std::string& host_port, vanto::EqData* ed, char* hostp, int len,
                   int* portp, int* versp) {
  const size_t portpos = host_port.find(':');
  const size_t verspos = host_port.find(';');
  if (portpos == std::string::npos || verspos == std::string::npos || portpos >= verspos)
    return binding_failure(ed, vanto::ill_parameter, "invalod format for host:port;version");
  const std::string host = host_port.substr(0, portpos);
  int port = 0;
  if (!parse_int_text(host_port.substr(portpos + 1, verspos - portpos - 1), &port))
    return binding_failure(ed, vanto::ill_parameter, "invalid format for port");
  *portp = port;
  std::snprintf(hostp, static_cast<size_t>(len), "%s", host.c_str());
  int version = 0;
  if (!parse_int_text(host_port.substr(verspos + 1), &version))
    return binding_failure(ed, vanto::ill_parameter, "invalid format for version");
  *versp = version;
  return 0;
}

int library_failure(vanto::EqData* ed) {
  char text[80];
  ed->get_string(text, sizeof text);
  dmsg_err(text);
  return -1;
}

int server_binding(const vanto::EqAdr* ea, vanto::EqData* ed, char* hostp, int len, int* portp,
                   int* versp) {
  vanto::EqAdr addr = *ea;
  addr.set_property("SPN");
  vanto::EqData dat;
  dat.set_ustr(1, 0.0f, 0.0f, 0, ea->property().c_str(), 0);
  vanto::EqCall call;
  if (call.get(&addr, &dat, ed) != 0) return library_failure(ed);
  int port = 0;
  float f1 = 0, f2 = 0;
  int64_t tm = 0;
  char* text = nullptr;
  const bool is_ustr = ed->get_ustr(&port, &f1, &f2, &tm, &text, 0);
  if (ed->type() != vanto::DATA_INT &&
      (!is_ustr || (port == 0 && static_cast<int>(f1 + f2) == 0))) {
    // The stream is not running: asking with a write starts it.
    if (call.set(&addr, &dat, ed) != 0) return library_failure(ed);
  }
  if (ed->type() == vanto::DATA_INT) {
    *portp = ed->get_value<int>();
  } else {
    port = 0;
    f2 = 0;
    ed->get_ustr(&port, &f1, &f2, &tm, &text, 0);
    *portp = port;
    *versp = static_cast<int>(f2);
  }
  if (call.get_option(&addr, &dat, ed, vanto::EQ_HOSTNAME) != 0)
    return binding_failure(ed, vanto::ill_serv, "can not get channel host");
  ed->get_string(hostp, len);
  return 0;
}

// The socket's first message, waited for in slices so a stop request is seen.
// Returns 1 for a message, 0 on stop, -1 on time-out or error.
int wait_for_message(const StreamState& st, void* socket, long timeout_ms) {
  zmq_pollitem_t item{};
  item.socket = socket;
  item.events = ZMQ_POLLIN;
  // A negative time-out waits without limit, as the poll itself would.
  const bool limited = timeout_ms >= 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!st.stop) {
    long left = limited ? static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                deadline - std::chrono::steady_clock::now())
                                                .count())
                        : kPollSliceMs;
    if (left < 0) left = 0;
    const int ready = lib_zmq_poll(&item, 1, std::min<long>(left, kPollSliceMs));
    if (ready > 0) return 1;
    if (st.stop) break;
    if (ready < 0 && errno != EINTR) return -1;
    if (limited && left == 0) return -1;  // the last look came after the time-out
  }
  return 0;
}

// Waits for the next message without a time-out. Returns 1, 0 on stop, -1 on error.
int wait_until_readable(const StreamState& st, void* socket) {
  zmq_pollitem_t item{};
  item.socket = socket;
  item.events = ZMQ_POLLIN;
  while (!st.stop) {
    const int ready = lib_zmq_poll(&item, 1, kPollSliceMs);
    if (ready > 0) return 1;
    if (ready < 0 && errno != EINTR) return -1;
  }
  return 0;
}

// Receives every part of one message. Returns false on a failed receive.
bool receive_parts(void* socket, MessageParts& parts, PartPool& pool) {
  for (;;) {
    zmq_msg_t* raw = pool.take();
    lib_zmq_msg_init(raw);
    MessagePart part(raw, PartCloser{&pool});
    if (lib_zmq_msg_recv(part.get(), socket, 0) < 0) return false;
    parts.push_back(std::move(part));
    int more = 0;
    size_t more_size = sizeof more;
    if (lib_zmq_getsockopt(socket, ZMQ_RCVMORE, &more, &more_size) != 0) return false;
    if (!more) return true;
  }
}

void close_socket(chan_tb* tb, bool unsubscribe) {
  if (unsubscribe) lib_zmq_setsockopt(tb->sockp, ZMQ_UNSUBSCRIBE, "", 0);
  lib_zmq_close(tb->sockp);
  tb->sockp = nullptr;
}

// Waits at the start gate; false when a stop request came first.
bool wait_for_release(const StreamState& st, chan_tb* tb) {
  {
    std::lock_guard lock(tb->mutex);
    tb->started = true;
  }
  for (;;) {
    {
      std::lock_guard lock(tb->mutex);
      if (tb->start) return true;
    }
    if (st.stop) return false;
    std::this_thread::sleep_for(kGatePause);
  }
}

// Connects the channel's socket; false (with the socket closed) on failure.
bool connect_channel(chan_tb* tb, chan* chp) {
  tb->sockp = lib_zmq_socket(context, ZMQ_SUB);
  if (!tb->sockp) {
    dmsg_err("can not create");
    return false;
  }
  char filter[4 + sizeof chp->prop];
  const int filter_length = get_subscr(chp, filter, sizeof filter);
  if (lib_zmq_setsockopt(tb->sockp, ZMQ_SUBSCRIBE, filter, static_cast<size_t>(filter_length)) <
      0) {
    dmsg_err("can not configure socket");
    close_socket(tb, false);
    return false;
  }
  int hwm = chp->hwm < 0 ? kDefaultHwm : chp->hwm;
  if (lib_zmq_setsockopt(tb->sockp, ZMQ_RCVHWM, &hwm, sizeof hwm) < 0) {
    std::perror("lib_zmq_setsockopt");
    dmsg_err("can not set hwm");
  }
  tb->hwm = hwm;
  char endpoint[512];
  if (chp->loc == 1) {
    std::snprintf(endpoint, sizeof endpoint, "ipc:///tmp/%u", chp->port);
  } else {
    std::snprintf(endpoint, sizeof endpoint, "tcp://%s:%u", chp->host, chp->port);
  }
  if (lib_zmq_connect(tb->sockp, endpoint) < 0) {
    dmsg_err("can not connect");
    close_socket(tb, true);
    return false;
  }
  return true;
}

// Decides whether a message of event ident is kept. While output is pending
// only messages of events already waiting (or being stored by another
// thread: such a message completes a waiting event just as one already in
// the buffer does) are kept; the decision and the pending mark are taken
// together under bmutex, so two channels of one new event never race. The
// pending flag itself is raised by the buffer once the message is stored: a
// message that the buffer refuses (a full entry, a full buffer with -k)
// gives the output nothing new and wakes nobody, so it must not raise it -
// the flag would then stay up and keep out every later event.
bool keep_message(StreamState& st, int64_t ident) {
  std::lock_guard lock(st.bmutex);
  auto& pending = st.events_being_stored;
  if (st.read_data_prepared && find_eventid_in_buffer(st, ident) < 0 &&
      std::find(pending.begin(), pending.end(), ident) == pending.end()) {
    return false;
  }
  pending.push_back(ident);
  return true;
}

void message_stored(StreamState& st, int64_t ident) {
  std::lock_guard lock(st.bmutex);
  auto& pending = st.events_being_stored;
  const auto it = std::find(pending.begin(), pending.end(), ident);
  if (it != pending.end()) {
    *it = pending.back();
    pending.pop_back();
  }
}

// Receives until stop. The receive side has no count of its own: the output
// thread ends the run once it has printed its events, so a message that
// completes the last event is never cut off by a receive thread that reached
// a count first.
void receive_loop(StreamState& st, chan_tb* tb, chan* chp) {
  vanto::EqDataBlock db{};
  dmsg_info infob;
  // Kept across messages, so that the only allocation per message is the
  // buffer of the message itself (and a container for each kept message).
  PartPool pool;
  MessageParts parts;  // declared after the pool: its parts go back there
  std::unique_ptr<vanto::EqData> container;
  while (!st.stop) {
    // A container handed over with its message is replaced; one of a
    // dropped message is made new in place and serves again.
    if (container) {
      *container = vanto::EqData(&db, true);
    } else {
      container = std::make_unique<vanto::EqData>(&db, true);
    }
    const int readable = wait_until_readable(st, tb->sockp);
    if (readable == 0) break;
    parts.clear();
    if (readable < 0 || !receive_parts(tb->sockp, parts, pool)) {
      if (st.stop) break;
      dmsg_err("can not receive");
      st.receive_failed = true;
      break;
    }
    if (store_msg(chp, parts, container.get(), &infob) < 0) continue;
    parts.clear();
    hand_over_message(st, chp, container, infob);
  }
}

}  // namespace

bool hand_over_message(StreamState& st, chan* chp, std::unique_ptr<vanto::EqData>& container,
                       const dmsg_info& info) {
  // A message for an event already waiting completes it and is kept even
  // while output is pending; only messages of new events are dropped.
  if (!keep_message(st, info.ident)) {
    say_err("Got new data while still outputting previous, skipping\n");
    return false;
  }
  show_ustr_length(*container);
  dmsg_info identity = info;
  for (chan_cb* node = chp->root; node; node = node->next) {
    if (node->cb) node->cb(chp, container, &identity);
  }
  message_stored(st, info.ident);
  return true;
}

int con_type(const char* name, const char* machname, unsigned long machaddr) {
  if (std::strcmp(name, machname) == 0) return 1;
  hostent result{};
  hostent* entry = nullptr;
  char work[1024];
  int h_error = 0;
  if (gethostbyname_r(name, &result, work, sizeof work, &entry, &h_error) != 0 || !entry ||
      entry->h_addrtype != AF_INET || !entry->h_addr_list[0])
    return 0;
  in_addr address{};
  std::memcpy(&address, entry->h_addr_list[0], sizeof address);
  return ntohl(address.s_addr) == machaddr ? 1 : 0;
}

int get_binding(const std::string& written, vanto::EqAdr* ea, vanto::EqData* ed, char* hostp,
                int len, int* portp, int* versp) {
  // The direct form is recognised in the address as the user wrote it.
  const bool direct =
      written.find(':') != std::string::npos && written.find("://") == std::string::npos;
  const int result = direct ? direct_binding(written, ed, hostp, len, portp, versp)
                            : server_binding(ea, ed, hostp, len, portp, versp);
  if (result != 0) return -1;
  if (*portp <= 0 || *portp > 65535)
    return binding_failure(ed, vanto::ill_serv, "invalid port number");
  return 0;
}

void call_back(StreamState& st, chan* chp, std::unique_ptr<vanto::EqData>& data, dmsg_info* ts) {
  if (!data || !ts) return;  // an earlier node took the message
  vanto::EqDataBlock* blk = data->data_block();
  blk->tm = ts->sec;
  blk->tm_usec = static_cast<uint32_t>(ts->usec);
  blk->mp_lo = static_cast<uint32_t>(static_cast<uint64_t>(ts->ident) & 0xFFFFFFFFu);
  blk->mp_hi = static_cast<uint32_t>(static_cast<uint64_t>(ts->ident) >> 32);
  put_new_data(st, chp, ts, std::move(data), st.keep);
}

chan_cb::Callback filing_call_back(StreamState& st) {
  return [&st](chan* chp, std::unique_ptr<vanto::EqData>& data, dmsg_info* ts) {
    call_back(st, chp, data, ts);
  };
}

void receive_msg(StreamState& st, chan_tb* tb) {
  chan* chp = tb->chp;
  char name[sizeof chp->name];
  std::memcpy(name, chp->name, sizeof name);
  char host[256] = {};
  chp->cmd = 0;
  tb->sockp = nullptr;
  int port = -1;
  int version = 0;
  if (!wait_for_release(st, tb)) {
    stop_and_wake(st);
    return;
  }
  vanto::EqAdr ea;
  ea.adr(name);
  vanto::EqData ed;
  const int bound = get_binding(name, &ea, &ed, host, sizeof host, &port, &version);
  tb->port = static_cast<unsigned int>(port);
  say_err(format("[%s] Connecting to %s:%d  data vers:%d\n", name, host, port, version));
  if (bound != 0) {
    char text[128];
    ed.get_string(text, sizeof text);
    say_err(format("[%s] %s - %s\n", name, ea.show_adr().c_str(), text));
    fail_channel(st);
    return;
  }
  chp->loc = con_type(host, hostname, hostaddr);
  if (version == 0) version = 1;
  chp->port = static_cast<unsigned int>(port);
  chp->vers = static_cast<unsigned int>(version);
  std::memcpy(chp->host, host, sizeof chp->host);
  if (!connect_channel(tb, chp)) {
    fail_channel(st);
    return;
  }
  const int first = wait_for_message(st, tb->sockp, st.connect_timeout);
  if (first <= 0) {
    if (first < 0) {
      dmsg_err("no response");
      st.receive_failed = true;
    }
    close_socket(tb, true);
    stop_and_wake(st);
    return;
  }
  receive_loop(st, tb, chp);
  stop_and_wake(st);
}

chan* dmsg_rcv(StreamState& st, chan* channels, int count) {
  {
    // Room for every receive thread's mark, so that marking allocates nothing.
    std::lock_guard lock(st.bmutex);
    st.events_being_stored.reserve(static_cast<std::size_t>(count > 0 ? count : 1));
  }
  std::vector<std::unique_ptr<chan_tb>> ctb;
  for (int index = 0; index < count; ++index) {
    auto tb = std::make_unique<chan_tb>();
    tb->chp = &channels[index];
    chan_tb* record = tb.get();
    ctb.push_back(std::move(tb));
    record->id = std::thread([&st, record] {
      receive_msg(st, record);
      std::lock_guard lock(record->mutex);
      record->finished = true;
    });
  }
  // Start gate: release all threads together once every one runs.
  while (!st.stop) {
    int running = 0;
    for (auto& tb : ctb) {
      std::lock_guard lock(tb->mutex);
      if (tb->started) ++running;
    }
    if (running == count) {
      for (auto& tb : ctb) {
        std::lock_guard lock(tb->mutex);
        tb->start = true;
      }
      break;
    }
    take_ending_signal(std::chrono::microseconds(100));
  }
  for (auto& tb : ctb) {
    // Short waits for an ending signal rather than a join: this thread takes
    // them (see take_ending_signal).
    while (true) {
      {
        std::lock_guard lock(tb->mutex);
        if (tb->finished) break;
      }
      take_ending_signal(std::chrono::milliseconds(10));
    }
    if (tb->id.joinable()) tb->id.join();
    if (tb->sockp) {
      lib_zmq_close(tb->sockp);
      tb->sockp = nullptr;
    }
  }
  return channels;
}

}  // namespace streamcat
