// The band object under Wine, as the browser drives it: sited in a real
// rebar by a site object of the test's, asked for its band information,
// shown, focused and given keys, then released with nothing left behind.
#ifdef _WIN32

#include <windows.h>
#include <commctrl.h>
#include <shlguid.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/shared_data.h"
#include "host/toolbar_ctrl.h"
#include "host/win32/com_classes.h"
#include "host/win32/com_module.h"
#include "host/win32/toolbar_windows_win32.h"
#include "platform/win32/scoped.h"
#include "settings/settings.h"
#include "support/fake_web_browser.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

using win32::ComRef;

// The search item's name is its own: the last value of an input item is
// remembered for the whole process.
constexpr char kDefinition[] = R"(TBW_Toolbar {
  BUTTON { caption = "Go" command = "go" }
  BUTTON { caption = "Menu" MENU { type = "Single"
    MENUITEM { caption = "Entry" hint = "Entry hint" command = "go" } } }
  COMBO { name = "bandq" command = "find" }
  COMMANDS { GOTOURL { name = "go" url = "http://go.test/" }
             GOTOURL { name = "find" url = "http://find.test/?q=%bandq" } }
})";

struct ChildCount {
  const char* name;
  int n;
};

// A named callback: on i686 a lambda converts only to a cdecl pointer.
BOOL CALLBACK CountChild(HWND window, LPARAM data) {
  auto* c = reinterpret_cast<ChildCount*>(data);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpiA(name, c->name) == 0) ++c->n;
  return TRUE;
}

int CountChildren(HWND parent, const char* className) {
  ChildCount count{className, 0};
  EnumChildWindows(parent, CountChild, reinterpret_cast<LPARAM>(&count));
  return count.n;
}

class BandObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    locksAtStart = ModuleLockCount();
    INITCOMMONCONTROLSEX init{sizeof init, ICC_COOL_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    frame_.Reset(CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 900, 60, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(frame_);
    rebar = CreateWindowExA(0, REBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | RBS_VARHEIGHT, 0, 0,
                            900, 30, frame_.get(), nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(rebar);
    site.window = rebar;
    site.browser = &browser;
    browser.frameWindow = frame_.get();
    WriteFile(dir.File("tbil.bmp"), BitmapBytes(16 * 4, 16));
    WriteFile(dir.File("tbhotil.bmp"), BitmapBytes(16 * 4, 16));
    WriteFile(dir.File("quorvane.tbd"), kDefinition);
    SetBandResourceDirectory(dir.path());
    ResetBandMinimumSizeCounter();

    ComRef<IClassFactory> factory;
    ASSERT_EQ(
        GetModuleClassObject(CLSID_TBWToolBarObjquorvane, IID_IClassFactory, factory.OutVoid()),
        S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, band.OutVoid()), S_OK);
    withSite = band.As<IObjectWithSite>(IID_IObjectWithSite);
    input = band.As<IInputObject>(IID_IInputObject);
    ASSERT_TRUE(withSite && input);
  }
  void TearDown() override {
    // As the browser does: a band it let go of stops listening to it.
    if (withSite) withSite->SetSite(nullptr);
    withSite.Reset();
    input.Reset();
    band.Reset();
    SetBandResourceDirectory("");
  }

  TBWToolBarObj& Object() { return *static_cast<TBWToolBarObj*>(band.get()); }
  TBWToolBarCtrl& Toolbar() { return Object().WindowHost()->Toolbar(); }
  HWND Control() {
    HWND control = nullptr;
    band->GetWindow(&control);
    return control;
  }
  DESKBANDINFO Info(DWORD mask) {
    DESKBANDINFO info{};
    info.dwMask = mask;
    EXPECT_EQ(band->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &info), S_OK);
    return info;
  }
  // Puts the band in the rebar the way the browser does.
  void InsertBand() {
    REBARBANDINFOA info{};
    info.cbSize = REBARBANDINFOA_V6_SIZE;
    info.fMask = RBBIM_CHILD | RBBIM_STYLE | RBBIM_CHILDSIZE;
    info.fStyle = RBBS_CHILDEDGE;
    info.hwndChild = Control();
    info.cyMinChild = 22;
    ASSERT_NE(SendMessageA(rebar, RB_INSERTBANDA, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(&info)),
              0);
  }
  REBARBANDINFOA Band(UINT mask) {
    REBARBANDINFOA info{};
    info.cbSize = REBARBANDINFOA_V6_SIZE;
    info.fMask = mask;
    SendMessageA(rebar, RB_GETBANDINFOA, 0, reinterpret_cast<LPARAM>(&info));
    return info;
  }

  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  SilentMessages messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  TempDir dir;
  FakeWebBrowser browser;
  FakeBandSite site;
  long locksAtStart = 0;
  win32::ScopedWindow frame_;
  HWND rebar = nullptr;
  ComRef<IDeskBand> band;
  ComRef<IObjectWithSite> withSite;
  ComRef<IInputObject> input;
};

