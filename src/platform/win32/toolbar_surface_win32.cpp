#include "platform/win32/toolbar_surface_win32.h"

#include <commctrl.h>
#include <exdisp.h>

#include <vector>

#include "formats/bitmap_file.h"
#include "platform/win32/com_support.h"

namespace qv {
namespace {

using win32::GdiObject;

HWND H(WindowId window) {
  return reinterpret_cast<HWND>(window);
}
WindowId W(HWND window) {
  return reinterpret_cast<WindowId>(window);
}

// The toolbar window registers superclasses of the input controls that pass
// their keys through the toolbar; without them the system classes serve.
const char* InputClass(const char* superclass, const char* system) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  return GetClassInfoExA(GetModuleHandleA(nullptr), superclass, &wc) ? superclass : system;
}

const char* ClassFor(ChildKind kind) {
  switch (kind) {
    case ChildKind::kComboBox:
      return InputClass("TBW_ComboBox", "COMBOBOX");
    case ChildKind::kEdit:
      return InputClass("TBW_Edit", "EDIT");
    case ChildKind::kWebPage:
      return "AtlAxWin";  // registered by the module at process attach
    case ChildKind::kBitmapButton:
      return "BUTTON";
  }
  return "STATIC";
}

constexpr UINT_PTR kPictureSubclass = 0x5156;  // any number unique per subclass procedure

}  // namespace

