#include "alerts/alert_script.h"

#include <climits>

namespace qv::alerts {

int AlertNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate as a negative number so that INT_MIN itself fits.
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 - (text[i] - '0');
    if (value < INT_MIN) return negative ? INT_MIN : INT_MAX;
  }
  if (negative) return static_cast<int>(value);
  return value < -static_cast<long long>(INT_MAX) ? INT_MAX : static_cast<int>(-value);
}

AlertParameters DefinitionParameters(const PropertyReader& properties) {
  AlertParameters p;
  p.width = AlertNumber(properties("AlertWindowDefaultWidth", "0"));
  p.height = AlertNumber(properties("AlertWindowDefaultHeight", "0"));
  p.hideAutomatically = properties("AlertWindowHideMode", "0") == "1";
  p.showTime = AlertNumber(properties("AlertWindowShowTime", "0"));
  p.hideTime = AlertNumber(properties("AlertWindowHideTime", "0"));
  p.waitTime = AlertNumber(properties("AlertWindowWaitTime", "0"));
  return p;
}

namespace {

void ApplyLine(std::string_view line, AlertParameters* p) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return;
  const std::string_view name = line.substr(0, equals);
  const std::string_view value = line.substr(equals + 1);
  if (name == "Width") {
    p->width = AlertNumber(value);
  } else if (name == "Height") {
    p->height = AlertNumber(value);
  } else if (name == "URL") {
    p->url.assign(value);
  } else if (name == "ShowAnimTime") {
    p->showTime = AlertNumber(value);
  } else if (name == "HideAnimTime") {
    p->hideTime = AlertNumber(value);
  } else if (name == "AutoHideDelay") {
    p->waitTime = AlertNumber(value);
  } else if (name == "HideAutomaticaly") {  // the server's spelling
    p->hideAutomatically = AlertNumber(value) != 0;
  }
}

}  // namespace

bool ApplyAlertScript(std::string_view text, AlertParameters* params) {
  if (text.substr(0, kAlertScriptMagic.size()) != kAlertScriptMagic) return false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) ApplyLine(text.substr(start, end - start), params);
    start = end + 1;
  }
  return true;
}

bool IsShowableAlertUrl(std::string_view url) {
  const size_t colon = url.find(':');
  if (colon == std::string_view::npos) return false;
  std::string scheme;
  for (char c : url.substr(0, colon)) scheme.push_back(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (scheme != "http" && scheme != "https") return false;
  // A host must follow; "http:" alone or "http:foo" names no page.
  const std::string_view rest = url.substr(colon + 1);
  return rest.size() > 2 && rest.substr(0, 2) == "//";
}

}  // namespace qv::alerts
