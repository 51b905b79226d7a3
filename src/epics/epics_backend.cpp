// The backend of "epics:" addresses, built as the module libvanto-epics.so
// that libvanto loads on the first such address. Channel Access finds its
// servers through its own environment (EPICS_CA_ADDR_LIST, ...): nothing is
// set here.
#include <strings.h>  // strcasecmp

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <unordered_map>

#include "backend.h"
#include "ca_headers.h"
#include "channel_value.h"
#include "pv_name.h"
#include "vanto/errors.h"

namespace vanto::epics {
namespace {

constexpr std::chrono::milliseconds kDefaultTimeout{2000};

int fail(EqData& out, int code, const std::string& text) {
  out.init();
  out.error(code, text);
  return code;
}

int code_of(int status) {
  switch (CA_EXTRACT_MSG_NO(status)) {
    case CA_EXTRACT_MSG_NO(ECA_NOWTACCESS):
    case CA_EXTRACT_MSG_NO(ECA_NORDACCESS): return not_writable;
    case CA_EXTRACT_MSG_NO(ECA_BADTYPE):
    case CA_EXTRACT_MSG_NO(ECA_BADCOUNT): return type_error;
    case CA_EXTRACT_MSG_NO(ECA_DISCONN):
    case CA_EXTRACT_MSG_NO(ECA_TIMEOUT): return unavail_serv;
    default: return ill_serv;
  }
}

// The calling thread works in the backend's Channel Access context for as
// long as this lives, and afterwards in the one it had before.
class InContext {
 public:
  explicit InContext(ca_client_context* context) : previous_(ca_current_context()) {
    if (previous_ == context) return;
    if (previous_ != nullptr) ca_detach_context();
    ca_attach_context(context);
    switched_ = true;
  }
  ~InContext() {
    if (!switched_) return;
    ca_detach_context();
    if (previous_ != nullptr) ca_attach_context(previous_);
  }
  InContext(const InContext&) = delete;
  InContext& operator=(const InContext&) = delete;

 private:
  ca_client_context* previous_;
  bool switched_ = false;
};

// Answers to requests sent together: the callbacks fill them on Channel
// Access's threads, the caller waits until all are in or time is up.
struct Batch {
  struct Answer {
    Batch* batch = nullptr;
    bool done = false;
    int status = ECA_NORMAL;
    chtype type = 0;
    unsigned long count = 0;
    std::vector<char> value;  // on_reply's copy of the value
    // on_value's conversion of the value: the read's result and channel.
    EqData* result = nullptr;
    const std::string* pv = nullptr;
  };
  std::mutex mutex;
  std::condition_variable changed;
  size_t waiting = 0;
  std::vector<Answer> answers;

  explicit Batch(size_t count) : answers(count) {
    for (Answer& a : answers) a.batch = this;
  }

  // Keeps a copy of the value for the caller.
  static void on_reply(struct event_handler_args args) {
    auto* answer = static_cast<Answer*>(args.usr);
    Batch& batch = *answer->batch;
    const std::lock_guard<std::mutex> lock(batch.mutex);
    answer->status = args.status;
    answer->type = static_cast<chtype>(args.type);
    answer->count = static_cast<unsigned long>(args.count);
    if (args.status == ECA_NORMAL && args.dbr != nullptr) {
      const auto* bytes = static_cast<const char*>(args.dbr);
      answer->value.assign(bytes, bytes + dbr_size_n(args.type, args.count));
    }
    answer->done = true;
    answered(batch);
  }

  // Converts the value of a read into its result at once, while later
  // answers of the list are still on their way: nothing is copied, and the
  // caller has nothing left to do when the last one is in. (The caller
  // touches the result only after the answer is done, or after clearing the
  // channel, which waits for a callback that runs.)
  static void on_value(struct event_handler_args args) {
    auto* answer = static_cast<Answer*>(args.usr);
    if (args.status == ECA_NORMAL && args.dbr != nullptr) {
      to_eqdata(*answer->pv, static_cast<chtype>(args.type), static_cast<unsigned long>(args.count),
                args.dbr, ca_element_count(args.chid) > 1, *answer->result);
    } else {
      fail(*answer->result, code_of(args.status), ca_message(args.status));
    }
    Batch& batch = *answer->batch;
    const std::lock_guard<std::mutex> lock(batch.mutex);
    answer->status = args.status;
    answer->done = true;
    answered(batch);
  }