TEST_F(BandObjectTest, SiteBuildsTheToolbarAndNullSiteGivesEverythingBack) {
  EXPECT_GT(ModuleLockCount(), locksAtStart);
  HWND none = reinterpret_cast<HWND>(1);
  EXPECT_EQ(band->GetWindow(&none), S_OK);
  EXPECT_EQ(none, nullptr);
  ComRef<IUnknown> unsited;
  EXPECT_EQ(withSite->GetSite(IID_IUnknown, unsited.OutVoid()), E_FAIL);
  EXPECT_FALSE(unsited);

  ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
  HWND control = Control();
  ASSERT_TRUE(IsWindow(control));
  EXPECT_EQ(GetParent(GetParent(control)), rebar);
  EXPECT_EQ(SendMessageA(control, TB_BUTTONCOUNT, 0, 0), 3);
  // The controls come once the band is shown and its messages run.
  EXPECT_TRUE(Toolbar().Keyboard().Controls().empty());
  ASSERT_EQ(band->ShowDW(TRUE), S_OK);
  EXPECT_TRUE(Toolbar().Keyboard().Controls().empty());
  for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
  EXPECT_EQ(Toolbar().Keyboard().Controls().size(), 1u);
  EXPECT_FALSE(Toolbar().ItemWindowsPending());
  ComRef<IInputObjectSite> given;
  EXPECT_EQ(withSite->GetSite(IID_IInputObjectSite, given.OutVoid()), S_OK);
  EXPECT_EQ(given.get(), static_cast<IInputObjectSite*>(&site));
  given.Reset();
  EXPECT_GT(site.refs, 1u);
  EXPECT_GT(browser.refs, 1u);

  // The menu entry's hint reaches the browser's status bar.
  SendMessageA(control, WM_MENUSELECT, MAKEWPARAM(2048 + 800, MF_OWNERDRAW), 0);
  EXPECT_EQ(browser.statusTexts, std::vector<std::wstring>{L"Entry hint"});

  // The frame window leads to this band through the shared table.
  std::unique_ptr<SharedData> shared = SharedData::Open();
  ASSERT_NE(shared, nullptr);
  const auto frameKey = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(frame_.get()));
  EXPECT_EQ(shared->FindBandByWindow(frameKey), reinterpret_cast<uintptr_t>(&Object()));

  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_EQ(shared->FindBandByWindow(frameKey), 0u);
  EXPECT_FALSE(IsWindow(control));
  EXPECT_EQ(CountChildren(frame_.get(), kReflectorWindowClass), 0);
  EXPECT_EQ(site.refs, 1u);
  EXPECT_EQ(browser.refs, 1u);

  // Sited again, then released while sited: the browser's events keep the
  // band until the browser quits, and the last release gives all back.
  ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
  EXPECT_EQ(CountChildren(frame_.get(), kReflectorWindowClass), 1);
  EXPECT_NE(shared->FindBandByWindow(frameKey), 0u);
  withSite.Reset();
  input.Reset();
  band.Reset();
  EXPECT_EQ(CountChildren(frame_.get(), kReflectorWindowClass), 1);
  EXPECT_EQ(browser.events.Fire(253), S_OK);
  EXPECT_TRUE(browser.events.sinks.empty());
  EXPECT_EQ(shared->FindBandByWindow(frameKey), 0u);
  EXPECT_EQ(CountChildren(frame_.get(), kReflectorWindowClass), 0);
  EXPECT_EQ(site.refs, 1u);
  EXPECT_EQ(browser.refs, 1u);
  EXPECT_EQ(ModuleLockCount(), locksAtStart);
}

