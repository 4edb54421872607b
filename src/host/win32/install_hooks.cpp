#include "host/win32/install_hooks.h"

namespace qv {

bool EnsureBrowserExtensionsEnabled() {
  return true;
}

void Install() {}

void Uninstall() {}

void RemoveExtensionKeys() {}

}  // namespace qv
