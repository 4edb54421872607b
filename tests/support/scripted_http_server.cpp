#include "support/scripted_http_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketLength = int;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using SocketLength = socklen_t;
#endif

#include <chrono>

namespace qv::test {
namespace {

#ifdef _WIN32
using Native = SOCKET;
constexpr int kSendFlags = 0;
void CloseSocket(intptr_t s) {
  closesocket(static_cast<Native>(s));
}
#else
using Native = int;
constexpr int kSendFlags = MSG_NOSIGNAL;
void CloseSocket(intptr_t s) {
  ::close(static_cast<Native>(s));
}
#endif

Native AsNative(intptr_t s) {
  return static_cast<Native>(s);
}

bool Readable(intptr_t s, int ms) {
#ifdef _WIN32
  fd_set set;
  FD_ZERO(&set);
  FD_SET(AsNative(s), &set);
  timeval limit = {ms / 1000, (ms % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &limit) > 0;
#else
  pollfd p = {AsNative(s), POLLIN, 0};
  return ::poll(&p, 1, ms) > 0;
#endif
}

bool SendAll(intptr_t s, const std::string& bytes) {
  const char* data = bytes.data();
  size_t size = bytes.size();
  while (size > 0) {
    int n = static_cast<int>(::send(AsNative(s), data, static_cast<int>(size), kSendFlags));
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// True once the client closed its end (or the socket broke).
bool ClientGone(intptr_t s) {
  if (!Readable(s, 0)) return false;
  char c;
  return ::recv(AsNative(s), &c, 1, 0) <= 0;
}

void Wait(unsigned ms, const std::atomic<bool>& stopping) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stopping && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

std::string Head(int status, const std::string& extra) {
  return "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Error") +
         "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n" + extra + "\r\n";
}

}  // namespace

ScriptedHttpServer::ScriptedHttpServer() {
#ifdef _WIN32
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
#endif
  Native s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  listener_ = static_cast<intptr_t>(s);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(s, 16);
  SocketLength length = sizeof address;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread(&ScriptedHttpServer::Run, this);
}

ScriptedHttpServer::~ScriptedHttpServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  for (std::thread& worker : workers_) worker.join();
  CloseSocket(listener_);
#ifdef _WIN32
  WSACleanup();
#endif
}

void ScriptedHttpServer::Set(const std::string& path, Reply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  replies_[path] = std::move(reply);
}

void ScriptedHttpServer::Remove(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  replies_.erase(path);
}

std::string ScriptedHttpServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

std::vector<std::string> ScriptedHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void ScriptedHttpServer::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

void ScriptedHttpServer::Run() {
  while (!stopping_) {
    if (!Readable(listener_, 20)) continue;
    Native client = ::accept(AsNative(listener_), nullptr, nullptr);
#ifdef _WIN32
    if (client == INVALID_SOCKET) continue;
#else
    if (client < 0) continue;
#endif
    // One thread per connection: a stalled answer must not hold up the next
    // request.
    workers_.emplace_back([this, client] {
      Serve(static_cast<intptr_t>(client));
      CloseSocket(static_cast<intptr_t>(client));
    });
  }
}

void ScriptedHttpServer::Serve(intptr_t client) {
  std::string request;
  while (request.find("\r\n\r\n") == std::string::npos) {
    if (stopping_ || request.size() > 65536) return;
    if (!Readable(client, 20)) continue;
    char buffer[4096];
    const int n = static_cast<int>(::recv(AsNative(client), buffer, sizeof buffer, 0));
    if (n <= 0) return;
    request.append(buffer, static_cast<size_t>(n));
  }
  // "GET /path HTTP/1.1"
  const size_t start = request.find(' ');
  const size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
  const std::string path =
      end == std::string::npos ? std::string() : request.substr(start + 1, end - start - 1);
  Reply reply;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(path);
    auto found = replies_.find(path);
    if (found == replies_.end()) {
      reply.status = 404;
      reply.body = "<html><body>404 Not Found</body></html>";
    } else {
      reply = found->second;
    }
  }
  const std::string length = "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  switch (reply.kind) {
    case Reply::kWhole:
      SendAll(client, Head(reply.status, length) + reply.body);
      return;
    case Reply::kCutOff:
      SendAll(client, Head(reply.status, length) + reply.body.substr(0, reply.body.size() / 2));
      return;
    case Reply::kStall:
      while (!stopping_ && !ClientGone(client)) Wait(10, stopping_);
      return;
    case Reply::kTrickle:
      if (!SendAll(client, Head(reply.status, length))) return;
      for (char c : reply.body) {
        Wait(reply.gapMs, stopping_);
        if (stopping_ || !SendAll(client, std::string(1, c))) return;
      }
      return;
    case Reply::kEndless: {
      if (!SendAll(client, Head(reply.status, ""))) return;
      const std::string block(65536, 'x');
      while (!stopping_ && SendAll(client, block)) {
      }
      return;
    }
  }
}

}  // namespace qv::test
