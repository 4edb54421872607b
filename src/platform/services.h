// The process-wide set of platform backends the portable core talks to.
// The first use installs this platform's default backends; tests and tools
// swap single backends with ScopedService.
#pragma once

namespace qv {

class Registry;
class UserMessages;
class System;
class Network;
class MessagePump;
class ProxySettings;
class ComponentHost;
class SharedMemory;

struct PlatformServices {
  Registry* registry = nullptr;
  UserMessages* messages = nullptr;
  System* system = nullptr;
  Network* network = nullptr;
  MessagePump* pump = nullptr;
  SharedMemory* sharedMemory = nullptr;
  // Null until a tool or test installs one: GetProxySettings and
  // GetComponentHost then give this platform's default.
  ProxySettings* proxy = nullptr;
  ComponentHost* components = nullptr;
};

PlatformServices& Services();

// Fills in the default backends of this platform (win32/ or posix/).
void InstallDefaultServices(PlatformServices& services);

inline Registry& GetRegistry() {
  return *Services().registry;
}
inline UserMessages& GetUserMessages() {
  return *Services().messages;
}
inline System& GetSystem() {
  return *Services().system;
}
inline Network& GetNetwork() {
  return *Services().network;
}
inline MessagePump& GetMessagePump() {
  return *Services().pump;
}
inline SharedMemory& GetSharedMemory() {
  return *Services().sharedMemory;
}

// Replaces one backend for the lifetime of the object.
template <typename T>
class ScopedService {
 public:
  ScopedService(T* PlatformServices::*slot, T* replacement)
      : slot_(slot), previous_(Services().*slot) {
    Services().*slot_ = replacement;
  }
  ~ScopedService() { Services().*slot_ = previous_; }
  ScopedService(const ScopedService&) = delete;
  ScopedService& operator=(const ScopedService&) = delete;

 private:
  T* PlatformServices::*slot_;
  T* previous_;
};

}  // namespace qv
