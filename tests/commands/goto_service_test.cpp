#include "simulators/recording_proxy.h"
#include "command_test_host.h"
#include "commands/expansion.h"
#include "commands/run_commands.h"
#include "platform/proxy.h"
#include "settings/settings.h"

namespace qv::testing {
namespace {

const char kToolbar[] = R"(TBW_Toolbar {
  COMBO { name = "q" command = "find" maxhistlines = "5" }
  COMBO { name = "e" type = "edit" }
  COMBO { name = "engine" COMBOVALUE { value = "web" } }
  BUTTON { name = "hl" command = "Highlight" }
  WEBPAGE { name = "side" url = "http://side/" }
  COMMANDS {
    GOTOURL { name = "find" url = "http://s/?q=%q" }
    GOTOURL { name = "form" url = "POST!http://s/form" post = "q=%q" target = "frame1" }
    GOTOURL { name = "get" url = "http://s/form" post = "q=%q" }
    GOTOURL { name = "new" url = "http://n/?q=%q" post = "ignored" newwindow = "New" }
    GOTOURL { name = "newpost" url = "POST!http://n/" post = "a=1" newwindow = "New" }
    GOTOURL { name = "lower" url = "http://l/" newwindow = "new" }
    GOTOURL { name = "dialog" url = "http://d/?%q" post = "x" newwindow = "ModalDialog" options = "dialogWidth:10px" }
    GOTOURL { name = "bb" url = "http://bb/?%q" newwindow = "BrowserButton" target = "side" }
    SERVICECOMMAND { name = "hide" type = "HideToolbar" }
    SERVICECOMMAND { name = "hidelower" type = "hidetoolbar" }
    SERVICECOMMAND { name = "box" type = "MessageBox" caption = "Hello" }
    SERVICECOMMAND { name = "search" type = "Search" }
    SERVICECOMMAND { name = "o0" type = "OptionsPage" }
    SERVICECOMMAND { name = "o1" type = "ConfigurePopupBlocker" }
    SERVICECOMMAND { name = "o2" type = "ConfigurePOP3" }
    SERVICECOMMAND { name = "mail" type = "CheckMail" }
    SERVICECOMMAND { name = "clearall" type = "ClearHistory" caption = "ALL!" }
    SERVICECOMMAND { name = "cleare" type = "ClearHistory" caption = "e" }
    SERVICECOMMAND { name = "reset" type = "ResetBlockerCounter" }
    SERVICECOMMAND { name = "site" type = "ToggleSiteInWhiteList" }
    SERVICECOMMAND { name = "toggle" type = "TogglePopupBlocking" }
    SERVICECOMMAND { name = "proxy" type = "ChangeProxy" caption = "p:80;a;b;c" }
    SERVICECOMMAND { name = "Highlight" type = "Highlight" caption = "yellow" }
    SERVICECOMMAND { name = "bye" type = "Uninstall" }
    SERVICECOMMAND { name = "update" type = "Update" }
  }
})";

class GoToServiceTest : public CommandTest {
 protected:
  TestToolbar bar{kToolbar};
  RecordingProxySettings proxy;
  ScopedService<ProxySettings> useProxy{&PlatformServices::proxy, &proxy};
};

TEST_F(GoToServiceTest, HostingWindowGetsBodyAndHeaderOnlyAfterPostPrefix) {
  bar.Type("q", "a b");
  bar.Run("form");
  bar.Run("get");
  bar.Run("find");
  auto calls = bar.Navigations();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].args, (std::vector<std::pair<std::string, std::string>>{
                               {"url", "http://s/form"},
                               {"target", "frame1"},
                               {"post", "q=a+b"},
                               {"headers", commands::kFormHeaders}}));
  EXPECT_EQ(calls[1].args,
            (std::vector<std::pair<std::string, std::string>>{
                {"url", "http://s/form"}, {"target", ""}, {"post", ""}, {"headers", ""}}));
  EXPECT_EQ(*calls[2].Arg("url"), "http://s/?q=a+b");
  EXPECT_EQ(bar.page->focusCount, 3);
  EXPECT_EQ(bar.ListOf("q").front(), "a b");
}

