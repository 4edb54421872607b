#include "commands/expansion.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <random>

#include "commands/command_host.h"
#include "commands/history.h"
#include "platform/browser.h"
#include "platform/document.h"
#include "platform/services.h"
#include "platform/system.h"
#include "settings/settings.h"

namespace qv::commands {
namespace {

bool KeptByUrlEncode(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '!':
    case '$':
    case '(':
    case ')':
    case '*':
    case ',':
    case '-':
    case '.':
    case '_':
      return true;
    default:
      return false;
  }
}

std::string JoinWords(const std::string& value) {
  std::vector<std::string> words;
  return SplitWordsJoinPlus(value, words);
}

// The longest text an expansion makes. Values are inserted as they are and
// the passes after them replace the macros that the values hold, so a value
// full of macros could make the text grow without bound from pass to pass:
// a macro whose value would make the text longer stays as it is.
constexpr size_t kLongestExpansion = size_t{1} << 20;

bool FitsExpansion(const std::string& text, const std::string& find, const std::string& value) {
  if (find.empty() || value.size() <= find.size()) return true;
  const size_t growth = value.size() - find.size();
  size_t size = text.size();
  for (size_t pos = text.find(find); pos != std::string::npos;
       pos = text.find(find, pos + find.size())) {
    if (size > kLongestExpansion || growth > kLongestExpansion - size) return false;
    size += growth;
  }
  return size <= kLongestExpansion;
}

// ReplaceAll, or ReplaceAllIfNotEmpty, within the longest expansion.
bool ReplaceAllWithin(std::string& text, const std::string& find, const std::string& value,
                      bool ifNotEmpty = false) {
  if (!FitsExpansion(text, find, value)) return false;
  return ifNotEmpty ? ReplaceAllIfNotEmpty(text, find, value) : ReplaceAll(text, find, value);
}

// Replaces every occurrence of find at or after pos, resuming after each
// inserted text, so that a value holding its own macro is inserted once.
// Returns the position after the last inserted text.
size_t ReplaceFrom(std::string& text, size_t pos, const std::string& find,
                   const std::string& replacement, bool firstOnly) {
  size_t resume = pos;
  while ((pos = text.find(find, pos)) != std::string::npos) {
    text.replace(pos, find.size(), replacement);
    pos += replacement.size();
    resume = pos;
    if (firstOnly) break;
  }
  return resume;
}

// Expands every "<prefix>name)" macro of text with value(name). A macro
// without ")" or with an empty name is left as it is and the search goes on
// after it, so malformed macros cannot make the loop run for ever.
template <typename ValueOf>
void ExpandNamedMacros(std::string& text, const std::string& prefix, bool firstOnly,
                       ValueOf valueOf) {
  size_t pos = 0;
  while ((pos = text.find(prefix, pos)) != std::string::npos) {
    size_t nameStart = pos + prefix.size();
    size_t close = text.find(')', nameStart);
    if (close == std::string::npos || close == nameStart) {
      pos = nameStart;
      continue;
    }
    std::string name = text.substr(nameStart, close - nameStart);
    std::string macro = prefix + name + ")";
    std::string value = valueOf(name);
    if (!FitsExpansion(text, macro, value)) {
      pos = nameStart;
      continue;
    }
    // Inserted values are not searched again.
    pos = ReplaceFrom(text, pos, macro, value, firstOnly);
  }
}

std::string CspValue(const std::string& name) {
  return GetSettingString("CSP_" + name, "");
}

std::string ButtonFaceColour() {
  uint32_t colour = GetSystem().GetSystemColor(kColorBtnFace);
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", colour & 0xFFu, (colour >> 8) & 0xFFu,
                (colour >> 16) & 0xFFu);
  return text;
}

// The count text of "%rndhex<count>%" as the runtime's atoi reads it, taken
// as unsigned and capped at 50 (a negative count gives 50).
unsigned RandomDigitCount(const std::string& text) {
  const char* p = text.c_str();
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  unsigned long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
    if (magnitude > 50) break;
  }
  if (magnitude == 0) return 0;
  if (negative || magnitude > 50) return 50;
  return static_cast<unsigned>(magnitude);
}

