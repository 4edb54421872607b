#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace qv {

namespace {

// Every occurrence replaced in one pass from left to right, the search
// resuming after each inserted text.
bool ReplaceEachOnce(std::string& text, const std::string& find, const std::string& replacement) {
  bool replaced = false;
  size_t pos = text.find(find);
  while (pos != std::string::npos) {
    text.replace(pos, find.size(), replacement);
    replaced = true;
    pos = text.find(find, pos + replacement.size());
  }
  return replaced;
}

// The rescan of ReplaceAll: the leftmost occurrence is replaced until none is
// left, so that an occurrence formed by a replacement together with the text
// around it is replaced too. The text before the replaced spot held no
// occurrence, so the search resumes find.size() - 1 bytes before it rather
// than at the very beginning.
//
// The text is rebuilt rather than edited in place, so a step costs the length
// of what it inserts and steps back over instead of the length of the text:
// out is the finished part, scanned and free of occurrences; the rest is the
// unread tail of text from next on, preceded by back (in reverse order) that
// holds what was inserted or stepped back over.
//
// A replacement no shorter than the searched text can form new occurrences
// without end ("%%url" with "%url" replaced by "urlurl%%" grows for ever), and
// whether it will cannot be told in advance: after more steps than any
// ordinary text needs, or once the text grows to twice what replacing each
// of the count occurrences of text once would make it, false is returned
// and text is left as it was. True when the rescan came to its end.
bool Rescan(std::string& text, const std::string& find, const std::string& replacement,
            size_t count) {
  const size_t m = find.size();
  const bool bounded = replacement.size() < m;  // every step shrinks the text
  const size_t maxSteps = 4 * text.size() + 1024;
  const size_t growth = bounded ? 0 : replacement.size() - m;
  const size_t maxSize = 2 * (text.size() + count * growth) + 1024;
  const char last = find.back();
  std::string out;
  out.reserve(text.size());
  std::string back;
  size_t next = 0;
  size_t steps = 0;
  for (;;) {
    char c;
    if (!back.empty()) {
      c = back.back();
      back.pop_back();
    } else if (next < text.size()) {
      c = text[next++];
    } else {
      break;
    }
    out += c;
    if (c != last || out.size() < m || out.compare(out.size() - m, m, find) != 0) continue;
    if (!bounded &&
        (++steps > maxSteps || out.size() + back.size() + (text.size() - next) + growth > maxSize))
      return false;
    out.resize(out.size() - m);
    back.append(replacement.rbegin(), replacement.rend());
    const size_t stepBack = std::min(out.size(), m - 1);
    back.append(out.rbegin(), out.rbegin() + static_cast<std::ptrdiff_t>(stepBack));
    out.resize(out.size() - stepBack);
  }
  text = std::move(out);
  return true;
}

}  // namespace

bool ReplaceAll(std::string& text, const std::string& find, const std::string& replacement) {
  if (find.empty()) return false;
  size_t count = 0;
  for (size_t pos = text.find(find); pos != std::string::npos; pos = text.find(find, pos + 1))
    ++count;
  if (count == 0) return false;
  // A replacement that contains the searched text would be found again for
  // ever: the search then resumes after the inserted text, and so it does
  // when the rescan does not come to an end.
  if (replacement.find(find) == std::string::npos && Rescan(text, find, replacement, count))
    return true;
  return ReplaceEachOnce(text, find, replacement);
}

bool ReplaceFirst(std::string& text, const std::string& find, const std::string& replacement) {
  if (find.empty()) return false;
  size_t pos = text.find(find);
  if (pos == std::string::npos) return false;
  text.replace(pos, find.size(), replacement);
  return true;
}

bool ReplaceAllIfNotEmpty(std::string& text, const std::string& find,
                          const std::string& replacement) {
  return !replacement.empty() && ReplaceAll(text, find, replacement);
}

bool ReplaceFirstIfNotEmpty(std::string& text, const std::string& find,
                            const std::string& replacement) {
  return !replacement.empty() && ReplaceFirst(text, find, replacement);
}

std::string SplitWordsJoinPlus(const std::string& text, std::vector<std::string>& words) {
  if (text.empty()) return std::string();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = text.find_first_not_of(' ', pos);
    if (start == std::string::npos) break;
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    words.push_back(text.substr(start, end - start));
    pos = end;
  }
  std::string joined;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i) joined += '+';
    joined += words[i];
  }
  return joined;
}

std::vector<uint8_t> ToByteVector(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace qv
