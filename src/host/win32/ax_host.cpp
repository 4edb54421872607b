#include "host/win32/ax_host.h"

#include <exdisp.h>
#include <ocidl.h>
#include <oleidl.h>

#include <span>
#include <string>

#include "host/win32/com_object.h"
#include "platform/win32/scoped.h"

namespace qv {
namespace {

using win32::ComRef;

// The window keeps its host object here rather than in the window's extra
// bytes or user data, which superclasses are free to use for themselves.
constexpr wchar_t kHostProperty[] = L"QuorvaneAxHost";

LONG g_hostObjects = 0;
HINSTANCE g_registeredModule = nullptr;  // set while the class is ours

UINT GetControlMessage() {
  static const UINT message = RegisterWindowMessageW(L"WM_ATLGETCONTROL");
  return message;
}
UINT GetHostMessage() {
  static const UINT message = RegisterWindowMessageW(L"WM_ATLGETHOST");
  return message;
}

// An address has a scheme of two or more characters ("http:", "about:",
// "file:"; one letter is a drive) or is a path. ProgIDs have neither.
bool IsAddress(const std::wstring& text) {
  if (text.find_first_of(L"/\\") != std::wstring::npos) return true;
  const size_t colon = text.find(L':');
  if (colon == std::wstring::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    const wchar_t c = text[i];
    const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    const bool other = (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
    if (!letter && (i == 0 || !other)) return false;
  }
  return true;
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

// The site a hosted control talks to: its client site, in-place site and
// frame in one object. The control lives in the window's client area and
// has no menus, borders or tools to negotiate, so most of the frame's
// methods decline.
class AxHostSite : public ComObjectRoot,
                   public IOleClientSite,
                   public IOleInPlaceSite,
                   public IOleInPlaceFrame {
 public:
  AxHostSite() { InterlockedIncrement(&g_hostObjects); }
  ~AxHostSite() override { InterlockedDecrement(&g_hostObjects); }

  static std::span<const QiEntry<AxHostSite>> Interfaces() {
    static const QiEntry<AxHostSite> table[] = {
        Interface<AxHostSite, IOleClientSite>(IID_IOleClientSite),
        Interface<AxHostSite, IOleInPlaceSite>(IID_IOleInPlaceSite),
        Interface<AxHostSite, IOleWindow, IOleInPlaceSite>(IID_IOleWindow),
        Interface<AxHostSite, IOleInPlaceUIWindow, IOleInPlaceFrame>(IID_IOleInPlaceUIWindow),
        Interface<AxHostSite, IOleInPlaceFrame>(IID_IOleInPlaceFrame),
    };
    return table;
  }

  void SetWindow(HWND window) { window_ = window; }
  IUnknown* Control() const { return control_.get(); }

  // Creates what the text names; does nothing when a control is already
  // there. A text that names nothing that can be created and activated
  // leaves no control.
  void CreateControl(const std::wstring& text) {
    if (control_ || creating_ || text.empty() || !window_) return;
    creating_ = true;
    const bool address = IsAddress(text);
    CLSID clsid = CLSID_WebBrowser;
    bool named = address;
    if (!address) {
      named = text[0] == L'{' ? SUCCEEDED(CLSIDFromString(text.c_str(), &clsid))
                              : SUCCEEDED(CLSIDFromProgID(text.c_str(), &clsid));
    }
    if (named && Activate(clsid) && address) {
      if (ComRef<IWebBrowser2> browser = control_.As<IWebBrowser2>(IID_IWebBrowser2)) {
        win32::Bstr url(text.c_str());
        browser->Navigate(url.get(), nullptr, nullptr, nullptr, nullptr);
      }
    }
    creating_ = false;
  }

  void Resize() {
    if (!inPlace_ || !window_) return;
    RECT r;
    GetClientRect(window_, &r);
    inPlace_->SetObjectRects(&r, &r);
  }

  // Takes the control out of the window and gives back every reference to
  // it; the control gives back its references to this site in turn.
  void Shutdown() {
    ReleaseControl();
    window_ = nullptr;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow, shared by the in-place site and the frame.
  STDMETHODIMP GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = window_;
    return window_ ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return window_ ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                RECT* position, RECT* clip, OLEINPLACEFRAMEINFO* info) override {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    static_cast<IOleInPlaceFrame*>(this)->AddRef();
    *document = nullptr;
    GetClientRect(window_, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT position) override {
    if (!position) return E_POINTER;
    if (inPlace_) inPlace_->SetObjectRects(position, position);
    return S_OK;
  }

  // IOleInPlaceUIWindow and IOleInPlaceFrame
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  void ReleaseControl() {
    if (inPlace_) inPlace_->InPlaceDeactivate();
    if (object_) {
      object_->Close(OLECLOSE_NOSAVE);
      object_->SetClientSite(nullptr);
    }
    inPlace_.Reset();
    object_.Reset();
    control_.Reset();
  }

  bool Activate(REFCLSID clsid) {
    ComRef<IUnknown> control;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                IID_IUnknown, control.OutVoid())) ||
        !control)
      return false;
    ComRef<IOleObject> object = control.As<IOleObject>(IID_IOleObject);
    if (!object) return false;
    if (FAILED(object->SetClientSite(static_cast<IOleClientSite*>(this)))) return false;
    // A control that keeps state must be told it starts empty.
    if (auto init = control.As<IPersistStreamInit>(IID_IPersistStreamInit)) init->InitNew();
    control_ = control;
    object_ = object;
    RECT r;
    GetClientRect(window_, &r);
    if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                               static_cast<IOleClientSite*>(this), 0, window_, &r))) {
      ReleaseControl();
      return false;
    }
    inPlace_ = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    Resize();
    return true;
  }

  HWND window_ = nullptr;
  bool creating_ = false;
  ComRef<IUnknown> control_;
  ComRef<IOleObject> object_;
  ComRef<IOleInPlaceObject> inPlace_;
};

