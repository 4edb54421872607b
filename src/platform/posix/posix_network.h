// Native backends of the network seam: BSD sockets watched with poll,
// libcurl for downloads, and a plain (message-less) wait for the thread that
// expects replies.
#pragma once

#include "platform/network.h"

namespace qv {

struct PlatformServices;

class PosixNetwork : public Network {
 public:
  bool Startup() override { return true; }
  void Cleanup() override {}
  NetStatus StartConnect(const std::string& host, uint16_t port,
                         std::unique_ptr<TcpConnection>* connection) override;
  // libcurl (posix_http.cpp).
  FetchResult FetchToString(const std::string& url, const FetchLimits& limits,
                            std::string* body) override;
  FetchResult FetchToFile(const std::string& url, const FetchLimits& limits,
                          const std::string& path) override;
};

// A thread without windows has no messages: the wait is on the event alone.
class PlainMessagePump : public MessagePump {
 public:
  std::unique_ptr<WaitableEvent> MakeEvent(const std::string& name) override;
  bool DispatchQueued(int* exitCode) override;
  PumpWait WaitForEventOrInput(WaitableEvent& event, uint32_t timeoutMs) override;
  void PostQuit(int exitCode) override;
  void DispatchWorkerQueue() override {}
};

void InstallNetworkServices(PlatformServices& services);

}  // namespace qv
