#include "host/toolbar_ctrl.h"

#include <cstdio>

#include "host/toolbar_command_host.h"
#include "install/resource_lookup.h"
#include "host/toolbar_mail_host.h"
#include "mail/indicator.h"
#include "mail/mail_checker.h"
#include "mail/pop3_client.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/loader.h"
#include "tbdl/toolbar.h"

namespace qv {

using tbdl::TBDLItem;

TBWToolBarCtrl::TBWToolBarCtrl(ToolbarSurface& control, ResourceLookup& lookup, ToolbarHooks hooks)
    : control_(control),
      lookup_(lookup),
      hooks_(hooks),
      commandHost_(std::make_unique<ToolbarCommandHost>(*this)) {}

TBWToolBarCtrl::~TBWToolBarCtrl() {
  DestroyItemWindows();
  Stop();
}

mail::MailChecker& TBWToolBarCtrl::MailChecker() {
  if (!mailChecker_) {
    mailClient_ = std::make_unique<mail::Pop3Client>();
    mailHost_ = std::make_unique<ToolbarMailHost>(*this);
    mailChecker_ = std::make_unique<mail::MailChecker>(*mailClient_, *mailHost_);
  }
  return *mailChecker_;
}

TBDLItem* TBWToolBarCtrl::ItemAt(int index) {
  if (!model_ || index < 0) return nullptr;
  return model_->Item(index);
}

TBWToolBarCtrl::ItemState* TBWToolBarCtrl::StateOf(int index) {
  if (index < 0 || static_cast<size_t>(index) >= states_.size()) return nullptr;
  return &states_[static_cast<size_t>(index)];
}

WindowId TBWToolBarCtrl::ItemWindow(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= states_.size()) return 0;
  return states_[static_cast<size_t>(index)].window;
}

WindowId TBWToolBarCtrl::ItemBitmapWindow(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= states_.size()) return 0;
  return states_[static_cast<size_t>(index)].bitmapButton;
}

int TBWToolBarCtrl::ItemOfWindow(WindowId window) const {
  if (window == 0) return -1;
  for (size_t i = 0; i < states_.size(); ++i) {
    if (states_[i].window == window || states_[i].bitmapButton == window)
      return static_cast<int>(i);
  }
  for (const InputControl& c : keyboardControls_) {
    if (c.EditWindow() == window) return c.ItemIndex();
  }
  return -1;
}

bool TBWToolBarCtrl::WebPageLoaded(int index) const {
  return index >= 0 && static_cast<size_t>(index) < states_.size() &&
         states_[static_cast<size_t>(index)].webPageLoaded;
}

void TBWToolBarCtrl::DestroyItemWindows() {
  for (ItemState& s : states_) {
    if (s.window) control_.DestroyChild(s.window);
    if (s.bitmapButton) control_.DestroyChild(s.bitmapButton);
  }
  states_.clear();
  keyboardControls_.clear();
  commandHost_->ClearFields();
}

bool TBWToolBarCtrl::LoadImageLists() {
  std::string normal = model_->ImageFile();
  if (normal.empty()) return true;
  int width = 0, height = 0;
  if (!lookup_.EnsureResourceFile(normal) || !control_.ReadBitmapSize(normal, &width, &height))
    return false;
  control_.SetBitmapSize(height, height);
  std::string hot = model_->HotImageFile();
  if (hot.empty() || !lookup_.EnsureResourceFile(hot)) hot = normal;
  if (!control_.LoadImageLists(normal, hot, height)) {
    imageSize_ = 0;
    return false;
  }
  imageSize_ = height;
  return true;
}

