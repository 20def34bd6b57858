// FILETIME (100 ns since 1601-01-01 UTC), local time by the zone's current bias, DOS date-times
// and SetFileTime.
#include "platform/posix/layer.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

namespace posix_layer {

static const int64_t kTicksPerSecond = 10000000;
static const int64_t kSecondsFrom1601To1970 = 11644473600ll;
static const int64_t kSecondsPerDay = 86400;

static uint64_t Ticks(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

static FILETIME FromTicks(uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

FILETIME FileTimeFromTimespec(const struct timespec& ts) {
  int64_t seconds = ts.tv_sec + kSecondsFrom1601To1970;
  if (seconds < 0) return FromTicks(0);
  return FromTicks(static_cast<uint64_t>(seconds) * kTicksPerSecond + ts.tv_nsec / 100);
}

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
static int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = static_cast<unsigned>(y - era * 400);
  unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

static void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

static bool IsLeapYear(unsigned y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

static unsigned DaysInMonth(unsigned y, unsigned m) {
  static const unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

// The zone's offset from UTC now, in seconds east; Windows applies it whatever the date.
static int64_t CurrentBias() {
  time_t now = time(nullptr);
  struct tm local;
  if (!localtime_r(&now, &local)) return 0;
  return local.tm_gmtoff;
}

static BOOL Shift(const FILETIME* in, LPFILETIME out, int64_t seconds) {
  if (!in || !out) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  uint64_t ticks = Ticks(*in);
  if (ticks > static_cast<uint64_t>(INT64_MAX)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  int64_t shifted = static_cast<int64_t>(ticks);
  int64_t delta = seconds * kTicksPerSecond;
  if ((delta > 0 && shifted > INT64_MAX - delta) || shifted + delta < 0)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *out = FromTicks(static_cast<uint64_t>(shifted + delta));
  return TRUE;
}

} // namespace posix_layer

using namespace posix_layer;

BOOL FileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local) {
  if (InjectedFault(kFileTimeToLocalFileTime)) return FALSE;
  return Shift(utc, local, CurrentBias());
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, LPFILETIME utc) {
  if (InjectedFault(kLocalFileTimeToFileTime)) return FALSE;
  return Shift(local, utc, -CurrentBias());
}

BOOL FileTimeToDosDateTime(const FILETIME* time, LPWORD dosDate, LPWORD dosTime) {
  if (InjectedFault(kFileTimeToDosDateTime)) return FALSE;
  if (!time || !dosDate || !dosTime) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  int64_t seconds = static_cast<int64_t>(Ticks(*time) / kTicksPerSecond) - kSecondsFrom1601To1970;
  int64_t days =
      seconds >= 0 ? seconds / kSecondsPerDay : (seconds - kSecondsPerDay + 1) / kSecondsPerDay;
  int64_t inDay = seconds - days * kSecondsPerDay;
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, &year, &month, &day);
  if (year < 1980 || year > 2107) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  unsigned hour = static_cast<unsigned>(inDay / 3600),
           minute = static_cast<unsigned>(inDay / 60 % 60),
           second = static_cast<unsigned>(inDay % 60);
  *dosDate = static_cast<WORD>((year - 1980) << 9 | month << 5 | day);
  *dosTime = static_cast<WORD>(hour << 11 | minute << 5 | second / 2);
  return TRUE;
}

BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, LPFILETIME time) {
  if (InjectedFault(kDosDateTimeToFileTime)) return FALSE;
  if (!time) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  unsigned year = 1980 + (dosDate >> 9), month = (dosDate >> 5) & 0x0F, day = dosDate & 0x1F;
  unsigned hour = dosTime >> 11, minute = (dosTime >> 5) & 0x3F, twoSeconds = dosTime & 0x1F;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || twoSeconds > 29)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  int64_t seconds = DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 +
                    twoSeconds * 2 + kSecondsFrom1601To1970;
  *time = FromTicks(static_cast<uint64_t>(seconds) * kTicksPerSecond);
  return TRUE;
}

// A zero FILETIME, like a null one, leaves that time as it is.
static struct timespec ToTimespec(const FILETIME* ft) {
  struct timespec ts;
  if (!ft || (ft->dwLowDateTime == 0 && ft->dwHighDateTime == 0) ||
      (ft->dwLowDateTime == 0xFFFFFFFF && ft->dwHighDateTime == 0xFFFFFFFF)) {
    ts.tv_sec = 0;
    ts.tv_nsec = UTIME_OMIT;
    return ts;
  }
  uint64_t ticks = Ticks(*ft);
  int64_t seconds = static_cast<int64_t>(ticks / kTicksPerSecond);
  ts.tv_sec = static_cast<time_t>(seconds - kSecondsFrom1601To1970);
  ts.tv_nsec = static_cast<long>(ticks % kTicksPerSecond) * 100;
  return ts;
}

// The creation time has no POSIX counterpart that can be set; it is accepted and left alone.
BOOL SetFileTime(HANDLE handle, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite) {
  (void)creation;
  if (InjectedFault(kSetFileTime)) return FALSE;
  FileObject* file = FileFromHandle(handle);
  if (!file) return FALSE;
  if (!(file->access & (GENERIC_WRITE | 0x10000000u | 0x0100u))) // FILE_WRITE_ATTRIBUTES
    return Fail(ERROR_ACCESS_DENIED, FALSE);
  struct timespec times[2] = {ToTimespec(lastAccess), ToTimespec(lastWrite)};
  if (futimens(file->fd, times) != 0) return Fail(ErrorFromErrno(errno), FALSE);
  return TRUE;
}
