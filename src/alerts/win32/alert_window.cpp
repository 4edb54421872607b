#include "alerts/win32/alert_window.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>

#include <memory>
#include <string>

namespace qv::alerts {

using win32::ComRef;

int64_t AlertClockMs() {
  return static_cast<int64_t>(GetTickCount64());
}

// The control's DWebBrowserEvents2: DocumentComplete of a page with a body
// starts the showing; every other event is acknowledged and ignored.
class AlertEventSink final : public IDispatch {
 public:
  explicit AlertEventSink(AlertWindow* owner) : owner_(owner) {}
  void Unbind() { owner_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
  }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    if (id != DISPID_DOCUMENTCOMPLETE || !owner_ || !params || params->cArgs < 2) return S_OK;
    // Arguments arrive last first: pDisp is the second from the end.
    const VARIANT& frame = params->rgvarg[params->cArgs - 1];
    IDispatch* browserDispatch = frame.vt == VT_DISPATCH ? frame.pdispVal
                                 : frame.vt == (VT_DISPATCH | VT_BYREF) && frame.ppdispVal
                                     ? *frame.ppdispVal
                                     : nullptr;
    if (!browserDispatch) return S_OK;
    ComRef<IWebBrowser2> browser;
    browserDispatch->QueryInterface(IID_IWebBrowser2, browser.OutVoid());
    if (!browser) return S_OK;
    ComRef<IDispatch> document;
    if (FAILED(browser->get_Document(document.Out())) || !document) return S_OK;
    ComRef<IHTMLDocument2> html = document.As<IHTMLDocument2>(IID_IHTMLDocument2);
    ComRef<IHTMLElement> body;
    if (!html || FAILED(html->get_body(body.Out())) || !body) return S_OK;
    owner_->StartShowing();
    return S_OK;
  }

 private:
  LONG refs_ = 1;
  AlertWindow* owner_;
};

AlertWindow::AlertWindow(HINSTANCE module)
    : module_(module), mutex_(CreateMutexW(nullptr, FALSE, kAlertsMutexName)) {}

AlertWindow::~AlertWindow() {
  Destroy();
}

bool AlertWindow::Exists() {
  return frame_ && IsWindow(frame_);
}

bool AlertWindow::RegisterClasses() {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExW(module_, kAlertFrameClass, &existing)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = module_;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kAlertFrameClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  if (!GetClassInfoExW(module_, kAlertContentClass, &existing)) {
    // A superclass of the ActiveX host window: the same procedure under a
    // name of its own.
    WNDCLASSEXW host{};
    host.cbSize = sizeof host;
    if (!GetClassInfoExW(module_, L"AtlAxWin", &host)) return false;
    host.hInstance = module_;
    host.lpszClassName = kAlertContentClass;
    host.style &= ~CS_GLOBALCLASS;
    if (!RegisterClassExW(&host) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  return true;
}

void AlertWindow::Create(const AlertParameters& params) {
  if (Exists() || !RegisterClasses()) return;
  params_ = params;
  animation_ = AlertAnimation();
  // WM_CREATE refuses the window when another alert holds the mutex.
  CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kAlertFrameClass, L"",
                  WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, nullptr, nullptr, module_, this);
}

bool AlertWindow::OnCreate(HWND frame) {
  frame_ = frame;
  if (!mutex_) return false;
  const DWORD wait = WaitForSingleObject(mutex_.get(), 1000);
  // An abandoned mutex belonged to an alert whose process ended: ours now.
  ownsMutex_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  if (!ownsMutex_) return false;
  CreateContent();
  return true;
}

void AlertWindow::CreateContent() {
  DestroyContent();
  RECT client;
  GetClientRect(frame_, &client);
  // The address in the system code page, cut at an embedded NUL as any
  // window text would be.
  std::wstring url(params_.url.size() + 1, L'\0');
  const int length = MultiByteToWideChar(CP_ACP, 0, params_.url.c_str(), -1, url.data(),
                                         static_cast<int>(url.size()));
  url.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
  content_ = CreateWindowExW(WS_EX_CLIENTEDGE, kAlertContentClass, url.c_str(),
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                             client.right, client.bottom, frame_, nullptr, module_, nullptr);
  if (!content_) return;
  static const UINT getControl = RegisterWindowMessageW(L"WM_ATLGETCONTROL");
  auto* lent = reinterpret_cast<IUnknown*>(SendMessageW(content_, getControl, 0, 0));
  if (!lent) return;
  control_ = lent;
  control_->AddRef();
  ComRef<IConnectionPointContainer> container;
  control_->QueryInterface(IID_IConnectionPointContainer, container.OutVoid());
  ComRef<IConnectionPoint> point;
  if (container &&
      SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Out())) && point) {
    sink_ = new (std::nothrow) AlertEventSink(this);
    if (sink_ && FAILED(point->Advise(sink_, &sinkCookie_))) sinkCookie_ = 0;
  }
}

