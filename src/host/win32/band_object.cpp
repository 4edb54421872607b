// The band object's window side: the site it is given, the toolbar it
// builds in the site's window, the band information the rebar asks for and
// the keyboard focus the browser routes through it.
#include <windows.h>
#include <commctrl.h>
#include <shlguid.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "host/win32/com_classes.h"

// The portable toolbar's own TranslateAccelerator, not the Win32 macro that
// would rename it here only.
#undef TranslateAccelerator

#include "alerts/win32/alert_window.h"
#include "host/alert_check_feature.h"
#include "host/standard_features.h"
#include "host/options_services.h"
#include "host/popup_blocker_hooks.h"
#include "host/shared_data.h"
#include "host/toolbar_command_host.h"
#include "host/toolbar_ctrl.h"
#include "host/win32/com_module.h"
#include "host/win32/toolbar_windows_win32.h"
#include "install/resource_files.h"
#include "install/resource_lookup.h"
#include "options/win32/options_dialogs.h"
#include "platform/browser.h"
#include "platform/services.h"
#include "platform/user_messages.h"
#include "platform/win32/com_browser.h"
#include "platform/win32/com_support.h"
#include "popup/blocker.h"
#include "settings/settings.h"

namespace qv {

// Every toolbar of the process checks for alerts into the process's one
// alert window, made under this module.
static AlertCheck& ProcessAlertCheck() {
  static DesktopAlertCheck check(alerts::ProcessAlertWindow(ModuleInstance()),
                                 alerts::FetchAlertScript);
  return check;
}

namespace {

constexpr int kBandHeight = 22;
constexpr DWORD kBandModeFlags = DBIMF_DEBOSSED | DBIMF_USECHEVRON;
// The counter's value once the band has been shown: from then on the
// minimum width is the toolbar's own.
constexpr LONG kShownMinimumSizeCount = 100;

// Requests for the minimum size across every band of the process. The
// first two answers make the rebar give a new band nearly the whole row.
LONG g_minimumSizeRequests = 0;

std::mutex g_resourceDirectoryLock;
std::string g_resourceDirectory;

std::string ModuleDirectory() {
  std::string path = win32::Narrow(ModulePath().c_str());
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ResourceDirectory() {
  std::lock_guard<std::mutex> lock(g_resourceDirectoryLock);
  return g_resourceDirectory.empty() ? ModuleDirectory() : g_resourceDirectory;
}

HINSTANCE WindowInstance() {
  return ModuleInstance() ? ModuleInstance() : GetModuleHandleA(nullptr);
}

// What the browser window table stores of a window and of a band.
uint64_t TableWindow(HWND window) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(window));
}
uint64_t TableBand(TBWToolBarObj* band) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(band));
}

WindowId W(HWND window) {
  return reinterpret_cast<WindowId>(window);
}

}  // namespace

void SetBandResourceDirectory(const std::string& directory) {
  std::lock_guard<std::mutex> lock(g_resourceDirectoryLock);
  g_resourceDirectory = directory;
}

void ResetBandMinimumSizeCounter() {
  InterlockedExchange(&g_minimumSizeRequests, 0);
}

TBWToolBarObj::TBWToolBarObj() = default;

HRESULT TBWToolBarObj::FinalConstruct() {
  struct Named {
    const char* name;
    const char* failure;
    win32::ScopedHandle* handle;
  };
  const Named mutexes[] = {
      {kSharedDataMutexName, "Failed to create mutext for toolbar shared memory",
       &sharedDataMutex_},
      {kOptionsDialogMutexName, "Failed to create mutext for toolbar options page",
       &optionsDialogMutex_},
  };
  for (const Named& mutex : mutexes) {
    mutex.handle->Reset(CreateMutexA(nullptr, FALSE, mutex.name));
    if (!*mutex.handle) {
      const DWORD error = GetLastError();
      GetUserMessages().ShowMessage(mutex.failure, "quorvane", kMbOk);
      return HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_INVALID_HANDLE);
    }
  }
  // The blocker's settings are read into the shared data once for the
  // whole system, by the first band that gets here.
  sharedData_ = SharedData::Open(BandSharedDataBlock());
  MakeBlocker();
  return S_OK;
}

