// The periodic desktop alert check attached to the toolbar window: its
// timer runs while the definition enables desktop alerts, and each tick
// runs the alert check (the toolbar's AlertCheck hook).
#pragma once

#include <mutex>
#include <vector>

#include "alerts/alert_check.h"
#include "host/toolbar_feature.h"
#include "host/toolbar_hooks.h"

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

// The alert check over the toolbar's loaded definition, the product's
// settings and the clock, showing its alert in the process's one alert
// window. One serves every toolbar of the process.
class DesktopAlertCheck : public AlertCheck {
 public:
  DesktopAlertCheck(alerts::AlertWindowControl& window, alerts::AlertScriptFetcher fetch)
      : window_(window), fetch_(std::move(fetch)) {}
  void RunAlertCheck(TBWToolBarCtrl& toolbar) override;

 private:
  alerts::AlertWindowControl& window_;
  alerts::AlertScriptFetcher fetch_;
  // Browser windows of one process tick on threads of their own: one
  // check at a time, and a tick that finds one running lets it be.
  std::mutex running_;
};

}  // namespace qv
