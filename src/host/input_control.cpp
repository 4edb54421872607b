// The keyboard-enabled child controls: focus, Tab navigation, the keys
// they keep from the browser, and text dropped on them.
#include "host/toolbar_ctrl.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/toolbar.h"

namespace qv {

namespace {

// Keys an input control edits with itself instead of leaving them to the
// browser's accelerators.
bool IsEditingKey(unsigned key) {
  return key == kVkBack || key == kVkEnd || key == kVkHome || key == kVkLeft || key == kVkRight ||
         key == kVkDelete;
}

bool IsClipboardKey(unsigned key) {
  return key == 'C' || key == 'V' || key == 'X';
}

// The reflected combo-box notifications (CBN_*).
constexpr unsigned kCbnSetFocus = 3;
constexpr unsigned kCbnKillFocus = 4;
constexpr unsigned kCbnEditUpdate = 6;
constexpr unsigned kCbnSelEndOk = 9;

}  // namespace

bool InputControl::ContainsFocus(WindowId window) const {
  return window != 0 && (window == window_ || window == edit_);
}

void InputControl::Focus() {
  toolbar_->Control().SetFocus(edit_);
}

void InputControl::FocusFirst() {
  toolbar_->Control().SetFocus(edit_);
}

long InputControl::TranslateKey(const Message& message) {
  const unsigned key = static_cast<unsigned>(message.wParam);
  if (key == kVkTab) return kSOk;
  if (key == kVkReturn && message.message == kWmKeyup) {
    if (message.window != edit_) return kSFalse;
    auto* item = toolbar_->ItemAt(itemIndex_);
    if (item && item->GetKind() == tbdl::kItemCombo)
      toolbar_->Hooks().search->RunComboSearch(*toolbar_, static_cast<tbdl::TBDLComboItem&>(*item));
    return kSOk;
  }
  ToolbarSurface& control = toolbar_->Control();
  if (IsEditingKey(key) || (control.IsKeyDown(kVkControl) && IsClipboardKey(key))) {
    toolbar_->SetAutoCompleteSuspended(true);
    control.DeliverMessage(message);
    // Between Backspace's key-down and key-up nothing completes.
    toolbar_->SetAutoCompleteSuspended(key == kVkBack && message.message == kWmKeydown);
    return kSOk;
  }
  return kSFalse;
}

uint32_t InputControl::DragEnter(bool offersText) {
  dragAccepted_ = offersText;
  return DragOver();
}

long InputControl::Drop(const std::string& text, uint32_t* effect) {
  if (!dragAccepted_) {
    *effect = kDropEffectNone;
    return kEFail;
  }
  dragAccepted_ = false;
  toolbar_->Control().SetChildText(window_, text);
  auto* item = toolbar_->ItemAt(itemIndex_);
  if (item && item->GetKind() == tbdl::kItemCombo &&
      GetSettingFlag("RunSearchDragAutomatically", true))
    toolbar_->Hooks().search->RunComboSearch(*toolbar_, static_cast<tbdl::TBDLComboItem&>(*item));
  *effect = kDropEffectCopy;
  return kSOk;
}

InputControl* TBWToolBarCtrl::ControlWithFocus() {
  const WindowId focus = control_.GetFocus();
  for (InputControl& c : keyboardControls_) {
    if (c.ContainsFocus(focus)) return &c;
  }
  return nullptr;
}

long TBWToolBarCtrl::TranslateAccelerator(const Message& message) {
  InputControl* control = ControlWithFocus();
  return control ? control->TranslateKey(message) : kSFalse;
}

bool TBWToolBarCtrl::OnForwardedKeyDown(unsigned key) {
  return key == kVkTab && TabNavigation();
}

bool TBWToolBarCtrl::TabNavigation() {
  if (InputControl* current = ControlWithFocus()) {
    const size_t at = static_cast<size_t>(current - keyboardControls_.data());
    const bool back = control_.IsKeyDown(kVkShift);
    if (back ? at == 0 : at + 1 >= keyboardControls_.size()) {
      control_.SetFocus(control_.ParentWindow());  // leaves the band
    } else {
      keyboardControls_[back ? at - 1 : at + 1].Focus();
    }
    return true;
  }
  const WindowId focus = control_.GetFocus();
  const WindowId second = focus ? control_.GetParentOf(control_.GetParentOf(focus)) : 0;
  const WindowId third = second ? control_.GetParentOf(second) : 0;
  if (third != 0 && third == control_.ParentWindow() && second != control_.Window() &&
      !keyboardControls_.empty()) {
    keyboardControls_.front().FocusFirst();
    return true;
  }
  return false;
}

void TBWToolBarCtrl::OnComboNotification(WindowId window, unsigned code) {
  auto* item = ItemAt(ItemOfWindow(window));
  if (!item || item->GetKind() != tbdl::kItemCombo) return;
  auto& combo = static_cast<tbdl::TBDLComboItem&>(*item);
  switch (code) {
    case kCbnEditUpdate:
      hooks_.search->OnEditUpdate(*this, combo);
      break;
    case kCbnSelEndOk:
      hooks_.search->OnSelEndOk(*this, combo);
      break;
    case kCbnSetFocus:
      NotifyFocusChange(true);
      break;
    case kCbnKillFocus:
      NotifyFocusChange(false);
      break;
    default:
      break;
  }
}

}  // namespace qv
