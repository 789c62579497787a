#include "platform/DateTime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace {

constexpr long long kMillisecondsPerDay = 86400000LL;
// 1970-01-01 is day 25569 of the system's day count.
constexpr long long kUnixEpochDay = 25569;

// Days since 1970-01-01 of a civil date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& aYear, int& aMonth, int& aDay) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  aYear = static_cast<int>(y + (m <= 2));
  aMonth = static_cast<int>(m);
  aDay = static_cast<int>(d);
}

}  // namespace

bool IsValidDate(int aYear, int aMonth, int aDay) {
  if (aYear < 1 || aYear > 9999 || aMonth < 1 || aMonth > 12 || aDay < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (aYear % 4 == 0 && aYear % 100 != 0) || aYear % 400 == 0;
  return aDay <= kDays[aMonth - 1] + (aMonth == 2 && leap ? 1 : 0);
}

long long DaysSinceEpoch1899(int aYear, int aMonth, int aDay) {
  return DaysFromCivil(aYear, static_cast<unsigned>(aMonth), static_cast<unsigned>(aDay)) + kUnixEpochDay;
}

std::optional<DateTime> DateTime::Encode(const Parts& p) {
  return Encode(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, p.Millisecond);
}

std::optional<DateTime> DateTime::Encode(int aYear, int aMonth, int aDay, int aHour, int aMinute, int aSecond,
                                         int aMillisecond) {
  if (!IsValidDate(aYear, aMonth, aDay)) return std::nullopt;
  if (aHour < 0 || aHour > 23 || aMinute < 0 || aMinute > 59 || aSecond < 0 || aSecond > 59 ||
      aMillisecond < 0 || aMillisecond > 999) {
    return std::nullopt;
  }
  const double days = static_cast<double>(DaysSinceEpoch1899(aYear, aMonth, aDay));
  const long long ms = ((aHour * 60LL + aMinute) * 60LL + aSecond) * 1000LL + aMillisecond;
  const double time = static_cast<double>(ms) / kMillisecondsPerDay;
  return DateTime(days < 0 ? days - time : days + time);
}

DateTime::Parts DateTime::Decode() const {
  double whole = std::trunc(fValue);
  long long ms = std::llround(std::fabs(fValue - whole) * kMillisecondsPerDay);
  if (ms >= kMillisecondsPerDay) {
    ms -= kMillisecondsPerDay;
    whole += fValue < 0 ? -1 : 1;
  }
  Parts p;
  CivilFromDays(static_cast<long long>(whole) - kUnixEpochDay, p.Year, p.Month, p.Day);
  p.Millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  p.Second = static_cast<int>(ms % 60);
  ms /= 60;
  p.Minute = static_cast<int>(ms % 60);
  p.Hour = static_cast<int>(ms / 60);
  return p;
}

DateTime DateTime::DateOnly() const { return DateTime(std::trunc(fValue)); }

DateTime DateTime::Now() {
  const auto now = std::chrono::system_clock::now();
  const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
  const std::time_t seconds = static_cast<std::time_t>(sinceEpoch.count() / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  return *Encode(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                 std::min(local.tm_sec, 59), static_cast<int>(sinceEpoch.count() % 1000));
}
