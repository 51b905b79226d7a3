// The client objects every write of one vantoput run shares.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include <vanto/eqadr.h>
#include <vanto/eqcall.h>
#include <vanto/eqdata.h>

namespace vantoput {

struct WriterSession {
  WriterSession(std::ostream& out_stream, std::ostream& err_stream)
      : out(out_stream), err(err_stream) {}

  vanto::EqData data;       // the value to send; also the request of get calls
  vanto::EqData result;     // the reply of get and set calls
  vanto::EqData read_back;  // the channel as read right behind a set
  vanto::EqAdr address;     // the address of the current call
  vanto::EqCall call;
  std::ostream& out;
  std::ostream& err;
  // Set while one run writes many channels (restore, wildcard): every
  // message of a failed channel then names it.
  bool many_channels = false;
};

// A leading "@" asks the writer to go on after a failed type-detecting read.
bool goes_on_after_failed_read(const std::string& chan);

// Points session.address at chan (without its "@"), merged with mrg if given.
// Returns false after a message when the address cannot be parsed.
bool set_target_address(WriterSession& s, const std::string& chan,
                        const std::optional<std::string>& mrg);

// Reports a failed call on s.err: its error text, code and the address called.
void report_failed_call(WriterSession& s, const vanto::EqData& result, const vanto::EqAdr& address);

// The channel's data type by a get call into s.result; -1 after the message
// when the read fails and chan does not begin with "@" (which takes the type
// of the error reply instead).
int detect_type(WriterSession& s, const std::string& chan);

// Writes s.data into s.address, the read-back into s.read_back in the same
// round trip; result receives the write's reply. Returns its code.
int set_and_read_back(WriterSession& s, vanto::EqData& result);

// Prints the value of a successful set as read back, unless it is an XML
// document.
void print_read_back(WriterSession& s, int type, const vanto::EqData& read_back);

// Writes s.data (of type type) into s.address: the write's error text on
// failure (status 1), else the read-back value (status 0).
int write_value(WriterSession& s, int type);

}  // namespace vantoput
