// A small JSON reader for checking the tool's output. Strings decode \u00XX
// escapes to single bytes, the inverse of the tool's writer; anything above
// \u00ff is rejected because the writer never produces it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::tools::testing {

struct JsonValue {
  enum Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = kNull;
  bool boolean = false;
  int64_t number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;

  // The member named key, or a null value.
  const JsonValue& operator[](std::string_view key) const {
    static const JsonValue kMissing;
    for (const auto& member : members) {
      if (member.first == key) return member.second;
    }
    return kMissing;
  }
  const JsonValue& operator[](size_t index) const {
    static const JsonValue kMissing;
    return index < items.size() ? items[index] : kMissing;
  }
  bool Has(std::string_view key) const {
    for (const auto& member : members) {
      if (member.first == key) return true;
    }
    return false;
  }
  size_t size() const { return type == kObject ? members.size() : items.size(); }
};

class JsonReader {
 public:
  // False when text is not exactly one JSON value (white space around it
  // allowed).
  static bool Parse(std::string_view text, JsonValue* out) {
    JsonReader reader(text);
    if (!reader.Value(out)) return false;
    reader.Space();
    return reader.pos_ == text.size();
  }

 private:
  explicit JsonReader(std::string_view text) : s_(text) {}

  void Space() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) {
      ++pos_;
    }
  }
  bool Eat(char c) {
    Space();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }
  static int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  bool String(std::string* out) {
    if (!Eat('"')) return false;
    out->clear();
    while (pos_ < s_.size()) {
      const char c = s_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (pos_ >= s_.size()) return false;
      const char e = s_[pos_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out->push_back(e);
          break;
        case 'n':
          out->push_back('\n');
          break;
        case 'r':
          out->push_back('\r');
          break;
        case 't':
          out->push_back('\t');
          break;
        case 'b':
          out->push_back('\b');
          break;
        case 'f':
          out->push_back('\f');
          break;
        case 'u': {
          if (pos_ + 4 > s_.size()) return false;
          int code = 0;
          for (int i = 0; i < 4; ++i) {
            const int h = Hex(s_[pos_++]);
            if (h < 0) return false;
            code = code * 16 + h;
          }
          if (code > 0xFF) return false;
          out->push_back(static_cast<char>(code));
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }
  bool Value(JsonValue* v) {
    Space();
    if (pos_ >= s_.size()) return false;
    const char c = s_[pos_];
    if (c == '"') {
      v->type = JsonValue::kString;
      return String(&v->text);
    }
    if (c == '{') {
      ++pos_;
      v->type = JsonValue::kObject;
      if (Eat('}')) return true;
      do {
        std::string key;
        JsonValue member;
        if (!String(&key) || !Eat(':') || !Value(&member)) return false;
        v->members.emplace_back(std::move(key), std::move(member));
      } while (Eat(','));
      return Eat('}');
    }
    if (c == '[') {
      ++pos_;
      v->type = JsonValue::kArray;
      if (Eat(']')) return true;
      do {
        JsonValue item;
        if (!Value(&item)) return false;
        v->items.push_back(std::move(item));
      } while (Eat(','));
      return Eat(']');
    }
    if (Word("true") || Word("false")) {
      v->type = JsonValue::kBool;
      v->boolean = s_[pos_ - 1] == 'e' && s_[pos_ - 2] == 'u';
      return true;
    }
    if (Word("null")) {
      v->type = JsonValue::kNull;
      return true;
    }
    const size_t start = pos_;
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
    if (pos_ == start || (pos_ == start + 1 && s_[start] == '-')) return false;
    v->type = JsonValue::kNumber;
    v->number = std::stoll(std::string(s_.substr(start, pos_ - start)));
    return true;
  }

  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace qv::tools::testing
