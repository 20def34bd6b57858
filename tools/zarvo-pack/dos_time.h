// DOS date-times: the date in the high 16 bits (day, month, years since 1980), the time in
// the low 16 bits (seconds / 2, minutes, hours), in local time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zpack {

struct CivilTime {
  int Year = 1980, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};

// The DOS date-time of a valid civil time from 1980-01-01 to 2107-12-31 (odd seconds are
// cut to the even second below, as Windows does); nothing outside that range.
std::optional<uint32_t> DosDateTimeFromCivil(const CivilTime& time);
// The fields of a DOS date-time, when Windows accepts them as a date (DosDateTimeToFileTime:
// month 1 to 12, day within the month, hour to 23, minute to 59, seconds to 58).
std::optional<CivilTime> CivilFromDosDateTime(uint32_t dateTime);
// "2024-05-01 12:30:08", or "invalid date-time 0x00000000".
std::string FormatDosDateTime(uint32_t dateTime);
// "2024-05-01 12:30:08".
std::string FormatCivil(const CivilTime& time);
// "YYYY-MM-DD HH:MM[:SS]" (or with a 'T' between date and time), checked as a calendar date.
std::optional<CivilTime> ParseCivilTime(std::string_view text);

// Calendar arithmetic on the proleptic Gregorian calendar, free of any time zone.
int64_t DaysFromCivil(int64_t year, int month, int day);
CivilTime CivilFromUnixUtc(int64_t unixSeconds);
int64_t UnixUtcFromCivil(const CivilTime& time);

// Seconds since 1970-01-01 UTC, and local civil time, converted the way Windows converts file
// times (FileTimeToLocalFileTime): with the time-zone bias in force now, daylight saving
// included, whatever the date being converted. The installer sets file times the same way.
CivilTime LocalCivilFromUnix(int64_t unixSeconds);
int64_t UnixFromLocalCivil(const CivilTime& time);

// A file's last-write time in seconds since 1970 UTC (rounded down), or nothing on failure.
std::optional<int64_t> LastWriteUnix(const std::filesystem::path& path);
bool SetLastWriteUnix(const std::filesystem::path& path, int64_t unixSeconds);

// The DOS date-time of a file's last write, or nothing when the file has none that a DOS
// date-time can hold.
std::optional<uint32_t> FileDosDateTime(const std::filesystem::path& path);

} // namespace zpack
