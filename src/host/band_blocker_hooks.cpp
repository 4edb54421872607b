#include "host/band_blocker_hooks.h"

#include <atomic>

namespace qv {
namespace {

std::atomic<BandBlockerHooks*> g_blocker{nullptr};

}  // namespace

void SetBandPopupBlocker(BandBlockerHooks* hooks) {
  g_blocker.store(hooks);
}

BandBlockerHooks& BandPopupBlocker() {
  static BandBlockerHooks none;
  BandBlockerHooks* hooks = g_blocker.load();
  return hooks ? *hooks : none;
}

}  // namespace qv
