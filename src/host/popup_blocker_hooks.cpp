#include "host/popup_blocker_hooks.h"

#include <atomic>

namespace qv {
namespace {

std::atomic<PopupBlockerHooks*> g_blocker{nullptr};

}  // namespace

void SetBandPopupBlocker(PopupBlockerHooks* hooks) {
  g_blocker.store(hooks);
}

PopupBlockerHooks& BandPopupBlocker() {
  static PopupBlockerHooks none;
  PopupBlockerHooks* hooks = g_blocker.load();
  return hooks ? *hooks : none;
}

}  // namespace qv
