// load_client -s HOST:PORT -c CLIENT [-n REQUESTS] [-w WINDOW] [-t SECONDS]
// One client process of the load test: mixed gets and sets on the channels
// TEST.LOAD/CLIENT/C<CLIENT>/{INT,DOUBLE,STRING}, then a read-back of each.
// Prints one line of figures; status 0 when every request got exactly one
// reply and every read showed the last value written, 1 otherwise, 2 on a
// usage error.
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <iostream>
#include <optional>

#include "load_session.h"

namespace {

std::optional<long> number(const char* text, long low, long high) {
  long value = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, ec] = std::from_chars(text, end, value);
  if (ec != std::errc() || stop != end || value < low || value > high) return std::nullopt;
  return value;
}

int usage(const char* program) {
  std::cerr << "Usage: " << program
            << " -s HOST:PORT -c CLIENT(1-16) [-n REQUESTS] [-w WINDOW] [-t SECONDS]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  vantoload::LoadOptions options;
  int c = 0;
  while ((c = ::getopt(argc, argv, "s:c:n:w:t:")) != -1) {
    std::optional<long> value;
    switch (c) {
      case 's': options.server = optarg; continue;
      case 'c':
        value = number(optarg, 1, 16);
        if (value) options.client = static_cast<int>(*value);
        break;
      case 'n':
        value = number(optarg, 3, 100'000'000);
        if (value) options.requests = *value;
        break;
      case 'w':
        value = number(optarg, 1, 10'000);
        if (value) options.window = static_cast<int>(*value);
        break;
      case 't':
        value = number(optarg, 1, 3600);
        if (value) options.silence = std::chrono::seconds(*value);
        break;
      default: return usage(argv[0]);
    }
    if (!value) return usage(argv[0]);
  }
  if (options.server.empty() || optind != argc) return usage(argv[0]);
  try {
    const vantoload::LoadFigures figures = vantoload::run_load(options, std::cerr);
    std::cout << vantoload::figures_line(options.client, figures) << std::endl;
    return figures.clean() ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "load client " << options.client << ": " << e.what() << "\n";
    return 1;
  }
}
