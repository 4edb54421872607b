#include "host/mail_accounts_view.h"

#include <algorithm>

#include "settings/settings.h"

namespace qv {
namespace {

constexpr char kAccountsKey[] = "POP3 Accounts";
constexpr uint32_t kTextBytes = 1000;

uint32_t ShownCount(const RegKey& key) {
  uint32_t count = 0;
  if (!key || !TryReadKeyDword(key, "NumberOfConfiguredAccounts", &count)) return 0;
  return std::min(count, kMaxShownMailAccounts);
}

std::string Name(const char* base, unsigned n) {
  return base + std::to_string(n);
}

}  // namespace

MailAccountsView ReadMailAccountsView() {
  MailAccountsView view;
  RegKey key = OpenProductSubkey(kAccountsKey, false);
  view.count = ShownCount(key);
  for (unsigned n = 1; n <= view.count; ++n) {
    std::string error;
    if (TryReadKeyString(key, Name("AccountError", n), &error, kTextBytes) && !error.empty())
      view.anyError = true;
    view.newMessages += ReadKeyDword(key, Name("AccountStats", n), 0);
  }
  return view;
}

bool ReadMailAccountEntries(std::vector<MailAccountEntry>* entries) {
  entries->clear();
  RegKey key = OpenProductSubkey(kAccountsKey, false);
  const uint32_t count = ShownCount(key);
  for (unsigned n = 1; n <= count; ++n) {
    MailAccountEntry entry;
    entry.number = n;
    if (!TryReadKeyString(key, Name("POP3Account", n), &entry.account, kTextBytes) ||
        !TryReadKeyString(key, Name("POP3Server", n), &entry.server, kTextBytes))
      continue;
    entry.newMessages = ReadKeyDword(key, Name("AccountStats", n), 0);
    entries->push_back(entry);
  }
  return count != 0;
}

void ResetMailAccountCounts() {
  RegKey key = OpenProductSubkey(kAccountsKey, false);
  const uint32_t count = ShownCount(key);
  for (unsigned n = 1; n <= count; ++n) WriteKeyDword(key, Name("AccountStats", n), 0);
}

}  // namespace qv