TEST_F(BandObjectTest, SiteWithoutBrowserOrWindowFailsAndBuildsNothing) {
  struct Case {
    const char* what;
    void (*spoil)(FakeBandSite&);
    HRESULT answer;
  };
  const Case cases[] = {
      {"no services", [](FakeBandSite& s) { s.offerServices = false; }, E_INVALIDARG},
      {"service fails", [](FakeBandSite& s) { s.serviceAnswer = E_NOINTERFACE; }, E_FAIL},
      {"no browser", [](FakeBandSite& s) { s.browser = nullptr; }, E_INVALIDARG},
      {"no window", [](FakeBandSite& s) { s.offerWindow = false; }, E_FAIL},
      {"not a window", [](FakeBandSite& s) { s.window = reinterpret_cast<HWND>(0x4321); }, E_FAIL},
  };
  for (const Case& c : cases) {
    FakeBandSite spoilt;
    spoilt.window = rebar;
    spoilt.browser = &browser;
    c.spoil(spoilt);
    EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&spoilt)), c.answer) << c.what;
    // The site is held, as it was given; nothing else is.
    EXPECT_EQ(spoilt.refs, 2u) << c.what;
    EXPECT_EQ(browser.refs, 1u) << c.what;
    EXPECT_EQ(CountChildren(frame_.get(), kReflectorWindowClass), 0) << c.what;
    HWND control = reinterpret_cast<HWND>(1);
    band->GetWindow(&control);
    EXPECT_EQ(control, nullptr) << c.what;
    ComRef<IUnknown> kept;
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, kept.OutVoid()), S_OK) << c.what;
    EXPECT_EQ(kept.get(), static_cast<IUnknown*>(static_cast<IOleWindow*>(&spoilt))) << c.what;
    kept.Reset();
    std::unique_ptr<SharedData> shared = SharedData::Open();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->FindBandByWindow(reinterpret_cast<uintptr_t>(frame_.get())), 0u) << c.what;
    EXPECT_EQ(browser.events.sinks.size(), 0u) << c.what;
    EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
    EXPECT_EQ(spoilt.refs, 1u) << c.what;
  }
  // A failed site does not stop a good one.
  EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
}

TEST_F(BandObjectTest, BandInfoGivesTheRowFirstThenTheToolbarsWidths) {
  ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
  const int screen = GetSystemMetrics(SM_CXFULLSCREEN) - 20;
  EXPECT_EQ(Info(DBIM_MINSIZE).ptMinSize.x, screen);
  DESKBANDINFO all = Info(DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE |
                          DBIM_BKCOLOR | DBIM_MODEFLAGS);
  EXPECT_EQ(all.ptMinSize.x, screen);
  EXPECT_EQ(all.ptMinSize.y, 22);
  EXPECT_EQ(all.ptMaxSize.x, 0);
  EXPECT_EQ(all.ptMaxSize.y, -1);
  EXPECT_EQ(all.ptIntegral.x, 1);
  EXPECT_EQ(all.ptIntegral.y, 1);
  // The actual width is what the buttons span as the control reads them
  // back after the build, the combo's sized button included.
  int spanned = 0;
  const int count = static_cast<int>(SendMessageA(Control(), TB_BUTTONCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    RECT r{};
    if (SendMessageA(Control(), TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r)))
      spanned += r.right - r.left;
  }
  EXPECT_GT(spanned, 0);
  EXPECT_EQ(all.ptActual.x, spanned);
  EXPECT_EQ(all.ptActual.y, 22);
  EXPECT_EQ(all.wszTitle[0], L'\0');
  EXPECT_EQ(all.dwMask & DBIM_BKCOLOR, 0u);
  EXPECT_EQ(all.dwModeFlags, static_cast<DWORD>(0xA0 | DBIMF_BREAK));
  EXPECT_EQ(Info(DBIM_MINSIZE).ptMinSize.x, Toolbar().MinimumWidth());

  // Its own row the first two times per user, then where the user put it.
  EXPECT_EQ(Info(DBIM_MODEFLAGS).dwModeFlags, static_cast<DWORD>(0xA0 | DBIMF_BREAK));
  EXPECT_EQ(Info(DBIM_MODEFLAGS).dwModeFlags, 0xA0u);
  EXPECT_EQ(GetSettingDword("PosMode", 0), 2u);
  SetSettingDword("PosMode", 1);
  EXPECT_EQ(Info(DBIM_MODEFLAGS).dwModeFlags, static_cast<DWORD>(0xA0 | DBIMF_BREAK));
  EXPECT_EQ(Info(DBIM_MODEFLAGS).dwModeFlags, 0xA0u);
  EXPECT_EQ(band->GetBandInfo(7, 0, nullptr), S_OK);
}

