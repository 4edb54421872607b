#include "simulators/win32/scripted_com_browser.h"

#include <exdispid.h>
#include <mshtmdid.h>

#include <algorithm>
#include <cwctype>

#include "simulators/win32/scripted_dom.h"

namespace qv::sim {

namespace {

BSTR Text(const std::wstring& text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// A VARIANT argument as text for the record: empty when missing, the bytes
// of a byte array as characters.
std::wstring Describe(const VARIANT* value) {
  if (value == nullptr) return L"";
  const VARIANT* v = value;
  while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  if (v->vt == VT_EMPTY || v->vt == VT_ERROR || v->vt == VT_NULL) return L"";
  if (v->vt == (VT_ARRAY | VT_UI1) && v->parray) {
    std::wstring bytes;
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(v->parray, &data))) {
      const ULONG count = v->parray->rgsabound[0].cElements;
      for (ULONG i = 0; i < count; ++i) bytes += static_cast<wchar_t>(static_cast<BYTE*>(data)[i]);
      SafeArrayUnaccessData(v->parray);
    }
    return bytes;
  }
  VARIANT text;
  VariantInit(&text);
  std::wstring out = L"<unreadable>";
  if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(v), 0, VT_BSTR)))
    out.assign(text.bstrVal, SysStringLen(text.bstrVal));
  VariantClear(&text);
  return out;
}

bool IsScriptAddress(const std::wstring& url) {
  static const wchar_t kScheme[] = L"javascript:";
  for (size_t i = 0; kScheme[i]; ++i)
    if (i >= url.size() || std::towlower(url[i]) != kScheme[i]) return false;
  return true;
}

template <typename T>
HRESULT Give(T* object, T** out) {
  if (out == nullptr) return E_POINTER;
  *out = object;
  if (object) object->AddRef();
  return S_OK;
}

}  // namespace

// --- counting

Counted::Counted(ObjectLedger* ledger, std::wstring name, bool transient)
    : ledger_(ledger), name_(std::move(name)), transient_(transient) {
  if (ledger_) ledger_->Add(this);
}

Counted::~Counted() {
  if (ledger_) ledger_->Remove(this);
}

void ObjectLedger::Add(Counted* object) {
  objects_.push_back(object);
}

void ObjectLedger::Remove(Counted* object) {
  objects_.erase(std::remove(objects_.begin(), objects_.end(), object), objects_.end());
}

std::vector<ObjectCount> ObjectLedger::Owned() const {
  std::vector<ObjectCount> owned;
  for (const Counted* object : objects_)
    if (!object->Transient()) owned.push_back({object->Name(), object->Refs()});
  return owned;
}

int ObjectLedger::TransientAlive() const {
  return static_cast<int>(std::count_if(objects_.begin(), objects_.end(),
                                        [](const Counted* o) { return o->Transient(); }));
}

// --- connection point

ConnectionPoint::ConnectionPoint(ObjectLedger* ledger, std::wstring name,
                                 IConnectionPointContainer* container, REFIID iid)
    : Counted(ledger, L"connection point " + name, false), container_(container), iid_(iid) {}

ConnectionPoint::~ConnectionPoint() {
  for (Sink& sink : sinks_) sink.sink->Release();
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint))
    *out = static_cast<IConnectionPoint*>(this);
  if (*out == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  return Give<IConnectionPointContainer>(container_, out);
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  *cookie = 0;
  // A sink answers the point's own interface, or IDispatch for a
  // dispatch interface, as the browser's points accept.
  IUnknown* held = nullptr;
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&held))) &&
      (IsEqualIID(iid_, IID_IPropertyNotifySink) ||
       FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&held)))))
    return CONNECT_E_CANNOTCONNECT;
  *cookie = nextCookie_++;
  sinks_.push_back({*cookie, held});
  ++advises_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it)
    if (it->cookie == cookie) {
      IUnknown* sink = it->sink;
      sinks_.erase(it);
      sink->Release();
      return S_OK;
    }
  return CONNECT_E_NOCONNECTION;
}

int ConnectionPoint::Sinks() const {
  return static_cast<int>(sinks_.size());
}

std::vector<HRESULT> ConnectionPoint::Invoke(DISPID dispid, DISPPARAMS* params) {
  std::vector<HRESULT> answers;
  // A copy of the cookies: a sink may unadvise (itself or others) from
  // inside its Invoke, as the band does on OnQuit.
  std::vector<DWORD> cookies;
  for (const Sink& sink : sinks_) cookies.push_back(sink.cookie);
  for (DWORD cookie : cookies) {
    auto it = std::find_if(sinks_.begin(), sinks_.end(),
                           [cookie](const Sink& s) { return s.cookie == cookie; });
    if (it == sinks_.end()) continue;
    IUnknown* sink = it->sink;
    sink->AddRef();
    IDispatch* dispatch = static_cast<IDispatch*>(sink);
    answers.push_back(dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                       params, nullptr, nullptr, nullptr));
    sink->Release();
  }
  return answers;
}

