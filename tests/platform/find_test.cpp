#include "prefix.h"

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Win32Find = PrefixTest;

// Every name FindFirstFileA/FindNextFileA give for a pattern, in order; the error ends the list.
std::vector<std::string> Names(const char* pattern, DWORD* error = nullptr) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern, &data);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = GetLastError();
    return names;
  }
  do names.push_back(data.cFileName);
  while (FindNextFileA(h, &data));
  if (error) *error = GetLastError();
  FindClose(h);
  return names;
}

struct WildcardCase {
  const char* pattern;
  const char* name;
  bool matches;
};

class Win32Wildcards : public Win32Find, public ::testing::WithParamInterface<WildcardCase> {};

TEST_P(Win32Wildcards, MatchAsWindowsDoes) {
  const WildcardCase& c = GetParam();
  MakeDir("w");
  MakeFile(std::string("w/") + c.name);
  std::vector<std::string> names = Names((std::string("C:\\w\\") + c.pattern).c_str());
  bool found = std::find(names.begin(), names.end(), c.name) != names.end();
  EXPECT_EQ(found, c.matches) << "pattern \"" << c.pattern << "\", name \"" << c.name << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Win32Wildcards,
    ::testing::Values(
        // "*" is any run; "*.*" at the end is "*".
        WildcardCase{"*", "abc", true}, WildcardCase{"*", "a.b", true},
        WildcardCase{"*.*", "abc", true}, WildcardCase{"*.*", "a.b.c", true},
        WildcardCase{"a*.*", "abc", true}, WildcardCase{"a*.*", "bc", false},
        WildcardCase{"a*b", "ab", true}, WildcardCase{"a*b", "aXYb", true},
        WildcardCase{"a*b", "aXYc", false}, WildcardCase{"*b", "a.b", true},
        WildcardCase{"*a*", "bab", true},
        // A trailing "." is dropped.
        WildcardCase{"*.", "a.b", true}, WildcardCase{"abc.", "abc", true},
        // "?" is one character, or nothing before a "." or at the end.
        WildcardCase{"a??", "a", true}, WildcardCase{"a??", "ab", true},
        WildcardCase{"a??", "abc", true}, WildcardCase{"a??", "abcd", false},
        WildcardCase{"?", "ab", false}, WildcardCase{"a?c", "a.c", false},
        WildcardCase{"??.txt", "a.txt", true}, WildcardCase{"??.txt", "ab.txt", true},
        WildcardCase{"??.txt", "abc.txt", false}, WildcardCase{"?.?", "a.b", true},
        // "." before "*" or "?" is a "." or the end.
        WildcardCase{"x.*", "x", true}, WildcardCase{"x.*", "x.y", true},
        WildcardCase{"x.*", "xy", false}, WildcardCase{"a.?", "a", true},
        WildcardCase{"a.?", "a.b", true}, WildcardCase{"a.?", "a.bc", false},
        // "*" before "." runs up to the last ".".
        WildcardCase{"*.txt", "a.txt", true}, WildcardCase{"*.txt", "a.b.txt", true},
        WildcardCase{"*.txt", "txt", false}, WildcardCase{"*.txt", "a.txt.bak", false},
        WildcardCase{"*.txt", ".txt", true}, WildcardCase{"*.t*", "a.b.tx", true},
        WildcardCase{"*.b*", "a.b.tx", true}, WildcardCase{"*.b", "a.b.tx", false},
        WildcardCase{"*.tx", "a.b.tx", true}, WildcardCase{"*x", "a.b.tx", true},
        // Case does not matter; the 8.3 alias is matched too.
        WildcardCase{"*.TXT", "a.txt", true}, WildcardCase{"A*", "abc", true},
        WildcardCase{"*.htm", "index.html", true}, WildcardCase{"INDEX~1.*", "index.html", true},
        WildcardCase{"*.htm", "page.htm", true}, WildcardCase{"*.htm", "a.htmx", true},
        WildcardCase{"*.ht", "index.html", false}, WildcardCase{"*.dcw", "zarvo.dcw", true},
        WildcardCase{"*.dc?", "zarvo.dcw", true}, WildcardCase{"old*.dat", "OLD12.DAT", true}));

TEST_F(Win32Find, DotsFirstThenCaseInsensitiveNameOrder) {
  MakeDir("w");
  for (const char* n : {"b", "A", "c", "_x", "B2", "a1"}) MakeFile(std::string("w/") + n);
  DWORD error = 0;
  EXPECT_EQ(Names("C:\\w\\*", &error),
            (std::vector<std::string>{".", "..", "A", "a1", "b", "B2", "c", "_x"}));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_EQ(Names("C:\\w\\*.*"),
            (std::vector<std::string>{".", "..", "A", "a1", "b", "B2", "c", "_x"}));
  EXPECT_EQ(Names("C:\\w\\b*"), (std::vector<std::string>{"b", "B2"}));
}

