// The toolbar window as the commands see it: its browser, its control, its
// input items and its model, and the work that service commands hand back
// to the toolbar (rebuild, forced mail check).
#pragma once

#include <string>
#include <vector>

#include "commands/model_host.h"
#include "commands/toolbar_services.h"

namespace qv::tbdl {
class TBDLComboItem;
}  // namespace qv::tbdl

namespace qv {

class TBWToolBarCtrl;

class ToolbarCommandHost : public commands::ModelCommandHost, commands::ToolbarServices {
 public:
  explicit ToolbarCommandHost(TBWToolBarCtrl& toolbar) : toolbar_(toolbar) {}

  void SetBrowser(Browser* browser) { browser_ = browser; }
  // The band's side of the services; the toolbar's own (rebuild, mail
  // check, timers after the options) are handled here first.
  void SetServices(commands::ToolbarServices* services) { services_ = services; }

  // The input field of an input item's control, added when the control is
  // made; null for an item without one.
  commands::InputField* AddField(const tbdl::TBDLComboItem& item, WindowId window);
  commands::InputField* FieldOf(int itemIndex);
  void ClearFields() {
    fields_.clear();
    fieldItems_.clear();
  }

  // commands::CommandHost
  Browser* GetBrowser() override { return browser_; }
  ToolbarButtons* GetButtons() override;
  std::vector<commands::InputField>& InputFields() override { return fields_; }
  void RefreshWebPageItems(const std::string& name) override;
  void RefreshPopupIndicator() override;
  commands::ToolbarServices& Services() override { return *this; }
  tbdl::TBDLToolbar* Model() override;

  // commands::ToolbarServices
  void OpenOptionsPage(int page) override;
  void CheckMailNow() override;
  void ResetSharedBlockedCount() override { services_->ResetSharedBlockedCount(); }
  void ToggleSiteInWhiteList() override { services_->ToggleSiteInWhiteList(); }
  void TogglePopupBlocking() override { services_->TogglePopupBlocking(); }
  void Uninstall() override { services_->Uninstall(); }
  void RebuildToolbar() override;
  std::string VendorBaseUrl() override { return services_->VendorBaseUrl(); }

 private:
  TBWToolBarCtrl& toolbar_;
  Browser* browser_ = nullptr;
  commands::ToolbarServices defaultServices_;
  commands::ToolbarServices* services_ = &defaultServices_;
  std::vector<commands::InputField> fields_;
  std::vector<int> fieldItems_;  // the item index of each field
};

}  // namespace qv
