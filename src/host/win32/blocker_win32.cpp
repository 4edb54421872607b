#include "host/win32/blocker_win32.h"

#include <atomic>

namespace qv {
namespace {

std::atomic<BlockerEnvironment*> g_environment{nullptr};

}  // namespace

bool Win32BlockerEnvironment::IsKeyDown(uint32_t virtualKey) {
  return (GetAsyncKeyState(static_cast<int>(virtualKey)) & 0x8000) != 0;
}

void Win32BlockerEnvironment::Beep(uint32_t hz, uint32_t ms) {
  ::Beep(hz, ms);
}

BlockerEnvironment& ProcessBlockerEnvironment() {
  static Win32BlockerEnvironment real;
  BlockerEnvironment* chosen = g_environment.load();
  return chosen ? *chosen : real;
}

void SetProcessBlockerEnvironment(BlockerEnvironment* environment) {
  g_environment.store(environment);
}

bool BrowserQuitWait::GetReadyState(long* state) {
  READYSTATE ready = READYSTATE_UNINITIALIZED;
  if (browser_ == nullptr || FAILED(browser_->get_ReadyState(&ready))) return false;
  *state = static_cast<long>(ready);
  return true;
}

void BrowserQuitWait::SleepAndDispatch(uint32_t ms) {
  Sleep(ms);
  // Only what is waiting now: a queue that keeps filling must not hold the
  // wait past its limit.
  MSG message;
  for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (message.message == WM_QUIT) {
      // Left for the browser's own loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace qv
