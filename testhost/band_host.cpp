#include "band_host.h"

#include <commctrl.h>
#include <shlguid.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "json_writer.h"
#include "platform/win32/scoped.h"
#include "simulators/win32/scripted_dom.h"

namespace qv::testhost {
namespace {

// The band object's class, as registered by quorvane.dll.
const CLSID kBandClsid = {
    0x79F2FCFF, 0x052A, 0x4C50, {0xB9, 0x81, 0xAE, 0xF4, 0xAF, 0x4E, 0x78, 0xEA}};
const char kBandClsidText[] = "{79F2FCFF-052A-4C50-B981-AEF4AF4E78EA}";
const wchar_t kFrameClass[] = L"QuorvaneTestHostFrame";
// The frame's client area: a browser window's top with some of its page.
constexpr int kFrameWidth = 1024;
constexpr int kFrameHeight = 300;
constexpr int kAddressHeight = 26;
constexpr int kStatusHeight = 20;

MessageBoxAnswerer* g_answerer = nullptr;

std::wstring Wide(const std::string& text) {
  if (text.empty()) return L"";
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::wstring Trim(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t\r");
  if (first == std::wstring::npos) return L"";
  return text.substr(first, text.find_last_not_of(L" \t\r") - first + 1);
}

std::vector<std::wstring> SplitBars(const std::wstring& text) {
  std::vector<std::wstring> parts;
  size_t at = 0;
  for (;;) {
    const size_t bar = text.find(L'|', at);
    parts.push_back(Trim(text.substr(at, bar == std::wstring::npos ? bar : bar - at)));
    if (bar == std::wstring::npos) return parts;
    at = bar + 1;
  }
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

std::string RectJson(const RECT& r) {
  return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
}

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: {
      HWND rebar = FindWindowExW(window, nullptr, REBARCLASSNAMEW, nullptr);
      if (rebar) MoveWindow(rebar, 0, 0, LOWORD(lParam), 40, TRUE);
      InvalidateRect(window, nullptr, TRUE);
      break;
    }
    case WM_NOTIFY:
      // The band's rows moved the page.
      if (reinterpret_cast<NMHDR*>(lParam)->code == RBN_HEIGHTCHANGE)
        InvalidateRect(window, nullptr, TRUE);
      break;
    case WM_PAINT: {
      win32::ScopedPaint paint(window);
      const auto* host =
          reinterpret_cast<const BandHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      if (paint.get() && host) host->PaintPage(paint.get());
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A text of the current document through its own interface.
std::wstring DocumentText(sim::ScriptedDocument* document,
                          HRESULT (STDMETHODCALLTYPE IHTMLDocument2::*read)(BSTR*)) {
  win32::Bstr text;
  if (document == nullptr || FAILED((static_cast<IHTMLDocument2*>(document)->*read)(text.Out())) ||
      text.get() == nullptr)
    return L"";
  return std::wstring(text.get(), SysStringLen(text.get()));
}

void DrawLine(HDC dc, const std::wstring& text, RECT rect, UINT format) {
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            format | DT_NOPREFIX | DT_END_ELLIPSIS);
}

// A drop-down menu opened by a click runs its own message loop; this ends
// it so that the script goes on.
void CALLBACK EndMenus(HWND, UINT, UINT_PTR timer, DWORD) {
  EndMenu();
  KillTimer(nullptr, timer);
}

}  // namespace

bool ReadPageFile(const std::string& path, sim::PageDescription* page, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot read page file " + path;
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(file, line)) {
    ++number;
    const std::wstring text = Trim(Wide(line));
    if (text.empty() || text[0] == L'#') continue;
    const size_t equals = text.find(L'=');
    if (equals == std::wstring::npos) {
      *error = path + ":" + std::to_string(number) + ": expected \"key = value\"";
      return false;
    }
    const std::wstring key = Trim(text.substr(0, equals));
    const std::wstring value = Trim(text.substr(equals + 1));
    if (key == L"title") {
      page->title = value;
    } else if (key == L"text") {
      page->bodyText += (page->bodyText.empty() ? L"" : L" ") + value;
    } else if (key == L"element" || key == L"frame-element") {
      // A frame element belongs to the frame named last.
      sim::PageDescription* owner = page;
      if (key == L"frame-element") {
        if (page->frames.empty()) {
          *error = path + ":" + std::to_string(number) + ": a frame element before any frame";
          return false;
        }
        owner = &page->frames.back();
      }
      const std::vector<std::wstring> parts = SplitBars(value);
      sim::PageElement element;
      element.tag = parts[0];
      for (wchar_t& c : element.tag) c = static_cast<wchar_t>(towupper(c));
      if (element.tag.empty()) {
        *error = path + ":" + std::to_string(number) + ": an element needs a tag";
        return false;
      }
      if (parts.size() > 1) element.id = parts[1];
      if (parts.size() > 2) element.text = parts[2];
      for (size_t i = 3; i < parts.size(); ++i) {
        const size_t eq = parts[i].find(L'=');
        if (eq == std::wstring::npos) {
          *error = path + ":" + std::to_string(number) + ": attribute without '='";
          return false;
        }
        element.attributes.emplace_back(parts[i].substr(0, eq), parts[i].substr(eq + 1));
      }
      if (!element.text.empty())
        owner->bodyText += (owner->bodyText.empty() ? L"" : L" ") + element.text;
      owner->elements.push_back(element);
    } else if (key == L"frame") {
      const std::vector<std::wstring> parts = SplitBars(value);
      sim::PageDescription frame;
      frame.url = parts[0];
      frame.title = parts[0];
      if (parts.size() > 1) frame.bodyText = parts[1];
      page->frames.push_back(frame);
    } else {
      *error = path + ":" + std::to_string(number) + ": unknown key";
      return false;
    }
  }
  return true;
}

// --- message boxes

MessageBoxAnswerer::MessageBoxAnswerer() {
  g_answerer = this;
  hook_ = SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  if (hook_) UnhookWindowsHookEx(hook_);
  if (g_answerer == this) g_answerer = nullptr;
}

LRESULT CALLBACK MessageBoxAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
  MessageBoxAnswerer* self = g_answerer;
  if (self && code == HCBT_CREATEWND) {
    if (ClassOf(reinterpret_cast<HWND>(wParam)) == L"#32768") ++self->menus_;
  } else if (self && code == HCBT_ACTIVATE) {
    HWND dialog = reinterpret_cast<HWND>(wParam);
    if (ClassOf(dialog) == L"#32770" && SheetDriver::IsSheet(dialog)) {
      self->sheets_.Begin(dialog);
    } else if (ClassOf(dialog) == L"#32770") {
      MessageRecord record;
      record.caption = WindowText(dialog);
      HWND firstButton = nullptr;
      for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring kind = ClassOf(child);
        if (lstrcmpiW(kind.c_str(), L"Static") == 0) {
          const std::wstring text = WindowText(child);
          if (text.size() > record.text.size()) record.text = text;
        } else if (lstrcmpiW(kind.c_str(), L"Button") == 0 && firstButton == nullptr) {
          firstButton = child;
        }
      }
      // IDOK when the box has it, else its first button.
      record.answer = GetDlgItem(dialog, IDOK) ? IDOK
                      : firstButton            ? GetDlgCtrlID(firstButton)
                                               : IDCANCEL;
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(record.answer, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, record.answer)));
      self->messages_.push_back(record);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// --- site

STDMETHODIMP BandSite::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleWindow))
    *out = static_cast<IOleWindow*>(this);
  else if (IsEqualIID(iid, IID_IInputObjectSite))
    *out = static_cast<IInputObjectSite*>(this);
  else if (IsEqualIID(iid, IID_IServiceProvider))
    *out = static_cast<IServiceProvider*>(this);
  if (*out == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP BandSite::GetWindow(HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = window;
  return S_OK;
}

STDMETHODIMP BandSite::OnFocusChangeIS(IUnknown*, BOOL got) {
  focusChanges.push_back(got != FALSE);
  return S_OK;
}

STDMETHODIMP BandSite::QueryService(REFGUID service, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualGUID(service, SID_SWebBrowserApp) && !IsEqualGUID(service, SID_SInternetExplorer))
    return E_NOINTERFACE;
  return browser ? browser->QueryInterface(iid, out) : E_NOINTERFACE;
}

