#include "Kel/KelDateTime.h"

#include <cmath>
#include <cstdlib>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"

namespace {

constexpr int64_t kMSecsPerDay = 86'400'000;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

const int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);  // day 0 of TDateTime, in Unix days

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

bool IsValidDate(int year, int month, int day) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const int last = kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
  return day <= last;
}

TDateTime EncodeDate(int year, int month, int day) {
  return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                             kEpochOffset);
}

TDateTime EncodeTime(int hour, int minute, int second, int milliSecond) {
  return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + milliSecond) / kMSecsPerDay;
}

TDateTime EncodeDateTime(const TDateTimeParts& p) {
  const double date = EncodeDate(p.Year, p.Month, p.Day);
  const double time = EncodeTime(p.Hour, p.Minute, p.Second, p.MilliSecond);
  // Before day 0 the fraction still counts forward from midnight (-1.25 is 12/29/1899 6:00 AM).
  return date < 0 ? date - time : date + time;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
  TDateTimeParts p;
  if (!std::isfinite(value)) return p;
  // Round the whole value to milliseconds; a carry moves into the date.
  const double whole = std::trunc(value);
  int64_t days = static_cast<int64_t>(whole);
  int64_t ms = std::llround(std::fabs(value - whole) * kMSecsPerDay);
  if (ms >= kMSecsPerDay) {
    ms -= kMSecsPerDay;
    days += value < 0 ? -1 : 1;
  }
  CivilFromDays(days + kEpochOffset, p.Year, p.Month, p.Day);
  p.Hour = static_cast<int>(ms / 3'600'000);
  p.Minute = static_cast<int>(ms / 60'000 % 60);
  p.Second = static_cast<int>(ms / 1000 % 60);
  p.MilliSecond = static_cast<int>(ms % 1000);
  return p;
}

std::string DateTimeToStr(TDateTime value) {
  const TDateTimeParts p = DecodeDateTime(value);
  std::string text = Format("%d/%d/%04d", p.Month, p.Day, p.Year);
  if (p.Hour != 0 || p.Minute != 0 || p.Second != 0) {
    const int h12 = p.Hour % 12 == 0 ? 12 : p.Hour % 12;
    text += Format(" %d:%02d:%02d %s", h12, p.Minute, p.Second, p.Hour < 12 ? "AM" : "PM");
  }
  return text;
}

namespace {

struct Scanner {
  std::string_view s;
  size_t i = 0;
  void SkipBlanks() {
    while (i < s.size() && s[i] == ' ') ++i;
  }
  bool Number(int& out, int maxDigits) {
    size_t start = i;
    long v = 0;
    while (i < s.size() && IsAsciiDigit(s[i]) && i - start < static_cast<size_t>(maxDigits))
      v = v * 10 + (s[i++] - '0');
    if (i == start) return false;
    out = static_cast<int>(v);
    return true;
  }
  bool Char(char c) {
    if (i < s.size() && s[i] == c) {
      ++i;
      return true;
    }
    return false;
  }
  bool AtEnd() const { return i >= s.size(); }
};

bool ParseTime(Scanner& sc, int& h, int& n, int& sec, int& ms) {
  n = sec = ms = 0;
  if (!sc.Number(h, 2) || !sc.Char(':') || !sc.Number(n, 2)) return false;
  if (sc.Char(':')) {
    if (!sc.Number(sec, 2)) return false;
    if (sc.Char('.') && !sc.Number(ms, 3)) return false;
  }
  sc.SkipBlanks();
  if (!sc.AtEnd()) {
    std::string_view rest = sc.s.substr(sc.i);
    const bool am = StartsText("AM", rest), pm = StartsText("PM", rest);
    if (!am && !pm) return false;
    sc.i += 2;
    if (h < 0 || h > 12) return false;
    if (am && h == 12) h = 0;
    if (pm && h < 12) h += 12;
  }
  return h <= 23 && n <= 59 && sec <= 59;
}

}  // namespace

TDateTime StrToDateTime(std::string_view text) {
  const std::string trimmed = Trim(text);
  Scanner sc{trimmed};
  auto fail = [&]() -> TDateTime { throw EConvertError("'" + std::string(text) + "' is not a valid date and time"); };
  TDateTimeParts p;
  // A time alone ("3:10:01 PM") has its date at day 0.
  const size_t colon = trimmed.find(':'), slash = trimmed.find('/');
  const bool timeOnly = colon != std::string::npos && (slash == std::string::npos || slash > colon);
  if (!timeOnly) {
    if (!sc.Number(p.Month, 2) || !sc.Char('/') || !sc.Number(p.Day, 2) || !sc.Char('/') || !sc.Number(p.Year, 4))
      return fail();
    if (!IsValidDate(p.Year, p.Month, p.Day)) return fail();
    sc.SkipBlanks();
  }
  if (!sc.AtEnd() || timeOnly) {
    if (!ParseTime(sc, p.Hour, p.Minute, p.Second, p.MilliSecond)) return fail();
    sc.SkipBlanks();
    if (!sc.AtEnd()) return fail();
  }
  return EncodeDateTime(p);
}

TDateTime UnixToLocalDateTime(std::time_t seconds) {
  std::tm tm{};
  if (!localtime_r(&seconds, &tm)) return 0;
  TDateTimeParts p;
  p.Year = tm.tm_year + 1900;
  p.Month = tm.tm_mon + 1;
  p.Day = tm.tm_mday;
  p.Hour = tm.tm_hour;
  p.Minute = tm.tm_min;
  p.Second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  return EncodeDateTime(p);
}

std::time_t LocalDateTimeToUnix(TDateTime value) {
  const TDateTimeParts p = DecodeDateTime(value);
  std::tm tm{};
  tm.tm_year = p.Year - 1900;
  tm.tm_mon = p.Month - 1;
  tm.tm_mday = p.Day;
  tm.tm_hour = p.Hour;
  tm.tm_min = p.Minute;
  tm.tm_sec = p.Second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

TDateTime NowDateTime() { return UnixToLocalDateTime(std::time(nullptr)); }
