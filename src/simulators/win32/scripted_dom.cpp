#include "simulators/win32/scripted_dom.h"

#include <mshtmdid.h>

#include <algorithm>
#include <cwctype>

namespace qv::sim {
namespace {

BSTR ToBstr(const std::wstring& text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::wstring FromBstr(BSTR text) {
  return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring EscapeHtml(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'&')
      out += L"&amp;";
    else if (c == L'<')
      out += L"&lt;";
    else if (c == L'>')
      out += L"&gt;";
    else
      out += c;
  }
  return out;
}

// The text a piece of mark-up shows: its tags dropped, &nbsp; a space.
std::wstring PlainText(const std::wstring& html) {
  std::wstring out;
  bool inTag = false;
  for (size_t i = 0; i < html.size(); ++i) {
    if (html[i] == L'<') inTag = true;
    if (!inTag) {
      if (html.compare(i, 6, L"&nbsp;") == 0) {
        out += L' ';
        i += 5;
        continue;
      }
      out += html[i];
    }
    if (html[i] == L'>') inTag = false;
  }
  return out;
}

bool IsWordChar(wchar_t c) {
  return std::iswalnum(c) || c == L'_';
}

template <typename T>
HRESULT Give(T* object, T** out) {
  if (out == nullptr) return E_POINTER;
  *out = object;
  if (object) object->AddRef();
  return S_OK;
}

// A text range over the body's text; [start, end) in characters.
class ScriptedTextRange final : public IHTMLTxtRangeStub, public Counted {
 public:
  ScriptedTextRange(ScriptedDocument* document, size_t start, size_t end)
      : Counted(document->Ledger(), L"text range", true),
        document_(document),
        start_(start),
        end_(end) {
    document_->AddRef();
  }
  ~ScriptedTextRange() override { document_->Release(); }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, IID_IHTMLTxtRange))
      *out = static_cast<IHTMLTxtRange*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  QV_SIM_COUNTED
  QV_SIM_NO_DISPATCH

  STDMETHODIMP get_text(BSTR* p) override {
    *p = ToBstr(Slice());
    return S_OK;
  }
  STDMETHODIMP get_htmlText(BSTR* p) override {
    *p = ToBstr(EscapeHtml(Slice()));
    return S_OK;
  }
  STDMETHODIMP pasteHTML(BSTR html) override {
    std::wstring markup = FromBstr(html);
    document_->Pastes().push_back(markup);
    std::wstring& text = document_->Text();
    Clamp();
    const std::wstring shown = PlainText(markup);
    text.replace(start_, end_ - start_, shown);
    start_ = end_ = start_ + shown.size();
    return S_OK;
  }
  STDMETHODIMP collapse(VARIANT_BOOL start) override {
    if (start)
      end_ = start_;
    else
      start_ = end_;
    return S_OK;
  }
  STDMETHODIMP findText(BSTR what, LONG, LONG flags, VARIANT_BOOL* found) override {
    *found = VARIANT_FALSE;
    const std::wstring word = Lower(FromBstr(what));
    Clamp();
    if (word.empty()) return S_OK;
    const std::wstring text = Lower(document_->Text());
    for (size_t at = text.find(word, start_); at != std::wstring::npos && at + word.size() <= end_;
         at = text.find(word, at + 1)) {
      const size_t after = at + word.size();
      // FINDTEXT_WHOLEWORD: neither neighbour continues the word.
      if ((flags & 2) && ((at > 0 && IsWordChar(text[at - 1])) ||
                          (after < text.size() && IsWordChar(text[after]))))
        continue;
      start_ = at;
      end_ = after;
      *found = VARIANT_TRUE;
      return S_OK;
    }
    return S_OK;
  }
  STDMETHODIMP moveStart(BSTR unit, LONG count, LONG* actual) override {
    return Move(unit, count, &start_, actual);
  }
  STDMETHODIMP moveEnd(BSTR unit, LONG count, LONG* actual) override {
    return Move(unit, count, &end_, actual);
  }
  STDMETHODIMP queryCommandEnabled(BSTR, VARIANT_BOOL* enabled) override {
    *enabled = VARIANT_TRUE;
    return S_OK;
  }
  STDMETHODIMP duplicate(IHTMLTxtRange** range) override {
    *range = new ScriptedTextRange(document_, start_, end_);
    return S_OK;
  }

