// The backend of "tango:" addresses, built as the module libvanto-tango.so
// that libvanto loads on the first such address. Every call catches Tango's
// exceptions: none leaves this module.
#include <fnmatch.h>
#include <signal.h>

#include <array>
#include <cerrno>  // program_invocation_short_name
#include <cstdio>
#include <map>

#include "attribute_value.h"
#include "backend.h"
#include "tango_address.h"
#include "tango_errors.h"
#include "tango_headers.h"
#include "vanto/errors.h"

namespace vanto::tango {
namespace {

// libtango puts a handler of its own on SIGTERM (and others) that ends the
// process with status 255: the program's own dispositions are put back after
// every call into libtango, so that a signal ends it as it would without.
class KeepSignals {
 public:
  KeepSignals() {
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], nullptr, &saved_[i]);
  }
  ~KeepSignals() {
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &saved_[i], nullptr);
  }
  KeepSignals(const KeepSignals&) = delete;
  KeepSignals& operator=(const KeepSignals&) = delete;

 private:
  static constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  std::array<struct sigaction, 4> saved_{};
};

// Runs call and turns a Tango exception into out's error; returns out's code.
template <typename Call>
int guarded(EqData& out, Call&& call) {
  const KeepSignals signals;
  try {
    return call();
  } catch (const Tango::DevFailed& e) {
    return fail(e.errors, out);
  } catch (const CORBA::Exception& e) {
    out.init();
    out.error(unavail_serv, std::string("CORBA exception: ") + e._name());
    return out.error();
  } catch (const std::exception& e) {
    out.init();
    out.error(link_error, std::string("Tango call: ") + e.what());
    return out.error();
  }
}

bool has_wildcard(const std::string& field) { return field.find('*') != std::string::npos; }

// Delivers the events of one subscription to its callback.
class EventForwarder : public Tango::CallBack {
 public:
  EventForwarder(std::function<void(const EqData&)> callback, std::vector<std::string> labels)
      : callback_(std::move(callback)), labels_(std::move(labels)) {}
  void push_event(Tango::EventData* event) override {
    EqData data;
    try {
      if (event == nullptr) return;
      if (event->err) {
        fail(event->errors, data);
      } else if (event->attr_value != nullptr) {
        to_eqdata(*event->attr_value, labels_, data);
      } else {
        return;
      }
      callback_(data);
    } catch (...) {
      // An exception must not unwind into Tango's event thread.
    }
  }

 private:
  std::function<void(const EqData&)> callback_;
  std::vector<std::string> labels_;
};

struct Subscription {
  Tango::DeviceProxy* proxy = nullptr;  // owned by the backend's proxy cache
  int id = 0;
  std::unique_ptr<EventForwarder> forwarder;
};

class TangoBackend final : public backend::Backend {
 public:
  ~TangoBackend() override {
    for (Subscription& s : subscriptions_) {
      try {
        s.proxy->unsubscribe_event(s.id);
      } catch (...) {
        // The server may be gone; nothing is left to stop then.
      }
    }
  }

  int get(const EqAdr& adr, EqData& out) override {
    return guarded(out, [&] {
      const TangoName name = tango_name(adr);
      Tango::DeviceProxy& proxy = proxy_of(name);
      std::string attribute = name.attribute;
      Tango::DeviceAttribute value = proxy.read_attribute(attribute);
      return to_eqdata(value, enum_labels(proxy, name, value), out);
    });
  }

  size_t get_many(const EqAdr* const* adrs, EqData* const* out, size_t count) override {
    // One read_attributes per device, in the order the devices first appear.
    std::vector<std::string> order;
    std::map<std::string, std::vector<size_t>> by_device;
    std::vector<TangoName> names;
    for (size_t i = 0; i < count; ++i) {
      names.push_back(tango_name(*adrs[i]));
      auto [it, added] = by_device.try_emplace(names[i].device_key());
      if (added) order.push_back(names[i].device_key());
      it->second.push_back(i);
    }
    size_t failed = 0;
    for (const std::string& key : order) {
      const std::vector<size_t>& members = by_device[key];
      if (!read_together(names, members, out)) {
        // The device refused the list as a whole (an unknown attribute in
        // it, say): each read alone gets its own answer.
        for (size_t i : members) get(*adrs[i], *out[i]);
      }
      for (size_t i : members)
        if (out[i]->error() != 0) ++failed;
    }
    return failed;
  }

