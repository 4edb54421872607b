// The two items that carry a child window instead of a plain button:
// COMBO (an edit field or drop-down list for searches) and WEBPAGE (a small
// embedded page).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tbdl/items.h"

namespace qv::tbdl {

// One choice of a COMBO or of a CSPSETTING.
class TBDLComboValue : public TBDLPart {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;

  const std::string& Caption() const { return caption_; }
  const std::string& Value() const { return value_; }
  // The text shown in a list: the caption, or the value without one.
  const std::string& DisplayText() const { return caption_.empty() ? value_ : caption_; }

 private:
  std::string caption_;
  std::string value_;
};

// Reads a COMBOVALUE child into values; any other child gives the box with
// the given text and caption. Shared by COMBO and CSPSETTING.
bool AddComboValuePart(std::vector<TBDLComboValue>& values, TBDLNode& child,
                       const char* invalidPartText, const char* invalidPartCaption);

class TBDLComboItem : public TBDLItem {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  bool AddPart(TBDLNode& child) override;
  const std::string& GetCaption() const override { return name_; }
  ItemKind GetKind() const override { return kItemCombo; }
  std::string_view GetKindName() const override { return "Combo"; }
  bool KeepsWidth() const override { return true; }

  int32_t MaxChars() const { return maxchars_; }
  int32_t MaxHistLines() const { return maxhistlines_; }
  int32_t Password() const { return password_; }
  // "edit" for an edit field; anything else is a combo box.
  const std::string& Type() const { return type_; }
  // The `width` text (percent of the toolbar's button width), and the
  // integer value of every `width` given, in order.
  const std::string& Width() const { return width_; }
  const std::vector<int32_t>& Widths() const { return widths_; }
  const std::vector<TBDLComboValue>& Values() const { return values_; }
  // The layout's first rule: a combo without `width` is 10 percent wide,
  // as if `width = "10"` had been read.
  void ApplyDefaultWidth();

 private:
  std::string width_;
  std::vector<int32_t> widths_;
  int32_t maxchars_ = 0;
  int32_t maxhistlines_ = 0;
  int32_t password_ = 0;
  std::string type_;
  std::vector<TBDLComboValue> values_;
};

class TBDLWebPageItem : public TBDLItem {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  const std::string& GetCaption() const override { return name_; }
  ItemKind GetKind() const override { return kItemWebButton; }
  std::string_view GetKindName() const override { return "Web-button"; }
  bool IsPageDependent() const override { return pageDependent_; }

  const std::string& Url() const { return url_; }
  int32_t Border() const { return border_; }
  int32_t Width() const { return width_; }
  bool AutoSize() const { return autosize_; }
  bool RelayNavigation() const { return relayNavigation_; }

  // The width used for the layout; the page's own width once an autosized
  // page has loaded.
  int32_t CurrentWidth() const { return currentWidth_; }
  void SetCurrentWidth(int32_t width) { currentWidth_ = width; }
  void SetPageDependent(bool on) { pageDependent_ = on; }

 private:
  std::string url_;
  int32_t border_ = 0;
  int32_t width_ = 0;
  int32_t currentWidth_ = 0;
  bool autosize_ = false;
  bool relayNavigation_ = false;
  bool pageDependent_ = false;
};

}  // namespace qv::tbdl
