#include "toolbar_fixture.h"

namespace qv::test {
namespace {

PopupMenu Dropped(TBWToolBarCtrl& toolbar, HeadlessToolbar& control, int index) {
  toolbar.OnDropDown(1024 + index);
  EXPECT_FALSE(control.TrackedMenus().empty());
  return control.TrackedMenus().empty() ? PopupMenu{} : control.TrackedMenus().back().menu;
}

TEST_F(ToolbarTest, MenuEntriesAreNumberedDepthFirstWithSubmenusAfterTheirEntries) {
  ASSERT_TRUE(Build(R"(
    SEPARATOR SEPARATOR
    BUTTON { caption = "M" MENU { type = "Single"
      MENUITEM { caption = "E1" image = "4" hint = "first" command = "c1" }
      SUBMENU { caption = "Sub" image = "5"
        MENUITEM { caption = "E2" } MENUITEM { caption = "E3" command = "c3" } }
      MENUSEPARATOR
      MENUITEM { caption = "E4" }
    } }
    COMMANDS { GOTOURL { name = "c1" url = "http://a.test/" } GOTOURL { name = "c3" url = "http://b.test/" } }
  )"));
  const PopupMenu menu = Dropped(*toolbar, control, 2);
  ASSERT_EQ(menu.entries.size(), 4u);
  EXPECT_EQ(menu.entries[0].id, 3648u);
  EXPECT_EQ(menu.entries[0].flags, kMfOwnerdraw);
  EXPECT_EQ(menu.entries[0].data.marker, kMenuDataMarker);
  EXPECT_EQ(menu.entries[0].data.text, "E1");
  EXPECT_EQ(menu.entries[0].data.image, 4);
  const MenuEntry& sub = menu.entries[1];
  EXPECT_EQ(sub.flags, kMfOwnerdraw | kMfPopup);
  EXPECT_EQ(sub.id, 0u);
  EXPECT_EQ(sub.data.text, "Sub");
  ASSERT_EQ(sub.submenu.size(), 2u);
  EXPECT_EQ(sub.submenu[0].id, 3649u);
  EXPECT_EQ(sub.submenu[1].id, 3650u);
  EXPECT_EQ(menu.entries[2].flags, kMfOwnerdraw | kMfSeparator);
  EXPECT_EQ(menu.entries[2].data.typeFlags, kMfSeparator);
  EXPECT_EQ(menu.entries[2].data.image, -1);
  EXPECT_EQ(menu.entries[3].id, 3653u);  // the separator took 3652
  Rect r;
  control.GetItemRect(2, &r);
  EXPECT_EQ(control.TrackedMenus().back().at.x, r.left);
  EXPECT_EQ(control.TrackedMenus().back().at.y, r.bottom);

  // Choosing entries runs their commands; the status bar shows their hints.
  toolbar->OnCommand(3650, true);
  toolbar->OnCommand(3648, true);
  toolbar->OnCommand(3653, true);  // no command
  toolbar->OnCommand(3651, true);  // the submenu itself
  EXPECT_EQ(Navigations(), (std::vector<std::string>{"http://b.test/", "http://a.test/"}));
  toolbar->OnMenuSelect(3648, kMfOwnerdraw);
  toolbar->OnMenuSelect(3649, kMfOwnerdraw);
  toolbar->OnMenuSelect(1, kMfPopup | kMfOwnerdraw);
  toolbar->OnMenuSelect(23049, kMfOwnerdraw);
  toolbar->OnMenuSelect(0, 0xFFFF);
  EXPECT_EQ(hooks.statusTexts,
            (std::vector<std::string>{"first", "", "", "Open web-front for POP3 mailbox", ""}));
}

TEST_F(ToolbarTest, SidebarEntryGetsItsOwnIdentifierAndTheNextStartsAColumn) {
  ASSERT_TRUE(Build(R"(
    BUTTON { caption = "M" MENU { type = "Split"
      MENUITEM { caption = "SIDEBAR!Brand" }
      MENUITEM { caption = "Next" }
      MENUITEM { caption = "Third" }
      SUBMENU { caption = "S" MENUITEM { caption = "SIDEBAR!Inner" } SUBMENU { caption = "T" MENUITEM { caption = "x" } } }
    } }
  )"));
  PopupMenu menu = Dropped(*toolbar, control, 0);
  ASSERT_EQ(menu.entries.size(), 4u);
  EXPECT_EQ(menu.entries[0].id, 2023u);
  EXPECT_EQ(menu.entries[0].data.text, "SIDEBAR!Brand");
  EXPECT_EQ(menu.entries[1].flags, kMfOwnerdraw | kMfMenubreak);
  EXPECT_EQ(menu.entries[1].id, 2049u);
  EXPECT_EQ(menu.entries[2].flags, kMfOwnerdraw);
  const MenuEntry& sub = menu.entries[3];
  EXPECT_EQ(sub.submenu[0].id, 2023u);
  EXPECT_EQ(sub.submenu[1].flags, kMfOwnerdraw | kMfPopup | kMfMenubreak);
  // The banner's identifier names no entry: choosing it does nothing.
  toolbar->OnCommand(2023, true);
  EXPECT_TRUE(Navigations().empty());

  // Without the sidebar mode the banner is an ordinary entry.
  PopupMenu plain;
  toolbar->BuildItemMenu(Item(0), plain, false);
  EXPECT_EQ(plain.entries[0].id, 2048u);
  EXPECT_EQ(plain.entries[1].flags, kMfOwnerdraw);
}

TEST_F(ToolbarTest, WhitelistEntryShowsTheTextForTheCurrentSite) {
  ASSERT_TRUE(Build(R"(
    BUTTON { caption = "M" MENU {
      MENUITEM { caption = "ToggleWhitelisted!Add to whitelist!Remove from whitelist" image = "3" }
      MENUITEM { caption = "ToggleWhitelisted!Only one" }
      MENUITEM { caption = "ToggleWhitelisted!a!b!c" }
    } }
  )"));
  PopupMenu menu = Dropped(*toolbar, control, 0);
  EXPECT_EQ(menu.entries[0].data.text, "Add to whitelist");
  EXPECT_EQ(menu.entries[0].data.image, -1);
  EXPECT_EQ(menu.entries[1].data.text, "Only one");
  EXPECT_EQ(menu.entries[2].data.text, "a");
  hooks.whitelisted = true;
  menu = Dropped(*toolbar, control, 0);
  EXPECT_EQ(menu.entries[0].data.text, "Remove from whitelist");
  EXPECT_EQ(menu.entries[1].data.text, "Only one");
  EXPECT_EQ(menu.entries[2].data.text, "b!c");
}

constexpr char kMailMenu[] = R"tbd(
  INDICATOR { caption = "Mail" MENU {
    MENUITEM { caption = "POP3BoxesWebFrontLinks!%account at %server: %newmsgcount (%server)" }
    MENUITEM { caption = "After" }
  } }
)tbd";

TEST_F(ToolbarTest, WebFrontEntriesListTheReadableAccounts) {
  SetAccountCount(3);
  SetAccount(1, "pop.a.test", "ann", 2);
  SetAccount(3, "pop.c.test", "cid", 0);
  ASSERT_TRUE(Build(
      std::string(kMailMenu) +
      R"(COMMANDS { GOTOURL { name = "GoToWebMailGate" url = "http://m.test/?a=%cmdparam" } })"));
  PopupMenu menu = Dropped(*toolbar, control, 0);
  ASSERT_EQ(menu.entries.size(), 3u);
  EXPECT_EQ(menu.entries[0].id, 23048u);
  EXPECT_EQ(menu.entries[0].data.text, "ann at pop.a.test: 2 (%server)");
  EXPECT_EQ(menu.entries[1].id, 23050u);
  EXPECT_EQ(menu.entries[1].data.text, "cid at pop.c.test: 0 (%server)");
  EXPECT_EQ(menu.entries[2].id, 2049u);

  toolbar->OnCommand(23050, true);
  EXPECT_EQ(Navigations(), std::vector<std::string>{"http://m.test/?a=3"});
}

TEST_F(ToolbarTest, WebFrontEntryWithoutAccountsIsGrayed) {
  ASSERT_TRUE(Build(kMailMenu));
  PopupMenu menu = Dropped(*toolbar, control, 0);
  ASSERT_EQ(menu.entries.size(), 2u);
  EXPECT_EQ(menu.entries[0].flags, kMfOwnerdraw | kMfGrayed | kMfDisabled);
  EXPECT_EQ(menu.entries[0].id, 2048u);
  EXPECT_EQ(menu.entries[0].data.text, "No POP3 accounts configured");
  // No "GoToWebMailGate" command: choosing an account entry does nothing.
  toolbar->OnCommand(23048, true);
  EXPECT_TRUE(Navigations().empty());
}

TEST_F(ToolbarTest, AHugeAccountCountDoesNotHangTheMenu) {
  SetAccountCount(0xFFFFFFFFu);
  SetAccount(1, "pop.a.test", "ann", 1);
  ASSERT_TRUE(Build(kMailMenu));
  PopupMenu menu = Dropped(*toolbar, control, 0);
  EXPECT_EQ(menu.entries.size(), 2u);
  for (const MenuEntry& e : menu.entries) EXPECT_LE(e.id, kLastCommandId);
}

TEST_F(ToolbarTest, EntriesBeyondEightHundredGetNoIdentifier) {
  std::string entries;
  for (int i = 0; i < 805; ++i)
    entries += "MENUITEM { caption = \"e" + std::to_string(i) + "\" command = \"c\" }\n";
  ASSERT_TRUE(Build(
      "BUTTON { caption = \"Big\" MENU { " + entries +
      " } }\nBUTTON { caption = \"Next\" MENU { MENUITEM { caption = \"n\" command = \"d\" } } }\n"
      "COMMANDS { GOTOURL { name = \"c\" url = \"http://c.test/\" } GOTOURL { name = \"d\" url = "
      "\"http://d.test/\" } }"));
  PopupMenu big = Dropped(*toolbar, control, 0);
  ASSERT_EQ(big.entries.size(), 805u);
  EXPECT_EQ(big.entries[799].id, 2048u + 799);
  for (int i = 800; i < 805; ++i) EXPECT_EQ(big.entries[i].id, 0u) << i;
  PopupMenu next = Dropped(*toolbar, control, 1);
  EXPECT_EQ(next.entries[0].id, 2848u);
  toolbar->OnCommand(2848, true);
  EXPECT_EQ(Navigations(), std::vector<std::string>{"http://d.test/"});
}

TEST_F(ToolbarTest, MenuCommandsNamingNoItemAreIgnored) {
  ASSERT_TRUE(Build(R"(BUTTON { caption = "M" MENU { MENUITEM { caption = "a" command = "c" } } }
                       COMMANDS { GOTOURL { name = "c" url = "http://c.test/" } })"));
  for (unsigned id : {2048u + 800u, 2048u + 40u * 800u, 2049u, 23047u, 2047u, 0u})
    toolbar->OnMenuCommand(id);
  toolbar->OnMenuSelect(2048 + 800 * 7, kMfOwnerdraw);
  EXPECT_TRUE(Navigations().empty());
  EXPECT_EQ(hooks.statusTexts, std::vector<std::string>{""});
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(ToolbarTest, DeeplyNestedSubmenusAreCutAtAFixedDepth) {
  std::string nested = "MENUITEM { caption = \"deep\" }";
  for (int i = 0; i < 60; ++i) nested = "SUBMENU { caption = \"s\" " + nested + " }";
  ASSERT_TRUE(
      Build("BUTTON { caption = \"M\" MENU { " + nested + " MENUITEM { caption = \"last\" } } }"));
  const PopupMenu menu = Dropped(*toolbar, control, 0);
  ASSERT_EQ(menu.entries.size(), 2u);
  EXPECT_EQ(menu.entries[1].id, 2048u + 61u);
  int levels = 0;
  for (const MenuEntry* e = &menu.entries[0]; !e->submenu.empty(); e = &e->submenu[0]) ++levels;
  EXPECT_EQ(levels, 32);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

TEST_F(ToolbarTest, MenuBitmapsShowTheirHotPictureUnderThePointerAndClickLikeTheirButton) {
  WriteFile(dir.File("m.bmp"), BitmapBytes(30, 16));
  WriteFile(dir.File("h.bmp"), BitmapBytes(30, 16));
  WriteFile(dir.File("bad.bmp"), "not a bitmap");
  ASSERT_TRUE(Build(R"(
    BUTTON { caption = "A" command = "c" MENU { type = "Single" image = "m.bmp" hotimage = "h.bmp"
      MENUITEM { caption = "x" } } }
    BUTTON { caption = "B" command = "c" MENU { type = "Split" image = "m.bmp" hotimage = "bad.bmp"
      MENUITEM { caption = "x" } } }
    INDICATOR { caption = "I" command = "c" MENU { type = "Single" image = "m.bmp" } }
    COMMANDS { GOTOURL { name = "c" url = "http://u.test/" } }
  )"));
  const WindowId a = toolbar->ItemBitmapWindow(0);
  const WindowId b = toolbar->ItemBitmapWindow(1);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_TRUE(EndsWith(control.FindChild(a)->ShownBitmap(), "m.bmp"));
  control.SetPointerOver(a, true);
  EXPECT_TRUE(EndsWith(control.FindChild(a)->ShownBitmap(), "h.bmp"));
  control.SetPointerOver(a, false);
  EXPECT_TRUE(EndsWith(control.FindChild(a)->ShownBitmap(), "m.bmp"));
  // An unreadable hot picture leaves the button on its own picture.
  control.SetPointerOver(b, true);
  EXPECT_TRUE(EndsWith(control.FindChild(b)->ShownBitmap(), "m.bmp"));

  // A whole drop-down opens its menu; other buttons and indicators run
  // their command; windows that are no bitmap do nothing.
  toolbar->OnBitmapButtonClick(a);
  EXPECT_EQ(control.TrackedMenus().size(), 1u);
  EXPECT_TRUE(Navigations().empty());
  toolbar->OnBitmapButtonClick(b);
  toolbar->OnBitmapButtonClick(toolbar->ItemBitmapWindow(2));
  toolbar->OnBitmapButtonClick(0);
  toolbar->OnBitmapButtonClick(0x7777);
  EXPECT_EQ(Navigations(), (std::vector<std::string>{"http://u.test/", "http://u.test/"}));
  EXPECT_EQ(control.TrackedMenus().size(), 1u);
  EXPECT_EQ(toolbar->LastClickedItem(), 2);
}

}  // namespace
}  // namespace qv::test
