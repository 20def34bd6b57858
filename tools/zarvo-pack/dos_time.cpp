#include "zarvo-pack/dos_time.h"

#include "zarvo-pack/host.h"

#include <chrono>
#include <cstdio>
#include <system_error>

namespace zpack {

namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool IsValidCivil(const CivilTime& t) {
  return t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= DaysInMonth(t.Year, t.Month) &&
         t.Hour >= 0 && t.Hour <= 23 && t.Minute >= 0 && t.Minute <= 59 && t.Second >= 0 &&
         t.Second <= 59;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

} // namespace

int64_t DaysFromCivil(int64_t y, int month, int day) {
  const unsigned m = unsigned(month), d = unsigned(day);
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}

CivilTime CivilFromUnixUtc(int64_t unixSeconds) {
  int64_t days = FloorDiv(unixSeconds, 86400);
  int64_t rest = unixSeconds - days * 86400;
  days += 719468;
  const int64_t era = FloorDiv(days, 146097);
  const unsigned doe = unsigned(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.Day = int(doy - (153 * mp + 2) / 5 + 1);
  t.Month = int(mp < 10 ? mp + 3 : mp - 9);
  t.Year = int(int64_t(yoe) + era * 400 + (t.Month <= 2));
  t.Hour = int(rest / 3600);
  t.Minute = int(rest / 60 % 60);
  t.Second = int(rest % 60);
  return t;
}

int64_t UnixUtcFromCivil(const CivilTime& t) {
  return DaysFromCivil(t.Year, t.Month, t.Day) * 86400 + t.Hour * 3600 + t.Minute * 60 + t.Second;
}

std::optional<uint32_t> DosDateTimeFromCivil(const CivilTime& t) {
  if (!IsValidCivil(t) || t.Year < 1980 || t.Year > 2107) return std::nullopt;
  uint32_t date = uint32_t(t.Year - 1980) << 9 | uint32_t(t.Month) << 5 | uint32_t(t.Day);
  uint32_t time = uint32_t(t.Hour) << 11 | uint32_t(t.Minute) << 5 | uint32_t(t.Second / 2);
  return date << 16 | time;
}

std::optional<CivilTime> CivilFromDosDateTime(uint32_t dateTime) {
  uint32_t date = dateTime >> 16, time = dateTime & 0xFFFF;
  CivilTime t;
  t.Year = int(1980 + (date >> 9));
  t.Month = int(date >> 5 & 15);
  t.Day = int(date & 31);
  t.Hour = int(time >> 11);
  t.Minute = int(time >> 5 & 63);
  t.Second = int(time & 31) * 2;
  if (!IsValidCivil(t)) return std::nullopt;
  return t;
}

std::string FormatCivil(const CivilTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour,
                t.Minute, t.Second);
  return text;
}

std::string FormatDosDateTime(uint32_t dateTime) {
  if (auto t = CivilFromDosDateTime(dateTime)) return FormatCivil(*t);
  char text[40];
  std::snprintf(text, sizeof text, "invalid date-time 0x%08X", unsigned(dateTime));
  return text;
}

std::optional<CivilTime> ParseCivilTime(std::string_view text) {
  // Fixed positions: YYYY-MM-DD?HH:MM, then optionally :SS.
  if (text.size() != 16 && text.size() != 19) return std::nullopt;
  auto number = [&](size_t at, size_t digits, int& value) {
    value = 0;
    for (size_t i = at; i < at + digits; i++) {
      if (text[i] < '0' || text[i] > '9') return false;
      value = value * 10 + (text[i] - '0');
    }
    return true;
  };
  CivilTime t;
  bool ok = number(0, 4, t.Year) && text[4] == '-' && number(5, 2, t.Month) && text[7] == '-' &&
            number(8, 2, t.Day) && (text[10] == ' ' || text[10] == 'T') && number(11, 2, t.Hour) &&
            text[13] == ':' && number(14, 2, t.Minute);
  if (ok && text.size() == 19) ok = text[16] == ':' && number(17, 2, t.Second);
  if (!ok || !IsValidCivil(t)) return std::nullopt;
  return t;
}

CivilTime LocalCivilFromUnix(int64_t unixSeconds) {
  return CivilFromUnixUtc(unixSeconds + CurrentUtcBias());
}

int64_t UnixFromLocalCivil(const CivilTime& time) {
  return UnixUtcFromCivil(time) - CurrentUtcBias();
}

std::optional<int64_t> LastWriteUnix(const std::filesystem::path& path) {
  std::error_code error;
  auto written = std::filesystem::last_write_time(path, error);
  if (error) return std::nullopt;
  auto system = std::chrono::file_clock::to_sys(written);
  return std::chrono::floor<std::chrono::seconds>(system).time_since_epoch().count();
}

bool SetLastWriteUnix(const std::filesystem::path& path, int64_t unixSeconds) {
  std::chrono::sys_seconds system{std::chrono::seconds(unixSeconds)};
  std::error_code error;
  std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(system), error);
  return !error;
}

std::optional<uint32_t> FileDosDateTime(const std::filesystem::path& path) {
  auto written = LastWriteUnix(path);
  if (!written) return std::nullopt;
  return DosDateTimeFromCivil(LocalCivilFromUnix(*written));
}

} // namespace zpack
