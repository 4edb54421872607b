#include <gtest/gtest.h>

#include "recorded_messages.h"
#include "support/tree_builder.h"
#include "tbdl/toolbar.h"

namespace qv::tbdl {
namespace {

using K = Keyword;
using test::RecordedMessages;
using test::TreeBuilder;

std::unique_ptr<TBDLNode> Item(TreeBuilder& b, const char* caption) {
  return b.Part(K::MENUITEM, {{K::caption, caption}, {K::command, caption}});
}

// The identifiers of every entry of item's menu, in numbering order;
// 0 for an entry without one.
std::vector<uint32_t> Identifiers(const TBDLItem& item) {
  std::vector<uint32_t> ids;
  for (uint32_t n = 0; n < item.Menu().EntryCount(); ++n) {
    ids.push_back(MenuEntryIdentifier(item.Index(), n).value_or(0));
  }
  return ids;
}

TEST(Menus, EntriesAreNumberedDepthFirstWithSubmenusAfterTheirEntries) {
  RecordedMessages messages;
  TreeBuilder b;
  TBDLToolbar model;
  auto root = b.Root(
      {}, b.Part(K::BUTTON, {}), b.Part(K::SEPARATOR, {}),
      b.Part(K::BUTTON, {{K::caption, "Mail"}},
             b.Part(K::MENU, {{K::type, "Split"}, {K::image, "m.bmp"}, {K::hotimage, "h.bmp"}},
                    Item(b, "E1"),
                    b.Part(K::SUBMENU, {{K::caption, "More"}, {K::image, "4"}}, Item(b, "E2"),
                           Item(b, "E3")),
                    Item(b, "E4"), b.Part(K::BUTTON, {}),
                    b.Part(K::MENUSEPARATOR, {{K::caption, "ignored"}, {K::url, "too"}}))));
  model.Load(*root);
  EXPECT_TRUE(messages.Shown().empty());
  TBDLItem& mail = *model.Item(2);
  mail.SetIndex(2);
  const TBDLButtonMenu& menu = mail.Menu();
  EXPECT_EQ(menu.Type(), "Split");
  EXPECT_EQ(menu.Image(), "m.bmp");
  EXPECT_EQ(menu.HotImage(), "h.bmp");

  EXPECT_EQ(Identifiers(mail), (std::vector<uint32_t>{3648, 3649, 3650, 3651, 3652, 3653}));
  std::vector<std::string> captions;
  for (uint32_t n = 0; n < 6; ++n) captions.push_back(mail.FindMenuEntry(n)->Caption());
  EXPECT_EQ(captions, (std::vector<std::string>{"E1", "E2", "E3", "More", "E4", ""}));
  EXPECT_EQ(mail.FindMenuEntry(6), nullptr);

  const TBDLMenuEntry& submenu = *mail.FindMenuEntry(3);
  EXPECT_EQ(submenu.Kind(), MenuEntryKind::kSubmenu);
  EXPECT_EQ(submenu.GetImage(), 4);
  EXPECT_EQ(submenu.SubtreeBegin(), 1u);
  EXPECT_EQ(submenu.Parent(), TBDLMenuEntry::kNoParent);
  EXPECT_EQ(mail.FindMenuEntry(1)->Parent(), 3u);
  EXPECT_EQ(mail.FindMenuEntry(2)->Parent(), 3u);
  EXPECT_EQ(mail.FindMenuEntry(4)->Parent(), TBDLMenuEntry::kNoParent);
  EXPECT_EQ(mail.FindMenuEntry(4)->Command(), "E4");
  EXPECT_EQ(mail.FindMenuEntry(5)->Kind(), MenuEntryKind::kSeparator);

  // Decoding an identifier finds the same entry.
  const CommandTarget chosen = DecodeCommandId(3650, CommandSource::kMenu);
  ASSERT_EQ(chosen.kind, CommandTargetKind::kMenuEntry);
  EXPECT_EQ(chosen.itemIndex, 2);
  EXPECT_EQ(model.Item(chosen.itemIndex)->FindMenuEntry(chosen.entryNumber)->Caption(), "E3");

  // Items without a MENU have an empty one.
  EXPECT_EQ(model.Item(0)->Menu().EntryCount(), 0u);
  EXPECT_EQ(model.Item(0)->Menu().Type(), "");
  EXPECT_EQ(model.Item(0)->FindMenuEntry(0), nullptr);
}

TEST(Menus, NestedSubmenusAndSidebarEntries) {
  RecordedMessages messages;
  TreeBuilder b;
  TBDLToolbar model;
  auto root = b.Root(
      {},
      b.Part(K::INDICATOR, {},
             b.Part(K::MENU, {}, b.Part(K::MENUITEM, {{K::caption, "SIDEBAR!Tools"}}),
                    b.Part(K::SUBMENU, {{K::caption, "A"}},
                           b.Part(K::SUBMENU, {{K::caption, "B"}}, Item(b, "b1")), Item(b, "a1")),
                    b.Part(K::SUBMENU, {{K::caption, "empty"}}))));
  model.Load(*root);
  const TBDLButtonMenu& menu = model.Item(0)->Menu();
  using Shape = std::tuple<std::string, uint32_t, uint32_t, uint32_t>;
  std::vector<Shape> entries;
  for (const auto& e : menu.Entries())
    entries.emplace_back(e->Caption(), e->Parent(), e->SubtreeBegin(), e->IndexInParent());
  constexpr uint32_t kTop = TBDLMenuEntry::kNoParent;
  EXPECT_EQ(entries, (std::vector<Shape>{
                         {"SIDEBAR!Tools", kTop, 0, 0},
                         {"b1", 2, 1, 0},
                         {"B", 4, 1, 0},
                         {"a1", 4, 3, 1},
                         {"A", kTop, 1, 1},
                         {"empty", kTop, 5, 2},
                     }));
  EXPECT_TRUE(menu.FindEntry(0)->IsSidebar());
  EXPECT_FALSE(menu.FindEntry(4)->IsSidebar());
}

TEST(Menus, IdentifiersStopAtTheEndOfTheItemsRange) {
  EXPECT_EQ(MenuEntryIdentifier(0, 0), 2048u);
  EXPECT_EQ(MenuEntryIdentifier(0, 799), 2847u);
  // Entry 800 would be read back as entry 0 of the next item.
  EXPECT_EQ(MenuEntryIdentifier(0, 800), std::nullopt);
  EXPECT_EQ(MenuEntryIdentifier(1, 0), 2848u);
  // The top of the menu range; above it the mail web-front entries begin.
  EXPECT_EQ(MenuEntryIdentifier(26, 199), 23047u);
  EXPECT_EQ(MenuEntryIdentifier(26, 200), std::nullopt);
  EXPECT_EQ(MenuEntryIdentifier(27, 0), std::nullopt);
  EXPECT_EQ(MenuEntryIdentifier(-1, 0), std::nullopt);
  EXPECT_EQ(MenuEntryIdentifier(INT32_MAX, 0), std::nullopt);

  // Every identifier decodes to what it names, by where it came from.
  auto menu = [](unsigned id) { return DecodeCommandId(id, CommandSource::kMenu); };
  auto button = [](unsigned id) { return DecodeCommandId(id, CommandSource::kButton); };
  EXPECT_EQ(menu(2047).kind, CommandTargetKind::kNone);
  EXPECT_EQ(menu(kSidebarEntryId).kind, CommandTargetKind::kNone);
  EXPECT_EQ(menu(23047).kind, CommandTargetKind::kMenuEntry);
  EXPECT_EQ(menu(23047).itemIndex, 26);
  EXPECT_EQ(menu(23047).entryNumber, 199u);
  EXPECT_EQ(menu(23048).kind, CommandTargetKind::kWebFront);
  EXPECT_EQ(menu(23048).account, 1u);
  EXPECT_EQ(menu(0x10000 + 23248).account, 201u);  // high word ignored
  EXPECT_EQ(menu(23249).kind, CommandTargetKind::kNone);
  EXPECT_EQ(button(1023).kind, CommandTargetKind::kNone);
  EXPECT_EQ(button(1024).itemIndex, 0);
  EXPECT_EQ(button(2100).kind, CommandTargetKind::kButton);
  EXPECT_EQ(button(2100).itemIndex, 1076);
  EXPECT_EQ(button(23249).kind, CommandTargetKind::kNone);
}

TEST(Menus, MoreThan800EntriesAllLoadButOnlyTheFirst800HaveIdentifiers) {
  RecordedMessages messages;
  TreeBuilder b;
  auto menu = b.Part(K::MENU, {});
  for (int i = 0; i < 1000; ++i) {
    menu->children.push_back(Item(b, i % 2 ? "odd" : "even"));
  }
  TBDLToolbar model;
  auto root = b.Root({}, b.Part(K::BUTTON, {}, std::move(menu)));
  model.Load(*root);
  TBDLItem& button = *model.Item(0);
  button.SetIndex(0);
  ASSERT_EQ(button.Menu().EntryCount(), 1000u);
  EXPECT_EQ(button.FindMenuEntry(999)->Caption(), "odd");
  std::vector<uint32_t> ids = Identifiers(button);
  EXPECT_EQ(ids[799], 2847u);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 0u), 200);
}