 private:
  std::wstring Slice() {
    Clamp();
    return document_->Text().substr(start_, end_ - start_);
  }
  void Clamp() {
    const size_t size = document_->Text().size();
    end_ = std::min(end_, size);
    start_ = std::min(start_, end_);
  }
  // "character" moves by characters, "textedit" to either end of the text.
  HRESULT Move(BSTR unit, LONG count, size_t* point, LONG* actual) {
    const std::wstring name = Lower(FromBstr(unit));
    const size_t size = document_->Text().size();
    const size_t before = *point;
    if (name == L"character") {
      const long long moved = static_cast<long long>(*point) + count;
      *point = static_cast<size_t>(std::clamp<long long>(moved, 0, static_cast<long long>(size)));
    } else if (name == L"textedit") {
      *point = count > 0 ? size : 0;
    } else {
      return E_INVALIDARG;
    }
    if (end_ < start_) {
      if (point == &start_)
        end_ = start_;
      else
        start_ = end_;
    }
    if (actual) *actual = static_cast<LONG>(*point) - static_cast<LONG>(before);
    return S_OK;
  }

  ScriptedDocument* document_;
  size_t start_, end_;
};

class ScriptedEnum final : public IEnumVARIANT, public Counted {
 public:
  ScriptedEnum(ObjectLedger* ledger, std::vector<ScriptedElement*> items, IUnknown* owner)
      : Counted(ledger, L"element enumerator", true), items_(std::move(items)), owner_(owner) {
    owner_->AddRef();
  }
  ~ScriptedEnum() override { owner_->Release(); }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumVARIANT))
      *out = static_cast<IEnumVARIANT*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  QV_SIM_COUNTED
  STDMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override {
    ULONG n = 0;
    for (; n < count && next_ < items_.size(); ++n, ++next_) {
      VariantInit(&items[n]);
      items[n].vt = VT_DISPATCH;
      items[n].pdispVal = static_cast<IHTMLElement*>(items_[next_]);
      items[n].pdispVal->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    next_ = std::min<size_t>(items_.size(), next_ + count);
    return next_ < items_.size() ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    next_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

 private:
  std::vector<ScriptedElement*> items_;  // kept alive by the owner
  IUnknown* owner_;
  size_t next_ = 0;
};

// A collection over elements of one document: all of them or those of one
// tag. The elements' document keeps them alive while the collection holds
// a reference to it.
class ScriptedCollection final : public IHTMLElementCollectionStub, public Counted {
 public:
  ScriptedCollection(ScriptedDocument* document, std::vector<ScriptedElement*> items)
      : Counted(document->Ledger(), L"element collection", true),
        document_(document),
        items_(std::move(items)) {
    document_->AddRef();
  }
  ~ScriptedCollection() override { document_->Release(); }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, IID_IHTMLElementCollection))
      *out = static_cast<IHTMLElementCollection*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  QV_SIM_COUNTED
  QV_SIM_NO_DISPATCH
  STDMETHODIMP get_length(LONG* p) override {
    *p = static_cast<LONG>(Live().size());
    return S_OK;
  }
  STDMETHODIMP get__newEnum(IUnknown** p) override {
    *p = static_cast<IEnumVARIANT*>(
        new ScriptedEnum(document_->Ledger(), Live(), static_cast<IHTMLElementCollection*>(this)));
    return S_OK;
  }
  STDMETHODIMP item(VARIANT name, VARIANT index, IDispatch** p) override {
    *p = nullptr;
    std::vector<ScriptedElement*> live = Live();
    if (name.vt == VT_I4 || name.vt == VT_I2) {
      const long at = name.vt == VT_I4 ? name.lVal : name.iVal;
      if (at < 0 || static_cast<size_t>(at) >= live.size()) return S_OK;
      *p = live[at]->AsElement();
    } else if (name.vt == VT_BSTR) {
      const long which = index.vt == VT_I4 ? index.lVal : 0;
      long seen = 0;
      for (ScriptedElement* element : live)
        if (element->Data().id == FromBstr(name.bstrVal) && seen++ == which) {
          *p = element->AsElement();
          break;
        }
    } else {
      return E_INVALIDARG;
    }
    if (*p) (*p)->AddRef();
    return S_OK;
  }
  STDMETHODIMP tags(VARIANT tag, IDispatch** p) override {
    if (tag.vt != VT_BSTR) return E_INVALIDARG;
    const std::wstring wanted = Lower(FromBstr(tag.bstrVal));
    std::vector<ScriptedElement*> matching;
    for (ScriptedElement* element : Live())
      if (Lower(element->Data().tag) == wanted) matching.push_back(element);
    *p = static_cast<IHTMLElementCollection*>(new ScriptedCollection(document_, matching));
    return S_OK;
  }

 private:
  // Elements replaced through outerHTML have left the page.
  std::vector<ScriptedElement*> Live() const {
    std::vector<ScriptedElement*> live;
    for (ScriptedElement* element : items_)
      if (!element->Replaced()) live.push_back(element);
    return live;
  }
  ScriptedDocument* document_;
  std::vector<ScriptedElement*> items_;
};

