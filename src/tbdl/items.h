// Toolbar items: the base class and the BUTTON, TEXT, SEPARATOR /
// NAMEDSEPARATOR and INDICATOR kinds. COMBO and WEBPAGE are in
// combo_webpage.h. Items are what the definition says; the toolbar window
// (src/host/) makes their buttons, controls and menus from them, and the
// commands layer runs the commands they name.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tbdl/menus.h"
#include "tbdl/part.h"

namespace qv::tbdl {

enum ItemKind : int32_t {
  kItemText = 0,
  kItemCombo = 1,
  kItemButton = 2,
  kItemWebButton = 3,
  kItemSeparator = 4,
  kItemIndicator = 5,
};

class TBDLItem : public TBDLPart {
 public:
  virtual const std::string& GetCaption() const { return caption_; }
  // The name that per-item settings are keyed by.
  virtual const std::string& GetName() const { return name_; }
  virtual ItemKind GetKind() const = 0;
  virtual std::string_view GetKindName() const = 0;
  // Mouse messages over the item's button are consumed (an inert label).
  virtual bool SwallowsMouse() const { return false; }
  // The band's minimum width reaches at least to the end of this item.
  virtual bool KeepsWidth() const { return false; }
  // The item follows the current page and is set up again after navigation.
  virtual bool IsPageDependent() const { return false; }
  // The tooltip text.
  virtual const std::string& GetHint() const { return hint_; }
  // The entry of the item's menu with that number, or null.
  virtual const TBDLMenuEntry* FindMenuEntry(uint32_t entryNumber) const;
  // The item's drop-down menu (an empty one for items without MENU).
  virtual const TBDLButtonMenu& Menu() const;
  virtual int32_t GetImage() { return image_; }
  virtual bool IsSeparator() const { return false; }

  // Position in the model's item list; the button is 1024 + index.
  int32_t Index() const { return index_; }
  void SetIndex(int32_t index) { index_ = index; }
  // The resolved command reference, -1 when no command has the name.
  int32_t CommandIndex() const { return commandIndex_; }
  void SetCommandIndex(int32_t index) { commandIndex_ = index; }
  // The raw `caption`, `command`, `image` and `name` properties.
  const std::string& CaptionProperty() const { return caption_; }
  const std::string& Command() const { return command_; }
  int32_t ImageProperty() const { return image_; }
  const std::string& NameProperty() const { return name_; }

 protected:
  // caption, image, command, hint and name, shared by several kinds.
  bool SetCommonProperty(Keyword name, std::string_view value);
  // Reads a MENU child into the item's menu; false for other parts.
  bool AddMenuPart(TBDLNode& child);

  int32_t index_ = -1;
  int32_t commandIndex_ = -1;
  int32_t image_ = 0;
  std::string hint_;
  std::string caption_;
  std::string command_;
  std::string name_;
  // Created with the first MENU part: most items have none.
  std::unique_ptr<TBDLButtonMenu> menu_;
};

class TBDLButtonItem : public TBDLItem {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  bool AddPart(TBDLNode& child) override;
  // A nameless button is known by its caption.
  const std::string& GetName() const override { return name_.empty() ? caption_ : name_; }
  ItemKind GetKind() const override { return kItemButton; }
  std::string_view GetKindName() const override { return "Button"; }
};

// A label: read like a button, but its button ignores the mouse.
class TBDLTextItem : public TBDLButtonItem {
 public:
  ItemKind GetKind() const override { return kItemText; }
  std::string_view GetKindName() const override { return "Text"; }
  bool SwallowsMouse() const override { return true; }
};

// SEPARATOR and NAMEDSEPARATOR.
class TBDLSeparatorItem : public TBDLItem {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  ItemKind GetKind() const override { return kItemSeparator; }
  std::string_view GetKindName() const override { return "Separator"; }
  bool IsSeparator() const override { return true; }
};

class TBDLIndicatorItem : public TBDLItem {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  bool AddPart(TBDLNode& child) override;
  const std::string& GetName() const override { return name_.empty() ? caption_ : name_; }
  ItemKind GetKind() const override { return kItemIndicator; }
  std::string_view GetKindName() const override { return "Indicator"; }
  // The image of the current state; the "POP3" and "POPUP" rules come with
  // the mail and popup blocker indicators, every other type shows addimg1.
  int32_t GetImage() override { return addimg_[0]; }

  // "POP3", "POPUP" or any other text.
  const std::string& Type() const { return type_; }
  // addimg1 .. addimg5 and param1 .. param3, numbered from 1.
  int32_t AddImage(int n) const { return addimg_[n - 1]; }
  const std::string& Param(int n) const { return param_[n - 1]; }

  // Blink state: 0 quiet, 1 active, 2 attention; the sign flips per step.
  int32_t state = 0;
  int32_t blinkCount = 0;
  bool flagged = false;
  // The tooltip that the indicator's state rules choose.
  void SetHint(std::string hint) { hint_ = std::move(hint); }

 private:
  std::string type_;
  std::array<int32_t, 5> addimg_{};
  std::array<std::string, 3> param_;
};

}  // namespace qv::tbdl
