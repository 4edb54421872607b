// quorvane-tbdl mail check [--registry REGFILE] [--force] [--port N]: one
// check pass over the POP3 accounts of the settings, as the toolbar's mail
// timer runs it (--force: as the CheckMail command does), printing for each
// account its server, the outcome, the message count, the error text and the
// check time recorded. With --registry the settings come from REGFILE (the
// registry file format) and the results are written back to it; --port
// reaches a server that does not listen on the POP3 port.
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "mail/accounts.h"
#include "mail/mail_checker.h"
#include "mail/pop3_client.h"
#include "platform/services.h"
#include "settings/settings.h"
#include "tools/json_writer.h"
#include "tools/registry_file.h"
#include "tools/text_writer.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

// The toolbar window as the tool stands in for it: no timers, no items.
class ToolHost : public mail::MailCheckHost {
 public:
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}
  bool IsTimerSet(unsigned) override { return false; }
  bool RefreshItems() override { return false; }
};

std::string LocalTimeText(uint32_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &t) != 0) return std::string();
#else
  if (!localtime_r(&t, &local)) return std::string();
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

struct AccountReport {
  unsigned account;
  mail::CheckOutcome outcome;
};

}  // namespace

int RunMailCheck(ToolContext& context) {
  std::string registryFile;
  bool force = false;
  long port = mail::kPop3Port;
  for (size_t i = 0; i < context.args.size(); ++i) {
    const std::string& arg = context.args[i];
    if (arg == "--registry" && i + 1 < context.args.size()) {
      registryFile = context.args[++i];
    } else if (arg == "--force") {
      force = true;
    } else if (arg == "--port" && i + 1 < context.args.size()) {
      char* end = nullptr;
      port = std::strtol(context.args[++i].c_str(), &end, 10);
      if (*end != '\0' || port < 1 || port > 65535) return UsageError(context, "mail check");
    } else {
      return UsageError(context, "mail check");
    }
  }

  RegistryFile file;
  Registry* registry = Services().registry;
  if (!registryFile.empty()) {
    if (!file.Load(registryFile, false, context.err)) return kExitFailed;
    file.PrintIssues(context.err);
    registry = &file.registry();
  }
  ScopedService<Registry> useRegistry(&PlatformServices::registry, registry);

  ToolHost host;
  mail::Pop3Client client;
  mail::MailChecker checker(client, host);
  checker.SetPort(static_cast<uint16_t>(port));
  std::vector<AccountReport> reports;
  checker.SetObserver([&reports](unsigned account, mail::CheckOutcome outcome) {
    reports.push_back({account, outcome});
  });
  if (force) {
    checker.CheckMailNow();
  } else {
    checker.OnTimer(kMailTimerId);
  }

  JsonWriter json;
  TextWriter text;
  StructuredWriter& w = context.json ? static_cast<StructuredWriter&>(json) : text;
  RegKey key = mail::OpenAccountsKey(false);
  bool allChecked = !reports.empty();
  w.BeginObject().BoolField("forced", force).Key("accounts").BeginArray();
  for (const AccountReport& r : reports) {
    allChecked = allChecked && r.outcome != mail::CheckOutcome::kFailed &&
                 r.outcome != mail::CheckOutcome::kMissing;
    uint32_t lastCheck = 0;
    const bool recorded =
        TryReadKeyDword(key, mail::AccountValueName(mail::kLastCheckValue, r.account), &lastCheck);
    w.BeginObject()
        .IntField("account", r.account)
        .StringField("server",
                     ReadKeyString(key, mail::AccountValueName(mail::kServerValue, r.account), ""))
        .StringField("result", mail::CheckOutcomeName(r.outcome))
        .IntField("messages",
                  ReadKeyDword(key, mail::AccountValueName(mail::kStatsValue, r.account), 0))
        .StringField("error",
                     ReadKeyString(key, mail::AccountValueName(mail::kErrorValue, r.account), ""));
    if (recorded) {
      w.IntField("lastCheckTime", lastCheck)
          .StringField("lastCheckLocal", LocalTimeText(lastCheck));
    } else {
      w.NullField("lastCheckTime");
    }
    w.EndObject();
  }
  w.EndArray().EndObject();
  context.out << w.Text();

  if (!registryFile.empty() && !file.Save(context.err)) return kExitFailed;
  if (reports.empty()) context.err << "quorvane-tbdl: no POP3 accounts configured\n";
  return allChecked ? kExitOk : kExitFailed;
}

}  // namespace qv::tools
