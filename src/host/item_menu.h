// The drop-down menu of an item, built from its menu entries: owner-drawn
// entries with their images, submenus, the sidebar banner, the whitelist
// toggle and the mail web-front entries.
#pragma once

#include "platform/toolbar_surface.h"

namespace qv::tbdl {
class TBDLItem;
}  // namespace qv::tbdl

namespace qv {

class PopupBlockerView;

// Fills menu (expected empty) from the item's entries. sidebarMode: a
// "SIDEBAR!" first entry becomes the banner and the next entry starts a
// second column. popup answers whether the whitelist entry shows its
// second text.
void BuildEntriesMenu(const tbdl::TBDLItem& item, bool sidebarMode, PopupBlockerView& popup,
                      PopupMenu& menu);

}  // namespace qv
