// The ActiveX host window with the system's own web browser control (run
// under Wine by the Windows test build). Wine's control activates in place
// and starts navigations but never loads a document, so these cases look
// at the control and its navigations, never at a page.
#ifdef _WIN32

#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <string>

#include "host/win32/ax_host.h"
#include "host/win32/com_module.h"
#include "platform/win32/com_support.h"
#include "platform/win32/scoped.h"
#include "platform/win32/toolbar_surface_win32.h"

namespace qv::test {
namespace {

using win32::ComRef;

IUnknown* ControlOf(HWND window) {
  return reinterpret_cast<IUnknown*>(
      SendMessageW(window, RegisterWindowMessageW(L"WM_ATLGETCONTROL"), 0, 0));
}
IUnknown* HostOf(HWND window) {
  return reinterpret_cast<IUnknown*>(
      SendMessageW(window, RegisterWindowMessageW(L"WM_ATLGETHOST"), 0, 0));
}

std::string LocationOf(IUnknown* control) {
  ComRef<IWebBrowser2> browser;
  if (!control || FAILED(control->QueryInterface(IID_IWebBrowser2, browser.OutVoid()))) return {};
  win32::Bstr url;
  if (FAILED(browser->get_LocationURL(url.Out()))) return {};
  return url.Text();
}

ULONG CountOf(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// Records the addresses of BeforeNavigate2 events.
class NavigationSink : public IDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) &&
        !IsEqualIID(iid, DIID_DWebBrowserEvents2))
      return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    // BeforeNavigate2's arguments come last first: the address is the
    // sixth from the end, a VARIANT by reference.
    if (id == DISPID_BEFORENAVIGATE2 && params && params->cArgs == 7) {
      VARIANT* url = &params->rgvarg[5];
      if (url->vt == (VT_VARIANT | VT_BYREF)) url = url->pvarVal;
      if (url->vt == VT_BSTR) addresses.push_back(win32::Narrow(url->bstrVal));
    }
    return S_OK;
  }
  ULONG refs = 1;
  std::vector<std::string> addresses;
};

class AxHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The test program's manifest takes "STATIC" from the common controls.
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    ASSERT_TRUE(RegisterAxHostWindowClass(GetModuleHandleW(nullptr)));
    parent_.Reset(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(parent_);
  }
  void TearDown() override {
    parent_.Reset();
    UnregisterAxHostWindowClass();
    OleUninitialize();
  }
  // The browser control is missing from a prefix whose HTML engine was never
  // registered; the cases that need it skip then.
  static bool BrowserAvailable() {
    ComRef<IUnknown> probe;
    return SUCCEEDED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      probe.OutVoid()));
  }
  win32::ScopedWindow Host(const wchar_t* text, int width = 200, int height = 30) {
    return win32::ScopedWindow(CreateWindowExW(0, kAxHostClassName, text, WS_CHILD | WS_VISIBLE, 0,
                                               0, width, height, parent_.get(), nullptr,
                                               GetModuleHandleW(nullptr), nullptr));
  }
  win32::ScopedWindow parent_;
};

#define QV_NEED_BROWSER()                                                          \
  if (!BrowserAvailable())                                                         \
  GTEST_SKIP() << "the web browser control cannot be created in this prefix (its " \
                  "HTML engine is not registered)"

TEST_F(AxHostTest, TheClassIsGlobalRegisteredOnceAndRemovedWithItsModule) {
  EXPECT_TRUE(RegisterAxHostWindowClass(GetModuleHandleW(nullptr)));
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  // Found for any instance, as the toolbar creates its windows under the
  // executable's.
  ASSERT_TRUE(GetClassInfoExW(nullptr, kAxHostClassName, &info));
  EXPECT_TRUE(info.style & CS_GLOBALCLASS);
  UnregisterAxHostWindowClass();
  EXPECT_FALSE(GetClassInfoExW(nullptr, kAxHostClassName, &info));
  UnregisterAxHostWindowClass();  // nothing left to remove
  EXPECT_TRUE(RegisterAxHostWindowClass(GetModuleHandleW(nullptr)));
  EXPECT_TRUE(GetClassInfoExW(nullptr, kAxHostClassName, &info));
}

TEST_F(AxHostTest, TextsThatNameNothingLeaveAnEmptyWindow) {
  for (const wchar_t* text : {L"", L"No.Such.Control", L"{00000000-0000-0000-0000-0000000000AB}",
                              L"{not a class}", L"x:"}) {
    SCOPED_TRACE(win32::Narrow(text));
    win32::ScopedWindow host = Host(text);
    ASSERT_TRUE(host);
    EXPECT_EQ(ControlOf(host.get()), nullptr);
    EXPECT_NE(HostOf(host.get()), nullptr);
    EXPECT_EQ(AxHostObjectCount(), 1);
    // Sizing and painting an empty host is harmless.
    MoveWindow(host.get(), 0, 0, 50, 10, TRUE);
    UpdateWindow(host.get());
  }
  EXPECT_EQ(AxHostObjectCount(), 0);
}

