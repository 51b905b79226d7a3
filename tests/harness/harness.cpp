#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "rpc_control.h"

extern char** environ;

namespace vantotest {

namespace {

// An owned file descriptor.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~Fd() { reset(); }
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  Fd read, write;
};

Pipe make_pipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  return Pipe{Fd(fds[0]), Fd(fds[1])};
}

int count_of(const std::string& text, const std::string& needle) {
  if (needle.empty()) return 0;
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size()))
    ++n;
  return n;
}

// Temporary files and directories of this test program, removed at its end.
class TempArea {
 public:
  ~TempArea() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }
  std::string fresh(const std::string& suffix) {
    std::lock_guard lock(mutex_);
    if (root_.empty()) {
      char pattern[] = "/tmp/vantotest.XXXXXX";
      if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
      root_ = pattern;
    }
    return root_ + "/t" + std::to_string(++counter_) + suffix;
  }

 private:
  std::mutex mutex_;
  std::string root_;
  int counter_ = 0;
};

TempArea& temp_area() {
  static TempArea area;
  return area;
}

std::vector<std::string> environment_with(const std::map<std::string, std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::string key = entry.substr(0, entry.find('='));
    if (extra.count(key) == 0) env.push_back(entry);
  }
  for (const auto& [key, value] : extra) env.push_back(key + "=" + value);
  return env;
}

}  // namespace

std::string program_path(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  return std::string(VANTO_BIN_DIR) + "/" + name;
}

std::string example_path(const std::string& name) {
  return std::string(VANTO_EXAMPLES_DIR) + "/" + name;
}

// ------------------------------------------------------------------ ChildProcess

namespace {

// A child process whose output is read by a thread of its own while it runs.
struct Process {
  pid_t pid = -1;
  bool reaped = false;
  int status = -1;
  Fd wake_write;  // closing or writing it ends the reader thread
  std::thread reader;
  std::thread writer;

  mutable std::mutex mutex;
  std::condition_variable changed;
  std::string out, err;
  bool drained = false;  // both output pipes reached their end

  void start(const std::string& program, const std::vector<std::string>& args,
             const std::map<std::string, std::string>& env, const std::string* input);
  void read_output(Fd out_fd, Fd err_fd, Fd wake_read);
  bool wait_for(const std::string& (*pick)(const Process&), const std::string& needle,
                std::chrono::milliseconds timeout, int times);
  // Reaps the child, killing its process group after timeout. True if it ended by itself.
  bool reap(std::chrono::milliseconds timeout);
  void finish_threads();
};

}  // namespace

struct ChildProcess::Impl : Process {};

void Process::start(const std::string& program, const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& env, const std::string* input) {
  // A child that ends before reading its input must not kill the test.
  ::signal(SIGPIPE, SIG_IGN);
  const std::string path = program_path(program);
  Pipe in = make_pipe(), out = make_pipe(), err_pipe = make_pipe(), wake = make_pipe();
  Fd null_in(::open("/dev/null", O_RDONLY | O_CLOEXEC));

  std::vector<std::string> argv_text{path};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text = environment_with(env);
  std::vector<char*> envp;
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int stdin_fd = input ? in.read.get() : null_in.get();
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  Fd report_read(report[0]), report_write(report[1]);

  pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    // Only async-signal-safe calls from here on. The child dies with the
    // test program, so a crashed test leaves no server behind. (The signal
    // comes when the starting thread ends: start children from a thread that
    // outlives them, as the test body does.)
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    ::dup2(stdin_fd, 0);
    ::dup2(out.write.get(), 1);
    ::dup2(err_pipe.write.get(), 2);
    ::execve(path.c_str(), argv.data(), envp.data());
    const int e = errno;
    [[maybe_unused]] const ssize_t n = ::write(report_write.get(), &e, sizeof e);
    ::_exit(127);
  }
  ::setpgid(pid, pid);  // also here, so that a kill of the group cannot come too early
  report_write.reset();
  int child_errno = 0;
  if (::read(report_read.get(), &child_errno, sizeof child_errno) == sizeof child_errno) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
    throw std::runtime_error("cannot start " + path + ": " + std::strerror(child_errno));
  }
  out.write.reset();
  err_pipe.write.reset();
  in.read.reset();
  wake_write = std::move(wake.write);
  reader = std::thread(&Process::read_output, this, std::move(out.read), std::move(err_pipe.read),
                       std::move(wake.read));
  if (input) {
    writer = std::thread([fd = std::move(in.write), text = *input]() {
      size_t done = 0;
      while (done < text.size()) {
        const ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the child closed its input
        done += static_cast<size_t>(n);
      }
    });
  }
}

