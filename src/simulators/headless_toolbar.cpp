#include "simulators/headless_toolbar.h"

#include <algorithm>
#include <cctype>

#include "formats/bitmap_file.h"

namespace qv {
namespace {

bool EqualNoCase(const std::string& a, const std::string& b, size_t n) {
  if (a.size() < n || b.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

const HeadlessToolbar::Child* HeadlessToolbar::FindChild(WindowId window) const {
  auto it = children_.find(window);
  return it == children_.end() ? nullptr : &it->second;
}

WindowId HeadlessToolbar::AddWindow(WindowId parent) {
  WindowId id = nextWindow_++;
  parents_[id] = parent;
  return id;
}

WindowId HeadlessToolbar::GetParentOf(WindowId window) {
  switch (window) {
    case kToolbarWindow:
      return kReflectorWindow;
    case kReflectorWindow:
      return kRebarWindow;
    case kRebarWindow:
      return kFrameWindow;
    default:
      break;
  }
  auto it = parents_.find(window);
  return it == parents_.end() ? 0 : it->second;
}

bool HeadlessToolbar::SetToolbarFont(const FontSpec& font) {
  font_ = font;
  hasFont_ = true;
  return true;
}

bool HeadlessToolbar::ReadBitmapSize(const std::string& path, int* width, int* height) {
  BitmapFileInfo info;
  if (!ReadBitmapFileInfo(path, &info)) return false;
  *width = info.width;
  *height = info.height;
  return true;
}

void HeadlessToolbar::SetBitmapSize(int cx, int cy) {
  bitmapCx_ = cx;
  bitmapCy_ = cy;
}

bool HeadlessToolbar::LoadImageLists(const std::string& normalPath, const std::string& hotPath,
                                     int cellSize) {
  imageCell_ = 0;
  imagePath_.clear();
  hotImagePath_.clear();
  BitmapFileInfo normal, hot;
  if (cellSize <= 0 || !ReadBitmapFileInfo(normalPath, &normal) ||
      !ReadBitmapFileInfo(hotPath, &hot))
    return false;
  imageCell_ = cellSize;
  imagePath_ = normalPath;
  hotImagePath_ = hotPath;
  return true;
}

bool HeadlessToolbar::AddButtons(const std::vector<ToolbarButton>& buttons) {
  for (const ToolbarButton& b : buttons) buttons_.push_back(Button{b, {}, 0, false});
  return true;
}

bool HeadlessToolbar::DeleteButton(int index) {
  if (index < 0 || index >= ButtonCount()) return false;
  buttons_.erase(buttons_.begin() + index);
  return true;
}

int HeadlessToolbar::RowHeight() const {
  return std::max(kMinHeight, bitmapCy_ + 6);
}

int HeadlessToolbar::ButtonWidth(const Button& b) const {
  if (b.button.state & kTbstateHidden) return 0;
  if (b.button.style & kBtnsSep) return b.button.bitmap > 0 ? b.button.bitmap : kSeparatorWidth;
  if (b.fixedWidth) return b.cx;
  int width = bitmapCx_ + 7;
  const bool showText = (b.button.style & kBtnsShowtext) || !(exStyle_ & kTbstyleExMixedbuttons);
  if (showText && !b.text.empty()) width += 4 + kCharWidth * static_cast<int>(b.text.size());
  if (b.button.style & kBtnsWholedropdown) {
    width += 10;
  } else if ((b.button.style & kBtnsDropdown) && (exStyle_ & kTbstyleExDrawddarrows)) {
    width += 14;
  }
  return width;
}

bool HeadlessToolbar::GetItemRect(int index, Rect* rect) {
  if (index < 0 || index >= ButtonCount()) return false;
  int x = 0;
  for (int i = 0; i < index; ++i) x += ButtonWidth(buttons_[i]);
  *rect = Rect{x, 0, x + ButtonWidth(buttons_[index]), RowHeight()};
  return true;
}

bool HeadlessToolbar::GetRect(int command, Rect* rect) {
  for (int i = 0; i < ButtonCount(); ++i) {
    if (buttons_[i].button.command == command) return GetItemRect(i, rect);
  }
  return false;
}

HeadlessToolbar::Button* HeadlessToolbar::FindButton(int command) {
  for (Button& b : buttons_) {
    if (b.button.command == command) return &b;
  }
  return nullptr;
}

bool HeadlessToolbar::GetButtonInfo(int command, ButtonInfo* info) {
  Button* b = FindButton(command);
  if (!b) return false;
  info->command = command;
  info->image = b->button.bitmap;
  info->state = b->button.state;
  info->style = b->button.style;
  info->cx = ButtonWidth(*b);
  info->text = b->text;
  return true;
}

bool HeadlessToolbar::SetButtonInfo(int command, const ButtonInfo& info) {
  Button* b = FindButton(command);
  if (!b) return false;
  if (info.mask & kTbifImage) b->button.bitmap = info.image;
  if (info.mask & kTbifText) b->text = info.text;
  if (info.mask & kTbifState) b->button.state = info.state;
  if (info.mask & kTbifStyle) b->button.style = info.style;
  if (info.mask & kTbifSize) {
    b->cx = info.cx;
    b->fixedWidth = true;
  }
  if (info.mask & kTbifCommand) b->button.command = info.command;
  return true;
}

bool HeadlessToolbar::HasState(int command, uint8_t bit) {
  Button* b = FindButton(command);
  return b && (b->button.state & bit);
}

bool HeadlessToolbar::SetStateBit(int command, uint8_t bit, bool on) {
  Button* b = FindButton(command);
  if (!b) return false;
  b->button.state = on ? (b->button.state | bit) : (b->button.state & ~bit);
  return true;
}

int HeadlessToolbar::HitTest(Point client) {
  if (client.y < 0 || client.y >= RowHeight()) return -1;
  int x = 0;
  for (int i = 0; i < ButtonCount(); ++i) {
    int w = ButtonWidth(buttons_[i]);
    if (w > 0 && client.x >= x && client.x < x + w) return i;
    x += w;
  }
  return -1;
}

WindowId HeadlessToolbar::CreateChild(const ChildSpec& spec) {
  WindowId id = nextWindow_++;
  parents_[id] = kToolbarWindow;
  Child child;
  child.spec = spec;
  child.rect = spec.rect;
  child.visible = (spec.style & kWsVisible) != 0;
  if (spec.kind == ChildKind::kComboBox) {
    child.editPart = nextWindow_++;
    parents_[child.editPart] = id;
  }
  children_[id] = child;
  return id;
}

void HeadlessToolbar::DestroyChild(WindowId child) {
  auto it = children_.find(child);
  if (it == children_.end()) return;
  if (it->second.editPart) parents_.erase(it->second.editPart);
  parents_.erase(child);
  children_.erase(it);
}

HeadlessToolbar::Child* HeadlessToolbar::ChildOf(WindowId window) {
  auto it = children_.find(window);
  if (it != children_.end()) return &it->second;
  for (auto& [id, c] : children_) {
    if (c.editPart != 0 && c.editPart == window) return &c;
  }
  return nullptr;
}

HeadlessToolbar::Child* HeadlessToolbar::Combo(WindowId combo) {
  Child* c = ChildOf(combo);
  return c && c->spec.kind == ChildKind::kComboBox ? c : nullptr;
}

void HeadlessToolbar::MoveChild(WindowId child, const Rect& rect) {
  if (Child* c = ChildOf(child)) c->rect = rect;
}

void HeadlessToolbar::ShowChild(WindowId child, bool show) {
  if (Child* c = ChildOf(child)) c->visible = show;
}

void HeadlessToolbar::SetChildText(WindowId child, const std::string& text) {
  Child* c = ChildOf(child);
  if (!c) return;
  c->text = text;
  c->selStart = c->selEnd = static_cast<int>(text.size());
}

std::string HeadlessToolbar::GetChildText(WindowId child, int maxChars) {
  Child* c = ChildOf(child);
  if (!c || maxChars <= 0) return {};
  return c->text.substr(0, static_cast<size_t>(maxChars - 1));
}

void HeadlessToolbar::SetChildFont(WindowId child) {
  if (Child* c = ChildOf(child)) c->hasFont = hasFont_;
}

WindowId HeadlessToolbar::EditPartOf(WindowId child) {
  Child* c = ChildOf(child);
  if (!c) return 0;
  return c->editPart ? c->editPart : child;
}

int HeadlessToolbar::ComboAddString(WindowId combo, const std::string& text) {
  return ComboInsertString(combo, -1, text);
}

int HeadlessToolbar::ComboInsertString(WindowId combo, int index, const std::string& text) {
  Child* c = Combo(combo);
  if (!c) return kCbErr;
  const int count = static_cast<int>(c->list.size());
  if (index < 0) index = count;
  if (index > count) return kCbErr;
  c->list.insert(c->list.begin() + index, ComboEntry{text, 0});
  if (c->selected >= index) ++c->selected;
  return index;
}

int HeadlessToolbar::ComboDeleteString(WindowId combo, int index) {
  Child* c = Combo(combo);
  if (!c || index < 0 || index >= static_cast<int>(c->list.size())) return kCbErr;
  c->list.erase(c->list.begin() + index);
  if (c->selected == index) {
    c->selected = kCbErr;
  } else if (c->selected > index) {
    --c->selected;
  }
  return static_cast<int>(c->list.size());
}

void HeadlessToolbar::ComboResetContent(WindowId combo) {
  if (Child* c = Combo(combo)) {
    c->list.clear();
    c->selected = kCbErr;
  }
}

int HeadlessToolbar::ComboGetCount(WindowId combo) {
  Child* c = Combo(combo);
  return c ? static_cast<int>(c->list.size()) : kCbErr;
}

std::string HeadlessToolbar::ComboGetString(WindowId combo, int index) {
  Child* c = Combo(combo);
  if (!c || index < 0 || index >= static_cast<int>(c->list.size())) return {};
  return c->list[index].text;
}

bool HeadlessToolbar::ComboSetItemData(WindowId combo, int index, std::intptr_t data) {
  Child* c = Combo(combo);
  if (!c || index < 0 || index >= static_cast<int>(c->list.size())) return false;
  c->list[index].data = data;
  return true;
}

std::intptr_t HeadlessToolbar::ComboGetItemData(WindowId combo, int index) {
  Child* c = Combo(combo);
  if (!c || index < 0 || index >= static_cast<int>(c->list.size())) return kCbErr;
  return c->list[index].data;
}

// Searches from the entry after start to the end, then wraps to the top, as
// the combo box does.
int HeadlessToolbar::Find(const Child& c, int start, const std::string& text, bool prefix) const {
  const int count = static_cast<int>(c.list.size());
  if (count == 0) return kCbErr;
  if (start < -1 || start >= count) start = -1;
  for (int n = 0; n < count; ++n) {
    const int i = (start + 1 + n) % count;
    const std::string& entry = c.list[i].text;
    const bool match = prefix
                           ? EqualNoCase(entry, text, text.size())
                           : entry.size() == text.size() && EqualNoCase(entry, text, text.size());
    if (match) return i;
  }
  return kCbErr;
}

int HeadlessToolbar::ComboFindStringExact(WindowId combo, int start, const std::string& text) {
  Child* c = Combo(combo);
  return c ? Find(*c, start, text, false) : kCbErr;
}

int HeadlessToolbar::ComboSelectString(WindowId combo, int start, const std::string& text) {
  Child* c = Combo(combo);
  if (!c) return kCbErr;
  const int i = Find(*c, start, text, true);
  if (i != kCbErr) ComboSetCurSel(combo, i);
  return i;
}

int HeadlessToolbar::ComboSetCurSel(WindowId combo, int index) {
  Child* c = Combo(combo);
  if (!c) return kCbErr;
  if (index < 0 || index >= static_cast<int>(c->list.size())) {
    c->selected = kCbErr;
    if (index == -1) c->text.clear();
    return kCbErr;
  }
  c->selected = index;
  c->text = c->list[index].text;
  c->selStart = 0;
  c->selEnd = static_cast<int>(c->text.size());
  return index;
}

int HeadlessToolbar::ComboGetCurSel(WindowId combo) {
  Child* c = Combo(combo);
  return c ? c->selected : kCbErr;
}

void HeadlessToolbar::ComboLimitText(WindowId combo, int maxChars) {
  if (Child* c = Combo(combo)) c->limit = maxChars;
}

void HeadlessToolbar::EditLimitText(WindowId edit, int maxChars) {
  if (Child* c = ChildOf(edit)) c->limit = maxChars;
}

void HeadlessToolbar::SetEditSelection(WindowId window, int start, int end) {
  Child* c = ChildOf(window);
  if (!c) return;
  const int length = static_cast<int>(c->text.size());
  if (start < 0) {  // -1 removes the selection
    c->selStart = c->selEnd = std::min(c->selEnd, length);
    return;
  }
  if (end < 0 || end > length) end = length;
  c->selStart = std::min(start, length);
  c->selEnd = end;
}

bool HeadlessToolbar::GetEditSelection(WindowId window, int* start, int* end) {
  Child* c = ChildOf(window);
  if (!c) return false;
  *start = c->selStart;
  *end = c->selEnd;
  return true;
}

bool HeadlessToolbar::NavigateWebPage(WindowId page, const std::string& url) {
  Child* c = ChildOf(page);
  if (!c || c->spec.kind != ChildKind::kWebPage) return false;
  c->navigations.push_back(url);
  return true;
}

bool HeadlessToolbar::SetBitmapButtonImages(WindowId button, const std::string& normalPath,
                                            const std::string& hotPath) {
  Child* c = ChildOf(button);
  if (!c || c->spec.kind != ChildKind::kBitmapButton) return false;
  BitmapFileInfo info;
  if (!ReadBitmapFileInfo(normalPath, &info) || !ReadBitmapFileInfo(hotPath, &info)) return false;
  c->bitmap = normalPath;
  c->hotBitmap = hotPath;
  return true;
}

void HeadlessToolbar::SetPointerOver(WindowId child, bool over) {
  if (Child* c = ChildOf(child)) c->pointerOver = over;
}

bool HeadlessToolbar::SetTimer(unsigned id, unsigned periodMs) {
  if (id == 0) return false;
  timers_[id] = periodMs;
  return true;
}

}  // namespace qv