bool TBWToolBarCtrl::BuildToolbar(bool load) {
  control_.SetWaitCursor(true);
  struct CursorRestore {
    ToolbarSurface& c;
    ~CursorRestore() { c.SetWaitCursor(false); }
  } restore{control_};

  hooks_.updater->ApplyUpdateRule();
  if (load || !model_) {
    statesStale_ = true;
    if (!tbdl::LoadToolbarDefinition(model_, lookup_)) return false;
  }

  model_->indicators.clear();
  model_->pageDependentItems.clear();
  for (const auto& item : model_->Items()) {
    if (item->GetKind() == tbdl::kItemIndicator) model_->indicators.push_back(item.get());
  }
  StartPeriodicTimers();
  for (const auto& item : model_->Items()) {
    if (item->GetKind() != tbdl::kItemWebButton) continue;
    auto* page = static_cast<tbdl::TBDLWebPageItem*>(item.get());
    const std::string& url = page->Url();
    if (url.find("%url") != std::string::npos || url.find("%domain") != std::string::npos ||
        url.find("%newdomain") != std::string::npos) {
      page->SetPageDependent(true);
      model_->pageDependentItems.push_back(page);
    }
  }

  SetSettingFlag("ShowDownloadErrorMessages", true);
  SetSettingFlag("GlobalUpdateFlag", false);
  SetSettingDword("AutoUpdatePeriod", 24);

  control_.SetToolbarFont(FontSpec{"Tahoma", 13, 400, 1, 0x20});
  control_.SetExtendedStyle(kTbstyleExDrawddarrows);

  stringCounter_ = 0;
  const auto& items = model_->Items();
  for (const auto& item : items) item->SetCommandIndex(model_->FindCommand(item->Command()));

  std::vector<ToolbarButton> buttons;
  buttons.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    TBDLItem& item = *items[i];
    item.SetIndex(static_cast<int32_t>(i));
    ToolbarButton b;
    b.command = kButtonIdBase + static_cast<int>(i);
    if (item.IsSeparator()) {
      b.bitmap = kSeparatorButtonWidth;
      b.style = kBtnsSep;
    } else {
      b.bitmap = item.GetImage();
      b.state = kTbstateEnabled;
      b.style = kBtnsAutosize | kBtnsShowtext;
      b.string = stringCounter_++;
    }
    buttons.push_back(b);
  }

  // Bitmaps that cannot be read fail the build as a failed load does: the
  // previous buttons stay, the model is emptied so that they find no item.
  if (!LoadImageLists()) {
    model_ = std::make_unique<tbdl::TBDLToolbar>();
    StartPeriodicTimers();
    return false;
  }

  if (statesStale_) {
    DestroyItemWindows();
    statesStale_ = false;
  }
  states_.resize(items.size());

  for (int i = control_.ButtonCount() - 1; i >= 0; --i) control_.DeleteButton(i);
  control_.AddButtons(buttons);

  buttonsWidth_ = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    SetupItem(*items[i]);
    Rect r;
    if (control_.GetItemRect(static_cast<int>(i), &r)) buttonsWidth_ += r.Width();
  }
  for (const auto& item : items) UpdateItem(*item);
  UpdateWidths();
  hooks_.search->UpdateHighlightButton(*this);
  control_.AutoSizeAndResize();
  return true;
}

void TBWToolBarCtrl::Stop() {
  for (unsigned id : {kBlinkTimerId, kMailTimerId, kPopupCounterTimerId, kAlertTimerId})
    KillTimerId(id);
  model_.reset();
  statesStale_ = true;
  control_.DeleteToolbarFont();
  static ToolbarOwner noOwner;
  hooks_.owner = &noOwner;
}

void TBWToolBarCtrl::ApplyItemVisibility(int index, const std::string& name) {
  if (name.empty()) return;
  const bool hidden = GetSettingDword("ItemHidden_" + name, 0) != 0;
  const int id = kButtonIdBase + index;
  if (control_.IsButtonHidden(id) == hidden) return;
  control_.HideButton(id, hidden);
  RelayoutLaterCombos(index);
}

void TBWToolBarCtrl::RelayoutLaterCombos(int index) {
  if (!model_) return;
  const auto& items = model_->Items();
  for (size_t i = static_cast<size_t>(index) + 1; i < items.size(); ++i) {
    if (items[i]->GetKind() == tbdl::kItemCombo) UpdateItem(*items[i]);
  }
}

