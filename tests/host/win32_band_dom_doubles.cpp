// The page doubles, written against the C layouts of the interfaces: each
// vtable starts with every slot answering E_NOTIMPL and gets the few
// methods the band calls.
#if defined(_WIN32) && defined(_WIN64)

#define CINTERFACE
#include <windows.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ocidl.h>
#include <oleidl.h>
#include <olectl.h>

#include <map>
#include <string>
#include <vector>

#include "win32_band_dom_doubles.h"

namespace qv::test {
namespace {

constexpr GUID kIidHtmlDocumentEvents2 = {
    0x3050f613, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
constexpr GUID kIidHtmlWindowEvents2 = {
    0x3050f625, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
constexpr GUID kIidCustomDoc = {
    0x3050f3f0, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

HRESULT STDMETHODCALLTYPE NotImplemented() {
  return E_NOTIMPL;
}

// Function pointers of one signature given to slots of another, through
// the one type that converts to all.
template <typename To, typename From>
To SlotCast(From function) {
  return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

template <typename Vtbl>
void FillNotImplemented(Vtbl* table) {
  using Slot = HRESULT(STDMETHODCALLTYPE*)();
  auto* slots = reinterpret_cast<Slot*>(table);
  for (size_t i = 0; i < sizeof(Vtbl) / sizeof(Slot); ++i) slots[i] = &NotImplemented;
}

// One interface of one of the page's objects: the vtable pointer first,
// as COM lays it out, then what the methods need.
struct Face {
  const void* lpVtbl;
  DomPage* page;
  int index;  // the element's place in the click path, the point's kind
};

struct Point {
  Face face;
  std::map<DWORD, IUnknown*> sinks;
  DWORD next = 1;
};

}  // namespace

struct DomPage {
  long refs = 0;
  Face document, documentPoints, oleObject, customDoc, window, windowPoints, clientSite, defaultUi,
      defaultCommands, event;
  Point points[3];
  std::vector<Face> elements;
  std::vector<std::wstring> tags;
  IDocHostUIHandler* customUi = nullptr;
  int uiSets = 0;
  int defaultCalls = 0;
  std::wstring readyState = L"loading";
  bool eventOnWindow = false;
};

namespace {

DomPage* PageOf(void* self) {
  return static_cast<Face*>(self)->page;
}

ULONG STDMETHODCALLTYPE AddRef(void* self) {
  return static_cast<ULONG>(++PageOf(self)->refs);
}
ULONG STDMETHODCALLTYPE Release(void* self) {
  return static_cast<ULONG>(--PageOf(self)->refs);
}

HRESULT Give(Face* face, void** out) {
  *out = face;
  AddRef(face);
  return S_OK;
}

// Which object a face belongs to decides what it answers.
HRESULT STDMETHODCALLTYPE DocumentQuery(void* self, REFIID iid, void** out) {
  DomPage* page = PageOf(self);
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_IHTMLDocument) || IsEqualIID(iid, IID_IHTMLDocument2))
    return Give(&page->document, out);
  if (IsEqualIID(iid, IID_IConnectionPointContainer)) return Give(&page->documentPoints, out);
  if (IsEqualIID(iid, IID_IOleObject)) return Give(&page->oleObject, out);
  if (IsEqualIID(iid, kIidCustomDoc)) return Give(&page->customDoc, out);
  return E_NOINTERFACE;
}
HRESULT STDMETHODCALLTYPE WindowQuery(void* self, REFIID iid, void** out) {
  DomPage* page = PageOf(self);
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_IHTMLWindow2))
    return Give(&page->window, out);
  if (IsEqualIID(iid, IID_IConnectionPointContainer)) return Give(&page->windowPoints, out);
  return E_NOINTERFACE;
}
HRESULT STDMETHODCALLTYPE SiteQuery(void* self, REFIID iid, void** out) {
  DomPage* page = PageOf(self);
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
    return Give(&page->clientSite, out);
  if (IsEqualIID(iid, IID_IDocHostUIHandler)) return Give(&page->defaultUi, out);
  if (IsEqualIID(iid, IID_IOleCommandTarget)) return Give(&page->defaultCommands, out);
  return E_NOINTERFACE;
}
// Objects of one interface each: the event, the elements, the points.
template <const IID* kIid>
HRESULT STDMETHODCALLTYPE SingleQuery(void* self, REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, *kIid))
    return Give(static_cast<Face*>(self), out);
  return E_NOINTERFACE;
}

template <typename Vtbl, typename Query>
void Common(Vtbl* table, Query query) {
  FillNotImplemented(table);
  table->QueryInterface = SlotCast<decltype(table->QueryInterface)>(query);
  table->AddRef = SlotCast<decltype(table->AddRef)>(&AddRef);
  table->Release = SlotCast<decltype(table->Release)>(&Release);
}

// --- the document and the window

