#include "toolbar_fixture.h"

namespace qv::test {
namespace {

constexpr char kMail[] = R"(
  INDICATOR { name = "mail" caption = "Mail" type = "POP3" addimg1 = "2" addimg2 = "3"
              addimg3 = "4" param1 = "%PARAM1%" param2 = "3" param3 = "%PARAM3%" }
  COMBO { name = "after" }
)";

std::string MailDefinition(const std::string& param1, const std::string& param3) {
  std::string text = kMail;
  text.replace(text.find("%PARAM1%"), 8, param1);
  text.replace(text.find("%PARAM3%"), 8, param3);
  return text;
}

tbdl::TBDLIndicatorItem& Indicator(tbdl::TBDLItem& item) {
  return static_cast<tbdl::TBDLIndicatorItem&>(item);
}

TEST_F(ToolbarTest, MailIndicatorImageFollowsTheAccounts) {
  ASSERT_TRUE(Build(MailDefinition("", "")));
  auto& mail = Indicator(Item(0));
  EXPECT_EQ(ButtonOf(0).button.bitmap, 3);
  EXPECT_EQ(toolbar->ToolTipText(1024), "No POP3 accounts configured");
  EXPECT_TRUE(mail.flagged);
  EXPECT_EQ(mail.state, 2);
  EXPECT_EQ(ButtonOf(0).text, "Mail");

  SetAccountCount(2);
  SetAccount(1, "a", "u", 0);
  SetAccount(2, "b", "v", 0);
  toolbar->UpdateItem(mail);
  EXPECT_EQ(ButtonOf(0).button.bitmap, 2);
  EXPECT_EQ(toolbar->ToolTipText(1024), "You do not have new messages");
  EXPECT_FALSE(mail.flagged);
  EXPECT_EQ(mail.blinkCount, 0);

  SetAccount(2, "b", "v", 7);
  toolbar->UpdateItem(mail);
  EXPECT_EQ(ButtonOf(0).button.bitmap, 4);
  EXPECT_EQ(toolbar->ToolTipText(1024), "You have 7 new messages");
  EXPECT_EQ(mail.state, 1);
  EXPECT_EQ(mail.blinkCount, 6);

  SetAccount(1, "a", "u", 0, "connect failed");
  toolbar->UpdateItem(mail);
  EXPECT_EQ(ButtonOf(0).button.bitmap, 3);
  EXPECT_EQ(mail.state, 2);
  EXPECT_EQ(mail.blinkCount, 6);
}

TEST_F(ToolbarTest, NewMessagesTextIsNeverUsedAsAFormat) {
  SetAccountCount(1);
  SetAccount(1, "a", "u", 5);
  ASSERT_TRUE(Build(MailDefinition("Nothing", "%n mails (%s)")));
  EXPECT_EQ(toolbar->ToolTipText(1024), "5 mails (%s)");
}

TEST_F(ToolbarTest, BlinkingRunsTwiceParam2StepsThenMarksTheMessagesSeen) {
  SetAccountCount(1);
  SetAccount(1, "a", "u", 2);
  ASSERT_TRUE(Build(MailDefinition("All read", "")));
  auto& mail = Indicator(Item(0));
  Mail().RefreshIndicators();
  ASSERT_EQ(control.Timers().count(kBlinkTimerId), 1u);
  EXPECT_EQ(control.Timers().at(kBlinkTimerId), 500u);

  std::vector<int> images;
  for (int step = 0; step < 6; ++step) {
    toolbar->OnTimer(kBlinkTimerId);
    images.push_back(ButtonOf(0).button.bitmap);
  }
  EXPECT_EQ(images, (std::vector<int>{-1, 4, -1, 4, -1, 4}));
  EXPECT_EQ(AccountStats(1), 2u);
  EXPECT_TRUE(mail.flagged);

  toolbar->OnTimer(kBlinkTimerId);  // the seventh step resets
  EXPECT_FALSE(mail.flagged);
  EXPECT_EQ(mail.state, 0);
  EXPECT_EQ(AccountStats(1), 0u);
  EXPECT_EQ(ButtonOf(0).button.bitmap, 4);  // not updated in that step
  EXPECT_EQ(toolbar->ToolTipText(1024), "All read");
  EXPECT_EQ(control.Timers().count(kBlinkTimerId), 0u);

  Mail().RefreshIndicators();
  EXPECT_EQ(ButtonOf(0).button.bitmap, 2);
  EXPECT_EQ(control.Timers().count(kBlinkTimerId), 0u);
}

TEST_F(ToolbarTest, AttentionStateKeepsBlinkingUntilItEndsLit) {
  SetAccountCount(1);
  SetAccount(1, "a", "u", 0, "bad password");
  ASSERT_TRUE(Build(MailDefinition("", "")));
  auto& mail = Indicator(Item(0));
  mail.blinkCount = 0;
  mail.state = -2;
  toolbar->OnTimer(kBlinkTimerId);
  EXPECT_EQ(ButtonOf(0).button.bitmap, 3);  // -2: updated without counting
  EXPECT_TRUE(mail.flagged);
  toolbar->OnTimer(kBlinkTimerId);
  EXPECT_FALSE(mail.flagged);
}

constexpr char kPopup[] = R"(
  INDICATOR { caption = "Pop" type = "POPUP" addimg1 = "6" addimg2 = "7" addimg3 = "5"
              param1 = "%n blocked, %n" param2 = "Allowed here" param3 = "None blocked" }
  INDICATOR { caption = "Plain" type = "other" addimg1 = "9" addimg2 = "1" }
)";

TEST_F(ToolbarTest, PopupIndicatorShowsTheCounterAndTheBlockerState) {
  hooks.blockedTotal = 7;
  ASSERT_TRUE(Build(kPopup));
  EXPECT_EQ(ButtonOf(0).text, "7 blocked, 7");
  EXPECT_EQ(ButtonOf(0).button.bitmap, 6);
  EXPECT_EQ(ButtonOf(1).text, "Plain");
  EXPECT_EQ(ButtonOf(1).button.bitmap, 9);

  Popup().SetState(1);  // a window was blocked
  EXPECT_EQ(ButtonOf(0).button.bitmap, 7);
  toolbar->OnBrowserEvent(kDispidDownloadBegin);
  EXPECT_EQ(ButtonOf(0).button.bitmap, 6);

  hooks.whitelisted = true;
  Popup().SetState(1);
  EXPECT_EQ(ButtonOf(0).text, "Allowed here");
  EXPECT_EQ(ButtonOf(0).button.bitmap, 6);

  hooks.whitelisted = false;
  hooks.blockedTotal = 0;
  toolbar->OnTimer(kPopupCounterTimerId);  // the counter changed
  EXPECT_EQ(ButtonOf(0).text, "None blocked");
  hooks.blockerEnabled = false;
  toolbar->UpdateItem(Item(0));
  EXPECT_EQ(ButtonOf(0).button.bitmap, 5);
}

TEST_F(ToolbarTest, IconOnlyItemsShowNoText) {
  SetDword("ItemIconOnly_Mail", 1);
  ASSERT_TRUE(Build(R"(BUTTON { caption = "Mail" } BUTTON { caption = "Other" })"));
  EXPECT_EQ(ButtonOf(0).text, "");
  EXPECT_EQ(ButtonOf(1).text, "Other");
}

}  // namespace
}  // namespace qv::test
