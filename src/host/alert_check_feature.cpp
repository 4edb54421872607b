#include "host/alert_check_feature.h"

#include <ctime>

#include "host/toolbar_ctrl.h"
#include "settings/settings.h"
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

void DesktopAlertCheck::RunAlertCheck(TBWToolBarCtrl& toolbar) {
  const tbdl::TBDLToolbar* model = toolbar.Model();
  if (!model) return;
  std::unique_lock<std::mutex> lock(running_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  const alerts::PropertyReader properties = [model](std::string_view id, std::string_view def) {
    return model->GetProperty(id, def);
  };
  RegKey key = OpenProductKey();
  alerts::CheckDesktopAlert(properties, key, std::time(nullptr), fetch_, window_);
}

}  // namespace qv
