// The toolbars of several browser windows in one process, each on its own
// thread: loads, expansions and searches run at once and each window sees
// only its own definition, values and page.
#include <string>
#include <thread>
#include <vector>

#include "command_test_host.h"
#include "commands/expansion.h"

namespace qv::testing {
namespace {

std::string Definition(const std::string& item) {
  return "TBW_Toolbar {\n"
         "  BUTTON { name = \"go" +
         item +
         "\" caption = \"Go\" command = \"find\" MENU { MENUITEM { caption = \"a\" "
         "command = \"find\" } MENUSEPARATOR SUBMENU { caption = \"more\" MENUITEM { } } } }\n"
         "  COMBO { name = \"" +
         item +
         "\" command = \"find\" maxhistlines = \"3\" }\n"
         "  COMMANDS { GOTOURL { name = \"find\" url = \"x=%" +
         item + "&u=%url\" } }\n}\n";
}

// Loads a toolbar and expands its search again and again; the page address
// is empty for a window without a page.
void Window(const std::string& item, const std::string& page, int rounds,
            std::vector<std::string>* failures) {
  for (int round = 0; round < rounds; ++round) {
    TestToolbar bar(Definition(item), page.empty() ? "http://unused/" : page, "d");
    if (page.empty()) bar.browser.SetDocument(nullptr);
    if (bar.Model() == nullptr || bar.Model()->Items().size() != 2 ||
        bar.InputFields().size() != 1 || bar.InputFields()[0].name != item) {
      failures->push_back(item + ": wrong model in round " + std::to_string(round));
      continue;
    }
    const std::string value = item + " " + std::to_string(round);
    bar.Type(item, value);
    const std::string url =
        commands::ExpandCommandTemplates(bar, "x=%" + item + "&u=%url", "", "").url;
    const std::string address = page.empty() ? "%url" : commands::UrlEncode(page);
    const std::string expected = "x=" + item + "+" + std::to_string(round) + "&u=" + address;
    if (url != expected) failures->push_back(item + ": " + url + " instead of " + expected);
    if (commands::LastInputValue(item) != value)
      failures->push_back(item + ": remembered " + commands::LastInputValue(item));
    bar.Run("find");
  }
}

class ThreadsTest : public CommandTest {};

TEST_F(ThreadsTest, WindowsOnTheirOwnThreadsSeeOnlyTheirOwnState) {
  // A window of the main thread has shown a page before the others start.
  std::vector<std::string> mainFailures;
  Window("main", "http://main.example/", 1, &mainFailures);
  EXPECT_TRUE(mainFailures.empty()) << mainFailures.front();

  constexpr int kRounds = 150;
  std::vector<std::string> withPage, withoutPage;
  std::thread first(Window, "alpha", "http://alpha.example/a?b", kRounds, &withPage);
  std::thread second(Window, "beta", "", kRounds, &withoutPage);
  first.join();
  second.join();
  EXPECT_TRUE(withPage.empty()) << withPage.size() << " failures, first: " << withPage.front();
  EXPECT_TRUE(withoutPage.empty())
      << withoutPage.size() << " failures, first: " << withoutPage.front();
}

}  // namespace
}  // namespace qv::testing
