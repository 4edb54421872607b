// The toolbar surface seam: what the toolbar window asks of the screen it
// draws on. Three interfaces, one per concern, so that each piece of the
// toolbar window (and each test double) deals only with what it uses:
//   ToolbarButtons  the toolbar common control: font, styles, image lists,
//                   buttons and their geometry;
//   ChildControls   the windows placed over its buttons (combo boxes, edit
//                   fields, web-page hosts, bitmap buttons) and the
//                   keyboard focus;
//   MenusAndTimers  popup menus and window timers.
// ToolbarSurface is all three, as a backend implements them. Constants keep
// their Windows values so that the Win32 backend passes them straight
// through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// Button states (TBSTATE_*).
inline constexpr uint8_t kTbstateChecked = 0x01;
inline constexpr uint8_t kTbstatePressed = 0x02;
inline constexpr uint8_t kTbstateEnabled = 0x04;
inline constexpr uint8_t kTbstateHidden = 0x08;
inline constexpr uint8_t kTbstateIndeterminate = 0x10;

// Button styles (BTNS_*).
inline constexpr uint8_t kBtnsButton = 0x00;
inline constexpr uint8_t kBtnsSep = 0x01;
inline constexpr uint8_t kBtnsCheck = 0x02;
inline constexpr uint8_t kBtnsDropdown = 0x08;
inline constexpr uint8_t kBtnsAutosize = 0x10;
inline constexpr uint8_t kBtnsNoprefix = 0x20;
inline constexpr uint8_t kBtnsShowtext = 0x40;
inline constexpr uint8_t kBtnsWholedropdown = 0x80;

// Extended toolbar styles (TBSTYLE_EX_*).
inline constexpr uint32_t kTbstyleExDrawddarrows = 0x01;
inline constexpr uint32_t kTbstyleExMixedbuttons = 0x08;
inline constexpr uint32_t kTbstyleExHideclippedbuttons = 0x10;

// Button information fields (TBIF_*).
inline constexpr uint32_t kTbifImage = 0x01;
inline constexpr uint32_t kTbifText = 0x02;
inline constexpr uint32_t kTbifState = 0x04;
inline constexpr uint32_t kTbifStyle = 0x08;
inline constexpr uint32_t kTbifLparam = 0x10;
inline constexpr uint32_t kTbifCommand = 0x20;
inline constexpr uint32_t kTbifSize = 0x40;

// Menu entry flags (MF_*).
inline constexpr uint32_t kMfString = 0x0000;
inline constexpr uint32_t kMfGrayed = 0x0001;
inline constexpr uint32_t kMfDisabled = 0x0002;
inline constexpr uint32_t kMfChecked = 0x0008;
inline constexpr uint32_t kMfPopup = 0x0010;
inline constexpr uint32_t kMfMenubarbreak = 0x0020;
inline constexpr uint32_t kMfMenubreak = 0x0040;
inline constexpr uint32_t kMfOwnerdraw = 0x0100;
inline constexpr uint32_t kMfSeparator = 0x0800;

// TrackPopupMenu flags (TPM_*).
inline constexpr uint32_t kTpmLeftalign = 0x0000;
inline constexpr uint32_t kTpmRightbutton = 0x0002;

// Window messages the toolbar window handles (WM_*), and the drop-down
// notification code (TBN_DROPDOWN).
inline constexpr unsigned kWmSize = 0x0005;
inline constexpr unsigned kWmNotify = 0x004E;
inline constexpr unsigned kWmKeydown = 0x0100;
inline constexpr unsigned kWmKeyup = 0x0101;
inline constexpr unsigned kWmChar = 0x0102;
inline constexpr unsigned kWmCommand = 0x0111;
inline constexpr unsigned kWmTimer = 0x0113;
inline constexpr unsigned kWmMenuselect = 0x011F;
inline constexpr unsigned kWmMousemove = 0x0200;
inline constexpr unsigned kWmLbuttondown = 0x0201;
inline constexpr unsigned kWmLbuttondblclk = 0x0203;
inline constexpr int kTbnDropdown = -710;