// The generator of the random digits, one for the process: seeded once, on
// first use, from the system's entropy source, the clocks and where the
// stack lies, so that every start of the browser gives other digits (an
// unseeded generator repeats the same ones each time, and some runtimes'
// entropy source is itself a fixed sequence). Windows of several threads
// share it under a lock.
std::string RandomHexDigits(unsigned count) {
  static std::mutex lock;
  static std::mt19937 engine = [] {
    int onTheStack = 0;
    unsigned entropy[2] = {0, 0};
    try {
      std::random_device device;
      entropy[0] = device();
      entropy[1] = device();
    } catch (...) {
      // No entropy source: the clocks and the stack's place still differ.
    }
    auto now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    auto wall = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    auto where = static_cast<uint64_t>(reinterpret_cast<std::uintptr_t>(&onTheStack));
    std::seed_seq seed{entropy[0],
                       entropy[1],
                       static_cast<unsigned>(now),
                       static_cast<unsigned>(now >> 32),
                       static_cast<unsigned>(wall),
                       static_cast<unsigned>(wall >> 32),
                       static_cast<unsigned>(where),
                       static_cast<unsigned>(where >> 32)};
    return std::mt19937(seed);
  }();
  std::string digits;
  std::lock_guard<std::mutex> hold(lock);
  for (; count > 0; --count) digits += "0123456789abcdef"[engine() & 0xF];
  return digits;
}

void ExpandRandomDigits(std::string& url, std::string& post) {
  size_t start = url.find("%rndhex");
  if (start == std::string::npos) return;
  size_t end = url.find('%', start + 7);
  if (end == std::string::npos) return;
  std::string count = url.substr(start + 7, end - start - 7);
  std::string macro = url.substr(start, end - start + 1);
  std::string digits = RandomHexDigits(RandomDigitCount(count));
  ReplaceAllWithin(url, macro, digits, true);
  ReplaceAllWithin(post, macro, digits, true);
}

void ExpandPop3Macros(std::string& post) {
  if (post.find("%POP3") == std::string::npos) return;
  RegKey accounts = OpenProductSubkey("POP3 Accounts", true);
  if (!accounts) return;
  auto read = [&accounts](const std::string& valueName) {
    return ReadKeyString(accounts, valueName, "", 1000);
  };
  ExpandNamedMacros(post, "%POP3Server(", false,
                    [&](const std::string& arg) { return read("POP3Server" + arg); });
  ExpandNamedMacros(post, "%POP3Account(", false,
                    [&](const std::string& arg) { return read("POP3Account" + arg); });
  ExpandNamedMacros(post, "%POP3Password(", false, [&](const std::string& arg) {
    Registry& registry = GetRegistry();
    std::string name = "POP3Password" + arg;
    uint32_t size = 0;
    if (registry.QueryValue(accounts.get(), name, nullptr, nullptr, &size) != kErrorSuccess)
      return std::string();
    std::string bytes(size, '\0');
    if (size > 0 &&
        registry.QueryValue(accounts.get(), name, nullptr, reinterpret_cast<uint8_t*>(bytes.data()),
                            &size) != kErrorSuccess)
      return std::string();
    bytes.resize(size);
    std::string password = ScramblePassword(bytes);
    // The text ends at the first zero byte, as the terminated copy does.
    return password.substr(0, password.find('\0'));
  });
}

}  // namespace