  int set(const EqAdr& adr, const EqData& in, EqData& out, EqData* read_back) override {
    out.init();
    return guarded(out, [&] {
      const TangoName name = tango_name(adr);
      Tango::DeviceProxy& proxy = proxy_of(name);
      const Tango::AttributeInfoEx& info = config_of(proxy, name);
      Tango::DeviceAttribute value;
      std::string why;
      if (const int code = from_eqdata(in, info, value, why); code != 0) {
        out.error(code, why);
        return code;
      }
      if (read_back == nullptr || info.writable == Tango::WRITE) {
        proxy.write_attribute(value);
        if (read_back != nullptr) {
          // From the device itself: a polled attribute's cache may still
          // hold the value from before the write.
          const Tango::DevSource source = proxy.get_source();
          proxy.set_source(Tango::DEV);
          get(adr, *read_back);
          proxy.set_source(source);
        }
      } else {
        Tango::DeviceAttribute back = proxy.write_read_attribute(value);
        to_eqdata(back, info.enum_labels, *read_back);
      }
      return 0;
    });
  }

  int names(const EqAdr& adr, EqData& out) override {
    return guarded(out, [&] {
      const TangoName name = tango_name(adr);
      std::vector<std::string> list;
      if (has_wildcard(adr.facility()) || has_wildcard(adr.device()) ||
          has_wildcard(adr.location())) {
        if (const int code = database_names(adr, name, list, out); code != 0) return code;
      } else {
        std::unique_ptr<std::vector<std::string>> attributes(proxy_of(name).get_attribute_list());
        for (const std::string& attribute : *attributes)
          if (fnmatch(name.attribute.c_str(), attribute.c_str(), FNM_CASEFOLD) == 0)
            list.push_back(attribute);
      }
      return set_texts(list, DATA_A_USTR, out);
    });
  }

  int hostname(const EqAdr& adr, EqData& out) override {
    return guarded(out, [&] {
      const Tango::DeviceInfo& info = proxy_of(tango_name(adr)).info();
      out.init();
      out.set_string(info.server_host);
      return 0;
    });
  }

  void set_timeout(std::chrono::milliseconds timeout) override {
    timeout_ = timeout;
    for (auto& [key, proxy] : proxies_) {
      try {
        proxy->set_timeout_millis(static_cast<int>(timeout.count()));
      } catch (...) {
        // A proxy that cannot take it fails its next call with the reason.
      }
    }
  }

  int subscribe(const EqAdr& adr, std::function<void(const EqData&)> callback,
                EqData& status) override {
    return guarded(status, [&] {
      const TangoName name = tango_name(adr);
      Tango::DeviceProxy& proxy = proxy_of(name);
      Subscription s;
      s.proxy = &proxy;
      s.forwarder =
          std::make_unique<EventForwarder>(std::move(callback), config_of(proxy, name).enum_labels);
      try {
        s.id = proxy.subscribe_event(name.attribute, Tango::CHANGE_EVENT, s.forwarder.get());
      } catch (const Tango::DevFailed& e) {
        if (!refused_for_missing_criteria(e)) throw;
        s.id = proxy.subscribe_event(name.attribute, Tango::PERIODIC_EVENT, s.forwarder.get());
        std::fprintf(stderr,
                     "%s: %s has no change criteria: following its periodic events instead\n",
                     program_invocation_short_name, adr.show_adr().c_str());
      }
      subscriptions_.push_back(std::move(s));
      return 0;
    });
  }

 private:
  static bool refused_for_missing_criteria(const Tango::DevFailed& e) {
    for (unsigned i = 0; i < e.errors.length(); ++i)
      if (std::string_view(e.errors[i].reason.in()) == "API_EventPropertiesNotSet") return true;
    return false;
  }

  Tango::DeviceProxy& proxy_of(const TangoName& name) {
    auto it = proxies_.find(name.device_key());
    if (it != proxies_.end()) return *it->second;
    std::string device = name.device;
    auto proxy = std::make_unique<Tango::DeviceProxy>(device);
    if (timeout_.count() > 0) proxy->set_timeout_millis(static_cast<int>(timeout_.count()));
    return *proxies_.emplace(name.device_key(), std::move(proxy)).first->second;
  }

