// A test browser window for the real quorvane.dll: a frame window with a
// rebar and a band site, the band created through the registry, sited,
// shown and driven by a script of navigations, clicks, keys and page
// events against the scripted browser, then torn down as the browser does.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "image_file.h"
#include "sheet_driver.h"
#include "simulators/win32/scripted_com_browser.h"

namespace qv::testhost {

struct Step {
  enum class Kind {
    kNavigate,
    kClick,
    kType,
    kEnter,
    kMouseDown,
    kNewWindow,
    kKeyDown,     // id: a virtual-key code, pressed through the input queue
    kKeyUp,       // id: the same, released
    kScriptMove,  // the frame moved by SetWindowPos, as a page's script does
    kUserDrag,    // the same inside a user's move (WM_ENTERSIZEMOVE .. EXITSIZEMOVE)
  };
  Kind kind = Kind::kNavigate;
  sim::PageDescription page;  // kNavigate
  int id = 0;  // kClick, kType, kEnter: a button's command id; kMouseDown: element; kKey*: key
  std::wstring text;  // kType
};

// Reads a page file: lines "title = ...", "text = ...",
// "element = TAG | id | text | name=value ...", "frame = URL | text",
// "frame-element = ..." (an element of the last frame); '#' starts a
// comment. False with a message naming the line on bad input.
bool ReadPageFile(const std::string& path, sim::PageDescription* page, std::string* error);

struct MessageRecord {
  std::wstring caption;
  std::wstring text;
  int answer = 0;
};

struct ButtonRecord {
  int id = 0;
  std::wstring text;
  int state = 0;
  int style = 0;
  int bitmap = 0;
  RECT rect{};
};

struct ControlRecord {
  std::wstring className;
  std::wstring text;
  RECT rect{};  // in the frame window's client coordinates
  bool visible = false;
};

// Answers every dialog box of this thread with its first button (IDOK for
// a message box) as soon as it is activated, and records its caption and
// text. One at a time per thread.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer();
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
  const std::vector<MessageRecord>& Messages() const { return messages_; }
  int MenusOpened() const { return menus_; }
  // Property sheets (the options) are worked by this instead of answered.
  SheetDriver& Sheets() { return sheets_; }
  const SheetDriver& Sheets() const { return sheets_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  HHOOK hook_ = nullptr;
  std::vector<MessageRecord> messages_;
  int menus_ = 0;
  SheetDriver sheets_;
};

// The browser's side of the band: its window (the rebar), the
// input-object site and the browser service.
class BandSite final : public IOleWindow, public IInputObjectSite, public IServiceProvider {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP OnFocusChangeIS(IUnknown* band, BOOL got) override;
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

  long refs = 1;  // the host's own
  HWND window = nullptr;
  IWebBrowser2* browser = nullptr;
  std::vector<bool> focusChanges;
};

// A NewWindow2 the page asked for: whether the band cancelled it and the
// page's default status text afterwards.
struct NewWindowRecord {
  bool cancelled = false;
  std::wstring status;
};

// An OBJECT or EMBED element of the last page or its frames at the end.
struct PluginRecord {
  std::wstring tag;
  std::wstring id;
  std::wstring visibility;
  long pixelHeight = -1;
  long pixelWidth = -1;
};

// Where the product keeps its settings under HKEY_CURRENT_USER.
inline constexpr char kProductKey[] = "SOFTWARE\\Ostrivel\\quorvane";

struct HostOptions {
  std::string definitionDir;  // copied next to the registered DLL when set
  std::string registerDll;    // DllRegisterServer of this DLL first when set
  std::vector<Step> steps;
  bool followNavigations = true;  // run the navigations the band asks for
  // REG_DWORD values written into the product's key before the band is made.
  std::vector<std::pair<std::string, DWORD>> settings;
};

// How long a start took, in milliseconds from CoCreateInstance: to
// ShowDW(TRUE) returned with the toolbar visible, to its buttons painted,
// and to every control in place once the messages the band posted ran;
// and the time spent inside the band's own calls (creation, SetSite, the
// three GetBandInfo, ShowDW), which is what a browser charges the add-on.
struct StartTiming {
  double shownMs = 0;
  double paintedMs = 0;
  double readyMs = 0;
  double bandCallsMs = 0;
};

class BandHost {
 public:
  BandHost();
  ~BandHost();
  BandHost(const BandHost&) = delete;
  BandHost& operator=(const BandHost&) = delete;

