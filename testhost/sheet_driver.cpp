#include "sheet_driver.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "image_file.h"

namespace qv::testhost {
namespace {

SheetDriver* g_driver = nullptr;

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

HWND CurrentPage(HWND sheet) {
  return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

// "ID:REST" -> id and rest.
bool Split(const std::string& value, int* id, std::string* rest) {
  const size_t colon = value.find(':');
  *id = std::atoi(value.substr(0, colon).c_str());
  *rest = colon == std::string::npos ? "" : value.substr(colon + 1);
  return *id != 0;
}

bool Capture(HWND window, const std::string& path) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT client;
  GetClientRect(window, &client);
  const int width = std::max<int>(1, client.right), height = std::max<int>(1, client.bottom);
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool done = false;
  if (bitmap && bits && memory) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    done = BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  Picture picture;
  if (done) {
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(static_cast<size_t>(width) * height * 3);
    const auto* pixels = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
      picture.rgb[3 * i] = pixels[4 * i + 2];
      picture.rgb[3 * i + 1] = pixels[4 * i + 1];
      picture.rgb[3 * i + 2] = pixels[4 * i];
    }
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(window, dc);
  std::string error;
  return done && WritePicture(picture, path, &error);
}

}  // namespace

bool SheetDriver::IsSheet(HWND window) {
  return FindWindowExW(window, nullptr, L"SysTabControl32", nullptr) != nullptr;
}

void SheetDriver::Begin(HWND sheet) {
  sheet_ = sheet;
  ++sheetsShown;
  wchar_t caption[128] = {};
  GetWindowTextW(sheet, caption, 128);
  lastCaption = caption;
  g_driver = this;
  SetTimer(nullptr, 0, 50, &SheetDriver::Tick);
}

void CALLBACK SheetDriver::Tick(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (g_driver) g_driver->Run();
}

void SheetDriver::Run() {
  // The title is set after the sheet is first activated.
  wchar_t caption[128] = {};
  GetWindowTextW(sheet_, caption, 128);
  lastCaption = caption;
  if (HWND tabs = FindWindowExW(sheet_, nullptr, L"SysTabControl32", nullptr)) {
    wchar_t text[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    const int current = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    if (SendMessageW(tabs, TCM_GETITEMW, current, reinterpret_cast<LPARAM>(&item)))
      pageCaption = text;
  }
  bool closed = false;
  for (const std::string& step : script) {
    if (!IsWindow(sheet_)) break;
    if (step == "ok" || step == "cancel") {
      const int button = step == "ok" ? PSBTN_OK : PSBTN_CANCEL;
      SendMessageW(sheet_, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
      log.push_back(step);
      closed = true;
      break;
    }
    if (!RunStep(step)) log.push_back("could not: " + step);
  }
  if (!closed && IsWindow(sheet_)) {
    SendMessageW(sheet_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    log.push_back("cancel");
  }
}

bool SheetDriver::RunStep(const std::string& step) {
  const size_t equals = step.find('=');
  const std::string verb = step.substr(0, equals);
  const std::string value = equals == std::string::npos ? "" : step.substr(equals + 1);
  if (verb == "page") {
    SendMessageW(sheet_, PSM_SETCURSEL, static_cast<WPARAM>(std::atoi(value.c_str())), 0);
    log.push_back(step);
    return true;
  }
  if (verb == "snapshot") return Capture(sheet_, value);
  if (verb == "mark") {
    FILE* file = std::fopen(value.c_str(), "w");
    if (file) std::fclose(file);
    return file != nullptr;
  }
  if (verb == "hold") {
    const DWORD end = GetTickCount() + static_cast<DWORD>(std::atoi(value.c_str()));
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      Sleep(20);
    }
    return true;
  }
  HWND page = CurrentPage(sheet_);
  int id = 0;
  std::string rest;
  if (!page || !Split(value, &id, &rest)) return false;
  HWND control = GetDlgItem(page, id);
  if (!control) return false;
  auto command = [&](int code) {
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
  };
  log.push_back(step);
  if (verb == "check") {
    SendMessageW(control, BM_SETCHECK, rest == "1" ? BST_CHECKED : BST_UNCHECKED, 0);
    command(BN_CLICKED);
  } else if (verb == "click") {
    command(BN_CLICKED);
  } else if (verb == "select") {
    const int entry = std::atoi(rest.c_str());
    if (lstrcmpiW(ClassName(control).c_str(), L"ListBox") == 0) {
      SendMessageW(control, LB_SETCURSEL, entry, 0);
      command(LBN_SELCHANGE);
    } else {
      SendMessageW(control, CB_SETCURSEL, entry, 0);
      command(CBN_SELCHANGE);
    }
  } else if (verb == "text") {
    SetWindowTextA(control, rest.c_str());
  } else if (verb == "type") {
    const size_t colon = rest.find(':');
    const int count = std::atoi(rest.substr(0, colon).c_str());
    const char c = colon == std::string::npos || colon + 1 >= rest.size() ? 'x' : rest[colon + 1];
    SendMessageW(control, EM_SETSEL, -1, -1);
    for (int i = 0; i < count; ++i) SendMessageW(control, WM_CHAR, static_cast<WPARAM>(c), 1);
  } else if (verb == "lvcheck" || verb == "lvselect") {
    const size_t colon = rest.find(':');
    const int row = std::atoi(rest.substr(0, colon).c_str());
    if (verb == "lvcheck") {
      const bool on = colon != std::string::npos && rest.substr(colon + 1) == "1";
      ListView_SetCheckState(control, row, on);
    } else {
      ListView_SetItemState(control, row, LVIS_SELECTED | LVIS_FOCUSED,
                            LVIS_SELECTED | LVIS_FOCUSED);
    }
  } else if (verb == "track") {
    const int position = std::atoi(rest.c_str());
    SendMessageW(control, TBM_SETPOS, TRUE, position);
    SendMessageW(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(control));
  } else {
    log.pop_back();
    return false;
  }
  return true;
}

}  // namespace qv::testhost
