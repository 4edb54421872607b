// Small COM helpers for the Win32 adapters: an owning interface pointer and
// the ANSI/wide conversions at the seam boundary.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace qv::win32 {

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  // Takes over a reference the caller already holds.
  explicit ComRef(T* p) : p_(p) {}
  ComRef(const ComRef& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComRef& operator=(const ComRef& other) {
    if (this != &other) {
      Reset();
      p_ = other.p_;
      if (p_) p_->AddRef();
    }
    return *this;
  }
  ~ComRef() { Reset(); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T** Out() {
    Reset();
    return &p_;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  template <typename U>
  ComRef<U> As(REFIID iid) const {
    ComRef<U> result;
    if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(result.Out()));
    return result;
  }

 private:
  T* p_ = nullptr;
};

std::wstring Widen(const std::string& text);
std::string Narrow(const wchar_t* text, int length = -1);

// An owned BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::string& text);
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  BSTR* Out() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::string Text() const { return b_ ? Narrow(b_, static_cast<int>(SysStringLen(b_))) : ""; }

 private:
  BSTR b_ = nullptr;
};

// An owned VARIANT, cleared when destroyed.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &v_; }
  void SetText(const std::string& text) {
    VariantClear(&v_);
    v_.vt = VT_BSTR;
    std::wstring wide = Widen(text);
    v_.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }

 private:
  VARIANT v_;
};

}  // namespace qv::win32
