// The document seam: the part of an HTML page (and its window) that the
// commands read and change. Texts are ANSI byte strings; the Win32 adapter
// converts from and to the document's wide strings.
#pragma once

#include <memory>
#include <string>

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

class Element {
 public:
  virtual ~Element() = default;
  virtual bool GetId(std::string* id) = 0;
  virtual bool GetTagName(std::string* tag) = 0;
  virtual bool GetInnerHtml(std::string* html) = 0;
  virtual bool SetOuterHtml(const std::string& html) = 0;
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
};

}  // namespace qv
