#include "command_test_host.h"
#include "commands/expansion.h"
#include "commands/history.h"
#include "settings/settings.h"

namespace qv::testing {
namespace {

using Entries = std::vector<std::string>;

const char kToolbar[] = R"(TBW_Toolbar {
  COMBO { name = "h" maxhistlines = "3" command = "web" caption = "Type here" }
  COMBO { name = "pick" command = "search"
          COMBOVALUE { caption = "Web" value = "web" } COMBOVALUE { value = "img" }
          COMBOVALUE { caption = "News" value = "news" } }
  COMBO { name = "e" type = "edit" command = "img" }
  BUTTON { name = "b" command = "search" }
  COMBO { name = "h2" command = "img" }
  COMMANDS {
    GOTOURL { name = "web" url = "http://web/?%h" }
    GOTOURL { name = "img" url = "http://img/?%e" }
    SERVICECOMMAND { name = "search" type = "Search" }
  }
})";

class HistoryTest : public CommandTest {
 protected:
  void Store(const std::string& value) { commands::StoreValue(bar, bar.Field("h"), value); }
  std::string LastUrl() {
    auto calls = bar.Navigations();
    return calls.empty() ? "" : *calls.back().Arg("url");
  }
  TestToolbar bar{kToolbar};
};

TEST_F(HistoryTest, MostRecentFirstWithLimitAndCaseReplacement) {
  for (const char* v : {"one", "two", "three"}) Store(v);
  EXPECT_EQ(bar.ListOf("h"), (Entries{"three", "two", "one"}));
  Store("TWO");
  EXPECT_EQ(bar.ListOf("h"), (Entries{"TWO", "three", "one"}));
  Store("four");
  EXPECT_EQ(bar.ListOf("h"), (Entries{"four", "TWO", "three"}));
  Store("   ");
  Store("");
  EXPECT_EQ(commands::ReadHistory("h"), (Entries{"four", "TWO", "three"}));
  EXPECT_EQ(bar.control.GetChildText(bar.Field("h").window), "four");

  SetSettingFlag("StoreValueHistory", false);
  Store("five");
  EXPECT_EQ(bar.ListOf("h").size(), 3u);
}

TEST_F(HistoryTest, ReadingEndsWhenTheKeyIsDeletedMeanwhile) {
  // Another window rewrites the history (deletes the key) after the first
  // entry was read: every later index reports the deleted key.
  class DeletingRegistry : public MemoryRegistry {
   public:
    RegStatus EnumValue(RegHandle key, uint32_t index, char* name, uint32_t* nameChars,
                        uint32_t* type, uint8_t* data, uint32_t* size) override {
      // Ends the reading of a faulty reader that would go on for ever.
      if (++calls > 100) return kErrorNoMoreItems;
      if (index == 1) {
        RegKey product = OpenProductKey();
        DeleteTree(product.get(), "Historyh");
      }
      return MemoryRegistry::EnumValue(key, index, name, nameChars, type, data, size);
    }
    int calls = 0;
  } deleting;
  ScopedService<Registry> scoped(&PlatformServices::registry, &deleting);
  RegKey history = OpenProductSubkey("Historyh", true);
  for (const char* entry : {"one", "two", "three"}) WriteKeyDword(history, entry, 1);
  history.Close();
  EXPECT_EQ(commands::ReadHistory("h"), Entries{"one"});
  EXPECT_LE(deleting.calls, 2);
}

TEST_F(HistoryTest, ChoosersAndEditFieldsKeepNoHistory) {
  commands::StoreValue(bar, bar.Field("pick"), "x");
  commands::StoreValue(bar, bar.Field("e"), "x");
  EXPECT_EQ(bar.ListOf("pick"), (Entries{"Web", "img", "News"}));
  EXPECT_TRUE(commands::ReadHistory("e").empty());
}

TEST_F(HistoryTest, NewToolbarLoadsHistoryAndLastValues) {
  Store("old");
  Store("new");
  commands::RememberInputValue("h2", "");
  TestToolbar second{kToolbar};
  EXPECT_EQ(second.ListOf("h"), (Entries{"new", "old"}));
  EXPECT_EQ(second.control.GetChildText(second.Field("h2").window), "");
  commands::RememberInputValue("h", "");
  TestToolbar third{kToolbar};
  EXPECT_EQ(third.control.GetChildText(third.Field("h").window), "Type here");
}

TEST_F(HistoryTest, LongEntriesAreReadBackWhole) {
  std::string longValue(300, 'y');
  std::string huge(100000, 'z');
  Store(longValue);
  bar.Type("h", huge);
  commands::RunComboSearch(bar, bar.Field("h"));
  TestToolbar next{kToolbar};
  EXPECT_EQ(next.ListOf("h"), (Entries{std::string(1023, 'z'), longValue}));
}

