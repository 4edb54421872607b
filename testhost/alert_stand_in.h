// The browser control of the toolbar's alert window, stood in for: Wine's
// own control never completes a page, so while it is registered every
// browser control the process creates is a scripted browser whose
// navigations the host completes (DocumentComplete with a body), showing
// the page's address in a plain window. The alert window then slides up
// by its own timers as with a real page.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "image_file.h"

namespace qv::testhost {

class AlertStandIn {
 public:
  AlertStandIn() = default;
  ~AlertStandIn();
  AlertStandIn(const AlertStandIn&) = delete;
  AlertStandIn& operator=(const AlertStandIn&) = delete;

  // From now on, browser controls made in this process are stand-ins.
  bool Register();
  void Revoke();
  // Completes the navigations the stand-ins were asked for.
  void CompletePending();
  // The pages completed so far.
  const std::vector<std::wstring>& Completed() const { return completed_; }

 private:
  DWORD cookie_ = 0;
  IClassFactory* factory_ = nullptr;
  std::vector<std::wstring> completed_;
};

// The alert frame of this process, or none.
HWND FindAlertFrame();
// The whole window, caption included, as the screen shows it.
bool CaptureWindow(HWND window, Picture* picture);

}  // namespace qv::testhost
