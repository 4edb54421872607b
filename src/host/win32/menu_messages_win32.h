// The toolbar control's window procedure hands WM_MEASUREITEM and
// WM_DRAWITEM here: the owner-drawn entries of the drop-down menu being
// shown are measured and painted by the toolbar window.
#pragma once

#include <windows.h>

namespace qv {

class TBWToolBarCtrl;
class Win32ToolbarSurface;

// True when the message was an entry of the toolbar's own menu and has been
// answered (*result is the window procedure's result); false for anything
// else, which then takes the default path.
bool HandleMenuDrawMessage(TBWToolBarCtrl& toolbar, Win32ToolbarSurface& control, UINT message,
                           WPARAM wParam, LPARAM lParam, LRESULT* result);

}  // namespace qv
