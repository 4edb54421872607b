#include "formats/reg_text.h"

#include <cstdio>

namespace qv {
namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
constexpr char kOldHeader[] = "REGEDIT4";
// The export format's own line ends, so that the file imports on Windows.
constexpr char kEol[] = "\r\n";
// Hex data is wrapped after a comma once a line grows past this many
// characters, as the export format does.
constexpr size_t kHexLineLength = 76;

bool IsQuotableText(const RegValueEntry& v) {
  if (v.type != kRegSz || v.data.empty() || v.data.back() != 0) return false;
  for (size_t i = 0; i + 1 < v.data.size(); ++i) {
    uint8_t b = v.data[i];
    if (b == 0 || b == '\r' || b == '\n') return false;
  }
  return true;
}

bool IsStringType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  out += '"';
  return out;
}

void AppendHexBytes(std::string& out, size_t lineStart, const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0xF];
    if (i + 1 == bytes.size()) break;
    out += ',';
    if (out.size() - lineStart > kHexLineLength) {
      out += '\\';
      out += kEol;
      lineStart = out.size();
      out += "  ";
    }
  }
}

// String data in hex form is UTF-16LE in the export format; the registry
// seam's strings are bytes, each of which becomes one code unit.
std::vector<uint8_t> Widen(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> wide;
  wide.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    wide.push_back(b);
    wide.push_back(0);
  }
  return wide;
}

// The inverse of Widen; data that is not in that form (a file exported on
// Windows with characters beyond one byte) is kept as it is.
std::vector<uint8_t> NarrowIfWide(std::vector<uint8_t> data) {
  if (data.size() % 2 != 0) return data;
  for (size_t i = 1; i < data.size(); i += 2)
    if (data[i] != 0) return data;
  std::vector<uint8_t> narrow;
  narrow.reserve(data.size() / 2);
  for (size_t i = 0; i < data.size(); i += 2) narrow.push_back(data[i]);
  return narrow;
}

void AppendValue(std::string& out, const RegValueEntry& v) {
  size_t lineStart = out.size();
  out += v.name.empty() ? std::string("@") : Quote(v.name);
  out += '=';
  if (IsQuotableText(v)) {
    out += Quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
  } else if (v.type == kRegDword && v.data.size() == 4) {
    uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (uint32_t(v.data[3]) << 24);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "dword:%08x", n);
    out += buffer;
  } else {
    char tag[24];
    if (v.type == kRegBinary)
      std::snprintf(tag, sizeof tag, "hex:");
    else
      std::snprintf(tag, sizeof tag, "hex(%x):", v.type);
    out += tag;
    AppendHexBytes(out, lineStart, IsStringType(v.type) ? Widen(v.data) : v.data);
  }
  out += kEol;
}

// A backslash separates the names of a key path, so no name holds one and
// the path never has two in a row: two backslashes and two hexadecimal
// digits stand for a byte of a name that the line cannot hold as it is (a
// line break) or that would read as a separator. Every other byte is written
// as it is, so ordinary paths are written as they always were.
std::string EscapeKeyName(const std::string& name) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (c == '\r' || c == '\n' || c == '\\') {
      const auto b = static_cast<uint8_t>(c);
      out += "\\\\";
      out += kDigits[b >> 4];
      out += kDigits[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

void AppendKey(std::string& out, const std::string& path, const RegTreeKey& key, bool isRoot) {
  // A root has no section of its own unless it holds values; every other key
  // has one, so that keys without values survive.
  if (!isRoot || !key.values.empty()) {
    out += kEol;
    out += '[' + path + ']' + kEol;
    for (const RegValueEntry& v : key.values) AppendValue(out, v);
  }
  for (const auto& [name, sub] : key.subkeys)
    AppendKey(out, path + '\\' + EscapeKeyName(sub->name), *sub, false);
}

// ---- Reading ----

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() &&
         RegNameEqual(std::string(s.substr(0, prefix.size())), std::string(prefix));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to maxDigits hexadecimal digits and nothing else.
bool ParseHexNumber(std::string_view s, size_t maxDigits, uint32_t* value) {
  if (s.empty() || s.size() > maxDigits) return false;
  uint32_t n = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return false;
    n = (n << 4) | static_cast<uint32_t>(d);
  }
  *value = n;
  return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// A file saved by the Windows registry editor is UTF-16LE with a byte order
// mark; its text is read as UTF-8.
std::string Utf16LeToUtf8(std::string_view text) {
  std::string out;
  size_t units = text.size() / 2;
  auto unit = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<uint8_t>(text[2 * i]) |
                                 (static_cast<uint8_t>(text[2 * i + 1]) << 8));
  };
  for (size_t i = 0; i < units; ++i) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) < 0xE000) {
      u = 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u < 0xE000) {
      u = 0xFFFD;
    }
    AppendUtf8(out, u);
  }
  return out;
}

