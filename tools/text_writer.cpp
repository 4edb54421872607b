#include "tools/text_writer.h"

#include <algorithm>

#include "tools/tool.h"

namespace qv::tools {

void TextWriter::Indent(size_t level) {
  if (!out_.empty()) out_.push_back('\n');
  out_.append(2 * std::min(level, kMaxIndentLevels), ' ');
}

void TextWriter::BeforeValue(bool container) {
  if (after_key_) {
    after_key_ = false;
    if (!container) out_.push_back(' ');
    return;
  }
  if (levels_.empty() || !levels_.back().array) return;
  levels_.back().has_members = true;
  if (inline_) {
    // An array element that is itself an array's first element.
    inline_ = false;
  } else {
    Indent(levels_.size() - 1);
  }
  out_ += "- ";
  if (container) inline_ = true;
}

void TextWriter::Scalar(std::string_view text) {
  BeforeValue(false);
  out_ += text;
  if (levels_.empty()) out_.push_back('\n');
}

void TextWriter::Open(bool array) {
  const bool after_key = after_key_;
  BeforeValue(true);
  levels_.push_back(Level{array, false, after_key});
}

void TextWriter::Close(std::string_view empty) {
  if (levels_.empty()) return;
  const Level level = levels_.back();
  levels_.pop_back();
  if (!level.has_members) {
    if (level.after_key) out_.push_back(' ');
    out_ += empty;
    inline_ = false;
  }
  if (levels_.empty()) out_.push_back('\n');
}

TextWriter& TextWriter::BeginObject() {
  Open(false);
  return *this;
}

TextWriter& TextWriter::EndObject() {
  Close("{}");
  return *this;
}

TextWriter& TextWriter::BeginArray() {
  Open(true);
  return *this;
}

TextWriter& TextWriter::EndArray() {
  Close("[]");
  return *this;
}

TextWriter& TextWriter::Key(std::string_view key) {
  if (!levels_.empty()) levels_.back().has_members = true;
  if (inline_) {
    inline_ = false;
  } else {
    Indent(levels_.empty() ? 0 : levels_.size() - 1);
  }
  out_ += key;
  out_.push_back(':');
  after_key_ = true;
  return *this;
}

TextWriter& TextWriter::String(std::string_view value) {
  Scalar(Quoted(value));
  return *this;
}

TextWriter& TextWriter::Int(int64_t value) {
  Scalar(std::to_string(value));
  return *this;
}

TextWriter& TextWriter::Bool(bool value) {
  Scalar(value ? "true" : "false");
  return *this;
}

TextWriter& TextWriter::Null() {
  Scalar("null");
  return *this;
}

}  // namespace qv::tools
