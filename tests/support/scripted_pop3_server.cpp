#include "support/scripted_pop3_server.h"

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

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>

#include "mail/md5.h"

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
constexpr int kSendFlags = MSG_NOSIGNAL;  // a client that went away is no signal
void CloseSocket(intptr_t s) {
  ::close(static_cast<Native>(s));
}
#endif

Native AsNative(intptr_t s) {
  return static_cast<Native>(s);
}

// Waits up to ms for s to become readable.
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

void SleepMs(unsigned ms, const std::atomic<bool>& stopping) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stopping && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

bool SendAll(intptr_t s, const char* data, size_t size) {
  while (size > 0) {
    int n = static_cast<int>(::send(AsNative(s), data, static_cast<int>(size), kSendFlags));
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
      return false;
  }
  return true;
}

}  // namespace

ScriptedPop3Server::Script& ScriptedPop3Server::Script::Send(std::string bytes, unsigned delayMs,
                                                             size_t chunk, unsigned gapMs) {
  Step step(Step::kSend);
  step.bytes = std::move(bytes);
  step.delayMs = delayMs;
  step.chunk = chunk;
  step.gapMs = gapMs;
  steps_.push_back(std::move(step));
  return *this;
}

ScriptedPop3Server::Script& ScriptedPop3Server::Script::Expect() {
  steps_.emplace_back(Step::kExpect);
  return *this;
}

ScriptedPop3Server::Script& ScriptedPop3Server::Script::Pause(unsigned ms) {
  Step step(Step::kPause);
  step.delayMs = ms;
  steps_.push_back(std::move(step));
  return *this;
}

ScriptedPop3Server::Script& ScriptedPop3Server::Script::Close() {
  steps_.emplace_back(Step::kClose);
  return *this;
}

ScriptedPop3Server::Script& ScriptedPop3Server::Script::Serve(Handler handler) {
  Step step(Step::kServe);
  step.handler = std::move(handler);
  steps_.push_back(std::move(step));
  return *this;
}

ScriptedPop3Server::ScriptedPop3Server() {
#ifdef _WIN32
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
#endif
  Native s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  listener_ = static_cast<intptr_t>(s);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(s, 8);
  SocketLength length = sizeof address;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

ScriptedPop3Server::~ScriptedPop3Server() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  CloseSocket(listener_);
#ifdef _WIN32
  WSACleanup();
#endif
}

ScriptedPop3Server::Script& ScriptedPop3Server::AddConnection() {
  scripts_.emplace_back();
  return scripts_.back();
}

void ScriptedPop3Server::Start() {
  thread_ = std::thread(&ScriptedPop3Server::Run, this);
}

std::vector<std::string> ScriptedPop3Server::Commands() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_;
}

std::vector<std::string> ScriptedPop3Server::CommandsWhen(size_t count, unsigned timeoutMs) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::vector<std::string> commands = Commands();
    if (commands.size() >= count || std::chrono::steady_clock::now() >= end) return commands;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void ScriptedPop3Server::Run() {
  while (!stopping_) {
    if (!Readable(listener_, 20)) continue;
    Native client = ::accept(AsNative(listener_), nullptr, nullptr);
#ifdef _WIN32
    if (client == INVALID_SOCKET) continue;
#else
    if (client < 0) continue;
#endif
    const int index = connections_++;
    pending_.clear();
    if (!scripts_.empty()) {
      const size_t i = static_cast<size_t>(index) < scripts_.size() ? static_cast<size_t>(index)
                                                                    : scripts_.size() - 1;
      RunScript(static_cast<intptr_t>(client), scripts_[i]);
    }
    CloseSocket(static_cast<intptr_t>(client));
  }
}

bool ScriptedPop3Server::ReadLine(intptr_t client, std::string* line) {
  for (;;) {
    const size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      line->assign(pending_, 0, end);
      pending_.erase(0, end + 2);
      std::lock_guard<std::mutex> lock(mutex_);
      commands_.push_back(*line);
      return true;
    }
    if (stopping_) return false;
    if (!Readable(client, 20)) continue;
    char buffer[4096];
    const int n = static_cast<int>(::recv(AsNative(client), buffer, sizeof buffer, 0));
    if (n <= 0) return false;
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

void ScriptedPop3Server::RunScript(intptr_t client, const Script& script) {
  std::string line;
  for (const Script::Step& step : script.steps_) {
    if (stopping_) return;
    switch (step.kind) {
      case Script::Step::kSend: {
        SleepMs(step.delayMs, stopping_);
        const size_t piece = step.chunk == 0 ? step.bytes.size() : step.chunk;
        for (size_t at = 0; at < step.bytes.size(); at += piece) {
          if (at > 0) SleepMs(step.gapMs, stopping_);
          const size_t n = std::min(piece, step.bytes.size() - at);
          if (!SendAll(client, step.bytes.data() + at, n)) return;
        }
        break;
      }
      case Script::Step::kExpect:
        if (!ReadLine(client, &line)) return;
        break;
      case Script::Step::kPause:
        SleepMs(step.delayMs, stopping_);
        break;
      case Script::Step::kClose:
        return;
      case Script::Step::kServe:
        while (ReadLine(client, &line)) {
          const std::string reply = step.handler(line);
          if (!SendAll(client, reply.data(), reply.size())) return;
          if (StartsWithNoCase(line, "quit")) return;
        }
        return;
    }
  }
  // Script over: hold the connection until the client lets go.
  while (ReadLine(client, &line)) {
  }
}

ScriptedPop3Server::Handler ScriptedPop3Server::MailboxHandler(std::string user,
                                                               std::string password, unsigned count,
                                                               unsigned size,
                                                               std::string timestamp) {
  auto state = std::make_shared<std::string>();  // the user named by USER
  return [=](const std::string& command) -> std::string {
    if (StartsWithNoCase(command, "user ")) {
      *state = command.substr(5);
      return *state == user ? "+OK\r\n" : "-ERR no such user\r\n";
    }
    if (StartsWithNoCase(command, "pass ")) {
      return *state == user && command.substr(5) == password ? "+OK logged in\r\n"
                                                             : "-ERR invalid password\r\n";
    }
    if (StartsWithNoCase(command, "apop ")) {
      const std::string expected = "apop " + user + " " + mail::Md5Hex(timestamp + password);
      if (command == expected) {
        *state = user;
        return "+OK logged in\r\n";
      }
      return "-ERR authentication failed\r\n";
    }
    if (StartsWithNoCase(command, "stat")) {
      return "+OK " + std::to_string(count) + " " + std::to_string(size) + "\r\n";
    }
    if (StartsWithNoCase(command, "quit")) return "+OK bye\r\n";
    return "-ERR unknown command\r\n";
  };
}

}  // namespace qv::test
