#include "host/popup_indicator_feature.h"

#include <string>

#include "host/toolbar_ctrl.h"
#include "settings/settings.h"
#include "tbdl/toolbar.h"

namespace qv {

namespace {

constexpr char kPopupType[] = "POPUP";

}  // namespace

std::vector<FeatureTimer> PopupIndicatorFeature::Timers() {
  return {FeatureTimer{kPopupCounterTimerId, kPopupCounterPeriodMs, [this] { CounterTick(); }}};
}

tbdl::TBDLIndicatorItem* PopupIndicatorFeature::FirstPopupIndicator() {
  tbdl::TBDLToolbar* model = toolbar_.Model();
  if (!model) return nullptr;
  for (tbdl::TBDLItem* item : model->indicators) {
    auto& indicator = static_cast<tbdl::TBDLIndicatorItem&>(*item);
    if (indicator.Type() == kPopupType) return &indicator;
  }
  return nullptr;
}

void PopupIndicatorFeature::OnItemsSetUp(tbdl::TBDLToolbar& model) {
  // Every POPUP indicator (re)starts the counter timer when it is set up.
  for (tbdl::TBDLItem* item : model.indicators) {
    if (static_cast<tbdl::TBDLIndicatorItem&>(*item).Type() != kPopupType) continue;
    toolbar_.Timers().Kill(kPopupCounterTimerId);
    toolbar_.Timers().Start(kPopupCounterTimerId);
  }
}

void PopupIndicatorFeature::CounterTick() {
  tbdl::TBDLIndicatorItem* indicator = FirstPopupIndicator();
  if (indicator && shownTotal_ != toolbar_.Hooks().popup->TotalBlockedPopups())
    toolbar_.UpdateItem(*indicator);
}

void PopupIndicatorFeature::OnBrowserEvent(int dispid) {
  if (dispid == kDispidDownloadBegin) SetState(0);
}

void PopupIndicatorFeature::SetState(int state) {
  if (tbdl::TBDLIndicatorItem* indicator = FirstPopupIndicator()) {
    indicator->state = state;
    toolbar_.UpdateItem(*indicator);
  }
}

void PopupIndicatorFeature::Refresh() {
  if (tbdl::TBDLIndicatorItem* indicator = FirstPopupIndicator()) toolbar_.UpdateItem(*indicator);
}

std::optional<IndicatorLook> PopupIndicatorFeature::LookOf(tbdl::TBDLIndicatorItem& item) {
  if (item.Type() != kPopupType) return std::nullopt;
  PopupBlockerView& popup = *toolbar_.Hooks().popup;
  std::string text = item.GetCaption();
  const uint32_t total = popup.TotalBlockedPopups();
  // Only the first POPUP indicator is refreshed by the timer; its copy is
  // the one compared.
  if (&item == FirstPopupIndicator()) shownTotal_ = total;
  if (popup.IsCurrentSiteWhitelisted() && popup.IsBlockerEnabled()) {
    text = item.Param(2);
    item.state = 0;
  } else if (total != 0) {
    text = item.Param(1);
    ReplaceAll(text, "%n", std::to_string(total));
  } else {
    item.state = 0;
    text = item.Param(3);
  }
  int image;
  if (!popup.IsBlockerEnabled()) {
    image = item.AddImage(3);
  } else if (item.state == 1) {
    image = item.AddImage(2);
  } else if (item.state == 0) {
    image = item.AddImage(1);
  } else {
    image = item.AddImage(3);
  }
  return IndicatorLook{std::move(text), image};
}

}  // namespace qv
