// The keyboard-enabled child controls of the toolbar (combo boxes and edit
// fields, in toolbar order): which one has the focus, Tab navigation
// between them, the keys they keep from the browser's accelerators, their
// focus reports and text dropped on them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/toolbar_surface.h"

namespace qv {

// Drag-and-drop answers.
inline constexpr uint32_t kDropEffectNone = 0;
inline constexpr uint32_t kDropEffectCopy = 1;
inline constexpr long kEFail = static_cast<long>(0x80004005L);

class KeyboardFocus;

// A combo box or edit field of an input item, in the keyboard controls list.
class InputControl {
 public:
  InputControl(KeyboardFocus& owner, int itemIndex, WindowId window, WindowId edit)
      : owner_(&owner), itemIndex_(itemIndex), window_(window), edit_(edit) {}

  int ItemIndex() const { return itemIndex_; }
  WindowId Window() const { return window_; }
  WindowId EditWindow() const { return edit_; }

  // The window is the control or its edit part.
  bool ContainsFocus(WindowId window) const;
  void Focus();
  void FocusFirst();
  // kSOk when the key was consumed, kSFalse when the browser handles it.
  long TranslateKey(const Message& message);

  // Text dropped on the control (OLE drag-and-drop, as logic).
  uint32_t DragEnter(bool offersText);
  uint32_t DragOver() const { return dragAccepted_ ? kDropEffectCopy : kDropEffectNone; }
  void DragLeave() { dragAccepted_ = false; }
  // kSOk with *effect = copy, or kEFail when nothing was accepted.
  long Drop(const std::string& text, uint32_t* effect);

 private:
  KeyboardFocus* owner_;
  int itemIndex_;
  WindowId window_;
  WindowId edit_;
  bool dragAccepted_ = false;
};

class KeyboardFocus {
 public:
  // runSearch starts the search of an input item (Enter, a drop);
  // focusChanged tells the band that a control gained or lost the focus.
  KeyboardFocus(ChildControls& children, std::function<void(int itemIndex)> runSearch,
                std::function<void(bool gotFocus)> focusChanged)
      : children_(children),
        runSearch_(std::move(runSearch)),
        focusChanged_(std::move(focusChanged)) {}
  KeyboardFocus(const KeyboardFocus&) = delete;
  KeyboardFocus& operator=(const KeyboardFocus&) = delete;

  // A control made for item itemIndex joins the list at its end.
  void Add(int itemIndex, WindowId window, WindowId edit) {
    controls_.emplace_back(*this, itemIndex, window, edit);
  }
  void Clear() { controls_.clear(); }
  std::vector<InputControl>& Controls() { return controls_; }
  // The item of a control's edit part, or -1.
  int ItemOfEditWindow(WindowId window) const;

  // The browser's accelerator pass: the focused control's TranslateKey, or
  // kSFalse when no control has the focus.
  long TranslateAccelerator(const Message& message);
  // A key-down forwarded to the toolbar: true when handled (Tab).
  bool OnForwardedKeyDown(unsigned key);
  void NotifyFocusChange(bool gotFocus) { focusChanged_(gotFocus); }

  // While set, changes in the input controls were not typed (keys passed
  // on by the keyboard rules); autocompletion leaves them alone.
  bool AutoCompleteSuspended() const { return autoCompleteSuspended_; }
  void SetAutoCompleteSuspended(bool on) { autoCompleteSuspended_ = on; }

 private:
  friend class InputControl;
  InputControl* ControlWithFocus();
  bool TabNavigation();

  ChildControls& children_;
  std::function<void(int)> runSearch_;
  std::function<void(bool)> focusChanged_;
  std::vector<InputControl> controls_;
  bool autoCompleteSuspended_ = false;
};

}  // namespace qv
