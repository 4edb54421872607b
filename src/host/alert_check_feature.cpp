#include "host/alert_check_feature.h"

#include "host/toolbar_ctrl.h"
#include "tbdl/toolbar.h"

namespace qv {

std::vector<FeatureTimer> AlertCheckFeature::Timers() {
  return {FeatureTimer{kAlertTimerId, kAlertTimerPeriodMs,
                       [this] { toolbar_.Hooks().alerts->RunAlertCheck(toolbar_); }}};
}

void AlertCheckFeature::OnStartPeriodicTimers(const tbdl::TBDLToolbar* model) {
  toolbar_.Timers().Kill(kAlertTimerId);
  if (model && model->GetProperty("EnableDesktopAlerts", "0") == "1")
    toolbar_.Timers().Start(kAlertTimerId);
}

}  // namespace qv