TEST_F(BandObjectTest, ShowingMarksTheRebarBandAndFollowsTheWidth) {
  ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
  InsertBand();
  ASSERT_EQ(band->ShowDW(TRUE), S_OK);
  EXPECT_TRUE(Band(RBBIM_STYLE).fStyle & RBBS_USECHEVRON);
  EXPECT_TRUE(Band(RBBIM_STYLE).fStyle & RBBS_CHILDEDGE);
  EXPECT_TRUE(IsWindowVisible(Control()));
  // Once shown, the minimum is the toolbar's from the first request.
  EXPECT_EQ(Info(DBIM_MINSIZE).ptMinSize.x, Toolbar().MinimumWidth());

  Toolbar().UpdateWidths();
  EXPECT_EQ(Band(RBBIM_IDEALSIZE).cxIdeal, static_cast<UINT>(Toolbar().VisibleWidth()));

  EXPECT_EQ(band->ShowDW(FALSE), S_OK);
  EXPECT_FALSE(GetWindowLongA(Control(), GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(band->CloseDW(0), S_OK);
  EXPECT_TRUE(IsWindow(Control()));  // closing changes nothing
  EXPECT_EQ(band->ResizeBorderDW(nullptr, nullptr, FALSE), E_NOTIMPL);
  EXPECT_EQ(band->GetWindow(nullptr), E_INVALIDARG);
  EXPECT_EQ(band->ContextSensitiveHelp(TRUE), S_OK);
}

TEST_F(BandObjectTest, ActivationFocusesTheSearchAndEnterSearches) {
  ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
  EXPECT_EQ(input->HasFocusIO(), S_FALSE);
  EXPECT_EQ(input->UIActivateIO(FALSE, nullptr), S_OK);
  EXPECT_TRUE(site.focusChanges.empty());

  ASSERT_EQ(input->UIActivateIO(TRUE, nullptr), S_OK);
  const HWND edit = reinterpret_cast<HWND>(Toolbar().Keyboard().Controls().front().EditWindow());
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_EQ(input->HasFocusIO(), S_OK);
  ASSERT_FALSE(site.focusChanges.empty());
  EXPECT_TRUE(site.focusChanges.back());
  EXPECT_TRUE(site.focusFromBand);

  SetWindowTextA(edit, "two words");
  MSG other{edit, WM_KEYUP, 'A', 0, 0, {}};
  EXPECT_EQ(input->TranslateAcceleratorIO(&other), S_FALSE);
  MSG enter{edit, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC0000001), 0, {}};
  EXPECT_EQ(input->TranslateAcceleratorIO(&enter), S_OK);
  EXPECT_EQ(browser.navigated, L"http://find.test/?q=two+words");

  SetFocus(frame_.get());
  EXPECT_EQ(input->HasFocusIO(), S_FALSE);
  EXPECT_FALSE(site.focusChanges.back());

  // Without a site the band has no controls to focus or keys to take.
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_EQ(input->UIActivateIO(TRUE, nullptr), S_OK);
  EXPECT_EQ(input->TranslateAcceleratorIO(&enter), S_FALSE);
  EXPECT_EQ(browser.refs, 1u);
  EXPECT_EQ(site.refs, 1u);
}

TEST(BandObjectConstruction, HoldsTheNamedMutexesOrIsNotMade) {
  SilentMessages messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  const long locksAtStart = ModuleLockCount();
  ComRef<IClassFactory> factory;
  ASSERT_EQ(GetModuleClassObject(CLSID_TBWToolBarObjquorvane, IID_IClassFactory, factory.OutVoid()),
            S_OK);
  {
    ComRef<IDeskBand> band;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, band.OutVoid()), S_OK);
    for (const char* name : {kSharedDataMutexName, kOptionsDialogMutexName}) {
      win32::ScopedHandle opened(OpenMutexA(SYNCHRONIZE, FALSE, name));
      EXPECT_TRUE(opened) << name;
    }
  }
  // Another kind of object holds the options dialog's name: the band
  // cannot be made, and says why.
  win32::ScopedHandle squatter(CreateEventA(nullptr, FALSE, FALSE, kOptionsDialogMutexName));
  ASSERT_TRUE(squatter);
  ComRef<IDeskBand> refused;
  const HRESULT hr = factory->CreateInstance(nullptr, IID_IDeskBand, refused.OutVoid());
  EXPECT_TRUE(FAILED(hr));
  EXPECT_FALSE(refused);
  EXPECT_EQ(messages.shown,
            std::vector<std::string>{"quorvane: Failed to create mutext for toolbar options page"});
  factory.Reset();
  EXPECT_EQ(ModuleLockCount(), locksAtStart);
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
