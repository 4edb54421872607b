#include "host/toolbar_hooks.h"

#include "commands/expansion.h"
#include "commands/highlight.h"
#include "commands/history.h"
#include "host/toolbar_command_host.h"
#include "host/toolbar_ctrl.h"
#include "mail/mail_checker.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/commands.h"

namespace qv {

bool PopupBlockerView::IsBlockerEnabled() {
  return GetSettingDword("EnablePopupBlocker", 0) != 0;
}

uint32_t PopupBlockerView::TotalBlockedPopups() {
  return GetSettingDword("TotalBlockedPopups", 0);
}

void CommandRunner::Run(TBWToolBarCtrl& toolbar, tbdl::TBDLCommand& command, bool pressed,
                        const std::string& parameter) {
  commands::RunModelCommand(toolbar.CommandHost(), command, pressed, parameter);
}

void MailCheck::RunCheckPass(TBWToolBarCtrl& toolbar, bool forced) {
  toolbar.MailChecker().RunCheckPass(forced);
}

void MailCheck::CheckMailNow(TBWToolBarCtrl& toolbar) {
  toolbar.MailChecker().CheckMailNow();
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
    commands::OnEditUpdate(toolbar.CommandHost(), *field, !toolbar.AutoCompleteSuspended());
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
  static MailCheck mail;
  static AlertCheck alerts;
  static PopupBlockerView popup;
  static SearchActions search;
  static PageAddresses pages;
  static CommandRunner commands;
  return ToolbarHooks{&owner, &updater, &mail, &alerts, &popup, &search, &pages, &commands};
}

}  // namespace qv
