// The document seam: the part of an HTML page (and its window) that the
// commands read and change. Texts are ANSI byte strings; the Win32 adapter
// converts from and to the document's wide strings.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qv {

// findText flags keep their MSHTML values.
inline constexpr long kFindTextWholeWord = 2;
inline constexpr long kFindTextMatchCase = 4;

// A text range over a document's body. Every operation answers false when
// the call itself failed.
class TextRange {
 public:
  virtual ~TextRange() = default;
  // Searches from the range's start to its end; on a match the range
  // becomes the match and *found is true.
  virtual bool FindText(const std::string& text, long count, long flags, bool* found) = 0;
  virtual bool GetHtmlText(std::string* html) = 0;
  // Replaces the range's content; the range then collapses to the end of
  // what was pasted.
  virtual bool PasteHtml(const std::string& html) = 0;
  virtual bool QueryCommandEnabled(const std::string& command, bool* enabled) = 0;
  // unit is "Character", "Word", "Sentence" or "Textedit".
  virtual bool MoveStart(const std::string& unit, long count) = 0;
  virtual bool MoveEnd(const std::string& unit, long count) = 0;
};

// An element's inline style (IHTMLStyle).
class ElementStyle {
 public:
  virtual ~ElementStyle() = default;
  virtual bool SetVisibility(const std::string& value) = 0;
  virtual bool SetPixelHeight(long pixels) = 0;
  virtual bool SetPixelWidth(long pixels) = 0;
};

class Element {
 public:
  virtual ~Element() = default;
  virtual bool GetId(std::string* id) = 0;
  virtual bool GetTagName(std::string* tag) = 0;
  virtual bool GetInnerHtml(std::string* html) = 0;
  virtual bool SetOuterHtml(const std::string& html) = 0;
  // The parent element; null at the top or when it cannot be read.
  virtual std::unique_ptr<Element> GetParent() { return nullptr; }
  // An OBJECT element's class id and an EMBED element's source; false for
  // other elements or when the property cannot be read.
  virtual bool GetClassId(std::string* classId) {
    (void)classId;
    return false;
  }
  virtual bool GetSource(std::string* source) {
    (void)source;
    return false;
  }
  // Null when the element has no style that can be changed.
  virtual std::unique_ptr<ElementStyle> GetStyle() { return nullptr; }
};

// The elements of one tag (all.tags(name)), read by index.
class ElementCollection {
 public:
  virtual ~ElementCollection() = default;
  // False when the length cannot be read.
  virtual bool GetLength(long* length) = 0;
  // Null when item index cannot be read.
  virtual std::unique_ptr<Element> Item(long index) = 0;
};

// The document's element collection ("all"), walked in document order.
class ElementEnumerator {
 public:
  virtual ~ElementEnumerator() = default;
  // The next element, or null at the end.
  virtual std::unique_ptr<Element> Next() = 0;
};

class Document {
 public:
  virtual ~Document() = default;

  virtual bool GetUrl(std::string* url) = 0;
  virtual bool GetDomain(std::string* domain) = 0;

  // The document's window (get_parentWindow): keyboard focus, modal HTML
  // dialog (a missing result argument; returns when the dialog closes) and
  // the default status text.
  virtual bool FocusWindow() = 0;
  virtual bool ShowModalDialog(const std::string& url, const std::string& argument,
                               const std::string& features) = 0;
  virtual bool SetDefaultStatus(const std::string& text) = 0;

  // False when the document has no body.
  virtual bool HasBody() = 0;
  // A text range over the body; null when the body is not a body element
  // (a frameset, for instance).
  virtual std::unique_ptr<TextRange> CreateBodyTextRange() = 0;
  virtual std::unique_ptr<ElementEnumerator> EnumerateAll() = 0;

  virtual long GetFrameCount() = 0;
  // The document of frame index; null when it cannot be reached.
  virtual std::shared_ptr<Document> GetFrameDocument(long index) = 0;

  // The elements with tag (upper case); null when the collection cannot be
  // obtained.
  virtual std::unique_ptr<ElementCollection> GetElementsByTag(const std::string& tag) {
    (void)tag;
    return nullptr;
  }
  // The documents of the web browsers embedded in this one (its frames,
  // reached through the document's container, which also reaches frames of
  // other sites). By default the frames of GetFrameDocument.
  virtual std::vector<std::shared_ptr<Document>> GetEmbeddedDocuments() {
    std::vector<std::shared_ptr<Document>> documents;
    const long count = GetFrameCount();
    for (long i = 0; i < count; ++i)
      if (std::shared_ptr<Document> frame = GetFrameDocument(i)) documents.push_back(frame);
    return documents;
  }
};

}  // namespace qv
