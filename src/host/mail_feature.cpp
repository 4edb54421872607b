#include "host/mail_feature.h"

#include "host/item_behaviour.h"
#include "host/toolbar_ctrl.h"
#include "mail/pop3_client.h"
#include "tbdl/toolbar.h"

namespace qv {

MailFeature::MailFeature(TBWToolBarCtrl& toolbar, bool checkMailboxes)
    : toolbar_(toolbar), checkMailboxes_(checkMailboxes) {}

MailFeature::~MailFeature() = default;

mail::MailChecker& MailFeature::Checker() {
  if (!checker_) {
    client_ = std::make_unique<mail::Pop3Client>();
    mail::MailCheckHost& host = *this;
    checker_ = std::make_unique<mail::MailChecker>(*client_, host);
  }
  return *checker_;
}

std::vector<FeatureTimer> MailFeature::Timers() {
  auto check = [this](unsigned id) {
    return [this, id] {
      if (checkMailboxes_) Checker().OnTimer(id);
    };
  };
  return {FeatureTimer{kBlinkTimerId, kBlinkPeriodMs, [this] { BlinkTick(); }},
          FeatureTimer{kMailTimerId, kMailTimerPeriodMs, check(kMailTimerId)},
          FeatureTimer{kForcedCheckTimerId, 0, check(kForcedCheckTimerId)}};
}

void MailFeature::OnStartPeriodicTimers(const tbdl::TBDLToolbar* model) {
  if (!checkMailboxes_) return;
  const bool hasIndicator = model && mail::HasPop3Indicator(*model);
  // Without a checker no mail timer was ever started: nothing to stop.
  if (hasIndicator || checker_) Checker().StartMailTimer(hasIndicator);
}

void MailFeature::CheckMailNow() {
  if (checkMailboxes_) Checker().CheckMailNow();
}

bool MailFeature::RunMenuCommand(const CommandTarget& target) {
  if (target.kind != CommandTargetKind::kWebFront) return false;
  mail::RunWebFrontCommand(target.account, *this);
  return true;
}

std::optional<std::string> MailFeature::MenuHint(const CommandTarget& target) {
  if (target.kind != CommandTargetKind::kWebFront) return std::nullopt;
  return std::string(mail::kWebFrontHelpText);
}

std::optional<IndicatorLook> MailFeature::LookOf(tbdl::TBDLIndicatorItem& item) {
  if (item.Type() != "POP3") return std::nullopt;
  const std::string text = item.GetCaption();
  return IndicatorLook{text, mail::Pop3IndicatorImage(item)};
}

bool MailFeature::RunNamedCommand(const std::string& name, const std::string& parameter) {
  return toolbar_.RunNamedCommand(name, parameter);
}

// --- the indicators' blink

bool MailFeature::AnyIndicatorBlinking() {
  tbdl::TBDLToolbar* model = toolbar_.Model();
  if (!model) return false;
  for (tbdl::TBDLItem* item : model->indicators) {
    if (static_cast<tbdl::TBDLIndicatorItem&>(*item).blinkCount > 0) return true;
  }
  return false;
}

bool MailFeature::AnyIndicatorFlagged() {
  tbdl::TBDLToolbar* model = toolbar_.Model();
  if (!model) return false;
  for (tbdl::TBDLItem* item : model->indicators) {
    if (static_cast<tbdl::TBDLIndicatorItem&>(*item).flagged) return true;
  }
  return false;
}

void MailFeature::BlinkTick() {
  tbdl::TBDLToolbar* model = toolbar_.Model();
  if (!model) return;
  for (tbdl::TBDLItem* each : std::vector<tbdl::TBDLItem*>(model->indicators)) {
    auto& item = static_cast<tbdl::TBDLIndicatorItem&>(*each);
    if (!item.flagged) continue;
    const mail::BlinkStep step = mail::RunBlinkStep(item);
    if (step.updateButton) {
      SetTextAndImage(toolbar_.Control(), item, ButtonText(item, item.GetCaption()), step.image);
    } else if (!AnyIndicatorFlagged()) {
      toolbar_.Timers().Kill(kBlinkTimerId);
    }
  }
}

void MailFeature::RefreshIndicators() {
  tbdl::TBDLToolbar* model = toolbar_.Model();
  if (!model) return;
  for (tbdl::TBDLItem* item : std::vector<tbdl::TBDLItem*>(model->indicators))
    toolbar_.UpdateItem(*item);
  if (AnyIndicatorBlinking()) {
    if (!toolbar_.Timers().IsRunning(kBlinkTimerId)) toolbar_.Timers().Start(kBlinkTimerId);
  } else {
    toolbar_.Timers().Kill(kBlinkTimerId);
  }
}

// --- mail::MailCheckHost

void MailFeature::SetTimer(unsigned id, unsigned /*periodMs*/) {
  toolbar_.Timers().Start(id);
}

void MailFeature::KillTimer(unsigned id) {
  toolbar_.Timers().Kill(id);
}

bool MailFeature::IsTimerSet(unsigned id) {
  return toolbar_.Timers().IsRunning(id);
}

bool MailFeature::RefreshItems() {
  toolbar_.UpdateAllItems();
  return AnyIndicatorBlinking();
}

}  // namespace qv