std::vector<HRESULT> ConnectionPoint::Changed(DISPID dispid) {
  std::vector<HRESULT> answers;
  std::vector<IUnknown*> sinks;
  for (const Sink& sink : sinks_) {
    sink.sink->AddRef();
    sinks.push_back(sink.sink);
  }
  for (IUnknown* sink : sinks) {
    answers.push_back(static_cast<IPropertyNotifySink*>(sink)->OnChanged(dispid));
    sink->Release();
  }
  return answers;
}

// --- client site

STDMETHODIMP ScriptedClientSite::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
    *out = static_cast<IOleClientSite*>(this);
  else if (IsEqualIID(iid, IID_IDocHostUIHandler))
    *out = static_cast<IDocHostUIHandler*>(this);
  else if (IsEqualIID(iid, IID_IOleCommandTarget))
    *out = static_cast<IOleCommandTarget*>(this);
  if (*out == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

// --- browser

ScriptedWebBrowser* ScriptedWebBrowser::CreateTop(HWND frameWindow) {
  auto ledger = std::make_unique<ObjectLedger>();
  auto events = std::make_unique<std::vector<EventRecord>>();
  auto* site = new ScriptedClientSite(ledger.get());
  // The top browser holds the ledger, so it is counted apart from it.
  auto* browser =
      new ScriptedWebBrowser(nullptr, ledger.get(), events.get(), frameWindow, site, L"browser");
  browser->ownedLedger_ = std::move(ledger);
  browser->ownedEvents_ = std::move(events);
  browser->top_ = true;
  browser->events2_ = new ConnectionPoint(browser->ledger_, L"DWebBrowserEvents2", browser,
                                          DIID_DWebBrowserEvents2);
  return browser;
}

ScriptedWebBrowser::ScriptedWebBrowser(ObjectLedger* countIn, ObjectLedger* ledger,
                                       std::vector<EventRecord>* events, HWND frame,
                                       ScriptedClientSite* site, std::wstring name)
    : Counted(countIn, std::move(name), false),
      ledger_(ledger),
      events_(events),
      frame_(frame),
      top_(false),
      clientSite_(site) {}

ScriptedWebBrowser::~ScriptedWebBrowser() {
  for (ScriptedDocument* document : documents_) document->Release();
  for (ScriptedWebBrowser* frame : frameBrowsers_) frame->Release();
  if (events2_) events2_->Release();
  // The top browser's own; its frames and documents go first.
  if (top_) clientSite_->Release();
}

STDMETHODIMP ScriptedWebBrowser::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_IWebBrowser) || IsEqualIID(iid, IID_IWebBrowserApp) ||
      IsEqualIID(iid, IID_IWebBrowser2))
    *out = static_cast<IWebBrowser2*>(this);
  else if (IsEqualIID(iid, IID_IConnectionPointContainer) && top_)
    *out = static_cast<IConnectionPointContainer*>(this);
  if (*out == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::Navigate(BSTR url, VARIANT* flags, VARIANT* target, VARIANT* post,
                                          VARIANT* headers) {
  if (url == nullptr) return E_INVALIDARG;
  const std::wstring address(url, SysStringLen(url));
  navigations_.push_back(
      {L"Navigate", address, Describe(flags), Describe(target), Describe(post), Describe(headers)});
  CompleteBlankPage(address);
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::Navigate2(VARIANT* url, VARIANT* flags, VARIANT* target,
                                           VARIANT* post, VARIANT* headers) {
  if (url == nullptr) return E_INVALIDARG;
  const std::wstring address = Describe(url);
  if (address.empty()) return E_INVALIDARG;
  navigations_.push_back({L"Navigate2", address, Describe(flags), Describe(target), Describe(post),
                          Describe(headers)});
  CompleteBlankPage(address);
  return S_OK;
}

// A browser shows the empty page at once: whoever waits for it (the pop-up
// blocker unloads the page this way when the window quits) is not kept
// waiting by a script that never loads it.
void ScriptedWebBrowser::CompleteBlankPage(const std::wstring& address) {
  if (_wcsicmp(address.c_str(), L"about:blank") == 0) readyState_ = READYSTATE_COMPLETE;
}

STDMETHODIMP ScriptedWebBrowser::get_LocationURL(BSTR* url) {
  if (url == nullptr) return E_POINTER;
  BSTR value = nullptr;
  if (document_) document_->get_URL(&value);
  *url = value ? value : SysAllocString(L"");
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::get_LocationName(BSTR* name) {
  if (name == nullptr) return E_POINTER;
  BSTR value = nullptr;
  if (document_) document_->get_title(&value);
  *name = value ? value : SysAllocString(L"");
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::get_Document(IDispatch** document) {
  return Give<IDispatch>(document_ ? static_cast<IHTMLDocument2*>(document_) : nullptr, document);
}

STDMETHODIMP ScriptedWebBrowser::get_ReadyState(READYSTATE* state) {
  if (state == nullptr) return E_POINTER;
  *state = readyState_;
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::get_HWND(SHANDLE_PTR* window) {
  if (window == nullptr) return E_POINTER;
  *window = reinterpret_cast<SHANDLE_PTR>(frame_);
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::get_StatusText(BSTR* text) {
  if (text == nullptr) return E_POINTER;
  *text = Text(statusText_);
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::put_StatusText(BSTR text) {
  statusText_ = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
  statusTexts_.push_back(statusText_);
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::get_Busy(VARIANT_BOOL* busy) {
  if (busy == nullptr) return E_POINTER;
  *busy = busy_ ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::Quit() {
  quitCalled_ = true;
  return S_OK;
}

STDMETHODIMP ScriptedWebBrowser::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (events2_ && IsEqualIID(iid, DIID_DWebBrowserEvents2))
    return Give<IConnectionPoint>(events2_, out);
  return CONNECT_E_NOCONNECTION;
}

int ScriptedWebBrowser::EventSinks() const {
  return events2_ ? events2_->Sinks() : 0;
}

std::vector<NavigationRecord> ScriptedWebBrowser::TakePendingNavigations() {
  std::vector<NavigationRecord> pending(navigations_.begin() + pendingFrom_, navigations_.end());
  pendingFrom_ = navigations_.size();
  return pending;
}

EventRecord ScriptedWebBrowser::Fire(const wchar_t* name, DISPID dispid, DISPPARAMS* params,
                                     VARIANT_BOOL* cancel) {
  EventRecord record;
  record.name = name;
  record.dispid = dispid;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  if (events2_) {
    record.sinks = events2_->Sinks();
    record.answers = events2_->Invoke(dispid, params ? params : &none);
  }
  record.cancelled = cancel != nullptr && *cancel != VARIANT_FALSE;
  events_->push_back(record);
  return record;
}

// The frames' browsers and documents, then the top document, as the
// browser creates them when a page arrives.
void ScriptedWebBrowser::Load(const PageDescription& page) {
  std::vector<ScriptedWebBrowser*> frames;
  for (const PageDescription& framePage : page.frames) {
    auto* frame = new ScriptedWebBrowser(ledger_, ledger_, events_, frame_, clientSite_,
                                         L"frame browser " + framePage.url);
    frame->Load(framePage);
    frameBrowsers_.push_back(frame);
    frames.push_back(frame);
  }
  document_ = new ScriptedDocument(ledger_, page, clientSite_, &frames);
  documents_.push_back(document_);
}

bool ScriptedWebBrowser::FireBeforeNavigate2(const std::wstring& address) {
  // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers,
  // Cancel), in reverse order, the strings by reference as the browser
  // passes them.
  VARIANT url, flags, target, post, headers;
  VariantInit(&url);
  url.vt = VT_BSTR;
  url.bstrVal = Text(address);
  VariantInit(&flags);
  flags.vt = VT_I4;
  flags.lVal = 0;
  VariantInit(&target);
  target.vt = VT_BSTR;
  target.bstrVal = SysAllocString(L"");
  VariantInit(&post);
  VariantInit(&headers);
  headers.vt = VT_BSTR;
  headers.bstrVal = SysAllocString(L"");
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT before[7];
  for (VARIANT& v : before) VariantInit(&v);
  before[6].vt = VT_DISPATCH;
  before[6].pdispVal = static_cast<IWebBrowser2*>(this);
  before[5].vt = VT_BYREF | VT_VARIANT;
  before[5].pvarVal = &url;
  before[4].vt = VT_BYREF | VT_VARIANT;
  before[4].pvarVal = &flags;
  before[3].vt = VT_BYREF | VT_VARIANT;
  before[3].pvarVal = &target;
  before[2].vt = VT_BYREF | VT_VARIANT;
  before[2].pvarVal = &post;
  before[1].vt = VT_BYREF | VT_VARIANT;
  before[1].pvarVal = &headers;
  before[0].vt = VT_BYREF | VT_BOOL;
  before[0].pboolVal = &cancel;
  DISPPARAMS params{before, nullptr, 7, 0};
  const bool cancelled =
      Fire(L"BeforeNavigate2", DISPID_BEFORENAVIGATE2, &params, &cancel).cancelled;
  VariantClear(&url);
  VariantClear(&target);
  VariantClear(&headers);
  VariantClear(&post);
  return cancelled;
}

void ScriptedWebBrowser::FireComplete(const wchar_t* name, DISPID dispid, IDispatch* frame,
                                      const std::wstring& address) {
  VARIANT url;
  VariantInit(&url);
  url.vt = VT_BSTR;
  BSTR current = nullptr;
  if (address.empty() && document_) document_->get_URL(&current);
  url.bstrVal = current ? current : Text(address);
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[1].vt = VT_DISPATCH;
  args[1].pdispVal = frame ? frame : static_cast<IWebBrowser2*>(this);
  args[0].vt = VT_BYREF | VT_VARIANT;
  args[0].pvarVal = &url;
  DISPPARAMS params{args, nullptr, 2, 0};
  Fire(name, dispid, &params);
  VariantClear(&url);
}

void ScriptedWebBrowser::FireNavigateComplete2(IDispatch* frame, const std::wstring& url) {
  FireComplete(frame ? L"NavigateComplete2 (frame)" : L"NavigateComplete2",
               DISPID_NAVIGATECOMPLETE2, frame, url);
}

void ScriptedWebBrowser::FireDocumentComplete(IDispatch* frame, const std::wstring& url) {
  FireComplete(frame ? L"DocumentComplete (frame)" : L"DocumentComplete", DISPID_DOCUMENTCOMPLETE,
               frame, url);
}

bool ScriptedWebBrowser::RunNavigation(const PageDescription& page) {
  if (IsScriptAddress(page.url)) {
    // The script runs in the page that stays.
    FireBeforeNavigate2(page.url);
    return true;
  }
  // The page that is left hears it first.
  if (document_) {
    const std::vector<HRESULT> answers = document_->FireBeforeUnload();
    events_->push_back({L"onbeforeunload", DISPID_HTMLWINDOWEVENTS2_ONBEFOREUNLOAD,
                        static_cast<int>(answers.size()), answers, false});
  }
  busy_ = true;
  readyState_ = READYSTATE_LOADING;
  if (FireBeforeNavigate2(page.url)) {
    busy_ = false;
    readyState_ = READYSTATE_COMPLETE;
    return false;
  }

  Fire(L"DownloadBegin", DISPID_DOWNLOADBEGIN, nullptr);
  Load(page);
  FireNavigateComplete2(nullptr, page.url);
  // Each frame completes before the page that holds it.
  for (size_t i = 0; i < page.frames.size(); ++i) {
    ScriptedWebBrowser* frame = frameBrowsers_[frameBrowsers_.size() - page.frames.size() + i];
    IDispatch* dispatch = static_cast<IWebBrowser2*>(frame);
    FireNavigateComplete2(dispatch, page.frames[i].url);
    frame->document_->SetComplete();
    FireDocumentComplete(dispatch, page.frames[i].url);
  }
  document_->SetComplete();
  readyState_ = READYSTATE_COMPLETE;
  FireDocumentComplete(nullptr, page.url);
  busy_ = false;
  Fire(L"DownloadComplete", DISPID_DOWNLOADCOMPLETE, nullptr);
  return true;
}

bool ScriptedWebBrowser::RequestNewWindow() {
  // NewWindow2(ppDisp, Cancel): the sinks may hand back a browser or cancel.
  IDispatch* given = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[1].vt = VT_BYREF | VT_DISPATCH;
  args[1].ppdispVal = &given;
  args[0].vt = VT_BYREF | VT_BOOL;
  args[0].pboolVal = &cancel;
  DISPPARAMS params{args, nullptr, 2, 0};
  const bool cancelled = Fire(L"NewWindow2", DISPID_NEWWINDOW2, &params, &cancel).cancelled;
  if (given) given->Release();
  return cancelled;
}

void ScriptedWebBrowser::FireQuit() {
  Fire(L"OnQuit", DISPID_ONQUIT, nullptr);
}

bool ScriptedWebBrowser::FireMouseDown(int index, bool eventAsArgument) {
  if (document_ == nullptr) return false;
  const auto& elements = document_->Elements();
  const size_t at = index < 0 ? 0 : static_cast<size_t>(index) + 1;
  if (at >= elements.size()) return false;
  const std::vector<HRESULT> answers = document_->FireMouseDown(index, eventAsArgument);
  events_->push_back({L"onmousedown " + elements[at]->Data().tag,
                      DISPID_HTMLDOCUMENTEVENTS2_ONMOUSEDOWN, static_cast<int>(answers.size()),
                      answers, false});
  return true;
}

}  // namespace qv::sim
