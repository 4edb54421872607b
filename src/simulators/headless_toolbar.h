// A toolbar control without a screen: keeps the buttons, their geometry and
// the child controls with the common controls' rules, so that the whole
// toolbar logic runs in the definition tool and in tests.
//
// Geometry. Buttons sit in one row from x = 0, top 0, bottom = the larger
// of 22 and the bitmap height + 6. Widths:
//  - hidden buttons take no room (an empty rectangle at their position);
//  - a separator is as wide as its bitmap field, 8 when that is 0;
//  - a button given a width (TBIF_SIZE) keeps it, whatever its style;
//  - any other button is bitmap width + 7, plus, when it has text and shows
//    it (BTNS_SHOWTEXT, or the control is not TBSTYLE_EX_MIXEDBUTTONS),
//    4 + 6 pixels per character of its text (the average character width of
//    the 13-pixel toolbar font), plus 14 for a split drop-down arrow
//    (BTNS_DROPDOWN with TBSTYLE_EX_DRAWDDARROWS) or 10 for a whole
//    drop-down arrow (BTNS_WHOLEDROPDOWN).
// Windows: the toolbar control is window 1, its parent 2, whose parent is 3
// (the rebar) under 4 (the browser frame); child controls and further windows
// get fresh numbers.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/toolbar_surface.h"

namespace qv {

class HeadlessToolbar : public ToolbarSurface {
 public:
  static constexpr WindowId kToolbarWindow = 1;
  static constexpr WindowId kReflectorWindow = 2;
  static constexpr WindowId kRebarWindow = 3;
  static constexpr WindowId kFrameWindow = 4;
  static constexpr int kCharWidth = 6;
  static constexpr int kSeparatorWidth = 8;
  static constexpr int kMinHeight = 22;

  struct Button {
    ToolbarButton button;
    std::string text;
    int cx = 0;
    bool fixedWidth = false;
  };
  struct ComboEntry {
    std::string text;
    std::intptr_t data = 0;
  };
  struct Child {
    ChildSpec spec;
    Rect rect;
    bool visible = true;
    bool hasFont = false;
    std::string text;
    std::vector<ComboEntry> list;
    int selected = kCbErr;
    int limit = 0;
    int selStart = 0;
    int selEnd = 0;
    WindowId editPart = 0;  // combo boxes: their edit window
    std::vector<std::string> navigations;
    std::string bitmap;
    std::string hotBitmap;
    bool pointerOver = false;
    // The picture a bitmap button shows now.
    const std::string& ShownBitmap() const { return pointerOver ? hotBitmap : bitmap; }
  };
  struct TrackedMenu {
    PopupMenu menu;
    uint32_t flags = 0;
    Point at;
  };

  // --- inspection, for the tool and the tests
  const std::vector<Button>& Buttons() const { return buttons_; }
  const std::map<WindowId, Child>& Children() const { return children_; }
  const Child* FindChild(WindowId window) const;
  const std::map<unsigned, unsigned>& Timers() const { return timers_; }
  const std::vector<TrackedMenu>& TrackedMenus() const { return tracked_; }
  const std::vector<Message>& DeliveredMessages() const { return delivered_; }
  const std::map<WindowId, std::string>& ToolTips() const { return tooltips_; }
  const FontSpec* Font() const { return hasFont_ ? &font_ : nullptr; }
  int BitmapWidth() const { return bitmapCx_; }
  int BitmapHeight() const { return bitmapCy_; }
  int ImageListCellSize() const { return imageCell_; }
  const std::string& ImageListPath() const { return imagePath_; }
  const std::string& HotImageListPath() const { return hotImagePath_; }
  bool WaitCursorShown() const { return waitCursor_; }
  int ResizeCount() const { return resizeCount_; }
  // The pointer enters or leaves a child window.
  void SetPointerOver(WindowId child, bool over);
  // A further window (a page window, a frame) under parent, for focus tests.
  WindowId AddWindow(WindowId parent);

