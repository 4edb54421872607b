#include "alerts/alert_check.h"
#include "install/download.h"

namespace qv::alerts {

// The installation's download: bounded in connect time, total time and
// size, so that a slow or stalled server holds the browser's thread for a
// bounded time only, however often the check runs.
bool FetchAlertScript(const std::string& url, std::string* text) {
  return DownloadUrlText(url, text);
}

}  // namespace qv::alerts
