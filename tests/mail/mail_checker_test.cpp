#include "mail/mail_checker.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "mail/accounts.h"
#include "mail_test_support.h"
#include "support/fake_message_pump.h"
#include "support/scripted_pop3_server.h"

namespace qv::mail {
namespace {

using test::ScriptedPop3Server;

// The toolbar window as the checks see it: timers and the items' refresh.
class RecordingHost : public MailCheckHost {
 public:
  void SetTimer(unsigned id, unsigned periodMs) override {
    timers[id] = periodMs;
    log.push_back("set " + std::to_string(id));
  }
  void KillTimer(unsigned id) override {
    timers.erase(id);
    log.push_back("kill " + std::to_string(id));
  }
  bool IsTimerSet(unsigned id) override { return timers.count(id) != 0; }
  bool RefreshItems() override {
    ++refreshes;
    return refresh ? refresh() : false;
  }

  std::map<unsigned, unsigned> timers;
  std::vector<std::string> log;
  int refreshes = 0;
  std::function<bool()> refresh;
};

// A pump that runs a hook each time the waiting thread dispatches
// messages, as a timer tick arriving during a check would.
class HookPump : public test::FakeMessagePump {
 public:
  bool DispatchQueued(int* exitCode) override {
    if (hook && !inHook) {
      inHook = true;
      hook();
      inHook = false;
    }
    return FakeMessagePump::DispatchQueued(exitCode);
  }
  std::function<void()> hook;
  bool inHook = false;
};

constexpr std::time_t kNow = 1800000000;

class MailCheckerTest : public test::MailRegistryTest {
 protected:
  MailCheckerTest() : client_(GetNetwork(), pump_), checker_(client_, host_) {
    checker_.SetClock([this] { return now_; });
    server_.AddConnection()
        .Send("+OK ready <12.34@host>\r\n")
        .Serve(ScriptedPop3Server::MailboxHandler("bob", "secret", 3, 1520, "<12.34@host>"));
  }

  void Start() {
    server_.Start();
    checker_.SetPort(server_.Port());
  }

  // Accounts 1..n against the scripted server.
  void AddAccounts(unsigned n, const std::string& interval = "10") {
    RegKey key = Accounts();
    WriteKeyDword(key, kAccountCountValue, n);
    for (unsigned i = 1; i <= n; ++i) {
      Pop3AccountSettings s;
      s.server = "127.0.0.1";
      s.user = "bob";
      s.password = "secret";
      s.interval = interval;
      WriteAccount(key, i, s);
    }
  }
  void Set(const std::string& name, uint32_t value) { WriteKeyDword(Accounts(), name, value); }
  void SetText(const std::string& name, const std::string& text) {
    WriteKeyString(Accounts(), name, text);
  }
  void Remove(const std::string& name) {
    RegKey key = Accounts();
    key.registry()->DeleteValue(key.get(), name);
  }