class ScriptedEventObj final : public IHTMLEventObjStub, public Counted {
 public:
  ScriptedEventObj(ObjectLedger* ledger, ScriptedElement* source, std::wstring type)
      : Counted(ledger, L"event object", true), source_(source), type_(std::move(type)) {
    if (source_) source_->AddRef();
  }
  ~ScriptedEventObj() override {
    if (source_) source_->Release();
  }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, IID_IHTMLEventObj))
      *out = static_cast<IHTMLEventObj*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  QV_SIM_COUNTED
  QV_SIM_NO_DISPATCH
  STDMETHODIMP get_srcElement(IHTMLElement** p) override {
    return Give<IHTMLElement>(source_ ? source_->AsElement() : nullptr, p);
  }
  STDMETHODIMP get_type(BSTR* p) override {
    *p = ToBstr(type_);
    return S_OK;
  }
  STDMETHODIMP get_button(LONG* p) override {
    *p = 1;
    return S_OK;
  }

 private:
  ScriptedElement* source_;
  std::wstring type_;
};

// An event object for the scripted page's mouse-down and before-unload.
IHTMLEventObj* NewEventObject(ObjectLedger* ledger, ScriptedElement* source,
                              const std::wstring& type) {
  return new ScriptedEventObj(ledger, source, type);
}

}  // namespace

// --- style

STDMETHODIMP ScriptedStyle::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_IHTMLStyle))
    *out = static_cast<IHTMLStyle*>(this);
  if (*out == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}
STDMETHODIMP ScriptedStyle::put_display(BSTR v) {
  display = FromBstr(v);
  return S_OK;
}
STDMETHODIMP ScriptedStyle::get_display(BSTR* p) {
  *p = ToBstr(display);
  return S_OK;
}
STDMETHODIMP ScriptedStyle::put_visibility(BSTR v) {
  visibility = FromBstr(v);
  return S_OK;
}
STDMETHODIMP ScriptedStyle::get_visibility(BSTR* p) {
  *p = ToBstr(visibility);
  return S_OK;
}
STDMETHODIMP ScriptedStyle::put_pixelHeight(LONG v) {
  pixelHeight = v;
  return S_OK;
}
STDMETHODIMP ScriptedStyle::get_pixelHeight(LONG* p) {
  *p = pixelHeight;
  return S_OK;
}
STDMETHODIMP ScriptedStyle::put_pixelWidth(LONG v) {
  pixelWidth = v;
  return S_OK;
}
STDMETHODIMP ScriptedStyle::get_pixelWidth(LONG* p) {
  *p = pixelWidth;
  return S_OK;
}

// --- element

ScriptedElement::ScriptedElement(ObjectLedger* ledger, ScriptedDocument* document,
                                 const PageElement& element, ScriptedElement* parent)
    : Counted(ledger, L"element " + element.tag + (element.id.empty() ? L"" : L"#" + element.id),
              false),
      document_(document),
      parent_(parent),
      style_(new ScriptedStyle(ledger, element.tag)),
      data_(element) {}

ScriptedElement::~ScriptedElement() {
  style_->Release();
}

