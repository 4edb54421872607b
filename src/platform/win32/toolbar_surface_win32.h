// The Win32 backend of the toolbar-control seam: a ToolbarWindow32 control
// driven by its messages, with its image lists, font, child controls, popup
// menus and timers. The window classes themselves are created elsewhere;
// this object only talks to an existing toolbar control window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "platform/toolbar_surface.h"
#include "platform/win32/scoped.h"

namespace qv {

class Win32ToolbarSurface : public ToolbarSurface {
 public:
  explicit Win32ToolbarSurface(HWND toolbar) : toolbar_(toolbar) {}
  ~Win32ToolbarSurface() override;
  Win32ToolbarSurface(const Win32ToolbarSurface&) = delete;
  Win32ToolbarSurface& operator=(const Win32ToolbarSurface&) = delete;

  // The record an owner-drawn entry carries as its item data (five fields).
  struct MenuRecord {
    DWORD marker;
    const char* text;
    DWORD typeFlags;
    DWORD drawState;
    int image;
  };

  WindowId Window() override { return reinterpret_cast<WindowId>(toolbar_); }
  WindowId ParentWindow() override;
  WindowId GetParentOf(WindowId window) override;
  WindowId GetFocus() override;
  void SetFocus(WindowId window) override;
  bool SetToolbarFont(const FontSpec& font) override;
  void DeleteToolbarFont() override;
  uint32_t GetExtendedStyle() override;
  void SetExtendedStyle(uint32_t exStyle) override;
  void SetWaitCursor(bool wait) override;
  bool IsKeyDown(unsigned virtualKey) override {
    return GetKeyState(static_cast<int>(virtualKey)) < 0;
  }
  void AutoSizeAndResize() override;

  bool ReadBitmapSize(const std::string& path, int* width, int* height) override;
  void SetBitmapSize(int cx, int cy) override;
  bool LoadImageLists(const std::string& normalPath, const std::string& hotPath,
                      int cellSize) override;

  int ButtonCount() override;
  bool AddButtons(const std::vector<ToolbarButton>& buttons) override;
  bool DeleteButton(int index) override;
  bool GetItemRect(int index, Rect* rect) override;
  bool GetRect(int command, Rect* rect) override;
  bool GetButtonInfo(int command, ButtonInfo* info) override;
  bool SetButtonInfo(int command, const ButtonInfo& info) override;
  bool IsButtonHidden(int command) override;
  bool HideButton(int command, bool hide) override;
  bool IsButtonChecked(int command) override;
  bool CheckButton(int command, bool check) override;
  bool EnableButton(int command, bool enable) override;
  int HitTest(Point client) override;
  Point ClientToScreen(Point client) override;

  WindowId CreateChild(const ChildSpec& spec) override;
  void DestroyChild(WindowId child) override;
  void MoveChild(WindowId child, const Rect& rect) override;
  void ShowChild(WindowId child, bool show) override;
  void SetChildText(WindowId child, const std::string& text) override;
  std::string GetChildText(WindowId child, int maxChars = 1024) override;
  void SetChildFont(WindowId child) override;
  WindowId EditPartOf(WindowId child) override;
  void AddToolTip(WindowId window, const std::string& text) override;
  void DeliverMessage(const Message& message) override;

  int ComboAddString(WindowId combo, const std::string& text) override;
  int ComboInsertString(WindowId combo, int index, const std::string& text) override;
  int ComboDeleteString(WindowId combo, int index) override;
  void ComboResetContent(WindowId combo) override;
  int ComboGetCount(WindowId combo) override;
  std::string ComboGetString(WindowId combo, int index) override;
  bool ComboSetItemData(WindowId combo, int index, std::intptr_t data) override;
  std::intptr_t ComboGetItemData(WindowId combo, int index) override;
  int ComboFindStringExact(WindowId combo, int start, const std::string& text) override;
  int ComboSelectString(WindowId combo, int start, const std::string& text) override;
  int ComboSetCurSel(WindowId combo, int index) override;
  int ComboGetCurSel(WindowId combo) override;
  void ComboLimitText(WindowId combo, int maxChars) override;
  void EditLimitText(WindowId edit, int maxChars) override;
  void SetEditSelection(WindowId window, int start, int end) override;
  bool GetEditSelection(WindowId window, int* start, int* end) override;

  bool NavigateWebPage(WindowId page, const std::string& url) override;
  bool SetBitmapButtonImages(WindowId button, const std::string& normalPath,
                             const std::string& hotPath) override;

  void TrackPopupMenu(const PopupMenu& menu, uint32_t flags, Point screen) override;
  // The entry record of an owner-drawn entry of the menu being shown; null
  // for item data that is not one of them (another menu's, or garbage), so
  // that drawing never follows a pointer it did not make.
  const MenuRecord* FindMenuRecord(ULONG_PTR itemData) const;
  HWND Handle() const { return toolbar_; }
  HIMAGELIST NormalImages() const { return normalImages_.get(); }
  bool SetTimer(unsigned id, unsigned periodMs) override;
  void KillTimer(unsigned id) override;

 private:
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendMessageA(toolbar_, message, wParam, lParam);
  }
  void FillMenu(HMENU menu, const std::vector<MenuEntry>& entries, std::deque<MenuRecord>& records);
  void DestroyImageLists();
  bool IsCombo(HWND window) const;

  // The two pictures of a bitmap button; the button's subclass swaps them
  // as the pointer enters and leaves.
  struct BitmapPictures {
    win32::GdiObject<HBITMAP> normal;
    win32::GdiObject<HBITMAP> hot;
    bool pointerOver = false;
  };
  void ReleasePictures(HWND button);
  static LRESULT CALLBACK BitmapButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR data);

  HWND toolbar_;
  const std::deque<MenuRecord>* shownRecords_ = nullptr;
  win32::GdiObject<HFONT> font_;
  win32::ScopedImageList normalImages_;
  win32::ScopedImageList hotImages_;
  win32::CursorRestorer waitCursor_;
  std::map<HWND, ChildKind> children_;
  std::map<HWND, std::unique_ptr<BitmapPictures>> pictures_;
};

}  // namespace qv
