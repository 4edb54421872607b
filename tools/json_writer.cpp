#include "tools/json_writer.h"

#include <algorithm>

namespace qv::tools {

void AppendEscapedText(std::string& out, std::string_view bytes, EscapeStyle style) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (char ch : bytes) {
    const unsigned char b = static_cast<unsigned char>(ch);
    const char* escape = nullptr;
    switch (b) {
      case '"':
        escape = "\\\"";
        break;
      case '\\':
        escape = "\\\\";
        break;
      case '\n':
        escape = "\\n";
        break;
      case '\r':
        escape = "\\r";
        break;
      case '\t':
        escape = "\\t";
        break;
    }
    if (escape != nullptr) {
      out += escape;
    } else if (b < 0x20 || b == 0x7F || (b > 0x7F && style == EscapeStyle::kJson)) {
      out += style == EscapeStyle::kJson ? "\\u00" : "\\x";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0xF]);
    } else {
      out.push_back(ch);
    }
  }
  out.push_back('"');
}

void JsonWriter::NewLine(size_t level) {
  if (!pretty_) return;
  out_.push_back('\n');
  out_.append(2 * std::min(level, kMaxIndentLevels), ' ');
}

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (has_members_.empty()) return;
  if (has_members_.back()) out_.push_back(',');
  has_members_.back() = true;
  NewLine(has_members_.size());
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_.push_back(bracket);
  has_members_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  const bool had_members = !has_members_.empty() && has_members_.back();
  if (!has_members_.empty()) has_members_.pop_back();
  if (had_members) NewLine(has_members_.size());
  out_.push_back(bracket);
  if (has_members_.empty() && pretty_) out_.push_back('\n');
}
JsonWriter& JsonWriter::BeginObject() {
  Open('{');
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  Close('}');
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Open('[');
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  Close(']');
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  BeforeValue();
  AppendJsonString(out_, key);
  out_ += pretty_ ? ": " : ":";
  after_key_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view value) {
  BeforeValue();
  AppendJsonString(out_, value);
  return *this;
}

JsonWriter& JsonWriter::Int(int64_t value) {
  BeforeValue();
  out_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  out_ += "null";
  return *this;
}

}  // namespace qv::tools