STDMETHODIMP ScriptedElement::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_IHTMLElement))
    *out = static_cast<IHTMLElement*>(this);
  else if (IsEqualIID(iid, IID_IHTMLBodyElement) && data_.tag == L"BODY")
    *out = static_cast<IHTMLBodyElement*>(this);
  else if (IsEqualIID(iid, IID_IHTMLObjectElement) && data_.tag == L"OBJECT")
    *out = static_cast<IHTMLObjectElement*>(this);
  else if (IsEqualIID(iid, IID_IHTMLEmbedElement) && data_.tag == L"EMBED")
    *out = static_cast<IHTMLEmbedElement*>(this);
  if (*out == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP ScriptedElement::get_tagName(BSTR* p) {
  *p = ToBstr(data_.tag);
  return S_OK;
}
STDMETHODIMP ScriptedElement::get_id(BSTR* p) {
  *p = ToBstr(data_.id);
  return S_OK;
}
STDMETHODIMP ScriptedElement::get_parentElement(IHTMLElement** p) {
  return Give<IHTMLElement>(parent_ ? parent_->AsElement() : nullptr, p);
}
STDMETHODIMP ScriptedElement::get_style(IHTMLStyle** p) {
  return Give<IHTMLStyle>(style_, p);
}
STDMETHODIMP ScriptedElement::get_innerText(BSTR* p) {
  *p = ToBstr(data_.tag == L"BODY" ? document_->Text() : data_.text);
  return S_OK;
}
STDMETHODIMP ScriptedElement::get_innerHTML(BSTR* p) {
  *p = ToBstr(EscapeHtml(data_.tag == L"BODY" ? document_->Text() : data_.text));
  return S_OK;
}
STDMETHODIMP ScriptedElement::put_outerHTML(BSTR v) {
  outerHtml_ = FromBstr(v);
  replaced_ = true;
  return S_OK;
}
namespace {
std::wstring AttributeOf(const PageElement& element, const std::wstring& name) {
  for (const auto& [key, text] : element.attributes)
    if (Lower(key) == name) return text;
  return L"";
}
}  // namespace

STDMETHODIMP ScriptedElement::get_classid(BSTR* p) {
  *p = ToBstr(AttributeOf(data_, L"classid"));
  return S_OK;
}

STDMETHODIMP ScriptedElement::get_src(BSTR* p) {
  *p = ToBstr(AttributeOf(data_, L"src"));
  return S_OK;
}

STDMETHODIMP ScriptedElement::getAttribute(BSTR name, LONG, VARIANT* value) {
  VariantInit(value);
  const std::wstring wanted = Lower(FromBstr(name));
  if (wanted == L"id") {
    value->vt = VT_BSTR;
    value->bstrVal = ToBstr(data_.id);
    return S_OK;
  }
  for (const auto& [key, text] : data_.attributes)
    if (Lower(key) == wanted) {
      value->vt = VT_BSTR;
      value->bstrVal = ToBstr(text);
      return S_OK;
    }
  value->vt = VT_NULL;
  return S_OK;
}
STDMETHODIMP ScriptedElement::setAttribute(BSTR name, VARIANT value, LONG) {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, &value, 0, VT_BSTR))) return E_INVALIDARG;
  const std::wstring key = FromBstr(name);
  bool set = false;
  for (auto& [existing, current] : data_.attributes)
    if (Lower(existing) == Lower(key)) {
      current = FromBstr(text.bstrVal);
      set = true;
    }
  if (!set) data_.attributes.emplace_back(key, FromBstr(text.bstrVal));
  VariantClear(&text);
  return S_OK;
}
STDMETHODIMP ScriptedElement::get_document(IDispatch** p) {
  return Give<IDispatch>(static_cast<IHTMLDocument2*>(document_), p);
}
STDMETHODIMP ScriptedElement::createTextRange(IHTMLTxtRange** range) {
  if (range == nullptr) return E_POINTER;
  *range = new ScriptedTextRange(document_, 0, document_->Text().size());
  return S_OK;
}

// --- document

