#include "host/toolbar_hooks.h"

#include "settings/settings.h"
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
  if (pressed) {
    command.Reset(toolbar, parameter);
  } else {
    command.Execute(toolbar, parameter);
  }
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