HRESULT STDMETHODCALLTYPE DocumentParentWindow(IHTMLDocument2* self, IHTMLWindow2** out) {
  return Give(&PageOf(self)->window, reinterpret_cast<void**>(out));
}
HRESULT STDMETHODCALLTYPE DocumentReadyState(IHTMLDocument2* self, BSTR* out) {
  *out = SysAllocString(PageOf(self)->readyState.c_str());
  return S_OK;
}
HRESULT STDMETHODCALLTYPE WindowEvent(IHTMLWindow2* self, IHTMLEventObj** out) {
  DomPage* page = PageOf(self);
  *out = nullptr;
  return page->eventOnWindow ? Give(&page->event, reinterpret_cast<void**>(out)) : S_OK;
}
HRESULT STDMETHODCALLTYPE GetClientSite(IOleObject* self, IOleClientSite** out) {
  return Give(&PageOf(self)->clientSite, reinterpret_cast<void**>(out));
}
HRESULT STDMETHODCALLTYPE SetUIHandler(ICustomDoc* self, IDocHostUIHandler* handler) {
  DomPage* page = PageOf(self);
  if (handler) handler->lpVtbl->AddRef(handler);
  if (page->customUi) page->customUi->lpVtbl->Release(page->customUi);
  page->customUi = handler;
  ++page->uiSets;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE DefaultShowUI(IDocHostUIHandler* self, DWORD, IOleInPlaceActiveObject*,
                                        IOleCommandTarget*, IOleInPlaceFrame*,
                                        IOleInPlaceUIWindow*) {
  ++PageOf(self)->defaultCalls;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE DefaultExec(IOleCommandTarget* self, const GUID*, DWORD, DWORD, VARIANT*,
                                      VARIANT*) {
  ++PageOf(self)->defaultCalls;
  return OLECMDERR_E_NOTSUPPORTED;
}

// --- the event and the elements

HRESULT STDMETHODCALLTYPE EventSource(IHTMLEventObj* self, IHTMLElement** out) {
  DomPage* page = PageOf(self);
  *out = nullptr;
  return page->elements.empty() ? S_OK : Give(&page->elements[0], reinterpret_cast<void**>(out));
}
HRESULT STDMETHODCALLTYPE ElementTag(IHTMLElement* self, BSTR* out) {
  Face* face = reinterpret_cast<Face*>(self);
  *out = SysAllocString(face->page->tags[face->index].c_str());
  return S_OK;
}
HRESULT STDMETHODCALLTYPE ElementParent(IHTMLElement* self, IHTMLElement** out) {
  Face* face = reinterpret_cast<Face*>(self);
  *out = nullptr;
  const size_t parent = static_cast<size_t>(face->index) + 1;
  if (parent >= face->page->elements.size()) return S_OK;
  return Give(&face->page->elements[parent], reinterpret_cast<void**>(out));
}

// --- connection points

HRESULT STDMETHODCALLTYPE FindPoint(IConnectionPointContainer* self, REFIID iid,
                                    IConnectionPoint** out) {
  Face* face = reinterpret_cast<Face*>(self);
  DomPage* page = face->page;
  *out = nullptr;
  const bool onDocument = face == &page->documentPoints;
  int kind = -1;
  if (onDocument && IsEqualIID(iid, kIidHtmlDocumentEvents2)) kind = 0;
  if (!onDocument && IsEqualIID(iid, kIidHtmlWindowEvents2)) kind = 1;
  if (onDocument && IsEqualIID(iid, IID_IPropertyNotifySink)) kind = 2;
  if (kind < 0) return CONNECT_E_NOCONNECTION;
  return Give(&page->points[kind].face, reinterpret_cast<void**>(out));
}
HRESULT STDMETHODCALLTYPE Advise(IConnectionPoint* self, IUnknown* sink, DWORD* cookie) {
  Point* point = reinterpret_cast<Point*>(self);
  sink->lpVtbl->AddRef(sink);
  *cookie = point->next++;
  point->sinks[*cookie] = sink;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Unadvise(IConnectionPoint* self, DWORD cookie) {
  Point* point = reinterpret_cast<Point*>(self);
  auto found = point->sinks.find(cookie);
  if (found == point->sinks.end()) return CONNECT_E_NOCONNECTION;
  IUnknown* sink = found->second;
  point->sinks.erase(found);
  sink->lpVtbl->Release(sink);
  return S_OK;
}

void Fire(Point& point, DISPID id, VARIANT* argument) {
  DISPPARAMS params{argument, nullptr, argument ? 1u : 0u, 0};
  const std::map<DWORD, IUnknown*> now = point.sinks;
  for (const auto& entry : now) {
    IDispatch* dispatch = nullptr;
    if (FAILED(entry.second->lpVtbl->QueryInterface(entry.second, IID_IDispatch,
                                                    reinterpret_cast<void**>(&dispatch))))
      continue;
    dispatch->lpVtbl->Invoke(dispatch, id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                             nullptr);
    dispatch->lpVtbl->Release(dispatch);
  }
}

IHTMLDocument2Vtbl g_document;
IConnectionPointContainerVtbl g_points;
IOleObjectVtbl g_oleObject;
ICustomDocVtbl g_customDoc;
IHTMLWindow2Vtbl g_window;
IOleClientSiteVtbl g_clientSite;
IDocHostUIHandlerVtbl g_defaultUi;
IOleCommandTargetVtbl g_defaultCommands;
IHTMLEventObjVtbl g_event;
IHTMLElementVtbl g_element;
IConnectionPointVtbl g_point;
IConnectionPointContainerVtbl g_windowPoints;

void BuildTables() {
  static bool built = false;
  if (built) return;
  built = true;
  Common(&g_document, &DocumentQuery);
  g_document.get_parentWindow = DocumentParentWindow;
  g_document.get_readyState = DocumentReadyState;
  Common(&g_points, &DocumentQuery);
  g_points.FindConnectionPoint = FindPoint;
  Common(&g_windowPoints, &WindowQuery);
  g_windowPoints.FindConnectionPoint = FindPoint;
  Common(&g_oleObject, &DocumentQuery);
  g_oleObject.GetClientSite = GetClientSite;
  Common(&g_customDoc, &DocumentQuery);
  g_customDoc.SetUIHandler = SetUIHandler;
  Common(&g_window, &WindowQuery);
  g_window.get_event = WindowEvent;
  Common(&g_clientSite, &SiteQuery);
  Common(&g_defaultUi, &SiteQuery);
  g_defaultUi.ShowUI = DefaultShowUI;
  Common(&g_defaultCommands, &SiteQuery);
  g_defaultCommands.Exec = DefaultExec;
  Common(&g_event, &SingleQuery<&IID_IHTMLEventObj>);
  g_event.get_srcElement = EventSource;
  Common(&g_element, &SingleQuery<&IID_IHTMLElement>);
  g_element.get_tagName = ElementTag;
  g_element.get_parentElement = ElementParent;
  Common(&g_point, &SingleQuery<&IID_IConnectionPoint>);
  g_point.Advise = Advise;
  g_point.Unadvise = Unadvise;
}

}  // namespace

DomPage* NewDomPage() {
  BuildTables();
  auto* page = new DomPage;
  auto face = [page](Face& f, const void* table) { f = Face{table, page, 0}; };
  face(page->document, &g_document);
  face(page->documentPoints, &g_points);
  face(page->oleObject, &g_oleObject);
  face(page->customDoc, &g_customDoc);
  face(page->window, &g_window);
  face(page->windowPoints, &g_windowPoints);
  face(page->clientSite, &g_clientSite);
  face(page->defaultUi, &g_defaultUi);
  face(page->defaultCommands, &g_defaultCommands);
  face(page->event, &g_event);
  for (Point& point : page->points) face(point.face, &g_point);
  return page;
}

void DeleteDomPage(DomPage* page) {
  delete page;
}

void* DomDocument(DomPage* page) {
  AddRef(&page->document);
  return &page->document;
}

long DomReferences(DomPage* page) {
  return page->refs;
}

int DomSinkCount(DomPage* page, DomPoint point) {
  return static_cast<int>(page->points[static_cast<int>(point)].sinks.size());
}

void* DomCustomUiHandler(DomPage* page) {
  return page->customUi;
}

int DomUiHandlerSets(DomPage* page) {
  return page->uiSets;
}

int DomDefaultCalls(DomPage* page) {
  return page->defaultCalls;
}

void DomSetReadyState(DomPage* page, const wchar_t* state) {
  page->readyState = state;
}

void DomSetClickPath(DomPage* page, const std::vector<std::wstring>& tags) {
  page->tags = tags;
  page->elements.clear();
  for (size_t i = 0; i < tags.size(); ++i)
    page->elements.push_back(Face{&g_element, page, static_cast<int>(i)});
}

void DomFireMouseDown(DomPage* page, bool withEvent) {
  page->eventOnWindow = !withEvent;
  VARIANT event;
  VariantInit(&event);
  event.vt = VT_DISPATCH;
  event.pdispVal = reinterpret_cast<IDispatch*>(&page->event);
  Fire(page->points[0], -605, withEvent ? &event : nullptr);
  page->eventOnWindow = false;
}

void DomFireBeforeUnload(DomPage* page) {
  Fire(page->points[1], 1017, nullptr);
}

void DomFireReadyStateChanged(DomPage* page) {
  for (const auto& entry : std::map<DWORD, IUnknown*>(page->points[2].sinks)) {
    IPropertyNotifySink* sink = nullptr;
    if (SUCCEEDED(entry.second->lpVtbl->QueryInterface(entry.second, IID_IPropertyNotifySink,
                                                       reinterpret_cast<void**>(&sink)))) {
      sink->lpVtbl->OnChanged(sink, DISPID_READYSTATE);
      sink->lpVtbl->Release(sink);
    }
  }
}

}  // namespace qv::test

#endif
