#include "alerts/alert_check.h"

#include "install/period.h"

namespace qv::alerts {

const char* DecisionName(AlertDecision decision) {
  switch (decision) {
    case AlertDecision::kNotEnabled:
      return "not enabled";
    case AlertDecision::kWindowExists:
      return "window exists";
    case AlertDecision::kNotDue:
      return "not due";
    case AlertDecision::kNoAlert:
      return "no alert";
    case AlertDecision::kNoUrl:
      return "no url";
    case AlertDecision::kRefusedUrl:
      return "refused url";
    case AlertDecision::kShown:
      return "shown";
  }
  return "";
}

AlertCheckResult CheckDesktopAlert(const PropertyReader& properties, const RegKey& productKey,
                                   std::time_t now, const AlertScriptFetcher& fetch,
                                   AlertWindowControl& window) {
  AlertCheckResult result;
  if (properties("EnableDesktopAlerts", "0") != "1") return result;
  if (window.Exists()) {
    result.decision = AlertDecision::kWindowExists;
    return result;
  }
  // The time is stored before the fetch, so that a server that fails or
  // stalls is asked again only after the interval.
  const long interval = AlertNumber(properties("AlertsCheckInterval", "0"));
  if (!IsPeriodElapsedAt(productKey, kLastAlertsCheckTime, interval, PeriodUnit::kMinutes, now)) {
    result.decision = AlertDecision::kNotDue;
    return result;
  }
  result.scriptUrl = properties("AlertScriptURL", "about:blank");
  std::string text;
  result.fetched = true;
  result.fetchOk = fetch && fetch(result.scriptUrl, &text);
  if (!result.fetchOk) text.clear();
  result.scriptBytes = text.size();
  AlertParameters params = DefinitionParameters(properties);
  if (!ApplyAlertScript(text, &params)) {
    result.decision = AlertDecision::kNoAlert;
    return result;
  }
  result.params = params;
  if (params.url.empty()) {
    result.decision = AlertDecision::kNoUrl;
  } else if (!IsShowableAlertUrl(params.url)) {
    result.decision = AlertDecision::kRefusedUrl;
  } else {
    window.Create(params);
    result.decision = AlertDecision::kShown;
  }
  return result;
}

}  // namespace qv::alerts
