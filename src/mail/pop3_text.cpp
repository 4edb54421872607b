#include "mail/pop3_text.h"

#include <cctype>

namespace qv::mail {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

bool IsReplyComplete(std::string_view reply, std::string_view lastChunk,
                     std::string_view terminator) {
  if (reply.size() >= terminator.size() &&
      EqualsNoCase(reply.substr(reply.size() - terminator.size()), terminator))
    return true;
  return lastChunk.size() >= 4 && EqualsNoCase(lastChunk.substr(0, 4), "-ERR");
}

std::string ExtractApopTimestamp(std::string_view greeting) {
  const size_t open = greeting.find('<');
  if (open == std::string_view::npos) return std::string();
  const size_t close = greeting.find('>', open);
  if (close == std::string_view::npos) return std::string();
  return std::string(greeting.substr(open, close - open + 1));
}

std::string StatReplyText(std::string_view reply) {
  if (reply.size() < 6) return std::string();
  return std::string(reply.substr(4, reply.size() - 6));
}

uint32_t LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > UINT32_MAX) return UINT32_MAX;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace qv::mail