std::string UrlEncode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    if (KeptByUrlEncode(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

namespace {

struct InputValues {
  std::mutex lock;
  std::map<std::string, std::string> byName;
};

InputValues& LastInputValues() {
  static InputValues values;
  return values;
}

}  // namespace

void RememberInputValue(const std::string& name, const std::string& value) {
  InputValues& values = LastInputValues();
  std::lock_guard<std::mutex> hold(values.lock);
  auto [last, added] = values.byName.try_emplace(name);
  if (added || last->second != value) last->second = value;
}

std::string LastInputValue(const std::string& name) {
  InputValues& values = LastInputValues();
  std::lock_guard<std::mutex> hold(values.lock);
  auto last = values.byName.find(name);
  return last == values.byName.end() ? std::string() : last->second;
}

std::string BrowserButtonSettingName(const std::string& itemName) {
  return "BrowserButton" + itemName + "URL";
}

std::string ScramblePassword(std::string_view bytes) {
  static const char kKeyTail[] = "QWT593ZP#&71MMR";
  std::string out(bytes);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(out[i] ^ kKeyTail[i % 15]);
  return out;
}

std::shared_ptr<Document> CurrentDocument(CommandHost& host) {
  Browser* browser = host.GetBrowser();
  return browser ? browser->GetDocument() : nullptr;
}

ExpandedTemplates ExpandCommandTemplates(CommandHost& host, const std::string& urlTemplate,
                                         const std::string& postTemplate,
                                         const std::string& parameter) {
  std::shared_ptr<Document> document = CurrentDocument(host);
  std::string url = urlTemplate;
  std::string post = postTemplate;

  // Each item's value is read once: storing it in the history does not
  // change the text it is read from.
  std::vector<InputField>& fields = host.InputFields();
  std::vector<std::string> values;
  values.reserve(fields.size());
  for (const InputField& field : fields) {
    values.push_back(GetValue(field));
    RememberInputValue(field.name, values.back());
  }

  auto itemPasses = [&](const char* prefix, bool encode) {
    if (url.find(prefix) == std::string::npos && post.find(prefix) == std::string::npos) return;
    std::string macro;
    // A pass that replaced nothing leaves the texts as they were, so the
    // passes after it would replace nothing either.
    for (int pass = 0, replaced = 1; pass < 3 && replaced > 0; ++pass) {
      replaced = 0;
      for (size_t i = 0; i < fields.size(); ++i) {
        InputField& field = fields[i];
        // An unnamed item has the bare prefix as its macro: it would eat
        // every percent sign of the template.
        if (field.name.empty()) continue;
        macro.assign(prefix).append(field.name);
        std::string* text = url.find(macro) != std::string::npos    ? &url
                            : post.find(macro) != std::string::npos ? &post
                                                                    : nullptr;
        if (text == nullptr) continue;
        if (!ReplaceAllWithin(*text, macro, JoinWords(encode ? UrlEncode(values[i]) : values[i])))
          continue;
        ++replaced;
        if (field.IsHistoryCombo()) StoreValue(host, field, values[i]);
      }
    }
  };
  itemPasses("%", false);
  itemPasses("%encode!", true);

  auto csp = [](const std::string& name) { return UrlEncode(CspValue(name)); };
  ExpandNamedMacros(url, "%csp(", false, csp);
  ExpandNamedMacros(post, "%csp(", false, csp);

  std::string domain;
  if (document) {
    std::string address;
    if (document->GetUrl(&address)) host.CurrentPageAddress() = UrlEncode(address);
    if (!document->GetDomain(&domain)) domain.clear();
  }

  if (!parameter.empty()) {
    ReplaceAllWithin(url, "%cmdparam", parameter);
    ReplaceAllWithin(post, "%cmdparam", parameter);
  }

  ExpandPop3Macros(post);

  if (url.find("%bgcolor") != std::string::npos || post.find("%bgcolor") != std::string::npos) {
    std::string colour = ButtonFaceColour();
    ReplaceAllWithin(url, "%bgcolor", colour);
    ReplaceAllWithin(post, "%bgcolor", colour);
  }

  const std::string& address = host.CurrentPageAddress();
  for (std::string* text : {&url, &post}) {
    ReplaceAllWithin(*text, "%curl", address, true);
    ReplaceAllWithin(*text, "%cdomain", domain, true);
    ReplaceAllWithin(*text, "%url", address, true);
    ReplaceAllWithin(*text, "%domain", domain, true);
  }

  ExpandRandomDigits(url, post);

  ExpandedTemplates result;
  if (url.compare(0, 5, "POST!") == 0) {
    result.url = url.substr(5);
    result.post = std::move(post);
  } else {
    result.url = std::move(url);
  }
  return result;
}

bool ExpandWebPageUrl(const std::string& urlTemplate, bool pageDependent,
                      const std::string& itemName, Document* document, std::string* lastDomain,
                      std::string* url) {
  std::string text = urlTemplate;
  if (!pageDependent) {
    std::string stored = GetSettingString(BrowserButtonSettingName(itemName), "");
    if (!stored.empty()) text = stored;
  }

  std::string address;
  std::string domain;
  if (document) {
    if (document->GetUrl(&address))
      address = UrlEncode(address);
    else
      address.clear();
    if (!document->GetDomain(&domain)) domain.clear();
  }

  if (text.find("%newdomain") != std::string::npos) {
    if (domain == *lastDomain) return false;
    ReplaceFirstIfNotEmpty(text, "%newdomain", domain);
    *lastDomain = domain;
  }

  ReplaceFirstIfNotEmpty(text, "%bgcolor", ButtonFaceColour());
  ReplaceFirstIfNotEmpty(text, "%curl", address);
  ReplaceFirstIfNotEmpty(text, "%cdomain", domain);
  ReplaceFirstIfNotEmpty(text, "%url", address);
  ReplaceFirstIfNotEmpty(text, "%domain", domain);

  ExpandNamedMacros(text, "%csp(", true, CspValue);
  *url = std::move(text);
  return true;
}

}  // namespace qv::commands