ScriptedDocument::ScriptedDocument(ObjectLedger* ledger, const PageDescription& page,
                                   ScriptedClientSite* site,
                                   std::vector<ScriptedWebBrowser*>* frames)
    : Counted(ledger, L"document " + page.url, false),
      ledger_(ledger),
      page_(page),
      text_(page.bodyText),
      site_(site),
      frameBrowsers_(*frames) {
  window_ = new ScriptedWindow(ledger, this);
  events_ = new ConnectionPoint(ledger, L"HTMLDocumentEvents2 of " + page.url, this,
                                kDiidHtmlDocumentEvents2);
  propertySinks_ = new ConnectionPoint(ledger, L"IPropertyNotifySink of " + page.url, this,
                                       IID_IPropertyNotifySink);
  PageElement body;
  body.tag = L"BODY";
  elements_.push_back(new ScriptedElement(ledger, this, body, nullptr));
  for (const PageElement& element : page.elements) {
    // Only an earlier element can hold this one: no cycles.
    const bool nested =
        element.parent >= 0 && static_cast<size_t>(element.parent) + 1 < elements_.size();
    elements_.push_back(new ScriptedElement(
        ledger, this, element, nested ? elements_[element.parent + 1] : elements_.front()));
  }
}

ScriptedDocument::~ScriptedDocument() {
  if (uiHandler_) uiHandler_->Release();
  // Children before the body they point to.
  for (auto it = elements_.rbegin(); it != elements_.rend(); ++it) (*it)->Release();
  propertySinks_->Release();
  events_->Release();
  window_->Release();
}

STDMETHODIMP ScriptedDocument::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_IHTMLDocument) || IsEqualIID(iid, IID_IHTMLDocument2))
    *out = static_cast<IHTMLDocument2*>(this);
  else if (IsEqualIID(iid, IID_IConnectionPointContainer))
    *out = static_cast<IConnectionPointContainer*>(this);
  else if (IsEqualIID(iid, IID_IOleObject))
    *out = static_cast<IOleObject*>(this);
  else if (IsEqualIID(iid, kIidCustomDoc))
    *out = static_cast<ICustomDoc*>(this);
  if (*out == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP ScriptedDocument::get_all(IHTMLElementCollection** p) {
  *p = new ScriptedCollection(this, elements_);
  return S_OK;
}
STDMETHODIMP ScriptedDocument::get_body(IHTMLElement** p) {
  return Give<IHTMLElement>(Body()->AsElement(), p);
}
STDMETHODIMP ScriptedDocument::get_title(BSTR* p) {
  *p = ToBstr(page_.title);
  return S_OK;
}
STDMETHODIMP ScriptedDocument::get_URL(BSTR* p) {
  *p = ToBstr(page_.url);
  return S_OK;
}
STDMETHODIMP ScriptedDocument::get_domain(BSTR* p) {
  // The host of scheme://host[:port]/path.
  std::wstring host;
  const size_t scheme = page_.url.find(L"://");
  if (scheme != std::wstring::npos) {
    host = page_.url.substr(scheme + 3);
    host = host.substr(0, host.find_first_of(L"/:?#"));
  }
  *p = ToBstr(host);
  return S_OK;
}
STDMETHODIMP ScriptedDocument::get_readyState(BSTR* p) {
  *p = ToBstr(readyState_);
  return S_OK;
}
STDMETHODIMP ScriptedDocument::get_frames(IHTMLFramesCollection2** p) {
  return Give<IHTMLFramesCollection2>(window_, p);
}
STDMETHODIMP ScriptedDocument::get_parentWindow(IHTMLWindow2** p) {
  return Give<IHTMLWindow2>(window_, p);
}
STDMETHODIMP ScriptedDocument::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, kDiidHtmlDocumentEvents2)) return Give<IConnectionPoint>(events_, out);
  if (IsEqualIID(iid, IID_IPropertyNotifySink)) return Give<IConnectionPoint>(propertySinks_, out);
  return CONNECT_E_NOCONNECTION;
}
STDMETHODIMP ScriptedDocument::GetClientSite(IOleClientSite** site) {
  return Give<IOleClientSite>(site_, site);
}
STDMETHODIMP ScriptedDocument::SetUIHandler(IDocHostUIHandler* handler) {
  ++uiHandlersSet_;
  if (handler) handler->AddRef();
  if (uiHandler_) uiHandler_->Release();
  uiHandler_ = handler;
  return S_OK;
}
void ScriptedDocument::SetReadyState(const std::wstring& state) {
  readyState_ = state;
  propertySinks_->Changed(DISPID_READYSTATE);
}

