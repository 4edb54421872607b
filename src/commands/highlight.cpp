#include "commands/highlight.h"

#include <memory>

#include "commands/command_host.h"
#include "commands/history.h"
#include "platform/document.h"
#include "platform/toolbar_surface.h"
#include "settings/settings.h"

namespace qv::commands {
namespace {

// Frames nest only as deep as pages do; the cap keeps a document that
// (wrongly) contains itself from recursing without end.
constexpr int kMaxFrameDepth = 32;
// Every round of the search moves the range forward by at least one
// character; the cap only guards against a range that does not move.
constexpr int kMaxMatchesPerDocument = 1000000;

int HighlightIn(Document& doc, const std::string& word, long flags, const std::string& style,
                const std::string& id, int depth) {
  if (!doc.HasBody()) return 0;
  int marks = 0;
  if (std::unique_ptr<TextRange> range = doc.CreateBodyTextRange()) {
    for (int round = 0; round < kMaxMatchesPerDocument; ++round) {
      bool found = false;
      if (!range->FindText(word, 0, flags, &found) || !found) break;
      std::string html;
      if (!range->GetHtmlText(&html)) break;
      std::string markup = "<span id='" + id + "' style='" + style + "'>" +
                           (word == " " ? std::string("&nbsp;") : html) + "</span>";
      bool enabled = false;
      if (range->QueryCommandEnabled("Bold", &enabled) && enabled && range->PasteHtml(markup))
        ++marks;
      if (!range->MoveStart("Character", 1) || !range->MoveEnd("Textedit", 1)) break;
    }
  }
  if (depth < kMaxFrameDepth) {
    for (long i = 0, n = doc.GetFrameCount(); i < n; ++i)
      if (std::shared_ptr<Document> frame = doc.GetFrameDocument(i))
        marks += HighlightIn(*frame, word, flags, style, id, depth + 1);
  }
  return marks;
}

int RemoveIn(Document& doc, const std::string& id, int depth) {
  if (!doc.HasBody()) return 0;
  int removed = 0;
  if (doc.CreateBodyTextRange() != nullptr) {
    // Rewriting an element changes the collection under the walk, and a
    // mark inside a removed mark comes back as a new element. So each pass
    // first collects the marks, then rewrites them, and passes repeat until
    // one finds nothing more to remove.
    for (;;) {
      std::unique_ptr<ElementEnumerator> all = doc.EnumerateAll();
      if (!all) break;
      std::vector<std::unique_ptr<Element>> marks;
      while (std::unique_ptr<Element> element = all->Next()) {
        std::string elementId, tag;
        if (element->GetId(&elementId) && elementId == id && element->GetTagName(&tag) &&
            tag == "SPAN")
          marks.push_back(std::move(element));
      }
      int pass = 0;
      for (auto& mark : marks) {
        std::string inner;
        if (mark->GetInnerHtml(&inner) && mark->SetOuterHtml(inner)) ++pass;
      }
      removed += pass;
      if (pass == 0) break;
    }
  }
  if (depth < kMaxFrameDepth) {
    for (long i = 0, n = doc.GetFrameCount(); i < n; ++i)
      if (std::shared_ptr<Document> frame = doc.GetFrameDocument(i))
        removed += RemoveIn(*frame, id, depth + 1);
  }
  return removed;
}

// The command identifier of the button of the first item whose command is
// named "Highlight"; 0 when there is none.
int HighlightButton(CommandHost& host) {
  for (int i = 0, n = host.ItemCount(); i < n; ++i)
    if (host.ItemCommandName(i) == kHighlightCommandName) return 1024 + i;
  return 0;
}

void ShowPressed(CommandHost& host, bool pressed) {
  int button = HighlightButton(host);
  if (button != 0 && host.GetButtons() != nullptr) host.GetButtons()->CheckButton(button, pressed);
}

}  // namespace

int HighlightWord(Document& doc, const std::string& word, long findFlags, const std::string& style,
                  const std::string& id) {
  return HighlightIn(doc, word, findFlags, style, id, 0);
}

int RemoveHighlights(Document& doc, const std::string& id) {
  return RemoveIn(doc, id, 0);
}

std::vector<std::string> HighlightWords(CommandHost& host) {
  std::string text;
  for (const InputField& field : host.InputFields()) text += GetValue(field) + " ";
  std::vector<std::string> words;
  SplitWordsJoinPlus(text, words);
  return words;
}

void SetHighlightButtonState(CommandHost& host, bool enabled) {
  int button = HighlightButton(host);
  ToolbarButtons* control = host.GetButtons();
  if (button == 0 || control == nullptr) return;
  control->EnableButton(button, enabled);
  control->CheckButton(button, false);
}

void UpdateHighlightButton(CommandHost& host) {
  SetHighlightButtonState(host, !HighlightWords(host).empty());
}

void ResetHighlight(CommandHost& host) {
  if (std::shared_ptr<Document> doc = CurrentDocument(host)) RemoveHighlights(*doc, kHighlightId);
  ShowPressed(host, false);
}

void RunHighlight(CommandHost& host, const std::string& colour) {
  ResetHighlight(host);
  std::shared_ptr<Document> doc = CurrentDocument(host);
  const std::string style = "color:#000000;background-color:" + colour + ";";
  for (std::string word : HighlightWords(host)) {
    if (size_t quote = word.find('"'); quote != std::string::npos) word.erase(quote, 1);
    // A word that was only a quote leaves nothing to search for.
    if (doc && !word.empty()) HighlightWord(*doc, word, kFindTextWholeWord, style, kHighlightId);
  }
  if (doc) doc->FocusWindow();
  ShowPressed(host, true);
}

}  // namespace qv::commands
