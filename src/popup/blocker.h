// The pop-up blocker: on every new browser window it decides whether the
// page may open it, counts and signals the windows it blocks, keeps the
// whitelist and switches, and hides Flash movies and stops script-driven
// resizing on the pages where it acts.
//
// PopupBlockerSystem is the system-wide half over the shared BlockerState
// (one per process is enough, several are harmless). PopupBlocker is the
// half of one browser window: its allow flag, its page, the move/size state
// of its frame window. The band feeds it the browser's events; every entry
// point is one call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/toolbar_surface.h"
#include "popup/blocker_state.h"
#include "popup/resize_rule.h"

namespace qv {

class Browser;
class Document;
class Element;

inline constexpr char kPopupStatusText[] = "This page contains popup windows!";
inline constexpr uint32_t kPopupBeepHz = 250;
inline constexpr uint32_t kPopupBeepMs = 100;

// Keyboard and speaker. Virtual-key codes keep their Windows values.
class BlockerEnvironment {
 public:
  virtual ~BlockerEnvironment() = default;
  // Whether the key is down right now (GetAsyncKeyState's high bit).
  virtual bool IsKeyDown(uint32_t virtualKey) = 0;
  virtual void Beep(uint32_t hz, uint32_t ms) = 0;
};

// No key is ever down, and beeps are silent.
class QuietEnvironment : public BlockerEnvironment {
 public:
  bool IsKeyDown(uint32_t) override { return false; }
  void Beep(uint32_t, uint32_t) override {}
};

class PopupBlockerSystem {
 public:
  PopupBlockerSystem(BlockerState& state, BlockerEnvironment& environment)
      : state_(state), environment_(environment) {}

  // Reads the settings into the shared state, once for the whole system;
  // a caller that finds another one loading waits for it (at most
  // kLoadWaitMs).
  void LoadBlockerSettings();
  static constexpr int kLoadWaitMs = 1000;
  BlockerSettings Settings() const { return state_.GetBlockerSettings(); }
  bool IsBlockingActive();
  // Shift always releases; the configured key too unless it is "none".
  bool IsReleaseKeyDown();
  // https pages always; otherwise the host in the built-in or user list.
  // Not allowed when the lock stays busy.
  bool IsSiteAllowed(const std::string& url);
  // Whether the site was allowed before. https pages and built-in hosts:
  // true, nothing changes. Hosts a list cannot hold, a busy lock, a full
  // list or a stored list too long to have been loaded: false, nothing
  // changes (the last two say so in a message box).
  bool ToggleSiteInWhiteList(const std::string& url);
  void TogglePopupBlocking();
  void CountBlockedPopup();
  // The shared count and the stored one back to 0.
  void ResetBlockedCount();
  uint32_t TotalBlockedPopups() const { return state_.TotalBlockedPopups(); }
  BlockerEnvironment& Environment() { return environment_; }

 private:
  BlockerState& state_;
  BlockerEnvironment& environment_;
};

// What a blocked window shows on the toolbar (the POPUP indicator).
class PopupSignals {
 public:
  virtual ~PopupSignals() = default;
  virtual void PopupBlocked() {}
};

// The browser's side of the page unload on quit.
class QuitWait {
 public:
  virtual ~QuitWait() = default;
  // False when the ready state cannot be read.
  virtual bool GetReadyState(long* state) = 0;
  virtual uint64_t TickCountMs() = 0;
  // Sleeps, then dispatches every message waiting in the thread's queue.
  virtual void SleepAndDispatch(uint32_t ms) = 0;
};

inline constexpr long kReadyStateComplete = 4;

class PopupBlocker {
 public:
  // browser and signals may be null (no browser: every window is let
  // through; no signals: nothing shown on the toolbar).
  PopupBlocker(PopupBlockerSystem& system, Browser* browser, PopupSignals* signals = nullptr)
      : system_(system), browser_(browser), signals_(signals) {}

  void SetBrowser(Browser* browser) { browser_ = browser; }
  void SetSignals(PopupSignals* signals) { signals_ = signals; }
  PopupBlockerSystem& System() { return system_; }

  // --- the allow flag, following the browser's events
  // A javascript: navigation sets it, every other one clears it.
  void OnBeforeNavigate2(const std::string& url);
  void OnNavigateComplete2() { allow_ = false; }
  // Clears the flag; for the top-level document also applies Flash
  // blocking when the blocker acts on the page.
  void OnDocumentComplete(bool topLevel);
  // The current document reports ready state 4: Flash blocking again.
  void OnReadyStateComplete();
  // A mouse-down in the page: sets the flag when the element, or one of its
  // parents below BODY, is an A, AREA, INPUT or IMG.
  void OnMouseDown(Element& source);
  static bool MouseDownAllows(Element& source);
  bool AllowFlag() const { return allow_; }
  void SetAllowFlag(bool allow) { allow_ = allow; }

  // NewWindow2: true when the window is to be cancelled. The flag is
  // cleared in every case.
  bool OnNewWindow2();
  // The same with the opener's address given (empty: unknown, let through).
  bool OnNewWindow2(const std::string& openerUrl);
  // Beep, POPUP indicator, status text, as the settings say.
  void NotifyPopupBlocked();

  // The current page (the browser's location); allowed when it is unknown.
  bool IsSiteAllowed();
  bool ToggleSiteInWhiteList();
  // The blocker acts on the current page: on, no release key, not allowed.
  bool ActsOnPage();

  // Hides the current document's Flash movies when BlockFlashMovies is on.
  // The caller has checked ActsOnPage (OnDocumentComplete and
  // OnReadyStateComplete do).
  void BlockFlashOnPage();

  // The frame window's messages (Windows message numbers); returns the
  // position flags of a WM_WINDOWPOSCHANGING with SWP_NOSIZE and SWP_NOMOVE
  // added when the change is to be stopped. Every message is passed on
  // afterwards by the caller.
  void OnFrameMessage(uint32_t message, uintptr_t wParam) { resize_.OnMessage(message, wParam); }
  bool ShouldBlockResize(uint32_t positionFlags);
  uint32_t OnWindowPosChanging(uint32_t positionFlags);

  // Unloads the page while the band is still in place: navigates to
  // about:blank and waits (at most 10 s) for the browser to be ready.
  void OnBrowserQuit(QuitWait& wait);

 private:
  PopupBlockerSystem& system_;
  Browser* browser_;
  PopupSignals* signals_;
  bool allow_ = false;
  ResizeTracker resize_;
};

// Flash blocking over the document seam.
bool IsFlashClassId(const std::string& classId);
bool IsFlashSource(const std::string& source);
void HideElement(Element& element);
// OBJECT and EMBED elements of the document and of its frames at any depth;
// returns how many were hidden. Elements that fail to answer are skipped.
int HideFlashInDocument(const std::shared_ptr<Document>& document);

}  // namespace qv
