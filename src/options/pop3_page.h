// The POP3 accounts page of the options sheet: the account records of the
// "POP3 Accounts" subkey as the page edits them, one entry per account in
// list order. Nothing reaches the registry before SaveAccounts, which the
// sheet runs on OK.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qv::options {

// The longest texts the page's edits take. Each field keeps all of what
// was typed, so these are also the longest texts stored; all of them fit
// the 1000-byte buffers of the mail checker's reads.
inline constexpr size_t kAccountTextLimit = 400;  // server, account name, password
inline constexpr size_t kIntervalTextLimit = 3;
inline constexpr size_t kWebFrontTextLimit = 999;
inline constexpr int kMinInterval = 1;
inline constexpr int kMaxInterval = 180;

struct AccountEntry {
  std::string server;
  std::string account;
  std::string password;  // plain
  std::string interval;  // minutes, decimal text
  std::string webFront;
  std::string useSpa;  // "1" or "0"
};

enum class AccountField { kServer, kAccount, kPassword, kInterval, kWebFront };

class Pop3Page {
 public:
  // Reads the accounts from 1 on and stops at the first one that lacks its
  // password, account name, server or interval.
  void LoadAccounts();
  // Replaces the whole subkey (check results included, so every account is
  // due at the next pass) with the entries. False when the subkey or its
  // count could not be written.
  bool SaveAccounts() const;

  size_t Count() const { return entries_.size(); }
  const AccountEntry& Entry(size_t index) const { return entries_.at(index); }
  // The list box's line: account name + " at " + server.
  std::string ListLine(size_t index) const;
  bool Modified() const { return modified_; }

  // Appends "new account" at "new server N" and returns its index.
  size_t Add();
  // Removes the entry and returns the line to select afterwards (the same
  // position, else the last line), or -1 when the list is empty.
  int Remove(size_t index);
  // True when the list line changed with the field (server, account name).
  bool SetField(size_t index, AccountField field, const std::string& text);
  void SetUseSpa(size_t index, bool on);
  // On: interval "10"; off: "0".
  void SetAutoCheck(size_t index, bool on);
  // On: URL "http://"; off: empty.
  void SetWebFront(size_t index, bool on);

  // What the fields show for an entry.
  static bool AutoCheckShown(const AccountEntry& entry);
  static bool WebFrontShown(const AccountEntry& entry) { return !entry.webFront.empty(); }

 private:
  std::vector<AccountEntry> entries_;
  bool modified_ = false;
};

}  // namespace qv::options
