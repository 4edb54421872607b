// The band object as its browser window talks to it: the browser's events
// through a real connection point, the flags the pop-up blocker reads, the
// frame window it subclasses and the keyboard hook it installs, and the
// teardown that gives every reference, window procedure and hook back.
#ifdef _WIN32

#include <windows.h>
#include <commctrl.h>
#include <mshtmdid.h>

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/shared_data.h"
#include "host/toolbar_ctrl.h"
#include "host/toolbar_feature.h"
#include "host/win32/com_classes.h"
#include "host/win32/blocker_win32.h"
#include "host/win32/com_module.h"
#include "host/win32/toolbar_windows_win32.h"
#include "platform/win32/scoped.h"
#include "popup/blocker.h"
#include "simulators/win32/scripted_dom.h"
#include "support/fake_web_browser.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

using win32::ComRef;

constexpr char kDefinition[] = R"(TBW_Toolbar {
  BUTTON { caption = "Go" command = "go" }
  COMMANDS { GOTOURL { name = "go" url = "http://go.test/" } }
})";
constexpr UINT kProbe = WM_USER + 7;

// The frame window's own procedure, which must go on seeing every message.
std::map<UINT, int> g_frameMessages;
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ++g_frameMessages[message];
  return DefWindowProcA(window, message, wParam, lParam);
}
WNDPROC ProcOf(HWND window) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
}

class HeardEvents : public ToolbarFeature {
 public:
  explicit HeardEvents(std::vector<int>* heard) : heard_(heard) {}
  void OnBrowserEvent(int dispid) override { heard_->push_back(dispid); }

 private:
  std::vector<int>* heard_;
};

VARIANT Disp(IDispatch* object) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = object;
  return v;
}
VARIANT Text(const win32::Bstr& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text.get();
  return v;
}
// A VARIANT that refers to another, as browsers pass BeforeNavigate2's URL.
VARIANT RefTo(VARIANT* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = target;
  return v;
}
VARIANT Number(long n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}

class BandEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    locksAtStart = ModuleLockCount();
    SetBandSharedDataBlock("QvBandEventsTest" + std::to_string(GetCurrentProcessId()));
    SetProcessBlockerEnvironment(&keys);
    g_frameMessages.clear();
    WNDCLASSA frameClass{};
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.lpszClassName = "QvBandEventsFrame";
    RegisterClassA(&frameClass);
    frame.Reset(CreateWindowExA(0, "QvBandEventsFrame", "", WS_POPUP | WS_VISIBLE, 0, 0, 900, 60,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(frame);
    INITCOMMONCONTROLSEX init{sizeof init, ICC_COOL_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    HWND rebar = CreateWindowExA(0, REBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 900, 30,
                                 frame.get(), nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(rebar);
    site.window = rebar;
    site.browser = &browser;
    browser.frameWindow = frame.get();
    WriteFile(dir.File("tbil.bmp"), BitmapBytes(16 * 4, 16));
    WriteFile(dir.File("tbhotil.bmp"), BitmapBytes(16 * 4, 16));
    WriteFile(dir.File("quorvane.tbd"), kDefinition);
    SetBandResourceDirectory(dir.path());

    ComRef<IClassFactory> factory;
    ASSERT_EQ(
        GetModuleClassObject(CLSID_TBWToolBarObjquorvane, IID_IClassFactory, factory.OutVoid()),
        S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, band.OutVoid()), S_OK);
    withSite = band.As<IObjectWithSite>(IID_IObjectWithSite);
    ASSERT_TRUE(withSite);
    // The shared block lives as long as the test process: every test
    // starts with the blocker off, as a band without settings has it.
    SetBlocker(false);
  }
  void SetBlocker(bool on) {
    BlockerSettings settings = Table()->GetBlockerSettings();
    settings.enablePopupBlocker = on ? 1 : 0;
    settings.blockResize = 1;
    ASSERT_TRUE(Table()->SetBlockerSettings(settings));
  }
  void TearDown() override {
    if (withSite) withSite->SetSite(nullptr);
    withSite.Reset();
    band.Reset();
    EXPECT_EQ(ModuleLockCount(), locksAtStart);
    SetBandResourceDirectory("");
    SetProcessBlockerEnvironment(nullptr);
    SetBandSharedDataBlock("");
  }

  void Site() {
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    Object().WindowHost()->Toolbar().AttachFeature(std::make_unique<HeardEvents>(&heard));
  }
  TBWToolBarObj& Object() { return *static_cast<TBWToolBarObj*>(band.get()); }
  TBWToolBarObj::PopupFlags Flags() { return Object().Flags(); }
  HRESULT Fire(DISPID id, std::vector<VARIANT> args = {}) {
    return browser.events.Fire(id, std::move(args));
  }
  HRESULT Navigate(const wchar_t* url) {
    win32::Bstr text(url);
    VARIANT value = Text(text);
    return Fire(250, {Disp(&frameBrowser), RefTo(&value), Number(0), Number(0), Number(0),
                      Number(0), Number(0)});
  }
  std::unique_ptr<SharedData> Table() { return SharedData::Open(BandSharedDataBlock()); }

  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  SilentMessages messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  TempDir dir;
  QuietEnvironment keys;
  FakeWebBrowser browser;
  FakeWebBrowser frameBrowser;  // a frame of the page
  FakeBandSite site;
  win32::ScopedWindow frame;
  long locksAtStart = 0;
  ComRef<IDeskBand> band;
  ComRef<IObjectWithSite> withSite;
  std::vector<int> heard;
};

TEST_F(BandEventsTest, OnQuitDisconnectsEverythingAndGivesEveryReferenceBack) {
  site.offerInputSite = false;
  Site();
  EXPECT_EQ(browser.events.advises, 1);
  EXPECT_EQ(browser.events.sinks.size(), 1u);
  EXPECT_NE(ProcOf(frame.get()), &FrameProc);
  const HHOOK hook = Object().KeyboardHook();
  EXPECT_NE(hook, nullptr);
  const auto frameKey = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(frame.get()));
  EXPECT_NE(Table()->FindBandByWindow(frameKey), 0u);
  SendMessageA(frame.get(), kProbe, 0, 0);
  EXPECT_EQ(g_frameMessages[kProbe], 1);

  // A frame's document completes, and the top frame's navigation too.
  EXPECT_EQ(Fire(259, {Disp(&frameBrowser), Number(0)}), S_OK);
  EXPECT_EQ(Fire(252, {Disp(&frameBrowser), Number(0)}), S_OK);
  EXPECT_EQ(Object().FrameSinkCount(), 1u);
  EXPECT_EQ(frameBrowser.refs, 3u);  // the frame record's and the top frame's

  EXPECT_EQ(Fire(253), S_OK);
  EXPECT_TRUE(Object().Quitting());
  // The page was unloaded while the band was still there.
  EXPECT_EQ(browser.navigated, L"about:blank");
  EXPECT_EQ(browser.events.unadvises, 1);
  EXPECT_TRUE(browser.events.sinks.empty());
  EXPECT_EQ(browser.events.refs, 0u);
  EXPECT_EQ(Object().FrameSinkCount(), 0u);
  EXPECT_EQ(frameBrowser.refs, 1u);
  EXPECT_EQ(ProcOf(frame.get()), &FrameProc);
  EXPECT_FALSE(UnhookWindowsHookEx(hook));  // already removed
  EXPECT_EQ(Table()->FindBandByWindow(frameKey), 0u);
  // Events after the quit change nothing.
  EXPECT_EQ(Fire(259, {Disp(&frameBrowser), Number(0)}), S_OK);
  EXPECT_EQ(Object().FrameSinkCount(), 0u);

  // Leaving the site runs the same teardown again, harmlessly.
  browser.navigated.clear();
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_TRUE(browser.navigated.empty());
  EXPECT_EQ(site.refs, 1u);
  EXPECT_EQ(browser.refs, 1u);
  withSite.Reset();
  band.Reset();
  EXPECT_EQ(ModuleLockCount(), locksAtStart);
}

TEST_F(BandEventsTest, LeavingALivingBrowserStopsListeningToIt) {
  site.offerInputSite = false;
  Site();
  const HHOOK hook = Object().KeyboardHook();
  EXPECT_EQ(Fire(259, {Disp(&frameBrowser), Number(0)}), S_OK);
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  // A living browser keeps its page.
  EXPECT_TRUE(browser.navigated.empty());
  EXPECT_TRUE(browser.events.sinks.empty());
  EXPECT_EQ(browser.events.refs, 0u);
  EXPECT_EQ(frameBrowser.refs, 1u);
  EXPECT_EQ(ProcOf(frame.get()), &FrameProc);
  EXPECT_FALSE(UnhookWindowsHookEx(hook));
  EXPECT_EQ(browser.refs, 1u);
  // And a new site connects afresh.
  Site();
  EXPECT_EQ(browser.events.sinks.size(), 1u);
  EXPECT_FALSE(Object().Quitting());
}

