// The module's three COM classes: the band object and the two event handler
// objects that the band connects to a page's document and window. Each
// answers IUnknown and its dual interface through the shared plumbing of
// com_object.h; IDispatch is served from the module's type library.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <shlobj.h>

#include <memory>
#include <span>
#include <string>

#include "host/toolbar_hooks.h"
#include "host/win32/com_object.h"
#include "host/win32/com_registrar.h"
#include "host/win32/type_info_dispatch.h"
#include "platform/win32/scoped.h"
#include "quorvane_h.h"

namespace qv {

class Browser;
class LocalResourceLookup;
class SharedData;
class ToolbarWindowHost;

// The band object. The browser creates one per browser window; it may be
// aggregated. It is also the toolbar's owner: the toolbar reports its width,
// status texts and focus changes through it.
class TBWToolBarObj : public ComObjectRoot,
                      public IDeskBand,
                      public IObjectWithSite,
                      public IInputObject,
                      public TypeInfoDispatch<ITBWToolBarObjquorvane, &IID_ITBWToolBarObjquorvane>,
                      public ToolbarOwner {
 public:
  // IDeskBand is the identity, the first row; the rest follow in the order
  // the browser queries them. IPersistStream, IDocHostUIHandler,
  // IPropertyNotifySink and IOleCommandTarget join as bases and rows here.
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
  // tears it down and lets go of everything the site gave.
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

  // The dual interface's two methods by DISPID; every other DISPID is left
  // for the browser's events, which arrive on this same IDispatch.
  // Next steps on this route: DWebBrowserEvents2 (connect in SetSite,
  // disconnect on OnQuit), the frame window subclass, the keyboard hook for
  // a site without IInputObjectSite.
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // ToolbarOwner
  void SetBandIdealWidth(int width) override;
  void OnFocusChange(bool gotFocus) override;
  void SetStatusText(const std::string& text) override;
  void NavigateBrowser(const std::string& url) override;

  // The toolbar's windows while sited, else null.
  ToolbarWindowHost* WindowHost() { return host_.get(); }

 private:
  HRESULT Attach(IUnknown* site);
  // Stops the toolbar, destroys its windows and releases what the site gave.
  void Detach();
  HWND ToolbarControl() const;
  // The rebar band (of the site window) whose child is the toolbar
  // control, or -1.
  int OwnRebarBand() const;

  win32::ComRef<IUnknown> site_;
  win32::ComRef<IWebBrowser2> browser_;
  win32::ComRef<IInputObjectSite> inputSite_;
  HWND parent_ = nullptr;
  std::unique_ptr<LocalResourceLookup> lookup_;
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
  win32::ScopedHandle sharedDataMutex_;
  win32::ScopedHandle optionsDialogMutex_;
};

inline constexpr char kOptionsDialogMutexName[] = "MutexForOptionsDlgquorvane";

// Where the band looks for the definition and its bitmaps: the module's
// directory unless a directory is set (an empty one restores the default).
void SetBandResourceDirectory(const std::string& directory);
// The process-wide count of minimum-size requests back to a fresh
// process's: the first two requests answer the screen width.
void ResetBandMinimumSizeCounter();

// Receives a page document's events for the band that connects it.
class TBWDocHTMLEventsHandler : public ComObjectRoot,
                                public TypeInfoDispatch<ITBWDocHTMLEventsHandlerquorvane,
                                                        &IID_ITBWDocHTMLEventsHandlerquorvane> {
 public:
  static std::span<const QiEntry<TBWDocHTMLEventsHandler>> Interfaces();
};

// Receives a page window's events for the band that connects it.
class TBWWindowEventHandler
    : public ComObjectRoot,
      public TypeInfoDispatch<ITBWWindowEventHandlerquorvane, &IID_ITBWWindowEventHandlerquorvane> {
 public:
  static std::span<const QiEntry<TBWWindowEventHandler>> Interfaces();
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
