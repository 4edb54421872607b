#include <cstdio>

#include "platform/posix/posix_backends.h"
#include "platform/services.h"

namespace qv {

int StderrMessages::ShowMessage(const std::string& text, const std::string& caption,
                                unsigned style) {
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  if ((style & 0xF) == kMbYesNo) return kIdYes;
  return kIdOk;
}

void InstallDefaultServices(PlatformServices& services) {
  static PosixSystem system;
  static StderrMessages messages;
  services.system = &system;
  services.messages = &messages;
  // The registry backend is installed by the file-backed registry.
}

}  // namespace qv