// Virtual keys (VK_*).
inline constexpr unsigned kVkBack = 0x08;
inline constexpr unsigned kVkTab = 0x09;
inline constexpr unsigned kVkReturn = 0x0D;
inline constexpr unsigned kVkShift = 0x10;
inline constexpr unsigned kVkControl = 0x11;
inline constexpr unsigned kVkEnd = 0x23;
inline constexpr unsigned kVkHome = 0x24;
inline constexpr unsigned kVkLeft = 0x25;
inline constexpr unsigned kVkRight = 0x27;
inline constexpr unsigned kVkDelete = 0x2E;

// Window and child-control styles (WS_*, CBS_*, ES_*).
inline constexpr uint32_t kWsChild = 0x40000000;
inline constexpr uint32_t kWsVisible = 0x10000000;
inline constexpr uint32_t kWsBorder = 0x00800000;
inline constexpr uint32_t kWsVscroll = 0x00200000;
inline constexpr uint32_t kWsTabstop = 0x00010000;
inline constexpr uint32_t kWsExClientedge = 0x00000200;
inline constexpr uint32_t kCbsDropdown = 0x0002;
inline constexpr uint32_t kCbsDropdownlist = 0x0003;
inline constexpr uint32_t kCbsAutohscroll = 0x0040;
inline constexpr uint32_t kEsPassword = 0x0020;
inline constexpr uint32_t kEsAutohscroll = 0x0080;

// Combo-box answers (CB_ERR).
inline constexpr int kCbErr = -1;

// HRESULTs of the keyboard path.
inline constexpr long kSOk = 0;
inline constexpr long kSFalse = 1;

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

struct Point {
  int x = 0;
  int y = 0;
};

// A window: the toolbar control, one of its child controls, or any other
// window the focus may be in. 0 is no window.
using WindowId = std::uintptr_t;

// One button as TB_ADDBUTTONS takes it (TBBUTTON). A separator carries its
// width in bitmap.
struct ToolbarButton {
  int bitmap = 0;
  int command = 0;
  uint8_t state = 0;
  uint8_t style = 0;
  std::intptr_t data = 0;
  std::intptr_t string = 0;
};

// TB_GETBUTTONINFO / TB_SETBUTTONINFO by command identifier; mask tells
// which fields are read or written (kTbif*).
struct ButtonInfo {
  uint32_t mask = 0;
  int command = 0;
  int image = 0;
  uint8_t state = 0;
  uint8_t style = 0;
  int cx = 0;
  std::string text;
};

// The record every owner-drawn menu entry carries as its item data: the
// marker, the text to draw, the type flags (0, or kMfSeparator), a field
// the drawing fills in, and the image index (-1 for none). The Win32
// backend hands the drawing a five-field record that points to text.
inline constexpr uint32_t kMenuDataMarker = 0x1313;
struct MenuItemData {
  uint32_t marker = kMenuDataMarker;
  std::string text;
  uint32_t typeFlags = 0;
  uint32_t drawState = 0;
  int32_t image = -1;
};

// A popup menu kept as a tree: what AppendMenu would have received, entry by
// entry. A kMfPopup entry has no identifier of its own and owns its entries.
struct MenuEntry {
  uint32_t flags = 0;
  uint32_t id = 0;
  MenuItemData data;
  std::vector<MenuEntry> submenu;
};

struct PopupMenu {
  std::vector<MenuEntry> entries;
  bool Empty() const { return entries.empty(); }
  void Append(uint32_t flags, uint32_t id, MenuItemData data) {
    entries.push_back(MenuEntry{flags, id, std::move(data), {}});
  }
  void AppendPopup(uint32_t flags, PopupMenu sub, MenuItemData data) {
    entries.push_back(MenuEntry{flags | kMfPopup, 0, std::move(data), std::move(sub.entries)});
  }
};

