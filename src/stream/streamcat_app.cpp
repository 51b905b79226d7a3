#include "streamcat_app.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

#include <vanto/eqadr.h>

#include "console.h"
#include "output.h"
#include "receive.h"
#include "stream_state.h"

namespace streamcat {
namespace {

bool takes_value(const std::string& word) {
  return word == "-c" || word == "-n" || word == "-d" || word == "-b" || word == "-t";
}

// Words of the list, split at spaces only (runs of spaces are one separator).
std::vector<std::string> split_at_spaces(const std::string& list) {
  std::vector<std::string> words;
  std::string word;
  for (char c : list) {
    if (c == ' ') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

// tput writes its escape bytes straight to file descriptor 1: only a
// terminal gets them, and only behind everything printed so far, so they
// never land inside data that a file or a pipe receives.
void run_tput(bool wanted, const char* command) {
  if (!wanted || !isatty(STDOUT_FILENO)) return;
  flush_console();
  // The terminal's answer does not matter.
  [[maybe_unused]] int status = std::system(command);
}

void copy_text(char* field, size_t size, const std::string& text) {
  std::snprintf(field, size, "%s", text.c_str());
}

// The settings of a run, taken from its options.
void apply_options(const StreamOptions& options, StreamState& st) {
  st.cycles = options.cycles;
  st.debug = options.debug;
  // A depth below 1 counts as 1: an event must have somewhere to wait.
  st.bufs = options.bufs < 1 ? 1u : static_cast<unsigned int>(options.bufs);
  st.keep = options.keep;
  st.connect_timeout = options.connect_timeout;
}

}  // namespace

vantocli::Parsed<StreamOptions> parse_options(int argc, const char* const* argv,
                                              std::ostream& out) {
  StreamOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "-k") {
      options.keep = true;
      continue;
    }
    if (!takes_value(word) || i + 1 >= argc) break;
    const char* value = argv[++i];
    switch (word[1]) {
      case 'c':
        options.list = value;
        options.have_list = true;
        break;
      case 'n': options.cycles = std::atoi(value); break;
      case 'd': options.debug = std::atoi(value); break;
      case 'b': options.bufs = std::atoi(value); break;
      case 't': options.connect_timeout = std::atoi(value); break;
    }
  }
  if (options.have_list) return vantocli::Parsed<StreamOptions>::run_with(std::move(options));
  print_usage(out, argc > 0 && argv[0] != nullptr ? argv[0] : "streamcat", options);
  return vantocli::Parsed<StreamOptions>::end_with(kUsageStatus);
}

void print_usage(std::ostream& out, const char* program, const StreamOptions& options) {
  out << format(
             "Usage: %s -c VANTO_address [-n cycles][-d debug_level] [-b buffers] [-k] [-t "
             "con_tmout]\n",
             program)
      << "\n"
      << "VANTO_addres   property VANTO addres to subscribe\n"
      << "               there can be a list of addess separated by spaces 'addr1 addr2 addr3'\n"
      << format("cycles         number of get cycles (default:%d)\n", options.cycles)
      << format("debug_level    debug_level (default:%d)  as:\n", options.debug)
      << "          0 - print nothing (silent mode)\n"
      << "          1 - print data type, timing/event/status info\n"
      << "          2 - print data for simple data types and info for arrays/images\n"
      << "          3 - print parameters for all data types\n"
      << "          4 - print data for all data types\n"
      << format("buffers   depths of  the buffer for data synchronization (default:%d)\n",
                options.bufs)
      << "-k        keep 'old' entries - no new data if the buffer is full,\n"
      << "          if not set, the old data will be removed automatically from the buffer to put "
         "new once\n"
      << format("con_tmout timeout to get first data after connection (default:%d)\n",
                options.connect_timeout);
}

int run_streamcat(const StreamOptions& options, std::ostream& out, std::ostream& err) {
  set_console(out, err);
  const std::vector<std::string> words = split_at_spaces(options.list);
  say_err(format("%d addresses found\n", static_cast<int>(words.size())));
  if (words.empty()) {
    // Nothing would ever wake the output thread: refuse before any thread.
    say_err("no address in the list given with -c\n");
    return kUsageStatus;
  }
  // Other control systems' addresses have no VANTO stream to read: refuse
  // them before any thread starts.
  for (const std::string& word : words) {
    if (const std::string protocol = vanto::EqAdr(word).protocol();
        protocol == "tango" || protocol == "epics") {
      say_err(format("%s: streamcat reads VANTO streams only, %s: addresses have none\n",
                     word.c_str(), protocol.c_str()));
      flush_console();
      return 1;
    }
  }
  StreamState state;
  apply_options(options, state);
  const StopOnEndingSignal ending_signals_stop(state.stop);
  say_err("They are:\n");
  for (size_t i = 0; i < words.size(); ++i)
    say_err(format("[%d]\t%s\n", static_cast<int>(i), words[i].c_str()));
  if (words.size() > kMaxChannels) {
    say_err(format("WARNING: you number of channels exeeds the maximum (%d)\n", kMaxChannels));
    say_err(format("WARNING: only first %d channels will be used\n", kMaxChannels));
  }
  state.nchans = static_cast<int>(std::min<size_t>(words.size(), kMaxChannels));

  chan_cb callback_node;
  callback_node.cb = filing_call_back(state);
  std::vector<chan> channels(static_cast<size_t>(state.nchans));
  for (int i = 0; i < state.nchans; ++i) {
    const vanto::EqAdr address(words[static_cast<size_t>(i)]);
    channels[static_cast<size_t>(i)].root = &callback_node;
    copy_text(channels[static_cast<size_t>(i)].prop, sizeof channels[0].prop, address.property());
    copy_text(channels[static_cast<size_t>(i)].name, sizeof channels[0].name,
              words[static_cast<size_t>(i)]);
  }

  std::thread output([&state] { print_msg(state); });
  run_tput(options.terminal_cursor, "tput civis");
  int status = 0;
  if (!init(options.zmq_library.c_str())) {
    say_err("init () failed\n");
    status = 1;
    stop_and_wake(state);
  } else {
    dmsg_rcv(state, channels.data(), state.nchans);
    lib_zmq_ctx_destroy(context);
    context = nullptr;
    status = state.receive_failed ? 1 : 0;
  }
  output.join();
  take_ending_signal(std::chrono::microseconds(0));  // one that came during the join
  clear_buffer(state);
  flush_console();
  run_tput(options.terminal_cursor, "tput cnorm");
  return status;
}

}  // namespace streamcat
