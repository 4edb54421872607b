// The work that service commands hand to other subsystems (options sheet,
// mail checker, popup blocker, installation, update). Each operation but
// the uninstallation does nothing by default; the toolbar window supplies
// the real ones.
#pragma once

#include <string>

#include "install/vendor_site.h"

namespace qv::commands {

// The vendor site's base URL as built, ending in a slash. Its host is also
// the popup blocker's built-in whitelist entry. VendorBaseUrl() below is
// the one in force (tests and the tool may replace it).
inline constexpr char kVendorBaseUrl[] = QV_VENDOR_BASE_URL;

class ToolbarServices {
 public:
  virtual ~ToolbarServices() = default;
  // Opens the options sheet on page (0 general, 1 popup blocker, 2 POP3),
  // then re-arms the mail-check and desktop-alert timers.
  virtual void OpenOptionsPage(int page) { (void)page; }
  // A forced mail check pass right now.
  virtual void CheckMailNow() {}
  // The system-wide count of blocked popups back to 0.
  virtual void ResetSharedBlockedCount() {}
  virtual void ToggleSiteInWhiteList() {}
  virtual void TogglePopupBlocking() {}
  // Unregisters and removes the toolbar (UninstallToolbar).
  virtual void Uninstall();
  // BuildToolbar with the definition loaded again.
  virtual void RebuildToolbar() {}
  // The vendor site's base URL, ending in a slash.
  virtual std::string VendorBaseUrl() { return qv::VendorBaseUrl(); }
};

}  // namespace qv::commands
