// The baseline of bench/run: the cheapest whole process that does what every
// client program has to do at least once, a TCP round trip to a local server.
//
//   echo_baseline serve         listens on 127.0.0.1 (a free port), prints the
//                               port, echoes what every connection sends
//   echo_baseline ping PORT     connects, sends one byte, waits for it, exits 0
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Closes the descriptor it holds.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

sockaddr_in loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

int serve() {
  Fd listener(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in addr = loopback(0);
  socklen_t length = sizeof addr;
  if (listener.get() < 0 ||
      ::bind(listener.get(), reinterpret_cast<sockaddr*>(&addr), length) != 0 ||
      ::listen(listener.get(), 64) != 0 ||
      ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
    std::perror("echo_baseline serve");
    return 1;
  }
  std::printf("%d\n", ntohs(addr.sin_port));
  std::fflush(stdout);
  // One client at a time is all the benchmark runs; each sends a little and
  // closes, so a blocking loop cannot be held up for long.
  for (;;) {
    Fd client(::accept(listener.get(), nullptr, nullptr));
    if (client.get() < 0) continue;
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(client.get(), buffer, sizeof buffer)) > 0)
      if (::write(client.get(), buffer, static_cast<size_t>(got)) != got) break;
  }
}

int ping(int port) {
  Fd socket(::socket(AF_INET, SOCK_STREAM, 0));
  const sockaddr_in addr = loopback(port);
  int one = 1;
  ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (socket.get() < 0 ||
      ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    std::perror("echo_baseline ping");
    return 1;
  }
  const char byte = 'x';
  char back = 0;
  if (::write(socket.get(), &byte, 1) != 1 || ::read(socket.get(), &back, 1) != 1 || back != byte)
    return 1;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "serve") == 0) return serve();
  if (argc == 3 && std::strcmp(argv[1], "ping") == 0) return ping(std::atoi(argv[2]));
  std::fprintf(stderr, "usage: echo_baseline serve | echo_baseline ping PORT\n");
  return 2;
}
