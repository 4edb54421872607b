// JSON output for the tool's machine-readable mode.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/structured_writer.h"

namespace qv::tools {

enum class EscapeStyle {
  // A JSON string literal. Definition texts have no character set, so each
  // byte is written as the character of the same number: bytes 0x80 to 0xFF
  // become \u0080 to \u00ff and control characters are escaped. The result
  // is plain ASCII and decodes back to the same bytes.
  kJson,
  // For reading: C-style escapes for quotes, backslashes and control
  // characters (\x01); bytes 0x80 to 0xFF are copied.
  kReadable,
};

// Appends bytes in double quotes, escaped in the given style.
void AppendEscapedText(std::string& out, std::string_view bytes, EscapeStyle style);

inline void AppendJsonString(std::string& out, std::string_view bytes) {
  AppendEscapedText(out, bytes, EscapeStyle::kJson);
}

// Builds one JSON document, iteratively (no recursion over the nesting).
// Misuse (a value in an object without a key) is a programming error and
// is not diagnosed beyond producing invalid JSON.
class JsonWriter final : public StructuredWriter {
 public:
  // Pretty output puts each member on its own line, indented two spaces a
  // level (up to kMaxIndentLevels).
  explicit JsonWriter(bool pretty = true) : pretty_(pretty) {}

  JsonWriter& BeginObject() override;
  JsonWriter& EndObject() override;
  JsonWriter& BeginArray() override;
  JsonWriter& EndArray() override;
  JsonWriter& Key(std::string_view key) override;
  JsonWriter& String(std::string_view value) override;
  JsonWriter& Int(int64_t value) override;
  JsonWriter& Bool(bool value) override;
  JsonWriter& Null() override;
  const std::string& Text() const override { return out_; }

 private:
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);
  void NewLine(size_t level);

  std::string out_;
  // Per open object or array: whether it has a member yet.
  std::vector<bool> has_members_;
  bool pretty_;
  bool after_key_ = false;
};

}  // namespace qv::tools
