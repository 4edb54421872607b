// The pop-up blocker's keyboard, speaker and quit wait on Windows.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include "popup/blocker.h"

namespace qv {

class Win32BlockerEnvironment : public BlockerEnvironment {
 public:
  bool IsKeyDown(uint32_t virtualKey) override;
  void Beep(uint32_t hz, uint32_t ms) override;
};

// One environment for every band of the process.
BlockerEnvironment& ProcessBlockerEnvironment();
// Tests put a scripted keyboard in its place; null restores the real one.
void SetProcessBlockerEnvironment(BlockerEnvironment* environment);

// Waits on the browser's own ready state, pumping the thread's messages so
// that the page can unload while the band waits.
class BrowserQuitWait : public QuitWait {
 public:
  explicit BrowserQuitWait(IWebBrowser2* browser) : browser_(browser) {}
  bool GetReadyState(long* state) override;
  uint64_t TickCountMs() override { return GetTickCount(); }
  void SleepAndDispatch(uint32_t ms) override;

 private:
  IWebBrowser2* browser_;
};

}  // namespace qv
