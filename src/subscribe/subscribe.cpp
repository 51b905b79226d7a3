#include "subscribe.h"

#include <chrono>
#include <exception>
#include <future>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include <vanto/eqcall.h>
#include <vanto/errors.h>
#include <vanto/timestamp.h>

#include "escaped_errors.h"

namespace vantosub {

namespace {

// Writes whole lines from any thread: the library's delivery thread and the
// main thread never interleave within a line. A line that could not be
// written is remembered: nobody sees the updates any more.
class LineWriter {
 public:
  explicit LineWriter(std::ostream& out) : out_(out) {}
  void write(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.write(line.data(), static_cast<std::streamsize>(line.size()));
    out_.flush();
    if (!out_) failed_ = true;
  }
  bool failed() const { return failed_.load(); }

 private:
  std::ostream& out_;
  std::mutex mutex_;
  std::atomic<bool> failed_{false};
};

// Returns at a stop request, or false at once when the output failed.
bool sleep_until_stopped(const std::atomic<bool>& stop, const LineWriter& writer) {
  while (!stop.load()) {
    if (writer.failed()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return !writer.failed();
}

}  // namespace

std::optional<vanto::EqAdr> parse_args(int argc, const char* const* argv, std::ostream& err,
                                       ReturnCode& status) {
  if (argc != 2) {
    err << "Usage: " << (argc > 0 && argv[0] ? argv[0] : "vantozmq_subscribe")
        << " <vanto_address>\n"
        << "Subscribe to the given address with VANTO-over-ZeroMQ and print\n"
        << "all received data packets.\n\n";
    status = usage_error;
    return std::nullopt;
  }
  vanto::EqAdr address(argv[1]);
  // A Channel Access name needs one field ("epics:TEST:AO"), others all four.
  const bool one_field_will_do = address.protocol() == "epics";
  if (address.facility().empty() ||
      (!one_field_will_do && (address.device().empty() || address.location().empty() ||
                              address.property().empty()))) {
    err << "Invalid VANTO address: " << argv[1] << "\n";
    status = invalid_address;
    return std::nullopt;
  }
  status = success;
  return address;
}

std::string update_line(const std::string& local_time, const vanto::EqData& data) {
  return local_time + " DATA_" + vanto::EqData::type_string(data.type()) + " " +
         data.get_string() + "\n";
}

ReturnCode run_subscription(const vanto::EqAdr& address, std::ostream& out, std::ostream& err,
                            const std::atomic<bool>& stop) {
  LineWriter writer(out);
  try {
    vanto::EqCall call;
    writer.write("Subscribing to " + vantocli::escape_control_bytes(address.show_adr()) +
                 " ...\n");
    std::future<void> established =
        call.subscribe(address, [&writer](const vanto::EqData& data) {
          const std::string now =
              vanto::format_localtime(vanto::Timestamp::now(), "%Y-%m-%dT%H:%M:%S");
          writer.write(update_line(now, data));
        });
    established.get();  // rethrows the failure of the subscription
    writer.write("Subscription established successfully. Press Ctrl-C to stop.\n");
    return sleep_until_stopped(stop, writer) ? success : unspecific_error;
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
