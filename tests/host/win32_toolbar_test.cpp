// The Win32 backend of the toolbar-control seam on a real toolbar common
// control (run under Wine by the Windows test build).
#ifdef _WIN32

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "host/menu_painter.h"
#include "host/win32/menu_messages_win32.h"
#include "platform/win32/menu_canvas_win32.h"
#include "platform/win32/scoped.h"
#include "platform/win32/toolbar_surface_win32.h"
#include "support/fake_web_browser.h"
#include "support/temp_dir.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

class Win32ToolbarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_BAR_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&init);
    parent_.Reset(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1024, 22, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(parent_) << "error " << GetLastError();
    window_ =
        CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS |
                            CCS_TOP | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                        0, 0, 1024, 22, parent_.get(), nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    control_ = std::make_unique<Win32ToolbarSurface>(window_);
  }
  // The surface goes before the windows it talks to.
  win32::ScopedWindow parent_;
  HWND window_ = nullptr;  // a child of parent_
  std::unique_ptr<Win32ToolbarSurface> control_;
};

TEST_F(Win32ToolbarTest, ButtonsTextsAndHiding) {
  ToolbarSurface& c = *control_;
  EXPECT_EQ(c.ParentWindow(), reinterpret_cast<WindowId>(parent_.get()));
  ASSERT_TRUE(
      c.AddButtons({ToolbarButton{0, 1024, kTbstateEnabled, kBtnsAutosize | kBtnsShowtext, 0, 0},
                    ToolbarButton{8, 1025, 0, kBtnsSep, 0, 0},
                    ToolbarButton{0, 1026, kTbstateEnabled, kBtnsAutosize | kBtnsShowtext, 0, 1}}));
  EXPECT_EQ(c.ButtonCount(), 3);
  ButtonInfo text;
  text.mask = kTbifText | kTbifImage;
  text.text = "Search";
  text.image = 2;
  ASSERT_TRUE(c.SetButtonInfo(1024, text));
  ButtonInfo read;
  ASSERT_TRUE(c.GetButtonInfo(1024, &read));
  EXPECT_EQ(read.text, "Search");
  EXPECT_EQ(read.image, 2);
  EXPECT_TRUE(read.state & kTbstateEnabled);

  EXPECT_FALSE(c.IsButtonHidden(1024));
  EXPECT_TRUE(c.HideButton(1024, true));
  EXPECT_TRUE(c.IsButtonHidden(1024));
  EXPECT_TRUE(c.CheckButton(1026, true));
  EXPECT_TRUE(c.IsButtonChecked(1026));
  EXPECT_TRUE(c.DeleteButton(2));
  EXPECT_EQ(c.ButtonCount(), 2);
  EXPECT_FALSE(c.GetButtonInfo(4000, &read));
}

TEST_F(Win32ToolbarTest, ComboBoxLookupsAndBitmaps) {
  ToolbarSurface& c = *control_;
  const WindowId combo = c.CreateChild(
      ChildSpec{ChildKind::kComboBox, kWsChild | kWsVisible | kCbsDropdown | kCbsAutohscroll, 0,
                Rect{0, 0, 120, 120}});
  ASSERT_NE(combo, 0u);
  for (const char* text : {"Apple", "banana", "apricot"}) c.ComboAddString(combo, text);
  EXPECT_EQ(c.ComboGetCount(combo), 3);
  EXPECT_EQ(c.ComboFindStringExact(combo, -1, "BANANA"), 1);
  EXPECT_EQ(c.ComboSelectString(combo, 0, "ap"), 2);
  EXPECT_EQ(c.ComboGetString(combo, 2), "apricot");
  EXPECT_NE(c.EditPartOf(combo), combo);
  c.ComboSetItemData(combo, 1, 7);
  EXPECT_EQ(c.ComboGetItemData(combo, 1), 7);
  c.DestroyChild(combo);

  TempDir dir;
  WriteFile(dir.File("good.bmp"), BitmapBytes(64, 16));
  WriteFile(dir.File("bad.bmp"), BitmapBytes(64, 16).substr(0, 70));
  int w = 0, h = 0;
  ASSERT_TRUE(c.ReadBitmapSize(dir.File("good.bmp"), &w, &h));
  EXPECT_EQ(h, 16);
  EXPECT_TRUE(c.LoadImageLists(dir.File("good.bmp"), dir.File("good.bmp"), 16));
  EXPECT_FALSE(c.LoadImageLists(dir.File("bad.bmp"), dir.File("good.bmp"), 16));
  EXPECT_FALSE(c.LoadImageLists(dir.File("missing.bmp"), dir.File("good.bmp"), 16));
  EXPECT_TRUE(c.SetToolbarFont(FontSpec{"Tahoma", 13, 400, 1, 0x20}));
  EXPECT_TRUE(c.SetTimer(43690, 500));
  c.KillTimer(43690);
}

