// The first "POPUP" indicator of the toolbar, attached to the toolbar
// window: its caption and image from the blocker's switch, whitelist and
// shared counter, the copy of the counter it shows, the 15-second timer
// that refreshes it when the counter moved, and its state (a window was
// blocked, a download began).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "host/toolbar_feature.h"

namespace qv {

class TBWToolBarCtrl;

class PopupIndicatorFeature : public ToolbarFeature {
 public:
  explicit PopupIndicatorFeature(TBWToolBarCtrl& toolbar) : toolbar_(toolbar) {}

  // A popup was blocked (state 1) or a download began (state 0): the first
  // POPUP indicator shows it.
  void SetState(int state);
  // The first POPUP indicator updates itself.
  void Refresh();

  // ToolbarFeature
  std::vector<FeatureTimer> Timers() override;
  void OnItemsSetUp(tbdl::TBDLToolbar& model) override;
  void OnBrowserEvent(int dispid) override;
  std::optional<IndicatorLook> LookOf(tbdl::TBDLIndicatorItem& item) override;

 private:
  tbdl::TBDLIndicatorItem* FirstPopupIndicator();
  void CounterTick();

  TBWToolBarCtrl& toolbar_;
  // The counter the indicator showed at its last update.
  uint32_t shownTotal_ = 0;
};

}  // namespace qv