TBWToolBarObj::~TBWToolBarObj() {
  Detach();
}

HWND TBWToolBarObj::ToolbarControl() const {
  return host_ ? host_->Control() : nullptr;
}

// --- IOleWindow, IDockingWindow, IDeskBand

STDMETHODIMP TBWToolBarObj::GetWindow(HWND* window) {
  if (window == nullptr) return E_INVALIDARG;
  *window = ToolbarControl();
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::ContextSensitiveHelp(BOOL enterMode) {
  contextHelp_ = enterMode != FALSE;
  return S_OK;
}

int TBWToolBarObj::OwnRebarBand() const {
  HWND control = ToolbarControl();
  if (!parent_ || !control) return -1;
  const auto count = static_cast<int>(SendMessageA(parent_, RB_GETBANDCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    REBARBANDINFOA band{};
    band.cbSize = REBARBANDINFOA_V6_SIZE;
    band.fMask = RBBIM_CHILD;
    if (SendMessageA(parent_, RB_GETBANDINFOA, i, reinterpret_cast<LPARAM>(&band)) &&
        band.hwndChild == control)
      return i;
  }
  return -1;
}

STDMETHODIMP TBWToolBarObj::ShowDW(BOOL show) {
  const int own = OwnRebarBand();
  if (own >= 0) {
    REBARBANDINFOA band{};
    band.cbSize = REBARBANDINFOA_V6_SIZE;
    band.fMask = RBBIM_STYLE;
    SendMessageA(parent_, RB_GETBANDINFOA, own, reinterpret_cast<LPARAM>(&band));
    band.fStyle |= RBBS_USECHEVRON;
    band.fMask = RBBIM_STYLE;
    SendMessageA(parent_, RB_SETBANDINFOA, own, reinterpret_cast<LPARAM>(&band));
    InterlockedExchange(&g_minimumSizeRequests, kShownMinimumSizeCount);
  }
  shown_ = show != FALSE;
  if (HWND control = ToolbarControl()) ShowWindow(control, shown_ ? SW_SHOW : SW_HIDE);
  if (shown_ && host_) host_->RequestPendingItemWindows();
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::CloseDW(DWORD) {
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::ResizeBorderDW(LPCRECT, IUnknown*, BOOL) {
  return E_NOTIMPL;
}

STDMETHODIMP TBWToolBarObj::GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) {
  bandId_ = bandId;
  viewMode_ = viewMode;
  if (info == nullptr) return S_OK;
  TBWToolBarCtrl* toolbar = host_ ? &host_->Toolbar() : nullptr;
  if (info->dwMask & DBIM_MINSIZE) {
    const LONG before = InterlockedIncrement(&g_minimumSizeRequests) - 1;
    info->ptMinSize.x = before < 2 ? GetSystemMetrics(SM_CXFULLSCREEN) - 20
                                   : (toolbar ? toolbar->MinimumWidth() : 0);
    info->ptMinSize.y = kBandHeight;
  }
  if (info->dwMask & DBIM_MAXSIZE) {
    info->ptMaxSize.x = 0;
    info->ptMaxSize.y = -1;
  }
  if (info->dwMask & DBIM_INTEGRAL) {
    info->ptIntegral.x = 1;
    info->ptIntegral.y = 1;
  }
  if (info->dwMask & DBIM_ACTUAL) {
    // The running total kept while the items are set up is taken before
    // later buttons get their final sizes; the band's actual width is what
    // the buttons span once the build is over.
    info->ptActual.x = toolbar ? toolbar->VisibleWidth() : 0;
    info->ptActual.y = kBandHeight;
  }
  if (info->dwMask & DBIM_TITLE) info->wszTitle[0] = L'\0';
  info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR);
  if (info->dwMask & DBIM_MODEFLAGS) {
    ProductKeyScope settings;
    info->dwModeFlags = kBandModeFlags;
    // A new band starts a row of its own the first two times it is asked,
    // once per user; hiding the band through the installer starts over.
    const uint32_t placed = GetSettingDword("PosMode", 0);
    if (placed < 2) {
      info->dwModeFlags |= DBIMF_BREAK;
      SetSettingDword("PosMode", placed + 1);
    }
  }
  return S_OK;
}

// --- IObjectWithSite

STDMETHODIMP TBWToolBarObj::SetSite(IUnknown* site) {
  // A new site replaces whatever the old one built.
  Detach();
  if (site == nullptr) return S_OK;
  HRESULT hr = Attach(site);
  if (FAILED(hr)) {
    // The refused site stays the band's site (GetSite answers it, the next
    // SetSite lets go of it), but nothing half-built from it is kept.
    win32::ComRef<IUnknown> refused = std::move(site_);
    Detach();
    site_ = std::move(refused);
  }
  return hr;
}

HRESULT TBWToolBarObj::Attach(IUnknown* site) {
  ProductKeyScope settings;
  quitting_ = false;
  site_ = win32::ComRef<IUnknown>::Share(site);

  win32::ComRef<IServiceProvider> services;
  HRESULT hr = site->QueryInterface(IID_IServiceProvider, services.OutVoid());
  if (FAILED(hr) && hr != E_NOINTERFACE) return hr;
  if (services) {
    if (FAILED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser_.OutVoid())))
      return E_FAIL;
  }
  if (!browser_) return E_INVALIDARG;

  win32::ComRef<IOleWindow> window = site_.As<IOleWindow>(IID_IOleWindow);
  HWND parent = nullptr;
  if (!window || FAILED(window->GetWindow(&parent)) || !IsWindow(parent)) return E_FAIL;
  parent_ = parent;

  // The toolbar's files come from the vendor's site when missing or when an
  // update is due.
  lookup_ = std::make_unique<FetchingResourceLookup>(ResourceDirectory());
  static AutomaticUpdater updater;
  ToolbarHooks hooks = ToolbarHooks::Defaults();
  hooks.owner = this;
  hooks.alerts = &ProcessAlertCheck();
  hooks.updater = &updater;
  host_ = ToolbarWindowHost::Create(WindowInstance(), parent_, *lookup_, hooks);
  if (!host_) return E_FAIL;
  browserSeam_ = win32::WrapWebBrowser(browser_.get());
  TBWToolBarCtrl& toolbar = host_->Toolbar();
  toolbar.CommandHost().SetBrowser(browserSeam_.get());
  AttachStandardFeatures(toolbar);
  if (!sharedData_) sharedData_ = SharedData::Open(BandSharedDataBlock());
  MakeBlocker();
  optionsUi_ = std::make_unique<options::Win32OptionsUi>(WindowInstance(), ToolbarControl());
  optionsServices_ = std::make_unique<OptionsServices>(
      toolbar, sharedData_.get(), *optionsUi_, kOptionsDialogMutexName, kSharedDataMutexName);
  toolbar.CommandHost().SetServices(optionsServices_.get());
  if (blocker_) {
    blocker_->SetBrowser(browserSeam_.get());
    popupHooks_ = std::make_unique<PopupBlockerHooks>(*blocker_, toolbar, optionsServices_.get());
    popupHooks_->Attach();
  }
  // The buttons first; the controls and pages once the band is shown.
  toolbar.DeferItemWindows();
  // A definition that does not load leaves an empty toolbar, which is
  // still a band; only missing windows fail the site.
  toolbar.BuildToolbar(true);
  if (!IsWindow(ToolbarControl())) return E_FAIL;
  ShowWindow(host_->Reflector(), SW_SHOW);

  // The frame window's procedure and the keyboard hook find this band
  // through the browser window table. A full table has told the user
  // already; the band works without its entry.
  RegisterLiveBand();
  SHANDLE_PTR frame = 0;
  if (SUCCEEDED(browser_->get_HWND(&frame)) && frame) {
    frame_ = reinterpret_cast<HWND>(frame);
    if (sharedData_)
      registered_ = sharedData_->RegisterBrowserWindow(TableWindow(frame_), TableBand(this),
                                                       GetCurrentThreadId(), GetCurrentProcessId());
  }
  ConnectBrowserEvents(true);

  // Without an input-object site the browser does not route keys to the
  // band: a hook on the thread sees them instead.
  inputSite_ = site_.As<IInputObjectSite>(IID_IInputObjectSite);
  if (!inputSite_) InstallKeyboardHook();
  return S_OK;
}