TEST_F(GoToServiceTest, NewWindowIsShownAndNavigatedWithoutTarget) {
  bar.Type("q", "x");
  bar.Run("new");
  bar.Run("newpost");
  bar.Run("lower");
  auto& log = bar.browser.Log().calls;
  ASSERT_EQ(log.size(), 7u);
  EXPECT_EQ(log[0].call, "NewWindow");
  EXPECT_EQ(log[1].call, "put_Visible");
  EXPECT_EQ(*log[1].Arg("window"), "1");
  EXPECT_EQ(log[2].args,
            (std::vector<std::pair<std::string, std::string>>{
                {"window", "1"}, {"url", "http://n/?q=x"}, {"post", ""}, {"headers", ""}}));
  EXPECT_EQ(*log[5].Arg("post"), "a=1");
  EXPECT_EQ(*log[5].Arg("headers"), commands::kFormHeaders);
  // "new" is not "New": the hosting window navigates.
  EXPECT_EQ(log[6].call, "Navigate2");
  EXPECT_FALSE(log[6].Arg("window"));

  bar.browser.SetCanOpenWindows(false);
  bar.Run("new");
  EXPECT_EQ(bar.browser.Log().calls.back().call, "NewWindowFailed");
}

TEST_F(GoToServiceTest, ModalDialogUsesThePageWindow) {
  bar.Type("q", "x");
  bar.Run("dialog");
  ASSERT_EQ(bar.page->dialogs.size(), 1u);
  EXPECT_EQ(bar.page->dialogs[0].url, "http://d/?x");
  EXPECT_EQ(bar.page->dialogs[0].argument, "");
  EXPECT_EQ(bar.page->dialogs[0].features, "dialogWidth:10px");
  EXPECT_TRUE(bar.Navigations().empty());
  bar.browser.SetDocument(nullptr);
  bar.Run("dialog");  // nothing to open it from
  EXPECT_TRUE(bar.browser.Log().calls.empty());
}

TEST_F(GoToServiceTest, BrowserButtonStoresTheAddressForTheWebPageItem) {
  bar.Type("q", "x");
  bar.Run("bb");
  EXPECT_EQ(GetSettingString("BrowserButtonsideURL", ""), "http://bb/?x");
  EXPECT_EQ(bar.refreshedPages, std::vector<std::string>{"side"});
  EXPECT_TRUE(bar.Navigations().empty());
}

TEST_F(GoToServiceTest, ServicesRunTheirSubsystemsInOrder) {
  // Shown pressed, only "Highlight" has something to reset.
  for (const char* name : {"o0", "update", "hide", "box", "bye"}) bar.RunCommand(name, true);
  EXPECT_TRUE(bar.services.calls.empty());
  EXPECT_TRUE(bar.browser.Log().calls.empty());
  EXPECT_EQ(messages.count(), 0u);
  for (const char* name : {"o0", "o1", "o2", "reset", "site", "toggle", "update"}) bar.Run(name);
  EXPECT_EQ(bar.services.calls,
            (std::vector<std::string>{"options 0", "options 1", "options 2", "resetcount",
                                      "togglesite", "toggleblocking", "rebuild"}));
  EXPECT_EQ(bar.popupRefreshes, 3);
  EXPECT_EQ(GetSettingDword("TotalBlockedPopups", 7), 0u);
  EXPECT_TRUE(GetSettingFlag("GlobalUpdateFlag", false));
  auto calls = bar.Navigations();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::pair<std::string, std::string>>{
                               {"url", "http://vendor.example/quorvane/afterupdate.html"}}));
}