// --- host

BandHost::BandHost() = default;

BandHost::~BandHost() {
  if (!stopped_) Stop();
  if (browser_) browser_->Release();
  if (frame_) DestroyWindow(frame_);
  if (comInitialized_) CoUninitialize();
}

bool BandHost::StageDefinition(const std::string& dir) {
  // The band reads its definition and bitmaps from its module's directory
  // only, so they are copied there: next to the DLL the registry names.
  wchar_t module[MAX_PATH] = {};
  LONG size = sizeof module;
  const std::string key = std::string("CLSID\\") + kBandClsidText + "\\InprocServer32";
  if (RegQueryValueW(HKEY_CLASSES_ROOT, Wide(key).c_str(), module, &size) != ERROR_SUCCESS) {
    Error("the band is not registered: register quorvane.dll first (--register DLL)");
    return false;
  }
  std::wstring target = module;
  target.erase(target.find_last_of(L"\\/") + 1);
  std::wstring source = Wide(dir);
  if (!source.empty() && source.back() != L'\\' && source.back() != L'/') source += L'\\';
  if (GetFileAttributesW((source + L"quorvane.tbd").c_str()) == INVALID_FILE_ATTRIBUTES) {
    Error("no quorvane.tbd in " + dir);
    return false;
  }
  int copied = 0;
  for (const wchar_t* pattern : {L"quorvane.tbd", L"*.bmp", L"*.ico"}) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((source + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      if (lstrcmpiW((source + found.cFileName).c_str(), (target + found.cFileName).c_str()) == 0)
        continue;  // already there
      if (!CopyFileW((source + found.cFileName).c_str(), (target + found.cFileName).c_str(), FALSE))
        Error("cannot copy " + Utf8(found.cFileName) + " to " + Utf8(target));
      else
        ++copied;
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  stagedTo_ = Utf8(target);
  return true;
}

bool BandHost::Start(const HostOptions& options) {
  options_ = options;
  comInitialized_ = SUCCEEDED(CoInitialize(nullptr));
  INITCOMMONCONTROLSEX init{sizeof init, ICC_COOL_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&init);

  if (!options.registerDll.empty()) {
    HMODULE dll = LoadLibraryW(Wide(options.registerDll).c_str());
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto reg = dll ? reinterpret_cast<Entry>(
                         reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")))
                   : nullptr;
    registered_ = reg ? reg() : HRESULT_FROM_WIN32(GetLastError());
    if (FAILED(registered_))
      Error("cannot register " + options.registerDll + ": " + Hex(registered_));
    // Kept loaded: the class comes from the same module.
  }
  if (!options.definitionDir.empty() && !StageDefinition(options.definitionDir)) return false;
  if (!options.settings.empty()) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      Error("cannot open the product key");
      return false;
    }
    for (const auto& [name, value] : options.settings)
      RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof value);
    RegCloseKey(key);
  }

  WNDCLASSW frameClass{};
  frameClass.lpfnWndProc = &FrameProc;
  frameClass.hInstance = GetModuleHandleW(nullptr);
  frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frameClass.lpszClassName = kFrameClass;
  frameClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  RegisterClassW(&frameClass);
  // In a prefix just made, the first program can find the desktop not yet
  // ready for top-level windows; it comes within a few seconds.
  RECT outer{0, 0, kFrameWidth, kFrameHeight};
  AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
  for (int attempt = 0; attempt < 50 && !frame_; ++attempt) {
    if (attempt) Sleep(100);
    frame_ = CreateWindowExW(0, kFrameClass, L"quorvane test host",
                             WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, outer.right - outer.left,
                             outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
  }
  if (frame_) SetWindowLongPtrW(frame_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  rebar_ =
      CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, L"",
                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                          RBS_BANDBORDERS | CCS_NODIVIDER | CCS_TOP,
                      0, 0, kFrameWidth, 40, frame_, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!frame_ || !rebar_) {
    Error("cannot create the frame window: error " + std::to_string(GetLastError()) +
          (frame_ ? " (rebar)" : " (frame)"));
    return false;
  }
  ShowWindow(frame_, SW_SHOWNORMAL);
  browser_ = sim::ScriptedWebBrowser::CreateTop(frame_);
  site_.window = rebar_;
  site_.browser = browser_;

  startMs_ = NowMs();
  created_ = CoCreateInstance(kBandClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&band_));
  if (FAILED(created_) || !band_) {
    Error("CoCreateInstance of the band failed: " + Hex(created_));
    return false;
  }
  band_->QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(&deskBand_));
  band_->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input_));
  IObjectWithSite* withSite = nullptr;
  band_->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
  if (!deskBand_ || !withSite) {
    if (withSite) withSite->Release();
    Error("the band lacks IDeskBand or IObjectWithSite");
    return false;
  }
  double callStart = NowMs();
  sited_ = withSite->SetSite(static_cast<IOleWindow*>(&site_));
  timing_.bandCallsMs = callStart - startMs_ + (NowMs() - callStart);
  withSite->Release();
  Pump();
  if (FAILED(sited_)) {
    Error("SetSite failed: " + Hex(sited_));
    return false;
  }
  deskBand_->GetWindow(&toolbar_);

  // The browser asks for the band information when it adds the band and
  // again as the rebar lays it out.
  for (int i = 0; i < 3; ++i) {
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE |
                  DBIM_MODEFLAGS | DBIM_BKCOLOR;
    callStart = NowMs();
    deskBand_->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, &info);
    timing_.bandCallsMs += NowMs() - callStart;
    bandInfo_.push_back(info);
  }
  const DESKBANDINFO& first = bandInfo_.front();
  REBARBANDINFOW band{};
  band.cbSize = sizeof band;
  band.fMask =
      RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_IDEALSIZE | RBBIM_SIZE | RBBIM_ID;
  band.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS;
  if (first.dwModeFlags & DBIMF_BREAK) band.fStyle |= RBBS_BREAK;
  if (first.dwModeFlags & DBIMF_USECHEVRON) band.fStyle |= RBBS_USECHEVRON;
  band.hwndChild = toolbar_;
  band.wID = 1;
  band.cxMinChild = bandInfo_.back().ptMinSize.x;
  band.cyMinChild = first.ptMinSize.y;
  band.cx = first.ptActual.x;
  band.cxIdeal = first.ptActual.x;
  if (!SendMessageW(rebar_, RB_INSERTBANDW, static_cast<WPARAM>(-1),
                    reinterpret_cast<LPARAM>(&band)))
    Error("RB_INSERTBAND failed");
  callStart = NowMs();
  shown_ = deskBand_->ShowDW(TRUE);
  const double shownAt = NowMs();
  timing_.bandCallsMs += shownAt - callStart;
  timing_.shownMs = shownAt - startMs_;
  // Painted before anything the band posted to itself runs; then the
  // messages, which make the controls.
  RedrawWindow(toolbar_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  timing_.paintedMs = NowMs() - startMs_;
  Pump();
  timing_.readyMs = NowMs() - startMs_;
  loaded_ = IsWindow(toolbar_) && SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0) > 0;
  steps_.push_back("shown in " + std::to_string(static_cast<int>(timing_.shownMs)) +
                   " ms, every control in place in " +
                   std::to_string(static_cast<int>(timing_.readyMs)) + " ms");
  return loaded_;
}

