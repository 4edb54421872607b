#include "install/period.h"

#include <climits>

#include "settings/settings.h"

namespace qv {
namespace {

bool ToLocalTime(std::time_t t, std::tm* out) {
#ifdef _WIN32
  return localtime_s(out, &t) == 0;
#else
  return localtime_r(&t, out) != nullptr;
#endif
}

}  // namespace

bool IsPeriodDue(std::time_t last, long period, PeriodUnit unit, std::time_t now) {
  if (period < 0) return true;
  std::tm when{};
  if (!ToLocalTime(last, &when)) return false;
  // Work in 64 bits: a period near LONG_MAX would overflow the int field.
  const long long field =
      static_cast<long long>(unit == PeriodUnit::kHours ? when.tm_hour : when.tm_min) + period;
  if (field > INT_MAX) return false;
  (unit == PeriodUnit::kHours ? when.tm_hour : when.tm_min) = static_cast<int>(field);
  const std::time_t due = std::mktime(&when);
  if (due == static_cast<std::time_t>(-1)) return false;
  return std::difftime(due, now) < 0;
}

bool IsPeriodElapsedAt(const RegKey& key, const std::string& name, long period, PeriodUnit unit,
                       std::time_t now) {
  const uint32_t last = ReadKeyDword(key, name, 0);
  if (!IsPeriodDue(static_cast<std::time_t>(last), period, unit, now)) return false;
  WriteKeyDword(key, name, static_cast<uint32_t>(now));
  return true;
}

bool IsPeriodElapsed(const RegKey& key, const std::string& name, long period, PeriodUnit unit) {
  return IsPeriodElapsedAt(key, name, period, unit, std::time(nullptr));
}

bool IsPeriodElapsed(const std::string& name, long period, PeriodUnit unit) {
  RegKey key = OpenProductKey();
  return IsPeriodElapsed(key, name, period, unit);
}

}  // namespace qv
