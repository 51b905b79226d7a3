#include "subscribe.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>

#include <vanto/eqcall.h>
#include <vanto/errors.h>
#include <vanto/timestamp.h>

#include "escaped_errors.h"

namespace vantosub {

namespace {

// Hands the update lines from the library's delivery thread to the thread
// that writes them: the delivery thread only formats and appends, the
// writing thread takes everything that has gathered at once, so a fast
// channel costs one write for many lines and a slow one a write per line.
// The gathered text is bounded: a delivery that finds it full waits for the
// writer (and the subscription's own queue takes up the slack).
class LineHandOver {
 public:
  explicit LineHandOver(std::ostream& out) : out_(out) {}
  ~LineHandOver() { close(); }
  LineHandOver(const LineHandOver&) = delete;
  LineHandOver& operator=(const LineHandOver&) = delete;

  // Writes a line at once; only before write_until_stopped, from its thread.
  bool write_now(const std::string& line) { return write(line); }

  // From the delivery thread: the line of one update, received now.
  void add(const vanto::EqData& data) {
    const vanto::Timestamp now = vanto::Timestamp::now();
    if (now.sec != time_sec_) {  // strftime once a second, not once a line
      time_sec_ = now.sec;
      time_text_ = vanto::format_localtime(now, "%Y-%m-%dT%H:%M:%S");
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pending_.size() < kMostPending || closed_; });
    if (closed_) return;
    const bool was_empty = pending_.empty();
    append_update_line(pending_, time_text_, data);
    if (was_empty) changed_.notify_all();
  }

  // Writes the gathered lines as they come until stop (true) or until out
  // fails (false). Either way no line is taken any more afterwards.
  bool write_until_stopped(const std::atomic<bool>& stop) {
    std::string taken;
    bool written = true;
    while (written && !stop.load()) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kStopCheck, [this] { return !pending_.empty(); });
        taken.swap(pending_);
      }
      changed_.notify_all();  // room for the delivery thread again
      if (!taken.empty()) written = write(taken);
      taken.clear();
    }
    close();
    return written;
  }

  // Ends the hand-over: a delivery waiting for room returns at once, and no
  // line is taken any more.
  void close() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    changed_.notify_all();
  }

 private:
  // Gathered text at which the delivery thread waits for the writer.
  static constexpr size_t kMostPending = size_t{1} << 20;
  // How often a writer with nothing to write looks at the stop request.
  static constexpr std::chrono::milliseconds kStopCheck{100};

  bool write(const std::string& text) {
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    out_.flush();
    return static_cast<bool>(out_);
  }

  std::ostream& out_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string pending_;  // guarded by mutex_
  bool closed_ = false;  // guarded by mutex_
  // Used by the delivery thread alone.
  int64_t time_sec_ = -1;
  std::string time_text_;
};

}  // namespace

vantocli::Parsed<vanto::EqAdr> parse_options(int argc, const char* const* argv, std::ostream& err) {
  using Parsed = vantocli::Parsed<vanto::EqAdr>;
  if (argc != 2) {
    err << "Usage: " << (argc > 0 && argv[0] ? argv[0] : "vantozmq_subscribe")
        << " <vanto_address>\n"
        << "Subscribe to the given address with VANTO-over-ZeroMQ and print\n"
        << "all received data packets.\n\n";
    return Parsed::end_with(usage_error);
  }
  vanto::EqAdr address(argv[1]);
  // A Channel Access name needs one field ("epics:TEST:AO"), others all four.
  const bool one_field_will_do = address.protocol() == "epics";
  if (address.facility().empty() ||
      (!one_field_will_do &&
       (address.device().empty() || address.location().empty() || address.property().empty()))) {
    err << "Invalid VANTO address: " << argv[1] << "\n";
    return Parsed::end_with(invalid_address);
  }
  return Parsed::run_with(std::move(address));
}

void append_update_line(std::string& out, std::string_view local_time, const vanto::EqData& data) {
  out += local_time;
  out += " DATA_";
  out += vanto::EqData::type_string(data.type());
  out += ' ';
  out += data.get_string();
  out += '\n';
}

ReturnCode run_subscription(const vanto::EqAdr& address, std::ostream& out, std::ostream& err,
                            const std::atomic<bool>& stop) {
  LineHandOver lines(out);
  try {
    if (!lines.write_now("Subscribing to " + vantocli::escape_control_bytes(address.show_adr()) +
                         " ...\n"))
      return unspecific_error;
    vanto::EqCall call;
    vanto::Subscription subscription;
    // Closed before the subscription ends, on every way out, so that a
    // delivery waiting for room never keeps it from ending.
    const std::unique_ptr<LineHandOver, void (*)(LineHandOver*)> closes_first(
        &lines, [](LineHandOver* hand_over) { hand_over->close(); });
    subscription =
        call.subscribe(address, [&lines](const vanto::EqData& data) { lines.add(data); });
    subscription.established().get();  // rethrows the failure of the subscription
    // The updates that came meanwhile wait for the writer: this line comes first.
    if (!lines.write_now("Subscription established successfully. Press Ctrl-C to stop.\n"))
      return unspecific_error;
    return lines.write_until_stopped(stop) ? success : unspecific_error;
  } catch (const vanto::ErrorCode& e) {
    err << "Error " << e.code() << ", " << vanto::get_error_string(e.code()) << ": " << e.what()
        << "\n";
    return e.code() == vanto::no_ens_entry ? invalid_address : unspecific_error;
  } catch (const std::exception& e) {
    err << "Error: " << e.what() << "\n";
    return unspecific_error;
  }
}

}  // namespace vantosub
