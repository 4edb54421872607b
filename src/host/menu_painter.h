// The drawing of the toolbar's owner-drawn drop-down menu entries: the
// image column with the item images and check marks, the entry text with an
// optional second column after a TAB, separators, and the side banner of a
// menu whose first entry is a "SIDEBAR!" entry.
#pragma once

#include <cstdint>
#include <string>

#include "platform/menu_canvas.h"
#include "platform/toolbar_surface.h"
#include "tbdl/identifiers.h"

namespace qv {

// The identifier a "SIDEBAR!" entry gets when it heads a menu.
inline constexpr size_t kSidebarMarkerLength = 8;  // "SIDEBAR!"

// Layout, in pixels. The image column is the image size plus a margin on
// each side, never narrower than a check mark needs.
inline constexpr int kMenuImageMargin = 3;
inline constexpr int kMenuMinImageColumn = 20;
inline constexpr int kMenuTextGap = 6;
inline constexpr int kMenuColumnGap = 24;    // between the two text columns
inline constexpr int kMenuRightMargin = 16;  // room for a submenu's arrow
inline constexpr int kMenuSeparatorHeight = 8;
inline constexpr int kMenuSidebarWidth = 24;

struct MenuEntryDrawing {
  unsigned id = 0;
  const MenuItemData* data = nullptr;
  Rect rect;
  uint32_t state = 0;  // kOds* bits
};

class MenuPainter {
 public:
  // imageSize: the side of one cell of the toolbar image list (0 for none).
  explicit MenuPainter(int imageSize) : imageSize_(imageSize > 0 ? imageSize : 0) {}

  Size Measure(MenuCanvas& canvas, unsigned id, const MenuItemData& data) const;
  void Draw(MenuCanvas& canvas, const MenuEntryDrawing& entry) const;

  // The banner of entry rect: a vertical gradient over the whole height of
  // the canvas and the caption's text after "SIDEBAR!" running upwards,
  // with a one-pixel shadow.
  static void DrawSidebar(MenuCanvas& canvas, const std::string& caption, const Rect& rect);
  // text in rect: before the first TAB left-aligned in the current text
  // colour, after it right-aligned in secondColour; the text colour is
  // restored afterwards. Without TAB the text is drawn whole.
  static void DrawColumnText(MenuCanvas& canvas, const std::string& text, const Rect& rect,
                             uint32_t secondColour);

 private:
  int ImageColumn() const;
  int EntryHeight(MenuCanvas& canvas) const;

  int imageSize_;
};

}  // namespace qv