TEST_F(BandEventsTest, NavigationEventsSetTheFlagsAndKeepOrDropTheFrameSinks) {
  Site();
  EXPECT_EQ(Flags().navigationSettled, 1u);
  EXPECT_EQ(Flags().allow, 0u);
  EXPECT_EQ(Object().KeyboardHook(), nullptr);  // the site routes keys itself

  EXPECT_EQ(Fire(259, {Disp(&frameBrowser), Number(0)}), S_OK);
  EXPECT_EQ(Object().FrameSinkCount(), 1u);
  // The same frame completing again replaces its record.
  EXPECT_EQ(Fire(259, {Disp(&frameBrowser), Number(0)}), S_OK);
  EXPECT_EQ(Object().FrameSinkCount(), 1u);
  EXPECT_EQ(frameBrowser.refs, 2u);

  // A script address, in any case, allows the next window and keeps the page.
  EXPECT_EQ(Navigate(L"JavaScript:void(0)"), S_OK);
  EXPECT_EQ(Flags().allow, 1u);
  EXPECT_EQ(Flags().navigationSettled, 0u);
  EXPECT_EQ(Object().FrameSinkCount(), 1u);

  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT cancelArg;
  cancelArg.vt = VT_BYREF | VT_BOOL;
  cancelArg.pboolVal = &cancel;
  IDispatch* newWindow = nullptr;
  VARIANT newWindowArg;
  newWindowArg.vt = VT_BYREF | VT_DISPATCH;
  newWindowArg.ppdispVal = &newWindow;
  SetBlocker(true);
  EXPECT_EQ(Fire(251, {newWindowArg, cancelArg}), S_OK);
  EXPECT_EQ(cancel, VARIANT_FALSE);
  EXPECT_EQ(Flags().allow, 0u);
  // The flag is spent: the next window of the page is cancelled.
  EXPECT_EQ(Fire(251, {newWindowArg, cancelArg}), S_OK);
  EXPECT_EQ(cancel, VARIANT_TRUE);
  SetBlocker(false);

  // Any other address leaves the page: every frame sink goes.
  EXPECT_EQ(Navigate(L"http://next.test/javascript:"), S_OK);
  EXPECT_EQ(Flags().allow, 0u);
  EXPECT_EQ(Object().FrameSinkCount(), 0u);
  EXPECT_EQ(frameBrowser.refs, 1u);

  EXPECT_EQ(Fire(106), S_OK);
  EXPECT_EQ(Fire(252, {Disp(&frameBrowser), Number(0)}), S_OK);
  EXPECT_EQ(Flags().navigationSettled, 1u);
  // The top frame's document: the toolbar hears of it, the top frame is
  // forgotten.
  EXPECT_EQ(Fire(259, {Disp(&frameBrowser), Number(0)}), S_OK);
  EXPECT_EQ(frameBrowser.refs, 2u);
  EXPECT_EQ(Flags().navigationSettled, 1u);
  EXPECT_EQ(Fire(104), S_OK);
  EXPECT_EQ(heard, (std::vector<int>{106, 252, 259, 104}));
}

TEST_F(BandEventsTest, EventsWithMissingOrMistypedArgumentsAreAnsweredAndIgnored) {
  Site();
  ComRef<IDispatch> dispatch = band.As<IDispatch>(IID_IDispatch);
  ASSERT_TRUE(dispatch);
  auto invoke = [&](DISPID id, DISPPARAMS* params) {
    return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, params, nullptr, nullptr, nullptr);
  };
  VARIANT dangling;
  VariantInit(&dangling);
  std::vector<std::vector<VARIANT>> blocks;
  blocks.push_back({});
  blocks.push_back(std::vector<VARIANT>(7, Number(3)));
  VARIANT nullRef;
  nullRef.vt = VT_BYREF | VT_VARIANT;
  nullRef.pvarVal = nullptr;
  VARIANT nullDispatchRef;
  nullDispatchRef.vt = VT_BYREF | VT_DISPATCH;
  nullDispatchRef.ppdispVal = nullptr;
  VARIANT nullBoolRef;
  nullBoolRef.vt = VT_BYREF | VT_BOOL;
  nullBoolRef.pboolVal = nullptr;
  blocks.push_back({nullRef, nullDispatchRef, nullBoolRef, Disp(nullptr), RefTo(&dangling),
                    nullBoolRef, nullBoolRef});
  blocks.push_back({Disp(nullptr)});
  for (DISPID id : {104, 106, 250, 251, 252, 259, 258, 273, 777}) {
    EXPECT_EQ(invoke(id, nullptr), E_INVALIDARG) << id;
    DISPPARAMS lying{nullptr, nullptr, 7, 0};  // a count without arguments
    EXPECT_EQ(invoke(id, &lying), S_OK) << id;
    for (std::vector<VARIANT>& block : blocks) {
      DISPPARAMS params{block.empty() ? nullptr : block.data(), nullptr,
                        static_cast<UINT>(block.size()), 0};
      EXPECT_EQ(invoke(id, &params), S_OK) << id;
    }
  }
  EXPECT_EQ(Object().FrameSinkCount(), 0u);
  // A URL passed as a reference to a string is still read.
  win32::Bstr url(L"javascript:go()");
  BSTR raw = url.get();
  VARIANT byRef;
  byRef.vt = VT_BYREF | VT_BSTR;
  byRef.pbstrVal = &raw;
  EXPECT_EQ(Fire(250, {Disp(nullptr), byRef}), S_OK);
  EXPECT_EQ(Flags().allow, 1u);
}

