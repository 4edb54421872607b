#include "mail/accounts.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "settings/settings.h"

namespace qv::mail {
namespace {

// Two carriage returns precede the 15 bytes that take part.
constexpr char kScrambleKey[] = "\r\rQWT593ZP#&71MMR";
constexpr std::string_view kKeyTail(kScrambleKey + 2, 15);

bool ReadBinary(const RegKey& key, const std::string& name, uint32_t maxBytes, std::string* bytes) {
  if (!key) return false;
  std::vector<uint8_t> buffer(maxBytes);
  uint32_t size = maxBytes;
  if (key.registry()->QueryValue(key.get(), name, nullptr, buffer.data(), &size) != kErrorSuccess)
    return false;
  bytes->assign(reinterpret_cast<const char*>(buffer.data()), size);
  return true;
}

}  // namespace

std::string AccountValueName(const char* base, unsigned account) {
  return base + std::to_string(account);
}

std::string AccountValueName(const char* base, const std::string& accountId) {
  return base + accountId;
}

std::string ScramblePassword(std::string_view bytes) {
  std::string out(bytes);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(out[i] ^ kKeyTail[i % 15]);
  return out;
}

RegKey OpenAccountsKey(bool create) {
  return OpenProductSubkey(kAccountsSubkey, create);
}

uint32_t ReadAccountCount(const RegKey& key) {
  return std::min(ReadKeyDword(key, kAccountCountValue, 0), kMaxAccounts);
}

Pop3Account ReadAccount(const RegKey& key, unsigned account) {
  Pop3Account a;
  std::string stored;
  a.hasPassword =
      ReadBinary(key, AccountValueName(kPasswordValue, account), kAccountTextBytes, &stored);
  if (a.hasPassword) a.password = ScramblePassword(stored);
  a.hasUser =
      TryReadKeyString(key, AccountValueName(kUserValue, account), &a.user, kAccountTextBytes);
  a.hasServer =
      TryReadKeyString(key, AccountValueName(kServerValue, account), &a.server, kAccountTextBytes);
  a.hasInterval = TryReadKeyString(key, AccountValueName(kIntervalValue, account), &a.interval,
                                   kAccountTextBytes);
  a.useApop =
      ReadKeyString(key, AccountValueName(kUseApopValue, account), "0", kUseApopBytes) == "1";
  return a;
}

void WriteAccount(const RegKey& key, unsigned account, const Pop3AccountSettings& settings) {
  if (!key) return;
  WriteKeyString(key, AccountValueName(kServerValue, account), settings.server);
  WriteKeyString(key, AccountValueName(kUserValue, account), settings.user);
  const std::string stored = ScramblePassword(settings.password);
  key.registry()->SetValue(key.get(), AccountValueName(kPasswordValue, account), kRegBinary,
                           reinterpret_cast<const uint8_t*>(stored.data()),
                           static_cast<uint32_t>(stored.size()));
  WriteKeyString(key, AccountValueName(kIntervalValue, account), settings.interval);
  WriteKeyString(key, AccountValueName(kUseApopValue, account), settings.useApop ? "1" : "0");
  WriteKeyString(key, AccountValueName(kWebFrontValue, account), settings.webFront);
}

long IntervalMinutes(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str()) return 0;
  return value;  // strtol clamps to LONG_MIN / LONG_MAX on overflow
}

void ResetAccountCounts() {
  RegKey key = OpenAccountsKey(false);
  if (!key) return;
  const uint32_t count = ReadAccountCount(key);
  for (uint32_t n = 1; n <= count; ++n) WriteKeyDword(key, AccountValueName(kStatsValue, n), 0);
}

}  // namespace qv::mail
