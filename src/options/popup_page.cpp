#include "options/popup_page.h"

#include "settings/settings.h"

namespace qv::options {
namespace {

uint32_t Bit(uint32_t value) {
  return value != 0 ? 1 : 0;
}

}  // namespace

void PopupPage::Load(const BlockerState& state) {
  values_ = state.GetBlockerSettings();
  // Check boxes show only on or off; OK stores what they show.
  values_.enablePopupBlocker = Bit(values_.enablePopupBlocker);
  values_.showPopupPageStatus = Bit(values_.showPopupPageStatus);
  values_.beepOnPopup = Bit(values_.beepOnPopup);
  values_.blockFlashMovies = Bit(values_.blockFlashMovies);
  values_.blockResize = Bit(values_.blockResize);
  if (values_.tempDisableBlockerKey != kCtrlKey && values_.tempDisableBlockerKey != kShiftKey)
    values_.tempDisableBlockerKey = kNoReleaseKey;
}

int PopupPage::KeyIndex() const {
  if (values_.tempDisableBlockerKey == kCtrlKey) return 0;
  if (values_.tempDisableBlockerKey == kShiftKey) return 1;
  return 2;
}

void PopupPage::SelectKey(int index) {
  values_.tempDisableBlockerKey = index == 0 ? kCtrlKey : index == 1 ? kShiftKey : kNoReleaseKey;
}

std::string PopupPage::CountText(const BlockerState& state) {
  return std::to_string(state.TotalBlockedPopups());
}

void PopupPage::ResetCount(BlockerState& state) {
  SetSettingDword("TotalBlockedPopups", 0);
  state.SetTotalBlockedPopups(0);
}

void PopupPage::Store(BlockerState& state) const {
  state.SetBlockerSettings(values_);
  SetSettingDword("EnablePopupBlocker", values_.enablePopupBlocker);
  SetSettingDword("TempDisableBlockerKey", values_.tempDisableBlockerKey);
  SetSettingDword("ShowPopupPageStatus", values_.showPopupPageStatus);
  SetSettingDword("BeepOnPopup", values_.beepOnPopup);
  SetSettingDword("BlockFlashMovies", values_.blockFlashMovies);
  SetSettingDword("BlockResize", values_.blockResize);
}

}  // namespace qv::options
