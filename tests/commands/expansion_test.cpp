#include <chrono>

#include "command_test_host.h"
#include "commands/expansion.h"
#include "commands/run_commands.h"
#include "platform/system.h"
#include "settings/settings.h"

namespace qv::testing {
namespace {

using commands::ExpandCommandTemplates;
using commands::UrlEncode;

const char kToolbar[] = R"(TBW_Toolbar {
  COMBO { name = "q" command = "find" maxhistlines = "5" }
  COMBO { name = "qq" type = "edit" }
  COMBO { name = "engine" COMBOVALUE { caption = "Web" value = "web" } COMBOVALUE { value = "news" } }
  COMMANDS { GOTOURL { name = "find" url = "http://s/?q=%q" } }
})";

class ExpansionTest : public CommandTest {
 protected:
  commands::ExpandedTemplates Expand(const std::string& url, const std::string& post = "",
                                     const std::string& param = "") {
    return ExpandCommandTemplates(bar, url, post, param);
  }
  TestToolbar bar{kToolbar};
};

TEST(UrlEncodeTest, KeepsOnlyLettersDigitsAndNinePunctuationCharacters) {
  EXPECT_EQ(UrlEncode("aZ09!$()*,-._"), "aZ09!$()*,-._");
  EXPECT_EQ(UrlEncode("a b/c:d~e"), "a%20b%2Fc%3Ad%7Ee");
  EXPECT_EQ(UrlEncode("%\"'+&=?#\n"), "%25%22%27%2B%26%3D%3F%23%0A");
  EXPECT_EQ(UrlEncode("\xE4\xFF"), "%E4%FF");
  EXPECT_EQ(UrlEncode(std::string("a\0b", 3)), "a%00b");
}

TEST_F(ExpansionTest, ItemMacrosJoinWordsWithPlusAndEncodedMacrosEncode) {
  bar.Type("q", "  two   words ");
  EXPECT_EQ(Expand("http://s/?q=%q").url, "http://s/?q=two+words");
  EXPECT_EQ(Expand("http://s/?q=%encode!q").url, "http://s/?q=%20%20two%20%20%20words%20");
  EXPECT_EQ(commands::LastInputValue("q"), "  two   words ");
}

TEST_F(ExpansionTest, ShorterNameIsReplacedInsideTheLongerMacro) {
  bar.Type("q", "a");
  bar.Type("qq", "b");
  // "%q" comes first in toolbar order, so "%qq" becomes "aq".
  EXPECT_EQ(Expand("x=%qq").url, "x=aq");
}

TEST_F(ExpansionTest, PostGetsMacroInFirstPassOrAfterTheUrl) {
  bar.Type("q", "v");
  auto onlyPost = Expand("POST!http://s/", "a=%q");
  EXPECT_EQ(onlyPost.url, "http://s/");
  EXPECT_EQ(onlyPost.post, "a=v");
  auto both = Expand("POST!http://s/?%q", "a=%q&b=%encode!q");
  EXPECT_EQ(both.url, "http://s/?v");
  EXPECT_EQ(both.post, "a=v&b=v");
}

TEST_F(ExpansionTest, BodyOnlyWithPostPrefixAtTheStart) {
  EXPECT_EQ(Expand("http://s/", "a=1").post, "");
  auto inner = Expand("http://s/POST!", "a=1");
  EXPECT_EQ(inner.url, "http://s/POST!");
  EXPECT_EQ(inner.post, "");
}

TEST_F(ExpansionTest, ChooserValueAndHistoryOnlyForEditableCombos) {
  bar.Type("q", "cats");
  bar.Type("qq", "dogs");
  bar.control.ComboSetCurSel(bar.Field("engine").window, 1);
  EXPECT_EQ(Expand("%q/%engine").url, "cats/news");
  EXPECT_EQ(bar.ListOf("q"), std::vector<std::string>{"cats"});
  EXPECT_TRUE(bar.ListOf("engine").size() == 2);
  // A macro the template does not use stores nothing.
  bar.Type("q", "birds");
  Expand("http://s/");
  EXPECT_EQ(bar.ListOf("q"), std::vector<std::string>{"cats"});
}

