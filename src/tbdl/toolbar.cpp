#include "tbdl/toolbar.h"

#include "install/resource_lookup.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/node.h"

namespace qv::tbdl {

TBDLToolbar::TBDLToolbar() = default;
TBDLToolbar::~TBDLToolbar() = default;

void TBDLToolbar::Load(TBDLNode& node) {
  LoadProperties(node);
  for (auto& child : node.children) {
    if (!child) continue;
    AddPart(*child);
    child.reset();
  }
  // Leave a node without empty slots behind.
  node.children.clear();
}

bool TBDLToolbar::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(imageFile_, Keyword::image, name, value) ||
         SetTextProperty(hotImageFile_, Keyword::hotimage, name, value) ||
         ReportInvalidProperty(name, "TBDL Toolbar");
}

namespace {

std::unique_ptr<TBDLItem> NewItem(Keyword part) {
  switch (part) {
    case Keyword::BUTTON:
      return std::make_unique<TBDLButtonItem>();
    case Keyword::TEXT:
      return std::make_unique<TBDLTextItem>();
    case Keyword::COMBO:
      return std::make_unique<TBDLComboItem>();
    case Keyword::WEBPAGE:
      return std::make_unique<TBDLWebPageItem>();
    case Keyword::SEPARATOR:
    case Keyword::NAMEDSEPARATOR:
      return std::make_unique<TBDLSeparatorItem>();
    case Keyword::INDICATOR:
      return std::make_unique<TBDLIndicatorItem>();
    default:
      return nullptr;
  }
}

}  // namespace

bool TBDLToolbar::AddPart(TBDLNode& child) {
  if (std::unique_ptr<TBDLItem> item = NewItem(child.keyword)) {
    // The item joins the list before it reads itself.
    items_.push_back(std::move(item));
    items_.back()->Load(child);
    return true;
  }
  if (child.keyword == Keyword::COMMANDS) {
    commands_.Load(child);
    return true;
  }
  if (child.keyword == Keyword::SETTINGS) {
    settings_.Load(child);
    return true;
  }
  return false;
}

TBDLItem* TBDLToolbar::Item(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) return nullptr;
  return items_[index].get();
}

TBDLCommand* TBDLToolbar::Command(int32_t index) const {
  const auto& commands = commands_.Commands();
  if (index < 0 || static_cast<size_t>(index) >= commands.size()) return nullptr;
  return commands[index].get();
}

bool TBDLToolbar::PrepareResources(ResourceLookup& lookup) {
  if (imageFile_.empty()) imageFile_ = kDefaultImageFile;
  if (hotImageFile_.empty()) hotImageFile_ = kDefaultHotImageFile;
  // The lookup rewrites its argument into a path; the model keeps the names.
  std::string image = imageFile_;
  std::string hotImage = hotImageFile_;
  bool ok = lookup.EnsureResourceFile(image);
  ok = lookup.EnsureResourceFile(hotImage) && ok;
  return commands_.PrepareResources() && ok;
}

}  // namespace qv::tbdl
