#include "tools/text_writer.h"

#include <algorithm>

#include "tools/tool.h"

namespace qv::tools {

void TextWriter::Indent(size_t level) {
  if (!out_.empty()) out_.push_back('\n');
  out_.append(2 * std::min(level, kMaxIndentLevels), ' ');
}

void TextWriter::ElementPrefix() {
  levels_.back().has_members = true;
  if (inline_) {
    inline_ = false;  // the first element of an array that is an element itself
  } else {
    Indent(levels_.size() - 1);
  }
  out_ += "- ";
}

void TextWriter::ToBlock() {
  Level& level = levels_.back();
  level.block = true;
  std::vector<std::string> pending = std::move(level.pending);
  level.pending.clear();
  for (const std::string& text : pending) {
    ElementPrefix();
    out_ += text;
  }
}

void TextWriter::Scalar(std::string text) {
  if (after_key_) {
    after_key_ = false;
    out_.push_back(' ');
    out_ += text;
    return;
  }
  if (levels_.empty()) {
    out_ += text;
    out_.push_back('\n');
    return;
  }
  Level& level = levels_.back();
  if (level.array && !level.block) {
    level.pending.push_back(std::move(text));
    return;
  }
  ElementPrefix();
  out_ += text;
}

void TextWriter::Open(bool array) {
  const bool after_key = after_key_;
  if (after_key_) {
    after_key_ = false;
  } else if (!levels_.empty() && levels_.back().array) {
    if (!levels_.back().block) ToBlock();
    ElementPrefix();
    inline_ = true;
  }
  levels_.push_back(Level{array, after_key, false, false, {}});
}

void TextWriter::Close(std::string_view empty) {
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (level.array && !level.block && !level.pending.empty()) {
    std::string joined = "[";
    for (const std::string& text : level.pending) {
      if (joined.size() > 1) joined += ", ";
      joined += text;
    }
    joined += "]";
    if (joined.size() <= kMaxInlineArray) {
      if (level.after_key) out_.push_back(' ');
      out_ += joined;
      inline_ = false;
    } else {
      ToBlock();
    }
  } else if (!level.has_members && level.pending.empty()) {
    if (level.after_key) out_.push_back(' ');
    out_ += empty;
    inline_ = false;
  }
  levels_.pop_back();
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