  static void answered(Batch& batch) {
    // Only the last answer wakes the caller: a wake per answer of a long
    // list costs more than the reads themselves.
    if (--batch.waiting == 0) batch.changed.notify_all();
  }

  // Counts requests before they go out, in one step for a whole list: an
  // answer may come before the call that sent its request returns.
  void expect(size_t requests) {
    const std::lock_guard<std::mutex> lock(mutex);
    waiting += requests;
  }
  // A counted request that could not be sent after all.
  void unexpect() {
    const std::lock_guard<std::mutex> lock(mutex);
    --waiting;
  }

  // Waits until every sent request is answered; false at the time-out.
  bool wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [this] { return waiting == 0; });
  }
};

// A monitor and the channel it runs on, with the connection handler that
// tells the callback about disconnects.
struct Monitor {
  std::string pv;
  std::function<void(const EqData&)> callback;
  chid channel = nullptr;
  evid event = nullptr;
  bool array = false;
  std::mutex mutex;
  std::condition_variable changed;
  bool connected = false;
  bool ever_connected = false;

  static void on_connection(struct connection_handler_args args) {
    auto* monitor = static_cast<Monitor*>(ca_puser(args.chid));
    bool lost = false;
    {
      const std::lock_guard<std::mutex> lock(monitor->mutex);
      monitor->connected = args.op == CA_OP_CONN_UP;
      lost = !monitor->connected && monitor->ever_connected;
      if (monitor->connected) monitor->ever_connected = true;
    }
    monitor->changed.notify_all();
    if (lost) {
      EqData data;
      fail(data, unavail_serv, std::string("disconnected: ") + ca_message(ECA_DISCONN));
      monitor->deliver(data);
    }
  }

  static void on_update(struct event_handler_args args) {
    auto* monitor = static_cast<Monitor*>(args.usr);
    EqData data;
    if (args.status != ECA_NORMAL || args.dbr == nullptr) {
      fail(data, code_of(args.status), ca_message(args.status));
    } else {
      to_eqdata(monitor->pv, static_cast<chtype>(args.type), static_cast<unsigned long>(args.count),
                args.dbr, monitor->array, data);
    }
    monitor->deliver(data);
  }

  void deliver(const EqData& data) {
    try {
      callback(data);
    } catch (...) {
      // An exception must not unwind into Channel Access's thread.
    }
  }
};

// Channel Access reports asynchronous failures here as well as to the
// request they belong to: the request's answer carries them, so they are
// not printed a second time.
void quiet_exception(struct exception_handler_args) {}

class EpicsBackend final : public backend::Backend {
 public:
  EpicsBackend() {
    const int status = ca_context_create(ca_enable_preemptive_callback);
    if (status != ECA_NORMAL)
      throw std::runtime_error(std::string("Channel Access: ") + ca_message(status));
    context_ = ca_current_context();
    ca_add_exception_event(quiet_exception, nullptr);
    ca_detach_context();
  }

  ~EpicsBackend() override {
    const InContext in(context_);
    for (const auto& monitor : monitors_) {
      if (monitor->event != nullptr) ca_clear_subscription(monitor->event);
      ca_clear_channel(monitor->channel);
    }
    for (const auto& [name, channel] : channels_) ca_clear_channel(channel);
    ca_context_destroy();
  }

  EpicsBackend(const EpicsBackend&) = delete;
  EpicsBackend& operator=(const EpicsBackend&) = delete;

  int get(const EqAdr& adr, EqData& out) override {
    const EqAdr* adrs[] = {&adr};
    EqData* outs[] = {&out};
    get_many(adrs, outs, 1);
    return out.error();
  }

