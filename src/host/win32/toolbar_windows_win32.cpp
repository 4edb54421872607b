#include "host/win32/toolbar_windows_win32.h"

#include <commctrl.h>

#include <cstring>
#include <mutex>
#include <optional>

#include "host/mail_feature.h"
#include "host/toolbar_ctrl.h"
#include "host/win32/drop_target_win32.h"
#include "host/win32/menu_messages_win32.h"
#include "platform/win32/toolbar_surface_win32.h"
#include "tbdl/identifiers.h"

namespace qv {
namespace {

constexpr char kHostProperty[] = "QuorvaneToolbarHost";
constexpr UINT_PTR kEditPartSubclass = 0x5158;
constexpr int kBandHeight = 22;
// Posted to the toolbar control: make the child windows a deferred build
// left out.
constexpr UINT kCreateItemWindowsMessage = WM_APP + 0x51;

// The procedures of the system classes the superclasses pass messages on to.
WNDPROC g_comboBoxProc = nullptr;
WNDPROC g_editProc = nullptr;
WNDPROC g_toolbarProc = nullptr;
// Where the toolbar control keeps its host: the window bytes after the
// system class's own. A window property would be read through the window
// server on every message, and the control gets hundreds while it builds.
int g_toolbarHostOffset = -1;

WindowId W(HWND window) {
  return reinterpret_cast<WindowId>(window);
}

// Client coordinates are signed (the pointer may be left of or above the
// window while captured).
int SignedWord(WORD word) {
  return static_cast<short>(word);
}

bool HasClass(HWND window, const char* name) {
  char buffer[64] = {};
  return GetClassNameA(window, buffer, sizeof buffer) > 0 && lstrcmpiA(buffer, name) == 0;
}

// Keys in an input control that the toolbar must see even when the
// browser's accelerator pass never offers them to the band: Tab moves
// between the controls, and the key-up of Enter starts the item's search.
// The editing keys need nothing here: when they arrive, the control edits.
bool HandleInputKey(HWND window, UINT message, WPARAM wParam, LRESULT* result) {
  if (message != WM_KEYDOWN && message != WM_KEYUP && message != WM_CHAR) return false;
  ToolbarWindowHost* host = ToolbarWindowHost::FromWindow(window);
  if (!host) return false;
  TBWToolBarCtrl& toolbar = host->Toolbar();
  for (InputControl& control : toolbar.Keyboard().Controls()) {
    if (control.EditWindow() != W(window)) continue;
    *result = 0;
    if (wParam == VK_TAB) {
      // The character of a Tab only beeps in a single-line field.
      if (message == WM_KEYDOWN) toolbar.OnForwardedKeyDown(VK_TAB);
      return true;
    }
    if (message == WM_KEYUP && wParam == VK_RETURN) {
      return control.TranslateKey(Message{W(window), WM_KEYUP, wParam, 0}) == kSOk;
    }
    return false;
  }
  return false;
}

LRESULT CALLBACK EditPartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR) {
  LRESULT result = 0;
  if (HandleInputKey(window, message, wParam, &result)) return result;
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, EditPartProc, kEditPartSubclass);
  return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK ComboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  // A drop-down list has no edit part: its keys arrive here.
  if (HandleInputKey(window, message, wParam, &result)) return result;
  if (message == WM_DESTROY) RevokeInputDropTarget(window);
  result = CallWindowProcA(g_comboBoxProc, window, message, wParam, lParam);
  if (message == WM_CREATE && result != -1) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(window, &info) && info.hwndItem && info.hwndItem != window)
      SetWindowSubclass(info.hwndItem, EditPartProc, kEditPartSubclass, 0);
    // Without OLE on this thread the box simply takes no drops.
    RegisterInputDropTarget(window);
  }
  return result;
}

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleInputKey(window, message, wParam, &result)) return result;
  if (message == WM_DESTROY) RevokeInputDropTarget(window);
  result = CallWindowProcA(g_editProc, window, message, wParam, lParam);
  if (message == WM_CREATE && result != -1) RegisterInputDropTarget(window);
  if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
    // The browser routes keys to the band only while it knows the band
    // has the focus.
    if (ToolbarWindowHost* host = ToolbarWindowHost::FromWindow(window);
        host && host->Toolbar().Keyboard().ItemOfEditWindow(W(window)) >= 0)
      host->Toolbar().Keyboard().NotifyFocusChange(message == WM_SETFOCUS);
  }
  return result;
}

// extraBytes, when given, receives the offset of one pointer's worth of
// window bytes added after the base class's own.
bool RegisterSuperclass(HINSTANCE instance, const char* base, const char* name, WNDPROC proc,
                        WNDPROC* original, int* extraBytes = nullptr) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(instance, name, &wc)) return true;
  if (!GetClassInfoExA(nullptr, base, &wc)) return false;
  *original = wc.lpfnWndProc;
  if (extraBytes) {
    *extraBytes = wc.cbWndExtra;
    wc.cbWndExtra += static_cast<int>(sizeof(LONG_PTR));
  }
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.lpszClassName = name;
  wc.style |= CS_GLOBALCLASS;
  return RegisterClassExA(&wc) != 0;
}

