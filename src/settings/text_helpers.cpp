#include <string>
#include <vector>

#include "settings/settings.h"

namespace qv {

bool ReplaceAll(std::string& text, const std::string& find, const std::string& replacement) {
  if (find.empty()) return false;
  // After a replacement the search starts again so that an occurrence formed
  // by the replacement with the text before it is replaced too. Nothing
  // before pos - find.size() + 1 can have changed, so the search resumes
  // there rather than at the very beginning. A replacement that contains the
  // searched text would be found again for ever: then the search resumes
  // after the inserted text.
  const bool selfContaining = replacement.find(find) != std::string::npos;
  bool replaced = false;
  size_t pos = text.find(find);
  while (pos != std::string::npos) {
    text.replace(pos, find.size(), replacement);
    replaced = true;
    size_t resume = selfContaining ? pos + replacement.size()
                                   : (pos >= find.size() - 1 ? pos - (find.size() - 1) : 0);
    pos = text.find(find, resume);
  }
  return replaced;
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
