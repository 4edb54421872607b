// The Win32 windows of one toolbar: the reflector window that sits in the
// band's site window and parents the toolbar control (TBWToolBarCtrl, a
// superclass of ToolbarWindow32), the control itself, and the superclassed
// combo boxes and edit fields the items make.
// The host turns their window messages into calls of the portable toolbar
// window object; nothing here decides what a click or a key does.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "host/toolbar_hooks.h"
#include "platform/win32/scoped.h"

namespace qv {

class ResourceLookup;
class TBWToolBarCtrl;
class Win32ToolbarSurface;

inline constexpr char kReflectorWindowClass[] = "TBWToolBarReflectorWindow";
inline constexpr char kToolbarControlClass[] = "TBWToolBarCtrl";
inline constexpr char kComboBoxWindowClass[] = "TBW_ComboBox";
inline constexpr char kEditWindowClass[] = "TBW_Edit";

// Registers the reflector class and the three superclasses with the module
// instance; registering again is harmless. The superclasses are global so
// that the toolbar surface can create them whatever instance it names.
bool RegisterToolbarWindowClasses(HINSTANCE instance);
// For the module's unload: fails for a class that still has windows.
void UnregisterToolbarWindowClasses(HINSTANCE instance);

class ToolbarWindowHost {
 public:
  // Creates the reflector over the site window's client area and the
  // toolbar control in it; null when a window could not be made.
  static std::unique_ptr<ToolbarWindowHost> Create(HINSTANCE instance, HWND site,
                                                   ResourceLookup& lookup,
                                                   ToolbarHooks hooks = ToolbarHooks::Defaults());
  ~ToolbarWindowHost();
  ToolbarWindowHost(const ToolbarWindowHost&) = delete;
  ToolbarWindowHost& operator=(const ToolbarWindowHost&) = delete;

  HWND Reflector() const { return reflector_.get(); }
  HWND Control() const { return control_; }
  TBWToolBarCtrl& Toolbar() { return *toolbar_; }
  Win32ToolbarSurface& Surface() { return *surface_; }

  // Has the child windows a deferred build left out made once the
  // messages now queued were handled, so that the band is on screen
  // before its controls cost anything.
  void RequestPendingItemWindows();

  // The host of a toolbar control, or of a control (or a combo box's edit
  // part) inside one; null for any other window.
  static ToolbarWindowHost* FromWindow(HWND window);

 private:
  friend bool RegisterToolbarWindowClasses(HINSTANCE instance);
  ToolbarWindowHost() = default;
  static LRESULT CALLBACK ReflectorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool OnReflectorMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  bool OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  bool OnNotify(NMHDR* header, LRESULT* result);
  void ForgetControl();

  win32::ScopedWindow reflector_;
  HWND control_ = nullptr;  // a child of the reflector, destroyed with it
  std::unique_ptr<Win32ToolbarSurface> surface_;
  // Null while it is being destroyed: messages its teardown causes then
  // take the default path.
  std::unique_ptr<TBWToolBarCtrl> toolbar_;
  // The last tooltip text handed out; the tooltip control reads it after
  // the notification returns.
  std::string tipText_;
  std::wstring tipTextWide_;
};

}  // namespace qv