TEST_F(BandEventsTest, PageInterfacesAnswerForThemselvesWithoutTheBrowsersOwn) {
  Site();
  // Every interface leads back to the one object.
  const IID* iids[] = {&IID_ITBWToolBarObjquorvane, &IID_IOleWindow,        &IID_IDockingWindow,
                       &IID_IObjectWithSite,        &IID_IDeskBand,         &IID_IPersist,
                       &IID_IPersistStream,         &IID_IInputObject,      &IID_IDocHostUIHandler,
                       &IID_IPropertyNotifySink,    &IID_IOleCommandTarget, &IID_IDispatch};
  for (const IID* iid : iids) {
    ComRef<IUnknown> asked;
    ASSERT_EQ(band->QueryInterface(*iid, asked.OutVoid()), S_OK);
    EXPECT_EQ(asked.As<IUnknown>(IID_IUnknown).get(), band.As<IUnknown>(IID_IUnknown).get());
  }

  ComRef<IPersistStream> persist = band.As<IPersistStream>(IID_IPersistStream);
  CLSID clsid{};
  EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_TBWToolBarObjquorvane));
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  EXPECT_EQ(persist->Load(nullptr), S_OK);
  EXPECT_EQ(persist->Save(nullptr, TRUE), S_OK);
  EXPECT_EQ(persist->GetSizeMax(nullptr), E_NOTIMPL);

  ComRef<IDocHostUIHandler> ui = band.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
  POINT point{};
  EXPECT_EQ(ui->ShowContextMenu(0, &point, nullptr, nullptr), S_FALSE);
  DOCHOSTUIINFO info{};
  info.cbSize = sizeof info;
  EXPECT_EQ(ui->GetHostInfo(&info), S_OK);
  EXPECT_EQ(ui->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_FALSE);
  EXPECT_EQ(ui->HideUI(), S_OK);
  EXPECT_EQ(ui->UpdateUI(), S_OK);
  EXPECT_EQ(ui->EnableModeless(TRUE), S_OK);
  EXPECT_EQ(ui->OnDocWindowActivate(TRUE), S_OK);
  EXPECT_EQ(ui->OnFrameWindowActivate(TRUE), S_OK);
  EXPECT_EQ(ui->ResizeBorder(nullptr, nullptr, FALSE), S_OK);
  MSG message{};
  EXPECT_EQ(ui->TranslateAccelerator(&message, nullptr, 0), E_NOTIMPL);
  LPOLESTR key = reinterpret_cast<LPOLESTR>(1);
  EXPECT_EQ(ui->GetOptionKeyPath(&key, 0), E_FAIL);
  EXPECT_EQ(key, nullptr);
  IDropTarget* drop = reinterpret_cast<IDropTarget*>(1);
  EXPECT_EQ(ui->GetDropTarget(nullptr, &drop), S_OK);
  EXPECT_EQ(drop, nullptr);
  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(ui->GetExternal(&external), S_FALSE);
  EXPECT_EQ(external, nullptr);
  wchar_t url[] = L"http://a.test/";
  LPWSTR translated = reinterpret_cast<LPWSTR>(1);
  EXPECT_EQ(ui->TranslateUrl(0, url, &translated), S_FALSE);
  EXPECT_EQ(translated, nullptr);
  IDataObject* filtered = reinterpret_cast<IDataObject*>(1);
  EXPECT_EQ(ui->FilterDataObject(nullptr, &filtered), S_FALSE);
  EXPECT_EQ(filtered, nullptr);

  // A script error never shows its dialog: scripts go on.
  ComRef<IOleCommandTarget> commands = band.As<IOleCommandTarget>(IID_IOleCommandTarget);
  win32::Variant answer;
  EXPECT_EQ(commands->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, answer.get()), S_OK);
  EXPECT_EQ(answer.get()->vt, VT_BOOL);
  EXPECT_EQ(answer.get()->boolVal, VARIANT_TRUE);
  EXPECT_EQ(commands->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(commands->Exec(nullptr, OLECMDID_PRINT, 0, nullptr, nullptr), S_OK);
  OLECMD command{OLECMDID_PRINT, 0};
  EXPECT_EQ(commands->QueryStatus(nullptr, 1, &command, nullptr), S_OK);

  ComRef<IPropertyNotifySink> notify = band.As<IPropertyNotifySink>(IID_IPropertyNotifySink);
  EXPECT_EQ(notify->OnChanged(DISPID_READYSTATE), S_OK);  // no document yet
  EXPECT_EQ(notify->OnRequestEdit(DISPID_READYSTATE), S_OK);
}