std::mutex g_registration;

}  // namespace

bool RegisterToolbarWindowClasses(HINSTANCE instance) {
  // Every browser window's thread may build its toolbar at once.
  std::lock_guard<std::mutex> lock(g_registration);
  INITCOMMONCONTROLSEX init{sizeof init, ICC_BAR_CLASSES};
  InitCommonControlsEx(&init);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(instance, kReflectorWindowClass, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &ToolbarWindowHost::ReflectorProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);  // shared: never destroyed
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kReflectorWindowClass;
    if (!RegisterClassExA(&wc)) return false;
  }
  return RegisterSuperclass(instance, TOOLBARCLASSNAMEA, kToolbarControlClass,
                            &ToolbarWindowHost::ControlProc, &g_toolbarProc,
                            &g_toolbarHostOffset) &&
         RegisterSuperclass(instance, "COMBOBOX", kComboBoxWindowClass, ComboBoxProc,
                            &g_comboBoxProc) &&
         RegisterSuperclass(instance, "EDIT", kEditWindowClass, EditProc, &g_editProc);
}

void UnregisterToolbarWindowClasses(HINSTANCE instance) {
  std::lock_guard<std::mutex> lock(g_registration);
  for (const char* name :
       {kReflectorWindowClass, kToolbarControlClass, kComboBoxWindowClass, kEditWindowClass})
    UnregisterClassA(name, instance);
}

std::unique_ptr<ToolbarWindowHost> ToolbarWindowHost::Create(HINSTANCE instance, HWND site,
                                                             ResourceLookup& lookup,
                                                             ToolbarHooks hooks) {
  if (!RegisterToolbarWindowClasses(instance)) return nullptr;
  std::unique_ptr<ToolbarWindowHost> host(new ToolbarWindowHost);
  RECT client{};
  GetClientRect(site, &client);
  host->reflector_.Reset(CreateWindowExA(
      0, kReflectorWindowClass, "", WS_CHILD | WS_CLIPCHILDREN, client.left, client.top,
      client.right - client.left, client.bottom - client.top, site, nullptr, instance, host.get()));
  if (!host->reflector_) return nullptr;
  host->control_ = CreateWindowExA(
      0, kToolbarControlClass, "",
      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_FLAT | TBSTYLE_LIST |
          TBSTYLE_TOOLTIPS | CCS_TOP | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
      0, 0, 1024, kBandHeight, host->reflector_.get(), nullptr, instance, nullptr);
  if (!host->control_) return nullptr;
  SetWindowLongPtrA(host->control_, g_toolbarHostOffset, reinterpret_cast<LONG_PTR>(host.get()));
  // The property lets the control's children find the host; only their
  // keys and focus changes look it up.
  if (!SetPropA(host->control_, kHostProperty, host.get())) {
    host->ForgetControl();
    return nullptr;
  }
  host->surface_ = std::make_unique<Win32ToolbarSurface>(host->control_);
  host->toolbar_ = std::make_unique<TBWToolBarCtrl>(*host->surface_, lookup, hooks);
  return host;
}

ToolbarWindowHost::~ToolbarWindowHost() {
  // The toolbar destroys its child windows while the control is there;
  // the surface then lets go of the image lists and the font.
  toolbar_.reset();
  surface_.reset();
  ForgetControl();
  if (reflector_) SetWindowLongPtrA(reflector_.get(), GWLP_USERDATA, 0);
  reflector_.Reset();
}

void ToolbarWindowHost::ForgetControl() {
  if (!control_) return;
  SetWindowLongPtrA(control_, g_toolbarHostOffset, 0);
  RemovePropA(control_, kHostProperty);
  control_ = nullptr;
}

void ToolbarWindowHost::RequestPendingItemWindows() {
  if (control_ && toolbar_ && toolbar_->ItemWindowsPending())
    PostMessageA(control_, kCreateItemWindowsMessage, 0, 0);
}

ToolbarWindowHost* ToolbarWindowHost::FromWindow(HWND window) {
  // A control's window, a combo box's edit part, then the toolbar control.
  for (int depth = 0; window && depth < 3; ++depth, window = GetParent(window)) {
    auto* host = static_cast<ToolbarWindowHost*>(GetPropA(window, kHostProperty));
    if (host) return host->toolbar_ ? host : nullptr;
  }
  return nullptr;
}

