// The pop-up blocker of one browser window joined to its toolbar window:
// what the POPUP indicator and the whitelist menu entry show, the three
// service commands that reach the blocker, and the indicator's state when a
// window is blocked. The band makes one per toolbar window and attaches it.
#pragma once

#include <string>

#include "commands/toolbar_services.h"
#include "host/toolbar_hooks.h"
#include "popup/blocker.h"

namespace qv {

class TBWToolBarCtrl;

class PopupBlockerHooks : public PopupBlockerView,
                          public commands::ToolbarServices,
                          public PopupSignals {
 public:
  // next takes every service that is not the blocker's (null: none).
  PopupBlockerHooks(PopupBlocker& blocker, TBWToolBarCtrl& toolbar,
                    commands::ToolbarServices* next = nullptr);

  // Makes the toolbar and the blocker use these hooks.
  void Attach();

  // PopupBlockerView
  bool IsCurrentSiteWhitelisted() override { return blocker_.IsSiteAllowed(); }
  bool IsBlockerEnabled() override;
  uint32_t TotalBlockedPopups() override { return blocker_.System().TotalBlockedPopups(); }

  // commands::ToolbarServices
  void ResetSharedBlockedCount() override { blocker_.System().ResetBlockedCount(); }
  void ToggleSiteInWhiteList() override { blocker_.ToggleSiteInWhiteList(); }
  void TogglePopupBlocking() override { blocker_.System().TogglePopupBlocking(); }
  void OpenOptionsPage(int page) override { next_->OpenOptionsPage(page); }
  void CheckMailNow() override { next_->CheckMailNow(); }
  void Uninstall() override { next_->Uninstall(); }
  void RebuildToolbar() override { next_->RebuildToolbar(); }
  std::string VendorBaseUrl() override { return next_->VendorBaseUrl(); }

  // PopupSignals: the first POPUP indicator shows state 1.
  void PopupBlocked() override;

 private:
  PopupBlocker& blocker_;
  TBWToolBarCtrl& toolbar_;
  commands::ToolbarServices defaultNext_;
  commands::ToolbarServices* next_;
};

}  // namespace qv
