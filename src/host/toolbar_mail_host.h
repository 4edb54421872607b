// The toolbar window as the mail checker sees it: its timers and the
// refresh of its items after a pass.
#pragma once

#include "host/toolbar_ctrl.h"
#include "mail/mail_checker.h"

namespace qv {

class ToolbarMailHost : public mail::MailCheckHost {
 public:
  explicit ToolbarMailHost(TBWToolBarCtrl& toolbar) : toolbar_(toolbar) {}
  void SetTimer(unsigned id, unsigned periodMs) override { toolbar_.SetTimerId(id, periodMs); }
  void KillTimer(unsigned id) override { toolbar_.KillTimerId(id); }
  bool IsTimerSet(unsigned id) override { return toolbar_.RunningTimer(id) != 0; }
  bool RefreshItems() override { return toolbar_.UpdateAllItems(); }

 private:
  TBWToolBarCtrl& toolbar_;
};

}  // namespace qv
