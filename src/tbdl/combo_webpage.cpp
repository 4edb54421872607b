#include "tbdl/combo_webpage.h"

#include "tbdl/node.h"

namespace qv::tbdl {

bool TBDLComboValue::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(caption_, Keyword::caption, name, value) ||
         SetTextProperty(value_, Keyword::value, name, value) ||
         ReportInvalidProperty(name, "TBDLLoad Combo Value");
}

bool AddComboValuePart(std::vector<TBDLComboValue>& values, TBDLNode& child,
                       const char* invalidPartText, const char* invalidPartCaption) {
  if (child.keyword != Keyword::COMBOVALUE) {
    ReportLoadProblem(invalidPartText, invalidPartCaption);
    return false;
  }
  values.emplace_back().Load(child);
  return true;
}

bool TBDLComboItem::SetProperty(Keyword name, std::string_view value) {
  if (SetCommonProperty(name, value) || SetIntProperty(maxchars_, Keyword::maxchars, name, value) ||
      SetTextProperty(type_, Keyword::type, name, value) ||
      SetIntProperty(password_, Keyword::password, name, value) ||
      SetIntProperty(maxhistlines_, Keyword::maxhistlines, name, value)) {
    return true;
  }
  if (SetTextProperty(width_, Keyword::width, name, value)) {
    widths_.push_back(ParseIntValue(width_));
    return true;
  }
  return ReportInvalidProperty(name, "TBDL Combo");
}

bool TBDLComboItem::AddPart(TBDLNode& child) {
  return AddComboValuePart(values_, child, "Invalid part declared in COMBO!", "TBDL Combo");
}

void TBDLComboItem::ApplyDefaultWidth() {
  if (!width_.empty()) return;
  width_ = "10";
  widths_.push_back(10);
}

bool TBDLWebPageItem::SetProperty(Keyword name, std::string_view value) {
  int32_t flag = 0;
  bool accepted = SetTextProperty(url_, Keyword::url, name, value) ||
                  SetTextProperty(name_, Keyword::name, name, value) ||
                  SetIntProperty(border_, Keyword::border, name, value) ||
                  SetIntProperty(width_, Keyword::width, name, value);
  if (!accepted && SetIntProperty(flag, Keyword::autosize, name, value)) {
    autosize_ = flag == 1;
    accepted = true;
  } else if (!accepted && SetIntProperty(flag, Keyword::relay_navigation, name, value)) {
    relayNavigation_ = flag == 1;
    accepted = true;
  }
  if (!accepted) return ReportInvalidProperty(name, "TBDL Webpage button");
  currentWidth_ = width_;
  return true;
}

}  // namespace qv::tbdl
