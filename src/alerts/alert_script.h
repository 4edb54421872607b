// What an alert shows and how it moves: the parameters a showing starts
// from (the definition's defaults, then the lines of the alert script),
// and the reading of the script text the vendor's server sends.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qv::alerts {

// The text an alert script must begin with, at its very first character.
inline constexpr std::string_view kAlertScriptMagic = "ShowDesktopAlert=1";

struct AlertParameters {
  int width = 0;   // pixels
  int height = 0;  // pixels
  std::string url;
  int showTime = 0;  // slide-in, ms
  int hideTime = 0;  // slide-out, ms
  bool hideAutomatically = false;
  int waitTime = 0;  // ms fully shown before sliding out

  bool operator==(const AlertParameters&) const = default;
};

// A definition PROPERTY by id, with the default used when the definition
// does not set it.
using PropertyReader = std::function<std::string(std::string_view id, std::string_view def)>;

// The number a text starts with, read as atoi reads it (leading blanks, a
// sign, decimal digits; anything else gives 0), but saturated at the int
// range instead of overflowing.
int AlertNumber(std::string_view text);

// The parameters as the definition sets them, before any script line.
AlertParameters DefinitionParameters(const PropertyReader& properties);

// True when text is an alert script (it begins with the magic). Its lines
// (split at CR and LF, empty ones skipped; name before the first "=",
// value after it, names compared exactly) are then applied to params in
// their order, a later line overriding an earlier one. Unknown lines and
// lines without "=" are ignored. False leaves params as they were.
bool ApplyAlertScript(std::string_view text, AlertParameters* params);

// Only web pages may come up on the user's desktop: the URL names an
// http or https address (scheme compared without case).
bool IsShowableAlertUrl(std::string_view url);

}  // namespace qv::alerts
