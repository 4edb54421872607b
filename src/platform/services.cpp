#include "platform/services.h"

namespace qv {

PlatformServices& Services() {
  static PlatformServices services = [] {
    PlatformServices s;
    InstallDefaultServices(s);
    return s;
  }();
  return services;
}

}  // namespace qv
