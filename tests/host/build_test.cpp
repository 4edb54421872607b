#include <cstdlib>
#include <set>

#include "host/standard_features.h"
#include "settings/settings.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

constexpr char kThree[] = R"(
  BUTTON { caption = "Go" image = "3" command = "go" }
  SEPARATOR
  COMBO { name = "s" width = "25" }
  COMMANDS { GOTOURL { name = "go" url = "http://x.test/" } }
)";

TEST_F(ToolbarTest, ButtonsGetIdentifiersFromTheirIndexAndSeparatorsAreEightWide) {
  ASSERT_TRUE(Build(kThree));
  ASSERT_EQ(control.Buttons().size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ButtonOf(i).button.command, 1024 + i);
  EXPECT_EQ(ButtonOf(0).button.bitmap, 3);
  EXPECT_EQ(ButtonOf(0).text, "Go");
  EXPECT_EQ(ButtonOf(1).button.style, kBtnsSep);
  EXPECT_EQ(WidthOf(1), 8);
  // The image list's real height decides the bitmap and cell size.
  EXPECT_EQ(control.ImageListCellSize(), 16);
  EXPECT_EQ(control.BitmapHeight(), 16);
  ASSERT_NE(control.Font(), nullptr);
  EXPECT_EQ(control.Font()->face, "Tahoma");
  EXPECT_EQ(toolbar->Model()->Item(0)->CommandIndex(), 0);
}

TEST_F(ToolbarTest, ComboWidthIsAPercentageOfTheButtonsWidthAndMinimumReachesIt) {
  ASSERT_TRUE(Build(kThree));
  const int total = toolbar->ButtonsWidth();
  ASSERT_GT(total, 0);
  EXPECT_EQ(WidthOf(2), total * 25 / 100);
  const auto& combo = ChildOf(2);
  EXPECT_EQ(combo.rect.Width(), total * 25 / 100);
  EXPECT_EQ(combo.rect.left, WidthOf(0) + 8);
  EXPECT_EQ(toolbar->VisibleWidth(), WidthOf(0) + 8 + WidthOf(2));
  EXPECT_EQ(toolbar->MinimumWidth(), toolbar->VisibleWidth());
  EXPECT_EQ(hooks.idealWidth, toolbar->VisibleWidth());
  EXPECT_TRUE(control.GetExtendedStyle() & kTbstyleExHideclippedbuttons);
  // The toolbar button itself takes no input; the control does.
  EXPECT_FALSE(ButtonOf(2).button.state & kTbstateEnabled);

  SetDword("ItemWidth_s", 50);
  ASSERT_TRUE(Rebuild(kThree));
  EXPECT_EQ(WidthOf(2), toolbar->ButtonsWidth() * 50 / 100);
}

TEST_F(ToolbarTest, OutlandishStoredWidthsStayWithinAButtonsRange) {
  SetDword("ItemWidth_s", 0x7FFFFFFF);
  ASSERT_TRUE(Build(kThree));
  EXPECT_EQ(WidthOf(2), 32767);
  SetDword("ItemWidth_s", 0xFFFFFF00u);  // negative
  ASSERT_TRUE(Rebuild(kThree));
  EXPECT_EQ(WidthOf(2), 0);
}

