#include <cstdio>

#include "platform/user_messages.h"
#include "platform/posix/file_registry.h"
#include "platform/posix/posix_backends.h"
#include "platform/posix/posix_network.h"
#include "platform/posix/posix_shared_memory.h"
#include "platform/services.h"

namespace qv {

int StderrMessages::ShowMessage(const std::string& text, const std::string& caption,
                                unsigned style) {
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  return DefaultAnswer(style);
}

void InstallDefaultServices(PlatformServices& services) {
  static PosixSystem system;
  static StderrMessages messages;
  static FileRegistry registry(FileRegistry::DefaultPath());
  static PosixSharedMemory sharedMemory;
  services.system = &system;
  services.sharedMemory = &sharedMemory;
  services.messages = &messages;
  services.registry = &registry;
  InstallNetworkServices(services);
}

}  // namespace qv
