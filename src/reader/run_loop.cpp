#include "run_loop.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "array_stage.h"
#include "picture_stage.h"
#include "plain_read.h"
#include "reader_context.h"
#include "retried_call.h"
#include "sr_stage.h"
#include "table_stage.h"
#include "value_line.h"
#include "value_text.h"
#include "wildcard_stage.h"

namespace vantoget {

namespace {

bool has_wildcard(const std::string& name) { return name.find('*') != std::string::npos; }

// The checks of a single name with '*' before the loop, then the device pass.
StageResult check_single_wildcard(ReaderContext& ctx) {
  const std::string& name = ctx.options.channel.front();
  // A pattern has at most four fields. Tango's names may start with their
  // database or server ("tango://host:port/"), whose slashes do not count.
  const bool parsed = ctx.address.adr(name) == 0;
  const bool too_long =
      ctx.address.protocol() == "tango" ? !parsed : std::count(name.begin(), name.end(), '/') > 3;
  if (too_long) {
    ctx.err << "invalid VANTO Address: " << name << ", exit \n";
    return 1;
  }
  // Channel Access lists no names: its backend's answer says so for any
  // pattern, not only for one in the device field.
  if (ctx.address.protocol() == "epics") {
    const int code =
        vantocli::retried_names(ctx.call, ctx.address, ctx.dst, ctx.src, ctx.options.retry);
    ctx.err << name << ": " << vantocli::value_text_arg(ctx.dst) << ", error = " << code << '\n';
    return 1;
  }
  const std::string facility =
      ctx.address.facility().empty() ? name.substr(0, name.find('/')) : ctx.address.facility();
  if (has_wildcard(facility)) {
    ctx.err << "not allowed address: " << name << '\n';
    return 1;
  }
  return device_name_prepass(ctx, name);
}

// system() ignores Ctrl-C and Ctrl-\ while the command runs, so that the
// command alone takes them. A command they ended ends the run too, as the
// key does between commands; otherwise a loop whose time goes mostly to its
// command could hardly be stopped from the terminal. Where the key was
// ignored before, it stays so.
void end_as_the_command_was_ended(int status) {
  if (!WIFSIGNALED(status)) return;
  const int signal_number = WTERMSIG(status);
  if (signal_number != SIGINT && signal_number != SIGQUIT) return;
  struct sigaction now {};
  if (sigaction(signal_number, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) return;
  std::cout.flush();
  std::cerr.flush();
  std::raise(signal_number);
}

StageResult run_shell_command(ReaderContext& ctx) {
  // The command writes to the same terminal or pipe: keep the order.
  ctx.out.flush();
  ctx.err.flush();
  std::cout.flush();
  const int rc = std::system(ctx.options.command.c_str());
  if (rc < 0) {
    ctx.err << "system() function error" << rc;
    return 1;
  }
  end_as_the_command_was_ended(rc);
  return std::nullopt;
}

StageResult read_channels(ReaderContext& ctx) {
  ctx.spect.clear();
  ctx.nonspect.clear();
  const std::vector<std::string>& names = ctx.options.channel;
  for (std::size_t i = 0; i < names.size();) {
    if (has_wildcard(names[i])) {
      if (StageResult r = expand_wildcard_name(ctx, i)) return r;
      ++i;
      continue;
    }
    // A run of plain names is read together.
    const auto end = std::find_if(names.begin() + static_cast<std::ptrdiff_t>(i), names.end(),
                                  [](const std::string& name) { return has_wildcard(name); });
    const auto count = static_cast<std::size_t>(end - names.begin()) - i;
    if (StageResult r = read_plain_names(ctx, std::span(names).subspan(i, count))) return r;
    i += count;
  }
  return std::nullopt;
}

// Values, arrays and the table of one iteration (after the names were read).
StageResult print_iteration(ReaderContext& ctx) {
  const ReaderOptions& o = ctx.options;
  if (StageResult r = svg_of_pass(ctx)) return r;
  if (o.array_flag) {
    if (ctx.spect.empty() && ctx.first_iteration) {
      ctx.err << " No proper channels specified for "
              << "-a option! Ignoring -a ..." << '\n';
    }
  } else if (!ctx.nonspect.append_all(ctx.spect)) {
    return table_full(ctx);
  }
  if (StageResult r = print_plain_values(ctx)) return r;
  if (o.array_flag && !ctx.spect.empty()) {
    if (StageResult r = array_pass(ctx)) return r;
  }
  if (o.table_flag) return write_table(ctx);
  return std::nullopt;
}

// One iteration. Returns a status to end with, or nullopt; pause tells whether
// the pause after it applies (-N skips it).
StageResult iteration(ReaderContext& ctx, bool& pause) {
  const ReaderOptions& o = ctx.options;
  pause = true;
  if (o.command_flag) {
    if (StageResult r = run_shell_command(ctx)) return r;
  }
  if (!o.channels_flag) return sr_stage(ctx);
  if (o.table_flag) {
    if (StageResult r = begin_table(ctx)) return r;
  }
  if (StageResult r = read_channels(ctx)) return r;
  if (o.names_flag) {
    pause = false;
    return std::nullopt;
  }
  return print_iteration(ctx);
}

void pause_for(float seconds, std::ostream& out) {
  out.flush();
  std::this_thread::sleep_for(std::chrono::microseconds(
      static_cast<std::chrono::microseconds::rep>(pause_microseconds(seconds))));
}

}  // namespace

std::uint64_t pause_microseconds(float seconds) {
  const float micros = seconds * 1000000.0f;
  if (!(micros > 0.0f)) return 0;  // also not-a-number
  if (micros >= static_cast<float>(kLongestPause)) return kLongestPause;
  return static_cast<std::uint64_t>(micros);
}

int run_reader(const ReaderOptions& options, std::ostream& out, std::ostream& err) {
  ReaderContext ctx(options, out, err);

  if (options.channels_flag && options.channel.size() == 1 &&
      has_wildcard(options.channel.front())) {
    if (StageResult r = check_single_wildcard(ctx)) return *r;
  }

  const long loop = options.loop;
  if (loop < 0) return ctx.failed ? 1 : 0;
  long z = loop;
  while (true) {
    // -s without -l, and -l 1, repeat without end: z never reaches 0.
    if (loop == 0 && options.loop_flag) z = 1;
    ctx.first_iteration = (z == loop);
    bool pause = true;
    if (StageResult r = iteration(ctx, pause)) return *r;
    if (pause && z != 0) pause_for(options.secounds, out);
    // An endless loop whose output reaches nobody ends (main says why).
    if (out.bad()) return 1;
    if (z == 0) break;
    --z;
  }
  // Any failure of any pass makes the whole run a failure.
  return ctx.failed || ctx.table.file_failed ? 1 : 0;
}

}  // namespace vantoget
