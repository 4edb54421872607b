// Win32 backends of the network seam: Winsock 2 with WSAEventSelect for the
// POP3 connection, and the message-pumping wait of the browser's thread.
#pragma once

#include "platform/network.h"

namespace qv {

struct PlatformServices;

void InstallNetworkServices(PlatformServices& services);

}  // namespace qv