void TBWToolBarObj::Detach() {
  // A band taken out of a living browser window stops listening to it, as
  // one whose browser quit does.
  Teardown();
  frame_ = nullptr;
  // First, so that the focus leaving the windows below reports to nobody:
  // this may run in the destructor, when the band can no longer be handed
  // out.
  inputSite_.Reset();
  if (host_) {
    host_->Toolbar().Stop();
    host_->Toolbar().CommandHost().SetBrowser(nullptr);
    host_.reset();
  }
  // The toolbar that used the hooks is gone.
  popupHooks_.reset();
  optionsServices_.reset();
  optionsUi_.reset();
  if (blocker_) {
    blocker_->SetSignals(nullptr);
    blocker_->SetBrowser(nullptr);
  }
  browserSeam_.reset();
  lookup_.reset();
  browser_.Reset();
  parent_ = nullptr;
  site_.Reset();
}

STDMETHODIMP TBWToolBarObj::GetSite(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!site_) return E_FAIL;
  return site_->QueryInterface(iid, out);
}

// --- IInputObject

STDMETHODIMP TBWToolBarObj::UIActivateIO(BOOL activate, MSG*) {
  // Activated before its controls were made: they are made now.
  if (activate && host_) host_->Toolbar().CreatePendingItemWindows();
  if (activate && host_ && !host_->Toolbar().Keyboard().Controls().empty())
    host_->Toolbar().Keyboard().Controls().front().FocusFirst();
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::HasFocusIO() {
  if (!host_) return S_FALSE;
  const WindowId focus = W(GetFocus());
  for (const InputControl& control : host_->Toolbar().Keyboard().Controls()) {
    if (control.ContainsFocus(focus)) return S_OK;
  }
  return S_FALSE;
}

STDMETHODIMP TBWToolBarObj::TranslateAcceleratorIO(MSG* message) {
  if (message == nullptr || !host_) return S_FALSE;
  return static_cast<HRESULT>(host_->Toolbar().TranslateAccelerator(
      Message{W(message->hwnd), message->message, static_cast<std::uintptr_t>(message->wParam),
              static_cast<std::intptr_t>(message->lParam)}));
}

// --- ToolbarOwner

void TBWToolBarObj::SetBandIdealWidth(int width) {
  const int own = OwnRebarBand();
  if (own < 0) return;
  REBARBANDINFOA band{};
  band.cbSize = REBARBANDINFOA_V6_SIZE;
  band.fMask = RBBIM_IDEALSIZE;
  band.cxIdeal = static_cast<UINT>(width);
  SendMessageA(parent_, RB_SETBANDINFOA, own, reinterpret_cast<LPARAM>(&band));
}

void TBWToolBarObj::OnFocusChange(bool gotFocus) {
  if (!inputSite_) return;
  // The band's identity: the outer object's when aggregated.
  IUnknown* band = outer_ ? outer_ : static_cast<IDeskBand*>(this);
  inputSite_->OnFocusChangeIS(band, gotFocus ? TRUE : FALSE);
}

void TBWToolBarObj::SetStatusText(const std::string& text) {
  if (browserSeam_) browserSeam_->SetStatusText(text);
}

void TBWToolBarObj::NavigateBrowser(const std::string& url) {
  if (browserSeam_) browserSeam_->Navigate2(NavigateRequest{url, {}, {}, {}});
}

}  // namespace qv
