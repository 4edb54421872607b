// The options sheet's windows: a modal property sheet built from the
// module's dialog templates, whose page procedures only move values between
// the controls and the portable pages.
#pragma once

#include <windows.h>

#include "options/options_sheet.h"

namespace qv::options {

class Win32OptionsUi : public OptionsUi {
 public:
  // module holds the templates; the items page borrows the toolbar
  // control's image list.
  Win32OptionsUi(HINSTANCE module, HWND toolbarControl)
      : module_(module), toolbar_(toolbarControl) {}
  // Modal, owned by the active window; true when it ended with OK.
  bool RunSheet(OptionsSheet& sheet) override;

 private:
  HINSTANCE module_;
  HWND toolbar_;
};

}  // namespace qv::options