TEST_F(AxHostTest, AnAddressHostsABrowserSizedToTheWindow) {
  QV_NEED_BROWSER();
  const long locks = ModuleLockCount();
  win32::ScopedWindow host = Host(L"http://example.test/page", 200, 30);
  ASSERT_TRUE(host);
  IUnknown* control = ControlOf(host.get());
  ASSERT_NE(control, nullptr);
  ComRef<IWebBrowser2> browser;
  ASSERT_EQ(control->QueryInterface(IID_IWebBrowser2, browser.OutVoid()), S_OK);
  // The messages lend their pointers: asking again takes no reference.
  const ULONG refs = CountOf(control);
  EXPECT_EQ(ControlOf(host.get()), control);
  EXPECT_EQ(CountOf(control), refs);
  ComRef<IOleClientSite> site;
  ASSERT_EQ(HostOf(host.get())->QueryInterface(IID_IOleClientSite, site.OutVoid()), S_OK);
  site.Reset();

  ComRef<IOleWindow> inPlace;
  ASSERT_EQ(control->QueryInterface(IID_IOleWindow, inPlace.OutVoid()), S_OK);
  HWND page = nullptr;
  ASSERT_EQ(inPlace->GetWindow(&page), S_OK);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(IsChild(host.get(), page));
  RECT r;
  GetClientRect(page, &r);
  EXPECT_EQ(r.right - r.left, 200);
  EXPECT_EQ(r.bottom - r.top, 30);
  MoveWindow(host.get(), 10, 5, 321, 44, TRUE);
  GetClientRect(page, &r);
  EXPECT_EQ(r.right - r.left, 321);
  EXPECT_EQ(r.bottom - r.top, 44);
  inPlace.Reset();
  browser.Reset();

  // The window gives back every reference: the control goes with it, and
  // the host object with the control's references to it.
  control->AddRef();
  host.Reset();
  // Wine's navigation still holds the control until its queued work runs.
  for (int i = 0; i < 100 && CountOf(control) > 1; ++i) {
    Pump();
    Sleep(10);
  }
  EXPECT_EQ(control->Release(), 0u);
  EXPECT_EQ(AxHostObjectCount(), 0);
  EXPECT_EQ(ModuleLockCount(), locks);
}

TEST_F(AxHostTest, AWindowWithoutTextCreatesItsBrowserWhenGivenAnAddress) {
  QV_NEED_BROWSER();
  // As the toolbar makes page windows: empty, then navigated.
  HWND toolbar = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 400, 22, parent_.get(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(toolbar, nullptr);
  Win32ToolbarSurface surface(toolbar);
  const WindowId page = surface.CreateChild(
      ChildSpec{ChildKind::kWebPage, WS_CHILD | WS_VISIBLE, 0, Rect{0, 0, 120, 22}});
  ASSERT_NE(page, 0);
  HWND window = reinterpret_cast<HWND>(page);
  EXPECT_EQ(ControlOf(window), nullptr);

  ASSERT_TRUE(surface.NavigateWebPage(page, "http://example.test/first"));
  IUnknown* control = ControlOf(window);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(surface.GetChildText(page), "http://example.test/first");
  EXPECT_EQ(LocationOf(control), "http://example.test/first");

  // Later addresses reach the same control as navigations.
  ComRef<IConnectionPointContainer> container;
  ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, container.OutVoid()), S_OK);
  ComRef<IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Out()), S_OK);
  NavigationSink sink;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  ASSERT_TRUE(surface.NavigateWebPage(page, "http://example.test/second"));
  for (int i = 0; i < 100 && sink.addresses.empty(); ++i) {
    Pump();
    Sleep(10);
  }
  EXPECT_EQ(ControlOf(window), control);
  ASSERT_FALSE(sink.addresses.empty());
  EXPECT_EQ(sink.addresses.back(), "http://example.test/second");
  point->Unadvise(cookie);
  EXPECT_EQ(LocationOf(control), "http://example.test/second");

  surface.DestroyChild(page);
  EXPECT_EQ(AxHostObjectCount(), 0);
  EXPECT_EQ(sink.refs, 1u);
  DestroyWindow(toolbar);
}

TEST_F(AxHostTest, AProgIdHostsThatControlWithoutNavigating) {
  QV_NEED_BROWSER();
  win32::ScopedWindow host = Host(L"Shell.Explorer.2");
  ASSERT_TRUE(host);
  IUnknown* control = ControlOf(host.get());
  if (!control) GTEST_SKIP() << "the browser control's ProgID is not registered in this prefix";
  ComRef<IWebBrowser2> browser;
  EXPECT_EQ(control->QueryInterface(IID_IWebBrowser2, browser.OutVoid()), S_OK);
  EXPECT_EQ(LocationOf(control), "");
}

// The module registers the class when it is loaded and takes it away when
// it is unloaded, so that no window can reach a procedure that is gone.
TEST(AxHostModuleTest, TheModuleRegistersTheClassWhileLoaded) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  ASSERT_FALSE(GetClassInfoExW(nullptr, kAxHostClassName, &info));
  std::wstring test = HostExecutablePath();
  std::wstring path = test.substr(0, test.find_last_of(L'\\')) + L"\\..\\src\\quorvane.dll";
  HMODULE module = LoadLibraryW(path.c_str());
  ASSERT_NE(module, nullptr) << "cannot load " << win32::Narrow(path.c_str());
  EXPECT_TRUE(GetClassInfoExW(nullptr, kAxHostClassName, &info));
  FreeLibrary(module);
  EXPECT_FALSE(GetClassInfoExW(nullptr, kAxHostClassName, &info));
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
