#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/accounts.h"
#include "options/items_page.h"
#include "options/pop3_page.h"
#include "options/popup_page.h"
#include "options_test_support.h"
#include "settings/settings.h"

namespace qv::testing {
namespace {

using options::AccountField;
using options::ItemsPage;
using options::Pop3Page;
using options::PopupPage;

// --- pop-up blocker page

using PopupPageTest = OptionsFixture;

TEST_F(PopupPageTest, ReleaseKeyComboFollowsTheKeyCodeBothWays) {
  struct Case {
    uint32_t stored;
    int index;
    uint32_t kept;  // what OK stores without a change
  };
  // A code the combo cannot show is shown as "None" and stored as shown.
  const Case cases[] = {{17, 0, 17},
                        {16, 1, 16},
                        {kNoReleaseKey, 2, kNoReleaseKey},
                        {18, 2, kNoReleaseKey},
                        {0, 2, kNoReleaseKey}};
  for (const Case& c : cases) {
    BlockerSettings s;
    s.tempDisableBlockerKey = c.stored;
    shared->SetBlockerSettings(s);
    PopupPage page;
    page.Load(*shared);
    EXPECT_EQ(c.index, page.KeyIndex()) << c.stored;
    page.Store(*shared);
    EXPECT_EQ(c.kept, GetSettingDword("TempDisableBlockerKey", 1)) << c.stored;
  }
  PopupPage page;
  const uint32_t selected[] = {options::kCtrlKey, options::kShiftKey, kNoReleaseKey};
  for (int i = 0; i < 3; ++i) {
    page.SelectKey(i);
    EXPECT_EQ(selected[i], page.Values().tempDisableBlockerKey);
  }
}

TEST_F(PopupPageTest, OkStoresTheSixSwitchesAsOnesAndZerosInBothPlaces) {
  BlockerSettings s;
  s.enablePopupBlocker = 7;  // any non-zero word shows as ticked
  s.showPopupPageStatus = 0;
  s.beepOnPopup = 1;
  s.blockFlashMovies = 0;
  s.blockResize = 1;
  s.tempDisableBlockerKey = 17;
  shared->SetBlockerSettings(s);
  PopupPage page;
  page.Load(*shared);
  page.SetStatusText(true);
  page.SetBeep(false);
  page.SetFlash(true);
  page.SetResize(false);
  page.SelectKey(1);
  // Nothing changes before OK.
  EXPECT_EQ(7u, shared->GetBlockerSettings().enablePopupBlocker);
  page.Store(*shared);
  const BlockerSettings now = shared->GetBlockerSettings();
  EXPECT_EQ(1u, now.enablePopupBlocker);
  EXPECT_EQ(1u, now.showPopupPageStatus);
  EXPECT_EQ(0u, now.beepOnPopup);
  EXPECT_EQ(1u, now.blockFlashMovies);
  EXPECT_EQ(0u, now.blockResize);
  EXPECT_EQ(16u, now.tempDisableBlockerKey);
  const std::pair<const char*, uint32_t> stored[] = {
      {"EnablePopupBlocker", 1}, {"ShowPopupPageStatus", 1}, {"BeepOnPopup", 0},
      {"BlockFlashMovies", 1},   {"BlockResize", 0},         {"TempDisableBlockerKey", 16}};
  for (const auto& [name, value] : stored) EXPECT_EQ(value, GetSettingDword(name, 99)) << name;
}

TEST_F(PopupPageTest, ResetClearsTheSharedAndStoredCountAtOnce) {
  shared->SetTotalBlockedPopups(12);
  SetSettingDword("TotalBlockedPopups", 12);
  EXPECT_EQ("12", PopupPage::CountText(*shared));
  PopupPage::ResetCount(*shared);
  EXPECT_EQ(0u, shared->TotalBlockedPopups());
  EXPECT_EQ(0u, GetSettingDword("TotalBlockedPopups", 99));
  EXPECT_EQ("0", PopupPage::CountText(*shared));
}

// --- POP3 page

class Pop3PageTest : public OptionsFixture {
 protected:
  void WriteStored(unsigned n, const std::string& server, const std::string& user,
                   const std::string& password, const std::string& interval) {
    RegKey key = mail::OpenAccountsKey(true);
    mail::Pop3AccountSettings s;
    s.server = server;
    s.user = user;
    s.password = password;
    s.interval = interval;
    mail::WriteAccount(key, n, s);
  }
  void SetCount(uint32_t n) {
    RegKey key = mail::OpenAccountsKey(true);
    WriteKeyDword(key, mail::kAccountCountValue, n);
  }
};

TEST_F(Pop3PageTest, LoadingStopsAtTheFirstAccountMissingARequiredValue) {
  const char* required[] = {mail::kPasswordValue, mail::kUserValue, mail::kServerValue,
                            mail::kIntervalValue};
  for (const char* missing : required) {
    for (unsigned n = 1; n <= 3; ++n)
      WriteStored(n, std::string(1, 's') += std::to_string(n),
                  std::string(1, 'u') += std::to_string(n), "p", "5");
    SetCount(3);
    {
      RegKey key = mail::OpenAccountsKey(true);
      key.registry()->DeleteValue(key.get(), mail::AccountValueName(missing, 2));
    }
    Pop3Page page;
    page.LoadAccounts();
    ASSERT_EQ(1u, page.Count()) << missing;
    EXPECT_EQ("u1 at s1", page.ListLine(0));
  }
}

TEST_F(Pop3PageTest, OptionalValuesReadAsDefaultsAndAMissingAddressAsNone) {
  WriteStored(1, "pop.a.test", "ann", "secret", "15");
  SetCount(1);
  {
    RegKey key = mail::OpenAccountsKey(true);
    key.registry()->DeleteValue(key.get(), mail::AccountValueName(mail::kUseApopValue, 1));
    key.registry()->DeleteValue(key.get(), mail::AccountValueName(mail::kWebFrontValue, 1));
  }
  Pop3Page page;
  page.LoadAccounts();
  ASSERT_EQ(1u, page.Count());
  EXPECT_EQ("secret", page.Entry(0).password);  // unscrambled
  EXPECT_EQ("0", page.Entry(0).useSpa);
  EXPECT_EQ("", page.Entry(0).webFront);
  EXPECT_FALSE(Pop3Page::WebFrontShown(page.Entry(0)));
}

TEST_F(Pop3PageTest, AddNumbersNewServersAndRemoveKeepsAPlaceSelected) {
  Pop3Page page;
  EXPECT_EQ(0u, page.Add());
  EXPECT_EQ(1u, page.Add());
  EXPECT_EQ("new account at new server 1", page.ListLine(0));
  EXPECT_EQ("new account at new server 2", page.ListLine(1));
  EXPECT_EQ("10", page.Entry(1).interval);
  EXPECT_EQ("0", page.Entry(1).useSpa);
  EXPECT_EQ("", page.Entry(1).password);
  page.Add();
  EXPECT_EQ(1, page.Remove(1));  // the same position
  EXPECT_EQ("new account at new server 3", page.ListLine(1));
  EXPECT_EQ(0, page.Remove(1));  // the last line
  EXPECT_EQ(-1, page.Remove(0));
  EXPECT_TRUE(page.Modified());
}

TEST_F(Pop3PageTest, FieldsKeepEverythingTypedAndOnlyNamesChangeTheLine) {
  Pop3Page page;
  page.Add();
  const std::string longText(options::kAccountTextLimit, 'x');
  EXPECT_TRUE(page.SetField(0, AccountField::kServer, "pop." + longText.substr(4)));
  EXPECT_TRUE(page.SetField(0, AccountField::kAccount, "bob"));
  EXPECT_FALSE(page.SetField(0, AccountField::kPassword, longText));
  EXPECT_FALSE(page.SetField(0, AccountField::kWebFront, "http://mail.test/"));
  EXPECT_EQ(options::kAccountTextLimit, page.Entry(0).server.size());
  EXPECT_EQ(longText, page.Entry(0).password);

  page.SetAutoCheck(0, false);
  EXPECT_EQ("0", page.Entry(0).interval);
  EXPECT_FALSE(Pop3Page::AutoCheckShown(page.Entry(0)));
  page.SetAutoCheck(0, true);
  EXPECT_EQ("10", page.Entry(0).interval);
  page.SetWebFront(0, true);
  EXPECT_EQ("http://", page.Entry(0).webFront);
  page.SetWebFront(0, false);
  EXPECT_EQ("", page.Entry(0).webFront);
  page.SetUseSpa(0, true);
  EXPECT_EQ("1", page.Entry(0).useSpa);
}

TEST_F(Pop3PageTest, SaveReplacesTheSubkeyWithWholeScrambledPasswords) {
  WriteStored(1, "old", "old", "old", "1");
  SetCount(1);
  {
    RegKey key = mail::OpenAccountsKey(true);
    WriteKeyDword(key, "AccountBusy1", 1);
    WriteKeyDword(key, "LastCheckTime1", 1234);
  }
  Pop3Page page;
  page.LoadAccounts();
  page.Remove(0);
  page.Add();
  const std::string password(300, 'p');  // well past the old 99-character cut
  page.SetField(0, AccountField::kPassword, password);
  page.SetField(0, AccountField::kWebFront, "http://web.test/");
  page.SetUseSpa(0, true);
  page.Add();
  ASSERT_TRUE(page.SaveAccounts());

  RegKey key = mail::OpenAccountsKey(false);
  EXPECT_EQ(2u, mail::ReadAccountCount(key));
  uint32_t unused = 0;
  EXPECT_FALSE(TryReadKeyDword(key, "AccountBusy1", &unused)) << registry.ToText();
  EXPECT_FALSE(TryReadKeyDword(key, "LastCheckTime1", &unused));
  uint32_t size = 0;
  uint32_t type = 0;
  ASSERT_EQ(kErrorSuccess, registry.QueryValue(key.get(), "POP3Password1", &type, nullptr, &size));
  EXPECT_EQ(kRegBinary, type);
  EXPECT_EQ(300u, size);
  const mail::Pop3Account read = mail::ReadAccount(key, 1);
  EXPECT_EQ(password, read.password);
  EXPECT_TRUE(read.useApop);
  EXPECT_EQ("new server 1", read.server);
  EXPECT_EQ("http://web.test/", ReadKeyString(key, "WebFront1", "?"));
  EXPECT_EQ("new server 2", mail::ReadAccount(key, 2).server);

  // And the page reads back what it stored.
  Pop3Page again;
  again.LoadAccounts();
  ASSERT_EQ(2u, again.Count());
  EXPECT_EQ(password, again.Entry(0).password);
}

TEST_F(Pop3PageTest, SavingNoAccountsLeavesACountOfZero) {
  WriteStored(1, "s", "u", "p", "5");
  SetCount(1);
  Pop3Page page;
  ASSERT_TRUE(page.SaveAccounts());
  RegKey key = mail::OpenAccountsKey(false);
  uint32_t count = 99;
  ASSERT_TRUE(TryReadKeyDword(key, mail::kAccountCountValue, &count));
  EXPECT_EQ(0u, count);
  std::string text;
  EXPECT_FALSE(TryReadKeyString(key, "POP3Server1", &text));
}

// --- items page

constexpr char kItemsDefinition[] = R"(TBW_Toolbar {
  COMBO { name = "q" type = "edit" caption = "Search" width = "30" command = "go" }
  WEBPAGE { name = "weather" url = "http://w.test/" width = "120" }
  BUTTON { name = "home" caption = "Home" command = "go" }
  COMMANDS { GOTOURL { name = "go" url = "http://a.test/" } }
  SETTINGS {
    ITEMOPTIONS { id = "q" description = "Search box" toggle_visibility = "1" change_width = "1"
                  width_from = "10" width_to = "50" image = "1" }
    ITEMOPTIONS { id = "weather" description = "Weather" change_width = "1" width_from = "60"
                  width_to = "200" }
    ITEMOPTIONS { id = "home" description = "Home" toggle_visibility = "1" toggle_caption = "1" }
    ITEMOPTIONS { id = "gone" description = "No such item" change_width = "1" }
    CSPSETTING { id = "lang" description = "Language"
                 COMBOVALUE { caption = "English" value = "en" }
                 COMBOVALUE { caption = "Deutsch" value = "de" } }
    CSPSETTING { id = "zip" description = "Postcode" }
    CSPSETTING { id = "third" description = "Never shown" }
    PROPERTY { id = "CSPGroupCaption" value = "Mine" }
  }
})";