std::vector<HRESULT> ScriptedDocument::FireMouseDown(int index, bool eventAsArgument) {
  const size_t at = index < 0 ? 0 : static_cast<size_t>(index) + 1;
  if (at >= elements_.size()) return {};
  IHTMLEventObj* event = NewEventObject(ledger_, elements_[at], L"mousedown");
  window_->SetEvent(event);
  VARIANT arg;
  arg.vt = VT_DISPATCH;
  arg.pdispVal = event;
  DISPPARAMS params{&arg, nullptr, 1, 0};
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  std::vector<HRESULT> answers =
      events_->Invoke(DISPID_HTMLDOCUMENTEVENTS2_ONMOUSEDOWN, eventAsArgument ? &params : &none);
  window_->SetEvent(nullptr);
  event->Release();
  return answers;
}

std::vector<HRESULT> ScriptedDocument::FireBeforeUnload() {
  IHTMLEventObj* event = NewEventObject(ledger_, nullptr, L"beforeunload");
  window_->SetEvent(event);
  VARIANT arg;
  arg.vt = VT_DISPATCH;
  arg.pdispVal = event;
  DISPPARAMS params{&arg, nullptr, 1, 0};
  std::vector<HRESULT> answers =
      window_->Events()->Invoke(DISPID_HTMLWINDOWEVENTS2_ONBEFOREUNLOAD, &params);
  window_->SetEvent(nullptr);
  event->Release();
  return answers;
}

// --- window

ScriptedWindow::ScriptedWindow(ObjectLedger* ledger, ScriptedDocument* document)
    : Counted(ledger, L"window", false),
      document_(document),
      events_(new ConnectionPoint(ledger, L"HTMLWindowEvents2", this, kDiidHtmlWindowEvents2)) {}

ScriptedWindow::~ScriptedWindow() {
  events_->Release();
}

STDMETHODIMP ScriptedWindow::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_IHTMLWindow2) || IsEqualIID(iid, IID_IHTMLFramesCollection2))
    *out = static_cast<IHTMLWindow2*>(this);
  else if (IsEqualIID(iid, IID_IConnectionPointContainer))
    *out = static_cast<IConnectionPointContainer*>(this);
  if (*out == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP ScriptedWindow::item(VARIANT* index, VARIANT* result) {
  if (index == nullptr || result == nullptr) return E_POINTER;
  VariantInit(result);
  if (index->vt != VT_I4) return E_INVALIDARG;
  const auto& frames = document_->FrameBrowsers();
  if (index->lVal < 0 || static_cast<size_t>(index->lVal) >= frames.size()) return E_INVALIDARG;
  ScriptedDocument* frame = frames[index->lVal]->CurrentDocument();
  if (frame == nullptr) return E_FAIL;
  result->vt = VT_DISPATCH;
  result->pdispVal = static_cast<IHTMLWindow2*>(frame->Window());
  result->pdispVal->AddRef();
  return S_OK;
}
STDMETHODIMP ScriptedWindow::get_length(LONG* p) {
  *p = static_cast<LONG>(document_->FrameBrowsers().size());
  return S_OK;
}
STDMETHODIMP ScriptedWindow::get_frames(IHTMLFramesCollection2** p) {
  return Give<IHTMLFramesCollection2>(this, p);
}
STDMETHODIMP ScriptedWindow::put_status(BSTR v) {
  status_ = FromBstr(v);
  return S_OK;
}
STDMETHODIMP ScriptedWindow::get_status(BSTR* p) {
  *p = ToBstr(status_);
  return S_OK;
}
STDMETHODIMP ScriptedWindow::put_defaultStatus(BSTR v) {
  defaultStatus_ = FromBstr(v);
  return S_OK;
}
STDMETHODIMP ScriptedWindow::get_defaultStatus(BSTR* p) {
  *p = ToBstr(defaultStatus_);
  return S_OK;
}
STDMETHODIMP ScriptedWindow::get_document(IHTMLDocument2** p) {
  return Give<IHTMLDocument2>(document_, p);
}
STDMETHODIMP ScriptedWindow::get_event(IHTMLEventObj** p) {
  return Give<IHTMLEventObj>(event_, p);
}
STDMETHODIMP ScriptedWindow::focus() {
  ++focused_;
  return S_OK;
}
STDMETHODIMP ScriptedWindow::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, kDiidHtmlWindowEvents2)) return Give<IConnectionPoint>(events_, out);
  return CONNECT_E_NOCONNECTION;
}

}  // namespace qv::sim
