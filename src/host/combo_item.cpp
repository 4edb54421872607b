// COMBO items on the toolbar: a combo box or an edit field over a disabled
// button, one of the keyboard controls.
#include <algorithm>

#include "host/item_behaviour.h"
#include "host/toolbar_command_host.h"
#include "host/toolbar_ctrl.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/part.h"

namespace qv {

namespace {

// The button cx field is 16 bits wide; percentages from the settings store
// are unchecked numbers.
constexpr int64_t kMaxButtonWidth = 32767;

// The reflected combo-box notifications (CBN_*).
constexpr unsigned kCbnSetFocus = 3;
constexpr unsigned kCbnKillFocus = 4;
constexpr unsigned kCbnEditUpdate = 6;
constexpr unsigned kCbnSelEndOk = 9;

}  // namespace

void ComboBehaviour::Setup(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& base) const {
  auto& item = static_cast<tbdl::TBDLComboItem&>(base);
  ToolbarSurface& control = toolbar.Control();
  const int id = ButtonId(item);
  const bool edit = item.Type() == "edit";
  Rect r;
  control.GetRect(id, &r);
  // A combo box's button is 50 pixels wider than its text made it.
  ButtonInfo info;
  info.mask = kTbifStyle | kTbifSize;
  info.style = kBtnsShowtext;
  info.cx = r.Width() + (edit ? 0 : 50);
  control.SetButtonInfo(id, info);
  control.EnableButton(id, false);
}

void ComboBehaviour::CreateWindows(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& base) const {
  auto& item = static_cast<tbdl::TBDLComboItem&>(base);
  TBWToolBarCtrl::ItemState* state = toolbar.StateOf(item.Index());
  if (!state || state->window) return;
  ToolbarSurface& control = toolbar.Control();
  const bool edit = item.Type() == "edit";
  // Over the button Setup sized: a combo box reaches 100 pixels below it
  // for its list, an edit field sits inside it.
  ChildSpec spec;
  control.GetRect(ButtonId(item), &spec.rect);
  if (!edit) {
    spec.rect.bottom += 100;
  } else {
    spec.rect.top = 3;
    spec.rect.bottom = 18;
  }
  if (edit) {
    spec.kind = ChildKind::kEdit;
    spec.style = kWsChild | kWsVisible | kWsTabstop | kWsBorder | kEsAutohscroll;
    if (item.Password() != 0) spec.style |= kEsPassword;
    spec.exStyle = kWsExClientedge;
  } else {
    spec.kind = ChildKind::kComboBox;
    spec.style = kWsChild | kWsVisible | kWsTabstop | kWsVscroll | kCbsAutohscroll |
                 (item.Values().empty() ? kCbsDropdown : kCbsDropdownlist);
  }
  const WindowId window = control.CreateChild(spec);
  if (!window) return;
  state->window = window;
  const WindowId editPart = control.EditPartOf(window);
  if (edit) {
    control.EditLimitText(window, item.MaxChars());
  } else {
    control.ComboLimitText(window, item.MaxChars());
  }
  control.AddToolTip(editPart, item.GetHint());
  toolbar.Keyboard().Add(item.Index(), window, editPart);
  toolbar.CommandHost().AddField(item, window);
  // Filled once, when the control is made.
  toolbar.Hooks().search->FillInputControl(toolbar, item);
}

void ComboBehaviour::Update(TBWToolBarCtrl& toolbar, tbdl::TBDLItem& base) const {
  auto& item = static_cast<tbdl::TBDLComboItem&>(base);
  ToolbarSurface& control = toolbar.Control();
  item.ApplyDefaultWidth();
  const int id = ButtonId(item);
  Rect r;
  control.GetRect(id, &r);
  if (item.Type() != "edit") {
    if (item.Type() == "droplist" && item.MaxHistLines() != 0) {
      r.bottom += 100;
    } else if (r.Height() < 100) {
      r.bottom += 100;
    }
  }
  const uint32_t stored = GetSettingDword("ItemWidth_" + item.GetName(), 0xFFFFFFFFu);
  const int64_t percent =
      stored != 0xFFFFFFFFu ? static_cast<int32_t>(stored) : tbdl::ParseIntValue(item.Width());
  const int width = static_cast<int>(std::clamp<int64_t>(
      static_cast<int64_t>(toolbar.ButtonsWidth()) * percent / 100, 0, kMaxButtonWidth));
  r.right = r.left + width;

  const WindowId window = toolbar.ItemWindow(item.Index());
  if (window) control.MoveChild(window, r);
  ButtonInfo info;
  info.mask = kTbifSize | kTbifText;
  info.cx = width;
  control.SetButtonInfo(id, info);
  if (window) control.SetChildFont(window);
  // A hidden combo hides its control with its button.
  toolbar.ApplyItemVisibility(item.Index(), item.GetName());
  if (window) control.ShowChild(window, !control.IsButtonHidden(id));
}

void ComboBehaviour::OnNotification(TBWToolBarCtrl& toolbar, tbdl::TBDLComboItem& item,
                                    unsigned code) {
  switch (code) {
    case kCbnEditUpdate:
      toolbar.Hooks().search->OnEditUpdate(toolbar, item);
      break;
    case kCbnSelEndOk:
      toolbar.Hooks().search->OnSelEndOk(toolbar, item);
      break;
    case kCbnSetFocus:
      toolbar.Keyboard().NotifyFocusChange(true);
      break;
    case kCbnKillFocus:
      toolbar.Keyboard().NotifyFocusChange(false);
      break;
    default:
      break;
  }
}

}  // namespace qv