TEST(Menus, DeepNestingLoadsAndUnloadsWithoutRecursion) {
  RecordedMessages messages;
  constexpr int kDepth = 200000;
  auto root = std::make_unique<TBDLNode>(K::kRoot);
  TBDLNode* button = root->children.emplace_back(std::make_unique<TBDLNode>(K::BUTTON)).get();
  TBDLNode* parent = button->children.emplace_back(std::make_unique<TBDLNode>(K::MENU)).get();
  for (int i = 0; i < kDepth; ++i) {
    parent = parent->children.emplace_back(std::make_unique<TBDLNode>(K::SUBMENU)).get();
  }
  parent->children.emplace_back(std::make_unique<TBDLNode>(K::MENUITEM));
  {
    TBDLToolbar model;
    model.Load(*root);
    const TBDLButtonMenu& menu = model.Item(0)->Menu();
    ASSERT_EQ(menu.EntryCount(), size_t{kDepth} + 1);
    EXPECT_EQ(menu.FindEntry(0)->Kind(), MenuEntryKind::kItem);
    EXPECT_EQ(menu.FindEntry(0)->Parent(), 1u);
    EXPECT_EQ(menu.FindEntry(kDepth)->Parent(), TBDLMenuEntry::kNoParent);
  }
  EXPECT_TRUE(messages.Shown().empty());
}

}  // namespace
}  // namespace qv::tbdl
