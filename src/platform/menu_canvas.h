// The menu-canvas seam: what the drawing of owner-drawn popup-menu entries
// asks of a device context. The Win32 backend wraps the HDC of a
// WM_DRAWITEM or WM_MEASUREITEM; tests record the calls. Colours are
// COLORREF values (0x00BBGGRR); system colour and metric indices, text
// formats and font fields keep their Windows values.
#pragma once

#include <cstdint>
#include <string>

#include "platform/toolbar_surface.h"

namespace qv {

// System colours (COLOR_*).
inline constexpr int kColorMenu = 4;
inline constexpr int kColorMenuText = 7;
inline constexpr int kColorCaptionText = 9;
inline constexpr int kColorActiveCaption = 2;
inline constexpr int kColorHighlight = 13;
inline constexpr int kColorHighlightText = 14;
inline constexpr int kColor3dShadow = 16;
inline constexpr int kColorGrayText = 17;
inline constexpr int kColor3dHighlight = 20;
inline constexpr int kColorGradientActiveCaption = 27;

// System metrics (SM_*).
inline constexpr int kSmCyMenu = 15;

// DrawText formats (DT_*).
inline constexpr uint32_t kDtLeft = 0x0000;
inline constexpr uint32_t kDtRight = 0x0002;
inline constexpr uint32_t kDtVcenter = 0x0004;
inline constexpr uint32_t kDtBottom = 0x0008;
inline constexpr uint32_t kDtSingleline = 0x0020;

// Owner-draw item states (ODS_*).
inline constexpr uint32_t kOdsSelected = 0x0001;
inline constexpr uint32_t kOdsGrayed = 0x0002;
inline constexpr uint32_t kOdsDisabled = 0x0004;
inline constexpr uint32_t kOdsChecked = 0x0008;

inline constexpr uint32_t kBlack = 0x000000;

struct Size {
  int cx = 0;
  int cy = 0;
  bool operator==(const Size&) const = default;
};

// The LOGFONT fields a menu drawing sets; the others are 0.
struct CanvasFont {
  std::string face;
  int height = 0;
  int escapement = 0;  // tenths of a degree
  int orientation = 0;
  int weight = 400;
  bool italic = false;
  uint8_t charset = 1;  // DEFAULT_CHARSET
  uint8_t clipPrecision = 0;
  uint8_t quality = 0;
  uint8_t pitchAndFamily = 0;
  bool operator==(const CanvasFont&) const = default;
};

class MenuCanvas {
 public:
  virtual ~MenuCanvas() = default;

  // GetClipBox: the part of the device context that may be painted.
  virtual Rect ClipBox() = 0;
  virtual uint32_t SystemColour(int index) = 0;
  virtual int SystemMetric(int index) = 0;

  virtual void FillSolid(const Rect& rect, uint32_t colour) = 0;
  // GradientFill with GRADIENT_FILL_RECT_V: top colour to bottom colour.
  virtual void GradientFillVertical(const Rect& rect, uint32_t top, uint32_t bottom) = 0;

  // Selects a font made from the fields until the canvas is destroyed or
  // another font is selected; false when none could be made. The system's
  // menu font is selected from the start.
  virtual bool SelectFont(const CanvasFont& font) = 0;
  // SetTextColor: returns the previous colour.
  virtual uint32_t SetTextColour(uint32_t colour) = 0;
  // SetBkMode(TRANSPARENT).
  virtual void SetTransparentBackground() = 0;
  virtual void DrawText(const std::string& text, const Rect& rect, uint32_t format) = 0;
  // The extent of one line of text in the selected font.
  virtual Size MeasureText(const std::string& text) = 0;

  // One image of the toolbar's image list at its top-left corner, greyed
  // when disabled. Images that do not exist draw nothing.
  virtual void DrawImage(int index, Point at, bool disabled) = 0;
  // The menu check mark in rect.
  virtual void DrawCheckMark(const Rect& rect) = 0;
};

}  // namespace qv