void Process::read_output(Fd out_fd, Fd err_fd, Fd wake_read) {
  char buffer[65536];
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    pollfd fds[3] = {{out_open ? out_fd.get() : -1, POLLIN, 0},
                     {err_open ? err_fd.get() : -1, POLLIN, 0},
                     {wake_read.get(), POLLIN, 0}};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[2].revents != 0) break;  // asked to stop (a grandchild keeps the pipes open)
    for (int k = 0; k < 2; ++k) {
      if (fds[k].revents == 0) continue;
      const ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      std::lock_guard lock(mutex);
      if (n <= 0) {
        (k == 0 ? out_open : err_open) = false;
      } else {
        (k == 0 ? out : err).append(buffer, static_cast<size_t>(n));
      }
      changed.notify_all();
    }
  }
  std::lock_guard lock(mutex);
  drained = true;
  changed.notify_all();
}

bool Process::wait_for(const std::string& (*pick)(const Process&), const std::string& needle,
                       std::chrono::milliseconds timeout, int times) {
  std::unique_lock lock(mutex);
  changed.wait_for(lock, timeout,
                   [&] { return drained || count_of(pick(*this), needle) >= times; });
  return count_of(pick(*this), needle) >= times;
}

bool Process::reap(std::chrono::milliseconds timeout) {
  if (pid <= 0 || reaped) return true;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) {
      reaped = true;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  reaped = true;
  return false;
}

void Process::finish_threads() {
  if (writer.joinable()) writer.join();
  if (reader.joinable()) {
    // The pipes end with the child; a grandchild still holding them open is
    // not waited for longer than a moment.
    {
      std::unique_lock lock(mutex);
      changed.wait_for(lock, std::chrono::seconds(2), [&] { return drained; });
    }
    const char stop = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_write.get(), &stop, 1);
    reader.join();
  }
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env)
    : impl_(std::make_unique<Impl>()) {
  impl_->start(program, args, env, nullptr);
}

ChildProcess::~ChildProcess() {
  if (impl_->pid > 0 && !impl_->reaped) {
    ::kill(-impl_->pid, SIGKILL);
    ::kill(impl_->pid, SIGKILL);
    impl_->reap(std::chrono::seconds(10));
  }
  impl_->finish_threads();
}

bool ChildProcess::wait_for_out(const std::string& needle, std::chrono::milliseconds timeout,
                                int times) {
  return impl_->wait_for([](const Process& i) -> const std::string& { return i.out; }, needle,
                         timeout, times);
}

bool ChildProcess::wait_for_err(const std::string& needle, std::chrono::milliseconds timeout,
                                int times) {
  return impl_->wait_for([](const Process& i) -> const std::string& { return i.err; }, needle,
                         timeout, times);
}

std::string ChildProcess::out() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->out;
}

std::string ChildProcess::err() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->err;
}

void ChildProcess::signal(int sig) {
  if (impl_->pid > 0 && !impl_->reaped) ::kill(impl_->pid, sig);
}

ProgramResult ChildProcess::wait(std::chrono::milliseconds timeout) {
  ProgramResult result;
  result.timed_out = !impl_->reap(timeout);
  impl_->finish_threads();
  const int s = impl_->status;
  result.status = WIFEXITED(s) ? WEXITSTATUS(s) : WIFSIGNALED(s) ? 128 + WTERMSIG(s) : -1;
  result.out = out();
  result.err = err();
  return result;
}

int ChildProcess::pid() const { return impl_->pid; }

ProgramResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input, const std::map<std::string, std::string>& env,
                          std::chrono::milliseconds timeout) {
  Process impl;
  impl.start(program, args, env, &input);
  ProgramResult result;
  result.timed_out = !impl.reap(timeout);
  impl.finish_threads();
  const int s = impl.status;
  result.status = WIFEXITED(s) ? WEXITSTATUS(s) : WIFSIGNALED(s) ? 128 + WTERMSIG(s) : -1;
  std::lock_guard lock(impl.mutex);
  result.out = impl.out;
  result.err = impl.err;
  return result;
}

// ------------------------------------------------------------------ ServerProcess

struct ServerProcess::Impl {
  ServerSettings settings;
  std::unique_ptr<ChildProcess> child;
  int port = 0;
  std::string final_log;  // standard error once stopped

  void start(int on_port);

  void fault(vanto::rpc::FaultMode mode, const std::string& address, int code, int count,
             int delay_ms) {
    const int rc = vanto::rpc::send_fault(vanto::rpc::Endpoint{"127.0.0.1", port}, mode, address,
                                          code, count, delay_ms);
    if (rc != 0) ADD_FAILURE() << "fault command on " << address << " failed with " << rc;
  }
};

ServerProcess::ServerProcess(const std::string& config, const std::vector<std::string>& extra_args)
    : ServerProcess(ServerSettings{config, extra_args, 0, {}, true}) {}

