#include "host/win32/drop_target_win32.h"

#include <algorithm>
#include <cstring>

#include "host/keyboard_focus.h"
#include "host/toolbar_ctrl.h"
#include "host/win32/com_object.h"
#include "host/win32/toolbar_windows_win32.h"
#include "platform/win32/scoped.h"

namespace qv {
namespace {

FORMATETC TextFormat() {
  return FORMATETC{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// A storage medium filled by IDataObject::GetData, released exactly once.
class ScopedStgMedium {
 public:
  ScopedStgMedium() = default;
  ~ScopedStgMedium() {
    if (filled_) ReleaseStgMedium(&medium_);
  }
  ScopedStgMedium(const ScopedStgMedium&) = delete;
  ScopedStgMedium& operator=(const ScopedStgMedium&) = delete;

  // The slot for GetData; call MarkFilled after it succeeded.
  STGMEDIUM* Out() { return &medium_; }
  void MarkFilled() { filled_ = true; }
  const STGMEDIUM& get() const { return medium_; }

 private:
  STGMEDIUM medium_{};
  bool filled_ = false;
};

// A global memory block locked for reading while this lives.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL block)
      : block_(block), data_(static_cast<const char*>(GlobalLock(block))) {}
  ~GlobalLockGuard() {
    if (data_) GlobalUnlock(block_);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

  const char* data() const { return data_; }

 private:
  HGLOBAL block_;
  const char* data_;
};

WindowId W(HWND window) {
  return reinterpret_cast<WindowId>(window);
}

bool HasClass(HWND window, const char* name) {
  char buffer[64] = {};
  return GetClassNameA(window, buffer, sizeof buffer) > 0 && lstrcmpiA(buffer, name) == 0;
}

// What the control takes as typed text: its edit window's limit (a combo
// box keeps it on its edit part; a drop-down list has none).
size_t ControlTextLimit(HWND window) {
  HWND edit = window;
  if (HasClass(window, kComboBoxWindowClass)) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    edit = GetComboBoxInfo(window, &info) && info.hwndItem != window ? info.hwndItem : nullptr;
  }
  if (!edit) return kMaxDroppedText;
  const auto limit = static_cast<size_t>(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0));
  return limit == 0 ? kMaxDroppedText : std::min(limit, kMaxDroppedText);
}

class InputDropTarget : public IDropTarget, public ComObjectRoot {
 public:
  static std::span<const QiEntry<InputDropTarget>> Interfaces() {
    static const QiEntry<InputDropTarget> table[] = {
        Interface<InputDropTarget, IDropTarget>(IID_IDropTarget)};
    return table;
  }
  void SetWindow(HWND window) { window_ = window; }

  STDMETHODIMP DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    kept_.Reset();
    InputControl* control = Control();
    if (!control) {
      *effect = DROPEFFECT_NONE;
      return S_OK;
    }
    // Text we could only move would be taken away from its source.
    FORMATETC format = TextFormat();
    const bool offersText =
        data && (*effect & DROPEFFECT_COPY) && data->QueryGetData(&format) == S_OK;
    *effect = control->DragEnter(offersText);
    if (offersText) kept_ = win32::ComRef<IDataObject>::Share(data);
    return S_OK;
  }

  STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    InputControl* control = Control();
    *effect = control && kept_ ? control->DragOver() : DROPEFFECT_NONE;
    return S_OK;
  }

  STDMETHODIMP DragLeave() override {
    kept_.Reset();
    if (InputControl* control = Control()) control->DragLeave();
    return S_OK;
  }

  STDMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    *effect = DROPEFFECT_NONE;
    const bool accepted = static_cast<bool>(kept_);
    kept_.Reset();
    InputControl* control = Control();
    if (!accepted || !control) return E_FAIL;
    std::string text;
    if (!data || !ReadDroppedText(data, ControlTextLimit(window_), &text)) {
      // Offered text but gave none: nothing is put in or searched for.
      control->DragLeave();
      return E_FAIL;
    }
    uint32_t result = kDropEffectNone;
    const long hr = control->Drop(text, &result);
    *effect = result;
    return static_cast<HRESULT>(hr);
  }

 private:
  // The keyboard entry of this window; null once the toolbar is gone or
  // was rebuilt without it.
  InputControl* Control() const {
    ToolbarWindowHost* host = ToolbarWindowHost::FromWindow(window_);
    if (!host) return nullptr;
    for (InputControl& control : host->Toolbar().Keyboard().Controls()) {
      if (control.Window() == W(window_)) return &control;
    }
    return nullptr;
  }

  HWND window_ = nullptr;
  win32::ComRef<IDataObject> kept_;
};

}  // namespace

HRESULT CreateInputDropTarget(HWND window, IDropTarget** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  win32::ComRef<IDropTarget> target;
  HRESULT hr = CreateComObject<InputDropTarget>(nullptr, IID_IDropTarget, target.OutVoid());
  if (FAILED(hr)) return hr;
  static_cast<InputDropTarget*>(target.get())->SetWindow(window);
  *out = target.Detach();
  return S_OK;
}

HRESULT RegisterInputDropTarget(HWND window) {
  win32::ComRef<IDropTarget> target;
  HRESULT hr = CreateInputDropTarget(window, target.Out());
  // The registration holds its own reference until it is revoked.
  return SUCCEEDED(hr) ? RegisterDragDrop(window, target.get()) : hr;
}

void RevokeInputDropTarget(HWND window) {
  RevokeDragDrop(window);
}

bool ReadDroppedText(IDataObject* data, size_t limit, std::string* text) {
  text->clear();
  FORMATETC format = TextFormat();
  ScopedStgMedium medium;
  if (FAILED(data->GetData(&format, medium.Out()))) return false;
  medium.MarkFilled();
  if (medium.get().tymed != TYMED_HGLOBAL || !medium.get().hGlobal) return false;
  const size_t size = GlobalSize(medium.get().hGlobal);
  GlobalLockGuard lock(medium.get().hGlobal);
  if (!lock.data()) return false;
  // The terminator is looked for only as far as the text may reach.
  const size_t span = std::min(size, limit);
  const void* nul = std::memchr(lock.data(), '\0', span);
  size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - lock.data()) : span;
  if (!nul && span < size) {
    // Cut before a lead byte whose second half fell beyond the limit.
    size_t whole = 0;
    for (size_t i = 0; i < length;) {
      i += IsDBCSLeadByte(static_cast<BYTE>(lock.data()[i])) ? 2 : 1;
      if (i <= length) whole = i;
    }
    length = whole;
  }
  text->assign(lock.data(), length);
  return true;
}

}  // namespace qv
