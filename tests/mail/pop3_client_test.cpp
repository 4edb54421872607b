#include "mail/pop3_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "mail/pop3_text.h"
#include "mail_test_support.h"
#include "support/fake_message_pump.h"
#include "support/scripted_pop3_server.h"

namespace qv::mail {
namespace {

using test::ScriptedPop3Server;

constexpr char kGreeting[] = "+OK POP3 ready <1896.697170952@dbc.mil>\r\n";

class Pop3ClientTest : public test::MailRegistryTest {
 protected:
  // The product's reply time-out: a loaded machine may well keep the
  // scripted server from answering for a few hundred milliseconds.
  Pop3ClientTest() { client_.SetAccountId("1"); }

  bool ConnectTo(ScriptedPop3Server& server) {
    server.Start();
    return client_.Connect("127.0.0.1", server.Port());
  }

  // The error as the client keeps it and as the account's value holds it.
  void ExpectError(const std::string& text) {
    EXPECT_EQ(client_.LastError(), text);
    EXPECT_EQ(Text("AccountError1"), text.empty() ? "<absent>" : text);
  }

  ScriptedPop3Server server_;
  Pop3Client client_;
};

TEST(Pop3Text, CompletionIsJudgedOnTheEndAndOnARefusal) {
  EXPECT_TRUE(IsReplyComplete("+OK hi\r\n", "+OK hi\r\n", "\r\n"));
  EXPECT_FALSE(IsReplyComplete("+OK hi", "+OK hi", "\r\n"));
  // The terminator may be split over two receives.
  EXPECT_TRUE(IsReplyComplete("+OK hi\r\n", "\n", "\r\n"));
  EXPECT_TRUE(IsReplyComplete("-ERR no", "-ERR no", "\r\n"));
  EXPECT_TRUE(IsReplyComplete("-err", "-err", "\r\n"));
  EXPECT_FALSE(IsReplyComplete("-ER", "-ER", "\r\n"));
  // Only the last chunk's start counts as a refusal.
  EXPECT_FALSE(IsReplyComplete("-ERR first part, more", " more", "\r\n"));
}

TEST(Pop3Text, TimestampStatTextAndCount) {
  EXPECT_EQ(ExtractApopTimestamp(kGreeting), "<1896.697170952@dbc.mil>");
  EXPECT_EQ(ExtractApopTimestamp("+OK ready\r\n"), "");
  EXPECT_EQ(ExtractApopTimestamp("+OK > then <\r\n"), "");
  EXPECT_EQ(ExtractApopTimestamp("+OK a > b <c> d\r\n"), "<c>");
  EXPECT_EQ(ExtractApopTimestamp("+OK <>\r\n"), "<>");
  EXPECT_EQ(StatReplyText("+OK 3 1520\r\n"), "3 1520");
  EXPECT_EQ(StatReplyText("+OK 0 0\r\n"), "0 0");
  EXPECT_EQ(StatReplyText("+OK\r\n"), "");
  EXPECT_EQ(StatReplyText("+OK \r\n"), "");
  EXPECT_EQ(LeadingNumber("12 3456"), 12u);
  EXPECT_EQ(LeadingNumber(""), 0u);
  EXPECT_EQ(LeadingNumber("x1"), 0u);
  EXPECT_EQ(LeadingNumber("99999999999"), UINT32_MAX);
}

TEST_F(Pop3ClientTest, UserPassLoginStatAndClose) {
  server_.AddConnection().Send(kGreeting).Serve(
      ScriptedPop3Server::MailboxHandler("bob", "secret", 3, 1520));
  ASSERT_TRUE(ConnectTo(server_));
  EXPECT_EQ(client_.ApopTimestamp(), "<1896.697170952@dbc.mil>");
  ASSERT_TRUE(client_.Login("bob", "secret", false));
  std::string stat;
  ASSERT_TRUE(client_.GetStat(&stat));
  EXPECT_EQ(stat, "3 1520");
  EXPECT_TRUE(client_.Close());
  EXPECT_FALSE(client_.IsConnected());
  // Commands go out in lower case, one line each.
  EXPECT_EQ(server_.CommandsWhen(4),
            (std::vector<std::string>{"user bob", "pass secret", "stat", "quit"}));
  ExpectError("");
}

TEST_F(Pop3ClientTest, ApopSendsTheDigestOfTimestampAndPassword) {
  server_.AddConnection().Send(kGreeting).Serve(
      ScriptedPop3Server::MailboxHandler("mrose", "tanstaaf", 0, 0, "<1896.697170952@dbc.mil>"));
  ASSERT_TRUE(ConnectTo(server_));
  ASSERT_TRUE(client_.Login("mrose", "tanstaaf", true));
  EXPECT_EQ(server_.Commands().at(0), "apop mrose a9d67899f7a17e8124ef41234fcd4fa9");
  std::string stat;
  ASSERT_TRUE(client_.GetStat(&stat));
  EXPECT_EQ(stat, "0 0");
}

TEST_F(Pop3ClientTest, ApopWithoutTimestampSendsNothing) {
  server_.AddConnection().Send("+OK ready > no stamp <\r\n");
  ASSERT_TRUE(ConnectTo(server_));
  EXPECT_EQ(client_.ApopTimestamp(), "");
  EXPECT_FALSE(client_.Login("bob", "secret", true));
  ExpectError("Apop error!");
  EXPECT_TRUE(server_.Commands().empty());
}

TEST_F(Pop3ClientTest, EachRefusedStepLeavesItsError) {
  struct Case {
    bool apop;
    const char* refusedAfter;  // the command the server refuses
    const char* error;
  };
  const Case cases[] = {
      {false, "user", "User Name error!"},
      {false, "pass", "User or Password error!"},
      {true, "apop", "Username or Password error!"},
      {false, "stat", "Get Stat error!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusedAfter);
    ScriptedPop3Server server;
    const std::string refused = c.refusedAfter;
    server.AddConnection().Send(kGreeting).Serve([refused](const std::string& command) {
      return command.compare(0, refused.size(), refused) == 0 ? "-ERR refused\r\n" : "+OK\r\n";
    });
    ASSERT_TRUE(ConnectTo(server));
    const bool loggedIn = client_.Login("bob", "secret", c.apop);
    std::string stat;
    if (loggedIn) {
      EXPECT_FALSE(client_.GetStat(&stat));
    }
    ExpectError(c.error);
    client_.Close();
  }
}

TEST_F(Pop3ClientTest, CallsOutOfOrderAreRefused) {
  EXPECT_FALSE(client_.Login("bob", "secret", false));
  ExpectError("Socket not created!");
  std::string stat;
  EXPECT_FALSE(client_.GetStat(&stat));
  ExpectError("Socket not created!");
  EXPECT_FALSE(client_.Quit());
  server_.AddConnection().Send(kGreeting);
  ASSERT_TRUE(ConnectTo(server_));
  EXPECT_FALSE(client_.GetStat(&stat));
  ExpectError("Not Connected!");
  EXPECT_FALSE(client_.Quit());
  ExpectError("Not Connected!");
  EXPECT_TRUE(client_.IsConnected());  // Quit's refusal leaves the flags alone
}

TEST_F(Pop3ClientTest, RepliesInPiecesAreGatheredWhole) {
  // Greeting in 5-byte pieces, a USER reply whose CR and LF arrive apart, a
  // PASS reply that is neither +OK nor -ERR (it passes), and a STAT reply
  // of exactly two full chunks.
  std::string stat = "+OK 7 ";
  stat += std::string(2 * kChunkSize - stat.size() - 2, '9');
  stat += "\r\n";
  server_.AddConnection()
      .Send(kGreeting, 0, 5, 15)
      .Expect()
      .Send("+OK go on\r", 0)
      .Send("\n", 30)
      .Expect()
      .Send("welcome\r\n")
      .Expect()
      .Send(stat);
  ASSERT_TRUE(ConnectTo(server_));
  EXPECT_EQ(client_.ApopTimestamp(), "<1896.697170952@dbc.mil>");
  ASSERT_TRUE(client_.Login("bob", "secret", false));
  std::string text;
  ASSERT_TRUE(client_.GetStat(&text));
  EXPECT_EQ(text.size(), 2 * kChunkSize - 6);
  EXPECT_EQ(LeadingNumber(text), 7u);
  ExpectError("");
}

TEST_F(Pop3ClientTest, RefusalWithoutLineEndCompletesTheReply) {
  server_.AddConnection().Send(kGreeting).Expect().Send("-ERR go away");
  ASSERT_TRUE(ConnectTo(server_));
  // The server keeps the connection open: had the refusal not completed the
  // reply, the wait would have ended in a time-out.
  EXPECT_FALSE(client_.Login("bob", "secret", false));
  ExpectError("User Name error!");
}

TEST_F(Pop3ClientTest, SilentServerTimesOutAndStaysConnected) {
  server_.AddConnection().Send(kGreeting).Expect().Send("+OK but no line end");
  client_.SetReplyTimeout(300);
  ASSERT_TRUE(ConnectTo(server_));
  EXPECT_FALSE(client_.Login("bob", "secret", false));
  ExpectError("Connection Time out!");
  EXPECT_TRUE(client_.IsConnected());
}

TEST_F(Pop3ClientTest, ServerClosingDuringAWaitEmptiesTheReply) {
  server_.AddConnection().Send(kGreeting).Expect().Close();
  ASSERT_TRUE(ConnectTo(server_));
  EXPECT_FALSE(client_.Login("bob", "secret", false));
  ExpectError("Receive Buffer is empty!");
  EXPECT_FALSE(client_.IsConnected());
}

TEST_F(Pop3ClientTest, ServerClosingBeforeTheGreeting) {
  server_.AddConnection().Close();
  EXPECT_FALSE(ConnectTo(server_));
  ExpectError("Receive Buffer is empty!");
}

TEST_F(Pop3ClientTest, HugeReplyFailsTheStep) {
  server_.AddConnection().Send(std::string(kMaxReplyBytes + 10, 'x') + "\r\n");
  EXPECT_FALSE(ConnectTo(server_));
  ExpectError("Server reply too long!");
  EXPECT_FALSE(client_.IsConnected());
}

TEST_F(Pop3ClientTest, ReplyJustUnderTheCapIsAccepted) {
  server_.AddConnection().Send("+OK " + std::string(kMaxReplyBytes - 6, 'x') + "\r\n");
  EXPECT_TRUE(ConnectTo(server_));
  ExpectError("");
}

TEST_F(Pop3ClientTest, TricklingReplyIsBoundedWhileMessagesFlow) {
  // A busy browser thread gets input all the time, which keeps restarting
  // the inactivity time-out; the whole wait still ends.
  test::FakeMessagePump pump;
  pump.SetInputEvery(20);
  Pop3Client client(GetNetwork(), pump);
  client.SetAccountId("1");
  client.SetReplyWaitLimit(600);
  server_.AddConnection().Send(std::string(200, 'x'), 0, 1, 10);
  server_.Start();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Connect("127.0.0.1", server_.Port()));
  // The limit is measured on a steady clock, so the wait cannot end before
  // it; without the limit the wait would never end at all, so the outcome
  // alone shows that it works and no upper bound is needed.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
  EXPECT_EQ(client.LastError(), "Server reply too slow!");
  EXPECT_EQ(Text("AccountError1"), "Server reply too slow!");
}

TEST_F(Pop3ClientTest, QuitMessageEndsTheWaitAndIsPutBack) {
  test::FakeMessagePump pump;
  Pop3Client client(GetNetwork(), pump);
  client.SetAccountId("1");
  server_.AddConnection().Send(kGreeting).Expect().Pause(2000);
  server_.Start();
  ASSERT_TRUE(client.Connect("127.0.0.1", server_.Port()));
  pump.QueueQuit(7);
  EXPECT_FALSE(client.Login("bob", "secret", false));
  EXPECT_FALSE(client.IsLoggedIn());
  EXPECT_EQ(pump.PostedQuit(), 7);
  EXPECT_EQ(Text("AccountError1"), "Mail check cancelled!");
}

TEST_F(Pop3ClientTest, OverlongUserOrPasswordIsRefusedBeforeSending) {
  server_.AddConnection().Send(kGreeting).Serve([](const std::string&) { return "+OK\r\n"; });
  ASSERT_TRUE(ConnectTo(server_));
  // "user " + name + CR LF must fit in 255 characters.
  EXPECT_FALSE(client_.Login(std::string(249, 'u'), "pw", false));
  ExpectError("User name or password too long!");
  EXPECT_FALSE(client_.Login("bob", std::string(249, 'p'), false));
  EXPECT_FALSE(client_.Login(std::string(216, 'u'), "pw", true));
  EXPECT_TRUE(server_.Commands().empty());
  EXPECT_TRUE(client_.Login(std::string(248, 'u'), std::string(248, 'p'), false));
  EXPECT_EQ(server_.Commands().at(0).size(), 5u + 248u);
}

TEST_F(Pop3ClientTest, SecondConnectQuitsTheFirstConnection) {
  server_.AddConnection().Send(kGreeting).Serve([](const std::string&) { return "+OK\r\n"; });
  ASSERT_TRUE(ConnectTo(server_));
  ASSERT_TRUE(client_.Login("bob", "secret", false));
  ASSERT_TRUE(client_.Connect("127.0.0.1", server_.Port()));
  EXPECT_EQ(server_.CommandsWhen(3), (std::vector<std::string>{"user bob", "pass secret", "quit"}));
  EXPECT_EQ(server_.Connections(), 2);
  // Not logged in: the close reports it, and the old reader still goes.
  ASSERT_TRUE(client_.Connect("127.0.0.1", server_.Port()));
  EXPECT_EQ(server_.Connections(), 3);
}

TEST_F(Pop3ClientTest, UnreachableServers) {
  EXPECT_FALSE(client_.Connect("no-such-host.invalid", 110));
  ExpectError("Hostname Error!");
  // A port nobody listens on: the scripted server's, once it is gone.
  uint16_t closedPort;
  {
    ScriptedPop3Server gone;
    closedPort = gone.Port();
  }
  EXPECT_FALSE(client_.Connect("127.0.0.1", closedPort));
  ExpectError("Failed to connect to POP3 Server!");
}

TEST_F(Pop3ClientTest, DestroyedWithItsReaderStillRunning) {
  // A failed login leaves the connection and its reader in place.
  server_.AddConnection().Send(kGreeting).Serve([](const std::string&) { return "-ERR\r\n"; });
  server_.Start();
  auto client = std::make_unique<Pop3Client>();
  client->SetAccountId("1");
  ASSERT_TRUE(client->Connect("127.0.0.1", server_.Port()));
  EXPECT_FALSE(client->Login("bob", "secret", false));
  EXPECT_TRUE(client->IsConnected());
  client.reset();
}

}  // namespace
}  // namespace qv::mail
