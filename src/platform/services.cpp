#include "platform/services.h"

#include "platform/browser.h"
#include "platform/system.h"

namespace qv {

PlatformServices& Services() {
  static PlatformServices services = [] {
    PlatformServices s;
    InstallDefaultServices(s);
    return s;
  }();
  return services;
}

std::unique_ptr<Browser> System::OpenNewBrowser() {
  return nullptr;
}

}  // namespace qv