void AlertWindow::DestroyContent() {
  if (sink_) {
    sink_->Unbind();
    if (sinkCookie_ && control_) {
      ComRef<IConnectionPointContainer> container;
      control_->QueryInterface(IID_IConnectionPointContainer, container.OutVoid());
      ComRef<IConnectionPoint> point;
      if (container &&
          SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Out())) && point)
        point->Unadvise(sinkCookie_);
    }
    sink_->Release();
    sink_ = nullptr;
    sinkCookie_ = 0;
  }
  if (control_) {
    control_->Release();
    control_ = nullptr;
  }
  if (content_) {
    // The host window gives back its own references to the control.
    DestroyWindow(content_);
    content_ = nullptr;
  }
}

void AlertWindow::StartShowing() {
  if (!Exists() || animation_.Phase() != AlertPhase::kNone) return;
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    work.right = GetSystemMetrics(SM_CXSCREEN);
    work.bottom = GetSystemMetrics(SM_CYSCREEN);
  }
  const AlertRect r = animation_.Start(
      params_, AlertRect{work.left, work.top, work.right, work.bottom}, AlertClockMs());
  SetWindowPos(frame_, HWND_TOPMOST, r.left, r.top, r.Width(), 0, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  SetTimer(frame_, kSlideInTimerId, kAlertTickMs, nullptr);
}

void AlertWindow::OnTimer(unsigned id) {
  RECT w;
  if (!GetWindowRect(frame_, &w)) return;
  const AlertStep step =
      animation_.OnTimer(id, AlertClockMs(), AlertRect{w.left, w.top, w.right, w.bottom});
  if (step.killTimer) KillTimer(frame_, step.killTimer);
  if (step.startTimer) SetTimer(frame_, step.startTimer, kAlertTickMs, nullptr);
  if (step.move) {
    SetWindowPos(frame_, nullptr, w.left, step.top, w.right - w.left, w.bottom - step.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (content_) {
      RECT client;
      GetClientRect(frame_, &client);
      MoveWindow(content_, 0, 0, client.right, client.bottom, TRUE);
    }
  }
  if (step.destroy) Destroy();
}

void AlertWindow::OnDestroy() {
  for (unsigned id : {kSlideInTimerId, kWaitTimerId, kSlideOutTimerId}) KillTimer(frame_, id);
  DestroyContent();
  if (ownsMutex_) {
    ReleaseMutex(mutex_.get());
    ownsMutex_ = false;
  }
}

void AlertWindow::Destroy() {
  if (!frame_) return;
  DestroyContent();
  if (IsWindow(frame_)) DestroyWindow(frame_);
  frame_ = nullptr;
}

LRESULT CALLBACK AlertWindow::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<AlertWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_CREATE:
      // Without the mutex the frame could never be shown; refusing it lets
      // a later check try again instead of leaving an invisible window.
      return self && self->OnCreate(window) ? 0 : -1;
    case WM_SIZE:
      if (self && self->content_)
        MoveWindow(self->content_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      break;
    case WM_TIMER:
      if (self) self->OnTimer(static_cast<unsigned>(wParam));
      return 0;
    case WM_DESTROY:
      if (self) self->OnDestroy();
      break;
    case WM_NCDESTROY:
      if (self && self->frame_ == window) self->frame_ = nullptr;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

namespace {
AlertWindow* g_processWindow = nullptr;
}  // namespace

AlertWindow& ProcessAlertWindow(HINSTANCE module) {
  if (!g_processWindow) g_processWindow = new AlertWindow(module);
  return *g_processWindow;
}

void DestroyProcessAlertWindow() {
  delete g_processWindow;
  g_processWindow = nullptr;
}

}  // namespace qv::alerts