void BandHost::Pump() {
  MSG message;
  for (int rounds = 0; rounds < 10000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
       ++rounds) {
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST && input_ &&
        input_->HasFocusIO() == S_OK && input_->TranslateAcceleratorIO(&message) == S_OK)
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

HWND BandHost::ComboEdit(int id) const {
  if (!IsWindow(toolbar_)) return nullptr;
  RECT button{};
  const LRESULT index = SendMessageW(toolbar_, TB_COMMANDTOINDEX, static_cast<WPARAM>(id), 0);
  if (index < 0 || !SendMessageW(toolbar_, TB_GETITEMRECT, static_cast<WPARAM>(index),
                                 reinterpret_cast<LPARAM>(&button)))
    return nullptr;
  for (HWND child = GetWindow(toolbar_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, toolbar_, reinterpret_cast<POINT*>(&rect), 2);
    const int middle = (rect.left + rect.right) / 2;
    if (middle < button.left || middle >= button.right) continue;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(child, &info) && info.hwndItem) return info.hwndItem;
    return child;  // an edit field
  }
  return nullptr;
}

void BandHost::RunStep(const Step& step) {
  switch (step.kind) {
    case Step::Kind::kNavigate: {
      const bool done = browser_->RunNavigation(step.page);
      steps_.push_back("navigate " + Utf8(step.page.url) + (done ? "" : " (cancelled)"));
      break;
    }
    case Step::Kind::kClick: {
      const LRESULT index =
          SendMessageW(toolbar_, TB_COMMANDTOINDEX, static_cast<WPARAM>(step.id), 0);
      RECT rect{};
      if (index < 0 || !SendMessageW(toolbar_, TB_GETITEMRECT, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(&rect))) {
        Error("no button " + std::to_string(step.id) + " to click");
        return;
      }
      // A press and release in the middle of the button, as the mouse
      // gives them; a menu that opens is closed again.
      const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
      SetTimer(nullptr, 0, 300, &EndMenus);
      SendMessageW(toolbar_, WM_MOUSEMOVE, 0, at);
      SendMessageW(toolbar_, WM_LBUTTONDOWN, MK_LBUTTON, at);
      SendMessageW(toolbar_, WM_LBUTTONUP, 0, at);
      steps_.push_back("click " + std::to_string(step.id));
      break;
    }
    case Step::Kind::kType:
    case Step::Kind::kEnter: {
      HWND edit = ComboEdit(step.id);
      if (!edit) {
        Error("no input field at button " + std::to_string(step.id));
        return;
      }
      SetFocus(edit);
      Pump();
      if (step.kind == Step::Kind::kType) {
        SetWindowTextW(edit, L"");
        for (wchar_t c : step.text) {
          PostMessageW(edit, WM_CHAR, c, 1);
          Pump();
        }
        steps_.push_back("type " + std::to_string(step.id) + " " + Utf8(step.text));
      } else {
        PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        Pump();
        PostMessageW(edit, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001));
        Pump();
        steps_.push_back("enter " + std::to_string(step.id));
      }
      break;
    }
    case Step::Kind::kMouseDown:
      if (!browser_->FireMouseDown(step.id)) Error("no element " + std::to_string(step.id));
      steps_.push_back("mousedown " + std::to_string(step.id));
      break;
    case Step::Kind::kNewWindow: {
      NewWindowRecord record;
      record.cancelled = browser_->RequestNewWindow();
      if (sim::ScriptedDocument* page = browser_->CurrentDocument())
        record.status = page->Window()->DefaultStatus();
      newWindows_.push_back(record);
      steps_.push_back(std::string("new window") + (record.cancelled ? " (cancelled)" : ""));
      break;
    }
    case Step::Kind::kKeyDown:
    case Step::Kind::kKeyUp: {
      const bool down = step.kind == Step::Kind::kKeyDown;
      keybd_event(static_cast<BYTE>(step.id), 0, down ? 0 : KEYEVENTF_KEYUP, 0);
      // The input reaches the key state once the queue has been read.
      for (int i = 0; i < 50 && ((GetAsyncKeyState(step.id) & 0x8000) != 0) != down; ++i) {
        Pump();
        Sleep(10);
      }
      steps_.push_back(std::string(down ? "key down " : "key up ") + std::to_string(step.id) +
                       ((GetAsyncKeyState(step.id) & 0x8000) != 0 ? " (down)" : " (up)"));
      break;
    }
    case Step::Kind::kScriptMove:
    case Step::Kind::kUserDrag: {
      const bool user = step.kind == Step::Kind::kUserDrag;
      RECT before{};
      GetWindowRect(frame_, &before);
      if (user) SendMessageW(frame_, WM_ENTERSIZEMOVE, 0, 0);
      SetWindowPos(frame_, nullptr, before.left + 16, before.top + 8,
                   before.right - before.left + 20, before.bottom - before.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      if (user) SendMessageW(frame_, WM_EXITSIZEMOVE, 0, 0);
      RECT after{};
      GetWindowRect(frame_, &after);
      const bool moved = after.left != before.left || after.right != before.right;
      steps_.push_back(std::string(user ? "user drag" : "script move") +
                       (moved ? " (moved)" : " (stopped)"));
      break;
    }
  }
  Pump();
  if (options_.followNavigations) FollowNavigations();
}

