// The toolbar's own windows under Wine: the reflector, the real toolbar
// control and the superclassed input controls, driven by real messages.
#ifdef _WIN32

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "host/standard_features.h"
#include "host/toolbar_command_host.h"
#include "host/win32/toolbar_windows_win32.h"
#include "platform/win32/scoped.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

constexpr char kDefinition[] = R"(TBW_Toolbar {
  BUTTON { caption = "Go" hint = "Go there" command = "go" }
  BUTTON { caption = "Menu" MENU { type = "Single"
    MENUITEM { caption = "Entry" hint = "Entry hint" command = "entry" }
    MENUITEM { caption = "Other" } } }
  COMBO { name = "s" }
  COMBO { name = "e" type = "edit" }
  COMMANDS { GOTOURL { name = "go" url = "http://go.test/" }
             GOTOURL { name = "entry" url = "http://entry.test/" } }
})";

constexpr unsigned kTestTimer = 4242;

class TickFeature : public ToolbarFeature {
 public:
  explicit TickFeature(int* ticks) : ticks_(ticks) {}
  std::vector<FeatureTimer> Timers() override {
    return {FeatureTimer{kTestTimer, 0, [this] { ++*ticks_; }}};
  }

 private:
  int* ticks_;
};

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// Named callbacks: on i686 a lambda converts only to a cdecl pointer.
BOOL CALLBACK AddClass(HWND window, LPARAM data) {
  reinterpret_cast<std::multiset<std::string>*>(data)->insert(ClassOf(window));
  return TRUE;
}

BOOL CALLBACK AddClassAndChildren(HWND window, LPARAM data) {
  AddClass(window, data);
  EnumChildWindows(window, AddClass, data);
  return TRUE;
}

// The class names of every window of this thread and their descendants.
std::multiset<std::string> ThreadWindowClasses() {
  std::multiset<std::string> classes;
  EnumThreadWindows(GetCurrentThreadId(), AddClassAndChildren, reinterpret_cast<LPARAM>(&classes));
  return classes;
}

class ToolbarWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    instance_ = GetModuleHandleA(nullptr);
    site_.Reset(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 800, 22, nullptr, nullptr,
                                instance_, nullptr));
    ASSERT_TRUE(site_);
    WriteFile(dir.File("tbil.bmp"), BitmapBytes(16 * 4, 16));
    WriteFile(dir.File("tbhotil.bmp"), BitmapBytes(16 * 4, 16));
    WriteFile(dir.File("quorvane.tbd"), kDefinition);
    host = ToolbarWindowHost::Create(instance_, site_.get(), lookup, hooks.Hooks());
    ASSERT_NE(host, nullptr);
    AttachStandardFeatures(host->Toolbar());
    ASSERT_TRUE(host->Toolbar().AttachFeature(std::make_unique<TickFeature>(&ticks)));
    host->Toolbar().CommandHost().SetBrowser(&browser);
    ASSERT_TRUE(host->Toolbar().BuildToolbar(true));
  }
  void TearDown() override { host.reset(); }

  std::vector<std::string> Navigations() {
    std::vector<std::string> urls;
    for (const RecordedCall& call : browser.Log().Named("Navigate2"))
      urls.push_back(call.Arg("url").value_or(""));
    return urls;
  }
  HWND Window(int item) { return reinterpret_cast<HWND>(host->Toolbar().ItemWindow(item)); }
  HWND EditOf(size_t n) {
    return reinterpret_cast<HWND>(host->Toolbar().Keyboard().Controls().at(n).EditWindow());
  }
  LRESULT Notify(NMHDR* header) {
    return SendMessageA(host->Reflector(), WM_NOTIFY, header->idFrom,
                        reinterpret_cast<LPARAM>(header));
  }

  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  SilentMessages messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  TempDir dir;
  LocalResourceLookup lookup{dir.path()};
  RecordingHooks hooks;
  ScriptedBrowser browser;
  HINSTANCE instance_ = nullptr;
  win32::ScopedWindow site_;
  std::unique_ptr<ToolbarWindowHost> host;
  int ticks = 0;
};

