#include "prefix.h"

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Win32Names = PrefixTest;

std::string ReadThrough(const char* name) {
  HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<error " + std::to_string(GetLastError()) + ">";
  char buffer[64];
  DWORD done = 0;
  ReadFile(h, buffer, sizeof buffer, &done, nullptr);
  CloseHandle(h);
  return std::string(buffer, done);
}

TEST_F(Win32Names, AnyCaseFindsTheNameAndTheExactCaseWins) {
  MakeDir("ZarVo");
  MakeFile("ZarVo/Foo.TXT", "mixed");
  EXPECT_EQ(ReadThrough("C:\\zarvo\\foo.txt"), "mixed");
  EXPECT_EQ(ReadThrough("C:\\ZARVO\\FOO.TXT"), "mixed");
  MakeFile("ZarVo/foo.txt", "lower");
  EXPECT_EQ(ReadThrough("C:\\ZarVo\\foo.txt"), "lower");
  EXPECT_EQ(ReadThrough("C:\\ZarVo\\Foo.TXT"), "mixed");
}

TEST_F(Win32Names, CreateAlwaysOverAnotherCaseKeepsThatFile) {
  MakeFile("Foo.TXT", "old content");
  HANDLE h =
      CreateFileA("C:\\foo.txt", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  DWORD done;
  ASSERT_TRUE(WriteFile(h, "new", 3, &done, nullptr));
  CloseHandle(h);
  EXPECT_FALSE(HostExists("foo.txt"));
  EXPECT_EQ(ReadHost("Foo.TXT"), "new");
}

TEST_F(Win32Names, NewFilesKeepTheCaseTheyWereCreatedWith) {
  HANDLE h = CreateFileA("C:\\MixedCase.Dat", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(HostExists("MixedCase.Dat"));
}

// The 8.3 alias Windows' system drive gives a name, or "" for a valid 8.3 name.
struct AliasCase {
  std::vector<std::string> names; // all created in one folder
  std::string name;               // the one looked at
  std::string alias;
};

class Win32Aliases : public Win32Names, public ::testing::WithParamInterface<AliasCase> {};

TEST_P(Win32Aliases, GeneratedOnDriveC) {
  MakeDir("w");
  for (const std::string& n : GetParam().names) MakeFile("w/" + n, n);
  WIN32_FIND_DATAA data;
  std::string pattern = "C:\\w\\" + GetParam().name;
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << pattern;
  FindClose(h);
  EXPECT_EQ(std::string(data.cFileName), GetParam().name);
  EXPECT_EQ(std::string(data.cAlternateFileName), GetParam().alias) << GetParam().name;
  if (!GetParam().alias.empty()) {
    // The alias names the file too, in any case.
    EXPECT_EQ(ReadThrough(("C:\\w\\" + GetParam().alias).c_str()), GetParam().name);
    std::string lower = GetParam().alias;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(ReadThrough(("c:\\W\\" + lower).c_str()), GetParam().name);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Win32Aliases,
    ::testing::Values(
        AliasCase{{"index.html"}, "index.html", "INDEX~1.HTM"},
        AliasCase{{"readme.txt"}, "readme.txt", ""}, AliasCase{{"AB.INI"}, "AB.INI", ""},
        AliasCase{{"zarvowin.exe"}, "zarvowin.exe", ""},
        AliasCase{{"long name.text"}, "long name.text", "LONGNA~1.TEX"},
        AliasCase{{"a b.txt"}, "a b.txt", "AB~1.TXT"},
        AliasCase{{"a+b.txt"}, "a+b.txt", "AB~1.TXT"}, AliasCase{{"a.b.c"}, "a.b.c", "AB~1.C"},
        AliasCase{{"x.tar.gz"}, "x.tar.gz", "XTAR~1.GZ"},
        AliasCase{{".hidden"}, ".hidden", "HIDDEN~1"},
        AliasCase{{"abcdefghi"}, "abcdefghi", "ABCDEF~1"},
        AliasCase{{"abc.html", "abc.htm"}, "abc.html", "ABC~1.HTM"},
        AliasCase{{"Program Files", "Program Data"}, "Program Data", "PROGRA~1"},
        AliasCase{{"Program Files", "Program Data"}, "Program Files", "PROGRA~2"},
        AliasCase{{"Program Files", "PROGRA~1"}, "Program Files", "PROGRA~2"},
        AliasCase{{"Program Data", "Program Files", "PROGRA~1"}, "Program Files", "PROGRA~3"},
        AliasCase{{"a.html", "a.htm"}, "a.html", "A~1.HTM"},
        AliasCase{{"abcdefgh+"}, "abcdefgh+", "ABCDEF~1"}));

TEST_F(Win32Names, AliasesResolveInEveryComponent) {
  MakeDir("Program Files/ZARVO Deluxe");
  MakeFile("Program Files/ZARVO Deluxe/zarvowin.exe", "exe");
  EXPECT_EQ(ReadThrough("C:\\PROGRA~1\\ZARVOD~1\\zarvowin.exe"), "exe");
  EXPECT_EQ(ReadThrough("C:\\progra~1\\ZARVO Deluxe\\ZARVOWIN.EXE"), "exe");
  EXPECT_EQ(ReadThrough("C:\\PROGRA~2\\ZARVOD~1\\zarvowin.exe"),
            "<error " + std::to_string(ERROR_PATH_NOT_FOUND) + ">");
}

TEST_F(Win32Names, OtherDrivesHaveNoAliases) {
  MakeDir("other/Program Files");
  MakeFile("other/Program Files/f.txt", "f");
  ASSERT_EQ(symlink((driveC + "/other").c_str(), (prefix + "/dosdevices/d:").c_str()), 0);
  EXPECT_EQ(ReadThrough("D:\\Program Files\\f.txt"), "f");
  EXPECT_EQ(ReadThrough("D:\\PROGRA~1\\f.txt"),
            "<error " + std::to_string(ERROR_PATH_NOT_FOUND) + ">");
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("D:\\Program Files", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FindClose(h);
  EXPECT_STREQ(data.cAlternateFileName, "");
}

} // namespace
