// Date-times: a day count from 12/30/1899 with the time of day as fraction, in local time;
// 0 means "none". One text form is used everywhere: M/D/YYYY h:mm:ss AM/PM, the time left
// out at midnight, so that what is written reads back.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

using TDateTime = double;

struct TDateTimeParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, MilliSecond = 0;
};

// Day count of a calendar date (12/30/1899 is 0). Month 1..12, day 1..31.
TDateTime EncodeDate(int year, int month, int day);
// Fraction of a day of a time of day.
TDateTime EncodeTime(int hour, int minute, int second, int milliSecond = 0);
TDateTime EncodeDateTime(const TDateTimeParts& parts);
TDateTimeParts DecodeDateTime(TDateTime value);
bool IsValidDate(int year, int month, int day);

// "M/D/YYYY h:mm:ss AM/PM"; "M/D/YYYY" alone when the time of day is 0:00:00. 0 gives "12/30/1899".
std::string DateTimeToStr(TDateTime value);
// Reads what DateTimeToStr writes (also 24-hour times, and the time alone or left out);
// fails with "'text' is not a valid date and time".
TDateTime StrToDateTime(std::string_view text);

// A point in time (seconds since 1970 UTC) as a local date-time.
TDateTime UnixToLocalDateTime(std::time_t seconds);
// A local date-time as seconds since 1970 UTC.
std::time_t LocalDateTimeToUnix(TDateTime value);
// The current local date-time.
TDateTime NowDateTime();
