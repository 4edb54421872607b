#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/services.h"
#include "platform/win32/scoped.h"
#include "platform/win32/win32_network.h"

namespace qv {
namespace {

// Kernel object names are per logged-on user; a suffix keeps the events of
// every client, window and process apart so that one client's stop or reply
// never wakes another's threads.
std::string UniqueName(const std::string& base) {
  static std::atomic<unsigned long> counter{0};
  return base + " " + std::to_string(GetCurrentProcessId()) + "." + std::to_string(++counter);
}

using win32::ScopedAddrInfo;
using win32::ScopedHandle;
using win32::ScopedSocket;
using win32::ScopedWsaEvent;

ScopedHandle CreateManualResetEvent(const std::string& name) {
  ScopedHandle h(CreateEventA(nullptr, TRUE, FALSE, UniqueName(name).c_str()));
  // A name taken by another kind of object: an unnamed event serves as well.
  if (!h) h.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  return h;
}

class Win32Connection : public TcpConnection {
 public:
  explicit Win32Connection(ScopedSocket s)
      : stop_(CreateManualResetEvent("Waiting for Thread exit")), socket_(std::move(s)) {}
  // The socket closes first, then the connect event, then the stop event.
  ~Win32Connection() override {
    StopWatching();
    shutdown(socket_.get(), SD_RECEIVE);
  }

  // Ties the socket to an event that FD_CONNECT sets (which also makes it
  // non-blocking) and starts the connect. Selected before connect is called,
  // so a connect that ends at once is not missed.
  NetStatus Start(const sockaddr_in& address) {
    connectEvent_.Reset(WSACreateEvent());
    if (!connectEvent_) return NetStatus::kConnectFailed;
    if (WSAEventSelect(socket_.get(), connectEvent_.get(), FD_CONNECT) == SOCKET_ERROR)
      return NetStatus::kConnectFailed;
    if (connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      connecting_ = false;
      return NetStatus::kOk;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) return NetStatus::kConnectFailed;
    connecting_ = true;
    return NetStatus::kOk;
  }

  NetStatus FinishConnect() override {
    if (!connecting_) return NetStatus::kOk;
    if (!stop_.get()) return NetStatus::kConnectFailed;
    WSAEVENT pair[2] = {connectEvent_.get(), stop_.get()};
    DWORD r = WSAWaitForMultipleEvents(2, pair, FALSE, WSA_INFINITE, FALSE);
    if (r != WSA_WAIT_EVENT_0) return NetStatus::kConnectFailed;
    WSANETWORKEVENTS network{};
    if (WSAEnumNetworkEvents(socket_.get(), connectEvent_.get(), &network) == SOCKET_ERROR ||
        !(network.lNetworkEvents & FD_CONNECT) || network.iErrorCode[FD_CONNECT_BIT] != 0)
      return NetStatus::kConnectFailed;
    connecting_ = false;
    return NetStatus::kOk;
  }

  long Send(const void* data, size_t size) override {
    int n = send(socket_.get(), static_cast<const char*>(data), static_cast<int>(size), 0);
    return n == SOCKET_ERROR ? -1 : n;
  }

  NetStatus StartWatching() override {
    socketEvent_.Reset(WSACreateEvent());
    if (!socketEvent_) return NetStatus::kEventCreateFailed;
    if (WSAEventSelect(socket_.get(), socketEvent_.get(), FD_READ | FD_CLOSE) == SOCKET_ERROR) {
      StopWatching();
      return NetStatus::kEventSelectFailed;
    }
    return NetStatus::kOk;
  }

  void StopWatching() override { socketEvent_.Reset(); }

  uint32_t WaitForEvents() override {
    if (!stop_.get()) return kNetFailed;
    WSAEVENT pair[2] = {socketEvent_.get(), stop_.get()};
    DWORD r = WSAWaitForMultipleEvents(2, pair, FALSE, WSA_INFINITE, FALSE);
    // A failing wait would fail again at once: give up instead of spinning.
    if (r == WSA_WAIT_FAILED) return kNetFailed;
    uint32_t events = 0;
    if (r == WSA_WAIT_EVENT_0 + 1 || WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0)
      events |= kNetWoken;
    if (r == WSA_WAIT_EVENT_0) {
      WSANETWORKEVENTS network{};
      if (WSAEnumNetworkEvents(socket_.get(), socketEvent_.get(), &network) == SOCKET_ERROR) {
        if (WSAGetLastError() == WSAENETDOWN) events |= kNetFailed;
        return events;
      }
      if (network.lNetworkEvents & FD_READ) events |= kNetRead;
      if (network.lNetworkEvents & FD_CLOSE) events |= kNetClose;
    }
    return events;
  }

