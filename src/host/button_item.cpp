// BUTTON, TEXT and SEPARATOR items on the toolbar.
#include "host/item_behaviour.h"
#include "host/toolbar_ctrl.h"
#include "install/resource_lookup.h"

namespace qv {

void ButtonBehaviour::MoveMenuBitmap(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) {
  TBWToolBarCtrl::ItemState* state = toolbar.StateOf(item.Index());
  if (!state || !state->bitmapButton) return;
  Rect r;
  if (toolbar.Control().GetRect(ButtonId(item), &r))
    toolbar.Control().MoveChild(state->bitmapButton, r);
}

void ButtonBehaviour::Setup(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const {
  SetupButtonLike(toolbar, item, false);
}

void ButtonBehaviour::CreateWindows(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const {
  CreateMenuBitmap(toolbar, item);
}

void ButtonBehaviour::Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const {
  SetTextAndImage(toolbar.Control(), item, ButtonText(item, item.GetCaption()), item.GetImage());
  toolbar.ApplyItemVisibility(item.Index(), item.GetName());
  MoveMenuBitmap(toolbar, item);
}

// The drop-down style from the menu's type, or a bitmap that replaces the
// button.
void ButtonBehaviour::SetupButtonLike(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item,
                                      bool indicator) {
  ToolbarSurface& control = toolbar.Control();
  ResourceLookup& lookup = toolbar.Lookup();
  const tbdl::TBDLButtonMenu& menu = item.Menu();
  const std::string& type = menu.Type();
  const int id = ButtonId(item);
  const uint8_t dropStyle = type == "Single" ? kBtnsWholedropdown : kBtnsDropdown;

  std::string bitmap = menu.Image();
  int width = 0, height = 0;
  const bool hasBitmap = !bitmap.empty() && lookup.EnsureResourceFile(bitmap) &&
                         control.ReadBitmapSize(bitmap, &width, &height);
  // The bitmap button comes with the item's windows, from the file found
  // here: looked up once, since a lookup may fetch.
  if (TBWToolBarCtrl::ItemState* state = toolbar.StateOf(item.Index()))
    state->menuBitmap = hasBitmap ? bitmap : std::string();
  if (!hasBitmap) {
    // An indicator takes the drop-down style for any menu type, "None"
    // included; a button only for a type other than "None".
    if (!type.empty() && (indicator || type != "None")) {
      ButtonInfo info;
      info.mask = kTbifStyle;
      info.style = kBtnsShowtext | kBtnsAutosize | dropStyle;
      control.SetButtonInfo(id, info);
    }
    return;
  }
  ButtonInfo info;
  info.mask = kTbifState | kTbifStyle | kTbifSize;
  info.cx = width + 20;
  if (type == "Split") info.cx += 6;
  if (type == "None" || (!indicator && type.empty())) info.cx -= 8;
  if (indicator) {
    info.state = kTbstateIndeterminate;
    info.style = kBtnsButton;
  } else {
    info.state = kTbstateEnabled;
    info.style = (!type.empty() && type != "None") ? dropStyle : kBtnsButton;
  }
  control.SetButtonInfo(id, info);
}

void ButtonBehaviour::CreateMenuBitmap(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) {
  TBWToolBarCtrl::ItemState* state = toolbar.StateOf(item.Index());
  if (!state || state->bitmapButton || state->menuBitmap.empty()) return;
  ToolbarSurface& control = toolbar.Control();
  ResourceLookup& lookup = toolbar.Lookup();
  const std::string& bitmap = state->menuBitmap;
  Rect r;
  control.GetRect(ButtonId(item), &r);
  state->bitmapButton =
      control.CreateChild(ChildSpec{ChildKind::kBitmapButton, kWsChild | kWsVisible, 0, r});
  std::string hot = item.Menu().HotImage();
  if (hot.empty() || !lookup.EnsureResourceFile(hot)) hot = bitmap;
  // A hot picture that cannot be read leaves the button on its own.
  if (state->bitmapButton && !control.SetBitmapButtonImages(state->bitmapButton, bitmap, hot))
    control.SetBitmapButtonImages(state->bitmapButton, bitmap, bitmap);
}

void SeparatorBehaviour::Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& item) const {
  // A named separator can be hidden like any item.
  toolbar.ApplyItemVisibility(item.Index(), item.GetName());
}

}  // namespace qv
