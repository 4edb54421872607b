#include "platform/win32/com_browser.h"

#include <string>
#include <vector>

#include "platform/win32/scoped.h"

namespace qv::win32 {
namespace {

// The browser application's class, started as a local server for a new
// window.
const CLSID kClsidInternetExplorer = {
    0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool ReadBstr(HRESULT hr, const Bstr& value, std::string* out) {
  if (FAILED(hr)) return false;
  *out = value.Text();
  return true;
}

class ComTextRange : public TextRange {
 public:
  explicit ComTextRange(ComRef<IHTMLTxtRange> range) : range_(std::move(range)) {}

  bool FindText(const std::string& text, long count, long flags, bool* found) override {
    VARIANT_BOOL result = VARIANT_FALSE;
    Bstr what(text);
    HRESULT hr = range_->findText(what.get(), count, flags, &result);
    *found = SUCCEEDED(hr) && result == VARIANT_TRUE;
    return SUCCEEDED(hr);
  }
  bool GetHtmlText(std::string* html) override {
    Bstr value;
    return ReadBstr(range_->get_htmlText(value.Out()), value, html);
  }
  bool PasteHtml(const std::string& html) override {
    Bstr value(html);
    return SUCCEEDED(range_->pasteHTML(value.get()));
  }
  bool QueryCommandEnabled(const std::string& command, bool* enabled) override {
    VARIANT_BOOL result = VARIANT_FALSE;
    Bstr name(command);
    HRESULT hr = range_->queryCommandEnabled(name.get(), &result);
    *enabled = result == VARIANT_TRUE;
    return SUCCEEDED(hr);
  }
  bool MoveStart(const std::string& unit, long count) override {
    long actual = 0;
    Bstr name(unit);
    return SUCCEEDED(range_->moveStart(name.get(), count, &actual));
  }
  bool MoveEnd(const std::string& unit, long count) override {
    long actual = 0;
    Bstr name(unit);
    return SUCCEEDED(range_->moveEnd(name.get(), count, &actual));
  }

 private:
  ComRef<IHTMLTxtRange> range_;
};

class ComStyle : public ElementStyle {
 public:
  explicit ComStyle(ComRef<IHTMLStyle> style) : style_(std::move(style)) {}
  bool SetVisibility(const std::string& value) override {
    Bstr text(value);
    return SUCCEEDED(style_->put_visibility(text.get()));
  }
  bool SetPixelHeight(long pixels) override { return SUCCEEDED(style_->put_pixelHeight(pixels)); }
  bool SetPixelWidth(long pixels) override { return SUCCEEDED(style_->put_pixelWidth(pixels)); }

 private:
  ComRef<IHTMLStyle> style_;
};

class ComElement : public Element {
 public:
  explicit ComElement(ComRef<IHTMLElement> element) : element_(std::move(element)) {}
  bool GetId(std::string* id) override {
    Bstr value;
    return ReadBstr(element_->get_id(value.Out()), value, id);
  }
  bool GetTagName(std::string* tag) override {
    Bstr value;
    return ReadBstr(element_->get_tagName(value.Out()), value, tag);
  }
  bool GetInnerHtml(std::string* html) override {
    Bstr value;
    return ReadBstr(element_->get_innerHTML(value.Out()), value, html);
  }
  bool SetOuterHtml(const std::string& html) override {
    Bstr value(html);
    return SUCCEEDED(element_->put_outerHTML(value.get()));
  }
  std::unique_ptr<Element> GetParent() override {
    ComRef<IHTMLElement> parent;
    if (FAILED(element_->get_parentElement(parent.Out())) || !parent) return nullptr;
    return std::make_unique<ComElement>(std::move(parent));
  }
  bool GetClassId(std::string* classId) override {
    auto object = element_.As<IHTMLObjectElement>(IID_IHTMLObjectElement);
    Bstr value;
    return object && ReadBstr(object->get_classid(value.Out()), value, classId);
  }
  bool GetSource(std::string* source) override {
    auto embed = element_.As<IHTMLEmbedElement>(IID_IHTMLEmbedElement);
    Bstr value;
    return embed && ReadBstr(embed->get_src(value.Out()), value, source);
  }
  std::unique_ptr<ElementStyle> GetStyle() override {
    ComRef<IHTMLStyle> style;
    if (FAILED(element_->get_style(style.Out())) || !style) return nullptr;
    return std::make_unique<ComStyle>(std::move(style));
  }

 private:
  ComRef<IHTMLElement> element_;
};

class ComElementCollection : public ElementCollection {
 public:
  explicit ComElementCollection(ComRef<IHTMLElementCollection> items) : items_(std::move(items)) {}
  bool GetLength(long* length) override { return SUCCEEDED(items_->get_length(length)); }
  std::unique_ptr<Element> Item(long index) override {
    Variant which, unused;
    which.get()->vt = VT_I4;
    which.get()->lVal = index;
    ComRef<IDispatch> item;
    if (FAILED(items_->item(*which.get(), *unused.get(), item.Out())) || !item) return nullptr;
    auto element = item.As<IHTMLElement>(IID_IHTMLElement);
    if (!element) return nullptr;
    return std::make_unique<ComElement>(std::move(element));
  }

 private:
  ComRef<IHTMLElementCollection> items_;
};

class ComElementEnumerator : public ElementEnumerator {
 public:
  explicit ComElementEnumerator(ComRef<IEnumVARIANT> items) : items_(std::move(items)) {}
  std::unique_ptr<Element> Next() override {
    // Elements that are not IHTMLElement (comments, for instance) are
    // passed over.
    for (;;) {
      Variant item;
      ULONG fetched = 0;
      if (items_->Next(1, item.Out(), &fetched) != S_OK || fetched != 1) return nullptr;
      if (item.get()->vt != VT_DISPATCH || item.get()->pdispVal == nullptr) continue;
      ComRef<IHTMLElement> element;
      item.get()->pdispVal->QueryInterface(IID_IHTMLElement, element.OutVoid());
      if (element) return std::make_unique<ComElement>(std::move(element));
    }
  }

 private:
  ComRef<IEnumVARIANT> items_;
};

class ComDocument : public Document {
 public:
  explicit ComDocument(ComRef<IHTMLDocument2> document) : document_(std::move(document)) {}

  bool GetUrl(std::string* url) override {
    Bstr value;
    return ReadBstr(document_->get_URL(value.Out()), value, url);
  }
  bool GetDomain(std::string* domain) override {
    Bstr value;
    return ReadBstr(document_->get_domain(value.Out()), value, domain);
  }
  bool FocusWindow() override {
    ComRef<IHTMLWindow2> window = Window();
    return window && SUCCEEDED(window->focus());
  }
  bool ShowModalDialog(const std::string& url, const std::string& argument,
                       const std::string& features) override {
    ComRef<IHTMLWindow2> window = Window();
    if (!window) return false;
    Bstr dialog(url);
    Variant in, options, out;
    in.SetText(argument);
    options.SetText(features);
    return SUCCEEDED(window->showModalDialog(dialog.get(), in.get(), options.get(), out.Out()));
  }
  bool SetDefaultStatus(const std::string& text) override {
    ComRef<IHTMLWindow2> window = Window();
    Bstr value(text);
    return window && SUCCEEDED(window->put_defaultStatus(value.get()));
  }
  bool HasBody() override { return static_cast<bool>(Body()); }
  std::unique_ptr<TextRange> CreateBodyTextRange() override {
    ComRef<IHTMLElement> body = Body();
    auto bodyElement = body.As<IHTMLBodyElement>(IID_IHTMLBodyElement);
    if (!bodyElement) return nullptr;
    ComRef<IHTMLTxtRange> range;
    if (FAILED(bodyElement->createTextRange(range.Out())) || !range) return nullptr;
    return std::make_unique<ComTextRange>(std::move(range));
  }
  std::unique_ptr<ElementEnumerator> EnumerateAll() override {
    ComRef<IHTMLElementCollection> all;
    if (FAILED(document_->get_all(all.Out())) || !all) return nullptr;
    ComRef<IUnknown> unknown;
    if (FAILED(all->get__newEnum(unknown.Out())) || !unknown) return nullptr;
    auto items = unknown.As<IEnumVARIANT>(IID_IEnumVARIANT);
    if (!items) return nullptr;
    return std::make_unique<ComElementEnumerator>(std::move(items));
  }
  long GetFrameCount() override {
    ComRef<IHTMLFramesCollection2> frames = Frames();
    long length = 0;
    if (!frames || FAILED(frames->get_length(&length))) return 0;
    return length;
  }
  std::shared_ptr<Document> GetFrameDocument(long index) override {
    ComRef<IHTMLFramesCollection2> frames = Frames();
    if (!frames) return nullptr;
    Variant which, result;
    which.get()->vt = VT_I4;
    which.get()->lVal = index;
    if (FAILED(frames->item(which.get(), result.Out()))) return nullptr;
    if (result.get()->vt != VT_DISPATCH || result.get()->pdispVal == nullptr) return nullptr;
    ComRef<IHTMLWindow2> window;
    result.get()->pdispVal->QueryInterface(IID_IHTMLWindow2, window.OutVoid());
    if (!window) return nullptr;
    ComRef<IHTMLDocument2> document;
    if (FAILED(window->get_document(document.Out())) || !document) return nullptr;
    return std::make_shared<ComDocument>(std::move(document));
  }
  std::unique_ptr<ElementCollection> GetElementsByTag(const std::string& tag) override {
    ComRef<IHTMLElementCollection> all;
    if (FAILED(document_->get_all(all.Out())) || !all) return nullptr;
    Variant name;
    name.SetText(tag);
    ComRef<IDispatch> tagged;
    if (FAILED(all->tags(*name.get(), tagged.Out())) || !tagged) return nullptr;
    auto items = tagged.As<IHTMLElementCollection>(IID_IHTMLElementCollection);
    if (!items) return nullptr;
    return std::make_unique<ComElementCollection>(std::move(items));
  }
  std::vector<std::shared_ptr<Document>> GetEmbeddedDocuments() override {
    // The container reaches every embedded browser, frames of other sites
    // too; a document without one is walked through its frames.
    auto container = document_.As<IOleContainer>(IID_IOleContainer);
    ComRef<IEnumUnknown> objects;
    if (!container || FAILED(container->EnumObjects(OLECONTF_EMBEDDINGS, objects.Out())) ||
        !objects)
      return Document::GetEmbeddedDocuments();
    std::vector<std::shared_ptr<Document>> documents;
    // Bounded: an enumerator that never ends must not keep the page.
    for (int i = 0; i < 10000; ++i) {
      ComRef<IUnknown> object;
      ULONG fetched = 0;
      if (objects->Next(1, object.Out(), &fetched) != S_OK || fetched != 1 || !object) break;
      auto browser = object.As<IWebBrowser2>(IID_IWebBrowser2);
      ComRef<IDispatch> dispatch;
      if (!browser || FAILED(browser->get_Document(dispatch.Out())) || !dispatch) continue;
      if (auto document = dispatch.As<IHTMLDocument2>(IID_IHTMLDocument2))
        documents.push_back(std::make_shared<ComDocument>(std::move(document)));
    }
    return documents;
  }

 private:
  ComRef<IHTMLWindow2> Window() {
    ComRef<IHTMLWindow2> window;
    document_->get_parentWindow(window.Out());
    return window;
  }
  ComRef<IHTMLElement> Body() {
    ComRef<IHTMLElement> body;
    document_->get_body(body.Out());
    return body;
  }
  ComRef<IHTMLFramesCollection2> Frames() {
    ComRef<IHTMLFramesCollection2> frames;
    document_->get_frames(frames.Out());
    return frames;
  }

  ComRef<IHTMLDocument2> document_;
};

// A SAFEARRAY of bytes holding the body, without a terminating zero.
SAFEARRAY* ByteArray(const std::string& bytes) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (array == nullptr || bytes.empty()) return array;
  void* data = nullptr;
  if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
    memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
  }
  return array;
}

class ComBrowser : public Browser {
 public:
  explicit ComBrowser(ComRef<IWebBrowser2> browser) : browser_(std::move(browser)) {}