TEST_F(Win32Find, DriveRootHasNoDots) {
  MakeFile("x.txt");
  EXPECT_EQ(Names("C:\\*"), (std::vector<std::string>{"x.txt"}));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
  EXPECT_EQ(Names("*"), (std::vector<std::string>{"x.txt"}));
}

TEST_F(Win32Find, ErrorsAsWindowsGivesThem) {
  MakeDir("w");
  MakeFile("w/a.txt");
  MakeFile("plain.txt");
  struct {
    const char* pattern;
    DWORD error;
  } cases[] = {{"C:\\w\\*.doc", ERROR_FILE_NOT_FOUND},
               {"C:\\w\\missing.txt", ERROR_FILE_NOT_FOUND},
               {"C:\\missing\\*", ERROR_PATH_NOT_FOUND},
               {"C:\\missing\\deeper\\*", ERROR_PATH_NOT_FOUND},
               {"C:\\plain.txt\\*", ERROR_DIRECTORY},
               {"C:\\w\\", ERROR_FILE_NOT_FOUND},
               {"C:\\w*\\a.txt", ERROR_INVALID_NAME},
               {"Q:\\*", ERROR_PATH_NOT_FOUND},
               {"", ERROR_PATH_NOT_FOUND}};
  for (const auto& c : cases) {
    DWORD error = 0;
    EXPECT_TRUE(Names(c.pattern, &error).empty()) << c.pattern;
    EXPECT_EQ(error, c.error) << c.pattern;
  }
}

TEST_F(Win32Find, EndOfListIsReportedOnEveryLaterCall) {
  MakeDir("w");
  MakeFile("w/only.txt");
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("C:\\w\\*.txt", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "only.txt");
  for (int i = 0; i < 3; ++i) {
    SetLastError(0);
    EXPECT_FALSE(FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  }
  EXPECT_TRUE(FindClose(h));
  SetLastError(0);
  EXPECT_FALSE(FindClose(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FindNextFileA(h, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Win32Find, APatternWithoutWildcardsIsOneLookup) {
  MakeDir("ZARVO");
  MakeFile("ZARVO/ab.ini", "12345");
  DWORD error = 0;
  EXPECT_EQ(Names("c:\\zarvo\\AB.INI", &error), (std::vector<std::string>{"ab.ini"}));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_EQ(Names("C:\\ZARVO"), (std::vector<std::string>{"ZARVO"}));
  EXPECT_EQ(Names("C:\\ZARVO\\ab.ini."), (std::vector<std::string>{"ab.ini"}));
}

TEST_F(Win32Find, EveryFieldIsFilled) {
  MakeDir("w/sub");
  MakeFile("w/file.txt", "12345");
  MakeFile("w/.hidden", "");
  MakeFile("w/ro.txt", "");
  ChmodHost("w/ro.txt", 0444);
  // A sparse file past 4 GiB shows the high part of the size.
  int fd = open(Host("w/big.bin").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 0x100000007ll), 0);
  close(fd);
  // 2001-02-03 04:05:06.5 UTC written, 2002-01-01 00:00:00 UTC read.
  struct timespec times[2] = {{1009843200, 0}, {981173106, 500000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, Host("w/file.txt").c_str(), times, 0), 0);

  std::map<std::string, WIN32_FIND_DATAA> found;
  WIN32_FIND_DATAA data;
  memset(&data, 0xAB, sizeof data);
  HANDLE h = FindFirstFileA("C:\\w\\*", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do {
    found[data.cFileName] = data;
    memset(&data, 0xAB, sizeof data);
  } while (FindNextFileA(h, &data));
  FindClose(h);

  ASSERT_EQ(found.size(), 7u);
  EXPECT_EQ(found["."].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(found[".."].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(found["sub"].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(found["sub"].nFileSizeLow, 0u);
  EXPECT_EQ(found["file.txt"].dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(found[".hidden"].dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(found["ro.txt"].dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(found["big.bin"].nFileSizeHigh, 1u);
  EXPECT_EQ(found["big.bin"].nFileSizeLow, 7u);

  const WIN32_FIND_DATAA& f = found["file.txt"];
  EXPECT_EQ(f.nFileSizeHigh, 0u);
  EXPECT_EQ(f.nFileSizeLow, 5u);
  EXPECT_EQ(f.dwReserved0, 0u);
  EXPECT_EQ(f.dwReserved1, 0u);
  EXPECT_STREQ(f.cAlternateFileName, "");
  auto ticks = [](const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  const uint64_t from1601 = 11644473600ull * 10000000ull;
  EXPECT_EQ(ticks(f.ftLastWriteTime), from1601 + 981173106ull * 10000000ull + 5000000ull);
  EXPECT_EQ(ticks(f.ftCreationTime), ticks(f.ftLastWriteTime));
  EXPECT_EQ(ticks(f.ftLastAccessTime), from1601 + 1009843200ull * 10000000ull);
  // The name field is terminated and nothing of the previous contents shows after it.
  EXPECT_EQ(f.cFileName[8], 0);
  EXPECT_EQ(f.cFileName[MAX_PATH - 1], 0);
}

} // namespace