TEST_F(BandEventsTest, FrameMessagesReachTheirProcedureForABandWithoutATableEntry) {
  // Fill this test's window table so that the band gets no entry.
  std::unique_ptr<SharedData> table = Table();
  ASSERT_NE(table, nullptr);
  std::vector<uint64_t> fillers;
  for (uint64_t i = table->BrowserWindows().size(); i < kMaxBrowserWindows; ++i) {
    fillers.push_back(0x7000000 + i);
    ASSERT_TRUE(table->RegisterBrowserWindow(fillers.back(), 1, 1, 1));
  }
  site.offerInputSite = false;
  Site();
  EXPECT_EQ(messages.shown, std::vector<std::string>{"quorvane: Too many explorer windows"});
  const HHOOK hook = Object().KeyboardHook();
  ASSERT_NE(hook, nullptr);
  EXPECT_NE(ProcOf(frame.get()), &FrameProc);
  SendMessageA(frame.get(), kProbe, 0, 0);
  EXPECT_EQ(g_frameMessages[kProbe], 1);

  // A script moving the placed window is stopped when the blocker acts
  // on the page, and the move still reaches the window's procedure.
  SendMessageA(frame.get(), WM_EXITSIZEMOVE, 0, 0);
  SetWindowPos(frame.get(), nullptr, 5, 5, 900, 60, SWP_NOZORDER | SWP_NOACTIVATE);
  SetBlocker(true);
  const int changing = g_frameMessages[WM_WINDOWPOSCHANGING];
  SetWindowPos(frame.get(), nullptr, 40, 40, 500, 50, SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_GT(g_frameMessages[WM_WINDOWPOSCHANGING], changing);
  RECT placed{};
  GetWindowRect(frame.get(), &placed);
  EXPECT_EQ(placed.left, 5);
  EXPECT_EQ(placed.right - placed.left, 900);
  // While the user sizes the window, nothing is stopped.
  SendMessageA(frame.get(), WM_ENTERSIZEMOVE, 0, 0);
  SetWindowPos(frame.get(), nullptr, 40, 40, 500, 50, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageA(frame.get(), WM_EXITSIZEMOVE, 0, 0);
  GetWindowRect(frame.get(), &placed);
  EXPECT_EQ(placed.left, 40);

  // The band without an entry still removes its hook and its procedure.
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_EQ(ProcOf(frame.get()), &FrameProc);
  EXPECT_FALSE(UnhookWindowsHookEx(hook));
  for (uint64_t filler : fillers) EXPECT_TRUE(table->UnregisterBrowserWindow(1, filler, 1));
}

TEST_F(BandEventsTest, TwoBandsOnOneFrameWindowPutItsProcedureBackOnlyWhenBothLeave) {
  Site();
  ComRef<IDeskBand> second;
  ComRef<IClassFactory> factory;
  ASSERT_EQ(GetModuleClassObject(CLSID_TBWToolBarObjquorvane, IID_IClassFactory, factory.OutVoid()),
            S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, second.OutVoid()), S_OK);
  factory.Reset();
  ComRef<IObjectWithSite> secondSite = second.As<IObjectWithSite>(IID_IObjectWithSite);
  ASSERT_EQ(secondSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_NE(ProcOf(frame.get()), &FrameProc);
  SendMessageA(frame.get(), kProbe, 0, 0);
  EXPECT_EQ(g_frameMessages[kProbe], 1);
  EXPECT_EQ(secondSite->SetSite(nullptr), S_OK);
  EXPECT_EQ(ProcOf(frame.get()), &FrameProc);
}

// The band on the scripted browser, whose pages fire their own events at
// the sinks the band advised, as the browser's do.
class BandPageTest : public BandEventsTest {
 protected:
  void SetUp() override {
    BandEventsTest::SetUp();
    if (HasFatalFailure()) return;
    scripted = sim::ScriptedWebBrowser::CreateTop(frame.get());
    site.browser = scripted;
    Site();
  }
  void TearDown() override {
    if (withSite) withSite->SetSite(nullptr);
    withSite.Reset();
    band.Reset();
    if (scripted) {
      // Every object of the browser and its pages back with its owner.
      for (const sim::ObjectCount& count : scripted->Ledger().Owned())
        EXPECT_EQ(count.refs, 1) << count.name;
      EXPECT_EQ(scripted->Ledger().TransientAlive(), 0);
      EXPECT_EQ(scripted->Refs(), 1);
      site.browser = &browser;
      scripted->Release();
    }
    BandEventsTest::TearDown();
  }

  sim::ScriptedDocument* FrameDocument(sim::ScriptedDocument* page) {
    return page->FrameBrowsers().at(0)->CurrentDocument();
  }
  IDispatch* FrameOf(sim::ScriptedDocument* page) {
    return static_cast<IWebBrowser2*>(page->FrameBrowsers().at(0));
  }

  sim::ScriptedWebBrowser* scripted = nullptr;
};

sim::PageElement Element(const wchar_t* tag, int parent = -1) {
  sim::PageElement element;
  element.tag = tag;
  element.parent = parent;
  return element;
}

// A page with one frame, whose elements are, by index:
// 0 DIV > 1 A > (2 SPAN, 3 IMG), 0 DIV > 4 P, 5 MAP > 6 area, 7 FORM > 8 INPUT,
// 9 IMG; the frame holds 0 A.
sim::PageDescription Page(const wchar_t* url) {
  sim::PageDescription page;
  page.url = url;
  page.title = L"A page";
  page.elements = {Element(L"DIV"),      Element(L"A", 0), Element(L"SPAN", 1), Element(L"IMG", 1),
                   Element(L"P", 0),     Element(L"MAP"),  Element(L"area", 5), Element(L"FORM"),
                   Element(L"INPUT", 7), Element(L"IMG")};
  sim::PageDescription frame;
  frame.url = L"http://frame.test/";
  frame.elements = {Element(L"A")};
  page.frames.push_back(frame);
  return page;
}

sim::PageDescription Address(const wchar_t* url) {
  sim::PageDescription page;
  page.url = url;
  return page;
}

TEST_F(BandPageTest, EveryFrameHasDocumentAndWindowSinksUntilThePageIsLeft) {
  ASSERT_TRUE(scripted->RunNavigation(Page(L"http://one.test/")));
  sim::ScriptedDocument* top = scripted->CurrentDocument();
  sim::ScriptedDocument* inner = FrameDocument(top);
  for (sim::ScriptedDocument* document : {top, inner}) {
    EXPECT_EQ(document->Events()->Sinks(), 1);
    EXPECT_EQ(document->Window()->Events()->Sinks(), 1);
  }
  EXPECT_EQ(Object().FrameSinkCount(), 2u);
  // Only the top document is watched for its ready state.
  EXPECT_EQ(top->PropertySinks()->Sinks(), 1);
  EXPECT_EQ(inner->PropertySinks()->Sinks(), 0);

  // A frame that completes again replaces its sinks rather than adding.
  scripted->FireDocumentComplete(FrameOf(top));
  EXPECT_EQ(Object().FrameSinkCount(), 2u);
  EXPECT_EQ(inner->Events()->Sinks(), 1);
  EXPECT_EQ(inner->Events()->Advises(), 2);

  // A script run from the address keeps the page and its sinks.
  ASSERT_TRUE(scripted->RunNavigation(Address(L"JavaScript:void(0)")));
  EXPECT_EQ(scripted->CurrentDocument(), top);
  EXPECT_EQ(Object().FrameSinkCount(), 2u);
  EXPECT_EQ(top->Events()->Sinks(), 1);

  // Another address leaves the page: its window's before-unload is heard,
  // then every sink on it goes, and the band takes itself back from it.
  ASSERT_EQ(Flags().beforeUnload, 0u);
  ASSERT_TRUE(scripted->RunNavigation(Page(L"http://two.test/")));
  EXPECT_EQ(Flags().beforeUnload, 1u);
  for (sim::ScriptedDocument* document : {top, inner}) {
    EXPECT_EQ(document->Events()->Sinks(), 0);
    EXPECT_EQ(document->Window()->Events()->Sinks(), 0);
    EXPECT_EQ(document->PropertySinks()->Sinks(), 0);
    EXPECT_FALSE(document->HoldsUIHandler());
  }
  sim::ScriptedDocument* next = scripted->CurrentDocument();
  ASSERT_NE(next, top);
  EXPECT_EQ(next->Events()->Sinks(), 1);
  EXPECT_EQ(FrameDocument(next)->Window()->Events()->Sinks(), 1);
  EXPECT_EQ(next->PropertySinks()->Sinks(), 1);

  // The quit lets go of the rest.
  scripted->FireQuit();
  EXPECT_EQ(scripted->EventSinks(), 0);
  EXPECT_EQ(Object().FrameSinkCount(), 0u);
  EXPECT_EQ(next->Events()->Sinks(), 0);
  EXPECT_EQ(FrameDocument(next)->Window()->Events()->Sinks(), 0);
  EXPECT_EQ(next->PropertySinks()->Sinks(), 0);
  EXPECT_FALSE(next->HoldsUIHandler());
}

TEST_F(BandPageTest, MouseDownOnWhatAsksForMoreAllowsTheNextWindow) {
  ASSERT_TRUE(scripted->RunNavigation(Page(L"http://one.test/")));
  SetBlocker(true);
  struct Click {
    int element;
    bool eventAsArgument;
    uint32_t allow;
    const char* what;
  };
  const Click clicks[] = {
      {1, true, 1, "a link"},
      {2, true, 1, "text inside a link"},
      {3, true, 1, "an image inside a link"},
      {3, false, 1, "the same, the event only on the window"},
      {6, true, 1, "an image map area, its tag in lower case"},
      {8, false, 1, "a form's input"},
      {9, true, 1, "an image"},
      {4, true, 0, "a paragraph beside the link"},
      {0, true, 0, "the division that holds the link"},
      {-1, false, 0, "the body"},
  };
  for (const Click& click : clicks) {
    ASSERT_TRUE(scripted->FireMouseDown(click.element, click.eventAsArgument));
    EXPECT_EQ(Flags().allow, click.allow) << click.what;
    // The blocker decides with the flag, which the new window spends.
    EXPECT_EQ(scripted->RequestNewWindow(), click.allow == 0) << click.what;
    EXPECT_EQ(Flags().allow, 0u) << click.what;
  }
  // A link in a frame counts as one in the page.
  sim::ScriptedDocument* inner = FrameDocument(scripted->CurrentDocument());
  EXPECT_EQ(inner->FireMouseDown(0).size(), 1u);
  EXPECT_EQ(Flags().allow, 1u);
}

TEST_F(BandPageTest, EveryNavigationEventClearsTheAllowFlag) {
  ASSERT_TRUE(scripted->RunNavigation(Page(L"http://one.test/")));
  sim::ScriptedDocument* top = scripted->CurrentDocument();
  auto clickLink = [&] {
    scripted->FireMouseDown(1);
    ASSERT_EQ(Flags().allow, 1u);
  };
  clickLink();
  scripted->FireNavigateComplete2(FrameOf(top));
  EXPECT_EQ(Flags().allow, 0u);
  clickLink();
  scripted->FireDocumentComplete(FrameOf(top));
  EXPECT_EQ(Flags().allow, 0u);
  // A script address allows the next window by itself.
  clickLink();
  EXPECT_FALSE(scripted->FireBeforeNavigate2(L"javascript:open()"));
  EXPECT_EQ(Flags().allow, 1u);
  EXPECT_EQ(Flags().navigationSettled, 0u);
  // Any other address clears it, and the page's links no longer count.
  EXPECT_FALSE(scripted->FireBeforeNavigate2(L"http://away.test/javascript:"));
  EXPECT_EQ(Flags().allow, 0u);
  scripted->FireMouseDown(1);
  EXPECT_EQ(Flags().allow, 0u);
}

TEST_F(BandPageTest, TheTopDocumentHasTheBandAsUiHandlerForwardingToTheBrowsersOwn) {
  ASSERT_TRUE(scripted->RunNavigation(Page(L"http://one.test/")));
  sim::ScriptedDocument* page = scripted->CurrentDocument();
  EXPECT_TRUE(page->HoldsUIHandler());
  EXPECT_EQ(page->UIHandlersSet(), 1);
  EXPECT_EQ(FrameDocument(page)->UIHandlersSet(), 0);

  // What the band does not answer itself goes to the browser's own.
  const size_t before = scripted->ClientSite()->Calls().size();
  ComRef<IDocHostUIHandler> ui = band.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
  DOCHOSTUIINFO info{};
  info.cbSize = sizeof info;
  EXPECT_EQ(ui->GetHostInfo(&info), S_OK);
  EXPECT_EQ(ui->HideUI(), S_OK);
  MSG message{};
  EXPECT_EQ(ui->TranslateAccelerator(&message, nullptr, 0), S_FALSE);
  EXPECT_EQ(ui->ShowContextMenu(0, nullptr, nullptr, nullptr), S_FALSE);
  ComRef<IOleCommandTarget> commands = band.As<IOleCommandTarget>(IID_IOleCommandTarget);
  EXPECT_EQ(commands->Exec(nullptr, OLECMDID_PRINT, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(commands->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, nullptr), S_OK);
  OLECMD command{OLECMDID_PRINT, 0};
  EXPECT_EQ(commands->QueryStatus(nullptr, 1, &command, nullptr), S_OK);
  const std::vector<std::wstring>& calls = scripted->ClientSite()->Calls();
  EXPECT_EQ(std::vector<std::wstring>(calls.begin() + before, calls.end()),
            (std::vector<std::wstring>{L"GetHostInfo", L"HideUI", L"TranslateAccelerator",
                                       L"Exec 6", L"QueryStatus"}));

  // Leaving the browser takes the band back from the page; it answers
  // for itself again.
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_FALSE(page->HoldsUIHandler());
  EXPECT_EQ(page->UIHandlersSet(), 2);
  EXPECT_EQ(page->PropertySinks()->Sinks(), 0);
  EXPECT_EQ(ui->TranslateAccelerator(&message, nullptr, 0), E_NOTIMPL);
  page->SetReadyState(L"complete");
}

int g_keysSeen = 0;
LRESULT CALLBACK CountingKeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) ++g_keysSeen;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(BandEventsTest, TheKeyboardHookPassesEveryKeyOn) {
  // The test's hook comes first, so the band's (installed later) is asked
  // before it and must pass the keys on.
  HHOOK own = SetWindowsHookExA(WH_KEYBOARD, CountingKeyboardHook, nullptr, GetCurrentThreadId());
  ASSERT_NE(own, nullptr);
  site.offerInputSite = false;
  Site();
  ASSERT_NE(Object().KeyboardHook(), nullptr);
  // Other test processes of the same Wine server may take the foreground
  // for a moment: the keys are sent again when they went elsewhere.
  for (int attempt = 0; attempt < 3; ++attempt) {
    SetForegroundWindow(frame.get());
    SetFocus(frame.get());
    g_keysSeen = 0;
    keybd_event('Q', 0, 0, 0);
    keybd_event('Q', 0, KEYEVENTF_KEYUP, 0);
    MSG message;
    for (int i = 0; i < 50 && g_keysSeen < 2; ++i) {
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      Sleep(10);
    }
    if (g_keysSeen >= 2) break;
  }
  EXPECT_EQ(g_keysSeen, 2);
  UnhookWindowsHookEx(own);
}

TEST(BandEventHandlers, WriteTheBandsFlagOnlyWhileBound) {
  const long locksAtStart = ModuleLockCount();
  {
    ComRef<ITBWWindowEventHandlerquorvane> window;
    ASSERT_EQ(CreateComObject<TBWWindowEventHandler>(nullptr, IID_ITBWWindowEventHandlerquorvane,
                                                     window.OutVoid()),
              S_OK);
    uint32_t beforeUnload = 0;
    TBWWindowEventHandler::From(window.get())->Bind(&beforeUnload);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(window->Invoke(1016, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(beforeUnload, 0u);
    EXPECT_EQ(window->Invoke(1017, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(beforeUnload, 1u);
    // A page that keeps the handler after the band let go writes nowhere.
    beforeUnload = 0;
    TBWWindowEventHandler::From(window.get())->Unbind();
    EXPECT_EQ(
        window->Invoke(1017, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
        DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(beforeUnload, 0u);

    ComRef<ITBWDocHTMLEventsHandlerquorvane> document;
    ASSERT_EQ(CreateComObject<TBWDocHTMLEventsHandler>(
                  nullptr, IID_ITBWDocHTMLEventsHandlerquorvane, document.OutVoid()),
              S_OK);
    std::unique_ptr<SharedData> shared =
        SharedData::Open("QvHandlerTest" + std::to_string(GetCurrentProcessId()));
    ASSERT_TRUE(shared);
    QuietEnvironment keys;
    PopupBlockerSystem system(*shared, keys);
    PopupBlocker blocker(system, nullptr);
    TBWDocHTMLEventsHandler::From(document.get())->Bind(&blocker, nullptr);
    // No event object to read, in any of the ways a sender may fail to
    // give one.
    VARIANT number = Number(5);
    DISPPARAMS mistyped{&number, nullptr, 1, 0};
    VARIANT nothing = Disp(nullptr);
    DISPPARAMS empty{&nothing, nullptr, 1, 0};
    for (DISPPARAMS* params : {static_cast<DISPPARAMS*>(nullptr), &mistyped, &empty}) {
      EXPECT_EQ(
          document->Invoke(-605, IID_NULL, 0, DISPATCH_METHOD, params, nullptr, nullptr, nullptr),
          DISP_E_MEMBERNOTFOUND);
    }
    EXPECT_FALSE(blocker.AllowFlag());
    TBWDocHTMLEventsHandler::From(document.get())->Unbind();
  }
  EXPECT_EQ(ModuleLockCount(), locksAtStart);
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
