#include "host/win32/com_classes.h"

#include <objsafe.h>
#include <olectl.h>

#include <string>

#include "host/win32/install_hooks.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/win32/com_support.h"
#include "platform/win32/scoped.h"
#include "settings/settings.h"

namespace qv {
namespace {

// The text of a VARIANT as the string conversion gives it; null converts
// to the empty text. False for a value that has no text.
bool VariantText(const VARIANT& value, std::string* text) {
  text->clear();
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return true;
  win32::Variant converted;
  if (FAILED(VariantChangeType(converted.get(), const_cast<VARIANT*>(&value), 0, VT_BSTR)))
    return false;
  BSTR bstr = converted.get()->bstrVal;
  *text = win32::Narrow(bstr, static_cast<int>(SysStringLen(bstr)));
  return true;
}

// CATID_SafeForScripting and CATID_SafeForInitializing.
const GUID* const kBandCategories[] = {&CATID_SafeForScripting, &CATID_SafeForInitializing};

const ClassRegistration kRegistrations[] = {
    {&CLSID_TBWToolBarObjquorvane, "quorvane", "TBW.quorvane.1", "TBW.quorvane", "quorvane",
     kBandCategories},
    {&CLSID_TBWDocHTMLEventsHandlerquorvane,
     "TBWDocHTMLEventsHandler Class",
     "TBW.quorvaneTBWDocHTMLEventsHandler.1",
     "TBW.quorvaneTBWDocHTMLEventsHandler",
     "quorvaneTBWDocHTMLEventsHandler Class",
     {}},
    {&CLSID_TBWWindowEventHandlerquorvane,
     "quorvane WindowEventHandler Class",
     "TBW.quorvaneWindowEventHandler.1",
     "TBW.quorvaneWindowEventHandler",
     "quorvaneWindowEventHandler Class",
     {}},
};

// The handlers are private sinks of the band and are never part of another
// object, so only the band can be aggregated.
IClassFactory* BandFactory() {
  return ClassFactory<TBWToolBarObj, Aggregation::kAllowed>::Instance();
}
IClassFactory* DocumentHandlerFactory() {
  return ClassFactory<TBWDocHTMLEventsHandler, Aggregation::kRefused>::Instance();
}
IClassFactory* WindowHandlerFactory() {
  return ClassFactory<TBWWindowEventHandler, Aggregation::kRefused>::Instance();
}

const ModuleClass kClasses[] = {
    {&CLSID_TBWToolBarObjquorvane, BandFactory},
    {&CLSID_TBWDocHTMLEventsHandlerquorvane, DocumentHandlerFactory},
    {&CLSID_TBWWindowEventHandlerquorvane, WindowHandlerFactory},
};

// Classes, categories and type library, written once.
HRESULT RegisterClassesAndTypeLibrary() {
  std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  HRESULT hr = RegisterClasses(GetRegistry(), kRegistrations, LIBID_TBWLibquorvane,
                               win32::Narrow(path.c_str()));
  if (FAILED(hr)) return hr;
  return RegisterModuleTypeLibrary(path);
}

}  // namespace

std::span<const QiEntry<TBWToolBarObj>> TBWToolBarObj::Interfaces() {
  static constexpr QiEntry<TBWToolBarObj> kTable[] = {
      Interface<TBWToolBarObj, IDeskBand>(IID_IDeskBand),
      Interface<TBWToolBarObj, ITBWToolBarObjquorvane>(IID_ITBWToolBarObjquorvane),
      Interface<TBWToolBarObj, IOleWindow, IDeskBand>(IID_IOleWindow),
      Interface<TBWToolBarObj, IDockingWindow, IDeskBand>(IID_IDockingWindow),
      Interface<TBWToolBarObj, IObjectWithSite>(IID_IObjectWithSite),
      Interface<TBWToolBarObj, IPersist, IPersistStream>(IID_IPersist),
      Interface<TBWToolBarObj, IPersistStream>(IID_IPersistStream),
      Interface<TBWToolBarObj, IInputObject>(IID_IInputObject),
      Interface<TBWToolBarObj, IDocHostUIHandler>(IID_IDocHostUIHandler),
      Interface<TBWToolBarObj, IPropertyNotifySink>(IID_IPropertyNotifySink),
      Interface<TBWToolBarObj, IOleCommandTarget>(IID_IOleCommandTarget),
      Interface<TBWToolBarObj, IDispatch, ITBWToolBarObjquorvane>(IID_IDispatch),
  };
  return kTable;
}

STDMETHODIMP TBWToolBarObj::SetClientSideProperty(VARIANT name, VARIANT value) {
  std::string nameText;
  std::string valueText;
  // A value without a text is refused rather than stored as empty, which
  // would wipe what the page stored before.
  if (!VariantText(name, &nameText) || !VariantText(value, &valueText)) return DISP_E_TYPEMISMATCH;
  if (!nameText.empty()) SetSettingString("CSP_" + nameText, valueText);
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::SetActiveConfiguration(VARIANT) {
  return S_OK;
}

std::span<const QiEntry<TBWDocHTMLEventsHandler>> TBWDocHTMLEventsHandler::Interfaces() {
  static constexpr QiEntry<TBWDocHTMLEventsHandler> kTable[] = {
      Interface<TBWDocHTMLEventsHandler, ITBWDocHTMLEventsHandlerquorvane>(
          IID_ITBWDocHTMLEventsHandlerquorvane),
      Interface<TBWDocHTMLEventsHandler, IDispatch, ITBWDocHTMLEventsHandlerquorvane>(
          IID_IDispatch),
  };
  return kTable;
}

std::span<const QiEntry<TBWWindowEventHandler>> TBWWindowEventHandler::Interfaces() {
  static constexpr QiEntry<TBWWindowEventHandler> kTable[] = {
      Interface<TBWWindowEventHandler, ITBWWindowEventHandlerquorvane>(
          IID_ITBWWindowEventHandlerquorvane),
      Interface<TBWWindowEventHandler, IDispatch, ITBWWindowEventHandlerquorvane>(IID_IDispatch),
  };
  return kTable;
}

std::span<const ModuleClass> ModuleClasses() {
  return kClasses;
}

std::span<const ClassRegistration> ModuleClassRegistrations() {
  return kRegistrations;
}

HRESULT GetModuleClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  for (const ModuleClass& entry : kClasses) {
    if (IsEqualCLSID(clsid, *entry.clsid)) return entry.factory()->QueryInterface(iid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadModule() {
  return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

HRESULT RegisterModuleServer() {
  if (!EnsureBrowserExtensionsEnabled()) return S_OK;
  RegisterClassesAndTypeLibrary();
  Install();
  // Installation may have changed what the first registration wrote; the
  // second one decides the answer.
  return RegisterClassesAndTypeLibrary();
}

namespace {

// The "Uninstall" service command removes the classes too, as
// unregistration does.
void UnregisterFromCommand() {
  UnregisterModuleServer();
}
const bool g_unregisterSet = (SetUnregisterServer(&UnregisterFromCommand), true);

}  // namespace

HRESULT UnregisterModuleServer() {
  Uninstall();
  RemoveExtensionKeys();
  HRESULT classes = UnregisterClasses(GetRegistry(), kRegistrations);
  std::wstring path = ModulePath();
  HRESULT library =
      path.empty() ? SELFREG_E_TYPELIB : UnregisterModuleTypeLibrary(GetRegistry(), path);
  return FAILED(classes) ? classes : library;
}

}  // namespace qv
