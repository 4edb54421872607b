// Scoped owners for the Win32 and COM resources the adapters use. Each owner
// is move-only (except ComRef, which copies by adding a reference), frees its
// resource exactly once, and treats "nothing there" as an empty owner whose
// reset does nothing. Out() frees what is held before handing out the slot
// for an API to fill, so that a reused owner never leaks.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace qv::win32 {

// One owner type for every handle kind; Traits names the handle type, its
// empty value and how it is freed.
template <typename Traits>
class Scoped {
 public:
  using Handle = typename Traits::Handle;

  Scoped() = default;
  // Takes over a handle the caller owns.
  explicit Scoped(Handle h) : h_(h) {}
  Scoped(Scoped&& other) noexcept : h_(other.Detach()) {}
  Scoped& operator=(Scoped&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
  ~Scoped() { Reset(); }

  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Empty(); }

  // Frees the handle held and takes over h.
  void Reset(Handle h = Traits::Empty()) {
    Handle old = std::exchange(h_, h);
    if (old != Traits::Empty()) Traits::Free(old);
  }
  // Gives the handle up without freeing it.
  Handle Detach() { return std::exchange(h_, Traits::Empty()); }
  Handle* Out() {
    Reset();
    return &h_;
  }

 private:
  Handle h_ = Traits::Empty();
};

namespace traits {

// Kernel objects that report failure as null (events, processes, threads).
struct KernelHandle {
  using Handle = HANDLE;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { CloseHandle(h); }
};
// Kernel objects that report failure as INVALID_HANDLE_VALUE (files, finds
// of CreateFile and its kin). Null is not a handle these APIs give out.
struct FileHandle {
  using Handle = HANDLE;
  static Handle Empty() { return INVALID_HANDLE_VALUE; }
  static void Free(Handle h) {
    if (h) CloseHandle(h);
  }
};
// Views of file mappings from MapViewOfFile.
struct MappedView {
  using Handle = void*;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { UnmapViewOfFile(h); }
};
struct RegKey {
  using Handle = HKEY;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { RegCloseKey(h); }
};
template <typename H>
struct GdiObject {
  using Handle = H;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { DeleteObject(h); }
};
// Memory device contexts from CreateCompatibleDC (not GetDC's).
struct MemoryDc {
  using Handle = HDC;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { DeleteDC(h); }
};
struct ImageList {
  using Handle = HIMAGELIST;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { ImageList_Destroy(h); }
};
// Only for icons and cursors that were created, never for shared ones from
// LoadIcon/LoadCursor.
struct Icon {
  using Handle = HICON;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { DestroyIcon(h); }
};
struct Menu {
  using Handle = HMENU;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { DestroyMenu(h); }
};
struct Window {
  using Handle = HWND;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { DestroyWindow(h); }
};
struct Socket {
  using Handle = SOCKET;
  static Handle Empty() { return INVALID_SOCKET; }
  static void Free(Handle h) { closesocket(h); }
};
// The Winsock 2 owners exist where winsock2.h (and ws2tcpip.h) came before
// this header, as they must come before windows.h.
#ifdef _WINSOCK2API_
struct WsaEvent {
  using Handle = WSAEVENT;
  static Handle Empty() { return WSA_INVALID_EVENT; }
  static void Free(Handle h) { WSACloseEvent(h); }
};
#endif
#ifdef _WS2TCPIP_H_
struct AddrInfo {
  using Handle = addrinfo*;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { freeaddrinfo(h); }
};
#endif

}  // namespace traits

using ScopedHandle = Scoped<traits::KernelHandle>;
using ScopedFileHandle = Scoped<traits::FileHandle>;
using ScopedMappedView = Scoped<traits::MappedView>;
using ScopedRegKey = Scoped<traits::RegKey>;
// HFONT, HBITMAP, HBRUSH...: deleted with DeleteObject.
template <typename H>
using GdiObject = Scoped<traits::GdiObject<H>>;
using ScopedMemoryDc = Scoped<traits::MemoryDc>;
using ScopedImageList = Scoped<traits::ImageList>;
using ScopedIcon = Scoped<traits::Icon>;
using ScopedMenu = Scoped<traits::Menu>;
using ScopedWindow = Scoped<traits::Window>;
using ScopedSocket = Scoped<traits::Socket>;
#ifdef _WINSOCK2API_
using ScopedWsaEvent = Scoped<traits::WsaEvent>;
#endif
#ifdef _WS2TCPIP_H_
using ScopedAddrInfo = Scoped<traits::AddrInfo>;
#endif

