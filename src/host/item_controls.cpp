// The items' buttons and child controls: Setup and UpdateButton of every
// item kind.
#include <algorithm>
#include <string>

#include "host/toolbar_command_host.h"
#include "host/toolbar_ctrl.h"
#include "install/resource_lookup.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/part.h"
#include "tbdl/toolbar.h"

namespace qv {

using tbdl::TBDLComboItem;
using tbdl::TBDLIndicatorItem;
using tbdl::TBDLItem;
using tbdl::TBDLWebPageItem;

namespace {

int ButtonId(const TBDLItem& item) {
  return kButtonIdBase + item.Index();
}

// The button cx field is 16 bits wide; percentages from the settings store
// are unchecked numbers.
constexpr int64_t kMaxButtonWidth = 32767;

}  // namespace

void TBWToolBarCtrl::UpdateItem(TBDLItem& item) {
  switch (item.GetKind()) {
    case tbdl::kItemButton:
    case tbdl::kItemText:
      UpdateButtonItem(item);
      break;
    case tbdl::kItemIndicator:
      UpdateIndicator(static_cast<TBDLIndicatorItem&>(item));
      break;
    case tbdl::kItemCombo:
      UpdateCombo(static_cast<TBDLComboItem&>(item));
      break;
    case tbdl::kItemWebButton:
      UpdateWebPage(static_cast<TBDLWebPageItem&>(item));
      break;
    case tbdl::kItemSeparator:
      // A named separator can be hidden like any item.
      ApplyItemVisibility(item.Index(), item.GetName());
      break;
  }
}

void TBWToolBarCtrl::SetupItem(TBDLItem& item) {
  switch (item.GetKind()) {
    case tbdl::kItemButton:
    case tbdl::kItemText:
      SetupButtonLike(item, false);
      break;
    case tbdl::kItemIndicator:
      SetupButtonLike(item, true);
      break;
    case tbdl::kItemCombo:
      SetupCombo(static_cast<TBDLComboItem&>(item));
      break;
    case tbdl::kItemWebButton:
      SetupWebPage(static_cast<TBDLWebPageItem&>(item));
      break;
    case tbdl::kItemSeparator:
      break;
  }
}

std::string TBWToolBarCtrl::ButtonText(TBDLItem& item, const std::string& text) {
  if (GetSettingDword("ItemIconOnly_" + item.GetName(), 0) != 0) return {};
  return text;
}

void TBWToolBarCtrl::SetTextAndImage(TBDLItem& item, const std::string& text, int image) {
  ButtonInfo info;
  info.mask = kTbifText | kTbifImage;
  info.text = text;
  info.image = image;
  control_.SetButtonInfo(ButtonId(item), info);
}

void TBWToolBarCtrl::MoveMenuBitmap(TBDLItem& item) {
  ItemState* state = StateOf(item.Index());
  if (!state || !state->bitmapButton) return;
  Rect r;
  if (control_.GetRect(ButtonId(item), &r)) control_.MoveChild(state->bitmapButton, r);
}

void TBWToolBarCtrl::UpdateButtonItem(TBDLItem& item) {
  SetTextAndImage(item, ButtonText(item, item.GetCaption()), item.GetImage());
  ApplyItemVisibility(item.Index(), item.GetName());
  MoveMenuBitmap(item);
}

// BUTTON, TEXT and INDICATOR: the drop-down style from the menu's type, or
// a bitmap that replaces the button.
void TBWToolBarCtrl::SetupButtonLike(TBDLItem& item, bool indicator) {
  const tbdl::TBDLButtonMenu& menu = item.Menu();
  const std::string& type = menu.Type();
  const int id = ButtonId(item);
  const uint8_t dropStyle = type == "Single" ? kBtnsWholedropdown : kBtnsDropdown;

  std::string bitmap = menu.Image();
  int width = 0, height = 0;
  const bool hasBitmap = !bitmap.empty() && lookup_.EnsureResourceFile(bitmap) &&
                         control_.ReadBitmapSize(bitmap, &width, &height);
  if (!hasBitmap) {
    // An indicator takes the drop-down style for any menu type, "None"
    // included; a button only for a type other than "None".
    if (!type.empty() && (indicator || type != "None")) {
      ButtonInfo info;
      info.mask = kTbifStyle;
      info.style = kBtnsShowtext | kBtnsAutosize | dropStyle;
      control_.SetButtonInfo(id, info);
    }
  } else {
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
    control_.SetButtonInfo(id, info);
    ItemState* state = StateOf(item.Index());
    if (state && !state->bitmapButton) {
      Rect r;
      control_.GetRect(id, &r);
      state->bitmapButton =
          control_.CreateChild(ChildSpec{ChildKind::kBitmapButton, kWsChild | kWsVisible, 0, r});
      std::string hot = menu.HotImage();
      if (hot.empty() || !lookup_.EnsureResourceFile(hot)) hot = bitmap;
      // A hot picture that cannot be read leaves the button on its own.
      if (state->bitmapButton && !control_.SetBitmapButtonImages(state->bitmapButton, bitmap, hot))
        control_.SetBitmapButtonImages(state->bitmapButton, bitmap, bitmap);
    }
  }

  if (indicator && static_cast<TBDLIndicatorItem&>(item).Type() == "POPUP") {
    KillTimerId(kPopupCounterTimerId);
    SetTimerId(kPopupCounterTimerId, 15000);
  }
}

// --- COMBO

void TBWToolBarCtrl::SetupCombo(TBDLComboItem& item) {
  const int id = ButtonId(item);
  const bool edit = item.Type() == "edit";
  Rect r;
  control_.GetRect(id, &r);
  if (!edit) {
    r.right += 50;
    r.bottom += 100;
  } else {
    r.top = 3;
    r.bottom = 18;
  }
  ButtonInfo info;
  info.mask = kTbifStyle | kTbifSize;
  info.style = kBtnsShowtext;
  info.cx = r.Width();
  control_.SetButtonInfo(id, info);

  ItemState* state = StateOf(item.Index());
  if (state && !state->window) {
    ChildSpec spec;
    spec.rect = r;
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
    const WindowId window = control_.CreateChild(spec);
    if (window) {
      state->window = window;
      const WindowId editPart = control_.EditPartOf(window);
      if (edit) {
        control_.EditLimitText(window, item.MaxChars());
      } else {
        control_.ComboLimitText(window, item.MaxChars());
      }
      control_.AddToolTip(editPart, item.GetHint());
      keyboardControls_.emplace_back(*this, item.Index(), window, editPart);
      commandHost_->AddField(item, window);
      // Filled once, when the control is made.
      hooks_.search->FillInputControl(*this, item);
    }
  }
  control_.EnableButton(id, false);
}

void TBWToolBarCtrl::UpdateCombo(TBDLComboItem& item) {
  item.ApplyDefaultWidth();
  const int id = ButtonId(item);
  Rect r;
  control_.GetRect(id, &r);
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
  const int width = static_cast<int>(
      std::clamp<int64_t>(static_cast<int64_t>(buttonsWidth_) * percent / 100, 0, kMaxButtonWidth));
  r.right = r.left + width;

  ItemState* state = StateOf(item.Index());
  const WindowId window = state ? state->window : 0;
  if (window) control_.MoveChild(window, r);
  ButtonInfo info;
  info.mask = kTbifSize | kTbifText;
  info.cx = width;
  control_.SetButtonInfo(id, info);
  if (window) control_.SetChildFont(window);
  // A hidden combo hides its control with its button.
  ApplyItemVisibility(item.Index(), item.GetName());
  if (window) control_.ShowChild(window, !control_.IsButtonHidden(id));
}

// --- WEBPAGE

void TBWToolBarCtrl::SetupWebPage(TBDLWebPageItem& item) {
  ItemState* state = StateOf(item.Index());
  if (!state) return;
  if (!state->window) {
    Rect r;
    control_.GetRect(ButtonId(item), &r);
    state->window =
        control_.CreateChild(ChildSpec{ChildKind::kWebPage, kWsChild | kWsVisible, 0, r});
    if (!state->window) return;
  }
  std::string url;
  if (hooks_.pages->PageAddress(*this, item, &state->lastDomain, &url))
    control_.NavigateWebPage(state->window, url);
}

void TBWToolBarCtrl::UpdateWebPage(TBDLWebPageItem& item) {
  const int id = ButtonId(item);
  const int width = item.CurrentWidth() != 0 ? item.CurrentWidth() : item.Width();
  Rect r;
  control_.GetRect(id, &r);
  r.bottom += 20;
  r.right = r.left + width;
  if (item.Border() != 0) r.bottom = 22;
  const bool hidden = GetSettingDword("ItemHidden_" + item.GetName(), 0) != 0;
  ButtonInfo info;
  info.mask = kTbifState | kTbifStyle | kTbifSize;
  info.state = kTbstateIndeterminate;
  info.style = kBtnsButton;
  info.cx = hidden ? 0 : std::clamp(width, 0, static_cast<int>(kMaxButtonWidth));
  control_.SetButtonInfo(id, info);
  if (ItemState* state = StateOf(item.Index()); state && state->window) {
    control_.MoveChild(state->window, r);
    control_.ShowChild(state->window, !hidden);
  }
  ApplyItemVisibility(item.Index(), item.GetName());
}

void TBWToolBarCtrl::OnWebPageDocumentComplete(WindowId page, bool hasBody, int scrollWidth) {
  const int index = ItemOfWindow(page);
  TBDLItem* item = ItemAt(index);
  if (!item || item->GetKind() != tbdl::kItemWebButton || !hasBody) return;
  StateOf(index)->webPageLoaded = true;
  auto& web = static_cast<TBDLWebPageItem&>(*item);
  if (!web.AutoSize()) return;
  web.SetCurrentWidth(scrollWidth);
  for (const auto& each : model_->Items()) UpdateItem(*each);
}

bool TBWToolBarCtrl::OnWebPageBeforeNavigate(WindowId page, const std::string& url) {
  const int index = ItemOfWindow(page);
  TBDLItem* item = ItemAt(index);
  if (!item || item->GetKind() != tbdl::kItemWebButton || !WebPageLoaded(index)) return false;
  if (!static_cast<TBDLWebPageItem&>(*item).RelayNavigation() ||
      url.find("autorefresh") != std::string::npos)
    return false;
  hooks_.owner->NavigateBrowser(url);
  return true;
}

}  // namespace qv