TEST_F(GoToServiceTest, HideToolbarAndMessageBoxAreCaseSensitive) {
  SetSettingDword("PosMode", 3);
  bar.Run("hidelower");
  EXPECT_TRUE(bar.browser.Log().calls.empty());
  EXPECT_EQ(GetSettingDword("PosMode", 9), 3u);
  bar.Run("hide");
  auto bars = bar.browser.Log().Named("ShowBrowserBar");
  ASSERT_EQ(bars.size(), 1u);
  EXPECT_EQ(*bars[0].Arg("clsid"), commands::kBandClassId);
  EXPECT_EQ(*bars[0].Arg("show"), "false");
  EXPECT_EQ(GetSettingDword("PosMode", 9), 0u);

  bar.Run("box");
  ASSERT_EQ(messages.count(), 1u);
  EXPECT_EQ(messages.messages()[0].text, "Hello");
  EXPECT_EQ(messages.messages()[0].caption, "quorvane");
  EXPECT_EQ(messages.messages()[0].style, kMbOk);
}

TEST_F(GoToServiceTest, UninstallAsksFirst) {
  messages.QueueAnswer(kIdNo);
  bar.Run("bye");
  EXPECT_TRUE(bar.services.calls.empty());
  EXPECT_TRUE(bar.browser.Log().calls.empty());
  messages.QueueAnswer(kIdYes);
  bar.Run("bye");
  ASSERT_EQ(messages.count(), 2u);
  EXPECT_EQ(messages.messages()[0].text, "Are you sure you want to uninstall Ostrivel");
  EXPECT_EQ(messages.messages()[0].caption, "Ostrivel Toolbar Alert");
  EXPECT_EQ(messages.messages()[0].style, kMbYesNo);
  EXPECT_EQ(bar.browser.Log().calls.back().call, "Quit");
  EXPECT_EQ(bar.services.calls, std::vector<std::string>{"uninstall"});
}

TEST_F(GoToServiceTest, CheckMailHandsTheForcedPassToTheMailChecker) {
  // Making the accounts due is the mail checker's part of the pass.
  RegKey accounts = OpenProductSubkey("POP3 Accounts", true);
  WriteKeyDword(accounts, "NumberOfConfiguredAccounts", 1);
  WriteKeyDword(accounts, "LastCheckTime1", 5);
  bar.Run("mail");
  EXPECT_EQ(bar.services.calls, std::vector<std::string>{"checkmail"});
  EXPECT_EQ(ReadKeyDword(accounts, "LastCheckTime1", 0), 5u);
}

TEST_F(GoToServiceTest, ChangeProxyOptions) {
  bar.Run("proxy");
  ASSERT_EQ(proxy.calls.size(), 1u);
  auto& options = proxy.calls[0];
  ASSERT_EQ(options.size(), 3u);
  EXPECT_EQ(options[0].option, kPerConnFlags);
  EXPECT_EQ(options[0].number, kProxyTypeDirect | kProxyTypeProxy);
  EXPECT_EQ(options[1].text, "p:80");
  EXPECT_EQ(options[2].text, "a;b;c");

  auto direct = commands::ProxyOptionsFor("");
  ASSERT_EQ(direct.size(), 1u);
  EXPECT_EQ(direct[0].number, kProxyTypeDirect);
  auto leading = commands::ProxyOptionsFor(";x");
  EXPECT_EQ(leading[1].text, ";x");
  EXPECT_EQ(leading[2].text, "");
  auto bare = commands::ProxyOptionsFor("p:80");
  EXPECT_EQ(bare[1].text, "p:80");
  EXPECT_EQ(bare[2].text, "");
}

TEST_F(GoToServiceTest, ClearHistoryLeavesEditFieldsAndChoosersAlone) {
  bar.Type("q", "one");
  bar.Run("find");
  bar.Run("cleare");
  EXPECT_EQ(bar.ListOf("q").size(), 1u);
  EXPECT_EQ(bar.ListOf("engine").size(), 1u);
  bar.Run("clearall");
  EXPECT_TRUE(bar.ListOf("q").empty());
  EXPECT_TRUE(commands::ReadHistory("q").empty());
  EXPECT_EQ(bar.ListOf("engine").size(), 1u);
}

}  // namespace
}  // namespace qv::testing
