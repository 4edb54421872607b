// What the toolbar window does with an item of each kind: set up its button
// and child control, update them, build its drop-down menu and colour its
// button. One stateless behaviour per kind, chosen by the item's kind; the
// toolbar window keeps the items' windows and hands itself to them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/toolbar_surface.h"
#include "tbdl/items.h"

namespace qv::tbdl {
class TBDLComboItem;
class TBDLWebPageItem;
}  // namespace qv::tbdl

namespace qv {

class TBWToolBarCtrl;
struct CustomDrawInfo;

class ItemBehaviour {
 public:
  virtual ~ItemBehaviour() = default;
  // Once per build, after the buttons were added (and again for web pages
  // that follow the current page): the item's button.
  virtual void Setup(TBWToolBarCtrl& /*toolbar*/, tbdl::TBDLItem& /*item*/) const {}
  // The item's child windows (controls, page hosts, menu bitmaps), made
  // right after Setup or, while the toolbar is first shown, a moment later:
  // they are what costs most at start and the buttons do not wait for them.
  virtual void CreateWindows(TBWToolBarCtrl& /*toolbar*/, tbdl::TBDLItem& /*item*/) const {}
  // The button (and control) show the item's current state.
  virtual void Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const = 0;
  // The drop-down menu from the item's menu entries.
  virtual void BuildMenu(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item, PopupMenu& menu,
                         bool sidebarMode) const;
  // An enabled button's item pre-paint: hot or pressed text in the hot
  // colour, for every kind alike.
  virtual uint32_t CustomDraw(tbdl::TBDLItem& item, CustomDrawInfo& draw) const;
};

// The behaviour of an item kind.
const ItemBehaviour& BehaviourOf(tbdl::ItemKind kind);

// The button-face helpers the kinds share.
// The text a button shows: none when the item is set to icon only.
std::string ButtonText(const tbdl::TBDLItem& item, const std::string& text);
void SetTextAndImage(ToolbarButtons& buttons, const tbdl::TBDLItem& item, const std::string& text,
                     int image);
int ButtonId(const tbdl::TBDLItem& item);

// BUTTON and TEXT: a button with its caption and image, a drop-down style
// from its menu's type or a menu bitmap over it.
class ButtonBehaviour : public ItemBehaviour {
 public:
  void Setup(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
  void CreateWindows(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
  void Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
  // The setup of button-like items; an indicator takes the drop-down style
  // for any menu type and its bitmap button is indeterminate.
  static void SetupButtonLike(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item, bool indicator);
  // The menu bitmap button over a button-like item whose menu has one.
  static void CreateMenuBitmap(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item);
  // The menu bitmap follows its button.
  static void MoveMenuBitmap(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item);
};

// SEPARATOR: only a named one does anything, it can be hidden.
class SeparatorBehaviour : public ItemBehaviour {
 public:
  void Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
};

// INDICATOR: a button-like item whose look comes from the feature that
// shows its type.
class IndicatorBehaviour : public ItemBehaviour {
 public:
  void Setup(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
  void CreateWindows(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
  void Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
};

// COMBO: a combo box or edit field over a disabled button, sized as a
// percentage of the buttons width.
class ComboBehaviour : public ItemBehaviour {
 public:
  void Setup(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
  void CreateWindows(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
  void Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
  // Reflected CBN_* notifications of the item's control.
  static void OnNotification(TBWToolBarCtrl& toolbar, tbdl::TBDLComboItem& item, unsigned code);
};

// WEBPAGE: a page host over an indeterminate button.
class WebPageBehaviour : public ItemBehaviour {
 public:
  // The page host, made when missing, goes to the item's address.
  void CreateWindows(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
  void Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const override;
  // The page's document completed (auto-sizing pages take its width).
  static void OnDocumentComplete(TBWToolBarCtrl& toolbar, tbdl::TBDLWebPageItem& item, bool hasBody,
                                 int scrollWidth);
  // A navigation starts in the page: true when it is relayed to the browser.
  static bool OnBeforeNavigate(TBWToolBarCtrl& toolbar, tbdl::TBDLWebPageItem& item,
                               const std::string& url);
};

}  // namespace qv