TEST_F(ToolbarWindowsTest, WindowsHaveTheirClassesAndNoneOutliveTheHost) {
  EXPECT_TRUE(RegisterToolbarWindowClasses(instance_));  // again: harmless
  HWND reflector = host->Reflector();
  EXPECT_EQ(ClassOf(reflector), kReflectorWindowClass);
  EXPECT_EQ(GetParent(reflector), site_.get());
  RECT r{};
  GetClientRect(reflector, &r);
  EXPECT_EQ(r.right, 800);
  HWND control = host->Control();
  EXPECT_EQ(ClassOf(control), kToolbarControlClass);
  EXPECT_EQ(GetParent(control), reflector);
  EXPECT_TRUE(GetWindowLongA(control, GWL_STYLE) & TBSTYLE_TOOLTIPS);
  EXPECT_EQ(ClassOf(Window(2)), kComboBoxWindowClass);
  EXPECT_EQ(ClassOf(Window(3)), kEditWindowClass);
  EXPECT_NE(EditOf(0), Window(2));  // the combo's own edit part
  EXPECT_EQ(ToolbarWindowHost::FromWindow(EditOf(0)), host.get());
  EXPECT_EQ(ToolbarWindowHost::FromWindow(site_.get()), nullptr);

  // Unknown messages take the default path of each window.
  EXPECT_EQ(SendMessageA(control, TB_BUTTONCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageA(reflector, WM_USER + 77, 1, 2), 0);

  host.reset();
  EXPECT_FALSE(IsWindow(reflector));
  const std::multiset<std::string> left = ThreadWindowClasses();
  for (const char* name :
       {kReflectorWindowClass, kComboBoxWindowClass, kEditWindowClass, kToolbarControlClass})
    EXPECT_EQ(left.count(name), 0u) << name;
}

TEST_F(ToolbarWindowsTest, ReflectedClicksAndMenuChoicesRunTheirCommands) {
  HWND control = host->Control();
  const LPARAM from = reinterpret_cast<LPARAM>(control);
  SendMessageA(host->Reflector(), WM_COMMAND, MAKEWPARAM(1024, BN_CLICKED), from);
  EXPECT_EQ(Navigations(), std::vector<std::string>{"http://go.test/"});
  EXPECT_EQ(host->Toolbar().LastClickedItem(), 0);
  // Not from the control, or naming no item: nothing runs.
  SendMessageA(host->Reflector(), WM_COMMAND, MAKEWPARAM(1024, BN_CLICKED),
               reinterpret_cast<LPARAM>(site_.get()));
  SendMessageA(host->Reflector(), WM_COMMAND, MAKEWPARAM(1099, BN_CLICKED), from);
  EXPECT_EQ(Navigations().size(), 1u);

  // The drop-down menu's owner is the control: choices and hints arrive there.
  SendMessageA(control, WM_MENUSELECT, MAKEWPARAM(2048 + 800, MF_OWNERDRAW), 0);
  SendMessageA(control, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(hooks.statusTexts, (std::vector<std::string>{"Entry hint", ""}));
  SendMessageA(control, WM_COMMAND, MAKEWPARAM(2048 + 800, 0), 0);
  EXPECT_EQ(Navigations().back(), "http://entry.test/");
  // An accelerator's command is not a menu choice.
  SendMessageA(control, WM_COMMAND, MAKEWPARAM(2048 + 800, 1), 0);
  EXPECT_EQ(Navigations().size(), 2u);
}

TEST_F(ToolbarWindowsTest, NotificationsGiveHintsDrawingAndTimerTicks) {
  HWND tips = reinterpret_cast<HWND>(SendMessageA(host->Control(), TB_GETTOOLTIPS, 0, 0));
  NMTTDISPINFOA tip{};
  tip.hdr = NMHDR{tips, 1024, TTN_GETDISPINFOA};
  Notify(&tip.hdr);
  ASSERT_NE(tip.lpszText, nullptr);
  EXPECT_STREQ(tip.lpszText, "Go there");
  NMTTDISPINFOW wide{};
  wide.hdr = NMHDR{tips, 1024, TTN_GETDISPINFOW};
  Notify(&wide.hdr);
  ASSERT_NE(wide.lpszText, nullptr);
  EXPECT_STREQ(wide.lpszText, L"Go there");
  NMTTDISPINFOA none{};
  none.hdr = NMHDR{tips, 1090, TTN_GETDISPINFOA};
  Notify(&none.hdr);
  EXPECT_EQ(none.lpszText, nullptr);

  NMTBCUSTOMDRAW draw{};
  draw.nmcd.hdr = NMHDR{host->Control(), 0, static_cast<UINT>(NM_CUSTOMDRAW)};
  draw.nmcd.dwDrawStage = CDDS_PREPAINT;
  EXPECT_EQ(Notify(&draw.nmcd.hdr), CDRF_NOTIFYITEMDRAW);

  SendMessageA(host->Control(), WM_TIMER, kTestTimer, 0);
  SendMessageA(host->Control(), WM_TIMER, 777, 0);  // nobody's: the control's own
  EXPECT_EQ(ticks, 1);
  // The indicator refresh has no indicators to update here; it is answered.
  EXPECT_EQ(SendMessageA(host->Control(), kIndicatorRefreshMessage, 0, 0), 0);
}

// The drop-down menu is modal: a thread timer looks at it and closes it.
int g_shownEntries = -1;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD) {
  if (HWND menu = FindWindowA("#32768", nullptr)) {
    auto popup = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
    if (popup) g_shownEntries = GetMenuItemCount(popup);
  }
  EndMenu();
}

TEST_F(ToolbarWindowsTest, DropDownShowsTheItemsMenu) {
  g_shownEntries = -1;
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseMenu);
  NMTOOLBARA drop{};
  drop.hdr = NMHDR{host->Control(), 0, static_cast<UINT>(TBN_DROPDOWN)};
  drop.iItem = 1025;
  EXPECT_EQ(Notify(&drop.hdr), TBDDRET_DEFAULT);
  KillTimer(nullptr, timer);
  EXPECT_GE(g_shownEntries, 2);  // the two entries, and the side banner if any
}

TEST_F(ToolbarWindowsTest, EnterInAnInputControlRunsItsSearch) {
  // The combo's edit part is subclassed; the edit field is a superclass.
  SendMessageA(EditOf(0), WM_KEYUP, VK_RETURN, 0xC0000001);
  SendMessageA(EditOf(1), WM_KEYUP, VK_RETURN, 0xC0000001);
  EXPECT_EQ(hooks.searches, (std::vector<std::string>{"s", "e"}));
  // Other keys are the controls' own.
  SendMessageA(EditOf(0), WM_KEYUP, 'A', 0xC0000001);
  EXPECT_EQ(hooks.searches.size(), 2u);
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
