// read_channel: reads one channel and prints its value and time stamp.
//
//   read_channel TEST.SIM/SCALAR/LOC1/INT
//   TEST.SIM/SCALAR/LOC1/INT = 42 at 2026-01-31 12:00:00.250000 UTC
//
// A small program written against the installed libvanto headers only, as
// any program outside this package would be. Build it with
//   c++ -std=c++20 read_channel.cpp -lvanto
// The server is found through the name service at VANTO_ENS ("host:port"),
// or given in the address ("vanto://host:port/F/D/L/P").
//
// Exit status: 0 when the value was read, 1 when the read failed (the error
// is printed on standard error), 2 for a wrong command line.
#include <cstdio>
#include <ctime>
#include <exception>
#include <iostream>
#include <string>

#include <vanto/vanto.h>

namespace {

// "YYYY-MM-DD HH:MM:SS.uuuuuu UTC".
std::string utc_text(int64_t seconds, uint32_t micros) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm parts{};
  char date[32];
  if (gmtime_r(&t, &parts) == nullptr ||
      std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &parts) == 0)
    return std::to_string(seconds) + " s";
  char micro_text[16];
  std::snprintf(micro_text, sizeof micro_text, ".%06u", static_cast<unsigned>(micros % 1000000));
  return std::string(date) + micro_text + " UTC";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Usage: " << argv[0] << " <address>\n";
    return 2;
  }
  const vanto::EqAdr address(argv[1]);
  if (!address.error_text().empty()) {
    std::cerr << argv[0] << ": " << argv[1] << ": " << address.error_text() << '\n';
    return 2;
  }
  try {
    vanto::EqCall call;
    vanto::EqData value;
    if (const int code = call.get(address, value); code != vanto::ok) {
      std::cerr << argv[0] << ": " << address.show_adr() << ": error " << code << ", "
                << vanto::get_error_string(code) << ": " << value.error_text() << '\n';
      return 1;
    }
    std::cout << address.show_adr() << " = " << value.get_string() << " at "
              << utc_text(value.get_time(), value.get_time_usec()) << '\n';
  } catch (const std::exception& e) {  // the library could not start (no sockets, no threads)
    std::cerr << argv[0] << ": " << e.what() << '\n';
    return 1;
  }
  return 0;
}
