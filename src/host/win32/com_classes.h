// The module's three COM classes: the band object and the two event handler
// objects that the band connects to a page's document and window. Each
// answers IUnknown and its dual interface through the shared plumbing of
// com_object.h; IDispatch is served from the module's type library.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <span>

#include "host/win32/com_object.h"
#include "host/win32/com_registrar.h"
#include "host/win32/type_info_dispatch.h"
#include "quorvane_h.h"

namespace qv {

// The band object. The browser creates one per browser window; it may be
// aggregated.
class TBWToolBarObj : public ComObjectRoot,
                      public TypeInfoDispatch<ITBWToolBarObjquorvane, &IID_ITBWToolBarObjquorvane> {
 public:
  // The band's window interfaces (IDeskBand with IDockingWindow and
  // IOleWindow, IObjectWithSite, IPersistStream, IInputObject,
  // IDocHostUIHandler, IPropertyNotifySink, IOleCommandTarget) join this
  // class as bases and this table as rows, in the order the browser queries
  // them; IDeskBand then becomes the identity, the first row.
  static std::span<const QiEntry<TBWToolBarObj>> Interfaces();

  // Construction work that can fail (the named mutexes, the shared data)
  // belongs here: a failure fails CreateInstance.
  HRESULT FinalConstruct() { return S_OK; }

  // Stores the value as the setting "CSP_" + name; an empty name stores
  // nothing.
  STDMETHODIMP SetClientSideProperty(VARIANT name, VARIANT value) override;
  STDMETHODIMP SetActiveConfiguration(VARIANT path) override;

  // The dual interface's two methods by DISPID; every other DISPID is left
  // for the browser's events, which arrive on this same IDispatch.
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;
};

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
