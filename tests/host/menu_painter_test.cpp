// Drawing of the owner-drawn drop-down menu entries, on a canvas that
// records the calls.
#include "host/menu_painter.h"

#include <gtest/gtest.h>

#include "support/recording_canvas.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

using Canvas = RecordingCanvas;

MenuItemData Data(const std::string& text, int image = -1, uint32_t typeFlags = 0) {
  MenuItemData data;
  data.text = text;
  data.image = image;
  data.typeFlags = typeFlags;
  return data;
}

std::vector<RecordingCanvas::Call> Draw(Canvas& canvas, unsigned id, const MenuItemData& data,
                                        uint32_t state, int imageSize = 16,
                                        Rect rect = Rect{0, 0, 150, 22}) {
  MenuPainter(imageSize).Draw(canvas, MenuEntryDrawing{id, &data, rect, state});
  return canvas.calls;
}

TEST(MenuPainter, TheSidebarEntryPaintsAGradientBannerWithAShadowedUpwardCaption) {
  Canvas canvas;
  const auto calls = Draw(canvas, kSidebarEntryId, Data("SIDEBAR!Quorvane Tools"), kOdsSelected, 16,
                          Rect{0, 0, 24, 22});
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].op, "gradient");
  EXPECT_EQ(calls[0].rect, (Rect{0, 0, 24, 240}));  // the whole height of the canvas
  EXPECT_EQ(calls[0].colour, Canvas::Sys(kColorGradientActiveCaption));
  EXPECT_EQ(calls[0].bottom, Canvas::Sys(kColorActiveCaption));

  CanvasFont font{"Times New Roman", 24, 900, 900, 700, true, 0, 15, 2, 0};
  EXPECT_EQ(calls[1].font, font);
  EXPECT_TRUE(canvas.transparent);

  EXPECT_EQ(calls[2].text, "Quorvane Tools");
  EXPECT_EQ(calls[2].colour, kBlack);
  EXPECT_EQ(calls[2].rect, (Rect{1, 1, 24, 240 + 19 / 2}));
  EXPECT_EQ(calls[2].format, kDtSingleline | kDtBottom);
  EXPECT_EQ(calls[3].text, "Quorvane Tools");
  EXPECT_EQ(calls[3].colour, Canvas::Sys(kColorCaptionText));
  EXPECT_EQ(calls[3].rect, (Rect{0, 0, 23, 240 + 19 / 2 - 1}));
  EXPECT_EQ(canvas.textColour, 0x123456u);

  // A bare or cut-off marker gives an empty banner, never a read past the text.
  for (const char* caption : {"SIDEBAR!", "SIDE", ""}) {
    Canvas empty;
    const auto texts = (Draw(empty, kSidebarEntryId, Data(caption), 0), empty.Of("text"));
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "");
  }
  Canvas noData;
  MenuPainter(16).Draw(noData, MenuEntryDrawing{kSidebarEntryId, nullptr, Rect{0, 0, 24, 22}, 0});
  EXPECT_EQ(noData.Of("gradient").size(), 1u);
}

TEST(MenuPainter, TextAfterATabIsASecondRightAlignedColumnInTheSecondColour) {
  Canvas canvas;
  canvas.textColour = 0x111;
  MenuPainter::DrawColumnText(canvas, "Open\tCtrl+O\tmore", Rect{0, 0, 100, 20}, 0x222);
  ASSERT_EQ(canvas.calls.size(), 2u);
  EXPECT_EQ(canvas.calls[0].text, "Open");
  EXPECT_EQ(canvas.calls[0].colour, 0x111u);
  EXPECT_EQ(canvas.calls[0].format, kDtSingleline | kDtVcenter);
  EXPECT_EQ(canvas.calls[1].text, "Ctrl+O\tmore");  // split at the first TAB only
  EXPECT_EQ(canvas.calls[1].colour, 0x222u);
  EXPECT_EQ(canvas.calls[1].format, kDtRight | kDtSingleline | kDtVcenter);
  EXPECT_EQ(canvas.textColour, 0x111u);

  Canvas whole;
  MenuPainter::DrawColumnText(whole, "No tab", Rect{0, 0, 100, 20}, 0x222);
  ASSERT_EQ(whole.calls.size(), 1u);
  EXPECT_EQ(whole.calls[0].text, "No tab");
  EXPECT_EQ(whole.calls[0].format, kDtSingleline | kDtVcenter);
}

