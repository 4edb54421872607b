// The mail checks: one account at a time over the toolbar window's
// Pop3Client, driven by the toolbar window's timers. The per-account state
// lives only in the "POP3 Accounts" subkey, so every browser window sees
// the same results and two windows never check one account at once.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "mail/pop3_client.h"
#include "platform/registry.h"
#include "tbdl/identifiers.h"

namespace qv::mail {

// What the checks need of the toolbar window.
class MailCheckHost {
 public:
  virtual ~MailCheckHost() = default;
  virtual void SetTimer(unsigned id, unsigned periodMs) = 0;
  virtual void KillTimer(unsigned id) = 0;
  virtual bool IsTimerSet(unsigned id) = 0;
  // Asks every toolbar item to update its button; true when some item now
  // has blink steps to run.
  virtual bool RefreshItems() = 0;
};

// The due rule of one account: "LastCheckTime" + accountId in key plus
// interval minutes must have passed; when due, now is recorded there.
bool IsCheckDue(long interval, const RegKey& key, const std::string& accountId, std::time_t now);

// A check ends within seconds to a few minutes (a connect time-out and a
// bounded wait per reply); a busy mark older than this was left by a check
// that never finished (a crash, a killed browser) and no longer counts.
inline constexpr uint32_t kBusyMarkLifetimeSeconds = 10 * 60;

// True when busyName holds 1 and the mark is not older than
// kBusyMarkLifetimeSeconds by sinceName (the time the mark was set, in
// seconds since 1970). A mark without that time counts from now on: its
// time is recorded, so it expires a whole lifetime later.
bool IsBusyMarkFresh(const RegKey& key, const std::string& busyName, const std::string& sinceName,
                     std::time_t now);

// What one account's check came to.
enum class CheckOutcome {
  kChecked,      // connected, logged in, count stored
  kFailed,       // the connection, the login or STAT failed (the error is stored)
  kMissing,      // no password, user name or server: skipped
  kNotDue,       // its interval has not passed yet
  kAutoOff,      // interval below 1 minute: only CheckMail checks it
  kBusy,         // another window or process is checking it
  kClientBusy,   // this client is in the middle of a check
  kNoAccountKey  // the accounts key cannot be opened
};
const char* CheckOutcomeName(CheckOutcome outcome);

class MailChecker {
 public:
  MailChecker(Pop3Client& client, MailCheckHost& host);

  // Checks one account (id as decimal text). False when the account was
  // skipped for missing values or its connection, login or STAT failed.
  bool CheckAccount(const std::string& accountId, bool forced);
  CheckOutcome CheckAccountOutcome(const std::string& accountId, bool forced);
  // Checks every configured account, then refreshes the items and starts or
  // stops the blink timer.
  void RunCheckPass(bool forced);
  // The CheckMail command: every account becomes due, then a forced pass.
  void CheckMailNow();
  // The mail part of StartPeriodicTimers: the mail timer runs (and a first
  // pass is made) only when the toolbar has a POP3 indicator.
  void StartMailTimer(bool toolbarHasPop3Indicator);
  // The toolbar window's timer handler for the mail timers; false for ids
  // that are not the checker's.
  bool OnTimer(unsigned id);
  // The refresh that ends every pass.
  void RefreshAfterCheck();

  // The tool and tests reach servers on other ports; the product uses 110.
  void SetPort(uint16_t port) { port_ = port; }
  // Told of every account a pass checks (the tool prints them).
  void SetObserver(std::function<void(unsigned account, CheckOutcome)> observer) {
    observer_ = std::move(observer);
  }
  // Tests put the clock where they need it.
  void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

 private:
  Pop3Client& client_;
  MailCheckHost& host_;
  uint16_t port_ = kPop3Port;
  std::function<std::time_t()> clock_;
  std::function<void(unsigned, CheckOutcome)> observer_;
  bool passRunning_ = false;
  bool forcedPassPending_ = false;
};

}  // namespace qv::mail
