#include "mail/mail_checker.h"

#include "install/period.h"
#include "mail/accounts.h"
#include "mail/pop3_text.h"
#include "settings/settings.h"

namespace qv::mail {

bool IsCheckDue(long interval, const RegKey& key, const std::string& accountId, std::time_t now) {
  return IsPeriodElapsedAt(key, AccountValueName(kLastCheckValue, accountId), interval,
                           PeriodUnit::kMinutes, now);
}

bool IsBusyMarkFresh(const RegKey& key, const std::string& busyName, const std::string& sinceName,
                     std::time_t now) {
  uint32_t busy = 0;
  if (!TryReadKeyDword(key, busyName, &busy) || busy != 1) return false;
  const uint32_t nowValue = static_cast<uint32_t>(now);
  uint32_t since = 0;
  // A mark without its time (left by an older version) or from the future
  // (the clock was set back): its age is unknown, so its clock starts now
  // and it still counts for a whole bound from here.
  if (!TryReadKeyDword(key, sinceName, &since) || since > nowValue) {
    WriteKeyDword(key, sinceName, nowValue);
    return true;
  }
  return nowValue - since <= kBusyMarkLifetimeSeconds;
}

MailChecker::MailChecker(Pop3Client& client, MailCheckHost& host)
    : client_(client), host_(host), clock_([] { return std::time(nullptr); }) {}

const char* CheckOutcomeName(CheckOutcome outcome) {
  switch (outcome) {
    case CheckOutcome::kChecked:
      return "checked";
    case CheckOutcome::kFailed:
      return "failed";
    case CheckOutcome::kMissing:
      return "skipped (server, user name or password missing)";
    case CheckOutcome::kNotDue:
      return "not due";
    case CheckOutcome::kAutoOff:
      return "not checked automatically";
    case CheckOutcome::kBusy:
      return "busy elsewhere";
    case CheckOutcome::kClientBusy:
      return "client busy";
    case CheckOutcome::kNoAccountKey:
      return "no accounts key";
  }
  return "";
}

bool MailChecker::CheckAccount(const std::string& accountId, bool forced) {
  switch (CheckAccountOutcome(accountId, forced)) {
    case CheckOutcome::kChecked:
    case CheckOutcome::kNotDue:
    case CheckOutcome::kAutoOff:
    case CheckOutcome::kBusy:
      return true;
    default:
      return false;
  }
}

CheckOutcome MailChecker::CheckAccountOutcome(const std::string& accountId, bool forced) {
  // A check is in its middle (a timer tick arrived while it waits).
  if (client_.IsLoggedIn()) return CheckOutcome::kClientBusy;
  client_.SetAccountId(accountId);
  RegKey key = OpenAccountsKey(true);
  if (!key) return CheckOutcome::kNoAccountKey;

  const std::string busyName = AccountValueName(kBusyValue, accountId);
  const std::string busySinceName = AccountValueName(kBusySinceValue, accountId);
  // Another window or process is checking this account.
  if (IsBusyMarkFresh(key, busyName, busySinceName, clock_())) return CheckOutcome::kBusy;

  const unsigned number = static_cast<unsigned>(LeadingNumber(accountId));
  const Pop3Account account = ReadAccount(key, number);
  if (account.hasInterval) {
    const long interval = IntervalMinutes(account.interval);
    // Below one minute means "Automatically check for new mail" is off:
    // only the CheckMail command checks such an account.
    if (interval < 1 && !forced) return CheckOutcome::kAutoOff;
    if (!IsCheckDue(interval, key, accountId, clock_()) && !forced) return CheckOutcome::kNotDue;
  }
  if (!account.hasPassword || !account.hasUser || !account.hasServer) return CheckOutcome::kMissing;

  WriteKeyDword(key, busySinceName, static_cast<uint32_t>(clock_()));
  WriteKeyDword(key, busyName, 1);
  if (!client_.Connect(account.server, port_) ||
      !client_.Login(account.user, account.password, account.useApop)) {
    WriteKeyDword(key, busyName, 0);
    return CheckOutcome::kFailed;
  }
  std::string stat;
  if (!client_.GetStat(&stat)) {
    // A failed STAT says nothing about the mailbox: the last good count
    // stays, and the error is the account's like any other failure. Closing
    // stops the reader, which clears the account's error, so it is stored
    // again afterwards.
    const std::string error = client_.LastError();
    client_.Close();
    client_.SetAccountError(error);
    WriteKeyDword(key, busyName, 0);
    return CheckOutcome::kFailed;
  }
  WriteKeyDword(key, AccountValueName(kStatsValue, accountId), LeadingNumber(stat));
  client_.Close();
  WriteKeyDword(key, busyName, 0);
  return CheckOutcome::kChecked;
}

void MailChecker::RunCheckPass(bool forced) {
  // A tick that arrives while a check waits for its server must not start
  // a second pass on the same client; a forced pass asked for meanwhile
  // runs once the current pass is over.
  if (passRunning_) {
    forcedPassPending_ = forcedPassPending_ || forced;
    return;
  }
  passRunning_ = true;
  for (;;) {
    uint32_t count = 0;
    {
      RegKey key = OpenAccountsKey(true);
      if (key) count = ReadAccountCount(key);
    }
    for (uint32_t n = 1; n <= count; ++n) {
      const CheckOutcome outcome = CheckAccountOutcome(std::to_string(n), forced);
      if (observer_) observer_(n, outcome);
    }
    if (count > 0) RefreshAfterCheck();
    if (!forcedPassPending_) break;
    forcedPassPending_ = false;
    forced = true;
  }
  passRunning_ = false;
}

void MailChecker::CheckMailNow() {
  {
    RegKey key = OpenAccountsKey(false);
    const uint32_t count = key ? ReadAccountCount(key) : 0;
    for (uint32_t n = 1; n <= count; ++n)
      key.registry()->DeleteValue(key.get(), AccountValueName(kLastCheckValue, n));
  }
  OnTimer(kForcedCheckTimerId);
}

void MailChecker::StartMailTimer(bool toolbarHasPop3Indicator) {
  host_.KillTimer(kMailTimerId);
  if (!toolbarHasPop3Indicator) return;
  host_.SetTimer(kMailTimerId, kMailTimerPeriodMs);
  OnTimer(kMailTimerId);
}

bool MailChecker::OnTimer(unsigned id) {
  if (id != kMailTimerId && id != kForcedCheckTimerId) return false;
  RunCheckPass(id == kForcedCheckTimerId);
  return true;
}

void MailChecker::RefreshAfterCheck() {
  if (host_.RefreshItems()) {
    if (!host_.IsTimerSet(kBlinkTimerId)) host_.SetTimer(kBlinkTimerId, kBlinkPeriodMs);
  } else {
    host_.KillTimer(kBlinkTimerId);
  }
}

}  // namespace qv::mail
