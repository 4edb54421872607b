#include <gtest/gtest.h>

#include <climits>

#include "recorded_messages.h"
#include "support/tree_builder.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/toolbar.h"

namespace qv::tbdl {
namespace {

using K = Keyword;
using test::Props;
using test::RecordedMessages;
using test::ShownMessage;
using test::TreeBuilder;

TEST(ValueRules, TextPropertiesInterpretBackslashSequences) {
  EXPECT_EQ(InterpretTextValue(R"(dir\\file)"), R"(dir\file)");
  EXPECT_EQ(InterpretTextValue(R"(a\tb)"), "atb");
  EXPECT_EQ(InterpretTextValue(R"(one\ntwo)"), "one\ntwo");
  EXPECT_EQ(InterpretTextValue(R"(say \"hi\")"), "say \"hi\"");
  EXPECT_EQ(InterpretTextValue(R"(\\n)"), R"(\n)");  // left to right: \\ first
  EXPECT_EQ(InterpretTextValue(R"(end\)"), R"(end\)");
  EXPECT_EQ(InterpretTextValue(R"(\)"), R"(\)");
  EXPECT_EQ(InterpretTextValue(""), "");
}

TEST(ValueRules, IntegerPropertiesReadLikeAtoi) {
  EXPECT_EQ(ParseIntValue("12px"), 12);
  EXPECT_EQ(ParseIntValue("px"), 0);
  EXPECT_EQ(ParseIntValue("-5"), -5);
  EXPECT_EQ(ParseIntValue(" +7"), 7);
  EXPECT_EQ(ParseIntValue("\t\n 42"), 42);
  EXPECT_EQ(ParseIntValue("+-3"), 0);
  EXPECT_EQ(ParseIntValue("- 3"), 0);
  EXPECT_EQ(ParseIntValue(""), 0);
  EXPECT_EQ(ParseIntValue("007"), 7);
  EXPECT_EQ(ParseIntValue("\\1"), 0);  // integer values are not unescaped
}

TEST(ValueRules, OutOfRangeIntegersClamp) {
  EXPECT_EQ(ParseIntValue("2147483647"), INT32_MAX);
  EXPECT_EQ(ParseIntValue("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseIntValue("2147483648"), INT32_MAX);
  EXPECT_EQ(ParseIntValue("-2147483649"), INT32_MIN);
  EXPECT_EQ(ParseIntValue(std::string(5000, '9')), INT32_MAX);
  EXPECT_EQ(ParseIntValue("-" + std::string(5000, '9') + "x"), INT32_MIN);
}

// Loads root into a fresh model.
std::unique_ptr<TBDLToolbar> LoadTree(std::unique_ptr<TBDLNode> root) {
  auto model = std::make_unique<TBDLToolbar>();
  model->Load(*root);
  return model;
}

TEST(Toolbar, HeaderImagesAndInvalidHeaderProperties) {
  RecordedMessages messages;
  TreeBuilder b;
  auto model = LoadTree(b.Root({{K::CLSID, "{1}"},
                                {K::hotimage, "hot.bmp"},
                                {K::name, "x"},
                                {K::UUID, "u"},
                                {K::company, "c"}},
                               b.Part(K::BUTTON, {{K::caption, "Go"}})));
  EXPECT_EQ(model->ImageFile(), "");
  EXPECT_EQ(model->HotImageFile(), "hot.bmp");
  ASSERT_EQ(model->Items().size(), 1u);  // the rest of the definition still loads
  EXPECT_EQ(messages.Shown(), (std::vector<ShownMessage>{
                                  {"Invalid property CLSID", "TBDL Toolbar", kMbOk},
                                  {"Invalid property name", "TBDL Toolbar", kMbOk},
                                  {"Invalid property UUID", "TBDL Toolbar", kMbOk},
                                  {"Invalid property company", "TBDL Toolbar", kMbOk},
                              }));
}

// A part reached from the root through the given parts, with a property it
// does not accept.
struct InvalidPropertyCase {
  std::vector<K> path;
  K bad;
  const char* caption;
};

const InvalidPropertyCase kInvalidPropertyCases[] = {
    {{K::BUTTON}, K::type, "TBDL Button"},
    {{K::TEXT}, K::url, "TBDL Button"},
    {{K::COMBO}, K::url, "TBDL Combo"},
    {{K::COMBO, K::COMBOVALUE}, K::name, "TBDLLoad Combo Value"},
    {{K::WEBPAGE}, K::caption, "TBDL Webpage button"},
    {{K::INDICATOR}, K::url, "TBDL Indicator"},
    {{K::SEPARATOR}, K::caption, "TBDL separator button"},
    {{K::NAMEDSEPARATOR}, K::hint, "TBDL separator button"},
    {{K::BUTTON, K::MENU}, K::caption, "TBDL Button Menu"},
    {{K::TEXT, K::MENU, K::SUBMENU}, K::command, "TBDL button sub menu "},
    {{K::INDICATOR, K::MENU, K::SUBMENU, K::MENUITEM}, K::type, "TBDL Command button"},
    {{K::COMMANDS, K::GOTOURL}, K::caption, "TBDL GoToURL"},
    {{K::COMMANDS, K::SERVICECOMMAND}, K::url, "TBDL Service Command"},
    {{K::COMMANDS, K::SHELLEXECUTE}, K::progid, "TBDL shell execute command"},
    {{K::COMMANDS, K::CUSTOMCOMMAND}, K::shellcmd, "TBDL shell execute command"},
    {{K::SETTINGS, K::ITEMOPTIONS}, K::value, "TBDL item visibility settings"},
    {{K::SETTINGS, K::PROPERTY}, K::description, "TBDL item visibility settings"},
    {{K::SETTINGS, K::CSPSETTING}, K::value, "TBDL item CSP settings"},
};

TEST(Toolbar, EachPartReportsItsOwnInvalidProperties) {
  for (const auto& c : kInvalidPropertyCases) {
    SCOPED_TRACE(KeywordText(c.path.back()));
    RecordedMessages messages;
    TreeBuilder b;
    auto root = b.Root({});
    TBDLNode* node = root.get();
    for (K part : c.path) node = node->children.emplace_back(b.Part(part, {})).get();
    node->names = {c.bad};
    node->values = {"v"};
    auto model = LoadTree(std::move(root));
    EXPECT_EQ(messages.Shown(),
              (std::vector<ShownMessage>{
                  {"Invalid property " + std::string(KeywordText(c.bad)), c.caption, kMbOk}}));
  }
}

TEST(Toolbar, ItemsInFileOrderAndOtherPartsIgnored) {
  RecordedMessages messages;
  TreeBuilder b;
  auto model = LoadTree(b.Root({}, b.Part(K::BUTTON, {}), b.Part(K::MENU, {{K::type, "x"}}),
                               b.Part(K::TEXT, {}), b.Part(K::COMBO, {}), b.Part(K::WEBPAGE, {}),
                               b.Part(K::MENUITEM, {}), b.Part(K::SEPARATOR, {}),
                               b.Part(K::NAMEDSEPARATOR, {}), b.Part(K::INDICATOR, {}),
                               b.Part(K::COMBOVALUE, {})));
  std::vector<std::pair<ItemKind, std::string_view>> kinds;
  for (const auto& item : model->Items()) kinds.emplace_back(item->GetKind(), item->GetKindName());
  EXPECT_EQ(kinds, (std::vector<std::pair<ItemKind, std::string_view>>{
                       {kItemButton, "Button"},
                       {kItemText, "Text"},
                       {kItemCombo, "Combo"},
                       {kItemWebButton, "Web-button"},
                       {kItemSeparator, "Separator"},
                       {kItemSeparator, "Separator"},
                       {kItemIndicator, "Indicator"},
                   }));
  EXPECT_TRUE(messages.Shown().empty());
  std::vector<bool> separators;
  for (const auto& item : model->Items()) separators.push_back(item->IsSeparator());
  EXPECT_EQ(separators, (std::vector<bool>{false, false, false, false, true, true, false}));
  EXPECT_TRUE(model->Item(1)->SwallowsMouse());
  EXPECT_FALSE(model->Item(0)->SwallowsMouse());
  EXPECT_TRUE(model->Item(2)->KeepsWidth());
  EXPECT_EQ(model->Item(7), nullptr);
  EXPECT_EQ(model->Item(-1), nullptr);
}

TEST(Toolbar, LoadFreesEachTopLevelPartOnceRead) {
  TreeBuilder b;
  auto root = b.Root({}, b.Part(K::BUTTON, {{K::caption, "a"}}), b.Part(K::SEPARATOR, {}));
  TBDLToolbar model;
  model.Load(*root);
  EXPECT_TRUE(root->children.empty());
  EXPECT_EQ(model.Item(0)->GetCaption(), "a");
}

TEST(Items, NamesFallBackToTheCaptionForButtonsTextsAndIndicators) {
  RecordedMessages messages;
  TreeBuilder b;
  auto model = LoadTree(b.Root({}, b.Part(K::BUTTON, {{K::caption, "Mail"}}),
                               b.Part(K::BUTTON, {{K::caption, "Mail"}, {K::name, "m"}}),
                               b.Part(K::TEXT, {{K::caption, "T"}}),
                               b.Part(K::INDICATOR, {{K::caption, "I"}}), b.Part(K::SEPARATOR, {}),
                               b.Part(K::NAMEDSEPARATOR, {{K::name, "Tools"}}),
                               b.Part(K::COMBO, {{K::caption, "type here"}, {K::name, "search"}}),
                               b.Part(K::COMBO, {{K::caption, "nameless"}}),
                               b.Part(K::WEBPAGE, {{K::name, "page"}, {K::url, "u"}})));
  std::vector<std::pair<std::string, std::string>> names;
  for (const auto& item : model->Items()) names.emplace_back(item->GetName(), item->GetCaption());
  EXPECT_EQ(names, (std::vector<std::pair<std::string, std::string>>{
                       {"Mail", "Mail"},
                       {"m", "Mail"},
                       {"T", "T"},
                       {"I", "I"},
                       {"", ""},
                       {"Tools", ""},
                       {"search", "search"},
                       {"", ""},
                       {"page", "page"},
                   }));
  EXPECT_EQ(model->Item(6)->CaptionProperty(), "type here");
}

TEST(Items, IndicatorImagesAndParameters) {
  RecordedMessages messages;
  TreeBuilder b;
  auto model = LoadTree(b.Root({}, b.Part(K::INDICATOR, {{K::type, "POPUP"},
                                                         {K::image, "9"},
                                                         {K::addimg1, "1"},
                                                         {K::addimg5, "5"},
                                                         {K::param3, R"(%n new\n)"}})));
  EXPECT_TRUE(messages.Shown().empty());
  auto& indicator = static_cast<TBDLIndicatorItem&>(*model->Item(0));
  EXPECT_EQ(indicator.Type(), "POPUP");
  EXPECT_EQ(indicator.ImageProperty(), 9);
  EXPECT_EQ(indicator.AddImage(5), 5);
  EXPECT_EQ(indicator.Param(3), "%n new\n");
  EXPECT_EQ(indicator.Param(1), "");
}

TEST(Items, ComboWidthsAndValues) {
  RecordedMessages messages;
  TreeBuilder b;
  auto model =
      LoadTree(b.Root({},
                      b.Part(K::COMBO,
                             {{K::name, "s"},
                              {K::width, "25"},
                              {K::maxchars, "80"},
                              {K::type, "droplist"},
                              {K::maxhistlines, "7"},
                              {K::password, "1"},
                              {K::width, "3x"}},
                             b.Part(K::COMBOVALUE, {{K::value, "web"}}), b.Part(K::MENUITEM, {}),
                             b.Part(K::COMBOVALUE, {{K::caption, "Images"}, {K::value, "img"}})),
                      b.Part(K::COMBO, {{K::name, "t"}})));
  EXPECT_EQ(messages.Shown(),
            (std::vector<ShownMessage>{{"Invalid part declared in COMBO!", "TBDL Combo", kMbOk}}));
  auto& combo = static_cast<TBDLComboItem&>(*model->Item(0));
  EXPECT_EQ(combo.Width(), "3x");
  EXPECT_EQ(combo.Widths(), (std::vector<int32_t>{25, 3}));
  EXPECT_EQ(combo.MaxChars(), 80);
  EXPECT_EQ(combo.Type(), "droplist");
  EXPECT_EQ(combo.MaxHistLines(), 7);
  EXPECT_EQ(combo.Password(), 1);
  ASSERT_EQ(combo.Values().size(), 2u);
  EXPECT_EQ(combo.Values()[0].DisplayText(), "web");
  EXPECT_EQ(combo.Values()[1].DisplayText(), "Images");
  EXPECT_EQ(combo.Values()[1].Value(), "img");

  auto& plain = static_cast<TBDLComboItem&>(*model->Item(1));
  EXPECT_EQ(plain.Width(), "");
  plain.ApplyDefaultWidth();
  plain.ApplyDefaultWidth();
  EXPECT_EQ(plain.Width(), "10");
  EXPECT_EQ(plain.Widths(), (std::vector<int32_t>{10}));
}

TEST(Items, WebPageFlagsAreOnOnlyForExactlyOne) {
  RecordedMessages messages;
  TreeBuilder b;
  auto model = LoadTree(b.Root(
      {}, b.Part(K::WEBPAGE, {{K::url, "x"}, {K::autosize, "1"}, {K::width, "120"}}),
      b.Part(K::WEBPAGE, {{K::autosize, "2"}, {K::relay_navigation, " 1px"}, {K::border, "4"}}),
      b.Part(K::WEBPAGE, {{K::relay_navigation, "1"}, {K::autosize, "1"}, {K::autosize, "0"}})));
  auto page = [&](int i) -> TBDLWebPageItem& {
    return static_cast<TBDLWebPageItem&>(*model->Item(i));
  };
  EXPECT_TRUE(page(0).AutoSize());
  EXPECT_FALSE(page(0).RelayNavigation());
  EXPECT_EQ(page(0).Width(), 120);
  EXPECT_EQ(page(0).CurrentWidth(), 120);
  EXPECT_EQ(page(0).Url(), "x");
  EXPECT_FALSE(page(1).AutoSize());
  EXPECT_TRUE(page(1).RelayNavigation());
  EXPECT_EQ(page(1).Border(), 4);
  EXPECT_EQ(page(1).CurrentWidth(), 0);
  EXPECT_TRUE(page(2).RelayNavigation());
  EXPECT_FALSE(page(2).AutoSize());
  EXPECT_TRUE(messages.Shown().empty());
}

TEST(Sections, CommandsAddUpAndTheFirstOfANameWins) {
  RecordedMessages messages;
  TreeBuilder b;
  auto model = LoadTree(b.Root(
      {},
      b.Part(K::COMMANDS, {},
             b.Part(K::GOTOURL, {{K::name, "go"}, {K::url, "http://a/?q=%search"}}),
             b.Part(K::BUTTON, {}), b.Part(K::SHELLEXECUTE, {{K::shellcmd, "notepad"}})),
      b.Part(K::BUTTON, {}),
      b.Part(K::COMMANDS, {}, b.Part(K::SERVICECOMMAND, {{K::name, "go"}, {K::type, "Hide"}}),
             b.Part(K::CUSTOMCOMMAND, {{K::name, "obj"}, {K::progid, "A.B"}}))));
  EXPECT_EQ(messages.Shown(),
            (std::vector<ShownMessage>{
                {"Invalid part declared in COMMANDS section!", "TBDLLoad", kMbOk}}));
  const auto& commands = model->CommandsSection().Commands();
  ASSERT_EQ(commands.size(), 4u);
  std::vector<std::pair<CommandKind, std::string_view>> kinds;
  for (const auto& c : commands) kinds.emplace_back(c->GetKind(), c->KindKeyword());
  EXPECT_EQ(kinds, (std::vector<std::pair<CommandKind, std::string_view>>{
                       {kCommandGoToUrl, "GOTOURL"},
                       {kCommandShellExecute, "SHELLEXECUTE"},
                       {kCommandService, "SERVICECOMMAND"},
                       {kCommandCustom, "CUSTOMCOMMAND"}}));
  EXPECT_EQ(model->FindCommand("go"), 0);
  EXPECT_EQ(model->FindCommand("obj"), 3);
  EXPECT_EQ(model->FindCommand("Go"), -1);
  // An item without `command` resolves to the first nameless command.
  EXPECT_EQ(model->FindCommand(""), 1);
  EXPECT_EQ(model->Command(3)->Name(), "obj");
  EXPECT_EQ(model->Command(4), nullptr);
  EXPECT_TRUE(commands[0]->IsSearchCommand());
  EXPECT_FALSE(commands[2]->IsSearchCommand());

  auto copy = commands[0]->Clone();
  auto& go = static_cast<TBDLGoToUrlCommand&>(*copy);
  EXPECT_EQ(go.Name(), "go");
  EXPECT_EQ(go.Url(), "http://a/?q=%search");
}

TEST(Sections, SettingsEntriesAndLastPropertyWins) {
  RecordedMessages messages;
  TreeBuilder b;
  auto model = LoadTree(
      b.Root({},
             b.Part(K::SETTINGS, {},
                    b.Part(K::PROPERTY, {{K::id, "CSPGroupCaption"}, {K::value, "First"}}),
                    b.Part(K::ITEMOPTIONS, {{K::id, "search"},
                                            {K::toggle_visibility, "1"},
                                            {K::change_width, "1"},
                                            {K::width_from, "5"},
                                            {K::width_to, "50"},
                                            {K::description, "Search box"}}),
                    b.Part(K::CSPSETTING, {{K::id, "lang"}, {K::description, "Language"}},
                           b.Part(K::COMBOVALUE, {{K::caption, "English"}, {K::value, "en"}}),
                           b.Part(K::MENUITEM, {})),
                    b.Part(K::GOTOURL, {})),
             b.Part(K::SETTINGS, {},
                    b.Part(K::PROPERTY, {{K::id, "CSPGroupCaption"}, {K::value, "Second"}}),
                    b.Part(K::PROPERTY, {{K::id, "Other"}, {K::value, "o"}}))));
  EXPECT_EQ(messages.Shown(),
            (std::vector<ShownMessage>{
                {"Invalid part declared in CSP Setting!", "TBDL CSP settings", kMbOk},
                {"Invalid part declared in SETTINGS section!", "TBDLLoad", kMbOk}}));
  EXPECT_EQ(model->GetProperty("CSPGroupCaption", "Personalization options"), "Second");
  EXPECT_EQ(model->GetProperty("cspgroupcaption", "Personalization options"),
            "Personalization options");
  EXPECT_EQ(model->GetProperty("ItemOptionsPageVisible", "0"), "0");
  const auto& settings = model->SettingsSection();
  ASSERT_EQ(settings.ItemOptions().size(), 1u);
  EXPECT_EQ(settings.ItemOptions()[0].Id(), "search");
  EXPECT_EQ(settings.ItemOptions()[0].ToggleVisibility(), 1);
  EXPECT_EQ(settings.ItemOptions()[0].ToggleCaption(), 0);
  EXPECT_EQ(settings.ItemOptions()[0].WidthTo(), 50);
  ASSERT_EQ(settings.CspSettings().size(), 1u);
  EXPECT_EQ(settings.CspSettings()[0].Description(), "Language");
  ASSERT_EQ(settings.CspSettings()[0].Values().size(), 1u);
  EXPECT_EQ(settings.CspSettings()[0].Values()[0].Value(), "en");
  EXPECT_EQ(settings.Properties().size(), 3u);

  TBDLToolbar empty;
  EXPECT_EQ(empty.GetProperty("CSPGroupCaption", "Personalization options"),
            "Personalization options");
}

}  // namespace
}  // namespace qv::tbdl