// Keeps a bitmap button on its hot picture while the pointer is over it.
LRESULT CALLBACK Win32ToolbarSurface::BitmapButtonProc(HWND window, UINT message, WPARAM wParam,
                                                       LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* pictures = reinterpret_cast<BitmapPictures*>(data);
  if (message == WM_MOUSEMOVE && !pictures->pointerOver) {
    pictures->pointerOver = true;
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
    TrackMouseEvent(&track);
    SendMessageA(window, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(pictures->hot.get()));
  } else if (message == WM_MOUSELEAVE && pictures->pointerOver) {
    pictures->pointerOver = false;
    SendMessageA(window, BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(pictures->normal.get()));
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

Win32ToolbarSurface::~Win32ToolbarSurface() {
  DestroyImageLists();
  while (!pictures_.empty()) ReleasePictures(pictures_.begin()->first);
  DeleteToolbarFont();
}

// The button lets go of its pictures before they are deleted.
void Win32ToolbarSurface::ReleasePictures(HWND button) {
  auto it = pictures_.find(button);
  if (it == pictures_.end()) return;
  if (IsWindow(button)) {
    RemoveWindowSubclass(button, BitmapButtonProc, kPictureSubclass);
    SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, 0);
  }
  pictures_.erase(it);
}

WindowId Win32ToolbarSurface::ParentWindow() {
  return W(GetParent(toolbar_));
}
WindowId Win32ToolbarSurface::GetParentOf(WindowId window) {
  return W(GetParent(H(window)));
}
WindowId Win32ToolbarSurface::GetFocus() {
  return W(::GetFocus());
}
void Win32ToolbarSurface::SetFocus(WindowId window) {
  ::SetFocus(H(window));
}

bool Win32ToolbarSurface::SetToolbarFont(const FontSpec& spec) {
  DeleteToolbarFont();
  font_.Reset(CreateFontA(spec.height, 0, 0, 0, spec.weight, FALSE, FALSE, FALSE, spec.charset,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          spec.pitchAndFamily, spec.face.c_str()));
  if (!font_) return false;
  Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  return true;
}

void Win32ToolbarSurface::DeleteToolbarFont() {
  font_.Reset();
}

uint32_t Win32ToolbarSurface::GetExtendedStyle() {
  return static_cast<uint32_t>(Send(TB_GETEXTENDEDSTYLE));
}
void Win32ToolbarSurface::SetExtendedStyle(uint32_t exStyle) {
  Send(TB_SETEXTENDEDSTYLE, 0, exStyle);
}

void Win32ToolbarSurface::SetWaitCursor(bool wait) {
  if (wait) {
    waitCursor_.Show(LoadCursor(nullptr, IDC_WAIT));  // shared: never destroyed
  } else {
    waitCursor_.Restore();
  }
}

void Win32ToolbarSurface::AutoSizeAndResize() {
  Send(TB_AUTOSIZE);
  Send(WM_SIZE);
}

bool Win32ToolbarSurface::ReadBitmapSize(const std::string& path, int* width, int* height) {
  BitmapFileInfo info;
  if (!ReadBitmapFileInfo(path, &info)) return false;
  *width = info.width;
  *height = info.height;
  return true;
}

void Win32ToolbarSurface::SetBitmapSize(int cx, int cy) {
  Send(TB_SETBITMAPSIZE, 0, MAKELONG(cx, cy));
}

void Win32ToolbarSurface::DestroyImageLists() {
  normalImages_.Reset();
  hotImages_.Reset();
}

bool Win32ToolbarSurface::LoadImageLists(const std::string& normalPath, const std::string& hotPath,
                                         int cellSize) {
  Send(TB_SETHOTIMAGELIST, 0, 0);
  Send(TB_SETIMAGELIST, 0, 0);
  DestroyImageLists();
  // The file is checked first: the image list loader trusts the file.
  BitmapFileInfo info;
  if (cellSize <= 0 || !ReadBitmapFileInfo(normalPath, &info) ||
      !ReadBitmapFileInfo(hotPath, &info))
    return false;
  const UINT load = LR_LOADFROMFILE | LR_CREATEDIBSECTION;
  normalImages_.Reset(ImageList_LoadImageA(nullptr, normalPath.c_str(), cellSize, 0, CLR_DEFAULT,
                                           IMAGE_BITMAP, load));
  hotImages_.Reset(
      ImageList_LoadImageA(nullptr, hotPath.c_str(), cellSize, 0, CLR_DEFAULT, IMAGE_BITMAP, load));
  if (!normalImages_ || !hotImages_) {
    DestroyImageLists();
    return false;
  }
  Send(TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(hotImages_.get()));
  Send(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(normalImages_.get()));
  return true;
}

int Win32ToolbarSurface::ButtonCount() {
  return static_cast<int>(Send(TB_BUTTONCOUNT));
}

bool Win32ToolbarSurface::AddButtons(const std::vector<ToolbarButton>& buttons) {
  std::vector<TBBUTTON> native(buttons.size());
  for (size_t i = 0; i < buttons.size(); ++i) {
    native[i] = TBBUTTON{};
    native[i].iBitmap = buttons[i].bitmap;
    native[i].idCommand = buttons[i].command;
    native[i].fsState = buttons[i].state;
    native[i].fsStyle = buttons[i].style;
    native[i].dwData = static_cast<DWORD_PTR>(buttons[i].data);
    native[i].iString = buttons[i].string;
  }
  Send(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
  if (native.empty()) return true;
  return Send(TB_ADDBUTTONSA, native.size(), reinterpret_cast<LPARAM>(native.data())) != 0;
}

bool Win32ToolbarSurface::DeleteButton(int index) {
  return Send(TB_DELETEBUTTON, index) != 0;
}

bool Win32ToolbarSurface::GetItemRect(int index, Rect* rect) {
  RECT r{};
  if (!Send(TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r))) return false;
  *rect = Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

bool Win32ToolbarSurface::GetRect(int command, Rect* rect) {
  RECT r{};
  if (!Send(TB_GETRECT, command, reinterpret_cast<LPARAM>(&r))) return false;
  *rect = Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

bool Win32ToolbarSurface::GetButtonInfo(int command, ButtonInfo* info) {
  char text[1024] = {};
  TBBUTTONINFOA native{};
  native.cbSize = sizeof(native);
  native.dwMask = TBIF_IMAGE | TBIF_STATE | TBIF_STYLE | TBIF_SIZE | TBIF_TEXT;
  native.pszText = text;
  native.cchText = sizeof(text);
  if (Send(TB_GETBUTTONINFOA, command, reinterpret_cast<LPARAM>(&native)) < 0) return false;
  info->command = command;
  info->image = native.iImage;
  info->state = native.fsState;
  info->style = native.fsStyle;
  info->cx = native.cx;
  info->text = text;
  return true;
}

bool Win32ToolbarSurface::SetButtonInfo(int command, const ButtonInfo& info) {
  TBBUTTONINFOA native{};
  native.cbSize = sizeof(native);
  native.dwMask = info.mask;
  native.idCommand = info.command;
  native.iImage = info.image;
  native.fsState = info.state;
  native.fsStyle = info.style;
  native.cx = static_cast<WORD>(info.cx);
  std::string text = info.text;
  native.pszText = text.data();
  return Send(TB_SETBUTTONINFOA, command, reinterpret_cast<LPARAM>(&native)) != 0;
}

bool Win32ToolbarSurface::IsButtonHidden(int command) {
  // The control answers -1 for a command it has no button for: that button
  // is not hidden, it is not there.
  return Send(TB_ISBUTTONHIDDEN, command) > 0;
}
bool Win32ToolbarSurface::HideButton(int command, bool hide) {
  return Send(TB_HIDEBUTTON, command, MAKELONG(hide ? 1 : 0, 0)) != 0;
}
bool Win32ToolbarSurface::IsButtonChecked(int command) {
  return Send(TB_ISBUTTONCHECKED, command) != 0;
}
bool Win32ToolbarSurface::CheckButton(int command, bool check) {
  return Send(TB_CHECKBUTTON, command, MAKELONG(check ? 1 : 0, 0)) != 0;
}
bool Win32ToolbarSurface::EnableButton(int command, bool enable) {
  return Send(TB_ENABLEBUTTON, command, MAKELONG(enable ? 1 : 0, 0)) != 0;
}

int Win32ToolbarSurface::HitTest(Point client) {
  POINT p{client.x, client.y};
  return static_cast<int>(Send(TB_HITTEST, 0, reinterpret_cast<LPARAM>(&p)));
}

Point Win32ToolbarSurface::ClientToScreen(Point client) {
  POINT p{client.x, client.y};
  ::ClientToScreen(toolbar_, &p);
  return Point{p.x, p.y};
}

WindowId Win32ToolbarSurface::CreateChild(const ChildSpec& spec) {
  DWORD style = spec.style;
  if (spec.kind == ChildKind::kBitmapButton) style |= BS_BITMAP | BS_PUSHBUTTON;
  HWND window = CreateWindowExA(spec.exStyle, ClassFor(spec.kind), "", style, spec.rect.left,
                                spec.rect.top, spec.rect.Width(), spec.rect.Height(), toolbar_,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window) return 0;
  children_[window] = spec.kind;
  return W(window);
}

void Win32ToolbarSurface::DestroyChild(WindowId child) {
  HWND window = H(child);
  children_.erase(window);
  ReleasePictures(window);
  DestroyWindow(window);
}

void Win32ToolbarSurface::MoveChild(WindowId child, const Rect& r) {
  MoveWindow(H(child), r.left, r.top, r.Width(), r.Height(), TRUE);
}

void Win32ToolbarSurface::ShowChild(WindowId child, bool show) {
  ShowWindow(H(child), show ? SW_SHOW : SW_HIDE);
}

void Win32ToolbarSurface::SetChildText(WindowId child, const std::string& text) {
  SetWindowTextA(H(child), text.c_str());
}

std::string Win32ToolbarSurface::GetChildText(WindowId child, int maxChars) {
  if (maxChars <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(maxChars), '\0');
  int n = GetWindowTextA(H(child), buffer.data(), maxChars);
  return std::string(buffer.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

bool Win32ToolbarSurface::IsCombo(HWND window) const {
  auto it = children_.find(window);
  return it != children_.end() && it->second == ChildKind::kComboBox;
}

void Win32ToolbarSurface::SetChildFont(WindowId child) {
  const WPARAM font = reinterpret_cast<WPARAM>(font_.get());
  SendMessageA(H(child), WM_SETFONT, font, TRUE);
  WindowId edit = EditPartOf(child);
  if (edit && edit != child) SendMessageA(H(edit), WM_SETFONT, font, TRUE);
}

WindowId Win32ToolbarSurface::EditPartOf(WindowId child) {
  if (!IsCombo(H(child))) return child;
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if (!GetComboBoxInfo(H(child), &info) || !info.hwndItem) return child;
  return W(info.hwndItem);
}

void Win32ToolbarSurface::AddToolTip(WindowId window, const std::string& text) {
  HWND tips = reinterpret_cast<HWND>(Send(TB_GETTOOLTIPS));
  if (!tips) return;
  std::string copy = text;
  TOOLINFOA info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = toolbar_;
  info.uId = static_cast<UINT_PTR>(window);
  info.lpszText = copy.data();
  SendMessageA(tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

void Win32ToolbarSurface::DeliverMessage(const Message& message) {
  MSG msg{};
  msg.hwnd = H(message.window);
  msg.message = message.message;
  msg.wParam = message.wParam;
  msg.lParam = message.lParam;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

int Win32ToolbarSurface::ComboAddString(WindowId combo, const std::string& text) {
  return static_cast<int>(
      SendMessageA(H(combo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}
int Win32ToolbarSurface::ComboInsertString(WindowId combo, int index, const std::string& text) {
  return static_cast<int>(SendMessageA(H(combo), CB_INSERTSTRING, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(text.c_str())));
}
int Win32ToolbarSurface::ComboDeleteString(WindowId combo, int index) {
  return static_cast<int>(SendMessageA(H(combo), CB_DELETESTRING, static_cast<WPARAM>(index), 0));
}
void Win32ToolbarSurface::ComboResetContent(WindowId combo) {
  SendMessageA(H(combo), CB_RESETCONTENT, 0, 0);
}
int Win32ToolbarSurface::ComboGetCount(WindowId combo) {
  return static_cast<int>(SendMessageA(H(combo), CB_GETCOUNT, 0, 0));
}
std::string Win32ToolbarSurface::ComboGetString(WindowId combo, int index) {
  LRESULT length = SendMessageA(H(combo), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return {};
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(H(combo), CB_GETLBTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(buffer.data()));
  return std::string(buffer.data());
}
bool Win32ToolbarSurface::ComboSetItemData(WindowId combo, int index, std::intptr_t data) {
  return SendMessageA(H(combo), CB_SETITEMDATA, static_cast<WPARAM>(index), data) != CB_ERR;
}
std::intptr_t Win32ToolbarSurface::ComboGetItemData(WindowId combo, int index) {
  return SendMessageA(H(combo), CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}
int Win32ToolbarSurface::ComboFindStringExact(WindowId combo, int start, const std::string& text) {
  return static_cast<int>(SendMessageA(H(combo), CB_FINDSTRINGEXACT, static_cast<WPARAM>(start),
                                       reinterpret_cast<LPARAM>(text.c_str())));
}
int Win32ToolbarSurface::ComboSelectString(WindowId combo, int start, const std::string& text) {
  return static_cast<int>(SendMessageA(H(combo), CB_SELECTSTRING, static_cast<WPARAM>(start),
                                       reinterpret_cast<LPARAM>(text.c_str())));
}
int Win32ToolbarSurface::ComboSetCurSel(WindowId combo, int index) {
  return static_cast<int>(SendMessageA(H(combo), CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}
int Win32ToolbarSurface::ComboGetCurSel(WindowId combo) {
  return static_cast<int>(SendMessageA(H(combo), CB_GETCURSEL, 0, 0));
}
void Win32ToolbarSurface::ComboLimitText(WindowId combo, int maxChars) {
  SendMessageA(H(combo), CB_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
}
void Win32ToolbarSurface::EditLimitText(WindowId edit, int maxChars) {
  SendMessageA(H(edit), EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
}

void Win32ToolbarSurface::SetEditSelection(WindowId window, int start, int end) {
  if (IsCombo(H(window))) {
    SendMessageA(H(window), CB_SETEDITSEL, 0, MAKELPARAM(start, end));
  } else {
    SendMessageA(H(window), EM_SETSEL, static_cast<WPARAM>(start), end);
  }
}

bool Win32ToolbarSurface::GetEditSelection(WindowId window, int* start, int* end) {
  DWORD s = 0, e = 0;
  if (IsCombo(H(window))) {
    LRESULT r = SendMessageA(H(window), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&s),
                             reinterpret_cast<LPARAM>(&e));
    if (r == CB_ERR) return false;
  } else {
    SendMessageA(H(window), EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  }
  *start = static_cast<int>(s);
  *end = static_cast<int>(e);
  return true;
}

bool Win32ToolbarSurface::NavigateWebPage(WindowId page, const std::string& url) {
  // The ActiveX host hands out its control through its private message.
  static const UINT getControl = RegisterWindowMessageA("WM_ATLGETCONTROL");
  IUnknown* control = reinterpret_cast<IUnknown*>(SendMessageA(H(page), getControl, 0, 0));
  if (!control) {
    // Not created yet: the host creates a browser control from its text.
    return SetWindowTextA(H(page), url.c_str()) != 0;
  }
  // The host keeps its own reference to the control: only ours is released.
  win32::ComRef<IWebBrowser2> browser;
  if (FAILED(control->QueryInterface(IID_IWebBrowser2, browser.OutVoid())) || !browser)
    return false;
  // The address ends at the first NUL, as a C string does.
  win32::Bstr address(win32::Widen(url).c_str());
  return SUCCEEDED(browser->Navigate(address.get(), nullptr, nullptr, nullptr, nullptr));
}

bool Win32ToolbarSurface::SetBitmapButtonImages(WindowId button, const std::string& normalPath,
                                                const std::string& hotPath) {
  auto load = [](const std::string& path) {
    BitmapFileInfo info;
    if (!ReadBitmapFileInfo(path, &info)) return GdiObject<HBITMAP>();
    return GdiObject<HBITMAP>(static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
  };
  auto pictures = std::make_unique<BitmapPictures>();
  pictures->normal = load(normalPath);
  pictures->hot = load(hotPath);
  if (!pictures->normal || !pictures->hot) return false;
  HWND window = H(button);
  ReleasePictures(window);
  SendMessageA(window, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(pictures->normal.get()));
  SetWindowSubclass(window, BitmapButtonProc, kPictureSubclass,
                    reinterpret_cast<DWORD_PTR>(pictures.get()));
  pictures_[window] = std::move(pictures);
  return true;
}

void Win32ToolbarSurface::FillMenu(HMENU menu, const std::vector<MenuEntry>& entries,
                                   std::deque<MenuRecord>& records) {
  for (const MenuEntry& entry : entries) {
    records.push_back(MenuRecord{entry.data.marker, entry.data.text.c_str(), entry.data.typeFlags,
                                 entry.data.drawState, entry.data.image});
    LPCSTR data = reinterpret_cast<LPCSTR>(&records.back());
    if (entry.flags & MF_POPUP) {
      win32::ScopedMenu sub(CreatePopupMenu());
      FillMenu(sub.get(), entry.submenu, records);
      // Once appended the submenu belongs to the menu and goes with it.
      if (AppendMenuA(menu, entry.flags, reinterpret_cast<UINT_PTR>(sub.get()), data)) sub.Detach();
    } else {
      AppendMenuA(menu, entry.flags, entry.id, data);
    }
  }
}

void Win32ToolbarSurface::TrackPopupMenu(const PopupMenu& menu, uint32_t flags, Point screen) {
  win32::ScopedMenu popup(CreatePopupMenu());
  if (!popup) return;
  std::deque<MenuRecord> records;  // the item data must live while the menu shows
  FillMenu(popup.get(), menu.entries, records);
  const std::deque<MenuRecord>* outer = shownRecords_;
  shownRecords_ = &records;
  ::TrackPopupMenu(popup.get(), flags, screen.x, screen.y, 0, toolbar_, nullptr);
  shownRecords_ = outer;
}

const Win32ToolbarSurface::MenuRecord* Win32ToolbarSurface::FindMenuRecord(
    ULONG_PTR itemData) const {
  if (!shownRecords_) return nullptr;
  for (const MenuRecord& record : *shownRecords_) {
    if (reinterpret_cast<ULONG_PTR>(&record) == itemData && record.marker == kMenuDataMarker)
      return &record;
  }
  return nullptr;
}

bool Win32ToolbarSurface::SetTimer(unsigned id, unsigned periodMs) {
  return ::SetTimer(toolbar_, id, periodMs, nullptr) != 0;
}

void Win32ToolbarSurface::KillTimer(unsigned id) {
  ::KillTimer(toolbar_, id);
}

}  // namespace qv
