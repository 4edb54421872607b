// The periodic alert check: whether the definition enables alerts, whether
// the process already shows one, whether the interval since the last fetch
// has passed, then the fetch of the alert script and, when it names a page,
// the alert window.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "alerts/alert_script.h"
#include "platform/registry.h"

namespace qv::alerts {

// Where the time of the last fetch that became due is kept (REG_DWORD,
// seconds since 1970, in the product key).
inline constexpr char kLastAlertsCheckTime[] = "LastAlertsCheckTime";

enum class AlertDecision {
  kNotEnabled,    // EnableDesktopAlerts is not "1"
  kWindowExists,  // the process's alert window is up
  kNotDue,        // the interval since the last fetch has not passed
  kNoAlert,       // the text fetched is no alert script (or nothing came)
  kNoUrl,         // a script without a page
  kRefusedUrl,    // a page that is not an http or https address
  kShown,         // the alert window was created
};
const char* DecisionName(AlertDecision decision);

// Reads the text at url; false, with an empty text, when it cannot. Every
// fetch must be bounded in time and size: the check runs on the browser's
// thread.
using AlertScriptFetcher = std::function<bool(const std::string& url, std::string* text)>;

// The process's one alert window, as the check sees it.
class AlertWindowControl {
 public:
  virtual ~AlertWindowControl() = default;
  virtual bool Exists() = 0;
  virtual void Create(const AlertParameters& params) = 0;
};

struct AlertCheckResult {
  AlertDecision decision = AlertDecision::kNotEnabled;
  std::string scriptUrl;
  bool fetched = false;    // the fetch was attempted
  bool fetchOk = false;    // and gave a text
  size_t scriptBytes = 0;  // the text's length
  AlertParameters params;  // from the definition and the script, once read
};

// One check at now, on the settings under productKey.
AlertCheckResult CheckDesktopAlert(const PropertyReader& properties, const RegKey& productKey,
                                   std::time_t now, const AlertScriptFetcher& fetch,
                                   AlertWindowControl& window);

// The fetch the toolbar uses: bounded in time and size.
bool FetchAlertScript(const std::string& url, std::string* text);

}  // namespace qv::alerts