ComObject<AxHostSite>* SiteOf(HWND window) {
  return static_cast<ComObject<AxHostSite>*>(GetPropW(window, kHostProperty));
}

}  // namespace

LRESULT CALLBACK AxHostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      auto* site = new (std::nothrow) ComObject<AxHostSite>(nullptr);
      if (!site) return -1;
      site->InnerAddRef();  // the window's reference
      if (!SetPropW(window, kHostProperty, site)) {
        site->InnerRelease();
        return -1;
      }
      site->SetWindow(window);
      site->CreateControl(WindowText(window));
      return 0;
    }
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
      // A window created before its address was known creates its control
      // now; one that already has a control keeps it.
      if (auto* site = SiteOf(window); site && !site->Control())
        site->CreateControl(WindowText(window));
      return result;
    }
    case WM_SIZE:
      if (auto* site = SiteOf(window)) site->Resize();
      break;
    case WM_ERASEBKGND:
      // The control paints the whole client area; erasing under it flickers.
      if (auto* site = SiteOf(window); site && site->Control()) return 1;
      break;
    case WM_DESTROY:
      if (auto* site = SiteOf(window)) {
        RemovePropW(window, kHostProperty);
        site->Shutdown();
        site->InnerRelease();
      }
      break;
    default:
      if (message == GetControlMessage()) {
        auto* site = SiteOf(window);
        return reinterpret_cast<LRESULT>(site ? site->Control() : nullptr);
      }
      if (message == GetHostMessage()) {
        auto* site = SiteOf(window);
        return reinterpret_cast<LRESULT>(
            site ? static_cast<IUnknown*>(static_cast<IOleClientSite*>(site)) : nullptr);
      }
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterAxHostWindowClass(HINSTANCE module) {
  GetControlMessage();
  GetHostMessage();
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(module, kAxHostClassName, &existing)) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  // Global: the toolbar creates its page windows under the host
  // executable's instance, not the module's.
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
  wc.lpfnWndProc = AxHostWindowProc;
  wc.hInstance = module;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kAxHostClassName;
  if (RegisterClassExW(&wc)) {
    g_registeredModule = module;
    return true;
  }
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void UnregisterAxHostWindowClass() {
  if (!g_registeredModule) return;
  UnregisterClassW(kAxHostClassName, g_registeredModule);
  g_registeredModule = nullptr;
}

long AxHostObjectCount() {
  return InterlockedCompareExchange(&g_hostObjects, 0, 0);
}

}  // namespace qv
