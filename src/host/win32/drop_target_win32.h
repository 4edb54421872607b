// OLE drag-and-drop of text onto the toolbar's combo boxes and edit fields.
// The target only carries the OLE side (the data object, the text in its
// global memory block); whether a drag is accepted and what a drop does are
// the input control's rules, found through the toolbar host at every call
// so that a rebuilt toolbar needs no new target.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <cstddef>
#include <string>

namespace qv {

// The most text a drop puts into a control whatever its own limit: a drop
// of megabytes is cut here instead of being copied whole.
inline constexpr size_t kMaxDroppedText = 32767;

// Makes the drop target of an input control window (a TBW_ComboBox or
// TBW_Edit). The caller owns the reference returned.
HRESULT CreateInputDropTarget(HWND window, IDropTarget** out);

// Registers a new drop target for the window. Fails on a thread without
// OleInitialize; the control then works without drag-and-drop.
HRESULT RegisterInputDropTarget(HWND window);
// Gives the registration (and with it the target) up; nothing happens for
// a window that has none.
void RevokeInputDropTarget(HWND window);

// The CF_TEXT of a data object, read from its global memory block: at most
// the block's size, up to its first NUL, and at most limit bytes (never
// ending inside a double-byte character). False when the object offers no
// text in global memory.
bool ReadDroppedText(IDataObject* data, size_t limit, std::string* text);

}  // namespace qv
