#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mail/accounts.h"
#include "options/options_sheet.h"
#include "options_test_support.h"
#include "settings/settings.h"

namespace qv::testing {
namespace {

using options::OptionsResult;
using options::OptionsSheet;

std::string Definition(bool items, bool popup, bool pop3) {
  auto prop = [](const char* id, bool on) {
    return std::string("PROPERTY { id = \"") + id + "\" value = \"" + (on ? "1" : "0") + "\" }\n";
  };
  return "TBW_Toolbar {\n BUTTON { name = \"b\" caption = \"B\" }\n SETTINGS {\n"
         " ITEMOPTIONS { id = \"b\" description = \"B\" toggle_visibility = \"1\" }\n" +
         prop("ItemOptionsPageVisible", items) + prop("PopupBlockerOptionsPageVisible", popup) +
         prop("POP3OptionsPageVisible", pop3) + " }\n}\n";
}

// Plays the user: runs the given work on the pages and answers OK or
// Cancel.
class ScriptedUi : public options::OptionsUi {
 public:
  bool RunSheet(OptionsSheet& sheet) override {
    ++runs;
    pages = sheet.pages;
    startPage = sheet.startPage;
    if (work) work(sheet);
    return ok;
  }
  std::function<void(OptionsSheet&)> work;
  bool ok = true;
  int runs = 0;
  std::vector<options::OptionsPageIndex> pages;
  int startPage = -1;
};

class SheetTest : public OptionsFixture {
 protected:
  OptionsResult Show(const std::string& definition, int page) {
    model = LoadModel(definition);
    options::OptionsContext context;
    context.model = model.get();
    context.blocker = shared.get();
    context.ui = &ui;
    context.optionsMutexName = sheetMutexName;
    context.sharedDataMutexName = dataMutexName;
    context.updateItems = [this] { ++updates; };
    context.clearStatusText = [this] { ++statusCleared; };
    return options::ShowOptions(context, page);
  }
  std::unique_ptr<tbdl::TBDLToolbar> model;
  ScriptedUi ui;
  int updates = 0;
  int statusCleared = 0;
};

TEST_F(SheetTest, TheDefinitionChoosesThePagesAndTheStartAmongThem) {
  using P = options::OptionsPageIndex;
  struct Case {
    bool items, popup, pop3;
    int page;
    std::vector<P> shown;  // empty: nothing shown
    int start;
  };
  const Case cases[] = {
      {true, true, true, 0, {P::kItemsPage, P::kPopupPage, P::kPop3Page}, 0},
      {true, true, true, 2, {P::kItemsPage, P::kPopupPage, P::kPop3Page}, 2},
      {false, true, true, 1, {P::kPopupPage, P::kPop3Page}, 0},
      {false, false, true, 2, {P::kPop3Page}, 0},
      {false, false, true, 0, {}, 0},  // OptionsPage with only the POP3 page
      {true, true, false, 2, {}, 0},   // ConfigurePOP3 without its page
      {true, false, true, 1, {}, 0},
  };
  for (const Case& c : cases) {
    ui = ScriptedUi();
    ui.ok = false;
    const OptionsResult result = Show(Definition(c.items, c.popup, c.pop3), c.page);
    if (c.shown.empty()) {
      EXPECT_EQ(OptionsResult::kPageNotOffered, result);
      EXPECT_EQ(0, ui.runs);
    } else {
      EXPECT_EQ(OptionsResult::kCancelled, result);
      EXPECT_EQ(c.shown, ui.pages);
      EXPECT_EQ(c.start, ui.startPage);
    }
  }
  EXPECT_TRUE(messages.messages().empty());
  // Nothing shown leaves both mutexes free: the next sheet opens.
  EXPECT_EQ(OptionsResult::kStored, [&] {
    ui = ScriptedUi();
    return Show(Definition(true, true, true), 0);
  }());
}

TEST_F(SheetTest, OkStoresEveryPageAndCancelOnlyTheImmediateReset) {
  shared->SetTotalBlockedPopups(5);
  SetSettingDword("TotalBlockedPopups", 5);
  {
    RegKey key = mail::OpenAccountsKey(true);
    WriteKeyDword(key, "LastCheckTime1", 77);
  }
  ui.ok = false;
  ui.work = [](OptionsSheet& sheet) {
    options::PopupPage::ResetCount(*sheet.blocker);
    sheet.popup->SetBlock(true);
    sheet.pop3->Add();
    sheet.items->SetVisible(0, false);
  };
  EXPECT_EQ(OptionsResult::kCancelled, Show(Definition(true, true, true), 1));
  EXPECT_EQ(0u, shared->TotalBlockedPopups());
  EXPECT_EQ(0u, GetSettingDword("TotalBlockedPopups", 99));
  EXPECT_EQ(0u, shared->GetBlockerSettings().enablePopupBlocker);
  EXPECT_EQ(99u, GetSettingDword("ItemHidden_b", 99));
  EXPECT_EQ(77u, ReadKeyDword(mail::OpenAccountsKey(false), "LastCheckTime1", 0));
  EXPECT_EQ(0, updates);
  EXPECT_EQ(1, statusCleared);

  ui.ok = true;
  EXPECT_EQ(OptionsResult::kStored, Show(Definition(true, true, true), 1));
  EXPECT_EQ(1u, shared->GetBlockerSettings().enablePopupBlocker);
  EXPECT_EQ(1u, GetSettingDword("EnablePopupBlocker", 99));
  EXPECT_EQ(1u, GetSettingDword("ItemHidden_b", 99));
  RegKey key = mail::OpenAccountsKey(false);
  EXPECT_EQ(1u, mail::ReadAccountCount(key));
  EXPECT_EQ(0u, ReadKeyDword(key, "LastCheckTime1", 0));  // the subkey was replaced
  EXPECT_EQ(1, updates);
  EXPECT_EQ(2, statusCleared);
}

TEST_F(SheetTest, AccountsAreSavedOnEveryOkEvenWithoutTheirPage) {
  {
    RegKey key = mail::OpenAccountsKey(true);
    mail::WriteAccount(key, 1, {"s", "u", "p", "5", false, ""});
    WriteKeyDword(key, mail::kAccountCountValue, 1);
    WriteKeyDword(key, "AccountBusy1", 1);  // left by a check that never ended
  }
  EXPECT_EQ(OptionsResult::kStored, Show(Definition(true, false, false), 0));
  RegKey key = mail::OpenAccountsKey(false);
  EXPECT_EQ(1u, mail::ReadAccountCount(key));
  EXPECT_EQ("s", mail::ReadAccount(key, 1).server);
  EXPECT_EQ(99u, ReadKeyDword(key, "AccountBusy1", 99));
}

TEST_F(SheetTest, ASecondSheetIsRefusedWithItsMessage) {
  // From inside a running sheet (the same thread)...
  OptionsResult inner = OptionsResult::kStored;
  ui.work = [&](OptionsSheet&) {
    options::OptionsContext context;
    context.model = model.get();
    context.ui = &ui;
    context.optionsMutexName = sheetMutexName;
    context.sharedDataMutexName = dataMutexName;
    inner = options::ShowOptions(context, 0);
  };
  EXPECT_EQ(OptionsResult::kStored, Show(Definition(true, true, true), 0));
  EXPECT_EQ(OptionsResult::kOpenElsewhere, inner);
  // ...and while another holds the options mutex.
  ui.work = nullptr;
  MutexHolder other(sheetMutexName);
  ASSERT_TRUE(other.held);
  EXPECT_EQ(OptionsResult::kOpenElsewhere, Show(Definition(true, true, true), 0));
  ASSERT_EQ(2u, messages.count());
  for (const RecordedMessage& m : messages.messages()) {
    EXPECT_EQ("Another toolbar instance has already invoked options dialog", m.text);
    EXPECT_EQ("quorvane", m.caption);
  }
  EXPECT_EQ(1, ui.runs);
}

TEST_F(SheetTest, BusySharedDataRefusesToOpenAndThenReleasesTheSheet) {
  {
    MutexHolder busy(dataMutexName);
    ASSERT_TRUE(busy.held);
    EXPECT_EQ(OptionsResult::kSharedDataBusy, Show(Definition(true, true, true), 0));
  }
  ASSERT_EQ(1u, messages.count());
  EXPECT_EQ("quorvane is performing operations please try again", messages.messages()[0].text);
  EXPECT_EQ(0, ui.runs);
  EXPECT_EQ(OptionsResult::kStored, Show(Definition(true, true, true), 0));
}

TEST_F(SheetTest, OkWithTheSharedDataBusyStoresNothingAndSaysSo) {
  std::unique_ptr<MutexHolder> busy;
  ui.work = [&](OptionsSheet& sheet) {
    sheet.popup->SetBlock(true);
    busy = std::make_unique<MutexHolder>(dataMutexName);
  };
  EXPECT_EQ(OptionsResult::kNotStored, Show(Definition(true, true, true), 1));
  ASSERT_TRUE(busy && busy->held);
  EXPECT_EQ(0u, shared->GetBlockerSettings().enablePopupBlocker);
  EXPECT_EQ(99u, GetSettingDword("EnablePopupBlocker", 99));
  ASSERT_EQ(1u, messages.count());
  EXPECT_EQ(options::NotStoredText(), messages.messages()[0].text);
  EXPECT_EQ(0, updates);
}

}  // namespace
}  // namespace qv::testing
