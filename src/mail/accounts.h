// The POP3 account records and their check results: values of the
// "POP3 Accounts" subkey of the product key, shared by every browser window
// and process of the user. Accounts are numbered from 1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace qv::mail {

inline constexpr char kAccountsSubkey[] = "POP3 Accounts";
inline constexpr char kAccountCountValue[] = "NumberOfConfiguredAccounts";
inline constexpr char kServerValue[] = "POP3Server";
inline constexpr char kUserValue[] = "POP3Account";
inline constexpr char kPasswordValue[] = "POP3Password";
inline constexpr char kIntervalValue[] = "CheckInterval";
inline constexpr char kUseApopValue[] = "UseSPA";
inline constexpr char kWebFrontValue[] = "WebFront";
inline constexpr char kBusyValue[] = "AccountBusy";
// When "AccountBusy" was set to 1 (REG_DWORD, seconds since 1970), so that a
// mark left by a check that never finished can be told by its age.
inline constexpr char kBusySinceValue[] = "AccountBusySince";
inline constexpr char kStatsValue[] = "AccountStats";
inline constexpr char kLastCheckValue[] = "LastCheckTime";
inline constexpr char kErrorValue[] = "AccountError";

// Buffer sizes of the reads done for a check (terminating zero included).
inline constexpr uint32_t kAccountTextBytes = 1000;
inline constexpr uint32_t kUseApopBytes = 10;

// "POP3Server" + 1 -> "POP3Server1".
std::string AccountValueName(const char* base, unsigned account);
std::string AccountValueName(const char* base, const std::string& accountId);

// The stored form of a password and back: byte i XOR the key tail's byte
// i mod 15. Exactly as many bytes as the input; zero bytes may result.
std::string ScramblePassword(std::string_view bytes);

// The "POP3 Accounts" subkey, created when missing if create is set.
RegKey OpenAccountsKey(bool create);

// Account numbers above this have no web-front menu identifier (23047 + n
// must stay within the toolbar's menu commands). A damaged count would
// otherwise make every pass, indicator update and menu walk billions of
// missing accounts.
inline constexpr uint32_t kMaxAccounts = 201;

// NumberOfConfiguredAccounts, at most kMaxAccounts; 0 when missing.
uint32_t ReadAccountCount(const RegKey& key);

// The record as a check reads it. has* tell which values could be read.
struct Pop3Account {
  std::string server;
  std::string user;
  std::string password;  // unscrambled
  std::string interval;  // decimal text of minutes
  bool useApop = false;  // "UseSPA" is "1"
  bool hasServer = false;
  bool hasUser = false;
  bool hasPassword = false;
  bool hasInterval = false;
};

Pop3Account ReadAccount(const RegKey& key, unsigned account);

// The options page's side of the record (also used by tools and tests).
struct Pop3AccountSettings {
  std::string server;
  std::string user;
  std::string password;
  std::string interval = "10";
  bool useApop = false;
  std::string webFront;
};
void WriteAccount(const RegKey& key, unsigned account, const Pop3AccountSettings& settings);

// The interval text's value in minutes (atol rules: leading number, 0 when
// none, clamped to the long range).
long IntervalMinutes(const std::string& text);

// Sets every account's "AccountStats" back to 0 (the new messages count as
// seen).
void ResetAccountCounts();

}  // namespace qv::mail
