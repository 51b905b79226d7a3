#include "write_many.h"

#include <algorithm>
#include <ostream>
#include <sstream>
#include <vector>

#include "write_to_dev.h"

namespace vantoput {
namespace {

// Channels prepared and written together: bounds what is held at once.
constexpr std::size_t kWindow = 256;

// Collects what an error stream receives while it lives, so that a
// channel's messages can be printed in channel order after the writes that
// went out together.
class CapturedErrors {
 public:
  explicit CapturedErrors(std::ostream& err)
      : err_(err), state_(err.rdstate()), saved_(err.rdbuf(text_.rdbuf())) {}
  ~CapturedErrors() {
    err_.rdbuf(saved_);
    err_.clear(state_);
  }
  CapturedErrors(const CapturedErrors&) = delete;
  CapturedErrors& operator=(const CapturedErrors&) = delete;
  std::string text() const { return text_.str(); }

 private:
  std::ostream& err_;
  std::ios_base::iostate state_;
  std::ostringstream text_;
  std::streambuf* saved_;
};

// One channel of a window on its way.
struct Pending {
  std::string messages;  // what its preparation printed on the error stream
  bool addressed = false;
  bool ready = false;  // prepared: the write goes out
  int type = -1;
  vanto::EqAdr address;
  vanto::EqData value;
  vanto::EqData result;  // the type-detecting read's reply, then the write's
  vanto::EqData read_back;
};

// Parses the address of every channel whose type is to be detected and reads
// them all together into their result.
void detect_types(WriterSession& s, std::span<const ChannelWrite> writes,
                  const std::optional<std::string>& mrg, std::vector<Pending>& pending) {
  std::vector<vanto::EqAdr*> addresses;
  std::vector<vanto::EqData*> results;
  for (std::size_t k = 0; k < writes.size(); ++k) {
    if (writes[k].type != -1) continue;
    const CapturedErrors captured(s.err);
    pending[k].addressed = set_target_address(s, writes[k].chan, mrg);
    pending[k].messages += captured.text();
    if (!pending[k].addressed) continue;
    pending[k].address = s.address;
    addresses.push_back(&pending[k].address);
    results.push_back(&pending[k].result);
  }
  vanto::EqData no_request;
  // Each result carries its own error, which its channel's write judges.
  (void)s.call.get_many(addresses.data(), &no_request, results.data(), addresses.size());
}

// Builds channel k's value as write_to_dev would, its type known or detected.
void prepare(WriterSession& s, const ChannelWrite& write, const std::optional<std::string>& mrg,
             Pending& p) {
  int type = write.type;
  const CapturedErrors captured(s.err);
  if (type == -1) {
    if (!p.addressed) return;
    if (p.result.error() != 0 && !goes_on_after_failed_read(write.chan)) {
      report_failed_call(s, p.result, p.address);
      p.messages += captured.text();
      return;
    }
    type = p.result.type();
  }
  type = prepare_write(s, write.chan, type, write.value, mrg);
  p.messages += captured.text();
  if (type == -1) return;
  p.type = type;
  p.address = s.address;
  p.value.copy_from(s.data);
  s.data.init();
  p.ready = true;
}

// Sends the writes of every prepared channel together.
void send_writes(WriterSession& s, std::vector<Pending>& pending) {
  std::vector<vanto::EqAdr*> addresses;
  std::vector<vanto::EqData*> values, results, read_backs;
  for (Pending& p : pending) {
    if (!p.ready) continue;
    addresses.push_back(&p.address);
    values.push_back(&p.value);
    results.push_back(&p.result);
    read_backs.push_back(&p.read_back);
  }
  // Each result carries its own error, which is reported per channel.
  (void)s.call.set_many(addresses.data(), values.data(), results.data(), read_backs.data(),
                        addresses.size());
}

}  // namespace

std::size_t write_many(WriterSession& s, std::span<const ChannelWrite> writes,
                       const std::optional<std::string>& mrg,
                       const std::function<void(std::size_t)>& before_each) {
  std::size_t failed = 0;
  for (std::size_t start = 0; start < writes.size(); start += kWindow) {
    const auto window = writes.subspan(start, std::min(kWindow, writes.size() - start));
    std::vector<Pending> pending(window.size());
    detect_types(s, window, mrg, pending);
    for (std::size_t k = 0; k < window.size(); ++k) prepare(s, window[k], mrg, pending[k]);
    send_writes(s, pending);
    // Reported in channel order, as if each had been written alone.
    for (std::size_t k = 0; k < window.size(); ++k) {
      const Pending& p = pending[k];
      if (before_each) before_each(start + k);
      s.err << p.messages;
      if (!p.ready) {
        ++failed;
      } else if (p.result.error() != 0) {
        report_failed_call(s, p.result, p.address);
        ++failed;
      } else {
        print_read_back(s, p.type, p.read_back);
      }
    }
  }
  return failed;
}

}  // namespace vantoput