  bool Navigate2(const NavigateRequest& request) override {
    Variant url, flags, target, post, headers;
    url.SetText(request.url);
    if (request.target) target.SetText(*request.target);
    if (request.postData) {
      post.get()->vt = VT_ARRAY | VT_UI1;
      post.get()->parray = ByteArray(*request.postData);
    }
    if (request.headers) headers.SetText(*request.headers);
    return SUCCEEDED(
        browser_->Navigate2(url.get(), flags.get(), target.get(), post.get(), headers.get()));
  }
  std::unique_ptr<Browser> CreateNewWindow() override {
    ComRef<IWebBrowser2> window;
    if (FAILED(CoCreateInstance(kClsidInternetExplorer, nullptr, CLSCTX_LOCAL_SERVER,
                                IID_IWebBrowser2, window.OutVoid())) ||
        !window)
      return nullptr;
    return std::make_unique<ComBrowser>(std::move(window));
  }
  bool SetVisible(bool visible) override {
    return SUCCEEDED(browser_->put_Visible(visible ? VARIANT_TRUE : VARIANT_FALSE));
  }
  bool GetLocationUrl(std::string* url) override {
    Bstr value;
    return ReadBstr(browser_->get_LocationURL(value.Out()), value, url);
  }
  std::shared_ptr<Document> GetDocument() override {
    ComRef<IDispatch> dispatch;
    if (FAILED(browser_->get_Document(dispatch.Out())) || !dispatch) return nullptr;
    auto document = dispatch.As<IHTMLDocument2>(IID_IHTMLDocument2);
    if (!document) return nullptr;
    return std::make_shared<ComDocument>(std::move(document));
  }
  bool SetStatusText(const std::string& text) override {
    Bstr value(text);
    return SUCCEEDED(browser_->put_StatusText(value.get()));
  }
  bool ShowBrowserBar(const std::string& clsid, bool show) override {
    Variant bar, visible, size;
    bar.SetText(clsid);
    visible.get()->vt = VT_BOOL;
    visible.get()->boolVal = show ? VARIANT_TRUE : VARIANT_FALSE;
    return SUCCEEDED(browser_->ShowBrowserBar(bar.get(), visible.get(), size.get()));
  }
  bool Quit() override { return SUCCEEDED(browser_->Quit()); }

 private:
  ComRef<IWebBrowser2> browser_;
};

}  // namespace

std::unique_ptr<Browser> WrapWebBrowser(IWebBrowser2* browser) {
  if (browser == nullptr) return nullptr;
  return std::make_unique<ComBrowser>(ComRef<IWebBrowser2>::Share(browser));
}

std::shared_ptr<Document> WrapDocument(IHTMLDocument2* document) {
  if (document == nullptr) return nullptr;
  return std::make_shared<ComDocument>(ComRef<IHTMLDocument2>::Share(document));
}

}  // namespace qv::win32