// Selects an object into a device context and selects the previous one
// back when it goes, so that the object can be deleted afterwards.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelect() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Saves the whole state of a device context and restores it when it goes:
// everything selected since is selected out again.
class ScopedDcState {
 public:
  explicit ScopedDcState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~ScopedDcState() {
    if (saved_) RestoreDC(dc_, saved_);
  }
  ScopedDcState(const ScopedDcState&) = delete;
  ScopedDcState& operator=(const ScopedDcState&) = delete;

 private:
  HDC dc_;
  int saved_;
};

// A window's device context from GetDC, released when it goes.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ScopedWindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A window's painting from BeginPaint, ended when it goes.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~ScopedPaint() {
    if (dc_) EndPaint(window_, &paint_);
  }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Shows a cursor in place of the current one and puts that one back on
// Restore or when it goes. Showing again before a restore keeps the cursor
// first replaced, so nested waits end on the right cursor; a restore with
// nothing replaced leaves the cursor alone.
class CursorRestorer {
 public:
  CursorRestorer() = default;
  ~CursorRestorer() { Restore(); }
  CursorRestorer(const CursorRestorer&) = delete;
  CursorRestorer& operator=(const CursorRestorer&) = delete;

  void Show(HCURSOR cursor) {
    HCURSOR previous = SetCursor(cursor);
    if (!replaced_) {
      previous_ = previous;
      replaced_ = true;
    }
  }
  void Restore() {
    if (!replaced_) return;
    replaced_ = false;
    SetCursor(std::exchange(previous_, nullptr));
  }

 private:
  HCURSOR previous_ = nullptr;
  bool replaced_ = false;
};

// An owning COM interface pointer. Copies add a reference, moves take it.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(std::nullptr_t) {}
  ComRef(const ComRef& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComRef& operator=(const ComRef& other) {
    // The new reference is taken before the old one goes, which also makes
    // self-assignment safe.
    if (other.p_) other.p_->AddRef();
    Attach(other.p_);
    return *this;
  }
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) Attach(std::exchange(other.p_, nullptr));
    return *this;
  }
  ~ComRef() { Reset(); }

  // Takes over a reference the caller already holds.
  static ComRef Adopt(T* p) {
    ComRef ref;
    ref.p_ = p;
    return ref;
  }
  // Adds a reference of its own to p.
  static ComRef Share(T* p) {
    if (p) p->AddRef();
    return Adopt(p);
  }

  void Reset() { Attach(nullptr); }
  // Releases the pointer held and takes over the caller's reference to p.
  void Attach(T* p) {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(p_, nullptr); }
  // The slot for an out-parameter; what was held is released first.
  T** Out() {
    Reset();
    return &p_;
  }
  // The same slot for QueryInterface and CoCreateInstance.
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  template <typename U>
  ComRef<U> As(REFIID iid) const {
    ComRef<U> result;
    if (p_) p_->QueryInterface(iid, result.OutVoid());
    return result;
  }

 private:
  T* p_ = nullptr;
};

// An owned BSTR, freed with SysFreeString.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::string& text);
  explicit Bstr(const wchar_t* text) : b_(SysAllocString(text)) {}
  Bstr(Bstr&& other) noexcept : b_(other.Detach()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b_); }

  BSTR get() const { return b_; }
  void Attach(BSTR b) { SysFreeString(std::exchange(b_, b)); }
  BSTR Detach() { return std::exchange(b_, nullptr); }
  BSTR* Out() {
    Attach(nullptr);
    return &b_;
  }
  std::string Text() const;

 private:
  BSTR b_ = nullptr;
};

// An owned VARIANT, cleared (releasing what it holds) when it goes.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      VariantClear(&v_);
      v_ = other.v_;
      VariantInit(&other.v_);
    }
    return *this;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  VARIANT* get() { return &v_; }
  // The slot for an out-parameter; what was held is cleared first.
  VARIANT* Out() {
    VariantClear(&v_);
    return &v_;
  }
  void SetText(const std::string& text);

 private:
  VARIANT v_;
};

}  // namespace qv::win32
