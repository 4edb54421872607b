// The scripted browser's document object model: a document with its
// window, element collection, body and elements, text ranges over the
// body's text, frames, event objects and the document's and window's
// connection points.
#pragma once

#include "simulators/win32/scripted_com_browser.h"

namespace qv::sim {

class ScriptedElement;
class ScriptedWindow;

// Not in mingw's uuid library.
constexpr GUID kDiidHtmlDocumentEvents2 = {
    0x3050F613, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
constexpr GUID kDiidHtmlWindowEvents2 = {
    0x3050F625, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
constexpr GUID kIidCustomDoc = {
    0x3050F3F0, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

// The IDispatch part every scripted DOM object shares: no type
// information, no members by name.
#define QV_SIM_NO_DISPATCH                                                                  \
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {                                     \
    if (count) *count = 0;                                                                  \
    return S_OK;                                                                            \
  }                                                                                         \
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override {                              \
    return E_NOTIMPL;                                                                       \
  }                                                                                         \
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {             \
    return DISP_E_UNKNOWNNAME;                                                              \
  }                                                                                         \
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) \
      override {                                                                            \
    return DISP_E_MEMBERNOTFOUND;                                                           \
  }

#define QV_SIM_COUNTED                      \
  STDMETHODIMP_(ULONG) AddRef() override {  \
    return AddRefCounted();                 \
  }                                         \
  STDMETHODIMP_(ULONG) Release() override { \
    return ReleaseCounted();                \
  }

class ScriptedStyle final : public IHTMLStyleStub, public Counted {
 public:
  ScriptedStyle(ObjectLedger* ledger, const std::wstring& owner)
      : Counted(ledger, owner + L" style", false) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  QV_SIM_COUNTED
  QV_SIM_NO_DISPATCH
  STDMETHODIMP put_display(BSTR v) override;
  STDMETHODIMP get_display(BSTR* p) override;
  STDMETHODIMP put_visibility(BSTR v) override;
  STDMETHODIMP get_visibility(BSTR* p) override;
  STDMETHODIMP put_pixelHeight(LONG v) override;
  STDMETHODIMP get_pixelHeight(LONG* p) override;
  STDMETHODIMP put_pixelWidth(LONG v) override;
  STDMETHODIMP get_pixelWidth(LONG* p) override;
  std::wstring display, visibility;
  // -1 until set.
  LONG pixelHeight = -1, pixelWidth = -1;
};

// OBJECT elements also answer IHTMLObjectElement (their "classid"
// attribute) and EMBED elements IHTMLEmbedElement (their "src").
class ScriptedElement final : public IHTMLElementStub,
                              public IHTMLBodyElementStub,
                              public IHTMLObjectElementStub,
                              public IHTMLEmbedElementStub,
                              public Counted {
 public:
  ScriptedElement(ObjectLedger* ledger, ScriptedDocument* document, const PageElement& element,
                  ScriptedElement* parent);
  ~ScriptedElement() override;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  QV_SIM_COUNTED
  QV_SIM_NO_DISPATCH
  // IHTMLElement
  STDMETHODIMP get_tagName(BSTR* p) override;
  STDMETHODIMP get_id(BSTR* p) override;
  STDMETHODIMP get_parentElement(IHTMLElement** p) override;
  STDMETHODIMP get_style(IHTMLStyle** p) override;
  STDMETHODIMP get_innerText(BSTR* p) override;
  STDMETHODIMP get_innerHTML(BSTR* p) override;
  STDMETHODIMP put_outerHTML(BSTR v) override;
  STDMETHODIMP getAttribute(BSTR name, LONG flags, VARIANT* value) override;
  STDMETHODIMP setAttribute(BSTR name, VARIANT value, LONG flags) override;
  STDMETHODIMP get_document(IDispatch** p) override;
  // IHTMLBodyElement (the BODY element only)
  STDMETHODIMP createTextRange(IHTMLTxtRange** range) override;
  // IHTMLObjectElement, IHTMLEmbedElement
  STDMETHODIMP get_classid(BSTR* p) override;
  STDMETHODIMP get_src(BSTR* p) override;

  IHTMLElement* AsElement() { return static_cast<IHTMLElement*>(this); }
  const PageElement& Data() const { return data_; }
  bool Replaced() const { return replaced_; }
  const std::wstring& OuterHtmlSet() const { return outerHtml_; }
  const ScriptedStyle& Style() const { return *style_; }

 private:
  ScriptedDocument* document_;  // the owner: not counted
  ScriptedElement* parent_;     // owned by the same document
  ScriptedStyle* style_;
  PageElement data_;
  bool replaced_ = false;
  std::wstring outerHtml_;
};

class ScriptedDocument final : public IHTMLDocument2Stub,
                               public IConnectionPointContainer,
                               public IOleObjectStub,
                               public ICustomDoc,
                               public Counted {
 public:
  ScriptedDocument(ObjectLedger* ledger, const PageDescription& page, ScriptedClientSite* site,
                   std::vector<ScriptedWebBrowser*>* frames);
  ~ScriptedDocument() override;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  QV_SIM_COUNTED
  QV_SIM_NO_DISPATCH
  // IHTMLDocument2
  STDMETHODIMP get_all(IHTMLElementCollection** p) override;
  STDMETHODIMP get_body(IHTMLElement** p) override;
  STDMETHODIMP get_title(BSTR* p) override;
  STDMETHODIMP get_URL(BSTR* p) override;
  STDMETHODIMP get_domain(BSTR* p) override;
  STDMETHODIMP get_readyState(BSTR* p) override;
  STDMETHODIMP get_frames(IHTMLFramesCollection2** p) override;
  STDMETHODIMP get_parentWindow(IHTMLWindow2** p) override;
  // IConnectionPointContainer: HTMLDocumentEvents2 and IPropertyNotifySink
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;
  // IOleObject
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  // ICustomDoc
  STDMETHODIMP SetUIHandler(IDocHostUIHandler* handler) override;

  void SetComplete() { SetReadyState(L"complete"); }
  // "loading", "interactive" or "complete": the property-notify sinks
  // hear of every change.
  void SetReadyState(const std::wstring& state);
  // Mouse-down on element `index` (-1: the body) through the
  // HTMLDocumentEvents2 sinks; the event object is on the window while it
  // runs and, unless eventAsArgument is false (as older senders do), also
  // the argument. The sinks' answers; none when there is no such element.
  std::vector<HRESULT> FireMouseDown(int index, bool eventAsArgument = true);
  // The window's before-unload, through its HTMLWindowEvents2 sinks.
  std::vector<HRESULT> FireBeforeUnload();
  ScriptedWindow* Window() const { return window_; }
  ScriptedElement* Body() const { return elements_.front(); }
  // The page's elements, body first.
  const std::vector<ScriptedElement*>& Elements() const { return elements_; }
  std::wstring& Text() { return text_; }
  std::vector<std::wstring>& Pastes() { return pastes_; }
  const std::vector<std::wstring>& Pastes() const { return pastes_; }
  ConnectionPoint* Events() const { return events_; }
  ConnectionPoint* PropertySinks() const { return propertySinks_; }
  int UIHandlersSet() const { return uiHandlersSet_; }
  bool HoldsUIHandler() const { return uiHandler_ != nullptr; }
  const std::vector<ScriptedWebBrowser*>& FrameBrowsers() const { return frameBrowsers_; }
  ObjectLedger* Ledger() const { return ledger_; }

 private:
  ObjectLedger* ledger_;
  PageDescription page_;
  std::wstring text_;
  std::vector<std::wstring> pastes_;
  ScriptedClientSite* site_;  // the browser's, which outlives its documents
  ScriptedWindow* window_ = nullptr;
  ConnectionPoint* events_ = nullptr;
  ConnectionPoint* propertySinks_ = nullptr;
  std::vector<ScriptedElement*> elements_;
  std::vector<ScriptedWebBrowser*> frameBrowsers_;  // owned by the top browser
  IDocHostUIHandler* uiHandler_ = nullptr;
  int uiHandlersSet_ = 0;
  std::wstring readyState_ = L"loading";
};

class ScriptedWindow final : public IHTMLWindow2Stub,
                             public IConnectionPointContainer,
                             public Counted {
 public:
  ScriptedWindow(ObjectLedger* ledger, ScriptedDocument* document);
  ~ScriptedWindow() override;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  QV_SIM_COUNTED
  QV_SIM_NO_DISPATCH
  // IHTMLFramesCollection2: the window is its own frames collection.
  STDMETHODIMP item(VARIANT* index, VARIANT* result) override;
  STDMETHODIMP get_length(LONG* p) override;
  // IHTMLWindow2
  STDMETHODIMP get_frames(IHTMLFramesCollection2** p) override;
  STDMETHODIMP put_status(BSTR v) override;
  STDMETHODIMP get_status(BSTR* p) override;
  STDMETHODIMP put_defaultStatus(BSTR v) override;
  STDMETHODIMP get_defaultStatus(BSTR* p) override;
  STDMETHODIMP get_document(IHTMLDocument2** p) override;
  STDMETHODIMP get_event(IHTMLEventObj** p) override;
  STDMETHODIMP focus() override;
  // IConnectionPointContainer: HTMLWindowEvents2
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

  ConnectionPoint* Events() const { return events_; }
  void SetEvent(IHTMLEventObj* event) { event_ = event; }
  const std::wstring& Status() const { return status_; }
  const std::wstring& DefaultStatus() const { return defaultStatus_; }
  int Focused() const { return focused_; }

 private:
  ScriptedDocument* document_;  // the owner: not counted
  ConnectionPoint* events_;
  IHTMLEventObj* event_ = nullptr;  // only while an event is fired
  std::wstring status_, defaultStatus_;
  int focused_ = 0;
};

}  // namespace qv::sim