void TBWToolBarCtrl::UpdateWidths() {
  visibleWidth_ = 0;
  minimumWidth_ = 0;
  const int count = control_.ButtonCount();
  for (int i = 0; i < count; ++i) {
    ButtonInfo info;
    if (!control_.GetButtonInfo(kButtonIdBase + i, &info) || (info.state & kTbstateHidden))
      continue;
    Rect r;
    if (control_.GetItemRect(i, &r)) visibleWidth_ += r.Width();
    TBDLItem* item = ItemAt(i);
    if (item && item->KeepsWidth()) minimumWidth_ = visibleWidth_;
  }
  hooks_.owner->SetBandIdealWidth(visibleWidth_);
  control_.SetExtendedStyle(control_.GetExtendedStyle() | kTbstyleExHideclippedbuttons);
}

// --- timers

unsigned TBWToolBarCtrl::RunningTimer(unsigned id) const {
  switch (id) {
    case kBlinkTimerId:
      return blinkTimer_;
    case kMailTimerId:
      return mailTimer_;
    case kPopupCounterTimerId:
      return popupTimer_;
    case kAlertTimerId:
      return alertTimer_;
    default:
      return 0;
  }
}

void TBWToolBarCtrl::SetTimerId(unsigned id, unsigned period) {
  if (!control_.SetTimer(id, period)) return;
  switch (id) {
    case kBlinkTimerId:
      blinkTimer_ = id;
      break;
    case kMailTimerId:
      mailTimer_ = id;
      break;
    case kPopupCounterTimerId:
      popupTimer_ = id;
      break;
    case kAlertTimerId:
      alertTimer_ = id;
      break;
    default:
      break;
  }
}

void TBWToolBarCtrl::KillTimerId(unsigned id) {
  unsigned* slot = id == kBlinkTimerId          ? &blinkTimer_
                   : id == kMailTimerId         ? &mailTimer_
                   : id == kPopupCounterTimerId ? &popupTimer_
                   : id == kAlertTimerId        ? &alertTimer_
                                                : nullptr;
  if (!slot || *slot == 0) return;
  control_.KillTimer(id);
  *slot = 0;
}

void TBWToolBarCtrl::StartPeriodicTimers() {
  KillTimerId(kMailTimerId);
  bool hasMailIndicator = false;
  if (model_) {
    for (const auto& item : model_->Items()) {
      if (item->GetKind() == tbdl::kItemIndicator &&
          static_cast<tbdl::TBDLIndicatorItem&>(*item).Type() == "POP3")
        hasMailIndicator = true;
    }
  }
  if (hasMailIndicator) {
    SetTimerId(kMailTimerId, 25000);
    OnTimer(kMailTimerId);
  }
  KillTimerId(kAlertTimerId);
  if (model_ && model_->GetProperty("EnableDesktopAlerts", "0") == "1")
    SetTimerId(kAlertTimerId, 15000);
}

void TBWToolBarCtrl::OnTimer(unsigned id) {
  switch (id) {
    case kMailTimerId:
    case kForcedCheckTimerId:
      hooks_.mail->RunCheckPass(*this, id == kForcedCheckTimerId);
      break;
    case kBlinkTimerId:
      if (!model_) break;
      for (TBDLItem* item : std::vector<TBDLItem*>(model_->indicators)) {
        auto& indicator = static_cast<tbdl::TBDLIndicatorItem&>(*item);
        if (indicator.flagged) BlinkStep(indicator);
      }
      break;
    case kPopupCounterTimerId:
      if (tbdl::TBDLIndicatorItem* indicator = FirstPopupIndicator()) {
        ItemState* state = StateOf(indicator->Index());
        if (state && state->popupTotal != hooks_.popup->TotalBlockedPopups())
          UpdateItem(*indicator);
      }
      break;
    case kAlertTimerId:
      hooks_.alerts->RunAlertCheck(*this);
      break;
    default:
      break;
  }
}