// A message as the message loop holds it (MSG).
struct Message {
  WindowId window = 0;
  unsigned message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// The toolbar's font (LOGFONT fields that the toolbar sets).
struct FontSpec {
  std::string face;
  int height = 0;
  int weight = 400;
  uint8_t charset = 1;            // DEFAULT_CHARSET
  uint8_t pitchAndFamily = 0x20;  // FF_SWISS
};

enum class ChildKind { kComboBox, kEdit, kWebPage, kBitmapButton };

struct ChildSpec {
  ChildKind kind = ChildKind::kEdit;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  Rect rect;
};

class ToolbarButtons {
 public:
  virtual ~ToolbarButtons() = default;

  // The toolbar common control's own window.
  virtual WindowId Window() = 0;
  // Creates the toolbar font (replacing and deleting the previous one) and
  // hands it to the control with redraw (WM_SETFONT). False when no font
  // could be made.
  virtual bool SetToolbarFont(const FontSpec& font) = 0;
  // Deletes the toolbar font.
  virtual void DeleteToolbarFont() = 0;
  virtual uint32_t GetExtendedStyle() = 0;
  virtual void SetExtendedStyle(uint32_t exStyle) = 0;
  virtual void SetWaitCursor(bool wait) = 0;
  // TB_AUTOSIZE, then WM_SIZE to the control.
  virtual void AutoSizeAndResize() = 0;

  // --- images
  // The real size of the bitmap in a file. False for a file that is
  // missing, truncated or not a bitmap.
  virtual bool ReadBitmapSize(const std::string& path, int* width, int* height) = 0;
  virtual void SetBitmapSize(int cx, int cy) = 0;
  // Destroys the image lists the control has and creates the normal and hot
  // image lists from the bitmap files with square cells of cellSize pixels
  // and the bitmap's own mask colour. False when either file cannot be
  // read; the control then has no image lists.
  virtual bool LoadImageLists(const std::string& normalPath, const std::string& hotPath,
                              int cellSize) = 0;

  // --- buttons
  virtual int ButtonCount() = 0;
  virtual bool AddButtons(const std::vector<ToolbarButton>& buttons) = 0;
  virtual bool DeleteButton(int index) = 0;
  // TB_GETITEMRECT by index and TB_GETRECT by command identifier, in client
  // coordinates. Hidden buttons have empty rectangles.
  virtual bool GetItemRect(int index, Rect* rect) = 0;
  virtual bool GetRect(int command, Rect* rect) = 0;
  virtual bool GetButtonInfo(int command, ButtonInfo* info) = 0;
  virtual bool SetButtonInfo(int command, const ButtonInfo& info) = 0;
  virtual bool IsButtonHidden(int command) = 0;
  virtual bool HideButton(int command, bool hide) = 0;
  virtual bool IsButtonChecked(int command) = 0;
  virtual bool CheckButton(int command, bool check) = 0;
  virtual bool EnableButton(int command, bool enable) = 0;
  // TB_HITTEST: the index of the button under a client point, negative when
  // there is none.
  virtual int HitTest(Point client) = 0;
  virtual Point ClientToScreen(Point client) = 0;
};

class ChildControls {
 public:
  virtual ~ChildControls() = default;

  // --- windows and the keyboard focus
  // The toolbar control, which parents the child controls.
  virtual WindowId ToolbarWindow() = 0;
  // The window that parents the toolbar control (the band's reflector
  // window).
  virtual WindowId ParentWindow() = 0;
  // GetParent of any window; 0 for none.
  virtual WindowId GetParentOf(WindowId window) = 0;
  virtual WindowId GetFocus() = 0;
  virtual void SetFocus(WindowId window) = 0;
  // GetKeyState: the key is held while the current message was sent.
  virtual bool IsKeyDown(unsigned virtualKey) = 0;
  // Hands a key message to the control itself (TranslateMessage and
  // DispatchMessage).
  virtual void DeliverMessage(const Message& message) = 0;