class ItemsPageTest : public OptionsFixture {
 protected:
  std::unique_ptr<tbdl::TBDLToolbar> model = LoadModel(kItemsDefinition);
};

TEST_F(ItemsPageTest, LinesComeFromTheEntriesAndTheStoredValues) {
  ASSERT_TRUE(model);
  SetSettingDword("ItemHidden_home", 1);
  SetSettingDword("ItemIconOnly_home", 1);
  SetSettingDword("ItemWidth_weather", 150);
  ItemsPage page(*model);
  page.Load();
  const auto& lines = page.Lines();
  ASSERT_EQ(4u, lines.size());
  EXPECT_TRUE(lines[0].HasCheckBox());
  EXPECT_TRUE(lines[0].visible);
  EXPECT_EQ(30, lines[0].width);  // no stored width: the item's own
  EXPECT_FALSE(lines[1].HasCheckBox());
  EXPECT_TRUE(lines[1].visible);
  EXPECT_EQ(150, lines[1].width);
  EXPECT_FALSE(lines[2].visible);
  EXPECT_TRUE(lines[2].iconOnly);
  EXPECT_EQ(-1, lines[3].width);  // no item of that name
  EXPECT_EQ("Mine", page.GroupCaption());
  ASSERT_EQ(2u, page.Fields().size());  // the third setting is not shown
  EXPECT_EQ("lang", page.Fields()[0].id);
  EXPECT_EQ(2u, page.Fields()[0].choices.size());
  EXPECT_TRUE(page.Fields()[1].choices.empty());
}

