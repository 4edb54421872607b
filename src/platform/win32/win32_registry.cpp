#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/scoped.h"

namespace qv {
namespace {

// The seam carries the predefined roots as their 32-bit values; a 64-bit
// HKEY of a root is that value sign-extended.
HKEY ToHkey(RegHandle handle) {
  if (handle >= 0x80000000u && handle <= 0x800000FFu)
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
  return reinterpret_cast<HKEY>(handle);
}

RegHandle FromHkey(HKEY key) {
  return reinterpret_cast<RegHandle>(key);
}

const char* CName(const std::string& name) {
  return name.c_str();
}

// Deletes every subkey of key, depth first, and with values true every
// value too.
LONG DeleteContents(HKEY key, bool values) {
  char name[256];
  for (;;) {
    DWORD chars = sizeof name;
    LONG status = RegEnumKeyExA(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    win32::ScopedRegKey sub;
    status = RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, sub.Out());
    if (status != ERROR_SUCCESS) return status;
    status = DeleteContents(sub.get(), false);
    sub.Reset();  // closed before the key itself is deleted
    if (status != ERROR_SUCCESS) return status;
    status = RegDeleteKeyA(key, name);
    if (status != ERROR_SUCCESS) return status;
  }
  if (!values) return ERROR_SUCCESS;
  std::vector<char> valueName(16384);
  for (;;) {
    DWORD chars = static_cast<DWORD>(valueName.size());
    LONG status =
        RegEnumValueA(key, 0, valueName.data(), &chars, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    status = RegDeleteValueA(key, valueName.data());
    if (status != ERROR_SUCCESS) return status;
  }
}

}  // namespace

RegStatus Win32Registry::CreateKey(RegHandle parent, const std::string& subkey, RegHandle* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(ToHkey(parent), CName(subkey), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) *result = FromHkey(key);
  return status;
}

RegStatus Win32Registry::OpenKey(RegHandle parent, const std::string& subkey, RegHandle* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(ToHkey(parent), CName(subkey), 0, KEY_ALL_ACCESS, &key);
  if (status == ERROR_SUCCESS) *result = FromHkey(key);
  return status;
}

RegStatus Win32Registry::CloseKey(RegHandle key) {
  return RegCloseKey(ToHkey(key));
}

RegStatus Win32Registry::QueryValue(RegHandle key, const std::string& name, uint32_t* type,
                                    uint8_t* data, uint32_t* size) {
  DWORD t = 0;
  DWORD s = size ? *size : 0;
  LONG status = RegQueryValueExA(ToHkey(key), CName(name), nullptr, &t, data, size ? &s : nullptr);
  if (type && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA)) *type = t;
  if (size && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA)) *size = s;
  return status;
}

RegStatus Win32Registry::SetValue(RegHandle key, const std::string& name, uint32_t type,
                                  const uint8_t* data, uint32_t size) {
  return RegSetValueExA(ToHkey(key), CName(name), 0, type, data, size);
}

RegStatus Win32Registry::DeleteValue(RegHandle key, const std::string& name) {
  return RegDeleteValueA(ToHkey(key), CName(name));
}

RegStatus Win32Registry::DeleteTree(RegHandle key, const std::string& subkey) {
  if (subkey.empty()) return DeleteContents(ToHkey(key), true);
  win32::ScopedRegKey sub;
  LONG status = RegOpenKeyExA(ToHkey(key), CName(subkey), 0, KEY_ALL_ACCESS, sub.Out());
  if (status != ERROR_SUCCESS) return status;
  status = DeleteContents(sub.get(), false);
  sub.Reset();  // closed before the key itself is deleted
  if (status != ERROR_SUCCESS) return status;
  return RegDeleteKeyA(ToHkey(key), CName(subkey));
}

RegStatus Win32Registry::EnumValue(RegHandle key, uint32_t index, char* name, uint32_t* nameChars,
                                   uint32_t* type, uint8_t* data, uint32_t* size) {
  if (!nameChars) return ERROR_INVALID_PARAMETER;
  DWORD chars = *nameChars;
  DWORD t = 0;
  DWORD s = size ? *size : 0;
  LONG status =
      RegEnumValueA(ToHkey(key), index, name, &chars, nullptr, &t, data, size ? &s : nullptr);
  if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    if (status == ERROR_SUCCESS) *nameChars = chars;
    if (type) *type = t;
    if (size) *size = s;
  }
  return status;
}

RegStatus Win32Registry::EnumKey(RegHandle key, uint32_t index, char* name, uint32_t* nameChars) {
  if (!nameChars) return ERROR_INVALID_PARAMETER;
  DWORD chars = *nameChars;
  LONG status = RegEnumKeyExA(ToHkey(key), index, name, &chars, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) *nameChars = chars;
  return status;
}

RegStatus Win32Registry::FlushKey(RegHandle key) {
  return RegFlushKey(ToHkey(key));
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace qv