  size_t get_many(const EqAdr* const* adrs, EqData* const* out, size_t count) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const InContext in(context_);
    std::vector<std::string> names(count);
    for (size_t i = 0; i < count; ++i) names[i] = pv_name(*adrs[i]);
    std::vector<chid> channels = connect(names, out);
    // Every read goes out before the first answer is awaited.
    Batch batch(count);
    const auto unconnected = std::count(channels.begin(), channels.end(), nullptr);
    batch.expect(count - static_cast<size_t>(unconnected));
    for (size_t i = 0; i < count; ++i) {
      if (channels[i] == nullptr) continue;
      const unsigned long elements = ca_element_count(channels[i]);
      const chtype type = read_type(ca_field_type(channels[i]), elements);
      batch.answers[i].result = out[i];
      batch.answers[i].pv = &names[i];
      // Count 0: the array as long as the server holds it now.
      const int status = ca_array_get_callback(type, elements > 1 ? 0 : 1, channels[i],
                                               Batch::on_value, &batch.answers[i]);
      if (status != ECA_NORMAL) {
        batch.unexpect();
        fail(*out[i], code_of(status), ca_message(status));
        channels[i] = nullptr;
      }
    }
    ca_flush_io();
    if (!batch.wait(timeout_)) forget_unanswered(batch, names, channels);
    size_t failed = 0;
    for (size_t i = 0; i < count; ++i) {
      // A read that timed out: its callback never ran, nor will it.
      if (channels[i] != nullptr && batch.answers[i].status == ECA_TIMEOUT)
        fail(*out[i], unavail_serv, ca_message(ECA_TIMEOUT));
      if (out[i]->error() != 0) ++failed;
    }
    return failed;
  }

  int set(const EqAdr& adr, const EqData& in, EqData& out, EqData* read_back) override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      const InContext context(context_);
      const std::string name = pv_name(adr);
      EqData* outs[] = {&out};
      const chid channel = connect({name}, outs).front();
      if (channel == nullptr) return out.error();
      out.init();
      PutValue put;
      std::string why;
      if (const int code =
              from_eqdata(in, ca_field_type(channel), ca_element_count(channel), put, why);
          code != 0)
        return fail(out, code, why);
      if (ca_field_type(channel) == DBF_ENUM) {
        dbr_enum_t index = 0;
        if (const int code = label_index(channel, in.get_string(), index, why); code != 0)
          return fail(out, code, why);
        put.type = DBR_ENUM;
        put.bytes.assign(reinterpret_cast<const char*>(&index),
                         reinterpret_cast<const char*>(&index) + sizeof(index));
      }
      Batch batch(1);
      batch.expect(1);
      int status = ca_array_put_callback(put.type, put.count, channel, put.bytes.data(),
                                         Batch::on_reply, &batch.answers[0]);
      if (status == ECA_NORMAL) status = answer_of_one(batch, channel);
      if (status != ECA_NORMAL) {
        std::string text = ca_message(status);
        if (status == ECA_PUTFAIL && put.type == DBR_STRING && ca_field_type(channel) != DBF_STRING)
          text += " (refused in the channel's own type)";
        return fail(out, code_of(status), text);
      }
    }
    if (read_back != nullptr) get(adr, *read_back);
    return 0;
  }

  // The channels of a list of writes are made here all at once, so that
  // their searches go out together: each write then finds its channel
  // connected instead of waiting a search round of its own.
  void prepare(const EqAdr* const* adrs, size_t count) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const InContext in(context_);
    channels_.reserve(channels_.size() + count);
    for (size_t i = 0; i < count; ++i) {
      const std::string name = pv_name(*adrs[i]);
      if (is_pattern(name) || channels_.contains(name)) continue;
      chid channel = nullptr;
      if (ca_create_channel(name.c_str(), nullptr, nullptr, CA_PRIORITY_DEFAULT, &channel) ==
          ECA_NORMAL)
        channels_.emplace(name, channel);
    }
    ca_flush_io();
  }

  int names(const EqAdr& adr, EqData& out) override {
    return fail(out, ill_parameter, no_listing(pv_name(adr)));
  }

  int hostname(const EqAdr& adr, EqData& out) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const InContext in(context_);
    EqData* outs[] = {&out};
    const chid channel = connect({pv_name(adr)}, outs).front();
    if (channel == nullptr) return out.error();
    out.init();
    out.set_string(ca_host_name(channel));
    return 0;
  }

  void set_timeout(std::chrono::milliseconds timeout) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    timeout_ = timeout;
  }

  int subscribe(const EqAdr& adr, std::function<void(const EqData&)> callback,
                EqData& status) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const InContext in(context_);
    auto monitor = std::make_unique<Monitor>();
    monitor->pv = pv_name(adr);
    if (is_pattern(monitor->pv)) return fail(status, ill_parameter, no_listing(monitor->pv));
    monitor->callback = std::move(callback);
    int ca_status = ca_create_channel(monitor->pv.c_str(), Monitor::on_connection, monitor.get(),
                                      CA_PRIORITY_DEFAULT, &monitor->channel);
    if (ca_status != ECA_NORMAL) return fail(status, code_of(ca_status), ca_message(ca_status));
    ca_flush_io();
    bool connected = false;
    {
      std::unique_lock<std::mutex> wait(monitor->mutex);
      connected = monitor->changed.wait_for(wait, timeout_, [&] { return monitor->connected; });
    }
    if (connected) {
      const unsigned long elements = ca_element_count(monitor->channel);
      monitor->array = elements > 1;
      ca_status =
          ca_create_subscription(read_type(ca_field_type(monitor->channel), elements),
                                 elements > 1 ? 0 : 1, monitor->channel, DBE_VALUE | DBE_ALARM,
                                 Monitor::on_update, monitor.get(), &monitor->event);
      ca_flush_io();
    }
    if (!connected || ca_status != ECA_NORMAL) {
      ca_clear_channel(monitor->channel);
      return connected ? fail(status, code_of(ca_status), ca_message(ca_status))
                       : fail(status, unavail_serv, not_found());
    }
    monitors_.push_back(std::move(monitor));
    status.init();
    return 0;
  }

 private:
  // A "*" is no character of a record name: searching for it would only
  // wait for the time-out.
  static bool is_pattern(const std::string& pv) { return pv.find('*') != std::string::npos; }
  static std::string no_listing(const std::string& pv) {
    return "Channel Access has no name listing: give whole names (" + pv + ")";
  }

  // The programs name the channel: the texts stay within a line.
  std::string not_found() const {
    return "search unanswered in " + std::to_string(timeout_.count()) +
           " ms: " + ca_message(ECA_TIMEOUT);
  }

  // The state of an enum channel whose label is label (compared without case
  // where no label is the same text): the server would refuse any other with
  // a bare "write failed".
  int label_index(chid channel, const std::string& label, dbr_enum_t& index, std::string& why) {
    Batch batch(1);
    batch.expect(1);
    int status = ca_array_get_callback(DBR_GR_ENUM, 1, channel, Batch::on_reply, &batch.answers[0]);
    if (status == ECA_NORMAL) status = answer_of_one(batch, channel);
    if (status != ECA_NORMAL || batch.answers[0].value.size() < sizeof(dbr_gr_enum)) {
      why = ca_message(status);
      return code_of(status);
    }
    const auto* info = reinterpret_cast<const dbr_gr_enum*>(batch.answers[0].value.data());
    std::string labels;
    int found = -1;
    for (int i = 0; i < info->no_str && i < MAX_ENUM_STATES; ++i) {
      const std::string each(info->strs[i], strnlen(info->strs[i], MAX_ENUM_STRING_SIZE));
      // The label as written wins over one that differs only by case ("on"
      // and "ON" may be two states).
      if (each == label) {
        found = i;
        break;
      }
      if (found < 0 && strcasecmp(each.c_str(), label.c_str()) == 0) found = i;
      labels += (labels.empty() ? "" : ", ") + each;
    }
    if (found >= 0) {
      index = static_cast<dbr_enum_t>(found);
      return 0;
    }
    why = "'" + label + "' is none of the labels: " + labels;
    return ill_parameter;
  }

  // The connected channel of each name (null, with out[i] holding the
  // error, where none is). All searches go out together and are awaited
  // once. A channel that did not connect is not kept: an unknown name would
  // make every later wait last the whole time-out.
  std::vector<chid> connect(const std::vector<std::string>& names, EqData* const* out) {
    std::vector<chid> channels(names.size(), nullptr);
    channels_.reserve(channels_.size() + names.size());
    bool searching = false;
    for (size_t i = 0; i < names.size(); ++i) {
      if (is_pattern(names[i])) {
        fail(*out[i], ill_parameter, no_listing(names[i]));
        continue;
      }
      auto it = channels_.find(names[i]);
      if (it != channels_.end() && ca_state(it->second) == cs_never_conn) {
        searching = true;  // made ahead (prepare), still searched for
      } else if (it != channels_.end() && ca_state(it->second) != cs_conn) {
        // Lost its server: a new search finds it where it is now.
        ca_clear_channel(it->second);
        channels_.erase(it);
        it = channels_.end();
      }
      if (it == channels_.end()) {
        chid channel = nullptr;
        const int status =
            ca_create_channel(names[i].c_str(), nullptr, nullptr, CA_PRIORITY_DEFAULT, &channel);
        if (status != ECA_NORMAL) {
          fail(*out[i], code_of(status), ca_message(status));
          continue;
        }
        it = channels_.emplace(names[i], channel).first;
        searching = true;
      }
      channels[i] = it->second;
    }
    if (searching) ca_pend_io(std::chrono::duration<double>(timeout_).count());
    std::set<std::string> unanswered;
    for (size_t i = 0; i < names.size(); ++i) {
      if (channels[i] == nullptr || ca_state(channels[i]) == cs_conn) continue;
      fail(*out[i], unavail_serv, not_found());
      channels[i] = nullptr;
      unanswered.insert(names[i]);
    }
    for (const std::string& name : unanswered) {
      ca_clear_channel(channels_.at(name));
      channels_.erase(name);
    }
    return channels;
  }

  // Flushes the one request of batch, queued on channel, and waits for its
  // answer; the answer's status (ECA_TIMEOUT when none came in time).
  int answer_of_one(Batch& batch, chid channel) {
    ca_flush_io();
    std::vector<chid> channels = {channel};
    if (!batch.wait(timeout_)) forget_unanswered(batch, {ca_name(channel)}, channels);
    return batch.answers[0].status;
  }

  // After a time-out: the channels of requests still unanswered are closed,
  // which cancels their callbacks, and their answers say so.
  void forget_unanswered(Batch& batch, const std::vector<std::string>& names,
                         std::vector<chid>& channels) {
    std::set<std::string> late;
    {
      const std::lock_guard<std::mutex> guard(batch.mutex);
      for (size_t i = 0; i < channels.size(); ++i) {
        if (channels[i] == nullptr || batch.answers[i].done) continue;
        late.insert(names[i]);
      }
    }
    for (const std::string& name : late) {
      ca_clear_channel(channels_.at(name));
      channels_.erase(name);
    }
    const std::lock_guard<std::mutex> guard(batch.mutex);
    for (size_t i = 0; i < channels.size(); ++i) {
      Batch::Answer& answer = batch.answers[i];
      if (channels[i] == nullptr || answer.done) continue;
      answer.done = true;
      answer.status = ECA_TIMEOUT;
      answer.value.clear();
    }
  }

  std::mutex mutex_;  // one call at a time
  ca_client_context* context_ = nullptr;
  std::unordered_map<std::string, chid> channels_;  // by process variable name
  std::vector<std::unique_ptr<Monitor>> monitors_;
  std::chrono::milliseconds timeout_ = kDefaultTimeout;
};

}  // namespace
}  // namespace vanto::epics

extern "C" __attribute__((visibility("default"))) void vanto_backend_create(
    std::unique_ptr<vanto::backend::Backend>* made, std::string* why) {
  try {
    *made = std::make_unique<vanto::epics::EpicsBackend>();
  } catch (const std::exception& e) {
    *why = std::string("epics: the backend could not start: ") + e.what();
  } catch (...) {
    *why = "epics: the backend could not start";
  }
}