TEST_F(ItemsPageTest, OnlyChangedLinesAreStoredAndOnlyWhatTheyOffer) {
  SetSettingDword("ItemWidth_q", 20);
  ItemsPage page(*model);
  page.Load();
  page.SetVisible(0, false);
  page.SetVisible(1, false);  // no check box: nothing to change
  page.SetWidth(1, 90);
  page.Store();
  EXPECT_EQ(1u, GetSettingDword("ItemHidden_q", 99));
  EXPECT_EQ(20u, GetSettingDword("ItemWidth_q", 99));  // stored again as it was
  EXPECT_EQ(99u, GetSettingDword("ItemIconOnly_q", 99));
  EXPECT_EQ(99u, GetSettingDword("ItemHidden_weather", 99));
  EXPECT_EQ(90u, GetSettingDword("ItemWidth_weather", 99));
  EXPECT_EQ(99u, GetSettingDword("ItemHidden_home", 99));  // unchanged line
  // The personalization fields are stored whether or not they changed.
  EXPECT_EQ("", GetSettingString("CSP_lang", "?"));
  EXPECT_EQ("", GetSettingString("CSP_zip", "?"));
  EXPECT_EQ("?", GetSettingString("CSP_third", "?"));
}

TEST_F(ItemsPageTest, ChoicesSelectTheirValueAndAnUnknownValueIsKept) {
  SetSettingString("CSP_lang", "fr");
  ItemsPage page(*model);
  page.Load();
  EXPECT_EQ(-1, page.Fields()[0].SelectedChoice());
  page.Store();
  EXPECT_EQ("fr", GetSettingString("CSP_lang", "?"));
  page.SelectChoice(0, 1);
  page.SetFieldText(1, "12345");
  EXPECT_EQ(1, page.Fields()[0].SelectedChoice());
  page.Store();
  EXPECT_EQ("de", GetSettingString("CSP_lang", "?"));
  EXPECT_EQ("12345", GetSettingString("CSP_zip", "?"));
}