  // --- child controls, children of the toolbar control
  virtual WindowId CreateChild(const ChildSpec& spec) = 0;
  virtual void DestroyChild(WindowId child) = 0;
  virtual void MoveChild(WindowId child, const Rect& rect) = 0;
  virtual void ShowChild(WindowId child, bool show) = 0;
  virtual void SetChildText(WindowId child, const std::string& text) = 0;
  // The window text, cut to maxChars - 1 characters as GetWindowText does.
  virtual std::string GetChildText(WindowId child, int maxChars = 1024) = 0;
  // Gives the toolbar font to the child (and a combo box's edit part).
  virtual void SetChildFont(WindowId child) = 0;
  // The edit part of a combo box (the child itself for an edit field).
  virtual WindowId EditPartOf(WindowId child) = 0;
  // Registers a tooltip for the window on the toolbar's tooltip control.
  virtual void AddToolTip(WindowId window, const std::string& text) = 0;

  // Combo boxes (CB_* semantics; indices from 0, kCbErr on failure).
  virtual int ComboAddString(WindowId combo, const std::string& text) = 0;
  virtual int ComboInsertString(WindowId combo, int index, const std::string& text) = 0;
  virtual int ComboDeleteString(WindowId combo, int index) = 0;
  virtual void ComboResetContent(WindowId combo) = 0;
  virtual int ComboGetCount(WindowId combo) = 0;
  virtual std::string ComboGetString(WindowId combo, int index) = 0;
  virtual bool ComboSetItemData(WindowId combo, int index, std::intptr_t data) = 0;
  virtual std::intptr_t ComboGetItemData(WindowId combo, int index) = 0;
  // The first entry after start (-1: from the top) equal to text, ignoring
  // case.
  virtual int ComboFindStringExact(WindowId combo, int start, const std::string& text) = 0;
  // Selects the first entry after start that begins with text, ignoring
  // case, and shows it in the edit part.
  virtual int ComboSelectString(WindowId combo, int start, const std::string& text) = 0;
  virtual int ComboSetCurSel(WindowId combo, int index) = 0;
  virtual int ComboGetCurSel(WindowId combo) = 0;
  virtual void ComboLimitText(WindowId combo, int maxChars) = 0;
  // Selection in an edit field or a combo box's edit part (EM_SETSEL).
  virtual void EditLimitText(WindowId edit, int maxChars) = 0;
  virtual void SetEditSelection(WindowId window, int start, int end) = 0;
  virtual bool GetEditSelection(WindowId window, int* start, int* end) = 0;

  // Web-page hosts and bitmap buttons. A bitmap button shows the picture
  // of normalPath, and that of hotPath while the pointer is over it; false
  // when either file cannot be read (the button then keeps what it showed).
  virtual bool NavigateWebPage(WindowId page, const std::string& url) = 0;
  virtual bool SetBitmapButtonImages(WindowId button, const std::string& normalPath,
                                     const std::string& hotPath) = 0;
};

class MenusAndTimers {
 public:
  virtual ~MenusAndTimers() = default;
  // Shows the menu at a screen point, owned by the toolbar control; a chosen
  // entry comes back to the toolbar as a menu command.
  virtual void TrackPopupMenu(const PopupMenu& menu, uint32_t flags, Point screen) = 0;
  virtual bool SetTimer(unsigned id, unsigned periodMs) = 0;
  virtual void KillTimer(unsigned id) = 0;
};

// The whole surface, as a backend implements it.
class ToolbarSurface : public ToolbarButtons, public ChildControls, public MenusAndTimers {
 public:
  // The toolbar control is both the button strip and the children's parent.
  WindowId ToolbarWindow() override { return Window(); }
};

}  // namespace qv
