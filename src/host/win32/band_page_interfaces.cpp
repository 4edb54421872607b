// What the band answers to the page and to the browser's persistence: the
// stream it keeps nothing in, the document's UI handler and command target
// (which forward to the browser's own), and the two small handlers that
// watch a page's document and window for the pop-up blocker.
#include <windows.h>
#include <mshtmdid.h>
#include <mshtml.h>

#include <string>

#include "host/win32/com_classes.h"
#include "host/win32/event_arguments.h"
#include "popup/blocker.h"

namespace qv {
namespace {

using win32::ComRef;

constexpr DISPID kDispidMouseDown = -605;     // HTMLDocumentEvents2::onmousedown
constexpr DISPID kDispidBeforeUnload = 1017;  // HTMLWindowEvents2::onbeforeunload
constexpr DWORD kShowScriptError = 40;        // OLECMDID_SHOWSCRIPTERROR
// A chain of parents longer than any page has: a document that answers
// with a cycle must not hang the browser.
constexpr int kMaxElementDepth = 4096;

template <typename T>
void ClearOut(T** out) {
  if (out) *out = nullptr;
}

// The tags that make a mouse-down a request for what follows (a link, an
// image map area, a form input, an image).
bool IsRequestingTag(const wchar_t* tag) {
  for (const wchar_t* requesting : {L"A", L"AREA", L"INPUT", L"IMG"}) {
    if (lstrcmpiW(tag, requesting) == 0) return true;
  }
  return false;
}

}  // namespace

// --- IPersist, IPersistStream

STDMETHODIMP TBWToolBarObj::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_TBWToolBarObjquorvane;
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::IsDirty() {
  return S_FALSE;
}

STDMETHODIMP TBWToolBarObj::Load(IStream*) {
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::Save(IStream*, BOOL) {
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::GetSizeMax(ULARGE_INTEGER*) {
  return E_NOTIMPL;
}

// --- IDocHostUIHandler

STDMETHODIMP TBWToolBarObj::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
  return S_FALSE;
}

STDMETHODIMP TBWToolBarObj::GetHostInfo(DOCHOSTUIINFO* info) {
  if (defaultUiHandler_) return defaultUiHandler_->GetHostInfo(info);
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::ShowUI(DWORD id, IOleInPlaceActiveObject* active,
                                   IOleCommandTarget* target, IOleInPlaceFrame* frame,
                                   IOleInPlaceUIWindow* document) {
  if (defaultUiHandler_) return defaultUiHandler_->ShowUI(id, active, target, frame, document);
  return S_FALSE;
}

STDMETHODIMP TBWToolBarObj::HideUI() {
  return defaultUiHandler_ ? defaultUiHandler_->HideUI() : S_OK;
}

STDMETHODIMP TBWToolBarObj::UpdateUI() {
  return defaultUiHandler_ ? defaultUiHandler_->UpdateUI() : S_OK;
}

STDMETHODIMP TBWToolBarObj::EnableModeless(BOOL enable) {
  return defaultUiHandler_ ? defaultUiHandler_->EnableModeless(enable) : S_OK;
}

STDMETHODIMP TBWToolBarObj::OnDocWindowActivate(BOOL activate) {
  return defaultUiHandler_ ? defaultUiHandler_->OnDocWindowActivate(activate) : S_OK;
}

STDMETHODIMP TBWToolBarObj::OnFrameWindowActivate(BOOL activate) {
  return defaultUiHandler_ ? defaultUiHandler_->OnFrameWindowActivate(activate) : S_OK;
}

STDMETHODIMP TBWToolBarObj::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) {
  return defaultUiHandler_ ? defaultUiHandler_->ResizeBorder(border, window, frame) : S_OK;
}

STDMETHODIMP TBWToolBarObj::TranslateAccelerator(LPMSG message, const GUID* group, DWORD id) {
  if (defaultUiHandler_) return defaultUiHandler_->TranslateAccelerator(message, group, id);
  return E_NOTIMPL;
}

STDMETHODIMP TBWToolBarObj::GetOptionKeyPath(LPOLESTR* key, DWORD reserved) {
  if (defaultUiHandler_) return defaultUiHandler_->GetOptionKeyPath(key, reserved);
  ClearOut(key);
  return E_FAIL;
}

STDMETHODIMP TBWToolBarObj::GetDropTarget(IDropTarget* target, IDropTarget** out) {
  if (defaultUiHandler_) return defaultUiHandler_->GetDropTarget(target, out);
  ClearOut(out);
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::GetExternal(IDispatch** out) {
  if (defaultUiHandler_) return defaultUiHandler_->GetExternal(out);
  ClearOut(out);
  return S_FALSE;
}

STDMETHODIMP TBWToolBarObj::TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* out) {
  if (defaultUiHandler_) return defaultUiHandler_->TranslateUrl(translate, url, out);
  ClearOut(out);
  return S_FALSE;
}

STDMETHODIMP TBWToolBarObj::FilterDataObject(IDataObject* in, IDataObject** out) {
  if (defaultUiHandler_) return defaultUiHandler_->FilterDataObject(in, out);
  ClearOut(out);
  return S_FALSE;
}

// --- IOleCommandTarget

STDMETHODIMP TBWToolBarObj::QueryStatus(const GUID* group, ULONG count, OLECMD* commands,
                                        OLECMDTEXT* text) {
  if (defaultCommandTarget_)
    return defaultCommandTarget_->QueryStatus(group, count, commands, text);
  return S_OK;
}

STDMETHODIMP TBWToolBarObj::Exec(const GUID* group, DWORD id, DWORD options, VARIANT* in,
                                 VARIANT* out) {
  if (id == kShowScriptError) {
    // Scripts go on running and no dialog is shown.
    if (out) {
      VariantClear(out);
      out->vt = VT_BOOL;
      out->boolVal = VARIANT_TRUE;
    }
    return S_OK;
  }
  if (defaultCommandTarget_) return defaultCommandTarget_->Exec(group, id, options, in, out);
  return S_OK;
}

// --- the document's mouse-down

void TBWDocHTMLEventsHandler::Bind(PopupBlocker* blocker, IHTMLDocument2* document) {
  blocker_ = blocker;
  document_ = ComRef<IHTMLDocument2>::Share(document);
}

STDMETHODIMP TBWDocHTMLEventsHandler::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                             VARIANT*, EXCEPINFO*, UINT*) {
  if (id != kDispidMouseDown || blocker_ == nullptr) return DISP_E_MEMBERNOTFOUND;
  // The event object comes with the event; older senders leave it on the
  // document's window.
  ComRef<IHTMLEventObj> event;
  if (ComRef<IDispatch> argument = win32::DispatchArgument(params, 0))
    event = argument.As<IHTMLEventObj>(IID_IHTMLEventObj);
  if (!event && document_) {
    ComRef<IHTMLWindow2> window;
    if (SUCCEEDED(document_->get_parentWindow(window.Out())) && window)
      window->get_event(event.Out());
  }
  if (!event) return DISP_E_MEMBERNOTFOUND;
  ComRef<IHTMLElement> element;
  if (FAILED(event->get_srcElement(element.Out()))) return DISP_E_MEMBERNOTFOUND;
  for (int depth = 0; element && depth < kMaxElementDepth; ++depth) {
    win32::Bstr tag;
    if (FAILED(element->get_tagName(tag.Out())) || tag.get() == nullptr) break;
    if (lstrcmpiW(tag.get(), L"BODY") == 0) break;
    if (IsRequestingTag(tag.get())) {
      // The band may have let go of this handler while the page ran.
      if (blocker_) blocker_->SetAllowFlag(true);
      break;
    }
    ComRef<IHTMLElement> parent;
    if (FAILED(element->get_parentElement(parent.Out()))) break;
    element = std::move(parent);
  }
  return DISP_E_MEMBERNOTFOUND;
}

// --- the window's before-unload

STDMETHODIMP TBWWindowEventHandler::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                           EXCEPINFO*, UINT*) {
  if (id == kDispidBeforeUnload && flag_) *flag_ = 1;
  return DISP_E_MEMBERNOTFOUND;
}

}  // namespace qv
