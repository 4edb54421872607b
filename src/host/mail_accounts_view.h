// What the toolbar shows of the mail accounts: the indicator's summary of
// the last check results and the accounts listed in a web-front menu.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// Account numbers above this have no web-front menu identifier (23047 + n
// must stay within the menu commands the toolbar routes), so the toolbar
// looks at no more accounts than this, however large the stored count.
inline constexpr uint32_t kMaxShownMailAccounts = 201;

struct MailAccountsView {
  uint32_t count = 0;  // 0 also when the accounts key cannot be opened
  bool anyError = false;
  uint64_t newMessages = 0;
};

MailAccountsView ReadMailAccountsView();

struct MailAccountEntry {
  unsigned number = 0;
  std::string server;
  std::string account;
  uint32_t newMessages = 0;
};

// The accounts whose server and user name can be read; false when there
// are no accounts at all (key or count missing, or a count of 0).
bool ReadMailAccountEntries(std::vector<MailAccountEntry>* entries);

// Every account's "AccountStats" back to 0.
void ResetMailAccountCounts();

// The new-messages tooltip: the first "%n" becomes count, "%%" one percent
// sign, every other character stays.
std::string FormatNewMessagesHint(const std::string& text, uint64_t count);

}  // namespace qv
