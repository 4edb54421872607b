#include "host/toolbar_ctrl.h"

#include "commands/model_host.h"
#include "host/item_behaviour.h"
#include "host/item_menu.h"
#include "host/toolbar_command_host.h"
#include "install/resource_lookup.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/loader.h"
#include "tbdl/toolbar.h"

namespace qv {
namespace {

// The definition's lookup during a load: notes where the definition was
// found, or gives a fixed file for it (the fallback), and leaves every other
// file to the toolbar's lookup.
class DefinitionLookup : public ResourceLookup {
 public:
  explicit DefinitionLookup(ResourceLookup& next, std::string fixed = std::string())
      : next_(next), fixed_(std::move(fixed)) {}
  bool EnsureResourceFile(std::string& name) override {
    if (name != tbdl::kDefinitionFileName) return next_.EnsureResourceFile(name);
    if (!fixed_.empty()) {
      if (!IsExistingFile(fixed_)) return false;
      name = fixed_;
    } else if (!next_.EnsureResourceFile(name)) {
      return false;
    }
    path_ = name;
    return true;
  }
  const std::string& Path() const { return path_; }

 private:
  ResourceLookup& next_;
  std::string fixed_;
  std::string path_;
};

}  // namespace

using tbdl::TBDLItem;

TBWToolBarCtrl::TBWToolBarCtrl(ToolbarSurface& control, ResourceLookup& lookup, ToolbarHooks hooks)
    : control_(control),
      lookup_(lookup),
      hooks_(hooks),
      commandHost_(std::make_unique<ToolbarCommandHost>(*this)),
      keyboard_(
          control, [this](int itemIndex) { RunSearchOf(itemIndex); },
          [this](bool gotFocus) { hooks_.owner->OnFocusChange(gotFocus); }),
      timers_(control) {}

TBWToolBarCtrl::~TBWToolBarCtrl() {
  DestroyItemWindows();
  Stop();
}

bool TBWToolBarCtrl::AttachFeature(std::unique_ptr<ToolbarFeature> feature) {
  if (!feature) return false;
  std::vector<FeatureTimer> timers = feature->Timers();
  for (const FeatureTimer& t : timers) {
    if (timers_.IsRegistered(t.id)) return false;
  }
  for (FeatureTimer& t : timers) timers_.Register(t.id, t.periodMs, std::move(t.onTick));
  features_.push_back(std::move(feature));
  return true;
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
  return keyboard_.ItemOfEditWindow(window);
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
  keyboard_.Clear();
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
  // The build reads a few settings for every item.
  ProductKeyScope settings;
  control_.SetWaitCursor(true);
  struct CursorRestore {
    ToolbarSurface& c;
    ~CursorRestore() { c.SetWaitCursor(false); }
  } restore{control_};

  hooks_.updater->ApplyUpdateRule();
  bool updatePending = false;
  if (load || !model_) {
    statesStale_ = true;
    DefinitionLookup lookup(lookup_);
    if (tbdl::LoadToolbarDefinition(model_, lookup)) {
      hooks_.updater->DefinitionLoaded(lookup.Path());
    } else {
      // A fetched definition that does not load must not leave the user
      // without a toolbar: the copy that loaded last serves, and the update
      // stays pending so that a corrected file is fetched at a later build.
      std::string fallback;
      if (lookup.Path().empty() || !hooks_.updater->FallbackDefinition(lookup.Path(), &fallback))
        return false;
      DefinitionLookup previous(lookup_, fallback);
      if (!tbdl::LoadToolbarDefinition(model_, previous)) return false;
      updatePending = true;
    }
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

  if (!updatePending) {
    SetSettingFlag("ShowDownloadErrorMessages", true);
    SetSettingFlag("GlobalUpdateFlag", false);
    SetSettingDword("AutoUpdatePeriod", 24);
  }

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

  if (deferWindows_) windowsPending_ = true;
  buttonsWidth_ = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    SetupItem(*items[i]);
    Rect r;
    if (control_.GetItemRect(static_cast<int>(i), &r)) buttonsWidth_ += r.Width();
  }
  for (const auto& feature : features_) feature->OnItemsSetUp(*model_);
  for (const auto& item : items) UpdateItem(*item);
  UpdateWidths();
  hooks_.search->UpdateHighlightButton(*this);
  control_.AutoSizeAndResize();
  return true;
}

void TBWToolBarCtrl::CreatePendingItemWindows() {
  deferWindows_ = false;
  if (!windowsPending_) return;
  windowsPending_ = false;
  if (!model_) return;
  ProductKeyScope settings;
  const auto& items = model_->Items();
  for (const auto& item : items) BehaviourOf(item->GetKind()).CreateWindows(*this, *item);
  // The new windows go where their buttons are, shown or hidden with them.
  for (const auto& item : items) UpdateItem(*item);
}

void TBWToolBarCtrl::StartPeriodicTimers() {
  for (const auto& feature : features_) feature->OnStartPeriodicTimers(model_.get());
}

void TBWToolBarCtrl::Stop() {
  windowsPending_ = false;
  timers_.KillAll();
  for (const auto& feature : features_) feature->OnStop();
  model_.reset();
  statesStale_ = true;
  control_.DeleteToolbarFont();
  static ToolbarOwner noOwner;
  hooks_.owner = &noOwner;
}

void TBWToolBarCtrl::ApplyItemVisibility(int index, const std::string& name) {
  // An item updated before the build gave it a button (a mail check that
  // finishes while the definition loads) has nothing to hide yet.
  if (name.empty() || index < 0) return;
  const bool hidden = GetSettingDword("ItemHidden_" + name, 0) != 0;
  const int id = kButtonIdBase + index;
  if (control_.IsButtonHidden(id) == hidden) return;
  control_.HideButton(id, hidden);
  RelayoutLaterCombos(index);
}

void TBWToolBarCtrl::RelayoutLaterCombos(int index) {
  // Laying out a combo may find its own visibility changed again; one pass
  // at a time, never a pass inside a pass.
  if (!model_ || relayingOut_) return;
  relayingOut_ = true;
  const auto& items = model_->Items();
  for (size_t i = static_cast<size_t>(index) + 1; i < items.size(); ++i) {
    if (items[i]->GetKind() == tbdl::kItemCombo) UpdateItem(*items[i]);
  }
  relayingOut_ = false;
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

// --- items

void TBWToolBarCtrl::UpdateItem(TBDLItem& item) {
  BehaviourOf(item.GetKind()).Update(*this, item);
}

void TBWToolBarCtrl::SetupItem(TBDLItem& item) {
  const ItemBehaviour& behaviour = BehaviourOf(item.GetKind());
  behaviour.Setup(*this, item);
  if (!windowsPending_) behaviour.CreateWindows(*this, item);
}

void TBWToolBarCtrl::BuildItemMenu(TBDLItem& item, PopupMenu& menu, bool sidebarMode) {
  BehaviourOf(item.GetKind()).BuildMenu(*this, item, menu, sidebarMode);
}

void TBWToolBarCtrl::UpdateAllItems() {
  if (!model_) return;
  for (const auto& item : model_->Items()) UpdateItem(*item);
}

IndicatorLook TBWToolBarCtrl::LookOfIndicator(tbdl::TBDLIndicatorItem& item) {
  for (const auto& feature : features_) {
    if (std::optional<IndicatorLook> look = feature->LookOf(item)) return *look;
  }
  return IndicatorLook{item.GetCaption(), item.AddImage(1)};
}

// --- commands, clicks and menus

void TBWToolBarCtrl::ExecuteCommand(int commandIndex, bool pressed) {
  commands::ExecuteCommand(*commandHost_, commandIndex, pressed);
}

bool TBWToolBarCtrl::RunNamedCommand(const std::string& name, const std::string& parameter) {
  tbdl::TBDLCommand* command = model_ ? model_->Command(model_->FindCommand(name)) : nullptr;
  if (!command) return false;
  commands::RunModelCommand(*commandHost_, *command, false, parameter);
  return true;
}

void TBWToolBarCtrl::RunSearchOf(int itemIndex) {
  TBDLItem* item = ItemAt(itemIndex);
  if (item && item->GetKind() == tbdl::kItemCombo)
    hooks_.search->RunComboSearch(*this, static_cast<tbdl::TBDLComboItem&>(*item));
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
    if (entry) ExecuteCommand(model_->FindCommand(entry->Command()), false);
  } else if (target.kind != CommandTargetKind::kNone) {
    for (const auto& feature : features_) {
      if (feature->RunMenuCommand(target)) break;
    }
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
  } else if (target.kind != CommandTargetKind::kNone) {
    for (const auto& feature : features_) {
      if (std::optional<std::string> hint = feature->MenuHint(target)) {
        text = std::move(*hint);
        break;
      }
    }
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
  return BehaviourOf(item->GetKind()).CustomDraw(*item, draw);
}

void TBWToolBarCtrl::OnComboNotification(WindowId window, unsigned code) {
  TBDLItem* item = ItemAt(ItemOfWindow(window));
  if (item && item->GetKind() == tbdl::kItemCombo)
    ComboBehaviour::OnNotification(*this, static_cast<tbdl::TBDLComboItem&>(*item), code);
}

void TBWToolBarCtrl::OnBrowserEvent(int dispid) {
  if (!model_) return;
  if (dispid == kDispidNavigateComplete2) {
    for (TBDLItem* item : std::vector<TBDLItem*>(model_->pageDependentItems)) {
      SetupItem(*item);
      UpdateItem(*item);
    }
  }
  for (const auto& feature : features_) feature->OnBrowserEvent(dispid);
}

void TBWToolBarCtrl::OnWebPageDocumentComplete(WindowId page, bool hasBody, int scrollWidth) {
  const int index = ItemOfWindow(page);
  TBDLItem* item = ItemAt(index);
  if (item && item->GetKind() == tbdl::kItemWebButton)
    WebPageBehaviour::OnDocumentComplete(*this, static_cast<tbdl::TBDLWebPageItem&>(*item), hasBody,
                                         scrollWidth);
}

bool TBWToolBarCtrl::OnWebPageBeforeNavigate(WindowId page, const std::string& url) {
  const int index = ItemOfWindow(page);
  TBDLItem* item = ItemAt(index);
  return item && item->GetKind() == tbdl::kItemWebButton &&
         WebPageBehaviour::OnBeforeNavigate(*this, static_cast<tbdl::TBDLWebPageItem&>(*item), url);
}

}  // namespace qv
