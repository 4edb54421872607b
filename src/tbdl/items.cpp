#include "tbdl/items.h"

#include "tbdl/node.h"

namespace qv::tbdl {

const TBDLMenuEntry* TBDLItem::FindMenuEntry(uint32_t entryNumber) const {
  return menu_ ? menu_->FindEntry(entryNumber) : nullptr;
}

const TBDLButtonMenu& TBDLItem::Menu() const {
  static const TBDLButtonMenu kEmpty;
  return menu_ ? *menu_ : kEmpty;
}

bool TBDLItem::SetCommonProperty(Keyword name, std::string_view value) {
  return SetTextProperty(caption_, Keyword::caption, name, value) ||
         SetIntProperty(image_, Keyword::image, name, value) ||
         SetTextProperty(command_, Keyword::command, name, value) ||
         SetTextProperty(hint_, Keyword::hint, name, value) ||
         SetTextProperty(name_, Keyword::name, name, value);
}

bool TBDLItem::AddMenuPart(TBDLNode& child) {
  if (child.keyword != Keyword::MENU) return false;
  // Several MENU parts (only possible outside the grammar) add up.
  if (!menu_) menu_ = std::make_unique<TBDLButtonMenu>();
  menu_->Load(child);
  return true;
}

bool TBDLButtonItem::SetProperty(Keyword name, std::string_view value) {
  return SetCommonProperty(name, value) || ReportInvalidProperty(name, "TBDL Button");
}

bool TBDLButtonItem::AddPart(TBDLNode& child) {
  return AddMenuPart(child);
}

bool TBDLSeparatorItem::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(name_, Keyword::name, name, value) ||
         ReportInvalidProperty(name, "TBDL separator button");
}

bool TBDLIndicatorItem::SetProperty(Keyword name, std::string_view value) {
  static constexpr Keyword kAddImage[] = {Keyword::addimg1, Keyword::addimg2, Keyword::addimg3,
                                          Keyword::addimg4, Keyword::addimg5};
  static constexpr Keyword kParam[] = {Keyword::param1, Keyword::param2, Keyword::param3};
  if (SetCommonProperty(name, value) || SetTextProperty(type_, Keyword::type, name, value)) {
    return true;
  }
  for (size_t i = 0; i < addimg_.size(); ++i) {
    if (SetIntProperty(addimg_[i], kAddImage[i], name, value)) return true;
  }
  for (size_t i = 0; i < param_.size(); ++i) {
    if (SetTextProperty(param_[i], kParam[i], name, value)) return true;
  }
  return ReportInvalidProperty(name, "TBDL Indicator");
}

bool TBDLIndicatorItem::AddPart(TBDLNode& child) {
  return AddMenuPart(child);
}

}  // namespace qv::tbdl
