// The module's three COM classes: the band object and the two event handler
// objects that the band connects to a page's document and window. Each
// answers IUnknown and its dual interface through the shared plumbing of
// com_object.h; IDispatch is served from the module's type library.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ocidl.h>
#include <shlobj.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/toolbar_hooks.h"
#include "host/win32/com_object.h"
#include "host/win32/com_registrar.h"
#include "host/win32/type_info_dispatch.h"
#include "platform/win32/scoped.h"
#include "quorvane_h.h"

namespace qv::options {
class Win32OptionsUi;
}  // namespace qv::options

namespace qv {

class Browser;
class FetchingResourceLookup;
class PopupBlocker;
class PopupBlockerHooks;
class OptionsServices;
class PopupBlockerSystem;
class SharedData;
class ToolbarWindowHost;

// The band object. The browser creates one per browser window; it may be
// aggregated. It is also the toolbar's owner: the toolbar reports its width,
// status texts and focus changes through it.
class TBWDocHTMLEventsHandler;
class TBWWindowEventHandler;

class TBWToolBarObj : public ComObjectRoot,
                      public IDeskBand,
                      public IObjectWithSite,
                      public IPersistStream,
                      public IInputObject,
                      public TypeInfoDispatch<ITBWToolBarObjquorvane, &IID_ITBWToolBarObjquorvane>,
                      public IDocHostUIHandler,
                      public IPropertyNotifySink,
                      public IOleCommandTarget,
                      public ToolbarOwner {
 public:
  // IDeskBand is the identity, the first row; the rest follow in the order
  // the browser queries them.
  static std::span<const QiEntry<TBWToolBarObj>> Interfaces();

  // Opens the two named mutexes the processes share (the shared data's and
  // the options dialog's); a failure is told to the user and fails
  // CreateInstance. Loading the blocker settings into the shared data
  // belongs here too.
  HRESULT FinalConstruct();
  TBWToolBarObj();
  ~TBWToolBarObj() override;

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;
  // IDockingWindow
  STDMETHODIMP ShowDW(BOOL show) override;
  STDMETHODIMP CloseDW(DWORD reserved) override;
  STDMETHODIMP ResizeBorderDW(LPCRECT border, IUnknown* site, BOOL reserved) override;
  // IDeskBand
  STDMETHODIMP GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) override;
  // IObjectWithSite: a site builds the toolbar in the site's window; null
  // tears it down and lets go of everything the site gave. A refused site
  // is still held (and answered by GetSite), with nothing built from it.
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID iid, void** out) override;
  // IInputObject
  STDMETHODIMP UIActivateIO(BOOL activate, MSG* message) override;
  STDMETHODIMP HasFocusIO() override;
  STDMETHODIMP TranslateAcceleratorIO(MSG* message) override;

  // Stores the value as the setting "CSP_" + name; an empty name stores
  // nothing.
  STDMETHODIMP SetClientSideProperty(VARIANT name, VARIANT value) override;
  STDMETHODIMP SetActiveConfiguration(VARIANT path) override;

  // The dual interface's two methods by DISPID (500, 501); every other
  // DISPID is one of the browser's events (DWebBrowserEvents2), which
  // arrive on this same IDispatch. Events answer S_OK whatever they carry;
  // arguments that are missing or of another type are ignored.
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // IPersist, IPersistStream: nothing is kept in the stream.
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(IStream* stream) override;
  STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

  // IDocHostUIHandler of the current document: the browser's own context
  // menu; everything else goes to the browser's own handler.
  STDMETHODIMP ShowContextMenu(DWORD id, POINT* point, IUnknown* target,
                               IDispatch* object) override;
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
  STDMETHODIMP ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
                      IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) override;
  STDMETHODIMP HideUI() override;
  STDMETHODIMP UpdateUI() override;
  STDMETHODIMP EnableModeless(BOOL enable) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
  STDMETHODIMP TranslateAccelerator(LPMSG message, const GUID* group, DWORD id) override;
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
  STDMETHODIMP GetDropTarget(IDropTarget* target, IDropTarget** out) override;
  STDMETHODIMP GetExternal(IDispatch** out) override;
  STDMETHODIMP TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* out) override;
  STDMETHODIMP FilterDataObject(IDataObject* in, IDataObject** out) override;

  // IPropertyNotifySink of the current document: its ready state.
  STDMETHODIMP OnChanged(DISPID id) override;
  STDMETHODIMP OnRequestEdit(DISPID id) override;

  // IOleCommandTarget of the current document: script errors never show
  // a dialog; other commands go to the browser's own target.
  STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD* commands,
                           OLECMDTEXT* text) override;
  STDMETHODIMP Exec(const GUID* group, DWORD id, DWORD options, VARIANT* in, VARIANT* out) override;

  // ToolbarOwner
  void SetBandIdealWidth(int width) override;
  void OnFocusChange(bool gotFocus) override;
  void SetStatusText(const std::string& text) override;
  void NavigateBrowser(const std::string& url) override;

  // The toolbar's windows while sited, else null.
  ToolbarWindowHost* WindowHost() { return host_.get(); }

  // The band's per-page flags, each a 32-bit word.
  struct PopupFlags {
    // 1 while no navigation event is being handled (1 for a new band).
    uint32_t navigationSettled = 1;
    // The blocker's allow flag: the user asked for the next window.
    uint32_t allow = 0;
    // The page's window has seen its before-unload event.
    uint32_t beforeUnload = 0;
  };
  PopupFlags Flags() const;
  // The pop-up blocker of this browser window; null when the shared data
  // could not be opened.
  PopupBlocker* Blocker() { return blocker_.get(); }
  // What the band holds of its browser window, for the tests.
  size_t FrameSinkCount() const { return frameSinks_.size(); }
  HHOOK KeyboardHook() const { return keyboardHook_; }
  bool Quitting() const { return quitting_; }

  // The subclass procedure of the browser's frame window and the thread
  // keyboard hook; both find their band through the browser window table.
  static LRESULT CALLBACK FrameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam);

 private:
  // One frame whose document completed, with the two handlers advised on
  // its document and window.
  struct FrameSinkRecord {
    win32::ComRef<IDispatch> frame;
    win32::ComRef<IConnectionPoint> documentPoint;
    DWORD documentCookie = 0;
    win32::ComRef<ITBWDocHTMLEventsHandlerquorvane> documentHandler;
    win32::ComRef<IConnectionPoint> windowPoint;
    DWORD windowCookie = 0;
    win32::ComRef<ITBWWindowEventHandlerquorvane> windowHandler;
  };

  HRESULT Attach(IUnknown* site);
  // Tears the band down (Teardown), destroys its windows and releases what
  // the site gave.
  void Detach();
  // The browser window is gone or the band leaves it: every sink
  // disconnected, the window table entry and the hook removed, the toolbar
  // stopped. Safe to run again.
  void Teardown();

  // Lets the frame procedure and the hook find this band while it is sited.
  void RegisterLiveBand();
  void InstallKeyboardHook();
  void ConnectBrowserEvents(bool connect);
  void ConnectFrameSinks(FrameSinkRecord& record, bool connect);
  void DisconnectAllFrameSinks();
  void AdvisePropertyNotify(bool advise);
  void ReleaseCurrentDocument();

  void OnBeforeNavigate2(DISPPARAMS& params);
  void OnNewWindow2(DISPPARAMS& params);
  void OnNavigateComplete2(DISPPARAMS& params);
  void OnDocumentComplete(DISPPARAMS& params);
  void OnTopDocumentComplete();
  void TellToolbar(int dispid);
  // This band as the IDispatch the browser and documents call, and as the
  // identity that a forwarded default must not be.
  IDispatch* AsDispatch() { return static_cast<ITBWToolBarObjquorvane*>(this); }
  bool IsSelf(IUnknown* object);
  // The blocker over the shared data, made once per band.
  void MakeBlocker();
  // The blocker unloads the page while the band is still in place.
  void UnloadPageOnQuit();
  HWND ToolbarControl() const;
  // The rebar band (of the site window) whose child is the toolbar
  // control, or -1.
  int OwnRebarBand() const;

  win32::ComRef<IUnknown> site_;
  win32::ComRef<IWebBrowser2> browser_;
  win32::ComRef<IInputObjectSite> inputSite_;
  HWND parent_ = nullptr;
  std::unique_ptr<FetchingResourceLookup> lookup_;
  std::unique_ptr<Browser> browserSeam_;
  std::unique_ptr<ToolbarWindowHost> host_;
  DWORD bandId_ = 0;
  DWORD viewMode_ = 0;
  bool shown_ = false;
  bool contextHelp_ = false;
  // The browser's frame window and the shared data whose browser window
  // table names this band for it while sited.
  HWND frame_ = nullptr;
  std::unique_ptr<SharedData> sharedData_;
  bool registered_ = false;

  // The browser's events and the frame window's procedure.
  win32::ComRef<IConnectionPoint> browserEventsPoint_;
  DWORD browserEventsCookie_ = 0;
  bool frameSubclassed_ = false;
  HHOOK keyboardHook_ = nullptr;
  bool quitting_ = false;

  // The page.
  std::vector<FrameSinkRecord> frameSinks_;
  win32::ComRef<IDispatch> topFrame_;
  win32::ComRef<IHTMLDocument2> document_;
  win32::ComRef<IHTMLWindow2> documentWindow_;
  win32::ComRef<IConnectionPoint> propertyNotifyPoint_;
  DWORD propertyNotifyCookie_ = 0;
  bool uiHandlerInstalled_ = false;
  win32::ComRef<IDocHostUIHandler> defaultUiHandler_;
  win32::ComRef<IOleCommandTarget> defaultCommandTarget_;

  // The pop-up blocker: it owns the allow flag, which the document
  // handlers set; the window handlers write the before-unload word through
  // a pointer the band hands them (and takes back).
  std::unique_ptr<PopupBlockerSystem> blockerSystem_;
  std::unique_ptr<PopupBlocker> blocker_;
  std::unique_ptr<PopupBlockerHooks> popupHooks_;
  // The options sheet that the toolbar's service commands open.
  std::unique_ptr<options::Win32OptionsUi> optionsUi_;
  std::unique_ptr<OptionsServices> optionsServices_;
  uint32_t navigationSettled_ = 1;
  uint32_t beforeUnload_ = 0;

  win32::ScopedHandle sharedDataMutex_;
  win32::ScopedHandle optionsDialogMutex_;
};

