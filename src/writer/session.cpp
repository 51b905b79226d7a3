#include "session.h"

#include <value_text.h>

namespace vantoput {

bool goes_on_after_failed_read(const std::string& chan) { return !chan.empty() && chan[0] == '@'; }

bool set_target_address(WriterSession& s, const std::string& chan,
                        const std::optional<std::string>& mrg) {
  // The "@" is the writer's own mark, not part of the name.
  const std::string text = goes_on_after_failed_read(chan) ? chan.substr(1) : chan;
  const int code = s.address.adr(text);
  if (code != 0) {
    s.err << s.address.error_text() << " , result.error() = " << code << " for address " << chan
          << "\n";
    return false;
  }
  if (mrg) s.address.merge(*mrg);
  return true;
}

void report_failed_call(WriterSession& s, const vanto::EqData& result,
                        const vanto::EqAdr& address) {
  // The error text names at most the server: in a restore or a wildcard
  // write only the address tells which of many channels failed.
  s.err << vantocli::value_text(result) << " , result.error() = " << result.error()
        << " for address " << address.show_adr() << "\n";
}

int detect_type(WriterSession& s, const std::string& chan) {
  s.data.init();  // an empty request: a previous value must not become call arguments
  (void)s.call.get(&s.address, &s.data, &s.result);  // judged by the result's error below
  if (s.result.error() != 0 && !goes_on_after_failed_read(chan)) {
    report_failed_call(s, s.result, s.address);
    return -1;
  }
  return s.result.type();
}

int set_and_read_back(WriterSession& s, vanto::EqData& result) {
  const int code = s.call.set(&s.address, &s.data, &result, &s.read_back);
  if (code == 0) s.data.init();  // the next write starts from an empty value
  return code;
}

void print_read_back(WriterSession& s, int type, const vanto::EqData& read_back) {
  // The read-back is informative: an error there prints its text in place of
  // the value, and the write still counts as done.
  if (type != vanto::DATA_XML) s.out << vantocli::value_text(read_back) << "\n";
}

int write_value(WriterSession& s, int type) {
  set_and_read_back(s, s.result);
  if (s.result.error() != 0) {
    report_failed_call(s, s.result, s.address);
    return 1;
  }
  print_read_back(s, type, s.read_back);
  return 0;
}

}  // namespace vantoput
