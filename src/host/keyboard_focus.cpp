#include "host/keyboard_focus.h"

#include "settings/settings.h"

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

}  // namespace

bool InputControl::ContainsFocus(WindowId window) const {
  return window != 0 && (window == window_ || window == edit_);
}

void InputControl::Focus() {
  owner_->children_.SetFocus(edit_);
}

void InputControl::FocusFirst() {
  owner_->children_.SetFocus(edit_);
}

long InputControl::TranslateKey(const Message& message) {
  const unsigned key = static_cast<unsigned>(message.wParam);
  if (key == kVkTab) return kSOk;
  if (key == kVkReturn && message.message == kWmKeyup) {
    if (message.window != edit_) return kSFalse;
    owner_->runSearch_(itemIndex_);
    return kSOk;
  }
  ChildControls& children = owner_->children_;
  if (IsEditingKey(key) || (children.IsKeyDown(kVkControl) && IsClipboardKey(key))) {
    owner_->SetAutoCompleteSuspended(true);
    children.DeliverMessage(message);
    // Between Backspace's key-down and key-up nothing completes.
    owner_->SetAutoCompleteSuspended(key == kVkBack && message.message == kWmKeydown);
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
  owner_->children_.SetChildText(window_, text);
  if (GetSettingFlag("RunSearchDragAutomatically", true)) owner_->runSearch_(itemIndex_);
  *effect = kDropEffectCopy;
  return kSOk;
}

int KeyboardFocus::ItemOfEditWindow(WindowId window) const {
  if (window == 0) return -1;
  for (const InputControl& c : controls_) {
    if (c.EditWindow() == window) return c.ItemIndex();
  }
  return -1;
}

InputControl* KeyboardFocus::ControlWithFocus() {
  const WindowId focus = children_.GetFocus();
  for (InputControl& c : controls_) {
    if (c.ContainsFocus(focus)) return &c;
  }
  return nullptr;
}

long KeyboardFocus::TranslateAccelerator(const Message& message) {
  InputControl* control = ControlWithFocus();
  return control ? control->TranslateKey(message) : kSFalse;
}

bool KeyboardFocus::OnForwardedKeyDown(unsigned key) {
  return key == kVkTab && TabNavigation();
}

bool KeyboardFocus::TabNavigation() {
  if (InputControl* current = ControlWithFocus()) {
    const size_t at = static_cast<size_t>(current - controls_.data());
    const bool back = children_.IsKeyDown(kVkShift);
    if (back ? at == 0 : at + 1 >= controls_.size()) {
      children_.SetFocus(children_.ParentWindow());  // leaves the band
    } else {
      controls_[back ? at - 1 : at + 1].Focus();
    }
    return true;
  }
  const WindowId focus = children_.GetFocus();
  const WindowId second = focus ? children_.GetParentOf(children_.GetParentOf(focus)) : 0;
  const WindowId third = second ? children_.GetParentOf(second) : 0;
  if (third != 0 && third == children_.ParentWindow() && second != children_.ToolbarWindow() &&
      !controls_.empty()) {
    controls_.front().FocusFirst();
    return true;
  }
  return false;
}

}  // namespace qv
