// The pop-up blocker page of the options sheet: a copy of the blocker's six
// switches taken when the sheet opens, changed by the page's controls and
// written back (shared state and settings store) only when the sheet ends
// with OK. The counter's reset is the exception: it happens at once.
#pragma once

#include <cstdint>
#include <string>

#include "popup/blocker_state.h"

namespace qv::options {

inline constexpr uint32_t kCtrlKey = 17;
inline constexpr uint32_t kShiftKey = 16;

// The release-key combo's entries, in order.
inline constexpr const char* kReleaseKeyEntries[] = {"CTRL", "SHIFT", "None"};

class PopupPage {
 public:
  // Copies the six switches. A release key the combo cannot show (anything
  // but Ctrl or Shift) is taken as "None", which is what the page shows and
  // therefore what OK stores.
  void Load(const BlockerState& state);

  // The combo entry for the key: 0 Ctrl, 1 Shift, 2 none.
  int KeyIndex() const;
  void SelectKey(int index);

  // The check boxes: each one's switch as 1 or 0.
  void SetBlock(bool on) { values_.enablePopupBlocker = on; }
  void SetStatusText(bool on) { values_.showPopupPageStatus = on; }
  void SetBeep(bool on) { values_.beepOnPopup = on; }
  void SetFlash(bool on) { values_.blockFlashMovies = on; }
  void SetResize(bool on) { values_.blockResize = on; }
  const BlockerSettings& Values() const { return values_; }

  // The count label's text.
  static std::string CountText(const BlockerState& state);
  // The Reset button: the stored and the shared count back to 0 at once.
  static void ResetCount(BlockerState& state);

  // OK: the switches into the shared state and the settings store.
  void Store(BlockerState& state) const;

 private:
  BlockerSettings values_;
};

}  // namespace qv::options