class Reader {
 public:
  Reader(std::string_view text, RegTree& tree, std::vector<RegTextIssue>* issues)
      : tree_(tree), issues_(issues) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.push_back(line);
      start = end + 1;
    }
  }

  void Run() {
    bool first = true;
    for (index_ = 0; index_ < lines_.size(); ++index_) {
      std::string_view line = Trim(lines_[index_]);
      if (line.empty() || line.front() == ';') continue;
      if (first) {
        first = false;
        if (line == kHeader || line == kOldHeader) continue;
        Issue("the file does not begin with \"" + std::string(kHeader) + "\"");
      }
      if (line.front() == '[')
        Section(line);
      else if (line.front() == '"' || line.front() == '@')
        Value(line);
      else
        Issue("neither a key, a value nor a comment; line skipped");
    }
  }

 private:
  void Issue(std::string reason) {
    if (issues_) issues_->push_back(RegTextIssue{static_cast<int>(index_ + 1), std::move(reason)});
  }

  void Section(std::string_view line) {
    current_ = nullptr;
    afterSection_ = true;  // the values of a key that failed go with it, silently
    size_t close = line.rfind(']');
    if (close == std::string_view::npos || close == 0) {
      Issue("key line without closing ']'; the key and its values are skipped");
      return;
    }
    if (!Trim(line.substr(close + 1)).empty()) {
      Issue("text after the key's closing ']'; the key and its values are skipped");
      return;
    }
    std::string_view path = line.substr(1, close - 1);
    bool remove = !path.empty() && path.front() == '-';
    if (remove) path.remove_prefix(1);
    size_t slash = path.find('\\');
    std::string rootName(path.substr(0, slash));
    RegTreeKey* key = FindRoot(rootName);
    if (!key) {
      Issue("unknown root key \"" + rootName + "\"; the key and its values are skipped");
      return;
    }
    std::vector<std::string> names;
    if (slash != std::string_view::npos) SplitKeyNames(path.substr(slash + 1), &names);
    if (remove) {
      if (names.empty()) {
        Issue("a root key cannot be deleted; line skipped");
        return;
      }
      for (size_t i = 0; key && i + 1 < names.size(); ++i) key = key->FindSubkey(names[i]);
      if (key) key->subkeys.erase(names.back());
      return;
    }
    for (const std::string& n : names) key = &key->AddSubkey(n);
    current_ = key;
  }

  // The names of a key path after its root: a backslash separates them,
  // unless it is the first of two followed by two hexadecimal digits, which
  // stand for one byte of a name. Empty names are passed over.
  static void SplitKeyNames(std::string_view path, std::vector<std::string>* names) {
    std::string name;
    for (size_t i = 0; i < path.size(); ++i) {
      if (path[i] != '\\') {
        name += path[i];
        continue;
      }
      if (i + 3 < path.size() && path[i + 1] == '\\' && HexDigit(path[i + 2]) >= 0 &&
          HexDigit(path[i + 3]) >= 0) {
        name += static_cast<char>(HexDigit(path[i + 2]) * 16 + HexDigit(path[i + 3]));
        i += 3;
        continue;
      }
      if (!name.empty()) names->push_back(std::move(name));
      name.clear();
    }
    if (!name.empty()) names->push_back(std::move(name));
  }

  RegTreeKey* FindRoot(const std::string& name) {
    static const char* const kShort[] = {"HKCR", "HKCU", "HKLM"};
    for (size_t i = 0; i < RegTree::kRoots.size(); ++i)
      if (RegNameEqual(name, RegTree::kRoots[i].name) || RegNameEqual(name, kShort[i]))
        return &tree_.root(i);
    return nullptr;
  }

  // A quoted text from s[0] == '"'; *used receives the characters taken.
  static bool Unquote(std::string_view s, std::string* text, size_t* used) {
    text->clear();
    for (size_t i = 1; i < s.size(); ++i) {
      char c = s[i];
      if (c == '"') {
        *used = i + 1;
        return true;
      }
      if (c == '\\' && i + 1 < s.size()) {
        char e = s[++i];
        switch (e) {
          case '\\':
            *text += '\\';
            break;
          case '"':
            *text += '"';
            break;
          case 'n':
            *text += '\n';
            break;
          case 'r':
            *text += '\r';
            break;
          default:  // not an escape: both characters stand for themselves
            *text += '\\';
            *text += e;
        }
        continue;
      }
      *text += c;
    }
    return false;
  }

  void Value(std::string_view line) {
    std::string name;
    size_t used = 1;
    if (line.front() == '"' && !Unquote(line, &name, &used)) {
      Issue("value name without closing quote; line skipped");
      return;
    }
    std::string_view rest = Trim(line.substr(used));
    if (rest.empty() || rest.front() != '=') {
      Issue("no '=' after the value name; line skipped");
      return;
    }
    rest = Trim(rest.substr(1));
    // Hex data may go on over following lines: read it all before deciding
    // whether the value is kept.
    std::string hexData;
    bool isHex = StartsWithNoCase(rest, "hex");
    if (isHex) hexData = JoinContinuation(rest);

    bool remove = false;
    uint32_t type = kRegSz;
    std::vector<uint8_t> data;
    std::string reason;
    if (rest == "-") {
      remove = true;
    } else if (!rest.empty() && rest.front() == '"') {
      std::string text;
      if (!Unquote(rest, &text, &used))
        reason = "text without closing quote";
      else if (!Trim(rest.substr(used)).empty())
        reason = "text after the closing quote";
      data.assign(text.begin(), text.end());
      data.push_back(0);
    } else if (StartsWithNoCase(rest, "dword:")) {
      uint32_t n = 0;
      type = kRegDword;
      if (!ParseHexNumber(rest.substr(6), 8, &n))
        reason = "a dword needs 1 to 8 hexadecimal digits";
      data = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    } else if (isHex) {
      reason = ParseHex(hexData, &type, &data);
    } else {
      reason = "unknown kind of value data";
    }
    if (!reason.empty()) {
      Issue(reason + "; value skipped");
      return;
    }
    if (!current_) {
      if (!afterSection_) Issue("value before the first key; value skipped");
      return;
    }
    if (remove)
      current_->DeleteValue(name);
    else
      current_->SetValue(name, type, std::move(data));
  }

  // The hex data from the first line on, with the lines that a trailing
  // backslash continues. A continuation must be more hex bytes: a key or
  // value line after a cut-off value is read as what it is.
  std::string JoinContinuation(std::string_view first) {
    std::string all(first);
    while (!all.empty() && all.back() == '\\') {
      all.pop_back();
      std::string_view next =
          index_ + 1 < lines_.size() ? Trim(lines_[index_ + 1]) : std::string_view();
      if (next.empty() || HexDigit(next.front()) < 0) {
        Issue("hex data announces a continuation line that does not follow; value kept as read");
        break;
      }
      all += next;
      ++index_;
    }
    return all;
  }

  static std::string ParseHex(std::string_view s, uint32_t* type, std::vector<uint8_t>* data) {
    s.remove_prefix(3);  // "hex"
    *type = kRegBinary;
    if (!s.empty() && s.front() == '(') {
      size_t close = s.find(')');
      if (close == std::string_view::npos || !ParseHexNumber(s.substr(1, close - 1), 8, type))
        return "bad hex(type)";
      s.remove_prefix(close + 1);
    }
    if (s.empty() || s.front() != ':') return "no ':' after hex";
    s.remove_prefix(1);
    data->clear();
    while (!Trim(s).empty()) {
      size_t comma = s.find(',');
      std::string_view token = Trim(s.substr(0, comma));
      uint32_t byte = 0;
      if (!ParseHexNumber(token, 2, &byte)) return "bad hex byte \"" + std::string(token) + "\"";
      data->push_back(static_cast<uint8_t>(byte));
      if (comma == std::string_view::npos) break;
      s.remove_prefix(comma + 1);
    }
    if (IsStringType(*type)) *data = NarrowIfWide(std::move(*data));
    return std::string();
  }

  RegTree& tree_;
  std::vector<RegTextIssue>* issues_;
  std::vector<std::string_view> lines_;
  size_t index_ = 0;
  RegTreeKey* current_ = nullptr;
  bool afterSection_ = false;
};

}  // namespace

void ParseRegText(std::string_view text, RegTree& tree, std::vector<RegTextIssue>* issues) {
  std::string converted;
  if (text.size() >= 2 && uint8_t(text[0]) == 0xFF && uint8_t(text[1]) == 0xFE) {
    converted = Utf16LeToUtf8(text.substr(2));
    text = converted;
  } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }
  Reader(text, tree, issues).Run();
}

std::string FormatRegText(const RegTree& tree) {
  std::string out = std::string(kHeader) + kEol;
  for (size_t i = 0; i < RegTree::kRoots.size(); ++i)
    AppendKey(out, RegTree::kRoots[i].name, tree.root(i), true);
  return out;
}

}  // namespace qv
