// The pop-up blocker's view of a page address: the host key under which a
// site is whitelisted, and the whitelist text itself ("!" + host + "!" for
// every host, so that a host is listed exactly when its key occurs).
#pragma once

#include <string>

namespace qv {

struct SiteKeyResult {
  // The address in lower case, from its scheme on ("http://" put in front
  // when it has none).
  std::string url;
  // The host as whitelisted: every label, and any port or user part kept.
  std::string host;
};

// Works on the single-byte text: only ASCII letters are lowered, other bytes
// stay as they are.
SiteKeyResult SiteKey(const std::string& url);

// "!" + host + "!".
std::string HostKey(const std::string& host);

// Pages served over https are never blocked and never listed.
bool IsHttpsUrl(const std::string& normalisedUrl);

// A host that a whitelist can hold: not empty, and without the separator or
// a zero byte, which would make its key match other hosts (or be cut off
// when stored).
bool IsListableHost(const std::string& host);

// The list text as the blocker keeps it: starts and ends with '!'. An empty
// text is "!"; a text missing either end gets it.
std::string NormaliseWhitelist(const std::string& text);

// True when host is listed in list (an unlistable host never is).
bool WhitelistHas(const std::string& list, const std::string& host);

// Adds host to list, or removes every occurrence of its key when it is
// listed. Returns whether it was listed before. An unlistable host changes
// nothing and gives false.
bool ToggleHostInWhitelist(std::string& list, const std::string& host);

// The vendor's own hosts: the built-in list (one host, from the vendor base
// URL) and the user list the shared block starts with before the settings
// are loaded (two further hosts of the vendor's domain).
std::string BuiltInWhitelist();
std::string InitialUserWhitelist();

}  // namespace qv
