#include "mail/indicator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "install/resource_lookup.h"
#include "mail/accounts.h"
#include "mail/mail_checker.h"
#include "mail_test_support.h"
#include "support/scripted_pop3_server.h"
#include "tbdl/loader.h"

namespace qv::mail {
namespace {

class IndicatorTest : public test::MailRegistryTest {
 protected:
  IndicatorTest() {
    definition_.param2 = "3";
    definition_.addimg1 = 11;
    definition_.addimg2 = 12;
    definition_.addimg3 = 13;
  }
  void SetAccounts(unsigned n) { WriteKeyDword(Accounts(), kAccountCountValue, n); }
  void SetCount(unsigned account, uint32_t count) {
    WriteKeyDword(Accounts(), AccountValueName(kStatsValue, account), count);
  }

  IndicatorDefinition definition_;
  IndicatorState indicator_;
};

TEST_F(IndicatorTest, ImageAndHintFollowTheStoredResults) {
  EXPECT_EQ(Pop3IndicatorImage(definition_, indicator_), 12);
  EXPECT_EQ(indicator_.hint, "No POP3 accounts configured");
  EXPECT_TRUE(indicator_.flagged);
  EXPECT_EQ(indicator_.state, 2);

  SetAccounts(2);
  EXPECT_EQ(Pop3IndicatorImage(definition_, indicator_), 11);
  EXPECT_EQ(indicator_.hint, "You do not have new messages");
  EXPECT_FALSE(indicator_.flagged);
  EXPECT_EQ(indicator_.state, 0);

  SetCount(1, 2);
  SetCount(2, 3);
  EXPECT_EQ(Pop3IndicatorImage(definition_, indicator_), 13);
  EXPECT_EQ(indicator_.hint, "You have 5 new messages");
  EXPECT_EQ(indicator_.state, 1);
  EXPECT_EQ(indicator_.blinkCount, 6);

  // Any account's error wins over new mail.
  WriteKeyString(Accounts(), "AccountError2", "Connection Time out!");
  EXPECT_EQ(Pop3IndicatorImage(definition_, indicator_), 12);
  EXPECT_EQ(indicator_.state, 2);
  EXPECT_EQ(indicator_.blinkCount, 6);
}

TEST_F(IndicatorTest, NewMessagesHintIsNeverAPrintFormat) {
  EXPECT_EQ(FormatNewMessagesHint("You have %n new messages", 5), "You have 5 new messages");
  EXPECT_EQ(FormatNewMessagesHint("%n new (100%%)", 2), "2 new (100%)");
  EXPECT_EQ(FormatNewMessagesHint("%s and %n and %n %d", 2), "%s and 2 and %n %d");
  EXPECT_EQ(FormatNewMessagesHint("no count", 2), "no count");
  EXPECT_EQ(FormatNewMessagesHint("trailing %", 2), "trailing %");
}

TEST_F(IndicatorTest, NewMailBlinksThenCountsAsSeen) {
  SetAccounts(2);
  SetCount(1, 1);
  definition_.param1 = "All read";
  ASSERT_EQ(Pop3IndicatorImage(definition_, indicator_), 13);
  // param2 = 3: six steps alternating off and the new-mail image...
  std::vector<int> images;
  for (int i = 0; i < 6; ++i) {
    const BlinkStep step = RunBlinkStep(definition_, indicator_);
    EXPECT_TRUE(step.updateButton);
    images.push_back(step.image);
  }
  EXPECT_EQ(images, (std::vector<int>{-1, 13, -1, 13, -1, 13}));
  EXPECT_EQ(Number("AccountStats1"), 1);
  // ...and the seventh returns to quiet without touching the button.
  EXPECT_FALSE(RunBlinkStep(definition_, indicator_).updateButton);
  EXPECT_FALSE(indicator_.flagged);
  EXPECT_EQ(indicator_.state, 0);
  EXPECT_EQ(indicator_.hint, "All read");
  EXPECT_EQ(Number("AccountStats1"), 0);
  EXPECT_EQ(Number("AccountStats2"), 0);
  EXPECT_EQ(Pop3IndicatorImage(definition_, indicator_), 11);
}

TEST_F(IndicatorTest, ErrorBlinkingEndsOnTheErrorImage) {
  indicator_.state = 2;
  indicator_.flagged = true;
  indicator_.blinkCount = 1;
  EXPECT_EQ(RunBlinkStep(definition_, indicator_).image, -1);
  EXPECT_EQ(indicator_.state, -2);
  // Count spent while showing "off": one more step brings the image back.
  const BlinkStep back = RunBlinkStep(definition_, indicator_);
  EXPECT_TRUE(back.updateButton);
  EXPECT_EQ(back.image, 12);
  EXPECT_EQ(indicator_.blinkCount, 0);
  EXPECT_FALSE(RunBlinkStep(definition_, indicator_).updateButton);
  EXPECT_EQ(indicator_.state, 0);
}

TEST_F(IndicatorTest, WebFrontEntriesAndTheirCommand) {
  EXPECT_TRUE(BuildWebFrontEntries("%account").noAccounts);
  RegKey key = Accounts();
  WriteKeyDword(key, kAccountCountValue, 3);
  for (unsigned n = 1; n <= 3; ++n) {
    Pop3AccountSettings s;
    s.server = "pop" + std::to_string(n) + ".example";
    s.user = "user" + std::to_string(n);
    WriteAccount(key, n, s);
  }
  key.registry()->DeleteValue(key.get(), "POP3Server2");
  SetCount(3, 4);
  const WebFrontEntries built = BuildWebFrontEntries("%account at %server (%newmsgcount) %server");
  EXPECT_FALSE(built.noAccounts);
  ASSERT_EQ(built.entries.size(), 2u);
  EXPECT_EQ(built.entries[0].id, 23048u);
  EXPECT_EQ(built.entries[0].text, "user1 at pop1.example (0) %server");
  EXPECT_EQ(built.entries[1].id, 23050u);
  EXPECT_EQ(built.entries[1].text, "user3 at pop3.example (4) %server");

  struct Runner : NamedCommandRunner {
    bool RunNamedCommand(const std::string& name, const std::string& parameter) override {
      runs.push_back(name + "(" + parameter + ")");
      return hasCommand;
    }
    std::vector<std::string> runs;
    bool hasCommand = true;
  } runner;
  // The entries' identifiers name their accounts.
  const CommandTarget chosen = DecodeCommandId(built.entries[1].id, CommandSource::kMenu);
  ASSERT_EQ(chosen.kind, CommandTargetKind::kWebFront);
  EXPECT_TRUE(RunWebFrontCommand(chosen.account, runner));
  runner.hasCommand = false;
  EXPECT_FALSE(RunWebFrontCommand(1, runner));
  EXPECT_EQ(runner.runs, (std::vector<std::string>{"GoToWebMailGate(3)", "GoToWebMailGate(1)"}));
}

// The whole path on the model's items: a pass that finds new mail starts the
// blink timer, the blinking ends with the counts at 0, and the next pass
// raises them again.
TEST_F(IndicatorTest, BlinkAndResetCycleAfterNewMail) {
  std::unique_ptr<tbdl::TBDLToolbar> model;
  LocalResourceLookup lookup(".");
  tbdl::LoadToolbarDefinitionText(
      model,
      "TBW_Toolbar {\n"
      "  BUTTON { caption = \"Go\" }\n"
      "  INDICATOR { caption = \"Mail\" type = \"POP3\" param2 = \"1\"\n"
      "    addimg1 = \"1\" addimg2 = \"2\" addimg3 = \"3\" }\n"
      "}\n",
      lookup);
  ASSERT_TRUE(model);
  ASSERT_TRUE(HasPop3Indicator(*model));
  auto& mailItem = static_cast<tbdl::TBDLIndicatorItem&>(*model->Items().at(1));

  struct Host : MailCheckHost {
    void SetTimer(unsigned id, unsigned) override {
      blinkTimer = blinkTimer || id == kBlinkTimerId;
    }
    void KillTimer(unsigned id) override { blinkTimer = blinkTimer && id != kBlinkTimerId; }
    bool IsTimerSet(unsigned id) override { return id == kBlinkTimerId && blinkTimer; }
    bool RefreshItems() override {
      image = Pop3IndicatorImage(*item);
      return item->flagged && item->blinkCount > 0;
    }
    tbdl::TBDLIndicatorItem* item = nullptr;
    int image = -1;
    bool blinkTimer = false;
  } host;
  host.item = &mailItem;

  test::ScriptedPop3Server server;
  server.AddConnection().Send("+OK\r\n").Serve(
      test::ScriptedPop3Server::MailboxHandler("bob", "pw", 2, 100));
  server.Start();
  Pop3AccountSettings s;
  s.server = "127.0.0.1";
  s.user = "bob";
  s.password = "pw";
  s.interval = "";  // no schedule: every tick checks
  WriteKeyDword(Accounts(), kAccountCountValue, 1);
  WriteAccount(Accounts(), 1, s);
  RegKey key = Accounts();
  key.registry()->DeleteValue(key.get(), "CheckInterval1");

  Pop3Client client;
  MailChecker checker(client, host);
  checker.SetPort(server.Port());
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    checker.OnTimer(kMailTimerId);
    EXPECT_EQ(host.image, 3);
    EXPECT_TRUE(host.blinkTimer);
    EXPECT_EQ(mailItem.GetHint(), "You have 2 new messages");
    int steps = 0;
    while (mailItem.flagged && steps < 10) {
      RunBlinkStep(mailItem);
      ++steps;
    }
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(Number("AccountStats1"), 0);
    EXPECT_EQ(mailItem.GetHint(), "You do not have new messages");
  }
}

}  // namespace
}  // namespace qv::mail