  // --- ToolbarSurface
  WindowId Window() override { return kToolbarWindow; }
  WindowId ParentWindow() override { return kReflectorWindow; }
  WindowId GetParentOf(WindowId window) override;
  WindowId GetFocus() override { return focus_; }
  void SetFocus(WindowId window) override { focus_ = window; }
  bool SetToolbarFont(const FontSpec& font) override;
  void DeleteToolbarFont() override { hasFont_ = false; }
  uint32_t GetExtendedStyle() override { return exStyle_; }
  void SetExtendedStyle(uint32_t exStyle) override { exStyle_ = exStyle; }
  void SetWaitCursor(bool wait) override { waitCursor_ = wait; }
  bool IsKeyDown(unsigned virtualKey) override { return keysDown_.count(virtualKey) != 0; }
  void SetKeyDown(unsigned virtualKey, bool down) {
    if (down) {
      keysDown_.insert(virtualKey);
    } else {
      keysDown_.erase(virtualKey);
    }
  }
  void AutoSizeAndResize() override { ++resizeCount_; }

  bool ReadBitmapSize(const std::string& path, int* width, int* height) override;
  void SetBitmapSize(int cx, int cy) override;
  bool LoadImageLists(const std::string& normalPath, const std::string& hotPath,
                      int cellSize) override;

  int ButtonCount() override { return static_cast<int>(buttons_.size()); }
  bool AddButtons(const std::vector<ToolbarButton>& buttons) override;
  bool DeleteButton(int index) override;
  bool GetItemRect(int index, Rect* rect) override;
  bool GetRect(int command, Rect* rect) override;
  bool GetButtonInfo(int command, ButtonInfo* info) override;
  bool SetButtonInfo(int command, const ButtonInfo& info) override;
  bool IsButtonHidden(int command) override { return HasState(command, kTbstateHidden); }
  bool HideButton(int command, bool hide) override {
    return SetStateBit(command, kTbstateHidden, hide);
  }
  bool IsButtonChecked(int command) override { return HasState(command, kTbstateChecked); }
  bool CheckButton(int command, bool check) override {
    return SetStateBit(command, kTbstateChecked, check);
  }
  bool EnableButton(int command, bool enable) override {
    return SetStateBit(command, kTbstateEnabled, enable);
  }
  int HitTest(Point client) override;
  Point ClientToScreen(Point client) override { return client; }

  WindowId CreateChild(const ChildSpec& spec) override;
  void DestroyChild(WindowId child) override;
  void MoveChild(WindowId child, const Rect& rect) override;
  void ShowChild(WindowId child, bool show) override;
  void SetChildText(WindowId child, const std::string& text) override;
  std::string GetChildText(WindowId child, int maxChars = 1024) override;
  void SetChildFont(WindowId child) override;
  WindowId EditPartOf(WindowId child) override;
  void AddToolTip(WindowId window, const std::string& text) override { tooltips_[window] = text; }
  void DeliverMessage(const Message& message) override { delivered_.push_back(message); }

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

  void TrackPopupMenu(const PopupMenu& menu, uint32_t flags, Point screen) override {
    tracked_.push_back(TrackedMenu{menu, flags, screen});
  }
  bool SetTimer(unsigned id, unsigned periodMs) override;
  void KillTimer(unsigned id) override { timers_.erase(id); }

 private:
  Button* FindButton(int command);
  bool HasState(int command, uint8_t bit);
  bool SetStateBit(int command, uint8_t bit, bool on);
  int ButtonWidth(const Button& b) const;
  int RowHeight() const;
  Child* ChildOf(WindowId window);  // a child, or the combo whose edit part it is
  Child* Combo(WindowId combo);
  int Find(const Child& c, int start, const std::string& text, bool prefix) const;

  std::vector<Button> buttons_;
  std::map<WindowId, Child> children_;
  std::map<WindowId, WindowId> parents_;
  WindowId nextWindow_ = 0x100;
  WindowId focus_ = 0;
  std::map<unsigned, unsigned> timers_;
  std::vector<TrackedMenu> tracked_;
  std::vector<Message> delivered_;
  std::map<WindowId, std::string> tooltips_;
  FontSpec font_;
  bool hasFont_ = false;
  uint32_t exStyle_ = 0;
  int bitmapCx_ = 16;
  int bitmapCy_ = 15;
  int imageCell_ = 0;
  std::string imagePath_;
  std::string hotImagePath_;
  bool waitCursor_ = false;
  std::set<unsigned> keysDown_;
  int resizeCount_ = 0;
};

}  // namespace qv
