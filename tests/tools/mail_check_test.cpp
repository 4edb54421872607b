// quorvane-tbdl mail check against the scripted POP3 server, and against a
// real Dovecot when tests/mail/dovecot/start-dovecot.sh has started one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tool_runner.h"
#include "mail/accounts.h"
#include "support/scripted_pop3_server.h"
#include "support/temp_dir.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

using testing::JsonValue;

struct Account {
  std::string user, password;
  bool apop;
};

// A settings file with the accounts, all on 127.0.0.1.
std::string RegistryText(const std::vector<Account>& accounts) {
  char line[64];
  std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Ostrivel\\quorvane\\POP3 Accounts]\r\n";
  std::snprintf(line, sizeof line, "\"NumberOfConfiguredAccounts\"=dword:%08lx\r\n",
                static_cast<unsigned long>(accounts.size()));
  text += line;
  for (size_t i = 0; i < accounts.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    text += "\"POP3Server" + n + "\"=\"127.0.0.1\"\r\n";
    text += "\"POP3Account" + n + "\"=\"" + accounts[i].user + "\"\r\n";
    text += "\"POP3Password" + n + "\"=hex:";
    const std::string stored = mail::ScramblePassword(accounts[i].password);
    for (size_t b = 0; b < stored.size(); ++b) {
      std::snprintf(line, sizeof line, "%s%02x", b ? "," : "",
                    static_cast<unsigned char>(stored[b]));
      text += line;
    }
    text += "\r\n\"CheckInterval" + n + "\"=\"10\"\r\n";
    text += "\"UseSPA" + n + "\"=\"" + (accounts[i].apop ? "1" : "0") + "\"\r\n";
  }
  return text;
}

JsonValue MailCheck(const std::string& file, const std::string& port, bool force, int* status) {
  std::vector<std::string> args = {"mail", "check", "--json", "--registry", file};
  if (!port.empty()) args.insert(args.end(), {"--port", port});
  if (force) args.push_back("--force");
  return testing::RunToolJson(args, status);
}

TEST(MailCheckTool, PrintsEachAccountAndWritesTheResultsBack) {
  test::ScriptedPop3Server server;
  server.AddConnection()
      .Send("+OK hi\r\n")
      .Serve(test::ScriptedPop3Server::MailboxHandler("bob", "pw", 4, 900));
  server.Start();
  TempDir dir;
  const std::string file = dir.File("settings.reg");
  std::ofstream(file, std::ios::binary)
      << RegistryText({{"bob", "pw", false}, {"eve", "x", false}});

  int status = -1;
  JsonValue shown = MailCheck(file, std::to_string(server.Port()), false, &status);
  EXPECT_EQ(status, kExitFailed);  // the second account's login fails
  const JsonValue& accounts = shown["accounts"];
  ASSERT_EQ(accounts.items.size(), 2u);
  EXPECT_EQ(accounts[0]["server"].text, "127.0.0.1");
  EXPECT_EQ(accounts[0]["result"].text, "checked");
  EXPECT_EQ(accounts[0]["messages"].number, 4);
  EXPECT_EQ(accounts[0]["error"].text, "");
  EXPECT_GT(accounts[0]["lastCheckTime"].number, 0);
  EXPECT_EQ(accounts[1]["result"].text, "failed");
  EXPECT_EQ(accounts[1]["error"].text, "User Name error!");

  // The times were written back: a second pass finds nothing due, a forced
  // one checks both again.
  shown = MailCheck(file, std::to_string(server.Port()), false, &status);
  EXPECT_EQ(shown["accounts"][0]["result"].text, "not due");
  shown = MailCheck(file, std::to_string(server.Port()), true, &status);
  EXPECT_EQ(shown["accounts"][0]["result"].text, "checked");
  EXPECT_EQ(server.Connections(), 4);
}

TEST(MailCheckTool, CountsADovecotMailbox) {
  const char* port = std::getenv("QV_DOVECOT_PORT");
  if (!port) GTEST_SKIP() << "no Dovecot running (QV_DOVECOT_PORT not set)";
  // On the POP3 port itself when the server listens there, as the toolbar
  // connects.
  const char* standard = std::getenv("QV_DOVECOT_110");
  const std::string usePort = standard && std::string(standard) == "1" ? "" : port;
  TempDir dir;
  const std::string file = dir.File("settings.reg");
  std::ofstream(file, std::ios::binary)
      << RegistryText({{"alice", "alice-pass", false}, {"bob", "bob-pass", true}});
  int status = -1;
  const JsonValue shown = MailCheck(file, usePort, true, &status);
  EXPECT_EQ(status, kExitOk);
  EXPECT_EQ(shown["accounts"][0]["messages"].number, 3);
  EXPECT_EQ(shown["accounts"][1]["messages"].number, 2);
  EXPECT_EQ(shown["accounts"][1]["error"].text, "");
}

}  // namespace
}  // namespace qv::tools
