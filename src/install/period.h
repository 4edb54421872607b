// The one due rule of the periodic work (resource updates, mail checks,
// alert checks): a stored time plus a period, counted in local calendar
// time, must have strictly passed.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/registry.h"

namespace qv {

enum class PeriodUnit { kMinutes, kHours };

// True when now is past last + period. The period is added to the minutes or
// hours of last broken down into local time, so it may run past 59 (or 23)
// and follows daylight-saving changes when the time is put back together. A
// negative period is always due; a time that cannot be put back together
// (far out of range) is never due.
bool IsPeriodDue(std::time_t last, long period, PeriodUnit unit, std::time_t now);

// The rule on a stored REG_DWORD time under name in key (0 when missing).
// When due, now is stored under name before answering true.
bool IsPeriodElapsedAt(const RegKey& key, const std::string& name, long period, PeriodUnit unit,
                       std::time_t now);
bool IsPeriodElapsed(const RegKey& key, const std::string& name, long period, PeriodUnit unit);

// The same on a value of the product key, as the update rule uses it.
bool IsPeriodElapsed(const std::string& name, long period, PeriodUnit unit);

}  // namespace qv
