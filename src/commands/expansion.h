// URL template expansion: macros of GOTOURL templates and web-page item
// addresses replaced by typed values, settings, page facts, the command
// parameter, POP3 account data, a system colour and random digits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "commands/input_field.h"

namespace qv {
class Document;
}

namespace qv::commands {
class CommandHost;
}

namespace qv::commands {

// Letters, digits and !$()*,-._ stay; every other byte becomes %XX with
// uppercase hexadecimal digits (a space is %20).
std::string UrlEncode(std::string_view text);

// The last value of each input item by name, never cleared: shared by the
// windows of the process (a new window shows what was last searched), under
// a lock since each window runs on its own thread. LastInputValue is empty
// for an item that has none.
void RememberInputValue(const std::string& name, const std::string& value);
std::string LastInputValue(const std::string& name);

struct ExpandedTemplates {
  std::string url;
  // The body to send: empty unless the URL template began with "POST!".
  std::string post;
};

// Editable combos whose macros are used get their value added to their
// history.
ExpandedTemplates ExpandCommandTemplates(CommandHost& host, const std::string& urlTemplate,
                                         const std::string& postTemplate,
                                         const std::string& parameter);

// A web-page item's address. lastDomain is the domain the item used last
// time (for "%newdomain"); it is updated when the domain changed. Returns
// false when the item is to keep its current page.
bool ExpandWebPageUrl(const std::string& urlTemplate, bool pageDependent,
                      const std::string& itemName, Document* document, std::string* lastDomain,
                      std::string* url);

// The stored "BrowserButton" + name + "URL" setting.
std::string BrowserButtonSettingName(const std::string& itemName);

// The POP3 password scrambling (its own inverse).
std::string ScramblePassword(std::string_view bytes);

}  // namespace qv::commands
