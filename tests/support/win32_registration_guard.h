// Registration installs the toolbar: it fetches the browser button's icons
// when they are missing (a message box when that fails) and opens the
// system's browser on the after-install page. Tests that register the
// built DLL under Wine put the icons beside it and take the browser's
// local-server registration out of the test prefix, so that nothing waits
// for a person and no browser process outlives the test.
#pragma once

#include <windows.h>

#include <string>

namespace qv::test {

inline void PrepareForRegistration(const std::string& dllFolder) {
  for (const char* icon : {"siebi.ico", "siebihi.ico"}) {
    const std::string path = dllFolder + icon;
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    DWORD written = 0;
    WriteFile(file, "icon", 4, &written, nullptr);
    CloseHandle(file);
  }
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY browser = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{0002DF01-0000-0000-C000-000000000046}", 0,
                      KEY_ALL_ACCESS | view, &browser) == ERROR_SUCCESS) {
      RegDeleteTreeW(browser, L"LocalServer32");
      RegCloseKey(browser);
    }
  }
}

}  // namespace qv::test
