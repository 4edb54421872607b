#include "host/toolbar_hooks.h"

#include "commands/expansion.h"
#include "commands/highlight.h"
#include "commands/history.h"
#include "host/toolbar_command_host.h"
#include "host/toolbar_ctrl.h"
#include "install/resource_lookup.h"
#include "install/update.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"

namespace qv {

void AutomaticUpdater::ApplyUpdateRule() {
  qv::ApplyUpdateRule();
}

void AutomaticUpdater::DefinitionLoaded(const std::string& path) {
  SaveLastGoodDefinition(path);
}

bool AutomaticUpdater::FallbackDefinition(const std::string& path, std::string* fallback) {
  *fallback = LastGoodDefinitionPath(path);
  return IsExistingFile(*fallback);
}

bool PopupBlockerView::IsBlockerEnabled() {
  return GetSettingDword("EnablePopupBlocker", 0) != 0;
}

uint32_t PopupBlockerView::TotalBlockedPopups() {
  return GetSettingDword("TotalBlockedPopups", 0);
}

void SearchActions::FillInputControl(TBWToolBarCtrl& toolbar, tbdl::TBDLComboItem& item) {
  if (commands::InputField* field = toolbar.CommandHost().FieldOf(item.Index()))
    commands::FillInputField(toolbar.CommandHost(), *field);
}

void SearchActions::RunComboSearch(TBWToolBarCtrl& toolbar, tbdl::TBDLComboItem& item) {
  if (commands::InputField* field = toolbar.CommandHost().FieldOf(item.Index()))
    commands::RunComboSearch(toolbar.CommandHost(), *field);
}

void SearchActions::UpdateHighlightButton(TBWToolBarCtrl& toolbar) {
  commands::UpdateHighlightButton(toolbar.CommandHost());
}

void SearchActions::OnEditUpdate(TBWToolBarCtrl& toolbar, tbdl::TBDLComboItem& item) {
  if (commands::InputField* field = toolbar.CommandHost().FieldOf(item.Index()))
    commands::OnEditUpdate(toolbar.CommandHost(), *field,
                           !toolbar.Keyboard().AutoCompleteSuspended());
}

void SearchActions::OnSelEndOk(TBWToolBarCtrl& toolbar, tbdl::TBDLComboItem& item) {
  if (commands::InputField* field = toolbar.CommandHost().FieldOf(item.Index()))
    commands::OnListChoice(toolbar.CommandHost(), *field);
}

bool PageAddresses::PageAddress(TBWToolBarCtrl& toolbar, const tbdl::TBDLWebPageItem& item,
                                std::string* lastDomain, std::string* url) {
  std::shared_ptr<Document> document = commands::CurrentDocument(toolbar.CommandHost());
  return commands::ExpandWebPageUrl(item.Url(), item.IsPageDependent(), item.GetName(),
                                    document.get(), lastDomain, url);
}

ToolbarHooks ToolbarHooks::Defaults() {
  static ToolbarOwner owner;
  static ToolbarUpdater updater;
  static AlertCheck alerts;
  static PopupBlockerView popup;
  static SearchActions search;
  static PageAddresses pages;
  return ToolbarHooks{&owner, &updater, &alerts, &popup, &search, &pages};
}

}  // namespace qv
