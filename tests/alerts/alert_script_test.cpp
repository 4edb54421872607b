#include "alerts/alert_script.h"

#include <gtest/gtest.h>

#include "alerts/alert_test_print.h"

#include <climits>
#include <map>
#include <string>

namespace qv::alerts {
namespace {

TEST(AlertNumber, ReadsAsAtoiWithoutOverflow) {
  const struct {
    const char* text;
    int value;
  } cases[] = {
      {"300", 300},
      {"12px", 12},
      {" \t-7", -7},
      {"+5", 5},
      {"abc", 0},
      {"", 0},
      {"- 5", 0},
      {"0x10", 0},
      {"2147483647", INT_MAX},
      {"99999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-99999999999999999999", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(AlertNumber(c.text), c.value) << c.text;
}

PropertyReader Properties(std::map<std::string, std::string> values) {
  return [values](std::string_view id, std::string_view def) {
    auto it = values.find(std::string(id));
    return it == values.end() ? std::string(def) : it->second;
  };
}

TEST(DefinitionParameters, DefaultsAndValues) {
  EXPECT_EQ(DefinitionParameters(Properties({})), AlertParameters{});
  const AlertParameters p = DefinitionParameters(Properties({{"AlertWindowDefaultWidth", "240"},
                                                             {"AlertWindowDefaultHeight", "120"},
                                                             {"AlertWindowHideMode", "1"},
                                                             {"AlertWindowShowTime", "400"},
                                                             {"AlertWindowHideTime", "300"},
                                                             {"AlertWindowWaitTime", "5000"}}));
  EXPECT_EQ(p, (AlertParameters{240, 120, "", 400, 300, true, 5000}));
  // Only "1" hides automatically.
  EXPECT_FALSE(DefinitionParameters(Properties({{"AlertWindowHideMode", "2"}})).hideAutomatically);
  EXPECT_FALSE(DefinitionParameters(Properties({{"AlertWindowHideMode", " 1"}})).hideAutomatically);
}

TEST(AlertScript, Cases) {
  const AlertParameters base{10, 20, "", 1, 2, true, 3};
  const struct {
    const char* name;
    std::string text;
    bool isScript;
    AlertParameters expected;
  } cases[] = {
      {"every line",
       "ShowDesktopAlert=1\nURL=http://a.example/x\nWidth=300\nHeight=200\nShowAnimTime=500\n"
       "HideAnimTime=250\nAutoHideDelay=4000\nHideAutomaticaly=0\n",
       true, AlertParameters{300, 200, "http://a.example/x", 500, 250, false, 4000}},
      {"only the magic", "ShowDesktopAlert=1", true, base},
      {"leading space", " ShowDesktopAlert=1\nWidth=5", false, base},
      {"leading blank line", "\nShowDesktopAlert=1\nWidth=5", false, base},
      {"magic in other case", "showdesktopalert=1\nWidth=5", false, base},
      {"magic off", "ShowDesktopAlert=0\nWidth=5", false, base},
      {"empty text", "", false, base},
      {"CR, LF, CRLF and empty lines", "ShowDesktopAlert=1\r\rWidth=5\r\n\r\nHeight=6\n\nURL=u",
       true, AlertParameters{5, 6, "u", 1, 2, true, 3}},
      {"later lines override", "ShowDesktopAlert=1\nWidth=5\nWidth=7\nURL=a\nURL=", true,
       AlertParameters{7, 20, "", 1, 2, true, 3}},
      {"names are exact", "ShowDesktopAlert=1\nwidth=5\nWidth =6\n Width=7\nHideAutomatically=0",
       true, base},
      {"no equals sign, unknown names", "ShowDesktopAlert=1\nWidth\nColour=red\n=9", true, base},
      {"value keeps later equals signs", "ShowDesktopAlert=1\nURL=http://h/?a=b&c=d ", true,
       AlertParameters{10, 20, "http://h/?a=b&c=d ", 1, 2, true, 3}},
      {"numbers as atoi", "ShowDesktopAlert=1\nWidth=12px\nHeight=abc\nShowAnimTime=-4", true,
       AlertParameters{12, 0, "", -4, 2, true, 3}},
      {"hide flag is any non-zero number",
       "ShowDesktopAlert=1\nHideAutomaticaly=0\n"
       "HideAutomaticaly=7",
       true, base},
      {"first line may carry more", "ShowDesktopAlert=1Width=5\nHeight=1", true,
       AlertParameters{10, 1, "", 1, 2, true, 3}},
      {"embedded NUL stays in the value", std::string("ShowDesktopAlert=1\nURL=http://a\0b\n", 34),
       true, AlertParameters{10, 20, std::string("http://a\0b", 10), 1, 2, true, 3}},
  };
  for (const auto& c : cases) {
    AlertParameters p = base;
    EXPECT_EQ(ApplyAlertScript(c.text, &p), c.isScript) << c.name;
    EXPECT_EQ(p, c.expected) << c.name;
  }
}

TEST(AlertScript, HideAutomaticalyZeroOverridesTheDefinition) {
  AlertParameters p = DefinitionParameters(Properties({{"AlertWindowHideMode", "1"}}));
  ASSERT_TRUE(p.hideAutomatically);
  ASSERT_TRUE(ApplyAlertScript("ShowDesktopAlert=1\nURL=http://x/\nHideAutomaticaly=0", &p));
  EXPECT_FALSE(p.hideAutomatically);
}

TEST(AlertUrl, OnlyWebPagesAreShown) {
  const struct {
    const char* url;
    bool shown;
  } cases[] = {
      {"http://www.example.com/alert.html", true},
      {"HTTPS://www.example.com/", true},
      {"hTTp://127.0.0.1:8080/a", true},
      {"file:///C:/Windows/win.ini", false},
      {"javascript:alert(1)", false},
      {"res://ieframe.dll/navcancl.htm", false},
      {"about:blank", false},
      {"mailto:a@b", false},
      {"http:relative", false},
      {"http://", false},
      {"//www.example.com/", false},
      {"www.example.com", false},
      {" http://www.example.com/", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsShowableAlertUrl(c.url), c.shown) << c.url;
}

}  // namespace
}  // namespace qv::alerts
