// A scripted web browser for the band under Wine, whose own browser control
// cannot load documents: the browser object, its DWebBrowserEvents2
// connection point and a small document object model (documents, windows,
// elements, text ranges, frames) answering the calls the toolbar makes.
// Every object counts its references; the browser owns them all until it
// is destroyed, so a test can check that each one is back to the single
// reference its owner holds.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <mshtmhst.h>
#include <ocidl.h>

#include <memory>
#include <string>
#include <vector>

#include "simulators/win32/com_stubs.h"

namespace qv::sim {

// What a page holds: its title, the text of its body, its elements (the
// body is added by the document) and its frames.
struct PageElement {
  std::wstring tag;  // upper case, as the browser reports it
  std::wstring id;
  std::wstring text;
  std::vector<std::pair<std::wstring, std::wstring>> attributes;
  // The index of the element this one is inside, an earlier one of the
  // same page; -1 (or any other index) puts it straight in the body.
  int parent = -1;
};

struct PageDescription {
  std::wstring url;
  std::wstring title;
  std::wstring bodyText;
  std::vector<PageElement> elements;
  std::vector<PageDescription> frames;
};

// A navigation the toolbar asked for, with its arguments as text.
struct NavigationRecord {
  std::wstring method;  // "Navigate" or "Navigate2"
  std::wstring url;
  std::wstring flags;
  std::wstring target;
  std::wstring postData;
  std::wstring headers;
};

// One event fired at the sinks of a connection point.
struct EventRecord {
  std::wstring name;
  DISPID dispid = 0;
  int sinks = 0;
  std::vector<HRESULT> answers;
  bool cancelled = false;
};

// A reference count and a place in the browser's list of every object it
// made. Transient objects (text ranges, enumerators, event objects) are
// counted while alive; owned ones keep one reference for their owner.
class ObjectLedger;

class Counted {
 public:
  Counted(ObjectLedger* ledger, std::wstring name, bool transient);
  virtual ~Counted();
  ULONG AddRefCounted() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG ReleaseCounted() {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  LONG Refs() const { return refs_; }
  const std::wstring& Name() const { return name_; }
  bool Transient() const { return transient_; }

 private:
  LONG refs_ = 1;
  ObjectLedger* ledger_;
  std::wstring name_;
  bool transient_;
};

struct ObjectCount {
  std::wstring name;
  long refs = 0;
};

class ObjectLedger {
 public:
  void Add(Counted* object);
  void Remove(Counted* object);
  // Every owned object with its count, and how many transient ones live.
  std::vector<ObjectCount> Owned() const;
  int TransientAlive() const;

