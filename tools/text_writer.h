// Indented text for reading, in the shape of the JSON output:
//
//   ok: true
//   items:
//     - kind: 2
//       caption: "Go"
//
// An array of scalars that fits on a line is written inline: [0, 0, 89, 22].
// Strings are quoted with C-style escapes (Quoted in tool.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/structured_writer.h"

namespace qv::tools {

class TextWriter final : public StructuredWriter {
 public:
  TextWriter& BeginObject() override;
  TextWriter& EndObject() override;
  TextWriter& BeginArray() override;
  TextWriter& EndArray() override;
  TextWriter& Key(std::string_view key) override;
  TextWriter& String(std::string_view value) override;
  TextWriter& Int(int64_t value) override;
  TextWriter& Bool(bool value) override;
  TextWriter& Null() override;
  const std::string& Text() const override { return out_; }

 private:
  struct Level {
    bool array = false;
    // The container is the value of a key: "key:" is already written.
    bool after_key = false;
    bool has_members = false;
    // An array is written one element a line ("- x") once it holds a
    // container; until then its scalars wait here to be written inline.
    bool block = false;
    std::vector<std::string> pending;
  };
  static constexpr size_t kMaxInlineArray = 80;

  void Scalar(std::string text);
  void Open(bool array);
  void Close(std::string_view empty);
  // Starts an element of the innermost (block) array: "- " on a new line.
  void ElementPrefix();
  // Turns the innermost array to block form, writing its waiting scalars.
  void ToBlock();
  void Indent(size_t level);

  std::string out_;
  std::vector<Level> levels_;
  bool after_key_ = false;
  // "- " was written for an array element that is a container: its first
  // member goes on the same line.
  bool inline_ = false;
};

}  // namespace qv::tools
