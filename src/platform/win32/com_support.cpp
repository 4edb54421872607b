#include "platform/win32/com_support.h"

#include "platform/win32/scoped.h"

namespace qv::win32 {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const wchar_t* text, int length) {
  if (text == nullptr) return std::string();
  if (length < 0) length = static_cast<int>(wcslen(text));
  if (length == 0) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), n, nullptr, nullptr);
  return narrow;
}

Bstr::Bstr(const std::string& text) {
  std::wstring wide = Widen(text);
  b_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string Bstr::Text() const {
  return b_ ? Narrow(b_, static_cast<int>(SysStringLen(b_))) : "";
}

void Variant::SetText(const std::string& text) {
  VariantClear(&v_);
  v_.vt = VT_BSTR;
  std::wstring wide = Widen(text);
  v_.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace qv::win32
