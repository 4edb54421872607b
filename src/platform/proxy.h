// The proxy seam: the per-user LAN connection's proxy options, applied at
// once and announced to running browsers.
#pragma once

#include "platform/services.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// Option identifiers and flag bits keep their WinINet values.
inline constexpr uint32_t kPerConnFlags = 1;
inline constexpr uint32_t kPerConnProxyServer = 2;
inline constexpr uint32_t kPerConnProxyBypass = 3;
inline constexpr uint32_t kProxyTypeDirect = 0x1;
inline constexpr uint32_t kProxyTypeProxy = 0x2;

struct ProxyOption {
  uint32_t option = 0;
  uint32_t number = 0;  // for kPerConnFlags
  std::string text;     // for the server and bypass options
};

class ProxySettings {
 public:
  virtual ~ProxySettings() = default;
  // Sets the options on the LAN connection, then sends the settings-changed
  // and refresh notifications.
  virtual bool SetConnectionOptions(const std::vector<ProxyOption>& options) = 0;
};

ProxySettings& DefaultProxySettings();

inline ProxySettings& GetProxySettings() {
  ProxySettings* installed = Services().proxy;
  return installed != nullptr ? *installed : DefaultProxySettings();
}

}  // namespace qv