TEST(MenuPainter, EntryStatesChooseBackgroundTextColourImageAndCheckMark) {
  {
    Canvas canvas;
    const auto calls = Draw(canvas, 2048, Data("Find\tF3", 3), 0);
    EXPECT_EQ(calls[0].op, "fill");
    EXPECT_EQ(calls[0].rect, (Rect{0, 0, 150, 22}));
    EXPECT_EQ(calls[0].colour, Canvas::Sys(kColorMenu));
    const auto image = canvas.Of("image");
    ASSERT_EQ(image.size(), 1u);
    EXPECT_EQ(image[0].image, 3);
    EXPECT_EQ(image[0].rect.left, 3);  // centred in a 22-pixel column
    EXPECT_EQ(image[0].rect.top, 3);
    EXPECT_FALSE(image[0].disabled);
    const auto texts = canvas.Of("text");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].colour, Canvas::Sys(kColorMenuText));
    EXPECT_EQ(texts[0].rect, (Rect{22 + kMenuTextGap, 0, 150 - kMenuRightMargin, 22}));
    EXPECT_EQ(texts[1].colour, Canvas::Sys(kColorGrayText));
    EXPECT_TRUE(canvas.Of("check").empty());
    EXPECT_EQ(canvas.textColour, 0x123456u);
  }
  {
    Canvas canvas;
    Draw(canvas, 2048, Data("Find\tF3"), kOdsSelected | kOdsChecked);
    EXPECT_EQ(canvas.calls[0].colour, Canvas::Sys(kColorHighlight));
    const auto texts = canvas.Of("text");
    EXPECT_EQ(texts[0].colour, Canvas::Sys(kColorHighlightText));
    EXPECT_EQ(texts[1].colour, Canvas::Sys(kColorHighlightText));
    ASSERT_EQ(canvas.Of("check").size(), 1u);
    EXPECT_EQ(canvas.Of("check")[0].rect, (Rect{0, 0, 22, 22}));
  }
  {
    // A disabled entry is not highlighted, and its image is greyed.
    Canvas canvas;
    Draw(canvas, 23048, Data("No POP3 accounts configured", 2), kOdsSelected | kOdsGrayed);
    EXPECT_EQ(canvas.calls[0].colour, Canvas::Sys(kColorMenu));
    EXPECT_EQ(canvas.Of("text")[0].colour, Canvas::Sys(kColorGrayText));
    EXPECT_TRUE(canvas.Of("image")[0].disabled);
  }
  {
    // Without an image list an image index draws nothing.
    Canvas canvas;
    Draw(canvas, 2048, Data("x", 3), 0, 0);
    EXPECT_TRUE(canvas.Of("image").empty());
  }
  {
    Canvas canvas;
    Draw(canvas, 2049, Data("", -1, kMfSeparator), kOdsSelected);
    const auto fills = canvas.Of("fill");
    ASSERT_EQ(fills.size(), 3u);
    EXPECT_EQ(fills[0].colour, Canvas::Sys(kColorMenu));
    EXPECT_EQ(fills[1].rect, (Rect{2, 10, 148, 11}));
    EXPECT_EQ(fills[1].colour, Canvas::Sys(kColor3dShadow));
    EXPECT_EQ(fills[2].colour, Canvas::Sys(kColor3dHighlight));
    EXPECT_TRUE(canvas.Of("text").empty());
  }
}

TEST(MenuPainter, MeasuringLeavesRoomForImagesBothColumnsAndTheArrow) {
  Canvas canvas;
  const MenuPainter painter(16);
  EXPECT_EQ(painter.Measure(canvas, 2048, Data("Open")), (Size{22 + 6 + 28 + 16, 22}));
  EXPECT_EQ(painter.Measure(canvas, 2048, Data("Open\tCtrl+O")),
            (Size{22 + 6 + 28 + kMenuColumnGap + 42 + 16, 22}));
  EXPECT_EQ(painter.Measure(canvas, 2048, Data("", -1, kMfSeparator)),
            (Size{22, kMenuSeparatorHeight}));
  EXPECT_EQ(painter.Measure(canvas, kSidebarEntryId, Data("SIDEBAR!A long banner text")),
            (Size{kMenuSidebarWidth, 22}));
  // Small or missing images still leave a check mark's room; tall ones
  // make taller entries.
  EXPECT_EQ(MenuPainter(0).Measure(canvas, 2048, Data("")), (Size{20 + 6 + 16, 22}));
  EXPECT_EQ(MenuPainter(32).Measure(canvas, 2048, Data("")), (Size{38 + 6 + 16, 38}));
}

TEST_F(ToolbarTest, DroppedMenusAreMeasuredAndDrawnWithTheToolbarImages) {
  ASSERT_TRUE(Build(R"(
    BUTTON { caption = "M" MENU { type = "Single"
      MENUITEM { caption = "SIDEBAR!Tools" }
      MENUITEM { caption = "Home" image = "2" } } }
  )"));
  EXPECT_EQ(toolbar->ImageSize(), 16);
  toolbar->OnDropDown(1024);
  const PopupMenu menu = control.TrackedMenus().back().menu;
  ASSERT_EQ(menu.entries.size(), 2u);

  Canvas canvas;
  const MenuEntry& banner = menu.entries[0];
  EXPECT_EQ(toolbar->MeasureMenuEntry(canvas, banner.id, banner.data).cx, kMenuSidebarWidth);
  toolbar->DrawMenuEntry(canvas, MenuEntryDrawing{banner.id, &banner.data, Rect{0, 0, 24, 22}, 0});
  ASSERT_EQ(canvas.Of("text").size(), 2u);
  EXPECT_EQ(canvas.Of("text")[0].text, "Tools");

  Canvas entry;
  const MenuEntry& home = menu.entries[1];
  EXPECT_EQ(toolbar->MeasureMenuEntry(entry, home.id, home.data), (Size{22 + 6 + 28 + 16, 22}));
  toolbar->DrawMenuEntry(entry, MenuEntryDrawing{home.id, &home.data, Rect{0, 0, 80, 22}, 0});
  ASSERT_EQ(entry.Of("image").size(), 1u);
  EXPECT_EQ(entry.Of("image")[0].image, 2);
}

}  // namespace
}  // namespace qv::test
