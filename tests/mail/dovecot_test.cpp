// Every client operation against a real Dovecot, started on loopback by
// tests/mail/dovecot/start-dovecot.sh (QV_DOVECOT_PORT names its port).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "mail/accounts.h"
#include "mail/mail_checker.h"
#include "mail/pop3_client.h"
#include "mail/pop3_text.h"
#include "mail_test_support.h"

namespace qv::mail {
namespace {

uint16_t DovecotPort() {
  const char* port = std::getenv("QV_DOVECOT_PORT");
  return port ? static_cast<uint16_t>(std::atoi(port)) : 0;
}

class DovecotTest : public test::MailRegistryTest {
 protected:
  void SetUp() override {
    port_ = DovecotPort();
    if (port_ == 0)
      GTEST_SKIP() << "runs only in the mail stage, against the throw-away Dovecot that "
                      "tests/mail/dovecot/run-tests.sh starts (QV_DOVECOT_PORT is not set)";
    client_.SetAccountId("1");
  }

  // Logs in and answers the message count, or -1.
  long CountMessages(const std::string& user, const std::string& password, bool apop) {
    if (!client_.Connect("127.0.0.1", port_)) return -1;
    if (!client_.Login(user, password, apop)) return -1;
    std::string stat;
    if (!client_.GetStat(&stat)) return -1;
    client_.Close();
    return static_cast<long>(LeadingNumber(stat));
  }

  uint16_t port_ = 0;
  Pop3Client client_;
};

TEST_F(DovecotTest, UserPassAndApopCountTheMailbox) {
  EXPECT_EQ(CountMessages("alice", "alice-pass", false), 3) << client_.LastError();
  EXPECT_EQ(CountMessages("bob", "bob-pass", true), 2) << client_.LastError();
  EXPECT_EQ(CountMessages("alice", "alice-pass", true), 3) << client_.LastError();
  EXPECT_EQ(Text("AccountError1"), "<absent>");
}

TEST_F(DovecotTest, GreetingCarriesAnApopTimestamp) {
  ASSERT_TRUE(client_.Connect("127.0.0.1", port_)) << client_.LastError();
  const std::string& stamp = client_.ApopTimestamp();
  ASSERT_GE(stamp.size(), 3u);
  EXPECT_EQ(stamp.front(), '<');
  EXPECT_EQ(stamp.back(), '>');
  std::string stat;
  EXPECT_FALSE(client_.GetStat(&stat));
  EXPECT_EQ(client_.LastError(), "Not Connected!");
}

TEST_F(DovecotTest, RefusedLogins) {
  EXPECT_EQ(CountMessages("alice", "wrong", false), -1);
  EXPECT_EQ(Text("AccountError1"), "User or Password error!");
  EXPECT_EQ(CountMessages("nobody-here", "x", false), -1);
  EXPECT_EQ(Text("AccountError1"), "User or Password error!");
  EXPECT_EQ(CountMessages("bob", "wrong", true), -1);
  EXPECT_EQ(Text("AccountError1"), "Username or Password error!");
}

TEST_F(DovecotTest, CheckPassStoresTheCounts) {
  struct NoHost : MailCheckHost {
    void SetTimer(unsigned, unsigned) override {}
    void KillTimer(unsigned) override {}
    bool IsTimerSet(unsigned) override { return false; }
    bool RefreshItems() override { return false; }
  } host;
  RegKey key = Accounts();
  WriteKeyDword(key, kAccountCountValue, 3);
  const char* users[] = {"alice", "bob", "bob"};
  const char* passwords[] = {"alice-pass", "bob-pass", "nope"};
  for (unsigned n = 1; n <= 3; ++n) {
    Pop3AccountSettings s;
    s.server = "127.0.0.1";
    s.user = users[n - 1];
    s.password = passwords[n - 1];
    s.useApop = n == 2;
    WriteAccount(key, n, s);
  }
  MailChecker checker(client_, host);
  checker.SetPort(port_);
  checker.CheckMailNow();
  EXPECT_EQ(Number("AccountStats1"), 3);
  EXPECT_EQ(Number("AccountStats2"), 2);
  EXPECT_EQ(Number("AccountStats3"), -1);
  EXPECT_EQ(Text("AccountError3"), "User or Password error!");
  for (const char* busy : {"AccountBusy1", "AccountBusy2", "AccountBusy3"})
    EXPECT_EQ(Number(busy), 0) << busy;
}

}  // namespace
}  // namespace qv::mail
