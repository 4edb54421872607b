#include <gtest/gtest.h>

#include <string>

#include "popup/site_key.h"

namespace qv {
namespace {

TEST(SiteKey, HostRuleStepByStep) {
  struct Case {
    const char* url;
    const char* normalised;
    const char* host;
  } cases[] = {
      {"http://sub.a.test/page", "http://sub.a.test/page", "sub.a.test"},
      {"HTTP://A.Test:8080/x", "http://a.test:8080/x", "a.test:8080"},
      {"http://user:pw@a.test:81/p", "http://user:pw@a.test:81/p", "user:pw@a.test:81"},
      // The scheme is searched anywhere: what stands before it goes.
      {"view-source:http://a.test/", "http://a.test/", "a.test"},
      {"res:x https://s.test/p", "https://s.test/p", "s.test"},
      {"https://s.test/p", "https://s.test/p", "s.test"},
      {"about:blank", "http://about:blank", "about:blank"},
      {"a.test/path", "http://a.test/path", "a.test"},
      {"ftp://f.test/x", "http://ftp://f.test/x", "f.test"},
      {"", "http://", ""},
      {"http://", "http://", "http:"},
      {"http://a.test", "http://a.test", "a.test"},
      // Only ASCII letters are lowered; other bytes pass unchanged.
      {"http://\xC4.test/", "http://\xC4.test/", "\xC4.test"},
      // The "//" cut needs a scheme before it and text after it; neither
      // cut happens at the start.
      {"view-source:http://a.test//b", "http://a.test//b", "a.test"},
      {"view-source:http://a.test/?u=http://b.test/", "http://a.test/?u=http://b.test/", "a.test"},
      {"a.test/x//y", "http://a.test/x//y", "a.test"},
      {"abc//", "http://abc//", "abc"},
      {"//a.test/x", "http:////a.test/x", "//a.test/x"},
      {"file:///c:/x", "http://file:///c:/x", "/c:/x"},
      // The earlier scheme is the page's: an address in the query is not.
      {"https://s.test/?u=http://b.test/", "https://s.test/?u=http://b.test/", "s.test"},
      {"x https://s.test/?u=http://b.test/", "https://s.test/?u=http://b.test/", "s.test"},
      {"http://a.test/?u=https://b.test/", "http://a.test/?u=https://b.test/", "a.test"},
  };
  for (const Case& c : cases) {
    SiteKeyResult r = SiteKey(c.url);
    EXPECT_EQ(c.normalised, r.url) << c.url;
    EXPECT_EQ(c.host, r.host) << c.url;
  }
}

TEST(SiteKey, HttpsIsToldByTheNormalisedAddress) {
  EXPECT_TRUE(IsHttpsUrl(SiteKey("HTTPS://A.TEST/").url));
  EXPECT_TRUE(IsHttpsUrl(SiteKey("view-source:https://a.test/").url));
  EXPECT_FALSE(IsHttpsUrl(SiteKey("http://a.test/?https://b").url));
  EXPECT_FALSE(IsHttpsUrl(SiteKey("https").url));
  EXPECT_TRUE(IsHttpsUrl(SiteKey("https://a.test/?next=http://b.test/").url));
}

TEST(Whitelist, TogglesBeforeAndAfter) {
  struct Case {
    const char* before;
    const char* host;
    const char* after;
    bool wasListed;
  } cases[] = {
      {"!a.test!b.test!", "a.test", "!b.test!", true},
      {"!", "c.test", "!c.test!", false},
      {"", "c.test", "!c.test!", false},
      {"!a.test!", "sub.a.test", "!a.test!sub.a.test!", false},
      {"!sub.a.test!", "a.test", "!sub.a.test!a.test!", false},
      // Duplicates from a hand-edited value all go.
      {"!a.test!a.test!a.test!", "a.test", "!", true},
      // A stored value missing its ends is mended before a host is added.
      {"a.test!b.test", "c.test", "!a.test!b.test!c.test!", false},
      // Hosts no list can hold change nothing.
      {"!a!b!", "a!b", "!a!b!", false},
      {"!a.test!", "", "!a.test!", false},
  };
  for (const Case& c : cases) {
    std::string list = c.before;
    EXPECT_EQ(c.wasListed, ToggleHostInWhitelist(list, c.host)) << c.before << " " << c.host;
    EXPECT_EQ(c.after, list) << c.before << " " << c.host;
  }
}

TEST(Whitelist, LabelsAndSeparatorsNeverMatchOtherHosts) {
  EXPECT_TRUE(WhitelistHas("!a.test!", "a.test"));
  EXPECT_FALSE(WhitelistHas("!a.test!", "sub.a.test"));
  EXPECT_FALSE(WhitelistHas("!sub.a.test!", "a.test"));
  EXPECT_FALSE(WhitelistHas("!a!b!", "a!b"));
  EXPECT_FALSE(WhitelistHas("!!", ""));
  EXPECT_EQ("!", NormaliseWhitelist(""));
  EXPECT_EQ("!www.ostrivel.com!", BuiltInWhitelist());
}

}  // namespace
}  // namespace qv