LRESULT CALLBACK ToolbarWindowHost::ReflectorProc(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* host = reinterpret_cast<ToolbarWindowHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (host && message == WM_NCDESTROY) {
    // Destroyed with the site window, before the host: nothing to destroy later.
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    host->reflector_.Detach();
    host->ForgetControl();
  } else if (host && host->toolbar_) {
    LRESULT result = 0;
    if (host->OnReflectorMessage(message, wParam, lParam, &result)) return result;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool ToolbarWindowHost::OnReflectorMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                           LRESULT* result) {
  switch (message) {
    case WM_COMMAND:
      // Button clicks come from the control; anything else is not ours.
      if (reinterpret_cast<HWND>(lParam) != control_ || !control_) return false;
      toolbar_->OnCommand(LOWORD(wParam), false);
      *result = 0;
      return true;
    case WM_NOTIFY:
      return lParam && OnNotify(reinterpret_cast<NMHDR*>(lParam), result);
    case WM_SIZE:
      // The control fills the band; buttons that do not fit are clipped.
      if (control_) MoveWindow(control_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      *result = 0;
      return true;
    default:
      return false;
  }
}

bool ToolbarWindowHost::OnNotify(NMHDR* header, LRESULT* result) {
  if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) {
    // Tools registered by window handle (the input controls) carry their
    // own text; the buttons' tools are their command identifiers.
    auto* infoA = reinterpret_cast<NMTTDISPINFOA*>(header);
    if (infoA->uFlags & TTF_IDISHWND) return false;
    std::optional<std::string> text = toolbar_->ToolTipText(static_cast<int>(header->idFrom));
    if (!text) return false;
    tipText_ = *text;
    if (header->code == TTN_GETDISPINFOA) {
      infoA->hinst = nullptr;
      infoA->lpszText = tipText_.data();
    } else {
      auto* infoW = reinterpret_cast<NMTTDISPINFOW*>(header);
      const int n = MultiByteToWideChar(CP_ACP, 0, tipText_.c_str(), -1, nullptr, 0);
      tipTextWide_.assign(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
      if (n > 0) MultiByteToWideChar(CP_ACP, 0, tipText_.c_str(), -1, tipTextWide_.data(), n);
      infoW->hinst = nullptr;
      infoW->lpszText = tipTextWide_.data();
    }
    *result = 0;
    return true;
  }
  if (header->hwndFrom != control_ || !control_) return false;
  if (header->code == NM_CUSTOMDRAW) {
    auto* draw = reinterpret_cast<NMTBCUSTOMDRAW*>(header);
    CustomDrawInfo info;
    info.stage = draw->nmcd.dwDrawStage;
    info.command = static_cast<int>(draw->nmcd.dwItemSpec);
    info.itemState = draw->nmcd.uItemState;
    info.textColour = draw->clrText;
    *result = toolbar_->OnCustomDraw(info);
    draw->clrText = info.textColour;
    return true;
  }
  if (header->code == TBN_DROPDOWN) {
    toolbar_->OnDropDown(reinterpret_cast<NMTOOLBARA*>(header)->iItem);
    *result = TBDDRET_DEFAULT;
    return true;
  }
  return false;
}

LRESULT CALLBACK ToolbarWindowHost::ControlProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  // Null until the host has taken the window and after it let go.
  auto* host = reinterpret_cast<ToolbarWindowHost*>(GetWindowLongPtrA(window, g_toolbarHostOffset));
  if (host && message == WM_NCDESTROY) {
    host->ForgetControl();
  } else if (host && host->toolbar_) {
    LRESULT result = 0;
    if (host->OnControlMessage(message, wParam, lParam, &result)) return result;
  }
  return CallWindowProcA(g_toolbarProc, window, message, wParam, lParam);
}

bool ToolbarWindowHost::OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                         LRESULT* result) {
  TBWToolBarCtrl& toolbar = *toolbar_;
  *result = 0;
  switch (message) {
    case WM_COMMAND: {
      const auto from = reinterpret_cast<HWND>(lParam);
      const unsigned code = HIWORD(wParam);
      if (!from) {
        // A menu choice (code 0); accelerators (code 1) are not ours.
        if (code != 0) return false;
        toolbar.OnCommand(LOWORD(wParam), true);
        return true;
      }
      const int index = toolbar.ItemOfWindow(W(from));
      if (index < 0) return false;
      if (toolbar.ItemBitmapWindow(index) == W(from)) {
        if (code == BN_CLICKED) toolbar.OnBitmapButtonClick(W(from));
        return true;
      }
      if (toolbar.ItemWindow(index) == W(from) && HasClass(from, kComboBoxWindowClass)) {
        toolbar.OnComboNotification(W(from), code);
        return true;
      }
      return false;
    }
    case WM_TIMER:
      // The control's own timers (hot tracking, tooltips) stay its own.
      if (!toolbar.Timers().IsRegistered(static_cast<unsigned>(wParam))) return false;
      toolbar.OnTimer(static_cast<unsigned>(wParam));
      return true;
    case WM_MENUSELECT:
      toolbar.OnMenuSelect(LOWORD(wParam), HIWORD(wParam));
      return true;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
      return HandleMenuDrawMessage(toolbar, *surface_, message, wParam, lParam, result);
    case WM_KEYDOWN:
      return wParam == VK_TAB && toolbar.OnForwardedKeyDown(VK_TAB);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      return toolbar.OnMouseMessage(message,
                                    Point{SignedWord(LOWORD(lParam)), SignedWord(HIWORD(lParam))});
    default:
      if (message == kCreateItemWindowsMessage) {
        toolbar.CreatePendingItemWindows();
        return true;
      }
      if (message == kIndicatorRefreshMessage) {
        if (auto* mail = toolbar.FindFeature<MailFeature>()) mail->RefreshIndicators();
        return true;
      }
      return false;
  }
}

}  // namespace qv
