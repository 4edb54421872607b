// Drop-down menus of BUTTON, TEXT and INDICATOR items, built from the
// item's menu entries each time the menu drops down.
#include "host/item_menu.h"

#include <map>
#include <string>
#include <vector>

#include "host/toolbar_hooks.h"
#include "mail/indicator.h"
#include "tbdl/items.h"
#include "tbdl/menus.h"

namespace qv {

using tbdl::MenuEntryKind;
using tbdl::TBDLMenuEntry;

namespace {

constexpr char kSidebarPrefix[] = "SIDEBAR!";
constexpr char kWhitelistPrefix[] = "ToggleWhitelisted!";
constexpr uint32_t kOwnerDrawnPopup = kMfOwnerdraw | kMfPopup;                  // 0x110
constexpr uint32_t kOwnerDrawnSeparator = kMfOwnerdraw | kMfSeparator;          // 2304
constexpr uint32_t kOwnerDrawnGrayed = kMfOwnerdraw | kMfGrayed | kMfDisabled;  // 0x103

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

MenuItemData Data(std::string text, int image, uint32_t typeFlags = 0) {
  MenuItemData data;
  data.text = std::move(text);
  data.typeFlags = typeFlags;
  data.image = image;
  return data;
}

// Submenus nested deeper than this are shown empty: a menu tree is
// destroyed and handed to the window system level by level, and no one
// opens forty cascading menus.
constexpr uint32_t kMaxMenuDepth = 32;

// One popup menu being filled: whether its first entry is a sidebar banner
// and how many of the item's entries went into it.
struct MenuUnderConstruction {
  PopupMenu menu;
  size_t entriesBuilt = 0;
  bool firstIsSidebar = false;
};

}  // namespace

// Entries are kept flat in numbering order, a submenu after its own
// entries, so the menu is built in one pass without recursion: a submenu's
// popup is complete when the submenu itself comes up.
void BuildEntriesMenu(const tbdl::TBDLItem& item, bool sidebarMode, PopupBlockerView& popup,
                      PopupMenu& menu) {
  const auto& entries = item.Menu().Entries();
  std::map<uint32_t, MenuUnderConstruction> open;
  MenuUnderConstruction top;

  // A parent comes after its entries, so depths are known walking back.
  std::vector<uint32_t> depth(entries.size(), 0);
  for (size_t n = entries.size(); n-- > 0;) {
    const uint32_t parent = entries[n]->Parent();
    if (parent != TBDLMenuEntry::kNoParent && parent < entries.size()) depth[n] = depth[parent] + 1;
  }

  for (uint32_t number = 0; number < entries.size(); ++number) {
    const TBDLMenuEntry& entry = *entries[number];
    if (depth[number] > kMaxMenuDepth) continue;
    MenuUnderConstruction& target =
        entry.Parent() == TBDLMenuEntry::kNoParent ? top : open[entry.Parent()];
    // The entry after a sidebar banner starts the menu's second column.
    const uint32_t flags =
        (sidebarMode && target.entriesBuilt == 1 && target.firstIsSidebar) ? kMfMenubreak : 0;
    if (target.entriesBuilt == 0) target.firstIsSidebar = entry.IsSidebar();
    ++target.entriesBuilt;

    const uint32_t id = MenuEntryIdentifier(item.Index(), number).value_or(0);
    switch (entry.Kind()) {
      case MenuEntryKind::kSeparator:
        target.menu.Append(kOwnerDrawnSeparator, id, Data({}, -1, kMfSeparator));
        break;
      case MenuEntryKind::kSubmenu: {
        auto sub = open.find(number);
        PopupMenu popup = sub != open.end() ? std::move(sub->second.menu) : PopupMenu{};
        if (sub != open.end()) open.erase(sub);
        target.menu.AppendPopup(flags | kOwnerDrawnPopup, std::move(popup),
                                Data(entry.Caption(), entry.GetImage()));
        break;
      }
      case MenuEntryKind::kItem: {
        const std::string& caption = entry.Caption();
        const uint32_t itemFlags = flags | kMfOwnerdraw;
        if (sidebarMode && StartsWith(caption, kSidebarPrefix) && target.menu.Empty()) {
          target.menu.Append(itemFlags, kSidebarEntryId, Data(caption, entry.GetImage()));
        } else if (StartsWith(caption, kWhitelistPrefix)) {
          const std::string rest = caption.substr(sizeof kWhitelistPrefix - 1);
          const size_t bang = rest.find('!');
          const std::string first = rest.substr(0, bang);
          const std::string second = bang == std::string::npos ? rest : rest.substr(bang + 1);
          const bool whitelisted = popup.IsCurrentSiteWhitelisted();
          target.menu.Append(itemFlags, id, Data(whitelisted ? second : first, -1));
        } else if (StartsWith(caption, mail::kWebFrontMarker)) {
          const std::string pattern = caption.substr(sizeof mail::kWebFrontMarker - 1);
          mail::WebFrontEntries accounts = mail::BuildWebFrontEntries(pattern);
          if (accounts.noAccounts) {
            target.menu.Append(itemFlags | kOwnerDrawnGrayed, id, Data(mail::kNoAccountsText, -1));
            break;
          }
          bool first = true;
          for (mail::WebFrontEntry& account : accounts.entries) {
            // Only the first account entry may start a new column.
            target.menu.Append(first ? itemFlags : kMfOwnerdraw, account.id,
                               Data(std::move(account.text), -1));
            first = false;
          }
        } else {
          target.menu.Append(itemFlags, id, Data(caption, entry.GetImage()));
        }
        break;
      }
    }
  }
  menu.entries = std::move(top.menu.entries);
}

}  // namespace qv
