// The ActiveX host window: a window of class "AtlAxWin" whose text names
// what it shows. An address (anything with a scheme such as "http:" or a
// path) makes it host a web browser control navigated there; a ProgID or a
// "{CLSID}" makes it host that control. A text that names nothing creates
// nothing and leaves an empty window. A window created without text creates
// its control when it is first given one.
//
// Two private messages reach what it holds, as the page items and their
// superclasses expect: RegisterWindowMessage("WM_ATLGETCONTROL") answers the
// hosted control's IUnknown and RegisterWindowMessage("WM_ATLGETHOST") the
// host's; both pointers are lent, not added to (the window keeps its own
// references, and the callers release only what they ask the pointer for).
#pragma once

#include <windows.h>

namespace qv {

inline constexpr wchar_t kAxHostClassName[] = L"AtlAxWin";

// Registers the window class as a global class under the given module, so
// that windows of any module of the process may be created with it. A second
// call does nothing; a class of that name that another module registered
// first is left as it is and used. False only when there is no such class
// afterwards.
bool RegisterAxHostWindowClass(HINSTANCE module);
// Removes the class if RegisterAxHostWindowClass registered it.
void UnregisterAxHostWindowClass();

// The window procedure, for superclasses that call it for every message
// they do not handle themselves.
LRESULT CALLBACK AxHostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Host objects alive in the process: each window holds one, and one that
// outlives its window means a reference was lost.
long AxHostObjectCount();

}  // namespace qv
