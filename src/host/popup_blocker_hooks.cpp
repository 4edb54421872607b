#include "host/popup_blocker_hooks.h"

#include "host/popup_indicator_feature.h"
#include "host/toolbar_command_host.h"
#include "host/toolbar_ctrl.h"

namespace qv {

PopupBlockerHooks::PopupBlockerHooks(PopupBlocker& blocker, TBWToolBarCtrl& toolbar,
                                     commands::ToolbarServices* next)
    : blocker_(blocker), toolbar_(toolbar), next_(next ? next : &defaultNext_) {}

void PopupBlockerHooks::Attach() {
  ToolbarHooks hooks = toolbar_.Hooks();
  hooks.popup = this;
  toolbar_.SetHooks(hooks);
  toolbar_.CommandHost().SetServices(this);
  blocker_.SetSignals(this);
}

bool PopupBlockerHooks::IsBlockerEnabled() {
  return blocker_.System().Settings().enablePopupBlocker != 0;
}

void PopupBlockerHooks::PopupBlocked() {
  if (auto* indicator = toolbar_.FindFeature<PopupIndicatorFeature>()) indicator->SetState(1);
}

}  // namespace qv
