#include "host/win32/menu_messages_win32.h"

#include "host/toolbar_ctrl.h"
#include "platform/win32/menu_canvas_win32.h"
#include "platform/win32/scoped.h"
#include "platform/win32/toolbar_surface_win32.h"

namespace qv {
namespace {

MenuItemData DataOf(const Win32ToolbarSurface::MenuRecord& record) {
  MenuItemData data;
  data.text = record.text ? record.text : "";
  data.typeFlags = record.typeFlags;
  data.drawState = record.drawState;
  data.image = record.image;
  return data;
}

}  // namespace

bool HandleMenuDrawMessage(TBWToolBarCtrl& toolbar, Win32ToolbarSurface& control, UINT message,
                           WPARAM, LPARAM lParam, LRESULT* result) {
  if (message == WM_MEASUREITEM) {
    auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    if (!measure || measure->CtlType != ODT_MENU) return false;
    const Win32ToolbarSurface::MenuRecord* record = control.FindMenuRecord(measure->itemData);
    if (!record) return false;
    win32::ScopedWindowDc dc(control.Handle());  // for measuring
    if (!dc.get()) return false;
    Win32MenuCanvas canvas(dc.get(), control.NormalImages());
    const Size size = toolbar.MeasureMenuEntry(canvas, measure->itemID, DataOf(*record));
    measure->itemWidth = static_cast<UINT>(size.cx);
    measure->itemHeight = static_cast<UINT>(size.cy);
    *result = TRUE;
    return true;
  }
  if (message == WM_DRAWITEM) {
    auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    if (!draw || draw->CtlType != ODT_MENU) return false;
    const Win32ToolbarSurface::MenuRecord* record = control.FindMenuRecord(draw->itemData);
    if (!record) return false;
    const MenuItemData data = DataOf(*record);
    Win32MenuCanvas canvas(draw->hDC, control.NormalImages());
    MenuEntryDrawing entry;
    entry.id = draw->itemID;
    entry.data = &data;
    entry.rect = Rect{draw->rcItem.left, draw->rcItem.top, draw->rcItem.right, draw->rcItem.bottom};
    entry.state = draw->itemState;
    toolbar.DrawMenuEntry(canvas, entry);
    *result = TRUE;
    return true;
  }
  return false;
}

}  // namespace qv
