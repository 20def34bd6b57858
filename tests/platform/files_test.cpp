#include "prefix.h"

#include <sys/stat.h>
#include <thread>

namespace {

using Win32Files = PrefixTest;

HANDLE Create(const char* name, DWORD disposition, DWORD access = GENERIC_READ | GENERIC_WRITE,
              DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE) {
  return CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(Win32Files, WriteSeekReadRoundTrip) {
  MakeDir("ZARVO");
  HANDLE h = Create("C:\\ZARVO\\ab.ini", CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  DWORD done = 99;
  ASSERT_TRUE(WriteFile(h, "hello world", 11, &done, nullptr));
  EXPECT_EQ(done, 11u);
  EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(done, 5u);
  EXPECT_STREQ(buffer, "world");
  // At and past the end: success with nothing read.
  ASSERT_TRUE(ReadFile(h, buffer, 4, &done, nullptr));
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(SetFilePointer(h, 100, nullptr, FILE_BEGIN), 100u);
  ASSERT_TRUE(ReadFile(h, buffer, 4, &done, nullptr));
  EXPECT_EQ(done, 0u);
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_EQ(ReadHost("ZARVO/ab.ini"), "hello world");
}

} // namespace

namespace {

struct DispositionCase {
  bool exists;
  DWORD disposition;
  bool opens;
  DWORD error;         // GetLastError after the call, success or not
  const char* content; // the file's content afterwards, or null when there is no file
};

class Win32Dispositions : public Win32Files,
                          public ::testing::WithParamInterface<DispositionCase> {};

TEST_P(Win32Dispositions, ActAsWindowsDoes) {
  const DispositionCase& c = GetParam();
  if (c.exists) MakeFile("f.txt", "old");
  SetLastError(0xDEAD);
  HANDLE h = Create("C:\\f.txt", c.disposition);
  EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
  EXPECT_EQ(GetLastError(), c.error);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  if (c.content) {
    EXPECT_EQ(ReadHost("f.txt"), c.content);
  } else {
    EXPECT_FALSE(HostExists("f.txt"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Win32Dispositions,
    ::testing::Values(DispositionCase{false, CREATE_NEW, true, 0, ""},
                      DispositionCase{true, CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
                      DispositionCase{false, CREATE_ALWAYS, true, 0, ""},
                      DispositionCase{true, CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
                      DispositionCase{false, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
                      DispositionCase{true, OPEN_EXISTING, true, 0, "old"},
                      DispositionCase{false, OPEN_ALWAYS, true, 0, ""},
                      DispositionCase{true, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
                      DispositionCase{false, TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND,
                                      nullptr},
                      DispositionCase{true, TRUNCATE_EXISTING, true, 0, ""},
                      DispositionCase{true, 0, false, ERROR_INVALID_PARAMETER, "old"},
                      DispositionCase{false, 6, false, ERROR_INVALID_PARAMETER, nullptr}));

// Checked by the layer itself: the tests may run as root, whom the permission bits don't stop.
TEST_F(Win32Files, ReadOnlyAndHiddenFilesRefuseCreateAlways) {
  MakeFile("ro.txt", "keep");
  ChmodHost("ro.txt", 0444);
  MakeFile(".hidden", "keep");
  for (const char* name : {"C:\\ro.txt", "C:\\.hidden", "C:\\RO.TXT"}) {
    EXPECT_EQ(Create(name, CREATE_ALWAYS), INVALID_HANDLE_VALUE) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << name;
  }
  EXPECT_EQ(ReadHost("ro.txt"), "keep");
  EXPECT_EQ(ReadHost(".hidden"), "keep");
  EXPECT_EQ(Create("C:\\ro.txt", OPEN_EXISTING, GENERIC_WRITE), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Create("C:\\ro.txt", TRUNCATE_EXISTING, GENERIC_WRITE), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // Reading them is fine, and so is writing a hidden file that is kept.
  HANDLE h = Create("C:\\ro.txt", OPEN_EXISTING, GENERIC_READ);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  h = Create("C:\\.hidden", OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD done;
  EXPECT_TRUE(WriteFile(h, "K", 1, &done, nullptr));
  CloseHandle(h);
  EXPECT_EQ(ReadHost(".hidden"), "Keep");
  // Asking for the hidden attribute makes CREATE_ALWAYS over a hidden file acceptable.
  h = CreateFileA("C:\\.hidden", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN,
                  nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

TEST_F(Win32Files, DirectoriesAreNotFiles) {
  MakeDir("ZARVO");
  for (DWORD disposition : {OPEN_EXISTING, CREATE_ALWAYS, OPEN_ALWAYS, CREATE_NEW}) {
    SetLastError(0);
    EXPECT_EQ(Create("C:\\ZARVO", disposition), INVALID_HANDLE_VALUE);
    DWORD expected = disposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED;
    EXPECT_EQ(GetLastError(), expected) << disposition;
  }
  EXPECT_EQ(Create("C:\\", OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Win32Files, HandlesKeepTheirAccess) {
  MakeFile("f.txt", "data");
  HANDLE reader = Create("C:\\f.txt", OPEN_EXISTING, GENERIC_READ);
  HANDLE writer = Create("C:\\f.txt", OPEN_EXISTING, GENERIC_WRITE);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  char buffer[8];
  DWORD done = 7;
  EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(ReadFile(writer, buffer, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(ReadFile(reader, buffer, 0, &done, nullptr));
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(CloseHandle(reader));
  EXPECT_TRUE(CloseHandle(writer));
  EXPECT_EQ(ReadHost("f.txt"), "data");
}

TEST_F(Win32Files, InvalidHandlesAreRefused) {
  MakeFile("f.txt", "data");
  HANDLE closed = Create("C:\\f.txt", OPEN_EXISTING);
  ASSERT_NE(closed, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(CloseHandle(closed));
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA("C:\\*", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  for (HANDLE h : {closed, INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr),
                   reinterpret_cast<HANDLE>(0x1235), search, GetProcessHeap()}) {
    char buffer[4];
    DWORD done;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(h, buffer, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(WriteFile(h, buffer, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    FILETIME t = {1, 1};
    EXPECT_FALSE(SetFileTime(h, nullptr, nullptr, &t));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  EXPECT_TRUE(FindClose(search));
}

struct SeekCase {
  LONG distance;
  bool withHigh;
  LONG high;
  DWORD method;
  DWORD result;     // the low part returned
  LONG resultHigh;  // the high part written back
  DWORD error;      // when result is INVALID_SET_FILE_POINTER
  int64_t position; // where the file pointer is afterwards
};

class Win32Seeks : public Win32Files, public ::testing::WithParamInterface<SeekCase> {};

// The file holds 10 bytes and the pointer starts at 4.
TEST_P(Win32Seeks, MoveThePointerAsWindowsDoes) {
  const SeekCase& c = GetParam();
  MakeFile("f.txt", "0123456789");
  HANDLE h = Create("C:\\f.txt", OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
  LONG high = c.high;
  SetLastError(0xDEAD);
  DWORD result = SetFilePointer(h, c.distance, c.withHigh ? &high : nullptr, c.method);
  EXPECT_EQ(result, c.result);
  if (c.withHigh && result != INVALID_SET_FILE_POINTER) {
    EXPECT_EQ(high, c.resultHigh);
  }
  if (result == INVALID_SET_FILE_POINTER) {
    EXPECT_EQ(GetLastError(), c.error);
  }
  LONG nowHigh = 0;
  DWORD now = SetFilePointer(h, 0, &nowHigh, FILE_CURRENT);
  EXPECT_EQ((static_cast<int64_t>(nowHigh) << 32) | now, c.position);
  CloseHandle(h);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Win32Seeks,
    ::testing::Values(
        SeekCase{2, false, 0, FILE_BEGIN, 2, 0, 0, 2},
        SeekCase{3, false, 0, FILE_CURRENT, 7, 0, 0, 7},
        SeekCase{-4, false, 0, FILE_CURRENT, 0, 0, 0, 0},
        SeekCase{-5, false, 0, FILE_CURRENT, INVALID_SET_FILE_POINTER, 0, ERROR_NEGATIVE_SEEK, 4},
        SeekCase{-1, false, 0, FILE_END, 9, 0, 0, 9},
        SeekCase{-11, false, 0, FILE_END, INVALID_SET_FILE_POINTER, 0, ERROR_NEGATIVE_SEEK, 4},
        SeekCase{100, false, 0, FILE_BEGIN, 100, 0, 0, 100},
        SeekCase{-1, false, 0, FILE_BEGIN, INVALID_SET_FILE_POINTER, 0, ERROR_NEGATIVE_SEEK, 4},
        SeekCase{5, true, 1, FILE_BEGIN, 5, 1, 0, 0x100000005ll},
        SeekCase{-1, true, -1, FILE_CURRENT, 3, 0, 0, 3},
        SeekCase{-1, true, -1, FILE_BEGIN, INVALID_SET_FILE_POINTER, 0, ERROR_NEGATIVE_SEEK, 4},
        SeekCase{0x7FFFFFFF, false, 0, FILE_CURRENT, 0x80000003u, 0, 0, 0x80000003ll},
        SeekCase{0, false, 0, 3, INVALID_SET_FILE_POINTER, 0, ERROR_INVALID_PARAMETER, 4}));

TEST_F(Win32Files, SeekToLowPartAllOnesIsToldFromFailureByTheError) {
  MakeFile("f.txt", "x");
  HANDLE h = Create("C:\\f.txt", OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LONG high = 0;
  SetLastError(0xDEAD);
  EXPECT_EQ(SetFilePointer(h, -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(high, 0);
  CloseHandle(h);
}

TEST_F(Win32Files, SharingBetweenHandlesOfThisProcess) {
  MakeFile("Shared.txt", "s");
  HANDLE first = Create("C:\\Shared.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  // Another reader that shares as much is welcome, in any spelling of the name.
  HANDLE second = Create("C:\\SHARED.TXT", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_NE(second, INVALID_HANDLE_VALUE);
  CloseHandle(second);
  // A writer is not: the first handle does not share writing.
  EXPECT_EQ(Create("C:\\shared.txt", OPEN_EXISTING, GENERIC_WRITE), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  // Nor a handle that would not share reading with the first one.
  EXPECT_EQ(Create("C:\\Shared.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_WRITE),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(Create("C:\\Shared.txt", CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(DeleteFileA("C:\\Shared.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(HostExists("Shared.txt"));
  CloseHandle(first);
  HANDLE writer = Create("C:\\shared.txt", OPEN_EXISTING, GENERIC_WRITE);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE);
  CloseHandle(writer);
  EXPECT_TRUE(DeleteFileA("C:\\Shared.txt"));
}

TEST_F(Win32Files, DeleteFileReportsAsWindowsDoes) {
  MakeDir("ZARVO");
  MakeFile("ZARVO/Old.DAT", "x");
  MakeFile("ZARVO/ro.dat", "x");
  ChmodHost("ZARVO/ro.dat", 0444);
  SetLastError(0);
  EXPECT_TRUE(DeleteFileA("c:\\zarvo\\old.dat"));
  EXPECT_FALSE(HostExists("ZARVO/Old.DAT"));
  struct {
    const char* name;
    DWORD error;
  } cases[] = {
      {"C:\\ZARVO\\Old.DAT", ERROR_FILE_NOT_FOUND}, {"C:\\Missing\\Old.DAT", ERROR_PATH_NOT_FOUND},
      {"C:\\ZARVO", ERROR_ACCESS_DENIED},           {"C:\\ZARVO\\ro.dat", ERROR_ACCESS_DENIED},
      {"C:\\ZARVO\\a*", ERROR_INVALID_NAME},        {"Q:\\x", ERROR_PATH_NOT_FOUND}};
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(c.name)) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
  EXPECT_TRUE(HostExists("ZARVO/ro.dat"));
}

TEST_F(Win32Files, WritingToAFullDiskFailsWith112) {
  HANDLE h = Create("Z:\\dev\\full", OPEN_EXISTING, GENERIC_WRITE);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD done = 7;
  EXPECT_FALSE(WriteFile(h, "abc", 3, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(done, 0u);
  CloseHandle(h);
}

TEST_F(Win32Files, MissingFoldersAndBadNames) {
  MakeFile("plain.txt");
  struct {
    const char* name;
    DWORD disposition;
    DWORD error;
  } cases[] = {{"C:\\Missing\\f.txt", CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
               {"C:\\plain.txt\\f.txt", CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
               {"C:\\a?.txt", CREATE_ALWAYS, ERROR_INVALID_NAME},
               {"C:\\new\\", CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
               {"C:\\plain.txt\\", OPEN_EXISTING, ERROR_INVALID_NAME}};
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(Create(c.name, c.disposition), INVALID_HANDLE_VALUE) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
}

TEST_F(Win32Files, GetLastErrorBelongsToTheThread) {
  SetLastError(1234);
  DWORD seen = 0;
  std::thread other([&] {
    seen = GetLastError();
    SetLastError(99);
  });
  other.join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), 1234u);
}

} // namespace
