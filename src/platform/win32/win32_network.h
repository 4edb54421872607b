// Win32 backends of the network seam: Winsock 2 with WSAEventSelect for the
// POP3 connection, WinINet downloads, and the message-pumping wait of the browser's thread.
#pragma once

#include "platform/network.h"

namespace qv {

struct PlatformServices;

void InstallNetworkServices(PlatformServices& services);

// WinINet downloads (win32_http.cpp), bounded by the caller's limits.
FetchResult Win32FetchToString(const std::string& url, const FetchLimits& limits,
                               std::string* body);
FetchResult Win32FetchToFile(const std::string& url, const FetchLimits& limits,
                             const std::string& path);

}  // namespace qv
