#include "tbdl/menus.h"

#include "tbdl/node.h"

namespace qv::tbdl {

bool TBDLMenuItem::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(command_, Keyword::command, name, value) ||
         SetTextProperty(hint_, Keyword::hint, name, value) ||
         SetIntProperty(image_, Keyword::image, name, value) ||
         SetTextProperty(caption_, Keyword::caption, name, value) ||
         ReportInvalidProperty(name, "TBDL Command button");
}

bool TBDLMenuItem::IsSidebar() const {
  return caption_.starts_with("SIDEBAR!");
}

bool TBDLSubMenu::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(caption_, Keyword::caption, name, value) ||
         SetIntProperty(image_, Keyword::image, name, value) ||
         ReportInvalidProperty(name, "TBDL button sub menu ");
}

bool TBDLButtonMenu::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(type_, Keyword::type, name, value) ||
         SetTextProperty(image_, Keyword::image, name, value) ||
         SetTextProperty(hotimage_, Keyword::hotimage, name, value) ||
         ReportInvalidProperty(name, "TBDL Button Menu");
}

namespace {

std::unique_ptr<TBDLMenuEntry> NewEntry(Keyword part) {
  switch (part) {
    case Keyword::MENUITEM:
      return std::make_unique<TBDLMenuItem>();
    case Keyword::MENUSEPARATOR:
      return std::make_unique<TBDLMenuSeparator>();
    case Keyword::SUBMENU:
      return std::make_unique<TBDLSubMenu>();
    default:
      return nullptr;
  }
}

}  // namespace

bool TBDLButtonMenu::AddPart(TBDLNode& child) {
  // Walks the child's subtree without recursion. Properties are applied in
  // document order (so their messages come in file order); an entry joins
  // the list when its subtree is complete, which gives the numbering order.
  struct OpenSubmenu {
    std::unique_ptr<TBDLMenuEntry> entry;
    const TBDLNode* node;
    size_t nextChild;
    std::vector<uint32_t> members;
  };
  std::vector<OpenSubmenu> open;

  // Siblings complete in order, so an entry's earlier siblings are exactly
  // those already appended to its list.
  auto append = [&](std::unique_ptr<TBDLMenuEntry> entry) {
    uint32_t number = static_cast<uint32_t>(entries_.size());
    if (entry->Kind() != MenuEntryKind::kSubmenu) entry->subtreeBegin_ = number;
    if (open.empty()) {
      entry->indexInParent_ = topLevelEntries_++;
    } else {
      entry->indexInParent_ = static_cast<uint32_t>(open.back().members.size());
      open.back().members.push_back(number);
    }
    entries_.push_back(std::move(entry));
  };
  auto start = [&](const TBDLNode& node) {
    std::unique_ptr<TBDLMenuEntry> entry = NewEntry(node.keyword);
    if (!entry) return false;
    entry->LoadProperties(node);
    if (entry->Kind() == MenuEntryKind::kSubmenu) {
      entry->subtreeBegin_ = static_cast<uint32_t>(entries_.size());
      open.push_back({std::move(entry), &node, 0, {}});
    } else {
      append(std::move(entry));
    }
    return true;
  };

  if (!start(child)) return false;
  while (!open.empty()) {
    OpenSubmenu& top = open.back();
    if (top.nextChild < top.node->children.size()) {
      const TBDLNode* next = top.node->children[top.nextChild++].get();
      if (next) start(*next);  // may grow `open`: top is not used after this
      continue;
    }
    std::unique_ptr<TBDLMenuEntry> submenu = std::move(top.entry);
    std::vector<uint32_t> members = std::move(top.members);
    open.pop_back();
    uint32_t number = static_cast<uint32_t>(entries_.size());
    for (uint32_t member : members) entries_[member]->parent_ = number;
    append(std::move(submenu));
  }
  return true;
}

const TBDLMenuEntry* TBDLButtonMenu::FindEntry(uint32_t entryNumber) const {
  return entryNumber < entries_.size() ? entries_[entryNumber].get() : nullptr;
}

}  // namespace qv::tbdl
