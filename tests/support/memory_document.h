// An HTML document built in memory for tests: a small element tree with
// text ranges, element rewriting and frames, following the browser's rules
// for the operations the commands use.
//
// Text ranges work on the body's text (the text nodes in document order):
// findText searches from the range's start to its end, case-insensitively
// unless kFindTextMatchCase is given, and with kFindTextWholeWord only where
// letters and digits do not continue the match on either side; pasteHTML
// replaces the range's text and collapses it after the pasted text;
// "Character" moves by characters and "Textedit" to the end of the text.
// The element collection is live: its enumerator walks the elements as they
// are when Next is called, so rewriting elements while walking shifts
// the ones after them. An element replaced through outerHTML is detached
// and cannot be rewritten again.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/document.h"

namespace qv::testing {

struct HtmlNode {
  bool isText = false;
  std::string text;  // text nodes: the decoded text
  std::string tag;   // elements: upper case
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<std::shared_ptr<HtmlNode>> children;
  HtmlNode* parent = nullptr;
};

class MemoryDocument : public Document {
 public:
  MemoryDocument(std::string url = "", std::string domain = "");

  // --- building and inspecting
  void SetBodyHtml(const std::string& html);
  void SetFrameset();  // the body is a FRAMESET: no text range
  void RemoveBody();
  std::string BodyHtml() const;
  std::string BodyText() const;
  void AddFrame(std::shared_ptr<Document> frame) { frames_.push_back(std::move(frame)); }
  // queryCommandEnabled("Bold") answers this (inside a TEXTAREA always no).
  void SetFormattingEnabled(bool enabled) { formatting_ = enabled; }
  void SetUrlReadable(bool readable) { urlReadable_ = readable; }
  // Counts the elements with tag SPAN and the given id.
  int CountSpans(const std::string& id) const;

  int focusCount = 0;
  struct Dialog {
    std::string url, argument, features;
  };
  std::vector<Dialog> dialogs;
  std::string defaultStatus;

  // --- Document
  bool GetUrl(std::string* url) override;
  bool GetDomain(std::string* domain) override;
  bool FocusWindow() override;
  bool ShowModalDialog(const std::string& url, const std::string& argument,
                       const std::string& features) override;
  bool SetDefaultStatus(const std::string& text) override;
  bool HasBody() override { return body_ != nullptr; }
  std::unique_ptr<TextRange> CreateBodyTextRange() override;
  std::unique_ptr<ElementEnumerator> EnumerateAll() override;
  long GetFrameCount() override { return static_cast<long>(frames_.size()); }
  std::shared_ptr<Document> GetFrameDocument(long index) override;

  // Shared with the ranges and elements of this document.
  std::shared_ptr<HtmlNode> body_;
  bool formatting_ = true;

 private:
  std::string url_;
  std::string domain_;
  bool urlReadable_ = true;
  std::vector<std::shared_ptr<Document>> frames_;
};

// Parsing and writing the small HTML subset the tests use.
std::vector<std::shared_ptr<HtmlNode>> ParseHtml(const std::string& html);
std::string WriteHtml(const HtmlNode& node);
std::string InnerHtml(const HtmlNode& node);

}  // namespace qv::testing
