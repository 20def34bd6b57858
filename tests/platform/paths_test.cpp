#include "prefix.h"

#include <filesystem>
#include <fstream>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Win32Paths = PrefixTest;

HANDLE OpenRead(const char* name) {
  return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(HANDLE h) {
  char buffer[256];
  DWORD done = 0;
  if (!ReadFile(h, buffer, sizeof buffer, &done, nullptr)) return "<read failed>";
  return std::string(buffer, done);
}

// The error of opening `name`, or 0 with the content it holds in *content.
DWORD OpenError(const char* name, std::string* content = nullptr) {
  SetLastError(0xDEAD);
  HANDLE h = OpenRead(name);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  if (content) *content = ReadAll(h);
  CloseHandle(h);
  return 0;
}

struct PathCase {
  const char* path;
  DWORD error; // 0: opens C:\ZARVO\ab.ini
};

class Win32PathForms : public Win32Paths, public ::testing::WithParamInterface<PathCase> {};

TEST_P(Win32PathForms, ResolveAsWindowsDoes) {
  MakeDir("ZARVO");
  MakeFile("ZARVO/ab.ini", "ini");
  MakeFile("plain.txt", "x");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\ZARVO"));
  std::string content;
  DWORD error = OpenError(GetParam().path, &content);
  EXPECT_EQ(error, GetParam().error) << GetParam().path;
  if (error == 0) {
    EXPECT_EQ(content, "ini") << GetParam().path;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Win32PathForms,
    ::testing::Values(
        PathCase{"C:\\ZARVO\\ab.ini", 0}, PathCase{"c:\\zarvo\\AB.INI", 0},
        PathCase{"C:/ZARVO/ab.ini", 0}, PathCase{"C:\\ZARVO/ab.ini", 0},
        PathCase{"C:\\\\ZARVO\\\\ab.ini", 0}, PathCase{"ab.ini", 0}, PathCase{".\\ab.ini", 0},
        PathCase{"C:ab.ini", 0}, PathCase{"\\ZARVO\\ab.ini", 0}, PathCase{"..\\ZARVO\\ab.ini", 0},
        PathCase{"C:\\..\\..\\ZARVO\\ab.ini", 0}, PathCase{"C:\\ZARVO\\sub\\..\\ab.ini", 0},
        PathCase{"C:\\ZARVO.\\ab.ini", 0}, PathCase{"C:\\ZARVO \\ab.ini. . ", 0},
        PathCase{"Z:"
                 "\\nonexistent-zarvo-folder\\ab.ini",
                 ERROR_PATH_NOT_FOUND},
        PathCase{"C:\\ZARVO\\missing.ini", ERROR_FILE_NOT_FOUND},
        PathCase{"C:\\Missing\\ab.ini", ERROR_PATH_NOT_FOUND},
        PathCase{"C:\\plain.txt\\ab.ini", ERROR_PATH_NOT_FOUND},
        PathCase{"Q:\\ab.ini", ERROR_PATH_NOT_FOUND},
        PathCase{"\\\\server\\share\\ab.ini", ERROR_PATH_NOT_FOUND},
        PathCase{"", ERROR_PATH_NOT_FOUND}, PathCase{"C:\\ZARVO\\a<b", ERROR_INVALID_NAME},
        PathCase{"C:\\ZARVO\\a>b", ERROR_INVALID_NAME},
        PathCase{"C:\\ZARVO\\a:b", ERROR_INVALID_NAME},
        PathCase{"C:\\ZARVO\\a\"b", ERROR_INVALID_NAME},
        PathCase{"C:\\ZARVO\\a|b", ERROR_INVALID_NAME},
        PathCase{"C:\\ZARVO\\a?b", ERROR_INVALID_NAME},
        PathCase{"C:\\ZARVO\\a*b", ERROR_INVALID_NAME},
        PathCase{"C:\\ZA*O\\ab.ini", ERROR_INVALID_NAME},
        PathCase{"C:\\ZARVO\\a\x01"
                 "b",
                 ERROR_INVALID_NAME}));

TEST_F(Win32Paths, DriveRelativeOnAnotherDriveStartsAtItsRoot) {
  MakeDir("ZARVO");
  MakeDir("other");
  MakeFile("other/x.txt", "d");
  ASSERT_EQ(symlink((driveC + "/other").c_str(), (prefix + "/dosdevices/d:").c_str()), 0);
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\ZARVO"));
  std::string content;
  EXPECT_EQ(OpenError("D:x.txt", &content), 0u);
  EXPECT_EQ(content, "d");
  EXPECT_EQ(OpenError("d:\\X.TXT"), 0u);
}

TEST_F(Win32Paths, DriveMayBeAFolderInsteadOfALink) {
  ASSERT_EQ(mkdir((prefix + "/dosdevices/e:").c_str(), 0755), 0);
  ASSERT_TRUE(std::ofstream(prefix + "/dosdevices/e:/f.txt") << "e");
  std::string content;
  EXPECT_EQ(OpenError("E:\\f.txt", &content), 0u);
  EXPECT_EQ(content, "e");
}

TEST_F(Win32Paths, MissingPrefixIsAMissingPath) {
  setenv("WINEPREFIX", (prefix + "/no-such-prefix").c_str(), 1);
  EXPECT_EQ(OpenError("C:\\ab.ini"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Win32Paths, DefaultPrefixIsDotWineInHome) {
  std::string home = prefix + "/home";
  std::filesystem::create_directories(home + "/.wine/dosdevices");
  ASSERT_EQ(symlink(driveC.c_str(), (home + "/.wine/dosdevices/c:").c_str()), 0);
  MakeFile("home.txt", "h");
  std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
  unsetenv("WINEPREFIX");
  setenv("HOME", home.c_str(), 1);
  std::string content;
  EXPECT_EQ(OpenError("C:\\home.txt", &content), 0u);
  EXPECT_EQ(content, "h");
  setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(Win32Paths, TooLongPathsAreRefused) {
  std::string longName(256, 'a');
  EXPECT_EQ(OpenError(("C:\\" + longName).c_str()), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  std::string longPath = "C:";
  while (longPath.size() < MAX_PATH) longPath += "\\abcdefgh";
  EXPECT_EQ(OpenError(longPath.c_str()), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_EQ(OpenError(nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

struct ChdirCase {
  const char* path;
  DWORD error;
};

class Win32ChangeDirectory : public Win32Paths, public ::testing::WithParamInterface<ChdirCase> {};

TEST_P(Win32ChangeDirectory, ReportsAsWindowsDoes) {
  MakeDir("Program Files/ZARVO");
  MakeFile("plain.txt");
  SetLastError(0);
  BOOL ok = SetCurrentDirectoryA(GetParam().path);
  EXPECT_EQ(ok, GetParam().error == 0) << GetParam().path;
  if (!ok) {
    EXPECT_EQ(GetLastError(), GetParam().error) << GetParam().path;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Win32ChangeDirectory,
    ::testing::Values(ChdirCase{"C:\\Program Files\\ZARVO", 0},
                      ChdirCase{"C:\\Program Files\\ZARVO\\", 0}, ChdirCase{"c:\\program files", 0},
                      ChdirCase{"C:\\PROGRA~1\\ZARVO", 0}, ChdirCase{"C:\\", 0},
                      ChdirCase{"Z:\\", 0},
                      ChdirCase{"C:\\Program Files\\Missing", ERROR_FILE_NOT_FOUND},
                      ChdirCase{"C:\\Missing\\ZARVO", ERROR_PATH_NOT_FOUND},
                      ChdirCase{"C:\\plain.txt", ERROR_DIRECTORY},
                      ChdirCase{"C:\\plain.txt\\sub", ERROR_PATH_NOT_FOUND},
                      ChdirCase{"Q:\\", ERROR_PATH_NOT_FOUND},
                      ChdirCase{"C:\\a|b", ERROR_INVALID_NAME}));

TEST_F(Win32Paths, CurrentDirectoryMovesTheProcessToo) {
  MakeDir("Program Files/ZARVO");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\progra~1\\zarvo"));
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(std::string(cwd), Host("Program Files/ZARVO"));
  // A failed change leaves both where they were.
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\Missing"));
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(std::string(cwd), Host("Program Files/ZARVO"));
  MakeFile("Program Files/ZARVO/here.txt", "here");
  EXPECT_EQ(OpenError("here.txt"), 0u);
}

std::string HostExecutable() {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  return n > 0 ? std::string(exe, n) : "";
}

TEST_F(Win32Paths, ModuleFileNameMapsThroughTheLongestDrive) {
  std::string exe = HostExecutable();
  ASSERT_FALSE(exe.empty());
  char buffer[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  std::string expected = "Z:" + exe;
  for (char& c : expected)
    if (c == '/') c = '\\';
  ASSERT_EQ(std::string(buffer), expected);
  EXPECT_EQ(n, expected.size());

  // A drive on the executable's own folder is a longer match than Z: -> /.
  std::string folder = std::filesystem::path(exe).parent_path().string();
  ASSERT_EQ(symlink(folder.c_str(), (prefix + "/dosdevices/d:").c_str()), 0);
  n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  std::string name = std::filesystem::path(exe).filename().string();
  EXPECT_EQ(std::string(buffer), "D:\\" + name);
  EXPECT_EQ(n, name.size() + 3);
}

TEST_F(Win32Paths, ModuleFileNameInASmallBuffer) {
  char buffer[MAX_PATH + 1];
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  ASSERT_GT(length, 4u);
  std::string full = buffer;

  char exact[MAX_PATH + 1];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(nullptr, exact, length + 1), length);
  EXPECT_EQ(std::string(exact), full);

  char small[MAX_PATH + 1];
  memset(small, 'x', sizeof small);
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, length), length);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small), full.substr(0, length - 1));

  EXPECT_EQ(GetModuleFileNameA(nullptr, small, 4), 4u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small), full.substr(0, 3));
}

} // namespace