void BandHost::FollowNavigations() {
  // What the band asked for is loaded as an empty page, a few at most, so
  // that a page that asks again cannot keep the script going for ever.
  for (int round = 0; round < 4; ++round) {
    std::vector<sim::NavigationRecord> pending = browser_->TakePendingNavigations();
    if (pending.empty()) return;
    for (const sim::NavigationRecord& navigation : pending) {
      if (!navigation.target.empty() && navigation.target != L"_self") continue;
      sim::PageDescription page;
      page.url = navigation.url;
      page.title = navigation.url;
      page.bodyText =
          L"The page at this address, as the scripted browser shows it: no content "
          L"of its own.";
      browser_->RunNavigation(page);
      steps_.push_back("followed " + Utf8(navigation.url));
      Pump();
    }
  }
}

std::vector<ButtonRecord> BandHost::Buttons() const {
  std::vector<ButtonRecord> buttons;
  if (!IsWindow(toolbar_)) return buttons;
  const LRESULT count = SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    TBBUTTON button{};
    if (!SendMessageW(toolbar_, TB_GETBUTTON, static_cast<WPARAM>(i),
                      reinterpret_cast<LPARAM>(&button)))
      continue;
    ButtonRecord record;
    record.id = button.idCommand;
    record.state = button.fsState;
    record.style = button.fsStyle;
    record.bitmap = button.iBitmap;
    wchar_t text[256] = {};
    if (!(button.fsStyle & BTNS_SEP) &&
        SendMessageW(toolbar_, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand), 0) < 256)
      SendMessageW(toolbar_, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand),
                   reinterpret_cast<LPARAM>(text));
    record.text = text;
    SendMessageW(toolbar_, TB_GETITEMRECT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(&record.rect));
    buttons.push_back(record);
  }
  return buttons;
}