inline constexpr char kOptionsDialogMutexName[] = "MutexForOptionsDlgquorvane";

// Where the band looks for the definition and its bitmaps: the module's
// directory unless a directory is set (an empty one restores the default).
void SetBandResourceDirectory(const std::string& directory);
// The shared block whose window table the bands of this process use; an
// empty name restores the system's one. Tests use a block of their own.
void SetBandSharedDataBlock(const std::string& name);
std::string BandSharedDataBlock();
// The process-wide count of minimum-size requests back to a fresh
// process's: the first two requests answer the screen width.
void ResetBandMinimumSizeCounter();

// Receives a page document's events for the band that connects it: a
// mouse-down (DISPID -605) on a link, an image map area, an input or an
// image inside the body sets the blocker's allow flag.
class TBWDocHTMLEventsHandler : public ComObjectRoot,
                                public TypeInfoDispatch<ITBWDocHTMLEventsHandlerquorvane,
                                                        &IID_ITBWDocHTMLEventsHandlerquorvane> {
 public:
  static std::span<const QiEntry<TBWDocHTMLEventsHandler>> Interfaces();
  static TBWDocHTMLEventsHandler* From(ITBWDocHTMLEventsHandlerquorvane* handler) {
    return static_cast<TBWDocHTMLEventsHandler*>(handler);
  }

  // The blocker whose flag to set and the document whose window holds the
  // current event when the event does not come with it. Unbind before the
  // blocker goes: a document may keep the handler after it was unadvised.
  void Bind(PopupBlocker* blocker, IHTMLDocument2* document);
  void Unbind() { Bind(nullptr, nullptr); }

  // Answers DISP_E_MEMBERNOTFOUND for every event, handled or not.
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

 private:
  PopupBlocker* blocker_ = nullptr;
  win32::ComRef<IHTMLDocument2> document_;
};

