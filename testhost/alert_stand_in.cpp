#include "alert_stand_in.h"

#include <exdisp.h>
#include <ocidl.h>

#include <algorithm>

#include "platform/win32/scoped.h"
#include "simulators/win32/scripted_com_browser.h"

namespace qv::testhost {
namespace {

class StandInControl;
std::vector<StandInControl*> g_controls;

// An OLE control over a scripted browser: the OLE and in-place interfaces
// are its own, the browser's interfaces and events the scripted browser's.
class StandInControl final : public sim::IOleObjectStub, public IOleInPlaceObject {
 public:
  StandInControl() : browser_(sim::ScriptedWebBrowser::CreateTop(nullptr)) {
    g_controls.push_back(this);
  }
  ~StandInControl() {
    g_controls.erase(std::remove(g_controls.begin(), g_controls.end(), this), g_controls.end());
    if (window_) DestroyWindow(window_);
    browser_->Release();
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) {
      *out = static_cast<IOleObject*>(this);
    } else if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow) {
      *out = static_cast<IOleInPlaceObject*>(this);
    } else {
      return browser_->QueryInterface(iid, out);
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const long left = --refs_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite*) override { return S_OK; }
  STDMETHODIMP Close(DWORD) override { return S_OK; }
  STDMETHODIMP DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT r) override {
    if (!window_ && parent) {
      window_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_CENTER, r->left,
                                r->top, r->right - r->left, r->bottom - r->top, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    }
    return S_OK;
  }

  // IOleInPlaceObject
  STDMETHODIMP GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = window_;
    return window_ ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP InPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP UIDeactivate() override { return S_OK; }
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT) override {
    if (window_ && position)
      MoveWindow(window_, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, TRUE);
    return S_OK;
  }
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

  // Runs the navigations asked for; the last page's address is shown.
  void CompletePending(std::vector<std::wstring>* completed) {
    for (const sim::NavigationRecord& n : browser_->TakePendingNavigations()) {
      sim::PageDescription page;
      page.url = n.url;
      page.title = L"Desktop alert";
      page.bodyText = L"A desktop alert from the toolbar's vendor.";
      browser_->RunNavigation(page);
      completed->push_back(n.url);
      if (window_) {
        const std::wstring text = L"\r\nDesktop alert\r\n\r\n" + n.url;
        SetWindowTextW(window_, text.c_str());
      }
    }
  }

 private:
  long refs_ = 1;
  sim::ScriptedWebBrowser* browser_;
  HWND window_ = nullptr;
};

class Factory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const long left = --refs_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* control = new StandInControl();
    const HRESULT hr = control->QueryInterface(iid, out);
    control->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  long refs_ = 1;
};

}  // namespace

AlertStandIn::~AlertStandIn() {
  Revoke();
}

bool AlertStandIn::Register() {
  if (factory_) return true;
  factory_ = new Factory();
  if (FAILED(CoRegisterClassObject(CLSID_WebBrowser, factory_, CLSCTX_INPROC_SERVER,
                                   REGCLS_MULTIPLEUSE, &cookie_))) {
    factory_->Release();
    factory_ = nullptr;
    return false;
  }
  return true;
}

void AlertStandIn::Revoke() {
  if (!factory_) return;
  CoRevokeClassObject(cookie_);
  factory_->Release();
  factory_ = nullptr;
}

void AlertStandIn::CompletePending() {
  const std::vector<StandInControl*> controls = g_controls;
  for (StandInControl* c : controls) c->CompletePending(&completed_);
}

HWND FindAlertFrame() {
  HWND frame = nullptr;
  while ((frame = FindWindowExW(nullptr, frame, L"Toolbar_DesktopAlertFrame", nullptr))) {
    DWORD process = 0;
    GetWindowThreadProcessId(frame, &process);
    if (process == GetCurrentProcessId()) return frame;
  }
  return nullptr;
}

bool CaptureWindow(HWND window, Picture* picture) {
  RECT r;
  if (!IsWindow(window) || !GetWindowRect(window, &r)) return false;
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const int width = std::max<int>(1, r.right - r.left);
  const int height = std::max<int>(1, r.bottom - r.top);
  HDC dc = GetWindowDC(window);
  if (!dc) return false;
  bool ok = false;
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (memory && bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
    if (ok) {
      picture->width = width;
      picture->height = height;
      picture->rgb.resize(static_cast<size_t>(width) * height * 3);
      const auto* pixels = static_cast<const uint8_t*>(bits);
      for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        picture->rgb[3 * i] = pixels[4 * i + 2];
        picture->rgb[3 * i + 1] = pixels[4 * i + 1];
        picture->rgb[3 * i + 2] = pixels[4 * i];
      }
    }
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(window, dc);
  return ok;
}

}  // namespace qv::testhost
