// Test harness: a vantoserver child process on 127.0.0.1 with a free port,
// and helpers that run the built programs.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <vanto/vanto.h>

namespace vantotest {

// Full path of a built program ("vantoget", "vantoserver", ...).
std::string program_path(const std::string& name);
// Full path of a file below the source tree's examples/ directory.
std::string example_path(const std::string& name);

struct ProgramResult {
  std::string out;         // standard output
  std::string err;         // standard error
  int status = -1;         // exit status, or 128 + signal number
  bool timed_out = false;  // killed after the time-out
};

// Runs program (a name from program_path or a full path) with args and the
// given standard input; extra environment variables are added to (or replace
// those of) the current environment. The child is killed after timeout.
ProgramResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input = "",
                          const std::map<std::string, std::string>& env = {},
                          std::chrono::milliseconds timeout = std::chrono::seconds(60));

// A program running in the background (for streams, subscriptions, loops).
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {});
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits until standard output (or error) holds `needle` at least `times` times.
  bool wait_for_out(const std::string& needle, std::chrono::milliseconds timeout, int times = 1);
  bool wait_for_err(const std::string& needle, std::chrono::milliseconds timeout, int times = 1);
  std::string out() const;  // everything read so far
  std::string err() const;
  void signal(int sig);
  // Waits for the end (killing it after timeout) and returns everything.
  ProgramResult wait(std::chrono::milliseconds timeout = std::chrono::seconds(30));
  int pid() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// How a ServerProcess starts: config file, extra arguments, port (0: a free
// one), environment variables added to the server's, and whether it obeys
// fault injection (--allow-faults; on, as the tests' faults need it).
struct ServerSettings {
  std::string config = example_path("demo.toml");
  std::vector<std::string> extra_args;
  int port = 0;
  std::map<std::string, std::string> env;
  bool allow_faults = true;
};

// A vantoserver child process. Starts on 127.0.0.1 with --port 0 (or the port
// of its settings) and learns its port from the first line it prints.
class ServerProcess {
 public:
  // config: path of a server config file; default the demo installation.
  explicit ServerProcess(const std::string& config = example_path("demo.toml"),
                         const std::vector<std::string>& extra_args = {});
  explicit ServerProcess(const ServerSettings& settings);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int port() const;
  std::string ens() const;  // "127.0.0.1:<port>", the value for VANTO_ENS
  // "vanto://127.0.0.1:<port>/<channel>": the channel on this server, asked
  // directly, not through the name service.
  std::string direct(const std::string& channel) const;
  // The channel as a second client reads it directly from this server: its
  // value, or error() and error_text() of the failed read.
  vanto::EqData read(const std::string& channel) const;
  void stop();  // SIGTERM and wait
  // Stops the server (if it runs) and starts it again with the same settings
  // on the same port; throws when it does not come up.
  void restart();
  bool running() const;
  int pid() const;          // process id of the running server (0 when stopped)
  std::string log() const;  // what the server printed on standard error

  // Fault injection, through the server's control interface.
  void fail_next(const std::string& address, int code, int count);  // next count calls
  void fail_always(const std::string& address, int code);
  // The next `passes` calls are answered, every later one fails with code
  // (a failure part-way through a run of calls).
  void fail_after(const std::string& address, int passes, int code);
  void set_delay(const std::string& address, int milliseconds);  // slow answers
  void clear_faults();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The ENS address of a server that ran and is gone: nothing listens there.
std::string dead_ens();

// A field of /proc/<pid>/status in kB ("VmRSS", "VmHWM"); -1 if not found.
long status_kb(int pid, const std::string& field);

// Environment of a server whose memory a test measures: AddressSanitizer's
// quarantine is off. With it, every freed block is held back (up to 256 MiB)
// and resident memory climbs although nothing leaks; without it, freed memory
// is reused at once, as in a build without sanitizers, and what is kept shows
// as growth. (In a build without sanitizers the variable is ignored.)
std::map<std::string, std::string> memory_measuring_env();

// Fixture for end-to-end tests: one server on the demo installation per test
// suite; VANTO_ENS of this process (and so of every child) points at it.
class ServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  static ServerProcess& server();

 private:
  static std::unique_ptr<ServerProcess> server_;
};

// Writes text to a fresh temporary file and returns its path; the files are
// removed when the test program ends.
std::string temp_file(const std::string& text, const std::string& suffix = "");
// A fresh temporary directory (removed at the end of the test program).
std::string temp_dir();

}  // namespace vantotest