// Receives a page window's events for the band that connects it: the
// before-unload event (DISPID 1017) sets the band's flag.
class TBWWindowEventHandler
    : public ComObjectRoot,
      public TypeInfoDispatch<ITBWWindowEventHandlerquorvane, &IID_ITBWWindowEventHandlerquorvane> {
 public:
  static std::span<const QiEntry<TBWWindowEventHandler>> Interfaces();
  static TBWWindowEventHandler* From(ITBWWindowEventHandlerquorvane* handler) {
    return static_cast<TBWWindowEventHandler*>(handler);
  }

  void Bind(uint32_t* beforeUnloadFlag) { flag_ = beforeUnloadFlag; }
  void Unbind() { flag_ = nullptr; }

  // Answers DISP_E_MEMBERNOTFOUND for every event, handled or not.
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

 private:
  uint32_t* flag_ = nullptr;
};

// One class the module serves: its CLSID, its factory and what registration
// writes for it.
struct ModuleClass {
  const CLSID* clsid;
  IClassFactory* (*factory)();
};

std::span<const ModuleClass> ModuleClasses();
std::span<const ClassRegistration> ModuleClassRegistrations();

// The bodies of the module's four exports.
HRESULT GetModuleClassObject(REFCLSID clsid, REFIID iid, void** out);
HRESULT CanUnloadModule();
HRESULT RegisterModuleServer();
HRESULT UnregisterModuleServer();

}  // namespace qv
