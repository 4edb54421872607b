#include "host/menu_painter.h"

#include <algorithm>

namespace qv {
namespace {

constexpr uint32_t kColumnFormat = kDtSingleline | kDtVcenter;

bool IsSeparator(const MenuItemData& data) {
  return (data.typeFlags & kMfSeparator) != 0;
}

}  // namespace

int MenuPainter::ImageColumn() const {
  return std::max(kMenuMinImageColumn, imageSize_ + 2 * kMenuImageMargin);
}

int MenuPainter::EntryHeight(MenuCanvas& canvas) const {
  const int text = canvas.MeasureText("Ag").cy;
  return std::max(imageSize_ + 2 * kMenuImageMargin, text + 6);
}

Size MenuPainter::Measure(MenuCanvas& canvas, unsigned id, const MenuItemData& data) const {
  // The banner fills its own column; the height of the menu comes from the
  // entries of the other column.
  if (id == kSidebarEntryId) return Size{kMenuSidebarWidth, EntryHeight(canvas)};
  if (IsSeparator(data)) return Size{ImageColumn(), kMenuSeparatorHeight};

  int textWidth = 0;
  const size_t tab = data.text.find('\t');
  if (tab == std::string::npos) {
    textWidth = canvas.MeasureText(data.text).cx;
  } else {
    textWidth = canvas.MeasureText(data.text.substr(0, tab)).cx + kMenuColumnGap +
                canvas.MeasureText(data.text.substr(tab + 1)).cx;
  }
  return Size{ImageColumn() + kMenuTextGap + textWidth + kMenuRightMargin, EntryHeight(canvas)};
}

void MenuPainter::Draw(MenuCanvas& canvas, const MenuEntryDrawing& entry) const {
  static const MenuItemData kNoData;
  const MenuItemData& data = entry.data ? *entry.data : kNoData;
  const Rect& r = entry.rect;
  if (entry.id == kSidebarEntryId) {
    DrawSidebar(canvas, data.text, r);
    return;
  }

  if (IsSeparator(data)) {
    canvas.FillSolid(r, canvas.SystemColour(kColorMenu));
    const int middle = r.top + r.Height() / 2;
    canvas.FillSolid(Rect{r.left + 2, middle - 1, r.right - 2, middle},
                     canvas.SystemColour(kColor3dShadow));
    canvas.FillSolid(Rect{r.left + 2, middle, r.right - 2, middle + 1},
                     canvas.SystemColour(kColor3dHighlight));
    return;
  }

  const bool disabled = (entry.state & (kOdsGrayed | kOdsDisabled)) != 0;
  const bool selected = (entry.state & kOdsSelected) != 0 && !disabled;
  canvas.FillSolid(r, canvas.SystemColour(selected ? kColorHighlight : kColorMenu));

  const Rect imageColumn{r.left, r.top, r.left + ImageColumn(), r.bottom};
  if (data.image >= 0 && imageSize_ > 0) {
    const int x = imageColumn.left + (imageColumn.Width() - imageSize_) / 2;
    const int y = r.top + (r.Height() - imageSize_) / 2;
    canvas.DrawImage(data.image, Point{x, y}, disabled);
  } else if (entry.state & kOdsChecked) {
    canvas.DrawCheckMark(imageColumn);
  }

  const uint32_t textColour = canvas.SystemColour(disabled   ? kColorGrayText
                                                  : selected ? kColorHighlightText
                                                             : kColorMenuText);
  // The second column is quieter than the entry's own text, except on the
  // selection, where grey would vanish.
  const uint32_t secondColour =
      canvas.SystemColour(selected ? kColorHighlightText : kColorGrayText);
  const uint32_t previous = canvas.SetTextColour(textColour);
  canvas.SetTransparentBackground();
  const Rect text{imageColumn.right + kMenuTextGap, r.top, r.right - kMenuRightMargin, r.bottom};
  DrawColumnText(canvas, data.text, text, secondColour);
  canvas.SetTextColour(previous);
}

void MenuPainter::DrawSidebar(MenuCanvas& canvas, const std::string& caption, const Rect& r) {
  const std::string text =
      caption.size() > kSidebarMarkerLength ? caption.substr(kSidebarMarkerLength) : "";
  const int width = r.Width();
  const int height = canvas.ClipBox().Height();
  canvas.GradientFillVertical(Rect{r.left, r.top, r.right, r.top + height},
                              canvas.SystemColour(kColorGradientActiveCaption),
                              canvas.SystemColour(kColorActiveCaption));

  CanvasFont font;
  font.face = "Times New Roman";
  font.height = width;
  font.escapement = 900;
  font.orientation = 900;
  font.weight = 700;
  font.italic = true;
  font.charset = 0;         // ANSI_CHARSET
  font.clipPrecision = 15;  // CLIP_MASK
  font.quality = 2;         // PROOF_QUALITY
  canvas.SelectFont(font);

  canvas.SetTransparentBackground();
  const Rect shadow{r.left + 1, r.top + 1, r.left + width,
                    r.top + height + canvas.SystemMetric(kSmCyMenu) / 2};
  const uint32_t previous = canvas.SetTextColour(kBlack);
  canvas.DrawText(text, shadow, kDtSingleline | kDtBottom);
  canvas.SetTextColour(canvas.SystemColour(kColorCaptionText));
  canvas.DrawText(text, Rect{shadow.left - 1, shadow.top - 1, shadow.right - 1, shadow.bottom - 1},
                  kDtSingleline | kDtBottom);
  canvas.SetTextColour(previous);
}

void MenuPainter::DrawColumnText(MenuCanvas& canvas, const std::string& text, const Rect& rect,
                                 uint32_t secondColour) {
  const size_t tab = text.find('\t');
  if (tab == std::string::npos) {
    canvas.DrawText(text, rect, kDtLeft | kColumnFormat);
    return;
  }
  canvas.DrawText(text.substr(0, tab), rect, kDtLeft | kColumnFormat);
  const uint32_t previous = canvas.SetTextColour(secondColour);
  canvas.DrawText(text.substr(tab + 1), rect, kDtRight | kColumnFormat);
  canvas.SetTextColour(previous);
}

}  // namespace qv