TEST_F(ToolbarTest, MinimumWidthEndsAtTheLastComboAndHiddenItemsTakeNoRoom) {
  ASSERT_TRUE(Build(R"(
    BUTTON { name = "a" caption = "Alpha" }
    COMBO { name = "s" type = "edit" width = "20" }
    BUTTON { caption = "Tail" }
  )"));
  const int a = WidthOf(0);
  EXPECT_EQ(toolbar->MinimumWidth(), a + WidthOf(1));
  EXPECT_EQ(toolbar->VisibleWidth(), a + WidthOf(1) + WidthOf(2));
  EXPECT_EQ(ChildOf(1).rect.left, a);

  // Hiding the first button moves the combo's control with its button.
  SetDword("ItemHidden_a", 1);
  toolbar->ApplyItemVisibility(0, "a");
  toolbar->UpdateWidths();
  EXPECT_TRUE(control.IsButtonHidden(1024));
  EXPECT_EQ(WidthOf(0), 0);
  EXPECT_EQ(ChildOf(1).rect.left, 0);
  EXPECT_EQ(toolbar->VisibleWidth(), WidthOf(1) + WidthOf(2));

  SetDword("ItemHidden_a", 0);
  toolbar->ApplyItemVisibility(0, "a");
  EXPECT_EQ(ChildOf(1).rect.left, a);
}

TEST_F(ToolbarTest, HiddenComboHidesItsControl) {
  SetDword("ItemHidden_s", 1);
  ASSERT_TRUE(Build(R"(COMBO { name = "s" } BUTTON { caption = "B" })"));
  EXPECT_TRUE(control.IsButtonHidden(1024));
  EXPECT_FALSE(ChildOf(0).visible);
  EXPECT_EQ(toolbar->MinimumWidth(), 0);
}

TEST_F(ToolbarTest, ComboControlsAreFilledFromHistoryOrValues) {
  {
    RegKey history = OpenProductSubkey(HistoryKeyName("s"), true);
    WriteKeyDword(history, "recent", 1);
    WriteKeyDword(history, "older", 1);
  }
  SetString("LastSearchWith", "12");
  ASSERT_TRUE(Build(R"(
    COMBO { name = "s" caption = "Type here" maxchars = "40" hint = "Search" }
    COMBO { name = "engine" COMBOVALUE { caption = "Web" value = "web" }
            COMBOVALUE { value = "news" } }
    COMBO { name = "pw" type = "edit" password = "1" }
  )"));
  const auto& history = ChildOf(0);
  ASSERT_EQ(history.list.size(), 2u);
  EXPECT_EQ(history.list[0].text, "recent");
  EXPECT_EQ(history.text, "Type here");
  EXPECT_EQ(history.limit, 40);
  EXPECT_EQ(history.spec.style & kCbsDropdownlist, kCbsDropdown);
  EXPECT_EQ(control.ToolTips().at(history.editPart), "Search");

  const auto& chooser = ChildOf(1);
  EXPECT_EQ(chooser.spec.style & kCbsDropdownlist, kCbsDropdownlist);
  ASSERT_EQ(chooser.list.size(), 2u);
  EXPECT_EQ(chooser.list[1].text, "news");
  EXPECT_EQ(chooser.list[1].data, 2);  // COMBOVALUE 1, counted from 1
  EXPECT_EQ(chooser.selected, 1);      // only the first character of "12" counts

  const auto& edit = ChildOf(2);
  EXPECT_EQ(edit.spec.kind, ChildKind::kEdit);
  EXPECT_TRUE(edit.spec.style & kEsPassword);
  EXPECT_EQ(toolbar->Keyboard().Controls().size(), 3u);
}

TEST_F(ToolbarTest, MenuTypesGiveDropDownStylesAndMenuBitmapsReplaceTheButton) {
  WriteFile(dir.File("m.bmp"), BitmapBytes(30, 16));
  ASSERT_TRUE(Build(R"(
    BUTTON { caption = "Single" MENU { type = "Single" MENUITEM { caption = "a" } } }
    BUTTON { caption = "None" MENU { type = "None" MENUITEM { caption = "a" } } }
    BUTTON { caption = "Split" MENU { type = "Split" MENUITEM { caption = "a" } } }
    INDICATOR { caption = "Ind" MENU { type = "None" MENUITEM { caption = "a" } } }
    BUTTON { caption = "Bmp" MENU { type = "Split" image = "m.bmp" MENUITEM { caption = "a" } } }
    INDICATOR { caption = "IBmp" MENU { type = "None" image = "m.bmp" } }
    BUTTON { caption = "Broken" MENU { type = "Split" image = "missing.bmp" } }
  )"));
  EXPECT_TRUE(ButtonOf(0).button.style & kBtnsWholedropdown);
  EXPECT_EQ(ButtonOf(1).button.style, kBtnsAutosize | kBtnsShowtext);
  EXPECT_TRUE(ButtonOf(2).button.style & kBtnsDropdown);
  EXPECT_TRUE(ButtonOf(3).button.style & kBtnsDropdown);  // indicators: "None" too
  EXPECT_EQ(WidthOf(4), 30 + 20 + 6);
  EXPECT_EQ(ButtonOf(4).button.style, kBtnsDropdown);
  EXPECT_EQ(WidthOf(5), 30 + 20 - 8);
  EXPECT_EQ(ButtonOf(5).button.state & kTbstateIndeterminate, kTbstateIndeterminate);
  const auto& bitmap = *control.FindChild(toolbar->ItemBitmapWindow(4));
  EXPECT_EQ(bitmap.spec.kind, ChildKind::kBitmapButton);
  Rect r;
  control.GetItemRect(4, &r);
  EXPECT_EQ(bitmap.rect, r);
  EXPECT_TRUE(ButtonOf(6).button.style & kBtnsDropdown);  // an unreadable bitmap is ignored
}

TEST_F(ToolbarTest, BadImageListsFailTheBuildLikeAFailedLoad) {
  ASSERT_TRUE(Build(kThree));
  const size_t buttons = control.Buttons().size();
  for (const std::string& bad :
       {BitmapBytes(192, 16).substr(0, 60), std::string("not a bitmap at all"), std::string()}) {
    WriteFile(dir.File("tbil.bmp"), bad);
    EXPECT_FALSE(Rebuild(kThree));
    EXPECT_EQ(control.Buttons().size(), buttons);
    EXPECT_TRUE(toolbar->Model()->Items().empty());
    toolbar->OnButtonClick(1024);
    toolbar->OnDropDown(1024);
    EXPECT_TRUE(Navigations().empty());
    EXPECT_TRUE(control.TrackedMenus().empty());
  }
  WriteFile(dir.File("tbil.bmp"), BitmapBytes(192, 16));
  EXPECT_TRUE(Rebuild(kThree));
}

TEST_F(ToolbarTest, FailedLoadKeepsTheOldButtonsButTheyFindNoItem) {
  ASSERT_TRUE(Build(kThree));
  EXPECT_FALSE(Rebuild("BUTTON { caption = "));
  EXPECT_EQ(control.Buttons().size(), 3u);
  toolbar->OnButtonClick(1024);
  EXPECT_EQ(toolbar->ToolTipText(1024), std::nullopt);
  EXPECT_TRUE(Navigations().empty());
}

TEST_F(ToolbarTest, ClicksRunTheItemsCommandAndUnknownIdentifiersAreIgnored) {
  ASSERT_TRUE(Build(kThree));
  toolbar->OnCommand(1024, false);
  EXPECT_EQ(Navigations(), std::vector<std::string>{"http://x.test/"});
  EXPECT_EQ(toolbar->LastClickedItem(), 0);
  // A pressed toggle resets its command, which for GOTOURL goes nowhere.
  control.CheckButton(1024, true);
  toolbar->OnCommand(1024, false);
  EXPECT_EQ(Navigations().size(), 1u);
  control.CheckButton(1024, false);
  for (int id : {1023, 1027, 2047, 23248, 23249, -5}) toolbar->OnButtonClick(id);
  toolbar->OnDropDown(1024 + 99);
  EXPECT_EQ(Navigations().size(), 1u);
  EXPECT_TRUE(control.TrackedMenus().empty());
  EXPECT_EQ(toolbar->ToolTipText(999), std::nullopt);
}

TEST_F(ToolbarTest, TextItemsSwallowTheMouse) {
  ASSERT_TRUE(Build(R"(TEXT { caption = "Label" } BUTTON { caption = "B" })"));
  EXPECT_TRUE(toolbar->OnMouseMessage(kWmLbuttondown, Point{2, 5}));
  EXPECT_TRUE(toolbar->OnMouseMessage(kWmMousemove, Point{2, 5}));
  EXPECT_FALSE(toolbar->OnMouseMessage(kWmLbuttondown, Point{WidthOf(0) + 2, 5}));
  EXPECT_FALSE(toolbar->OnMouseMessage(kWmLbuttondown, Point{5000, 5}));
}

TEST_F(ToolbarTest, TimersFollowTheDefinition) {
  // One account without a password: a pass finds it due (and records the
  // time) but skips it, a forced pass skips only the due rule.
  SetAccountCount(1);
  SetAccount(1, "pop.test", "ann", 0);
  {
    RegKey key = OpenProductSubkey("POP3 Accounts", true);
    WriteKeyString(key, "CheckInterval1", "10");
  }
  MakeToolbar();
  std::vector<mail::CheckOutcome> outcomes;
  Mail().Checker().SetObserver(
      [&](unsigned, mail::CheckOutcome outcome) { outcomes.push_back(outcome); });
  ASSERT_TRUE(Rebuild(R"(
    INDICATOR { caption = "Mail" type = "POP3" }
    INDICATOR { caption = "Pop" type = "POPUP" }
    SETTINGS { PROPERTY { id = "EnableDesktopAlerts" value = "1" } }
  )"));
  EXPECT_EQ(control.Timers().at(kMailTimerId), 25000u);
  EXPECT_EQ(control.Timers().at(kPopupCounterTimerId), 15000u);
  EXPECT_EQ(control.Timers().at(kAlertTimerId), 15000u);
  toolbar->OnTimer(kMailTimerId);
  toolbar->OnTimer(kForcedCheckTimerId);
  EXPECT_EQ(outcomes, (std::vector<mail::CheckOutcome>{mail::CheckOutcome::kMissing,
                                                       mail::CheckOutcome::kNotDue,
                                                       mail::CheckOutcome::kMissing}));
  EXPECT_EQ(control.Timers().count(kForcedCheckTimerId), 0u);
  toolbar->Stop();
  EXPECT_TRUE(control.Timers().empty());
  EXPECT_EQ(toolbar->Model(), nullptr);
  toolbar->OnButtonClick(1024);
  toolbar->OnTimer(kBlinkTimerId);
}

TEST_F(ToolbarTest, WebPagesSizeThemselvesAndRelayNavigationOnceLoaded) {
  ASSERT_TRUE(Build(R"(
    WEBPAGE { name = "w" url = "http://p.test/?d=%domain" width = "120" autosize = "1"
              relay_navigation = "1" border = "1" }
    WEBPAGE { name = "fixed" url = "http://p.test/f" width = "80" }
  )"));
  EXPECT_EQ(WidthOf(0), 120);
  const WindowId page = toolbar->ItemWindow(0);
  EXPECT_EQ(ChildOf(0).rect.bottom, 22);
  EXPECT_EQ(ChildOf(0).navigations.back(), "http://p.test/?d=%domain");
  EXPECT_EQ(toolbar->Model()->pageDependentItems.size(), 1u);

  EXPECT_FALSE(toolbar->OnWebPageBeforeNavigate(page, "http://elsewhere.test/"));
  toolbar->OnWebPageDocumentComplete(page, true, 300);
  EXPECT_TRUE(toolbar->WebPageLoaded(0));
  EXPECT_EQ(WidthOf(0), 300);
  EXPECT_EQ(ChildOf(1).rect.left, 300);
  EXPECT_TRUE(toolbar->OnWebPageBeforeNavigate(page, "http://elsewhere.test/"));
  EXPECT_EQ(hooks.navigations, std::vector<std::string>{"http://elsewhere.test/"});
  EXPECT_FALSE(toolbar->OnWebPageBeforeNavigate(page, "http://p.test/autorefresh"));

  const WindowId fixed = toolbar->ItemWindow(1);
  toolbar->OnWebPageDocumentComplete(fixed, true, 500);
  EXPECT_EQ(WidthOf(1), 80);
  EXPECT_FALSE(toolbar->OnWebPageBeforeNavigate(fixed, "http://elsewhere.test/"));

  // A completed navigation reloads only the page-dependent item.
  toolbar->OnBrowserEvent(kDispidNavigateComplete2);
  EXPECT_EQ(ChildOf(0).navigations.size(), 2u);
  EXPECT_EQ(ChildOf(1).navigations.size(), 1u);
}

TEST_F(ToolbarTest, HotTextIsDrawnInTheHotColour) {
  ASSERT_TRUE(Build(kThree));
  CustomDrawInfo draw;
  draw.stage = kCddsPrepaint;
  EXPECT_EQ(toolbar->OnCustomDraw(draw), kCdrfNotifyItemDraw);
  draw.stage = kCddsItemPrepaint;
  draw.command = 1024;
  draw.itemState = kCdisHot;
  toolbar->OnCustomDraw(draw);
  EXPECT_EQ(draw.textColour, kHotTextColour);
  draw.textColour = 7;
  draw.itemState = 0;
  toolbar->OnCustomDraw(draw);
  EXPECT_EQ(draw.textColour, 7u);
}

TEST_F(ToolbarTest, TheExampleDefinitionBuildsWithEveryItemKind) {
  const char* source = std::getenv("QV_SOURCE_DIR");
  if (!source) GTEST_SKIP() << "QV_SOURCE_DIR not set";
  LocalResourceLookup examples(std::string(source) + "/examples");
  TBWToolBarCtrl example(control, examples, hooks.Hooks());
  AttachStandardFeatures(example);
  ASSERT_TRUE(example.BuildToolbar(true));
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
  std::set<int> kinds;
  for (const auto& item : example.Model()->Items()) kinds.insert(item->GetKind());
  EXPECT_EQ(kinds.size(), 6u);
  EXPECT_GT(example.MinimumWidth(), 0);
  EXPECT_GE(example.VisibleWidth(), example.MinimumWidth());
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(ToolbarTest, ARebuildMakesNewControlsForTheNewItems) {
  ASSERT_TRUE(Build(R"(COMBO { name = "a" } BUTTON { caption = "B" })"));
  const WindowId old = toolbar->ItemWindow(0);
  ASSERT_TRUE(Rebuild(R"(BUTTON { caption = "B" } COMBO { name = "c" type = "edit" })"));
  EXPECT_EQ(control.FindChild(old), nullptr);
  EXPECT_EQ(toolbar->ItemWindow(0), 0u);
  EXPECT_EQ(ChildOf(1).spec.kind, ChildKind::kEdit);
  ASSERT_EQ(toolbar->Keyboard().Controls().size(), 1u);
  EXPECT_EQ(toolbar->Keyboard().Controls()[0].ItemIndex(), 1);
}

}  // namespace
}  // namespace qv::test
