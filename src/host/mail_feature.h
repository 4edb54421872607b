// The mail checker attached to the toolbar window: its timers (the checks,
// the forced check, the indicators' blink), its POP3 client and checker,
// made on first use, the look of "POP3" indicators, and the mailbox
// web-front menu entries. The rules are the mail layer's; this feature
// only connects them to the toolbar.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/toolbar_feature.h"
#include "mail/indicator.h"
#include "mail/mail_checker.h"

namespace qv::mail {
class Pop3Client;
}  // namespace qv::mail

namespace qv {

class TBWToolBarCtrl;

class MailFeature : public ToolbarFeature,
                    private mail::MailCheckHost,
                    private mail::NamedCommandRunner {
 public:
  // checkMailboxes off: no mail timer runs and no mailbox is checked (the
  // definition tool shows a toolbar without touching the network); the
  // indicator, its blink and the web fronts work as ever.
  explicit MailFeature(TBWToolBarCtrl& toolbar, bool checkMailboxes = true);
  ~MailFeature() override;

  // The checks over the toolbar's POP3 client, made on first use.
  mail::MailChecker& Checker();
  // The CheckMail command.
  void CheckMailNow();
  // Every indicator updates; the blink timer runs while one blinks (the
  // indicator refresh message).
  void RefreshIndicators();

  // ToolbarFeature
  std::vector<FeatureTimer> Timers() override;
  void OnStartPeriodicTimers(const tbdl::TBDLToolbar* model) override;
  bool RunMenuCommand(const CommandTarget& target) override;
  std::optional<std::string> MenuHint(const CommandTarget& target) override;
  std::optional<IndicatorLook> LookOf(tbdl::TBDLIndicatorItem& item) override;

 private:
  void BlinkTick();
  bool AnyIndicatorBlinking();
  bool AnyIndicatorFlagged();

  // mail::MailCheckHost: the periods are the registered ones.
  void SetTimer(unsigned id, unsigned periodMs) override;
  void KillTimer(unsigned id) override;
  bool IsTimerSet(unsigned id) override;
  bool RefreshItems() override;
  // mail::NamedCommandRunner
  bool RunNamedCommand(const std::string& name, const std::string& parameter) override;

  TBWToolBarCtrl& toolbar_;
  const bool checkMailboxes_;
  std::unique_ptr<mail::Pop3Client> client_;
  std::unique_ptr<mail::MailChecker> checker_;
};

}  // namespace qv
