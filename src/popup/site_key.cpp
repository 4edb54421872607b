#include "popup/site_key.h"

#include <algorithm>
#include <functional>

#include "commands/toolbar_services.h"
#include "settings/settings.h"

namespace qv {

namespace {

std::string LowerAscii(const std::string& text) {
  std::string lower = text;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

}  // namespace

SiteKeyResult SiteKey(const std::string& url) {
  std::string u = LowerAscii(url);
  std::string h = u;
  // The scheme may stand anywhere: text in front of it ("view-source:")
  // is dropped. An https address that carries "http://" further on (in its
  // query, say) is still the https page: the earlier scheme is the page's.
  const size_t p = u.find("http://");
  const size_t s = u.find("https://");
  if (p != std::string::npos && (s == std::string::npos || p < s)) {
    if (p > 0) {
      u.erase(0, p);
      h = u.substr(7);
    }
  } else if (s != std::string::npos) {
    if (s > 0) {
      u.erase(0, s);
      h = u.substr(8);
    }
  } else {
    u = "http://" + u;
  }
  // What stands before "//" is a scheme only when the "//" is the first
  // slash and follows a ':': a "//" further on (in a path, or in an address
  // carried in the query) never makes the host.
  if (size_t q = h.find("//");
      q != std::string::npos && q > 0 && q + 2 < h.size() && q == h.find('/') && h[q - 1] == ':')
    h.erase(0, q + 2);
  if (size_t r = h.find('/'); r != std::string::npos && r > 0) h.resize(r);
  return SiteKeyResult{std::move(u), std::move(h)};
}

std::string HostKey(const std::string& host) {
  return "!" + host + "!";
}

bool IsHttpsUrl(const std::string& normalisedUrl) {
  return LowerAscii(normalisedUrl.substr(0, 6)) == "https:";
}

bool IsListableHost(const std::string& host) {
  return !host.empty() && host.find('!') == std::string::npos &&
         host.find('\0') == std::string::npos;
}

std::string NormaliseWhitelist(const std::string& text) {
  std::string list = text;
  if (list.empty() || list.front() != '!') list.insert(list.begin(), '!');
  if (list.back() != '!') list.push_back('!');
  return list;
}

bool WhitelistHas(const std::string& list, const std::string& host) {
  if (!IsListableHost(host)) return false;
  // Every eighth byte or so of a list is the key's first character: a
  // skipping search is several times faster than find on long lists.
  const std::string key = HostKey(host);
  const std::boyer_moore_horspool_searcher searcher(key.begin(), key.end());
  return std::search(list.begin(), list.end(), searcher) != list.end();
}

bool ToggleHostInWhitelist(std::string& list, const std::string& host) {
  if (!IsListableHost(host)) return false;
  if (WhitelistHas(list, host)) {
    // Every occurrence goes, duplicates included: the host is not listed
    // afterwards whatever the text held.
    ReplaceAll(list, HostKey(host), "!");
    return true;
  }
  list = NormaliseWhitelist(list);
  list += host + "!";
  return false;
}

std::string BuiltInWhitelist() {
  // A constant of the process, asked for on every new window.
  static const std::string list = HostKey(SiteKey(commands::kVendorBaseUrl).host);
  return list;
}

std::string InitialUserWhitelist() {
  std::string host = SiteKey(commands::kVendorBaseUrl).host;
  const std::string domain = host.rfind("www.", 0) == 0 ? host.substr(4) : host;
  return "!" + domain + "!toolbar." + domain + "!";
}

}  // namespace qv
