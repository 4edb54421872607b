#include <set>
#include <vector>

#include "platform/document.h"
#include "popup/blocker.h"

namespace qv {

namespace {

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Hides the elements of tag for which isFlash holds; returns how many.
template <typename Read>
int HideTagged(Document& document, const char* tag, Read read) {
  std::unique_ptr<ElementCollection> elements = document.GetElementsByTag(tag);
  long length = 0;
  if (!elements || !elements->GetLength(&length)) return 0;
  int hidden = 0;
  for (long i = 0; i < length; ++i) {
    std::unique_ptr<Element> element = elements->Item(i);
    if (element && read(*element)) {
      HideElement(*element);
      ++hidden;
    }
  }
  return hidden;
}

}  // namespace

bool IsFlashClassId(const std::string& classId) {
  return Upper(classId) == "CLSID:D27CDB6E-AE6D-11CF-96B8-444553540000";
}

bool IsFlashSource(const std::string& source) {
  const size_t dot = source.rfind('.');
  // Exact: a query or fragment after the extension is not a movie file.
  return dot != std::string::npos && Upper(source.substr(dot)) == ".SWF";
}

void HideElement(Element& element) {
  // The element stays in the document, shown as nothing.
  if (std::unique_ptr<ElementStyle> style = element.GetStyle()) {
    style->SetVisibility("hidden");
    style->SetPixelHeight(0);
    style->SetPixelWidth(0);
  }
}

int HideFlashInDocument(const std::shared_ptr<Document>& top) {
  // A work list rather than recursion: frames nest at any depth, and a
  // document met twice (a broken container) is walked once.
  std::vector<std::shared_ptr<Document>> pending{top};
  // Walked documents are kept alive so that no address is reused.
  std::vector<std::shared_ptr<Document>> walked;
  std::set<const Document*> seen;
  int hidden = 0;
  while (!pending.empty()) {
    std::shared_ptr<Document> document = std::move(pending.back());
    pending.pop_back();
    if (!document || !seen.insert(document.get()).second) continue;
    walked.push_back(document);
    hidden += HideTagged(*document, "OBJECT", [](Element& e) {
      std::string classId;
      return e.GetClassId(&classId) && IsFlashClassId(classId);
    });
    hidden += HideTagged(*document, "EMBED", [](Element& e) {
      std::string source;
      return e.GetSource(&source) && IsFlashSource(source);
    });
    for (std::shared_ptr<Document>& frame : document->GetEmbeddedDocuments())
      pending.push_back(std::move(frame));
  }
  return hidden;
}

}  // namespace qv