 private:
  std::vector<Counted*> objects_;
};

class ScriptedDocument;
class ScriptedWindow;
class ScriptedClientSite;
class ConnectionPoint;

class ScriptedWebBrowser final : public IWebBrowser2Stub,
                                 public IConnectionPointContainer,
                                 public Counted {
 public:
  // The top-level browser: it owns the ledger that every object of this
  // browser (frames and documents included) reports to.
  static ScriptedWebBrowser* CreateTop(HWND frameWindow);

  // IUnknown, IDispatch
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefCounted(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseCounted(); }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

  // IWebBrowser2: what the toolbar reads and asks for.
  STDMETHODIMP Navigate(BSTR url, VARIANT* flags, VARIANT* target, VARIANT* post,
                        VARIANT* headers) override;
  STDMETHODIMP Navigate2(VARIANT* url, VARIANT* flags, VARIANT* target, VARIANT* post,
                         VARIANT* headers) override;
  STDMETHODIMP get_LocationURL(BSTR* url) override;
  STDMETHODIMP get_LocationName(BSTR* name) override;
  STDMETHODIMP get_Document(IDispatch** document) override;
  STDMETHODIMP get_ReadyState(READYSTATE* state) override;
  STDMETHODIMP get_HWND(SHANDLE_PTR* window) override;
  STDMETHODIMP get_StatusText(BSTR* text) override;
  STDMETHODIMP put_StatusText(BSTR text) override;
  STDMETHODIMP get_Busy(VARIANT_BOOL* busy) override;
  STDMETHODIMP Quit() override;
  STDMETHODIMP put_Visible(VARIANT_BOOL) override { return S_OK; }
  STDMETHODIMP ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override { return S_OK; }

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

  // The script. A navigation fires the current page's before-unload,
  // BeforeNavigate2 (the sinks may cancel it), DownloadBegin,
  // NavigateComplete2, the frames' own events, DocumentComplete and
  // DownloadComplete; answers false when cancelled. A javascript: address
  // runs a script in the page that stays: BeforeNavigate2 alone.
  bool RunNavigation(const PageDescription& page);
  // NewWindow2; answers whether a sink cancelled it.
  bool RequestNewWindow();
  void FireQuit();
  // Mouse-down on element `index` of the current document (-1: the body),
  // through its HTMLDocumentEvents2 sinks.
  bool FireMouseDown(int index, bool eventAsArgument = true);
  // The single events of a navigation, for a script that takes one step
  // at a time. frame null means this browser; the URL is the current
  // document's when empty. FireBeforeNavigate2 answers whether a sink
  // cancelled.
  bool FireBeforeNavigate2(const std::wstring& url);
  void FireNavigateComplete2(IDispatch* frame = nullptr, const std::wstring& url = L"");
  void FireDocumentComplete(IDispatch* frame = nullptr, const std::wstring& url = L"");

  ScriptedDocument* CurrentDocument() const { return document_; }
  // Every document this browser showed, the current one last.
  const std::vector<ScriptedDocument*>& Documents() const { return documents_; }
  const std::vector<NavigationRecord>& Navigations() const { return navigations_; }
  const std::vector<EventRecord>& Events() const { return *events_; }
  const std::vector<std::wstring>& StatusTexts() const { return statusTexts_; }
  bool QuitCalled() const { return quitCalled_; }
  int EventSinks() const;
  const ObjectLedger& Ledger() const { return *ledger_; }
  ScriptedClientSite* ClientSite() const { return clientSite_; }
  // Navigations the toolbar asked for that the script has not yet run.
  std::vector<NavigationRecord> TakePendingNavigations();

 private:
  ScriptedWebBrowser(ObjectLedger* countIn, ObjectLedger* ledger, std::vector<EventRecord>* events,
                     HWND frame, ScriptedClientSite* site, std::wstring name);
  ~ScriptedWebBrowser() override;
  void Load(const PageDescription& page);
  EventRecord Fire(const wchar_t* name, DISPID dispid, DISPPARAMS* params,
                   VARIANT_BOOL* cancel = nullptr);
  // NavigateComplete2 or DocumentComplete: (pDisp, URL).
  void FireComplete(const wchar_t* name, DISPID dispid, IDispatch* frame, const std::wstring& url);

  std::unique_ptr<ObjectLedger> ownedLedger_;
  std::unique_ptr<std::vector<EventRecord>> ownedEvents_;
  ObjectLedger* ledger_;
  std::vector<EventRecord>* events_;
  HWND frame_;
  bool top_;
  ConnectionPoint* events2_ = nullptr;
  ScriptedClientSite* clientSite_ = nullptr;
  ScriptedDocument* document_ = nullptr;
  std::vector<ScriptedDocument*> documents_;        // every one ever shown
  std::vector<ScriptedWebBrowser*> frameBrowsers_;  // every one ever made
  std::vector<NavigationRecord> navigations_;
  size_t pendingFrom_ = 0;
  std::vector<std::wstring> statusTexts_;
  std::wstring statusText_;
  bool quitCalled_ = false;
  bool busy_ = false;
  void CompleteBlankPage(const std::wstring& address);

  READYSTATE readyState_ = READYSTATE_UNINITIALIZED;
};

// The browser's own document host: the default UI handler and command
// target that a band forwards to, reached through the document's
// IOleObject::GetClientSite.
class ScriptedClientSite final : public IOleClientSite,
                                 public IDocHostUIHandlerStub,
                                 public IOleCommandTarget,
                                 public Counted {
 public:
  explicit ScriptedClientSite(ObjectLedger* ledger) : Counted(ledger, L"client site", false) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefCounted(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseCounted(); }
  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IDocHostUIHandler: the calls forwarded to it are counted.
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO*) override { return Count(L"GetHostInfo", S_OK); }
  STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                      IOleInPlaceUIWindow*) override {
    return Count(L"ShowUI", S_FALSE);
  }
  STDMETHODIMP HideUI() override { return Count(L"HideUI", S_OK); }
  STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override {
    return Count(L"TranslateAccelerator", S_FALSE);
  }
  STDMETHODIMP TranslateUrl(DWORD, OLECHAR*, OLECHAR** out) override {
    if (out) *out = nullptr;
    return Count(L"TranslateUrl", S_FALSE);
  }
  // IOleCommandTarget
  STDMETHODIMP QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override {
    return Count(L"QueryStatus", S_OK);
  }
  STDMETHODIMP Exec(const GUID*, DWORD id, DWORD, VARIANT*, VARIANT*) override {
    return Count(L"Exec " + std::to_wstring(id), S_OK);
  }
  const std::vector<std::wstring>& Calls() const { return calls_; }

 private:
  HRESULT Count(const std::wstring& call, HRESULT answer) {
    calls_.push_back(call);
    return answer;
  }
  std::vector<std::wstring> calls_;
};

// Connection point of one interface: sinks advised with cookies from 1.
class ConnectionPoint final : public IConnectionPoint, public Counted {
 public:
  ConnectionPoint(ObjectLedger* ledger, std::wstring name, IConnectionPointContainer* container,
                  REFIID iid);
  ~ConnectionPoint() override;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefCounted(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseCounted(); }
  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  // Calls IDispatch::Invoke on every sink, in the order they advised; the
  // sinks' answers are returned. Sinks may unadvise while being called.
  std::vector<HRESULT> Invoke(DISPID dispid, DISPPARAMS* params);
  // Calls IPropertyNotifySink::OnChanged on every sink.
  std::vector<HRESULT> Changed(DISPID dispid);
  int Sinks() const;
  int Advises() const { return advises_; }

 private:
  struct Sink {
    DWORD cookie;
    IUnknown* sink;  // IDispatch or the point's own interface; one reference
  };
  IConnectionPointContainer* container_;  // the owner: not counted
  IID iid_;
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;
  int advises_ = 0;
};

}  // namespace qv::sim
