// What the band object asks of the pop-up blocker while it follows its
// browser window: whether a new window may open, what to do once a page is
// complete (Flash blocking), whether a script may move or resize the
// browser, and the clean-up when the browser window goes. The defaults
// block nothing, so that a band runs before the blocker is wired in.
#pragma once

#include <cstdint>

namespace qv {

class Browser;
class Document;

// The band's per-page state that the blocker reads. Each is a 32-bit word.
struct BandPopupFlags {
  // 1 while no navigation event is being handled (1 for a new band).
  uint32_t navigationSettled = 1;
  // The user asked for the next window: a javascript: navigation or a
  // mouse-down on a link, an image map area, an input or an image.
  uint32_t allow = 0;
  // The page's window has seen its before-unload event.
  uint32_t beforeUnload = 0;
};

class BandBlockerHooks {
 public:
  virtual ~BandBlockerHooks() = default;
  // NewWindow2: true cancels the new window. browser is the band's.
  virtual bool CancelNewWindow(const BandPopupFlags& /*flags*/, Browser* /*browser*/) {
    return false;
  }
  // The top-level page is complete (its document completed, or its ready
  // state became "complete"): Flash blocking, when the blocker is on for
  // that page.
  virtual void OnPageComplete(Document& /*page*/, Browser* /*browser*/) {}
  // The frame window is about to move or resize and neither the user nor
  // the system is sizing it: true keeps it where it is. browser is null
  // when the band of the window could not be found.
  virtual bool BlockScriptResize(Browser* /*browser*/) { return false; }
  // The browser window quits (or the band leaves it): per-window clean-up.
  virtual void OnBrowserQuit(Browser* /*browser*/) {}
};

// The blocker every band of the process asks; null restores the default,
// which blocks nothing. The hooks must outlive their use by the bands.
void SetBandPopupBlocker(BandBlockerHooks* hooks);
BandBlockerHooks& BandPopupBlocker();

}  // namespace qv
