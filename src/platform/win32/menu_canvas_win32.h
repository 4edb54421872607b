// The Win32 backend of the menu-canvas seam: GDI on the device context of a
// WM_DRAWITEM or WM_MEASUREITEM, with the toolbar's image list. The system's
// menu font is selected at the start; everything the canvas selects is
// selected out and deleted when it goes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "platform/menu_canvas.h"
#include "platform/win32/scoped.h"

namespace qv {

class Win32MenuCanvas : public MenuCanvas {
 public:
  Win32MenuCanvas(HDC dc, HIMAGELIST images);
  ~Win32MenuCanvas() override = default;
  Win32MenuCanvas(const Win32MenuCanvas&) = delete;
  Win32MenuCanvas& operator=(const Win32MenuCanvas&) = delete;

  Rect ClipBox() override;
  uint32_t SystemColour(int index) override { return GetSysColor(index); }
  int SystemMetric(int index) override { return GetSystemMetrics(index); }
  void FillSolid(const Rect& rect, uint32_t colour) override;
  void GradientFillVertical(const Rect& rect, uint32_t top, uint32_t bottom) override;
  bool SelectFont(const CanvasFont& font) override;
  uint32_t SetTextColour(uint32_t colour) override { return SetTextColor(dc_, colour); }
  void SetTransparentBackground() override { SetBkMode(dc_, TRANSPARENT); }
  void DrawText(const std::string& text, const Rect& rect, uint32_t format) override;
  Size MeasureText(const std::string& text) override;
  void DrawImage(int index, Point at, bool disabled) override;
  void DrawCheckMark(const Rect& rect) override;

 private:
  void Select(win32::GdiObject<HFONT> font);

  HDC dc_;
  HIMAGELIST images_;  // the toolbar's, not ours
  // Declared after the font so that the restored state selects the
  // original font back in before ours is deleted.
  win32::GdiObject<HFONT> font_;
  win32::ScopedDcState savedState_;
};

}  // namespace qv
