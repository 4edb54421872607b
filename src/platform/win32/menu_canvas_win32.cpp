#include "platform/win32/menu_canvas_win32.h"

namespace qv {
namespace {

RECT ToRect(const Rect& r) {
  return RECT{r.left, r.top, r.right, r.bottom};
}

COLOR16 Channel(BYTE value) {
  return static_cast<COLOR16>(value << 8);
}

using win32::GdiObject;

GdiObject<HFONT> SystemMenuFont() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    return GdiObject<HFONT>();
  return GdiObject<HFONT>(CreateFontIndirectA(&metrics.lfMenuFont));
}

}  // namespace

Win32MenuCanvas::Win32MenuCanvas(HDC dc, HIMAGELIST images)
    : dc_(dc), images_(images), savedState_(dc) {
  Select(SystemMenuFont());
}

void Win32MenuCanvas::Select(GdiObject<HFONT> font) {
  if (!font) return;
  SelectObject(dc_, font.get());
  font_ = std::move(font);  // the previous font is no longer selected
}

Rect Win32MenuCanvas::ClipBox() {
  RECT r{};
  if (GetClipBox(dc_, &r) == ERROR) return Rect{};
  return Rect{r.left, r.top, r.right, r.bottom};
}

void Win32MenuCanvas::FillSolid(const Rect& rect, uint32_t colour) {
  RECT r = ToRect(rect);
  GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
  if (brush) FillRect(dc_, &r, brush.get());
}

void Win32MenuCanvas::GradientFillVertical(const Rect& rect, uint32_t top, uint32_t bottom) {
  TRIVERTEX corners[2] = {
      {rect.left, rect.top, Channel(GetRValue(top)), Channel(GetGValue(top)),
       Channel(GetBValue(top)), 0},
      {rect.right, rect.bottom, Channel(GetRValue(bottom)), Channel(GetGValue(bottom)),
       Channel(GetBValue(bottom)), 0},
  };
  GRADIENT_RECT span{0, 1};
  GradientFill(dc_, corners, 2, &span, 1, GRADIENT_FILL_RECT_V);
}

bool Win32MenuCanvas::SelectFont(const CanvasFont& spec) {
  LOGFONTA font{};
  font.lfHeight = spec.height;
  font.lfEscapement = spec.escapement;
  font.lfOrientation = spec.orientation;
  font.lfWeight = spec.weight;
  font.lfItalic = spec.italic ? TRUE : FALSE;
  font.lfCharSet = spec.charset;
  font.lfClipPrecision = spec.clipPrecision;
  font.lfQuality = spec.quality;
  font.lfPitchAndFamily = spec.pitchAndFamily;
  lstrcpynA(font.lfFaceName, spec.face.c_str(), LF_FACESIZE);
  GdiObject<HFONT> made(CreateFontIndirectA(&font));
  if (!made) return false;
  Select(std::move(made));
  return true;
}

void Win32MenuCanvas::DrawText(const std::string& text, const Rect& rect, uint32_t format) {
  RECT r = ToRect(rect);
  ::DrawTextA(dc_, text.c_str(), static_cast<int>(text.size()), &r, format);
}

Size Win32MenuCanvas::MeasureText(const std::string& text) {
  SIZE size{};
  GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
  return Size{size.cx, size.cy};
}

void Win32MenuCanvas::DrawImage(int index, Point at, bool disabled) {
  if (!images_ || index < 0 || index >= ImageList_GetImageCount(images_)) return;
  if (disabled) {
    ImageList_DrawEx(images_, index, dc_, at.x, at.y, 0, 0, CLR_NONE, GetSysColor(COLOR_MENU),
                     ILD_TRANSPARENT | ILD_BLEND50);
  } else {
    ImageList_Draw(images_, index, dc_, at.x, at.y, ILD_TRANSPARENT);
  }
}

void Win32MenuCanvas::DrawCheckMark(const Rect& rect) {
  RECT r = ToRect(rect);
  DrawFrameControl(dc_, &r, DFC_MENU, DFCS_MENUCHECK);
}

}  // namespace qv