bool TBWToolBarCtrl::AnyIndicatorBlinking() {
  if (!model_) return false;
  for (TBDLItem* item : model_->indicators) {
    if (static_cast<tbdl::TBDLIndicatorItem&>(*item).blinkCount > 0) return true;
  }
  return false;
}

bool TBWToolBarCtrl::AnyIndicatorFlagged() {
  if (!model_) return false;
  for (TBDLItem* item : model_->indicators) {
    if (static_cast<tbdl::TBDLIndicatorItem&>(*item).flagged) return true;
  }
  return false;
}

void TBWToolBarCtrl::RefreshIndicators() {
  if (!model_) return;
  for (TBDLItem* item : std::vector<TBDLItem*>(model_->indicators)) UpdateItem(*item);
  if (AnyIndicatorBlinking()) {
    if (!blinkTimer_) SetTimerId(kBlinkTimerId, 500);
  } else {
    KillTimerId(kBlinkTimerId);
  }
}

bool TBWToolBarCtrl::UpdateAllItems() {
  if (!model_) return false;
  for (const auto& item : model_->Items()) UpdateItem(*item);
  return AnyIndicatorBlinking();
}

tbdl::TBDLIndicatorItem* TBWToolBarCtrl::FirstPopupIndicator() {
  if (!model_) return nullptr;
  for (TBDLItem* item : model_->indicators) {
    auto& indicator = static_cast<tbdl::TBDLIndicatorItem&>(*item);
    if (indicator.Type() == "POPUP") return &indicator;
  }
  return nullptr;
}

void TBWToolBarCtrl::SetPopupIndicatorState(int state) {
  if (tbdl::TBDLIndicatorItem* indicator = FirstPopupIndicator()) {
    indicator->state = state;
    UpdateItem(*indicator);
  }
}

void TBWToolBarCtrl::RefreshPopupIndicator() {
  if (tbdl::TBDLIndicatorItem* indicator = FirstPopupIndicator()) UpdateItem(*indicator);
}

// --- commands, clicks and menus

void TBWToolBarCtrl::ExecuteCommand(int commandIndex, bool pressed, const std::string& parameter) {
  if (!model_) return;
  tbdl::TBDLCommand* command = model_->Command(commandIndex);
  if (!command) return;
  hooks_.commands->Run(*this, *command, pressed, parameter);
}

void TBWToolBarCtrl::OnCommand(unsigned id, bool fromMenu) {
  if (fromMenu) {
    OnMenuCommand(id);
  } else if (CommandTarget t = DecodeCommandId(id, CommandSource::kButton);
             t.kind == CommandTargetKind::kButton) {
    OnButtonClick(kButtonIdBase + t.itemIndex);
  }
}

void TBWToolBarCtrl::OnButtonClick(int id) {
  const int index = id - kButtonIdBase;
  TBDLItem* item = ItemAt(index);
  if (!item) return;
  lastClicked_ = index;
  const bool checked = control_.IsButtonChecked(id);
  ExecuteCommand(item->CommandIndex(), checked);
}

void TBWToolBarCtrl::OnMenuCommand(unsigned id) {
  if (!model_) return;
  const CommandTarget target = DecodeCommandId(id, CommandSource::kMenu);
  if (target.kind == CommandTargetKind::kMenuEntry) {
    TBDLItem* item = ItemAt(target.itemIndex);
    const tbdl::TBDLMenuEntry* entry = item ? item->FindMenuEntry(target.entryNumber) : nullptr;
    if (!entry) return;
    ExecuteCommand(model_->FindCommand(entry->Command()), false);
  } else if (target.kind == CommandTargetKind::kWebFront) {
    ExecuteCommand(model_->FindCommand(mail::kWebFrontCommand), false,
                   std::to_string(target.account));
  }
}