namespace {

struct ControlWalk {
  HWND frame;
  std::vector<ControlRecord>* records;
};

// A plain function, not a lambda: the callback's calling convention is
// stdcall on i686.
BOOL CALLBACK RecordControl(HWND window, LPARAM data) {
  auto* walk = reinterpret_cast<ControlWalk*>(data);
  ControlRecord record;
  record.className = ClassOf(window);
  record.text = WindowText(window);
  GetWindowRect(window, &record.rect);
  MapWindowPoints(nullptr, walk->frame, reinterpret_cast<POINT*>(&record.rect), 2);
  record.visible = IsWindowVisible(window) != FALSE;
  walk->records->push_back(record);
  return TRUE;
}

}  // namespace

std::vector<ControlRecord> BandHost::Controls() const {
  std::vector<ControlRecord> records;
  if (!IsWindow(frame_)) return records;
  ControlWalk walk{frame_, &records};
  EnumChildWindows(frame_, &RecordControl, reinterpret_cast<LPARAM>(&walk));
  return records;
}

void BandHost::PaintPage(HDC dc) const {
  RECT client;
  GetClientRect(frame_, &client);
  RECT rebar{};
  if (rebar_) {
    GetWindowRect(rebar_, &rebar);
    MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&rebar), 2);
  }
  sim::ScriptedDocument* document = browser_ ? browser_->CurrentDocument() : nullptr;
  const std::wstring url = document ? DocumentText(document, &IHTMLDocument2::get_URL) : L"";
  const std::wstring title = document ? DocumentText(document, &IHTMLDocument2::get_title) : L"";
  win32::ScopedDcState state(dc);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));

  // The address line: a label and the page's address in a sunken field.
  RECT address{client.left, rebar.bottom, client.right, rebar.bottom + kAddressHeight};
  FillRect(dc, &address, GetSysColorBrush(COLOR_BTNFACE));
  DrawLine(dc, L"Address", {address.left + 6, address.top, address.left + 60, address.bottom},
           DT_SINGLELINE | DT_VCENTER);
  RECT field{address.left + 62, address.top + 3, address.right - 6, address.bottom - 3};
  FillRect(dc, &field, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawEdge(dc, &field, EDGE_SUNKEN, BF_RECT);
  DrawLine(dc, url.empty() ? L"about:blank" : url,
           {field.left + 5, field.top, field.right - 5, field.bottom}, DT_SINGLELINE | DT_VCENTER);

  // The status line.
  RECT status{client.left, client.bottom - kStatusHeight, client.right, client.bottom};
  FillRect(dc, &status, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &status, BDR_SUNKENOUTER, BF_TOP);
  DrawLine(dc, document ? L"Done" : L"", {status.left + 6, status.top, status.right, status.bottom},
           DT_SINGLELINE | DT_VCENTER);

  // The page: white, its title large, then its text.
  RECT page{client.left, address.bottom, client.right, status.top};
  FillRect(dc, &page, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawEdge(dc, &page, EDGE_SUNKEN, BF_RECT);
  if (document == nullptr) return;
  SetTextColor(dc, RGB(0, 0, 0));
  LOGFONTW face{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
  face.lfHeight = -22;
  face.lfWeight = FW_BOLD;
  win32::GdiObject<HFONT> large(CreateFontIndirectW(&face));
  RECT heading{page.left + 16, page.top + 12, page.right - 16, page.top + 44};
  if (large) {
    win32::ScopedSelect useLarge(dc, large.get());
    DrawLine(dc, title.empty() ? url : title, heading, DT_SINGLELINE | DT_VCENTER);
  }
  RECT text{page.left + 16, heading.bottom + 8, page.right - 16, page.bottom - 8};
  const std::wstring& body = document->Text();
  DrawTextW(dc, body.c_str(), static_cast<int>(body.size()), &text,
            DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
}

bool BandHost::Snapshot(Picture* picture) {
  if (!IsWindow(frame_)) return false;
  RedrawWindow(frame_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();
  RECT client;
  GetClientRect(frame_, &client);
  const int width = std::max<int>(1, client.right);
  const int height = std::max<int>(1, client.bottom);
  win32::ScopedWindowDc window(frame_);
  win32::ScopedMemoryDc memory(CreateCompatibleDC(window.get()));
  if (!window.get() || !memory) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  win32::GdiObject<HBITMAP> bitmap(
      CreateDIBSection(window.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return false;
  win32::ScopedSelect select(memory.get(), bitmap.get());
  if (!BitBlt(memory.get(), 0, 0, width, height, window.get(), 0, 0, SRCCOPY)) return false;
  GdiFlush();
  picture->width = width;
  picture->height = height;
  picture->rgb.resize(static_cast<size_t>(width) * height * 3);
  const auto* pixels = static_cast<const uint8_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
    picture->rgb[3 * i] = pixels[4 * i + 2];
    picture->rgb[3 * i + 1] = pixels[4 * i + 1];
    picture->rgb[3 * i + 2] = pixels[4 * i];
  }
  return true;
}

void BandHost::CollectPlugins() {
  pluginsAtEnd_.clear();
  if (!browser_ || !browser_->CurrentDocument()) return;
  std::vector<sim::ScriptedDocument*> pending{browser_->CurrentDocument()};
  // Frames nest, but never more than a page file can describe.
  for (size_t next = 0; next < pending.size() && next < 1000; ++next) {
    for (sim::ScriptedElement* element : pending[next]->Elements()) {
      const sim::PageElement& data = element->Data();
      if (data.tag != L"OBJECT" && data.tag != L"EMBED") continue;
      PluginRecord record;
      record.tag = data.tag;
      record.id = data.id;
      record.visibility = element->Style().visibility;
      record.pixelHeight = element->Style().pixelHeight;
      record.pixelWidth = element->Style().pixelWidth;
      pluginsAtEnd_.push_back(record);
    }
    for (sim::ScriptedWebBrowser* frame : pending[next]->FrameBrowsers())
      if (frame->CurrentDocument()) pending.push_back(frame->CurrentDocument());
  }
}

long BandHost::ReadTotalBlockedPopups() const {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return -1;
  const LONG read = RegQueryValueExA(key, "TotalBlockedPopups", nullptr, &type,
                                     reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long>(value) : -1;
}

void BandHost::Stop() {
  if (stopped_) return;
  stopped_ = true;
  buttonsAtEnd_ = Buttons();
  controlsAtEnd_ = Controls();
  CollectPlugins();
  totalBlockedPopups_ = ReadTotalBlockedPopups();
  if (browser_) {
    browser_->FireQuit();
    Pump();
  }
  if (deskBand_) {
    deskBand_->ShowDW(FALSE);
    deskBand_->CloseDW(0);
    IObjectWithSite* withSite = nullptr;
    band_->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
    if (withSite) {
      withSite->SetSite(nullptr);
      withSite->Release();
    }
    deskBand_->Release();
    deskBand_ = nullptr;
  }
  if (input_) {
    input_->Release();
    input_ = nullptr;
  }
  if (band_) {
    bandRefsLeft_ = band_->Release();
    band_ = nullptr;
  }
  Pump();
  // The module the band came from: with the band gone and its windows
  // given back, nothing of it may be left alive.
  if (HMODULE module = GetModuleHandleW(L"quorvane.dll")) {
    using Entry = HRESULT(STDAPICALLTYPE*)();
    if (auto canUnload = reinterpret_cast<Entry>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow"))))
      canUnloadAfterStop_ = canUnload();
  }
  CoFreeUnusedLibraries();
  if (browser_) {
    counts_ = browser_->Ledger().Owned();
    transientAlive_ = browser_->Ledger().TransientAlive();
    browserRefs_ = browser_->Refs();
    if (browser_->CurrentDocument()) uiHandlersSet_ = browser_->CurrentDocument()->UIHandlersSet();
  }
  siteRefs_ = site_.refs;
}

bool BandHost::AllReferencesBack() const {
  if (!stopped_ || browserRefs_ != 1 || siteRefs_ != 1 || transientAlive_ != 0) return false;
  for (const sim::ObjectCount& count : counts_)
    if (count.refs != 1) return false;
  return true;
}

std::string BandHost::Json() const {
  std::ostringstream out;
  out << "{\"loaded\":" << (loaded_ ? "true" : "false");
  out << ",\"hresults\":{\"register\":" << JsonString(Hex(registered_))
      << ",\"create\":" << JsonString(Hex(created_)) << ",\"setSite\":" << JsonString(Hex(sited_))
      << ",\"showDW\":" << JsonString(Hex(shown_)) << "}";
  if (stopped_) out << ",\"canUnloadNow\":" << (canUnloadAfterStop_ == S_OK ? "true" : "false");
  if (!stagedTo_.empty()) out << ",\"definitionCopiedTo\":" << JsonString(stagedTo_);
  const SheetDriver& sheets = answerer_.Sheets();
  out << ",\"optionsSheets\":{\"shown\":" << sheets.sheetsShown
      << ",\"caption\":" << JsonString(sheets.lastCaption) << ",\"steps\":[";
  for (size_t i = 0; i < sheets.log.size(); ++i) out << (i ? "," : "") << JsonString(sheets.log[i]);
  out << "]}";
  out << ",\"bandInfo\":[";
  for (size_t i = 0; i < bandInfo_.size(); ++i) {
    const DESKBANDINFO& b = bandInfo_[i];
    out << (i ? "," : "") << "{\"mask\":" << b.dwMask << ",\"minSize\":[" << b.ptMinSize.x << ","
        << b.ptMinSize.y << "],\"maxSize\":[" << b.ptMaxSize.x << "," << b.ptMaxSize.y
        << "],\"integral\":[" << b.ptIntegral.x << "," << b.ptIntegral.y << "],\"actual\":["
        << b.ptActual.x << "," << b.ptActual.y << "],\"title\":" << JsonString(b.wszTitle)
        << ",\"modeFlags\":" << b.dwModeFlags << "}";
  }
  const std::vector<ButtonRecord> buttons = stopped_ ? buttonsAtEnd_ : Buttons();
  out << "],\"buttons\":[";
  for (size_t i = 0; i < buttons.size(); ++i) {
    const ButtonRecord& b = buttons[i];
    out << (i ? "," : "") << "{\"id\":" << b.id << ",\"text\":" << JsonString(b.text)
        << ",\"state\":" << b.state << ",\"style\":" << b.style << ",\"bitmap\":" << b.bitmap
        << ",\"rect\":" << RectJson(b.rect) << "}";
  }
  const std::vector<ControlRecord> controls = stopped_ ? controlsAtEnd_ : Controls();
  out << "],\"controls\":[";
  for (size_t i = 0; i < controls.size(); ++i) {
    const ControlRecord& c = controls[i];
    out << (i ? "," : "") << "{\"class\":" << JsonString(c.className)
        << ",\"text\":" << JsonString(c.text) << ",\"rect\":" << RectJson(c.rect)
        << ",\"visible\":" << (c.visible ? "true" : "false") << "}";
  }
  out << "],\"messages\":[";
  const auto& messages = answerer_.Messages();
  for (size_t i = 0; i < messages.size(); ++i)
    out << (i ? "," : "") << "{\"caption\":" << JsonString(messages[i].caption)
        << ",\"text\":" << JsonString(messages[i].text) << ",\"answer\":" << messages[i].answer
        << "}";
  out << "],\"menusOpened\":" << answerer_.MenusOpened() << ",\"navigations\":[";
  if (browser_) {
    const auto& navigations = browser_->Navigations();
    for (size_t i = 0; i < navigations.size(); ++i) {
      const sim::NavigationRecord& n = navigations[i];
      out << (i ? "," : "") << "{\"method\":" << JsonString(n.method)
          << ",\"url\":" << JsonString(n.url) << ",\"flags\":" << JsonString(n.flags)
          << ",\"target\":" << JsonString(n.target) << ",\"postData\":" << JsonString(n.postData)
          << ",\"headers\":" << JsonString(n.headers) << "}";
    }
  }
  out << "],\"events\":[";
  if (browser_) {
    const auto& events = browser_->Events();
    for (size_t i = 0; i < events.size(); ++i) {
      const sim::EventRecord& e = events[i];
      out << (i ? "," : "") << "{\"event\":" << JsonString(e.name) << ",\"dispid\":" << e.dispid
          << ",\"sinks\":" << e.sinks << ",\"answers\":[";
      for (size_t a = 0; a < e.answers.size(); ++a)
        out << (a ? "," : "") << JsonString(Hex(e.answers[a]));
      out << "],\"cancelled\":" << (e.cancelled ? "true" : "false") << "}";
    }
  }
  out << "],\"statusTexts\":[";
  if (browser_) {
    const auto& texts = browser_->StatusTexts();
    for (size_t i = 0; i < texts.size(); ++i) out << (i ? "," : "") << JsonString(texts[i]);
  }
  out << "],\"steps\":[";
  for (size_t i = 0; i < steps_.size(); ++i) out << (i ? "," : "") << JsonString(steps_[i]);
  out << "],\"newWindows\":[";
  for (size_t i = 0; i < newWindows_.size(); ++i)
    out << (i ? "," : "") << "{\"cancelled\":" << (newWindows_[i].cancelled ? "true" : "false")
        << ",\"status\":" << JsonString(newWindows_[i].status) << "}";
  out << "],\"plugins\":[";
  for (size_t i = 0; i < pluginsAtEnd_.size(); ++i) {
    const PluginRecord& p = pluginsAtEnd_[i];
    out << (i ? "," : "") << "{\"tag\":" << JsonString(p.tag) << ",\"id\":" << JsonString(p.id)
        << ",\"visibility\":" << JsonString(p.visibility) << ",\"pixelHeight\":" << p.pixelHeight
        << ",\"pixelWidth\":" << p.pixelWidth << "}";
  }
  out << "],\"totalBlockedPopups\":" << totalBlockedPopups_;
  out << ",\"uiHandlersSet\":" << uiHandlersSet_;
  out << ",\"references\":{\"afterTeardown\":" << (stopped_ ? "true" : "false")
      << ",\"allBack\":" << (AllReferencesBack() ? "true" : "false")
      << ",\"browser\":" << browserRefs_ << ",\"site\":" << siteRefs_
      << ",\"bandLeft\":" << bandRefsLeft_ << ",\"transientAlive\":" << transientAlive_
      << ",\"objects\":[";
  for (size_t i = 0; i < counts_.size(); ++i)
    out << (i ? "," : "") << "{\"name\":" << JsonString(counts_[i].name)
        << ",\"refs\":" << counts_[i].refs << "}";
  out << "]},\"errors\":[";
  for (size_t i = 0; i < errors_.size(); ++i) out << (i ? "," : "") << JsonString(errors_[i]);
  out << "]}";
  return out.str();
}

}  // namespace qv::testhost