ServerProcess::ServerProcess(const ServerSettings& settings) : impl_(std::make_unique<Impl>()) {
  impl_->settings = settings;
  impl_->start(settings.port);
}

void ServerProcess::Impl::start(int on_port) {
  std::vector<std::string> args{"--bind", "127.0.0.1", "--port", std::to_string(on_port)};
  if (settings.allow_faults) args.push_back("--allow-faults");
  args.insert(args.end(), settings.extra_args.begin(), settings.extra_args.end());
  args.push_back(settings.config);
  child = std::make_unique<ChildProcess>("vantoserver", args, settings.env);
  const std::string marker = "vantoserver listening on ";
  if (!child->wait_for_out("\n", std::chrono::seconds(30))) {
    const ProgramResult r = child->wait(std::chrono::seconds(5));
    child.reset();
    throw std::runtime_error("vantoserver did not start (status " + std::to_string(r.status) +
                             "): " + r.err);
  }
  const std::string first = child->out();
  const auto at = first.find(marker);
  const auto colon = first.find(':', at == std::string::npos ? 0 : at + marker.size());
  if (at == std::string::npos || colon == std::string::npos)
    throw std::runtime_error("unexpected first line of vantoserver: " + first);
  port = std::atoi(first.c_str() + colon + 1);
}

void ServerProcess::restart() {
  const int same_port = impl_->port;
  stop();
  impl_->start(same_port);
}

int ServerProcess::pid() const { return impl_->child ? impl_->child->pid() : 0; }

ServerProcess::~ServerProcess() { stop(); }

int ServerProcess::port() const { return impl_->port; }

std::string ServerProcess::ens() const { return "127.0.0.1:" + std::to_string(impl_->port); }

std::string ServerProcess::direct(const std::string& channel) const {
  return "vanto://" + ens() + "/" + channel;
}

vanto::EqData ServerProcess::read(const std::string& channel) const {
  vanto::EqCall call;
  vanto::EqAdr adr(direct(channel));
  vanto::EqData in, out;
  [[maybe_unused]] const int code = call.get(&adr, &in, &out);  // out.error() holds it too
  return out;
}

void ServerProcess::stop() {
  if (!impl_->child) return;
  impl_->child->signal(SIGTERM);
  const ProgramResult r = impl_->child->wait(std::chrono::seconds(20));
  impl_->final_log = r.err;
  impl_->child.reset();
}

bool ServerProcess::running() const {
  if (!impl_->child) return false;
  // Looks without reaping, so that stop() still collects the status.
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(impl_->child->pid()), &info,
                  WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

std::string ServerProcess::log() const {
  return impl_->child ? impl_->child->err() : impl_->final_log;
}

void ServerProcess::fail_next(const std::string& address, int code, int count) {
  impl_->fault(vanto::rpc::FaultMode::fail_next, address, code, count, 0);
}

void ServerProcess::fail_always(const std::string& address, int code) {
  impl_->fault(vanto::rpc::FaultMode::fail_always, address, code, 0, 0);
}

void ServerProcess::fail_after(const std::string& address, int passes, int code) {
  impl_->fault(vanto::rpc::FaultMode::fail_after, address, code, passes, 0);
}

void ServerProcess::set_delay(const std::string& address, int milliseconds) {
  impl_->fault(vanto::rpc::FaultMode::delay, address, 0, 0, milliseconds);
}

void ServerProcess::clear_faults() { impl_->fault(vanto::rpc::FaultMode::clear, "", 0, 0, 0); }

std::string dead_ens() {
  ServerProcess server;
  const std::string ens = server.ens();
  server.stop();
  return ens;
}

// ------------------------------------------------------------------ ServerTest

std::unique_ptr<ServerProcess> ServerTest::server_;

void ServerTest::SetUpTestSuite() {
  try {
    server_ = std::make_unique<ServerProcess>();
    ::setenv("VANTO_ENS", server_->ens().c_str(), 1);
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();  // every test of the suite then fails in server()
  }
}

void ServerTest::TearDownTestSuite() { server_.reset(); }

ServerProcess& ServerTest::server() {
  if (!server_) throw std::runtime_error("the suite's vantoserver did not start");
  return *server_;
}

std::string temp_file(const std::string& text, const std::string& suffix) {
  const std::string path = temp_area().fresh(suffix);
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) throw std::runtime_error("cannot write " + path);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return path;
}

std::string temp_dir() {
  const std::string path = temp_area().fresh("");
  std::filesystem::create_directories(path);
  return path;
}

long status_kb(int pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
  }
  return -1;
}

std::map<std::string, std::string> memory_measuring_env() {
  const char* inherited = std::getenv("ASAN_OPTIONS");
  std::string options = inherited != nullptr ? std::string(inherited) + ":" : "";
  return {{"ASAN_OPTIONS", options + "quarantine_size_mb=0"}};
}

}  // namespace vantotest
