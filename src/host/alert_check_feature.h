// The periodic desktop alert check attached to the toolbar window: its
// timer runs while the definition enables desktop alerts, and each tick
// runs the alert check.
#pragma once

#include <vector>

#include "host/toolbar_feature.h"

namespace qv {

class TBWToolBarCtrl;

class AlertCheckFeature : public ToolbarFeature {
 public:
  explicit AlertCheckFeature(TBWToolBarCtrl& toolbar) : toolbar_(toolbar) {}

  std::vector<FeatureTimer> Timers() override;
  void OnStartPeriodicTimers(const tbdl::TBDLToolbar* model) override;

 private:
  TBWToolBarCtrl& toolbar_;
};

}  // namespace qv
