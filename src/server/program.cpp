#include "program.h"

#include <getopt.h>
#include <sys/resource.h>

#include <charconv>
#include <cstring>
#include <utility>

namespace vantoserver {

namespace {

void usage(std::ostream& os, const char* program) {
  os << "Usage: " << program << " [--bind ADDR] [--port N] [--allow-faults] CONFIG\n"
     << "Serves the channels of the TOML configuration CONFIG, answers the name service\n"
     << "and publishes streams and subscriptions.\n\n"
     << "  -b, --bind ADDR     address to listen on (default 127.0.0.1)\n"
     << "  -p, --port N        port of requests and name service (default 5600; 0 picks a\n"
     << "                      free port)\n"
     << "      --allow-faults  accept fault injection commands (for tests; off by default)\n"
     << "  -h, --help          show this text\n";
}

bool parse_port(const char* text, int& port) {
  const char* end = text + std::strlen(text);
  const auto [stop, ec] = std::from_chars(text, end, port);
  return ec == std::errc() && stop == end && port >= 0 && port <= 65535;
}

// Every client connection takes a file descriptor: the soft limit (often
// 1024) is raised to the hard one, so that the connection limit is the
// system's and not an accident of the shell that started the server.
void raise_open_file_limit(std::ostream& err) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  if (limit.rlim_cur != RLIM_INFINITY)
    err << "vantoserver: at most " << limit.rlim_cur << " open files (connections)" << std::endl;
}

}  // namespace

vantocli::Parsed<ProgramOptions> parse_options(int argc, char** argv, std::ostream& out,
                                               std::ostream& err) {
  using Parsed = vantocli::Parsed<ProgramOptions>;
  constexpr int kUsageError = 2;
  constexpr int kAllowFaults = 1000;  // a long option only
  static const option long_options[] = {{"bind", required_argument, nullptr, 'b'},
                                        {"port", required_argument, nullptr, 'p'},
                                        {"allow-faults", no_argument, nullptr, kAllowFaults},
                                        {"help", no_argument, nullptr, 'h'},
                                        {nullptr, 0, nullptr, 0}};
  const char* program = argc > 0 ? argv[0] : "vantoserver";
  ProgramOptions options;
  optind = 1;
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, ":b:p:h", long_options, nullptr)) != -1) {
    switch (c) {
      case 'b': options.server.bind = optarg; break;
      case 'p':
        if (!parse_port(optarg, options.server.port)) {
          err << program << ": invalid port '" << optarg << "'\n";
          usage(err, program);
          return Parsed::end_with(kUsageError);
        }
        break;
      case kAllowFaults: options.server.allow_faults = true; break;
      case 'h': usage(out, program); return Parsed::end_with(0);
      default:
        err << program << ": " << (c == ':' ? "missing argument for an option" : "unknown option")
            << "\n";
        usage(err, program);
        return Parsed::end_with(kUsageError);
    }
  }
  if (argc - optind != 1) {
    usage(err, program);
    return Parsed::end_with(kUsageError);
  }
  options.config_path = argv[optind];
  return Parsed::run_with(std::move(options));
}

int run_server(const ProgramOptions& options, std::ostream& out, std::ostream& err,
               const std::function<void()>& wait_for_stop) {
  Config config;
  try {
    config = load_config(options.config_path);
  } catch (const std::exception& e) {
    err << "vantoserver: " << e.what() << std::endl;
    return 1;
  }
  const size_t channels = config.registry->channels().size();
  raise_open_file_limit(err);
  std::unique_ptr<Server> server;
  try {
    server = std::make_unique<Server>(std::move(config), options.server, err);
  } catch (const std::exception& e) {
    err << "vantoserver: cannot listen on " << options.server.bind << ":" << options.server.port
        << ": " << e.what() << std::endl;
    return 1;
  }
  server->start();
  err << "vantoserver: " << channels << " channels from " << options.config_path << std::endl;
  out << "vantoserver listening on " << server->bind_host() << ":" << server->port() << std::endl;
  wait_for_stop();
  err << "vantoserver: stopping" << std::endl;
  server->stop();
  err << "vantoserver: stopped" << std::endl;
  return 0;
}

}  // namespace vantoserver