TEST_F(HistoryTest, ChooserChoiceSetsLastSearchWithAndSearchRunsThatItem) {
  WindowId pick = bar.Field("pick").window;
  bar.control.ComboSetCurSel(pick, 2);
  commands::OnListChoice(bar, bar.Field("pick"));
  EXPECT_EQ(GetSettingString("LastSearchWith", ""), "2");
  EXPECT_TRUE(bar.Navigations().empty());
  EXPECT_EQ(commands::GetValue(bar.Field("pick")), "news");

  // Search items in toolbar order: h (web), e (img), h2 (img).
  bar.Type("h", "a");
  bar.Type("e", "b");
  bar.Run("search");
  EXPECT_EQ(LastUrl(), "http://img/?b");  // the third search item
  SetSettingString("LastSearchWith", "1");
  bar.Run("search");
  EXPECT_EQ(LastUrl(), "http://img/?b");
  SetSettingString("LastSearchWith", "0");
  bar.Run("search");
  EXPECT_EQ(LastUrl(), "http://web/?a");
  size_t before = bar.Navigations().size();
  SetSettingString("LastSearchWith", "3");
  bar.Run("search");
  SetSettingString("LastSearchWith", "");
  bar.Run("search");
  EXPECT_EQ(bar.Navigations().size(), before);

  SetSettingString("LastSearchWith", "12");
  TestToolbar next{kToolbar};
  EXPECT_EQ(next.control.ComboGetCurSel(next.Field("pick").window), 1);
}

TEST_F(HistoryTest, ComboSearchRunsItsCommandThenStores) {
  bar.Type("h", "x y");
  commands::RunComboSearch(bar, bar.Field("h"));
  EXPECT_EQ(LastUrl(), "http://web/?x+y");
  EXPECT_EQ(bar.ListOf("h"), (Entries{"x y"}));

  Store("z");
  WindowId h = bar.Field("h").window;
  bar.control.ComboSetCurSel(h, 1);
  bar.control.SetChildText(h, "stale");
  commands::OnListChoice(bar, bar.Field("h"));
  EXPECT_EQ(LastUrl(), "http://web/?x+y");
  EXPECT_EQ(bar.ListOf("h"), (Entries{"x y", "z"}));

  SetSettingFlag("ActivateSearchOnComboSelection", false);
  size_t before = bar.Navigations().size();
  bar.control.ComboSetCurSel(h, 1);
  commands::OnListChoice(bar, bar.Field("h"));
  EXPECT_EQ(bar.Navigations().size(), before);
  EXPECT_EQ(bar.control.GetChildText(h), "z");
}

TEST_F(HistoryTest, SearchThatRebuildsTheToolbarStillStoresTheTypedValue) {
  // "Update" replaces every input field while the search still runs.
  TestToolbar updating{R"(TBW_Toolbar {
    COMBO { name = "first" caption = "First" }
    COMBO { name = "u" command = "update" caption = "Type here" }
    COMMANDS { SERVICECOMMAND { name = "update" type = "Update" } }
  })"};
  WindowId before = updating.Field("u").window;
  updating.Type("u", "x y");
  commands::RunComboSearch(updating, updating.Field("u"));
  ASSERT_EQ(updating.services.calls, std::vector<std::string>{"rebuild"});
  ASSERT_NE(updating.Field("u").window, before);
  EXPECT_EQ(commands::ReadHistory("u"), (Entries{"x y"}));
  EXPECT_EQ(updating.ListOf("u"), (Entries{"x y"}));
  EXPECT_TRUE(commands::ReadHistory("first").empty());
}

TEST_F(HistoryTest, AutocompleteSelectsTheCompletedPart) {
  Store("word");
  WindowId h = bar.Field("h").window;
  auto typeInto = [&](const std::string& text, bool typed) {
    bar.control.SetChildText(h, text);  // caret after the text
    commands::OnEditUpdate(bar, bar.Field("h"), typed);
    int start = -1, end = -1;
    bar.control.GetEditSelection(h, &start, &end);
    return std::make_tuple(bar.control.GetChildText(h), start, end);
  };
  EXPECT_EQ(typeInto("wo", true), std::make_tuple(std::string("word"), 2, 4));
  // Backspace removes the selected letters without completing again.
  EXPECT_EQ(typeInto("wo", false), std::make_tuple(std::string("wo"), 2, 2));
  EXPECT_EQ(typeInto("WO", true), std::make_tuple(std::string("word"), 2, 4));
  EXPECT_EQ(typeInto("wx", true), std::make_tuple(std::string("wx"), 2, 2));
  // A caret inside the typed text keeps its place.
  bar.control.SetChildText(h, "wor");
  bar.control.SetEditSelection(h, 1, 1);
  commands::OnEditUpdate(bar, bar.Field("h"), true);
  int start = -1, end = -1;
  bar.control.GetEditSelection(h, &start, &end);
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(1, 1));

  SetSettingFlag("UseAutoComplete", false);
  EXPECT_EQ(typeInto("wo", true), std::make_tuple(std::string("wo"), 2, 2));
}

}  // namespace
}  // namespace qv::testing
