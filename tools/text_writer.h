// Indented text for reading, in the shape of the JSON output:
//
//   ok: true
//   items:
//     - kind: 2
//       caption: "Go"
//
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
    bool has_members = false;
    // The container is the value of a key: "key:" is already written.
    bool after_key = false;
  };
  // Starts a scalar or container value; true when a scalar needs no
  // separator before it.
  void BeforeValue(bool container);
  void Scalar(std::string_view text);
  void Open(bool array);
  void Close(std::string_view empty);
  void Indent(size_t level);

  std::string out_;
  std::vector<Level> levels_;
  bool after_key_ = false;
  // "- " was written for an array element that is a container: its first
  // member goes on the same line.
  bool inline_ = false;
};

}  // namespace qv::tools
