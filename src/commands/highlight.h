// Marking the search words in the page and removing the marks, and the
// state of the Highlight button.
#pragma once

#include <string>
#include <vector>

namespace qv {
class Document;
}

namespace qv::commands {

class CommandHost;

inline constexpr char kHighlightId[] = "TBW";
inline constexpr char kHighlightCommandName[] = "Highlight";

// Wraps every match of word in doc and its frames in a span with the id and
// style. Returns the number of marks inserted.
int HighlightWord(Document& doc, const std::string& word, long findFlags, const std::string& style,
                  const std::string& id);
// Replaces every span with that id by its content, in doc and its frames.
// Returns the number of marks removed.
int RemoveHighlights(Document& doc, const std::string& id);

// The words of all input items' values, in toolbar order.
std::vector<std::string> HighlightWords(CommandHost& host);
void UpdateHighlightButton(CommandHost& host);
void SetHighlightButtonState(CommandHost& host, bool enabled);

// The "Highlight" service and its reset.
void RunHighlight(CommandHost& host, const std::string& colour);
void ResetHighlight(CommandHost& host);

}  // namespace qv::commands
