// The drop-down menu of a BUTTON, TEXT or INDICATOR item and its entries.
//
// Entries are numbered per item, depth first, a SUBMENU after all of its
// own entries; the number makes the entry's menu command identifier. The
// menu keeps every entry, at any depth, in one list in that order, so that
// entry n is simply the n-th element: lookups are constant time and nothing
// recurses over the nesting depth (a definition can nest submenus deeper
// than a thread's stack allows).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tbdl/identifiers.h"
#include "tbdl/part.h"

namespace qv::tbdl {

enum class MenuEntryKind : uint8_t { kItem, kSeparator, kSubmenu };

// Common base of MENUITEM, SUBMENU and MENUSEPARATOR.
class TBDLMenuEntry : public TBDLPart {
 public:
  static constexpr uint32_t kNoParent = UINT32_MAX;

  virtual MenuEntryKind Kind() const = 0;
  // True for a MENUITEM whose caption begins with "SIDEBAR!".
  virtual bool IsSidebar() const { return false; }
  virtual int32_t GetImage() const { return image_; }

  const std::string& Hint() const { return hint_; }
  const std::string& Command() const { return command_; }
  const std::string& Caption() const { return caption_; }
  // Entry number of the SUBMENU that holds this entry, kNoParent at the
  // top level of the menu.
  uint32_t Parent() const { return parent_; }
  // Entry number of the first entry of this entry's subtree: for a SUBMENU
  // its earliest descendant (itself when empty), for others itself.
  uint32_t SubtreeBegin() const { return subtreeBegin_; }
  // Position among the entries of the same list (the menu's or the
  // SUBMENU's), from 0.
  uint32_t IndexInParent() const { return indexInParent_; }

 protected:
  friend class TBDLButtonMenu;
  std::string hint_;
  std::string command_;
  std::string caption_;
  int32_t image_ = 0;
  uint32_t parent_ = kNoParent;
  uint32_t subtreeBegin_ = 0;
  uint32_t indexInParent_ = 0;
};

class TBDLMenuItem : public TBDLMenuEntry {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  MenuEntryKind Kind() const override { return MenuEntryKind::kItem; }
  bool IsSidebar() const override;
};

class TBDLSubMenu : public TBDLMenuEntry {
 public:
  // The entries below a submenu are read by its button menu (see above).
  bool SetProperty(Keyword name, std::string_view value) override;
  MenuEntryKind Kind() const override { return MenuEntryKind::kSubmenu; }
};

class TBDLMenuSeparator : public TBDLMenuEntry {
 public:
  // Every property is accepted and ignored.
  bool SetProperty(Keyword, std::string_view) override { return true; }
  MenuEntryKind Kind() const override { return MenuEntryKind::kSeparator; }
};

// The MENU part of an item.
class TBDLButtonMenu : public TBDLPart {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  // MENUITEM, MENUSEPARATOR and SUBMENU (with everything below it); any
  // other part is ignored.
  bool AddPart(TBDLNode& child) override;

  // "None", "Single", "Split" or empty.
  const std::string& Type() const { return type_; }
  // Bitmap files that replace the button, normal and hot.
  const std::string& Image() const { return image_; }
  const std::string& HotImage() const { return hotimage_; }

  // Every entry in numbering order. A popup menu can be built from it in
  // one pass: each entry goes to the end of its parent's popup, and a
  // SUBMENU comes after all of its entries, so its popup is complete when
  // the SUBMENU itself is reached.
  const std::vector<std::unique_ptr<TBDLMenuEntry>>& Entries() const { return entries_; }
  size_t EntryCount() const { return entries_.size(); }
  // The entry with that number, or null.
  const TBDLMenuEntry* FindEntry(uint32_t entryNumber) const;

 private:
  std::string type_;
  std::string image_;
  std::string hotimage_;
  std::vector<std::unique_ptr<TBDLMenuEntry>> entries_;
  uint32_t topLevelEntries_ = 0;
};

}  // namespace qv::tbdl