  RecvStatus Receive(char* buffer, size_t size, size_t* received) override {
    *received = 0;
    int n = recv(socket_.get(), buffer, static_cast<int>(size), 0);
    if (n > 0) {
      *received = static_cast<size_t>(n);
      return RecvStatus::kData;
    }
    if (n == 0) return RecvStatus::kClosed;
    return WSAGetLastError() == WSAEWOULDBLOCK ? RecvStatus::kWouldBlock : RecvStatus::kError;
  }

  void Wake() override {
    if (stop_.get()) SetEvent(stop_.get());
  }

 private:
  ScopedHandle stop_;
  ScopedWsaEvent connectEvent_;
  ScopedWsaEvent socketEvent_;
  ScopedSocket socket_;
  bool connecting_ = false;
};

class Win32Network : public Network {
 public:
  bool Startup() override {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  void Cleanup() override { WSACleanup(); }

  FetchResult FetchToString(const std::string& url, const FetchLimits& limits,
                            std::string* body) override {
    return Win32FetchToString(url, limits, body);
  }
  FetchResult FetchToFile(const std::string& url, const FetchLimits& limits,
                          const std::string& path) override {
    return Win32FetchToFile(url, limits, path);
  }

  NetStatus StartConnect(const std::string& host, uint16_t port,
                         std::unique_ptr<TcpConnection>* connection) override {
    ScopedSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s) return NetStatus::kSocketFailed;
    auto connected = std::make_unique<Win32Connection>(std::move(s));

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    // A dotted address is used as it is: its reverse look-up may well fail
    // and would add nothing.
    unsigned long dotted = inet_addr(host.c_str());
    if (dotted != INADDR_NONE) {
      address.sin_addr.s_addr = dotted;
    } else {
      addrinfo hints{};
      hints.ai_family = AF_INET;
      hints.ai_socktype = SOCK_STREAM;
      ScopedAddrInfo found;
      if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, found.Out()) != 0 || !found)
        return NetStatus::kHostnameError;
      address.sin_addr = reinterpret_cast<const sockaddr_in*>(found.get()->ai_addr)->sin_addr;
    }

    const NetStatus started = connected->Start(address);
    if (started != NetStatus::kOk) return started;
    *connection = std::move(connected);
    return NetStatus::kOk;
  }
};

class Win32Event : public WaitableEvent {
 public:
  explicit Win32Event(ScopedHandle h) : h_(std::move(h)) {}
  void Set() override { SetEvent(h_.get()); }
  void Reset() override { ResetEvent(h_.get()); }
  HANDLE get() const { return h_.get(); }

 private:
  ScopedHandle h_;
};

class Win32MessagePump : public MessagePump {
 public:
  std::unique_ptr<WaitableEvent> MakeEvent(const std::string& name) override {
    return std::make_unique<Win32Event>(CreateManualResetEvent(name));
  }

  bool DispatchQueued(int* exitCode) override {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        *exitCode = static_cast<int>(msg.wParam);
        return false;
      }
      DispatchMessageA(&msg);
    }
    return true;
  }

  PumpWait WaitForEventOrInput(WaitableEvent& event, uint32_t timeoutMs) override {
    HANDLE h = static_cast<Win32Event&>(event).get();
    DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, timeoutMs, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return PumpWait::kSignalled;
    if (r == WAIT_OBJECT_0 + 1) return PumpWait::kInput;
    if (r == WAIT_TIMEOUT) return PumpWait::kTimeout;
    return PumpWait::kFailed;
  }

  void PostQuit(int exitCode) override { PostQuitMessage(exitCode); }

  void DispatchWorkerQueue() override {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT) {
      if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
};

}  // namespace

void InstallNetworkServices(PlatformServices& services) {
  static Win32Network network;
  static Win32MessagePump pump;
  services.network = &network;
  services.pump = &pump;
}

}  // namespace qv