  // Registration and definition staging, the windows, the band from the
  // registry, SetSite, band information, RB_INSERTBAND and ShowDW.
  bool Start(const HostOptions& options);
  void RunStep(const Step& step);
  // OnQuit, ShowDW(FALSE), CloseDW, SetSite(NULL), the last Release, then
  // the reference counts of everything handed out.
  void Stop();

  // Runs the messages waiting for this thread; keys go to the band first
  // while it has the focus, as the browser routes them.
  void Pump();
  // The whole frame window as a browser window looks: the rebar with the
  // band, the address of the page and the page itself below it.
  bool Snapshot(Picture* picture);
  // Paints the frame's client area below the rebar: an address line, the
  // current page (white, its title and text) and a status line. The real
  // browser's page would be there; the scripted one has no renderer.
  void PaintPage(HDC dc) const;

  bool Loaded() const { return loaded_; }
  const StartTiming& Timing() const { return timing_; }
  const std::vector<std::string>& Errors() const { return errors_; }
  const std::vector<DESKBANDINFO>& BandInfo() const { return bandInfo_; }
  std::vector<ButtonRecord> Buttons() const;
  std::vector<ControlRecord> Controls() const;
  const MessageBoxAnswerer& Answerer() const { return answerer_; }
  MessageBoxAnswerer& Answerer() { return answerer_; }
  sim::ScriptedWebBrowser* Browser() const { return browser_; }
  HWND Toolbar() const { return toolbar_; }
  HWND Frame() const { return frame_; }
  HWND ComboEdit(int id) const;
  const BandSite& Site() const { return site_; }
  IUnknown* Band() const { return band_; }

  // After Stop: every scripted object at the one reference its owner
  // holds, no transient object alive, the site and browser given back.
  bool AllReferencesBack() const;
  // After Stop: the module's DllCanUnloadNow (E_FAIL when it was not
  // loaded or not asked).
  HRESULT CanUnloadAfterStop() const { return canUnloadAfterStop_; }
  // After Stop: how often the last page was given a UI handler (the band
  // sets itself and takes itself back).
  int UIHandlersSet() const { return uiHandlersSet_; }
  // The whole run as one JSON object.
  std::string Json() const;

 private:
  void Error(const std::string& text) { errors_.push_back(text); }
  bool StageDefinition(const std::string& dir);
  void FollowNavigations();
  void CollectPlugins();
  // The count the blocker stored; -1 when there is none.
  long ReadTotalBlockedPopups() const;

  MessageBoxAnswerer answerer_;
  HostOptions options_;
  HWND frame_ = nullptr;
  HWND rebar_ = nullptr;
  HWND toolbar_ = nullptr;
  BandSite site_;
  sim::ScriptedWebBrowser* browser_ = nullptr;
  IUnknown* band_ = nullptr;
  IDeskBand* deskBand_ = nullptr;
  IInputObject* input_ = nullptr;
  bool comInitialized_ = false;
  bool loaded_ = false;
  bool stopped_ = false;
  HRESULT registered_ = S_FALSE;
  HRESULT created_ = E_FAIL;
  HRESULT sited_ = E_FAIL;
  HRESULT shown_ = E_FAIL;
  std::string stagedTo_;
  std::vector<DESKBANDINFO> bandInfo_;
  std::vector<std::string> errors_;
  std::vector<std::string> steps_;
  std::vector<NewWindowRecord> newWindows_;
  std::vector<PluginRecord> pluginsAtEnd_;
  long totalBlockedPopups_ = -1;
  std::vector<ButtonRecord> buttonsAtEnd_;
  std::vector<ControlRecord> controlsAtEnd_;
  std::vector<sim::ObjectCount> counts_;
  int transientAlive_ = 0;
  long browserRefs_ = 0;
  long siteRefs_ = 0;
  ULONG bandRefsLeft_ = 0;
  int uiHandlersSet_ = 0;
  HRESULT canUnloadAfterStop_ = E_FAIL;
  double startMs_ = 0;
  StartTiming timing_;
};

}  // namespace qv::testhost
