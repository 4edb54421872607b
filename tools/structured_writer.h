// The interface the subcommands print their results through: objects,
// arrays and scalars, rendered as JSON (JsonWriter) or as indented text for
// reading (TextWriter).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::tools {

class StructuredWriter {
 public:
  virtual ~StructuredWriter() = default;

  virtual StructuredWriter& BeginObject() = 0;
  virtual StructuredWriter& EndObject() = 0;
  virtual StructuredWriter& BeginArray() = 0;
  virtual StructuredWriter& EndArray() = 0;
  // Inside an object every value is preceded by its key.
  virtual StructuredWriter& Key(std::string_view key) = 0;

  virtual StructuredWriter& String(std::string_view value) = 0;
  virtual StructuredWriter& Int(int64_t value) = 0;
  virtual StructuredWriter& Bool(bool value) = 0;
  virtual StructuredWriter& Null() = 0;

  // The document so far; complete once every object and array is closed.
  virtual const std::string& Text() const = 0;

  StructuredWriter& StringField(std::string_view key, std::string_view value) {
    return Key(key).String(value);
  }
  StructuredWriter& IntField(std::string_view key, int64_t value) { return Key(key).Int(value); }
  StructuredWriter& BoolField(std::string_view key, bool value) { return Key(key).Bool(value); }
  StructuredWriter& NullField(std::string_view key) { return Key(key).Null(); }
};

// Indentation stops growing past this many levels so that the output of a
// very deep document stays linear in its size.
inline constexpr size_t kMaxIndentLevels = 32;

}  // namespace qv::tools