TEST_F(ItemsPageTest, ResetDeletesEveryPerItemValueAndKeepsTheRest) {
  const char* removed[] = {"ItemHidden_q", "ItemIconOnly_home", "ItemWidth_weather",
                           "ItemHidden_unknown", "ItemWidth_"};
  for (const char* name : removed) SetSettingDword(name, 1);
  SetSettingDword("EnablePopupBlocker", 1);
  SetSettingDword("Item_Hidden", 1);
  SetSettingString("CSP_zip", "stored");
  ItemsPage page(*model);
  page.Load();
  page.SetFieldText(1, "typed");
  page.ResetToDefaults();
  for (const char* name : removed) EXPECT_EQ(99u, GetSettingDword(name, 99)) << name;
  EXPECT_EQ(1u, GetSettingDword("EnablePopupBlocker", 99));
  EXPECT_EQ(1u, GetSettingDword("Item_Hidden", 99));
  EXPECT_EQ("stored", GetSettingString("CSP_zip", "?"));
  // The page shows the defaults; what was typed in a field stays.
  EXPECT_TRUE(page.Lines()[0].visible);
  EXPECT_EQ(120, page.Lines()[1].width);
  EXPECT_FALSE(page.Lines()[0].changed);
  EXPECT_EQ("typed", page.Fields()[1].value);
}

TEST_F(ItemsPageTest, WithoutSettingsThereAreNoLinesAndNoFields) {
  auto bare = LoadModel("TBW_Toolbar { BUTTON { name = \"b\" caption = \"B\" } }");
  ASSERT_TRUE(bare);
  ItemsPage page(*bare);
  page.Load();
  EXPECT_TRUE(page.Lines().empty());
  EXPECT_TRUE(page.Fields().empty());
  EXPECT_EQ("Personalization options", page.GroupCaption());
}

}  // namespace
}  // namespace qv::testing
