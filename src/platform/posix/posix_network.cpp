#include "platform/posix/posix_network.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/plain_event.h"
#include "platform/services.h"

namespace qv {
namespace {

// A descriptor closed when it goes out of scope.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  int get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

bool SetNonBlocking(int fd, bool on) {
  int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return ::fcntl(fd, F_SETFL, flags) == 0;
}

class PosixConnection : public TcpConnection {
 public:
  PosixConnection(Fd socket, Fd wakeRead, Fd wakeWrite, bool connecting)
      : socket_(std::move(socket)),
        wakeRead_(std::move(wakeRead)),
        wakeWrite_(std::move(wakeWrite)),
        connecting_(connecting) {}
  ~PosixConnection() override { ::shutdown(socket_.get(), SHUT_RD); }

  NetStatus FinishConnect() override {
    if (!connecting_) return NetStatus::kOk;
    pollfd fds[2] = {{socket_.get(), POLLOUT, 0}, {wakeRead_.get(), POLLIN, 0}};
    int n;
    do {
      n = ::poll(fds, 2, -1);
    } while (n < 0 && errno == EINTR);
    if (n <= 0 || fds[1].revents != 0) return NetStatus::kConnectFailed;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
      return NetStatus::kConnectFailed;
    connecting_ = false;
    return NetStatus::kOk;
  }

  long Send(const void* data, size_t size) override {
    ssize_t n;
    do {
      n = ::send(socket_.get(), data, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : static_cast<long>(n);
  }

  NetStatus StartWatching() override {
    return SetNonBlocking(socket_.get(), true) ? NetStatus::kOk : NetStatus::kEventSelectFailed;
  }
  void StopWatching() override {}

  uint32_t WaitForEvents() override {
    pollfd fds[2] = {{socket_.get(), POLLIN | POLLRDHUP, 0}, {wakeRead_.get(), POLLIN, 0}};
    int n;
    do {
      n = ::poll(fds, 2, -1);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return kNetFailed;
    uint32_t events = 0;
    if (fds[1].revents != 0) events |= kNetWoken;
    if (fds[0].revents & POLLIN) {
      events |= kNetRead;
    } else if (fds[0].revents & (POLLHUP | POLLRDHUP | POLLERR)) {
      events |= kNetClose;
    }
    if (fds[0].revents & POLLNVAL) events |= kNetFailed;
    return events;
  }

  RecvStatus Receive(char* buffer, size_t size, size_t* received) override {
    *received = 0;
    ssize_t n;
    do {
      n = ::recv(socket_.get(), buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
      *received = static_cast<size_t>(n);
      return RecvStatus::kData;
    }
    if (n == 0) return RecvStatus::kClosed;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return RecvStatus::kWouldBlock;
    return RecvStatus::kError;
  }

  void Wake() override {
    // The byte stays in the pipe, so every later wait sees the wake too.
    const char byte = 1;
    ssize_t ignored = ::write(wakeWrite_.get(), &byte, 1);
    (void)ignored;
  }

 private:
  Fd socket_;
  Fd wakeRead_;
  Fd wakeWrite_;
  bool connecting_;
};

}  // namespace

NetStatus PosixNetwork::StartConnect(const std::string& host, uint16_t port,
                                     std::unique_ptr<TcpConnection>* connection) {
  Fd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
  if (socket.get() < 0) return NetStatus::kSocketFailed;

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  // A dotted address is used as it is: its reverse look-up may well fail
  // and would add nothing.
  in_addr_t dotted = ::inet_addr(host.c_str());
  if (dotted != INADDR_NONE) {
    address.sin_addr.s_addr = dotted;
  } else {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
      return NetStatus::kHostnameError;
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
  }

  // The socket stays non-blocking: the reader watches it that way anyway.
  if (!SetNonBlocking(socket.get(), true)) return NetStatus::kConnectFailed;
  bool connecting = false;
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS) return NetStatus::kConnectFailed;
    connecting = true;
  }

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return NetStatus::kSocketFailed;
  *connection = std::make_unique<PosixConnection>(std::move(socket), Fd(pipeFds[0]), Fd(pipeFds[1]),
                                                  connecting);
  return NetStatus::kOk;
}

std::unique_ptr<WaitableEvent> PlainMessagePump::MakeEvent(const std::string&) {
  return std::make_unique<PlainEvent>();
}

bool PlainMessagePump::DispatchQueued(int*) {
  return true;
}

PumpWait PlainMessagePump::WaitForEventOrInput(WaitableEvent& event, uint32_t timeoutMs) {
  return static_cast<PlainEvent&>(event).WaitFor(timeoutMs) ? PumpWait::kSignalled
                                                            : PumpWait::kTimeout;
}

void PlainMessagePump::PostQuit(int) {}

void InstallNetworkServices(PlatformServices& services) {
  static PosixNetwork network;
  static PlainMessagePump pump;
  services.network = &network;
  services.pump = &pump;
}

}  // namespace qv
