// A proxy-settings backend that keeps what it was given instead of changing
// the machine's settings, for tests and the tool.
#pragma once

#include <vector>

#include "platform/proxy.h"

namespace qv {

class RecordingProxySettings : public ProxySettings {
 public:
  bool SetConnectionOptions(const std::vector<ProxyOption>& options) override {
    calls.push_back(options);
    return true;
  }
  std::vector<std::vector<ProxyOption>> calls;
};

}  // namespace qv
