#include "prefix.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

namespace {

const uint64_t kTicks = 10000000ull;
const uint64_t k1970 = 11644473600ull * kTicks; // 1970-01-01 in FILETIME ticks

uint64_t Ticks(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
FILETIME Make(uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}
// FILETIME of a UTC calendar moment.
FILETIME At(int year, int month, int day, int hour, int minute, int second) {
  struct tm t = {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return Make(k1970 + static_cast<uint64_t>(timegm(&t)) * kTicks);
}
WORD DosDate(int year, int month, int day) {
  return ((year - 1980) << 9) | (month << 5) | day;
}
WORD DosTime(int hour, int minute, int second) {
  return (hour << 11) | (minute << 5) | second / 2;
}

class Win32Times : public PrefixTest {
protected:
  void SetUp() override {
    PrefixTest::SetUp();
    const char* tz = getenv("TZ");
    savedTz = tz ? tz : "";
    hadTz = tz != nullptr;
  }
  void TearDown() override {
    if (hadTz)
      setenv("TZ", savedTz.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
    PrefixTest::TearDown();
  }
  void Zone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  std::string savedTz;
  bool hadTz = false;
};

struct DosCase {
  WORD date;
  WORD time;
  bool valid;
};

class Win32DosToFileTime : public Win32Times, public ::testing::WithParamInterface<DosCase> {};

TEST_P(Win32DosToFileTime, RefusesWhatWindowsRefuses) {
  FILETIME ft = {1, 2};
  SetLastError(0);
  BOOL ok = DosDateTimeToFileTime(GetParam().date, GetParam().time, &ft);
  EXPECT_EQ(ok, GetParam().valid);
  if (!ok) {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Win32DosToFileTime,
    ::testing::Values(
        DosCase{DosDate(2001, 2, 3), DosTime(4, 5, 6), true},
        DosCase{DosDate(1980, 1, 1), DosTime(0, 0, 0), true},
        DosCase{DosDate(2107, 12, 31), DosTime(23, 59, 58), true},
        DosCase{DosDate(2001, 0, 3), 0, false}, DosCase{DosDate(2001, 13, 3), 0, false},
        DosCase{DosDate(2001, 15, 3), 0, false}, DosCase{DosDate(2001, 1, 0), 0, false},
        DosCase{DosDate(2001, 1, 31), 0, true}, DosCase{DosDate(2001, 4, 30), 0, true},
        DosCase{DosDate(2001, 4, 31), 0, false}, DosCase{DosDate(2001, 2, 28), 0, true},
        DosCase{DosDate(2001, 2, 29), 0, false}, DosCase{DosDate(2000, 2, 29), 0, true},
        DosCase{DosDate(2004, 2, 29), 0, true}, DosCase{DosDate(2100, 2, 29), 0, false},
        DosCase{DosDate(2004, 2, 30), 0, false},
        DosCase{DosDate(2001, 1, 1), DosTime(23, 59, 58), true},
        DosCase{DosDate(2001, 1, 1), DosTime(24, 0, 0), false},
        DosCase{DosDate(2001, 1, 1), DosTime(31, 0, 0), false},
        DosCase{DosDate(2001, 1, 1), DosTime(0, 60, 0), false},
        DosCase{DosDate(2001, 1, 1), DosTime(0, 63, 0), false},
        DosCase{DosDate(2001, 1, 1), DosTime(0, 0, 60), false},
        DosCase{DosDate(2001, 1, 1), DosTime(0, 0, 62), false}));

TEST_F(Win32Times, DosDateTimeRoundTrip) {
  FILETIME ft;
  ASSERT_TRUE(DosDateTimeToFileTime(DosDate(2001, 2, 3), DosTime(4, 5, 6), &ft));
  EXPECT_EQ(Ticks(ft), Ticks(At(2001, 2, 3, 4, 5, 6)));
  WORD date = 0, time = 0;
  ASSERT_TRUE(FileTimeToDosDateTime(&ft, &date, &time));
  EXPECT_EQ(date, DosDate(2001, 2, 3));
  EXPECT_EQ(time, DosTime(4, 5, 6));
  ASSERT_TRUE(DosDateTimeToFileTime(DosDate(2000, 2, 29), DosTime(23, 59, 58), &ft));
  EXPECT_EQ(Ticks(ft), Ticks(At(2000, 2, 29, 23, 59, 58)));
}

struct ToDosCase {
  FILETIME time;
  bool valid;
  WORD date, dosTime;
};

class Win32FileTimeToDos : public Win32Times, public ::testing::WithParamInterface<ToDosCase> {};

TEST_P(Win32FileTimeToDos, CoversExactlyTheDosRange) {
  WORD date = 1, time = 1;
  SetLastError(0);
  BOOL ok = FileTimeToDosDateTime(&GetParam().time, &date, &time);
  EXPECT_EQ(ok, GetParam().valid);
  if (ok) {
    EXPECT_EQ(date, GetParam().date);
    EXPECT_EQ(time, GetParam().dosTime);
  } else {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Win32FileTimeToDos,
    ::testing::Values(
        ToDosCase{At(1979, 12, 31, 23, 59, 59), false, 0, 0},
        ToDosCase{At(1980, 1, 1, 0, 0, 0), true, DosDate(1980, 1, 1), DosTime(0, 0, 0)},
        ToDosCase{At(2107, 12, 31, 23, 59, 59), true, DosDate(2107, 12, 31), DosTime(23, 59, 58)},
        ToDosCase{At(2108, 1, 1, 0, 0, 0), false, 0, 0},
        ToDosCase{At(2024, 7, 15, 13, 45, 31), true, DosDate(2024, 7, 15), DosTime(13, 45, 30)},
        ToDosCase{Make(Ticks(At(2024, 7, 15, 13, 45, 31)) + kTicks - 1), true, DosDate(2024, 7, 15),
                  DosTime(13, 45, 30)},
        ToDosCase{Make(0), false, 0, 0}, ToDosCase{Make(~0ull), false, 0, 0}));

TEST_F(Win32Times, LocalConversionsApplyTheCurrentBias) {
  Zone("XYZ-2"); // two hours east of UTC all year
  FILETIME utc = At(2024, 1, 15, 12, 0, 0), local, back;
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  EXPECT_EQ(Ticks(local), Ticks(At(2024, 1, 15, 14, 0, 0)));
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
  EXPECT_EQ(Ticks(back), Ticks(utc));

  // With daylight saving, the offset of this moment applies to a winter and a summer date alike.
  Zone("CET-1CEST,M3.5.0,M10.5.0/3");
  time_t now = time(nullptr);
  struct tm t;
  localtime_r(&now, &t);
  int64_t bias = t.tm_gmtoff * static_cast<int64_t>(kTicks);
  for (FILETIME moment : {At(2024, 1, 15, 12, 0, 0), At(2024, 7, 15, 12, 0, 0)}) {
    ASSERT_TRUE(FileTimeToLocalFileTime(&moment, &local));
    EXPECT_EQ(static_cast<int64_t>(Ticks(local) - Ticks(moment)), bias);
    ASSERT_TRUE(LocalFileTimeToFileTime(&moment, &back));
    EXPECT_EQ(static_cast<int64_t>(Ticks(moment) - Ticks(back)), bias);
  }
}

TEST_F(Win32Times, LocalConversionsRefuseToLeaveTheRange) {
  Zone("XYZ+5"); // five hours west
  FILETIME early = Make(60 * kTicks), out;
  SetLastError(0);
  EXPECT_FALSE(FileTimeToLocalFileTime(&early, &out));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  Zone("XYZ-5");
  SetLastError(0);
  EXPECT_FALSE(LocalFileTimeToFileTime(&early, &out));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Win32Times, SetFileTimeChangesOnlyTheLastWrite) {
  MakeFile("f.txt", "x");
  struct timespec before[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, Host("f.txt").c_str(), before, 0), 0);
  HANDLE h = CreateFileA("C:\\f.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME write = At(2001, 2, 3, 4, 5, 6);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &write));
  CloseHandle(h);
  struct stat st;
  ASSERT_EQ(stat(Host("f.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 981173106);
  EXPECT_EQ(st.st_mtim.tv_nsec, 0);
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);

  // A file open for reading only may not have its times set.
  h = CreateFileA("C:\\f.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME other = At(2010, 1, 1, 0, 0, 0);
  SetLastError(0);
  EXPECT_FALSE(SetFileTime(h, nullptr, nullptr, &other));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(h);
  ASSERT_EQ(stat(Host("f.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 981173106);
}

TEST_F(Win32Times, DosTimeStampThroughLocalTime) {
  // What the installer does with a payload date: DOS (local) -> FILETIME -> UTC -> last write.
  Zone("XYZ-1");
  MakeFile("f.txt", "x");
  FILETIME local, utc;
  ASSERT_TRUE(DosDateTimeToFileTime(DosDate(2003, 6, 7), DosTime(8, 9, 10), &local));
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
  HANDLE h = CreateFileA("C:\\f.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &utc));
  CloseHandle(h);
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA("C:\\f.txt", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  FindClose(search);
  EXPECT_EQ(Ticks(data.ftLastWriteTime), Ticks(At(2003, 6, 7, 7, 9, 10)));
  FILETIME shown;
  WORD date, time;
  ASSERT_TRUE(FileTimeToLocalFileTime(&data.ftLastWriteTime, &shown));
  ASSERT_TRUE(FileTimeToDosDateTime(&shown, &date, &time));
  EXPECT_EQ(date, DosDate(2003, 6, 7));
  EXPECT_EQ(time, DosTime(8, 9, 10));
}

} // namespace