void TBWToolBarCtrl::OnDropDown(int id) {
  TBDLItem* item = ItemAt(id - kButtonIdBase);
  if (!item) return;
  Rect r;
  if (!control_.GetRect(id, &r)) return;
  const Point at = control_.ClientToScreen(Point{r.left, r.bottom});
  PopupMenu menu;
  BuildItemMenu(*item, menu, menuStyle_ == 1 || menuStyle_ == 2);
  control_.TrackPopupMenu(menu, kTpmLeftalign | kTpmRightbutton, at);
}

bool TBWToolBarCtrl::OnMouseMessage(unsigned message, Point client) {
  if (message != kWmMousemove && message != kWmLbuttondown && message != kWmLbuttondblclk)
    return false;
  TBDLItem* item = ItemAt(control_.HitTest(client));
  return item && item->SwallowsMouse();
}

void TBWToolBarCtrl::OnMenuSelect(unsigned id, unsigned flags) {
  id &= 0xFFFF;
  if (id == 0 || (flags & kMfPopup)) {
    hooks_.owner->SetStatusText("");
    return;
  }
  std::string text;
  const CommandTarget target = DecodeCommandId(id, CommandSource::kMenu);
  if (target.kind == CommandTargetKind::kMenuEntry) {
    TBDLItem* item = ItemAt(target.itemIndex);
    const tbdl::TBDLMenuEntry* entry = item ? item->FindMenuEntry(target.entryNumber) : nullptr;
    if (entry) text = entry->Hint();
  } else if (target.kind == CommandTargetKind::kWebFront) {
    text = mail::kWebFrontHelpText;
  }
  hooks_.owner->SetStatusText(text);
}

std::optional<std::string> TBWToolBarCtrl::ToolTipText(int id) {
  TBDLItem* item = ItemAt(id - kButtonIdBase);
  if (!item) return std::nullopt;
  return item->GetHint();
}

Size TBWToolBarCtrl::MeasureMenuEntry(MenuCanvas& canvas, unsigned id, const MenuItemData& data) {
  return MenuPainter(imageSize_).Measure(canvas, id, data);
}

void TBWToolBarCtrl::DrawMenuEntry(MenuCanvas& canvas, const MenuEntryDrawing& entry) {
  MenuPainter(imageSize_).Draw(canvas, entry);
}

void TBWToolBarCtrl::OnBitmapButtonClick(WindowId button) {
  const int index = ItemOfWindow(button);
  TBDLItem* item = ItemAt(index);
  if (!item || ItemBitmapWindow(index) != button) return;
  const int id = kButtonIdBase + index;
  if (item->GetKind() != tbdl::kItemIndicator && item->Menu().Type() == "Single") {
    OnDropDown(id);
  } else {
    OnButtonClick(id);
  }
}

uint32_t TBWToolBarCtrl::OnCustomDraw(CustomDrawInfo& draw) {
  if (draw.stage == kCddsPrepaint) return kCdrfNotifyItemDraw;
  if (draw.stage != kCddsItemPrepaint) return kCdrfDoDefault;
  TBDLItem* item = ItemAt(draw.command - kButtonIdBase);
  ButtonInfo info;
  if (!item || !control_.GetButtonInfo(draw.command, &info) || !(info.state & kTbstateEnabled))
    return kCdrfDoDefault;
  // Every kind draws alike: hot or pressed text in the hot colour.
  if (draw.itemState & (kCdisHot | kCdisSelected)) draw.textColour = kHotTextColour;
  return kCdrfDoDefault;
}

void TBWToolBarCtrl::NotifyFocusChange(bool gotFocus) {
  hooks_.owner->OnFocusChange(gotFocus);
}

void TBWToolBarCtrl::OnBrowserEvent(int dispid) {
  if (!model_) return;
  if (dispid == kDispidDownloadBegin) {
    SetPopupIndicatorState(0);
  } else if (dispid == kDispidNavigateComplete2) {
    for (TBDLItem* item : std::vector<TBDLItem*>(model_->pageDependentItems)) {
      SetupItem(*item);
      UpdateItem(*item);
    }
  }
}

}  // namespace qv