  std::time_t now_ = kNow;
  HookPump pump_;
  Pop3Client client_;
  RecordingHost host_;
  MailChecker checker_;
  ScriptedPop3Server server_;
};

TEST_F(MailCheckerTest, CheckRecordsCountTimeAndClearsBusy) {
  Start();
  AddAccounts(1);
  ASSERT_TRUE(checker_.CheckAccount("1", false));
  EXPECT_EQ(Number("AccountStats1"), 3);
  EXPECT_EQ(Number("AccountBusy1"), 0);
  EXPECT_EQ(Number("LastCheckTime1"), kNow);
  EXPECT_EQ(Text("AccountError1"), "<absent>");
  EXPECT_EQ(server_.CommandsWhen(4),
            (std::vector<std::string>{"user bob", "pass secret", "stat", "quit"}));
  EXPECT_FALSE(client_.IsConnected());
}

TEST_F(MailCheckerTest, ApopAccount) {
  Start();
  AddAccounts(1);
  SetText("UseSPA1", "1");
  ASSERT_TRUE(checker_.CheckAccount("1", false));
  EXPECT_EQ(Number("AccountStats1"), 3);
  EXPECT_EQ(server_.Commands().at(0).substr(0, 9), "apop bob ");
}

TEST_F(MailCheckerTest, DueRuleAtTheMinuteBoundary) {
  Start();
  AddAccounts(1, "10");
  Set("LastCheckTime1", static_cast<uint32_t>(kNow));
  now_ = kNow + 600;
  EXPECT_TRUE(checker_.CheckAccount("1", false));  // not due: nothing done
  EXPECT_EQ(server_.Connections(), 0);
  EXPECT_EQ(Number("LastCheckTime1"), kNow);
  now_ = kNow + 601;
  EXPECT_TRUE(checker_.CheckAccount("1", false));
  EXPECT_EQ(server_.Connections(), 1);
  EXPECT_EQ(Number("LastCheckTime1"), kNow + 601);
}

TEST_F(MailCheckerTest, FailuresLeaveTheirErrorAndFreeTheAccount) {
  Start();
  AddAccounts(1);
  Set("AccountStats1", 9);
  SetText("POP3Account1", "eve");
  EXPECT_FALSE(checker_.CheckAccount("1", false));
  EXPECT_EQ(Text("AccountError1"), "User Name error!");
  EXPECT_EQ(Number("AccountBusy1"), 0);
  EXPECT_EQ(Number("AccountStats1"), 9);  // the last good count stays
  // The time is recorded when the check is decided, whatever follows.
  EXPECT_EQ(Number("LastCheckTime1"), kNow);

  SetText("POP3Server1", "no-such-host.invalid");
  EXPECT_FALSE(checker_.CheckAccount("1", true));
  EXPECT_EQ(Text("AccountError1"), "Hostname Error!");
  EXPECT_EQ(Number("AccountBusy1"), 0);
}

TEST_F(MailCheckerTest, RefusedStatIsAFailureThatKeepsTheLastCount) {
  ScriptedPop3Server server;
  server.AddConnection().Send("+OK\r\n").Serve(
      [](const std::string& command) { return command == "stat" ? "-ERR busy\r\n" : "+OK\r\n"; });
  server.Start();
  checker_.SetPort(server.Port());
  AddAccounts(1);
  Set("AccountStats1", 4);
  EXPECT_FALSE(checker_.CheckAccount("1", false));
  EXPECT_EQ(checker_.CheckAccountOutcome("1", true), CheckOutcome::kFailed);
  EXPECT_EQ(Number("AccountStats1"), 4);
  EXPECT_EQ(Text("AccountError1"), "Get Stat error!");
  EXPECT_EQ(Number("AccountBusy1"), 0);
  // The connection is not left open: the server was told goodbye.
  EXPECT_EQ(server.CommandsWhen(8).back(), "quit");
  EXPECT_FALSE(client_.IsConnected());
}

TEST_F(MailCheckerTest, BusyMarkBlocksEvenCheckMailUntilItIsTenMinutesOld) {
  Start();
  AddAccounts(1);
  Set("AccountBusy1", 1);
  Set("AccountBusySince1", static_cast<uint32_t>(kNow - 60));
  EXPECT_TRUE(checker_.CheckAccount("1", false));
  checker_.CheckMailNow();
  now_ = kNow - 60 + 600;
  checker_.CheckMailNow();
  EXPECT_EQ(server_.Connections(), 0);
  EXPECT_EQ(Number("AccountBusy1"), 1);
  // Left by a check that never finished: it no longer counts.
  now_ += 1;
  checker_.CheckMailNow();
  EXPECT_EQ(server_.Connections(), 1);
  EXPECT_EQ(Number("AccountStats1"), 3);
  EXPECT_EQ(Number("AccountBusy1"), 0);
  EXPECT_EQ(Number("AccountBusySince1"), now_);
}

TEST_F(MailCheckerTest, BusyMarkOfUnknownAgeCountsForTenMinutesFromWhenItIsSeen) {
  Start();
  AddAccounts(2);
  Set("AccountBusy1", 1);  // no time beside it
  Set("AccountBusy2", 1);
  Set("AccountBusySince2", static_cast<uint32_t>(kNow + 3600));  // the clock went back
  checker_.CheckMailNow();
  EXPECT_EQ(server_.Connections(), 0);
  EXPECT_EQ(Number("AccountBusySince1"), kNow);
  EXPECT_EQ(Number("AccountBusySince2"), kNow);
  now_ = kNow + 600;
  checker_.CheckMailNow();
  EXPECT_EQ(server_.Connections(), 0);
  now_ = kNow + 601;
  checker_.CheckMailNow();
  EXPECT_EQ(server_.Connections(), 2);
  EXPECT_EQ(Number("AccountBusy1"), 0);
  EXPECT_EQ(Number("AccountBusy2"), 0);
}

TEST_F(MailCheckerTest, PassSkipsAccountsWithMissingValues) {
  Start();
  AddAccounts(3);
  Remove("POP3Server2");
  for (int pass = 0; pass < 2; ++pass) {
    now_ += 3600;
    checker_.OnTimer(kMailTimerId);
  }
  EXPECT_EQ(server_.Connections(), 4);
  EXPECT_EQ(Number("AccountStats1"), 3);
  EXPECT_EQ(Number("AccountStats3"), 3);
  EXPECT_EQ(Number("AccountStats2"), -1);
  EXPECT_EQ(Number("AccountBusy2"), -1);
  EXPECT_FALSE(checker_.CheckAccount("2", true));
}

TEST_F(MailCheckerTest, MissingIntervalIsDueAtEveryTick) {
  Start();
  AddAccounts(1);
  Remove("CheckInterval1");
  checker_.OnTimer(kMailTimerId);
  checker_.OnTimer(kMailTimerId);
  EXPECT_EQ(server_.Connections(), 2);
  EXPECT_EQ(Number("LastCheckTime1"), -1);
}

TEST_F(MailCheckerTest, IntervalBelowOneMinuteIsLeftToCheckMail) {
  Start();
  AddAccounts(2, "0");
  SetText("CheckInterval2", "-5");
  checker_.OnTimer(kMailTimerId);
  EXPECT_EQ(server_.Connections(), 0);
  EXPECT_EQ(Number("LastCheckTime1"), -1);
  checker_.CheckMailNow();
  EXPECT_EQ(server_.Connections(), 2);
  EXPECT_EQ(Number("AccountStats1"), 3);
  EXPECT_EQ(Number("AccountStats2"), 3);
}

TEST_F(MailCheckerTest, CheckMailChecksEveryAccountWhateverItsSchedule) {
  Start();
  AddAccounts(2, "60");
  Set("LastCheckTime1", static_cast<uint32_t>(kNow - 10));
  Set("LastCheckTime2", static_cast<uint32_t>(kNow - 20));
  checker_.OnTimer(kMailTimerId);
  EXPECT_EQ(server_.Connections(), 0);
  EXPECT_EQ(host_.refreshes, 1);
  // Values beyond the count are no account's and stay.
  Set("LastCheckTime3", 5);
  Set("LastCheckTime01", 5);
  checker_.CheckMailNow();
  EXPECT_EQ(server_.Connections(), 2);
  EXPECT_EQ(Number("LastCheckTime1"), kNow);
  EXPECT_EQ(Number("LastCheckTime2"), kNow);
  EXPECT_EQ(Number("LastCheckTime3"), 5);
  EXPECT_EQ(Number("LastCheckTime01"), 5);
  EXPECT_EQ(host_.refreshes, 2);
}

TEST_F(MailCheckerTest, CheckMailWithADamagedCountStopsAtTheLastPossibleAccount) {
  Start();
  Set(kAccountCountValue, 0xFFFFFFFFu);
  Set("LastCheckTime201", 5);
  Set("LastCheckTime202", 5);
  checker_.CheckMailNow();  // returns: no four billion rounds
  EXPECT_EQ(Number("LastCheckTime201"), -1);
  EXPECT_EQ(Number("LastCheckTime202"), 5);
  EXPECT_EQ(server_.Connections(), 0);
  EXPECT_EQ(host_.refreshes, 1);
}

TEST_F(MailCheckerTest, TickDuringACheckDoesNotStartASecondOne) {
  Start();
  AddAccounts(1);
  Remove("CheckInterval1");
  int nested = 0;
  pump_.hook = [&] {
    // The first pass waits four times: greeting, USER, PASS, STAT.
    if (++nested > 4) return;
    // A check that is logged in refuses a second one on the same client;
    // a timer pass waits for the running pass, a forced one runs after it.
    if (client_.IsLoggedIn()) {
      EXPECT_FALSE(checker_.CheckAccount("1", false));
    }
    checker_.OnTimer(kMailTimerId);
    checker_.OnTimer(kForcedCheckTimerId);
  };
  checker_.OnTimer(kMailTimerId);
  pump_.hook = nullptr;
  EXPECT_GE(nested, 4);
  EXPECT_EQ(server_.Connections(), 2);  // the pass and the forced pass after it
  EXPECT_EQ(Number("AccountBusy1"), 0);
}

TEST_F(MailCheckerTest, MailTimerRunsOnlyWithAPop3Indicator) {
  Start();
  AddAccounts(1);
  checker_.StartMailTimer(false);
  EXPECT_EQ(host_.log, (std::vector<std::string>{"kill 43691"}));
  EXPECT_EQ(server_.Connections(), 0);
  checker_.StartMailTimer(true);
  EXPECT_EQ(host_.timers.at(kMailTimerId), 25000u);
  EXPECT_EQ(server_.Connections(), 1);  // a first pass at once
  EXPECT_FALSE(checker_.OnTimer(kBlinkTimerId));
}

TEST_F(MailCheckerTest, RefreshStartsAndStopsTheBlinkTimer) {
  bool blinking = true;
  host_.refresh = [&] { return blinking; };
  checker_.RefreshAfterCheck();
  checker_.RefreshAfterCheck();
  EXPECT_EQ(host_.log, (std::vector<std::string>{"set 43690"}));
  EXPECT_EQ(host_.timers.at(kBlinkTimerId), 500u);
  blinking = false;
  checker_.RefreshAfterCheck();
  EXPECT_FALSE(host_.IsTimerSet(kBlinkTimerId));
}

TEST_F(MailCheckerTest, NoAccountsNoRefresh) {
  checker_.OnTimer(kMailTimerId);
  checker_.CheckMailNow();
  EXPECT_EQ(host_.refreshes, 0);
}

TEST(Accounts, PasswordScrambling) {
  const std::string password = "0123456789abcdefg";
  const std::string stored = ScramblePassword(password);
  EXPECT_EQ(stored.size(), password.size());
  EXPECT_EQ(ScramblePassword(stored), password);
  // Byte 15 uses the same key byte as byte 0.
  EXPECT_EQ(stored[0] ^ password[0], stored[15] ^ password[15]);
  EXPECT_EQ(static_cast<char>(stored[0] ^ password[0]), 'Q');
  // A byte equal to its key byte is stored as zero and still comes back.
  const std::string keyTail = "QWT593ZP#&71MMR";
  const std::string zeros = ScramblePassword(keyTail + "Q");
  EXPECT_EQ(zeros, std::string(16, '\0'));
  EXPECT_EQ(ScramblePassword(zeros), keyTail + "Q");
}

class AccountRecordTest : public test::MailRegistryTest {};

TEST_F(AccountRecordTest, PasswordIsStoredAsBinaryOfItsOwnLength) {
  RegKey key = Accounts();
  Pop3AccountSettings s;
  s.server = "mail.example";
  s.user = "bob";
  s.password = "QW-secret";  // its first two bytes scramble to zero
  WriteAccount(key, 1, s);
  uint32_t type = 0, size = 64;
  uint8_t data[64];
  ASSERT_EQ(key.registry()->QueryValue(key.get(), "POP3Password1", &type, data, &size),
            kErrorSuccess);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(data[0], 0);
  EXPECT_EQ(data[1], 0);
  const Pop3Account a = ReadAccount(key, 1);
  EXPECT_TRUE(a.hasPassword && a.hasUser && a.hasServer && a.hasInterval);
  EXPECT_EQ(a.password, "QW-secret");
  EXPECT_FALSE(a.useApop);
  EXPECT_EQ(IntervalMinutes("15"), 15);
  EXPECT_EQ(IntervalMinutes("x"), 0);
  EXPECT_EQ(IntervalMinutes("-3"), -3);
}

}  // namespace
}  // namespace qv::mail
