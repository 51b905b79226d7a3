// Parsing, merging and text form of channel addresses.
#include "vanto/eqadr.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <vector>

#include "vanto/errors.h"

namespace vanto {
namespace {

constexpr std::array<std::string_view, 4> kProtocols = {"vanto", "rask", "epics", "tango"};

// Length of a known protocol prefix "name:" at the start of text, 0 if none.
// "host:5555;2" is not a prefix: only the four protocol names are. Runs once
// per address of a list of thousands: nothing is allocated.
size_t protocol_prefix(const std::string& text, std::string* protocol) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return 0;
  for (const std::string_view name : kProtocols) {
    if (name.size() != colon) continue;
    const bool same = std::equal(name.begin(), name.end(), text.begin(), [](char p, char t) {
      return std::tolower(static_cast<unsigned char>(t)) == p;
    });
    if (same) {
      protocol->assign(name);
      return colon + 1;
    }
  }
  return 0;
}

std::vector<std::string> split_fields(const std::string& text) {
  std::vector<std::string> fields;
  fields.reserve(4);
  size_t start = 0;
  for (;;) {
    const size_t slash = text.find('/', start);
    fields.emplace_back(text, start, slash == std::string::npos ? slash : slash - start);
    if (slash == std::string::npos) return fields;
    start = slash + 1;
  }
}

// Port text of a "scheme://host:port/" address: 1 to 65535, digits only.
bool parse_port(const std::string& text, int* port) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  *port = value;
  return true;
}

}  // namespace

int EqAdr::adr(const std::string& text) {
  prefix_.clear();
  protocol_.clear();
  host_.clear();
  port_ = 0;
  facility_.clear();
  device_.clear();
  location_.clear();
  property_.clear();
  error_text_.clear();

  auto fail = [this](const std::string& why) {
    prefix_.clear();
    protocol_.clear();
    host_.clear();
    port_ = 0;
    facility_.clear();
    device_.clear();
    location_.clear();
    property_.clear();
    error_text_ = why;
    return static_cast<int>(bad_address);
  };

  std::string protocol;
  size_t pos = protocol_prefix(text, &protocol);
  std::string host;
  int port = 0;
  if (pos > 0 && text.compare(pos, 2, "//") == 0) {
    // scheme://host:port/F/D/L/P
    const size_t host_start = pos + 2;
    const size_t slash = text.find('/', host_start);
    const std::string server = text.substr(
        host_start, slash == std::string::npos ? std::string::npos : slash - host_start);
    const size_t colon = server.rfind(':');
    if (colon == std::string::npos) return fail("address '" + text + "': server without port");
    host = server.substr(0, colon);
    if (host.empty()) return fail("address '" + text + "': empty server host");
    if (!parse_port(server.substr(colon + 1), &port)) {
      return fail("address '" + text + "': malformed port");
    }
    pos = slash == std::string::npos ? text.size() : slash + 1;
  }
  const std::string rest = text.substr(pos);
  if (rest.empty()) return fail("address '" + text + "': no fields");
  const std::vector<std::string> fields = split_fields(rest);
  if (fields.size() > 4) return fail("address '" + text + "': more than four fields");

  prefix_ = text.substr(0, pos);
  protocol_ = protocol;
  host_ = host;
  port_ = port;
  facility_ = fields[0];
  if (fields.size() > 1) device_ = fields[1];
  if (fields.size() > 2) location_ = fields[2];
  if (fields.size() > 3) property_ = fields[3];
  return ok;
}

void EqAdr::set(const std::string& facility, const std::string& device, const std::string& location,
                const std::string& property) {
  facility_ = facility;
  device_ = device;
  location_ = location;
  property_ = property;
}

void EqAdr::merge(const std::string& partial) {
  std::string protocol;
  const size_t pos = protocol_prefix(partial, &protocol);
  const std::vector<std::string> fields = split_fields(partial.substr(pos));
  if (fields.size() > 4) return;  // not an address: nothing to overlay
  std::string* targets[4] = {&facility_, &device_, &location_, &property_};
  for (size_t i = 0; i < fields.size(); ++i) {
    const std::string& given = fields[i];
    if (given.empty()) continue;
    if (i == 3 && given[0] == '.') {
      property_ += given;  // "///.TARGET": PS becomes PS.TARGET
    } else {
      *targets[i] = given;
    }
  }
}

std::string EqAdr::channel() const {
  return facility_ + "/" + device_ + "/" + location_ + "/" + property_;
}

std::string EqAdr::show_adr() const {
  std::string shown = prefix_ + channel();
  // A Channel Access name is often one field ("epics:TEST:AO"): it is shown
  // as it was written, not with empty fields after it.
  if (protocol_ == "epics") {
    while (shown.ends_with('/')) shown.pop_back();
  }
  return shown;
}

}  // namespace vanto
