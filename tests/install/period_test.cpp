#include "install/period.h"

#include <gtest/gtest.h>

#include "platform/services.h"
#include "settings/settings.h"
#include "support/memory_registry.h"

#include <climits>
#include <ctime>

namespace qv {
namespace {

// A local calendar time, as the rule counts in local time.
std::time_t Local(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

TEST(PeriodDue, MinuteBoundaryIsStrict) {
  const std::time_t last = Local(2026, 3, 10, 12, 0, 0);
  EXPECT_FALSE(IsPeriodDue(last, 10, PeriodUnit::kMinutes, Local(2026, 3, 10, 12, 9, 59)));
  EXPECT_FALSE(IsPeriodDue(last, 10, PeriodUnit::kMinutes, Local(2026, 3, 10, 12, 10, 0)));
  EXPECT_TRUE(IsPeriodDue(last, 10, PeriodUnit::kMinutes, Local(2026, 3, 10, 12, 10, 1)));
}

TEST(PeriodDue, HoursAndMinutesRunPastTheirFields) {
  const std::time_t last = Local(2026, 3, 10, 10, 0, 0);
  EXPECT_FALSE(IsPeriodDue(last, 24, PeriodUnit::kHours, Local(2026, 3, 11, 10, 0, 0)));
  EXPECT_TRUE(IsPeriodDue(last, 24, PeriodUnit::kHours, Local(2026, 3, 11, 10, 0, 1)));
  // 90 minutes from 23:00 reaches into the next day.
  const std::time_t late = Local(2026, 3, 10, 23, 0, 0);
  EXPECT_FALSE(IsPeriodDue(late, 90, PeriodUnit::kMinutes, Local(2026, 3, 11, 0, 30, 0)));
  EXPECT_TRUE(IsPeriodDue(late, 90, PeriodUnit::kMinutes, Local(2026, 3, 11, 0, 30, 1)));
}

TEST(PeriodDue, EdgeValues) {
  const std::time_t now = Local(2026, 3, 10, 12, 0, 0);
  // Negative periods are always due, zero is due a second later.
  EXPECT_TRUE(IsPeriodDue(now, -1, PeriodUnit::kMinutes, now));
  EXPECT_FALSE(IsPeriodDue(now, 0, PeriodUnit::kMinutes, now));
  EXPECT_TRUE(IsPeriodDue(now, 0, PeriodUnit::kMinutes, now + 1));
  // A missing time stamp (0) makes the first check due at once.
  EXPECT_TRUE(IsPeriodDue(0, 10, PeriodUnit::kMinutes, now));
  // A period far beyond the calendar is never due, and never overflows.
  EXPECT_FALSE(IsPeriodDue(now, LONG_MAX, PeriodUnit::kMinutes, now + 1000000));
  EXPECT_FALSE(IsPeriodDue(now, INT_MAX - 5, PeriodUnit::kHours, now + 1000000));
}

TEST(PeriodElapsed, RecordsTheTimeOnlyWhenDue) {
  MemoryRegistry registry;
  ScopedService<Registry> scoped(&PlatformServices::registry, &registry);
  RegKey key = OpenProductSubkey("Periods", true);
  const std::time_t t = Local(2026, 3, 10, 12, 0, 0);
  // Missing: due at once, and the time is stored.
  EXPECT_TRUE(IsPeriodElapsedAt(key, "LastCheckTime", 5, PeriodUnit::kMinutes, t));
  EXPECT_EQ(ReadKeyDword(key, "LastCheckTime", 0), static_cast<uint32_t>(t));
  EXPECT_FALSE(IsPeriodElapsedAt(key, "LastCheckTime", 5, PeriodUnit::kMinutes, t + 300));
  EXPECT_EQ(ReadKeyDword(key, "LastCheckTime", 0), static_cast<uint32_t>(t));
  EXPECT_TRUE(IsPeriodElapsedAt(key, "LastCheckTime", 5, PeriodUnit::kMinutes, t + 301));
  EXPECT_EQ(ReadKeyDword(key, "LastCheckTime", 0), static_cast<uint32_t>(t + 301));
}

}  // namespace
}  // namespace qv