TEST_F(ExpansionTest, ClientSidePropertiesAreEncodedAndMalformedOnesStay) {
  SetSettingString("CSP_lang", "en gb");
  EXPECT_EQ(Expand("l=%csp(lang)&m=%csp(lang)&n=%csp(none)").url, "l=en%20gb&m=en%20gb&n=");
  EXPECT_EQ(Expand("a=%csp()&b=%csp(lang").url, "a=%csp()&b=%csp(lang");
  SetSettingString("CSP_self", "%csp(self)");
  EXPECT_EQ(Expand("%csp(self)").url, "%25csp(self)");
}

TEST_F(ExpansionTest, CmdparamBeforeAccountMacros) {
  EXPECT_EQ(Expand("u=%cmdparam").url, "u=%cmdparam");
  RegKey accounts = OpenProductSubkey("POP3 Accounts", true);
  WriteKeyString(accounts, "POP3Server2", "pop.two");
  WriteKeyString(accounts, "POP3Account2", "me");
  std::string scrambled = commands::ScramblePassword("QWsecret");  // first byte scrambles to 0
  registry.SetValue(accounts.get(), "POP3Password2", kRegBinary,
                    reinterpret_cast<const uint8_t*>(scrambled.data()),
                    static_cast<uint32_t>(scrambled.size()));
  auto result = Expand("POST!http://m/%cmdparam",
                       "s=%POP3Server(%cmdparam)&u=%POP3Account(%cmdparam)"
                       "&p=%POP3Password(%cmdparam)&x=%POP3Server(9)&y=%POP3Server(",
                       "2");
  EXPECT_EQ(result.url, "http://m/2");
  EXPECT_EQ(result.post, "s=pop.two&u=me&p=QWsecret&x=&y=%POP3Server(");
}

TEST_F(ExpansionTest, PageMacrosWithAndWithoutDocument) {
  bar.CurrentPageAddress().clear();
  bar.browser.SetDocument(nullptr);
  EXPECT_EQ(Expand("%url|%domain|%curl|%cdomain").url, "%url|%domain|%curl|%cdomain");
  bar.browser.SetDocument(bar.page);
  EXPECT_EQ(Expand("%url|%domain|%curl|%cdomain").url,
            "http%3A%2F%2Fwww.example.org%2Fa%20b%3Fx%3D1|www.example.org|"
            "http%3A%2F%2Fwww.example.org%2Fa%20b%3Fx%3D1|www.example.org");
  // Without a document the remembered address stays in use.
  bar.browser.SetDocument(nullptr);
  EXPECT_EQ(Expand("%url %domain").url, "http%3A%2F%2Fwww.example.org%2Fa%20b%3Fx%3D1 %domain");
  // An address that cannot be read leaves the remembered one.
  auto other = std::make_shared<MemoryDocument>("http://other/", "other");
  other->SetUrlReadable(false);
  bar.browser.SetDocument(other);
  EXPECT_EQ(Expand("%url %domain").url, "http%3A%2F%2Fwww.example.org%2Fa%20b%3Fx%3D1 other");
}

class ColourSystem : public System {
 public:
  std::string GetModulePath() override { return ""; }
  uint32_t GetSystemColor(int index) override { return index == kColorBtnFace ? 0x00112233u : 0; }
};

TEST_F(ExpansionTest, ButtonFaceColourAsRedGreenBlue) {
  ColourSystem system;
  ScopedService<System> useSystem(&PlatformServices::system, &system);
  EXPECT_EQ(Expand("POST!c=%bgcolor&d=%bgcolor", "%bgcolor").url, "c=332211&d=332211");
  EXPECT_EQ(Expand("POST!c", "%bgcolor").post, "332211");
}

