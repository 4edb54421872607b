#include "host/win32/com_module.h"

#include <vector>

namespace qv {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_locks = 0;

std::wstring ModuleFileName(HMODULE module) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::wstring();
    // A full buffer may hold a truncated path: try again with a larger one.
    if (n < buffer.size() - 1) return std::wstring(buffer.data(), n);
    if (buffer.size() >= 32768) return std::wstring();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

void SetModuleInstance(HINSTANCE instance) {
  g_instance = instance;
}

HINSTANCE ModuleInstance() {
  return g_instance;
}

std::wstring ModulePath() {
  return ModuleFileName(g_instance);
}

std::wstring HostExecutablePath() {
  return ModuleFileName(nullptr);
}

void LockModule() {
  InterlockedIncrement(&g_locks);
}

void UnlockModule() {
  InterlockedDecrement(&g_locks);
}

long ModuleLockCount() {
  return InterlockedCompareExchange(&g_locks, 0, 0);
}

bool IsRefusedHostPath(const std::wstring& hostPath) {
  std::wstring lower = hostPath;
  for (wchar_t& c : lower) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return lower.find(L"explorer.exe") != std::wstring::npos;
}

}  // namespace qv
