#include "tbdl/part.h"

#include <algorithm>

#include "platform/services.h"
#include "platform/user_messages.h"
#include "tbdl/node.h"

namespace qv::tbdl {

TBDLPart::~TBDLPart() = default;

void TBDLPart::LoadProperties(const TBDLNode& node) {
  // An accepted file always pairs every name with a value; a tree built
  // any other way must not make us read past either list.
  size_t count = std::min(node.names.size(), node.values.size());
  for (size_t i = 0; i < count; ++i) SetProperty(node.names[i], node.values[i]);
}

void TBDLPart::Load(TBDLNode& node) {
  LoadProperties(node);
  for (auto& child : node.children) {
    if (child) AddPart(*child);
  }
}

bool TBDLPart::SetProperty(Keyword, std::string_view) {
  return false;
}

bool TBDLPart::AddPart(TBDLNode&) {
  return false;
}

std::string InterpretTextValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c != '\\' || i + 1 == value.size()) {
      out.push_back(c);
      continue;
    }
    char next = value[++i];
    out.push_back(next == 'n' ? '\n' : next);
  }
  return out;
}

int32_t ParseIntValue(std::string_view value) {
  size_t i = 0;
  auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < value.size() && isSpace(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  // Accumulate in 64 bits and stop growing once past the 32-bit range.
  constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
  int64_t magnitude = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    if (magnitude <= kLimit) magnitude = magnitude * 10 + (value[i] - '0');
  }
  if (negative) return magnitude >= kLimit ? INT32_MIN : static_cast<int32_t>(-magnitude);
  return magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
}

bool SetTextProperty(std::string& target, Keyword key, Keyword name, std::string_view value) {
  if (name != key) return false;
  target = InterpretTextValue(value);
  return true;
}

bool SetIntProperty(int32_t& target, Keyword key, Keyword name, std::string_view value) {
  if (name != key) return false;
  target = ParseIntValue(value);
  return true;
}

bool ReportInvalidProperty(Keyword name, const char* caption) {
  GetUserMessages().ShowMessage("Invalid property " + std::string(KeywordText(name)), caption,
                                kMbOk);
  return false;
}

void ReportLoadProblem(const char* text, const char* caption) {
  GetUserMessages().ShowMessage(text, caption, kMbOk);
}

}  // namespace qv::tbdl