TEST_F(ExpansionTest, RandomDigitCounts) {
  auto digits = [this](const std::string& tpl) {
    std::string url = Expand(tpl).url;
    EXPECT_EQ(url.find_first_not_of("0123456789abcdef"), std::string::npos) << url;
    return url.size();
  };
  EXPECT_EQ(digits("%rndhex8%"), 8u);
  EXPECT_EQ(digits("%rndhex99%"), 50u);
  EXPECT_EQ(digits("%rndhex-3%"), 50u);
  EXPECT_EQ(digits("%rndhex99999999999999999999%"), 50u);
  EXPECT_EQ(Expand("%rndhex0%").url, "%rndhex0%");
  EXPECT_EQ(Expand("%rndhex%").url, "%rndhex%");
  EXPECT_EQ(Expand("a%rndhex8").url, "a%rndhex8");
  // Every occurrence of the first macro gets the same digits, in the body too.
  auto same = Expand("POST!%rndhex4%-%rndhex4%", "%rndhex4%");
  EXPECT_EQ(same.url.substr(0, 4), same.url.substr(5, 4));
  EXPECT_EQ(same.post, same.url.substr(0, 4));
}

TEST_F(ExpansionTest, TypedMacrosPercentsAndHugeValuesTerminate) {
  bar.Type("q", "%q %encode!q %url %cmdparam %csp(x) %rndhex5% 50%");
  auto result = Expand("q=%q&e=%encode!q", "", "%cmdparam");
  EXPECT_EQ(result.url.substr(0, 4), "q=%q");
  EXPECT_NE(result.url.find("&e=%25q%20%25encode!q"), std::string::npos) << result.url;

  std::string huge(100000, 'x');
  huge[500] = ' ';
  huge[501] = '\xE9';
  bar.Type("q", huge);
  auto start = std::chrono::steady_clock::now();
  result = Expand("%q|%encode!q");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  // The field gives at most 1023 characters.
  std::string kept = huge.substr(0, 1023);
  EXPECT_EQ(result.url, std::string(500, 'x') + "+\xE9" + kept.substr(502) + "|" + UrlEncode(kept));
}

TEST_F(ExpansionTest, ValuesFullOfMacrosCannotGrowTheTextWithoutBound) {
  // Each value holds hundreds of the next item's macro, and every pass
  // multiplies the text: it would need gigabytes.
  TestToolbar chain(R"(TBW_Toolbar {
    COMBO { name = "m1" type = "edit" } COMBO { name = "m2" type = "edit" }
    COMBO { name = "m3" type = "edit" } })");
  std::string m1, m2, m3;
  for (int i = 0; i < 341; ++i) m1 += "%m2", m2 += "%m3", m3 += "%m1";
  chain.Type("m1", m1);
  chain.Type("m2", m2);
  chain.Type("m3", m3);
  auto start = std::chrono::steady_clock::now();
  auto result = ExpandCommandTemplates(chain, "%m1%m1%m1%m1", "", "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_LE(result.url.size(), 4u << 20);
  EXPECT_NE(result.url.find("%m"), std::string::npos);
  for (const char* name : {"m1", "m2", "m3"}) commands::RememberInputValue(name, "");

  // A settings value too long to insert leaves its macro.
  SetSettingString("CSP_x", std::string(2 << 20, 'v'));
  EXPECT_EQ(Expand("%csp(x)").url, "%csp(x)");
  SetSettingString("CSP_x", "short");
  EXPECT_EQ(Expand("%csp(x)").url, "short");
}

TEST_F(ExpansionTest, WebPageAddress) {
  std::string last, url;
  EXPECT_TRUE(commands::ExpandWebPageUrl("p?d=%newdomain&u=%url&u2=%url&c=%csp(k)&c2=%csp(k)", true,
                                         "w", bar.page.get(), &last, &url));
  EXPECT_EQ(url,
            "p?d=www.example.org&u=http%3A%2F%2Fwww.example.org%2Fa%20b%3Fx%3D1&u2=%url&c=&c2=");
  EXPECT_EQ(last, "www.example.org");
  EXPECT_FALSE(
      commands::ExpandWebPageUrl("p?d=%newdomain", true, "w", bar.page.get(), &last, &url));

  SetSettingString("CSP_k", "a b%csp(k)");
  SetSettingString(commands::BrowserButtonSettingName("w"), "stored?%csp(k)");
  EXPECT_TRUE(commands::ExpandWebPageUrl("own", false, "w", nullptr, &last, &url));
  EXPECT_EQ(url, "stored?a b%csp(k)");
  EXPECT_TRUE(commands::ExpandWebPageUrl("own %domain", true, "w", nullptr, &last, &url));
  EXPECT_EQ(url, "own %domain");
}

}  // namespace
}  // namespace qv::testing
