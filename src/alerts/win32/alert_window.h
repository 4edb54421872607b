// The desktop alert window: one per process, a topmost tool window at the
// bottom right of the work area that hosts a web browser control showing
// the alert's page, slides up once the page is complete, waits, and slides
// down again. Its movement is the portable AlertAnimation; this side reads
// the clock and the work area and moves the window.
//
// While a frame exists it holds the mutex "MutexForAlerts@PROJECTNAME@",
// so that one alert at a time fills its window in the whole system. A
// frame that cannot take it within a second is not made at all, so that a
// later check of this process tries again.
#pragma once

#include <windows.h>

#include <cstdint>

#include "alerts/alert_animation.h"
#include "alerts/alert_check.h"
#include "platform/win32/scoped.h"

namespace qv::alerts {

inline constexpr wchar_t kAlertFrameClass[] = L"Toolbar_DesktopAlertFrame";
inline constexpr wchar_t kAlertContentClass[] = L"Toolbar_MSHTML_AlertWindow";
inline constexpr wchar_t kAlertsMutexName[] = L"MutexForAlerts@PROJECTNAME@";

class AlertEventSink;

class AlertWindow : public AlertWindowControl {
 public:
  explicit AlertWindow(HINSTANCE module);
  ~AlertWindow() override;
  AlertWindow(const AlertWindow&) = delete;
  AlertWindow& operator=(const AlertWindow&) = delete;

  bool Exists() override;
  // Makes the frame, not yet visible, with the page's content window; the
  // showing starts when the page completes.
  void Create(const AlertParameters& params) override;
  // The page is complete: the window comes up from the bottom edge.
  void StartShowing();
  // Destroys the content window (releasing its control) and the frame.
  void Destroy();

  HWND Frame() const { return frame_; }
  HWND Content() const { return content_; }
  AlertPhase Phase() const { return animation_.Phase(); }
  const AlertParameters& Parameters() const { return params_; }

 private:
  static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool RegisterClasses();
  bool OnCreate(HWND frame);
  void CreateContent();
  void DestroyContent();
  void OnTimer(unsigned id);
  void OnDestroy();

  HINSTANCE module_;
  HWND frame_ = nullptr;
  AlertAnimation animation_;
  AlertParameters params_;
  win32::ScopedHandle mutex_;
  bool ownsMutex_ = false;
  HWND content_ = nullptr;
  AlertEventSink* sink_ = nullptr;
  DWORD sinkCookie_ = 0;
  IUnknown* control_ = nullptr;  // an own reference while the content lives
};

// The process's alert window, made on first use under the module.
AlertWindow& ProcessAlertWindow(HINSTANCE module);
// Destroys the process's alert window, if one was made (module unload).
void DestroyProcessAlertWindow();

// Milliseconds of a clock that only goes forward.
int64_t AlertClockMs();

}  // namespace qv::alerts