// The width of the bitmap a bitmap button shows.
int ShownWidth(HWND button) {
  auto bitmap = reinterpret_cast<HBITMAP>(SendMessageA(button, BM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP info{};
  return bitmap && GetObjectA(bitmap, sizeof info, &info) ? info.bmWidth : 0;
}

TEST_F(Win32ToolbarTest, BitmapButtonsShowTheHotPictureWhileThePointerIsOverThem) {
  TempDir dir;
  WriteFile(dir.File("normal.bmp"), BitmapBytes(30, 16));
  WriteFile(dir.File("hot.bmp"), BitmapBytes(20, 16));
  WriteFile(dir.File("bad.bmp"), "BM garbage");
  ToolbarSurface& c = *control_;
  const WindowId id =
      c.CreateChild(ChildSpec{ChildKind::kBitmapButton, kWsChild | kWsVisible, 0, {0, 0, 50, 22}});
  ASSERT_NE(id, 0u);
  HWND button = reinterpret_cast<HWND>(id);
  ASSERT_TRUE(c.SetBitmapButtonImages(id, dir.File("normal.bmp"), dir.File("hot.bmp")));
  EXPECT_EQ(ShownWidth(button), 30);
  SendMessageA(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(ShownWidth(button), 20);
  SendMessageA(button, WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
  EXPECT_EQ(ShownWidth(button), 20);
  SendMessageA(button, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(ShownWidth(button), 30);

  EXPECT_FALSE(c.SetBitmapButtonImages(id, dir.File("normal.bmp"), dir.File("bad.bmp")));
  EXPECT_EQ(ShownWidth(button), 30);
  // Replacing the pictures and destroying the button release them cleanly.
  ASSERT_TRUE(c.SetBitmapButtonImages(id, dir.File("hot.bmp"), dir.File("normal.bmp")));
  EXPECT_EQ(ShownWidth(button), 20);
  c.DestroyChild(id);
  EXPECT_FALSE(IsWindow(button));
}

// A 32-bit DIB section selected into a memory device context.
class Bitmap32 {
 public:
  Bitmap32(int width, int height)
      : width_(width),
        dc_(CreateCompatibleDC(nullptr)),
        bitmap_(MakeDib(dc_.get(), width, height, &pixels_)),
        select_(dc_.get(), bitmap_.get()) {}
  HDC dc() const { return dc_.get(); }
  // As a COLORREF.
  uint32_t At(int x, int y) const {
    GdiFlush();
    const uint32_t p = pixels_[y * width_ + x];
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
  }

 private:
  static HBITMAP MakeDib(HDC dc, int width, int height, uint32_t** pixels) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    *pixels = static_cast<uint32_t*>(bits);
    return bitmap;
  }

  int width_;
  uint32_t* pixels_ = nullptr;
  // Destroyed in reverse: selected out, deleted, then the context.
  win32::ScopedMemoryDc dc_;
  win32::GdiObject<HBITMAP> bitmap_;
  win32::ScopedSelect select_;
};

TEST_F(Win32ToolbarTest, TheSidebarBannerAndEntriesPaintWithGdi) {
  Bitmap32 surface(40, 200);
  {
    Win32MenuCanvas canvas(surface.dc(), nullptr);
    EXPECT_EQ(canvas.ClipBox(), (Rect{0, 0, 40, 200}));
    MenuItemData banner;
    banner.text = "SIDEBAR!Quorvane";
    MenuPainter(16).Draw(canvas, MenuEntryDrawing{kSidebarEntryId, &banner, {0, 0, 24, 20}, 0});
  }
  EXPECT_EQ(surface.At(30, 0), 0u);  // outside the banner's width
  EXPECT_EQ(surface.At(20, 0), GetSysColor(COLOR_GRADIENTACTIVECAPTION));
  const uint32_t bottom = surface.At(20, 199);
  const uint32_t expected = GetSysColor(COLOR_ACTIVECAPTION);
  for (int shift : {0, 8, 16})
    EXPECT_NEAR(static_cast<int>((bottom >> shift) & 0xFF),
                static_cast<int>((expected >> shift) & 0xFF), 4);

  Bitmap32 entry(120, 22);
  {
    Win32MenuCanvas canvas(entry.dc(), nullptr);
    EXPECT_GT(canvas.MeasureText("Home").cx, 0);
    MenuItemData home;
    home.text = "Home";
    MenuPainter(16).Draw(canvas, MenuEntryDrawing{2048, &home, {0, 0, 120, 22}, kOdsSelected});
  }
  EXPECT_EQ(entry.At(1, 1), GetSysColor(COLOR_HIGHLIGHT));
}

// The toolbar control's window procedure, as the band's will be: owner-draw
// messages go to the toolbar window, and the menu closes on the first timer.
struct MenuProbe {
  TBWToolBarCtrl* toolbar = nullptr;
  Win32ToolbarSurface* control = nullptr;
  int measured = 0;
  int widest = 0;
  int foreign = 0;
};

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                           DWORD_PTR data) {
  auto* probe = reinterpret_cast<MenuProbe*>(data);
  LRESULT result = 0;
  if (message == WM_MEASUREITEM) {
    if (HandleMenuDrawMessage(*probe->toolbar, *probe->control, message, wParam, lParam, &result)) {
      ++probe->measured;
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      probe->widest = std::max(probe->widest, static_cast<int>(measure->itemWidth));
    } else {
      ++probe->foreign;
    }
    return TRUE;
  }
  if (message == WM_DRAWITEM &&
      HandleMenuDrawMessage(*probe->toolbar, *probe->control, message, wParam, lParam, &result))
    return result;
  if (message == WM_ENTERIDLE || message == WM_TIMER) EndMenu();
  return DefSubclassProc(window, message, wParam, lParam);
}

TEST_F(Win32ToolbarTest, TheShownMenuIsMeasuredThroughTheToolbarWindow) {
  TempDir dir;
  LocalResourceLookup lookup(dir.path());
  TBWToolBarCtrl toolbar(*control_, lookup);
  MenuProbe probe{&toolbar, control_.get()};
  ASSERT_TRUE(SetWindowSubclass(window_, ProbeProc, 1, reinterpret_cast<DWORD_PTR>(&probe)));
  SetTimer(window_, 7, 200, nullptr);

  PopupMenu menu;
  menu.Append(kMfOwnerdraw, kSidebarEntryId, MenuItemData{kMenuDataMarker, "SIDEBAR!Tools"});
  menu.Append(kMfOwnerdraw | kMfMenubreak, 2048,
              MenuItemData{kMenuDataMarker, "A rather long entry\tCtrl+L"});
  menu.Append(kMfOwnerdraw | kMfSeparator, 2049, MenuItemData{kMenuDataMarker, "", kMfSeparator});
  control_->TrackPopupMenu(menu, kTpmLeftalign | kTpmRightbutton, Point{10, 10});
  KillTimer(window_, 7);
  RemoveWindowSubclass(window_, ProbeProc, 1);

  EXPECT_EQ(probe.foreign, 0);
  EXPECT_EQ(probe.measured, 3);
  EXPECT_GT(probe.widest, 100);

  // Outside a shown menu no item data is trusted.
  MEASUREITEMSTRUCT stray{ODT_MENU, 0, 2048, 0, 0, 0x1313};
  LRESULT result = 0;
  EXPECT_FALSE(HandleMenuDrawMessage(toolbar, *control_, WM_MEASUREITEM, 0,
                                     reinterpret_cast<LPARAM>(&stray), &result));
}

TEST_F(Win32ToolbarTest, TheWaitCursorEndsOnTheCursorItReplaced) {
  const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  SetCursor(arrow);
  control_->SetWaitCursor(false);  // no wait shown: the cursor must not vanish
  EXPECT_EQ(GetCursor(), arrow);
  control_->SetWaitCursor(true);
  control_->SetWaitCursor(true);
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
  control_->SetWaitCursor(false);
  EXPECT_EQ(GetCursor(), arrow);
}

// A control as an ActiveX host window hands it out: the host keeps its own
// reference, which is all that may be left after a navigation.
class HostedControl : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    ++queries_;
    if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
    *out = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
  ULONG refs_ = 1;
  int queries_ = 0;
};

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR data) {
  if (message == RegisterWindowMessageA("WM_ATLGETCONTROL"))
    return reinterpret_cast<LRESULT>(reinterpret_cast<IUnknown*>(data));
  return DefSubclassProc(window, message, wParam, lParam);
}

TEST_F(Win32ToolbarTest, NavigatingAWebPageLeavesTheControlsReferencesAlone) {
  win32::ScopedWindow page(CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 100, 20, window_,
                                           nullptr, GetModuleHandleA(nullptr), nullptr));
  ASSERT_TRUE(page);
  const WindowId id = reinterpret_cast<WindowId>(page.get());
  // No control yet: the address becomes the text the host creates it from.
  ASSERT_TRUE(control_->NavigateWebPage(id, "http://example.test/"));
  EXPECT_EQ(control_->GetChildText(id), "http://example.test/");

  HostedControl hosted;  // no browser interface
  ASSERT_TRUE(SetWindowSubclass(page.get(), HostProc, 1, reinterpret_cast<DWORD_PTR>(&hosted)));
  EXPECT_FALSE(control_->NavigateWebPage(id, "http://example.test/other"));
  EXPECT_EQ(hosted.queries_, 1);
  EXPECT_EQ(hosted.refs_, 1u);

  FakeWebBrowser browser;
  ASSERT_TRUE(SetWindowSubclass(page.get(), HostProc, 1,
                                reinterpret_cast<DWORD_PTR>(static_cast<IUnknown*>(&browser))));
  EXPECT_TRUE(control_->NavigateWebPage(id, "http://example.test/other"));
  EXPECT_EQ(browser.navigated, L"http://example.test/other");
  EXPECT_EQ(browser.refs, 1u);
  RemoveWindowSubclass(page.get(), HostProc, 1);
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
