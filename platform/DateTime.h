#pragma once
// DateTime: the date-time value of the system, a day count since 30 December 1899 held as a double; the
// fraction is the time of day (0.5 is noon). The zero value is 1899-12-30T00:00:00. Before that day the
// whole part is negative and the fraction still counts forward from midnight (-1.25 is 1899-12-29 06:00).

#include <compare>
#include <optional>

class DateTime {
 public:
  struct Parts {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
  };

  constexpr DateTime() = default;
  constexpr explicit DateTime(double aDays) : fValue(aDays) {}

  // The local clock, with milliseconds.
  static DateTime Now();
  // nullopt for a date or time that does not exist (30 February, hour 24, year 0 ...).
  static std::optional<DateTime> Encode(const Parts& aParts);
  static std::optional<DateTime> Encode(int aYear, int aMonth, int aDay, int aHour = 0, int aMinute = 0,
                                        int aSecond = 0, int aMillisecond = 0);
  // The calendar parts, the time rounded to the nearest millisecond.
  Parts Decode() const;

  constexpr double Value() const { return fValue; }
  // Midnight of the same day.
  DateTime DateOnly() const;

  constexpr auto operator<=>(const DateTime&) const = default;

 private:
  double fValue = 0.0;
};

// Whole days between 1899-12-30 and the given civil date (proleptic Gregorian); no validation.
long long DaysSinceEpoch1899(int aYear, int aMonth, int aDay);
bool IsValidDate(int aYear, int aMonth, int aDay);