  const Tango::AttributeInfoEx& config_of(Tango::DeviceProxy& proxy, const TangoName& name) {
    const std::string key = name.device_key() + "/" + lower(name.attribute);
    auto it = configs_.find(key);
    if (it == configs_.end())
      it = configs_.emplace(key, proxy.get_attribute_config(name.attribute)).first;
    return it->second;
  }

  // The labels of a DevEnum attribute (its configuration is asked only then).
  std::vector<std::string> enum_labels(Tango::DeviceProxy& proxy, const TangoName& name,
                                       Tango::DeviceAttribute& value) {
    if (value.has_failed() || value.get_type() != Tango::DEV_ENUM) return {};
    return config_of(proxy, name).enum_labels;
  }

  bool read_together(const std::vector<TangoName>& names, const std::vector<size_t>& members,
                     EqData* const* out) {
    std::vector<std::string> attributes;
    for (size_t i : members) attributes.push_back(names[i].attribute);
    EqData failure;
    std::unique_ptr<std::vector<Tango::DeviceAttribute>> values;
    Tango::DeviceProxy* proxy = nullptr;
    const int code = guarded(failure, [&] {
      proxy = &proxy_of(names[members.front()]);
      values.reset(proxy->read_attributes(attributes));
      return 0;
    });
    if (code != 0) {
      // A device that cannot be reached fails every read the same way; other
      // failures are worth asking one by one.
      if (code != unavail_serv && code != no_ens_entry) return false;
      for (size_t i : members) out[i]->copy_from(failure);
      return true;
    }
    if (values == nullptr || values->size() != members.size()) return false;
    for (size_t k = 0; k < members.size(); ++k) {
      EqData& result = *out[members[k]];
      guarded(result, [&] {
        Tango::DeviceAttribute& value = (*values)[k];
        return to_eqdata(value, enum_labels(*proxy, names[members[k]], value), result);
      });
    }
    return true;
  }

  // Names of members, families or domains from the Tango database.
  int database_names(const EqAdr& adr, const TangoName& name, std::vector<std::string>& list,
                     EqData& out) {
    if (name.no_database) {
      out.init();
      out.error(ill_parameter, "no Tango database to list devices (#dbase=no)");
      return out.error();
    }
    Tango::Database& db = database_of(name);
    std::string pattern;
    Tango::DbDatum answer;
    // The database matches the pattern itself.
    if (has_wildcard(adr.facility())) {
      pattern = adr.facility();
      answer = db.get_device_domain(pattern);
    } else if (has_wildcard(adr.device())) {
      pattern = adr.facility() + "/" + adr.device();
      answer = db.get_device_family(pattern);
    } else {
      pattern = adr.facility() + "/" + adr.device() + "/" + adr.location();
      answer = db.get_device_member(pattern);
    }
    answer >> list;
    return 0;
  }

  Tango::Database& database_of(const TangoName& name) {
    const std::string key = lower(name.db_host) + ":" + std::to_string(name.db_port);
    auto it = databases_.find(key);
    if (it != databases_.end()) return *it->second;
    std::unique_ptr<Tango::Database> db;
    if (name.db_host.empty()) {
      db = std::make_unique<Tango::Database>();
    } else {
      std::string host = name.db_host;
      db = std::make_unique<Tango::Database>(host, name.db_port);
    }
    return *databases_.emplace(key, std::move(db)).first->second;
  }

  std::map<std::string, std::unique_ptr<Tango::DeviceProxy>> proxies_;
  std::map<std::string, std::unique_ptr<Tango::Database>> databases_;
  std::map<std::string, Tango::AttributeInfoEx> configs_;
  std::vector<Subscription> subscriptions_;  // ended by the destructor, before the proxies go
  std::chrono::milliseconds timeout_{0};
};

}  // namespace
}  // namespace vanto::tango

extern "C" __attribute__((visibility("default"))) void vanto_backend_create(
    std::unique_ptr<vanto::backend::Backend>* made, std::string* why) {
  try {
    *made = std::make_unique<vanto::tango::TangoBackend>();
  } catch (const std::exception& e) {
    *why = std::string("tango: the backend could not start: ") + e.what();
  } catch (...) {
    *why = "tango: the backend could not start";
  }
}
