// Injected faults are read once per process, so each scenario runs in a fresh copy of this
// program: the parent test starts it with ZARVO_SETUP_FAULTS set and a filter naming the
// matching Win32FaultChild test, disabled (and skipped without the parent's environment) otherwise.
#include "prefix.h"

#include <fstream>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

bool InChild() {
  return getenv("ZARVO_FAULT_CHILD") != nullptr;
}

// Runs <suite>.DISABLED_<name> in a new process with the given faults; its exit status.
int RunScenario(const std::string& name, const std::string& faults, std::string* output,
                const std::string& suite = "Win32FaultChild") {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return -1;
  exe[n] = 0;
  std::string filter = "--gtest_filter=" + suite + ".DISABLED_" + name;
  std::string env1 = "ZARVO_SETUP_FAULTS=" + faults, env2 = "ZARVO_FAULT_CHILD=1";
  std::vector<std::string> env = {env1, env2};
  for (char** e = environ; *e; ++e)
    if (strncmp(*e, "ZARVO_SETUP_FAULTS=", 19) != 0) env.push_back(*e);
  char alsoDisabled[] = "--gtest_also_run_disabled_tests";
  std::vector<char*> envp, argv = {exe, const_cast<char*>(filter.c_str()), alsoDisabled, nullptr};
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  pid_t pid;
  int spawned = posix_spawn(&pid, exe, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    return -1;
  }
  char chunk[4096];
  while ((n = read(pipeFds[0], chunk, sizeof chunk)) > 0) output->append(chunk, n);
  close(pipeFds[0]);
  int status;
  waitpid(pid, &status, 0);
  // A filter that matched nothing would pass silently: make sure the child test ran.
  if (output->find("[       OK ] " + suite + ".DISABLED_" + name) == std::string::npos) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Scenario {
  const char* name;
  const char* faults;
};

class Win32Faults : public ::testing::TestWithParam<Scenario> {};

TEST_P(Win32Faults, ScenarioHolds) {
  if (InChild()) GTEST_SKIP();
  std::string output;
  EXPECT_EQ(RunScenario(GetParam().name, GetParam().faults, &output), 0) << output;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Win32Faults,
    ::testing::Values(
        Scenario{"WriteFails", "WriteFile#2=112"},
        Scenario{"CloseFailsAndKeepsTheHandle", "CloseHandle#1=5"},
        Scenario{"CreateFails", "CreateFileA#1=32,CreateFileA#3=5"},
        Scenario{"ReadAndSeekFail", "ReadFile#1=38,SetFilePointer#2=87"},
        Scenario{"SearchFails", "FindFirstFileA#1=3,FindNextFileA#1=21,FindClose#1=6"},
        Scenario{"TimesFail", "FileTimeToLocalFileTime#1=87,LocalFileTimeToFileTime#1=87,"
                              "FileTimeToDosDateTime#1=87,DosDateTimeToFileTime#1=87,"
                              "SetFileTime#1=5"},
        Scenario{"HeapFails", "HeapAlloc#2=8,HeapReAlloc#1=8,HeapFree#1=87,"
                              "GetProcessHeap#1=6"},
        Scenario{"DirectoryAndModuleFail",
                 "SetCurrentDirectoryA#2=5,GetModuleFileNameA#1=8,DeleteFileA#1=32"},
        Scenario{"UiFails", "MessageBoxA#1=1400,LoadCursorA#1=1814,SetCursor#1=6"},
        Scenario{"ExecFails", "WinExec#1=11"},
        Scenario{"MalformedEntriesAreIgnored",
                 "Bogus#1=5,WriteFile#x=3,WriteFile#0=5,ReadFile=3,,ReadFile#2=38"}));

// The children: each runs only when started by the parent above.
class Win32FaultChild : public PrefixTest {
protected:
  void SetUp() override {
    if (!InChild()) GTEST_SKIP();
    PrefixTest::SetUp();
  }
  HANDLE Create(const char* name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
};

TEST_F(Win32FaultChild, DISABLED_WriteFails) {
  HANDLE h = Create("C:\\f.txt");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD done = 9;
  EXPECT_TRUE(WriteFile(h, "one", 3, &done, nullptr));
  EXPECT_FALSE(WriteFile(h, "two", 3, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(WriteFile(h, "six", 3, &done, nullptr));
  CloseHandle(h);
  EXPECT_EQ(ReadHost("f.txt"), "onesix");
}

TEST_F(Win32FaultChild, DISABLED_CloseFailsAndKeepsTheHandle) {
  HANDLE h = Create("C:\\f.txt");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  DWORD done;
  EXPECT_TRUE(WriteFile(h, "still", 5, &done, nullptr));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(ReadHost("f.txt"), "still");
}

TEST_F(Win32FaultChild, DISABLED_CreateFails) {
  // SetUp's SetCurrentDirectoryA made no CreateFileA call: the first one here is number 1.
  EXPECT_EQ(Create("C:\\f.txt"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(HostExists("f.txt"));
  HANDLE h = Create("C:\\f.txt");
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(Create("C:\\f.txt"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Win32FaultChild, DISABLED_ReadAndSeekFail) {
  MakeFile("f.txt", "abcdef");
  HANDLE h = CreateFileA("C:\\f.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buffer[8];
  DWORD done = 5;
  EXPECT_FALSE(ReadFile(h, buffer, 2, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(SetFilePointer(h, 1, nullptr, FILE_BEGIN), 1u);
  EXPECT_EQ(SetFilePointer(h, 3, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // Neither failure moved anything: the read starts where the first seek put it.
  EXPECT_TRUE(ReadFile(h, buffer, 2, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "bc");
  CloseHandle(h);
}

TEST_F(Win32FaultChild, DISABLED_SearchFails) {
  MakeFile("a.txt");
  MakeFile("b.txt");
  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileA("C:\\*.txt", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  HANDLE h = FindFirstFileA("C:\\*.txt", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "a.txt");
  EXPECT_FALSE(FindNextFileA(h, &data));
  EXPECT_EQ(GetLastError(), 21u);
  EXPECT_TRUE(FindNextFileA(h, &data));
  EXPECT_STREQ(data.cFileName, "b.txt");
  EXPECT_FALSE(FindClose(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(FindClose(h)); // the failed close left it open
}

TEST_F(Win32FaultChild, DISABLED_TimesFail) {
  FILETIME t = {0, 0x01C00000}, out = {1, 1};
  WORD date, time;
  EXPECT_FALSE(FileTimeToLocalFileTime(&t, &out));
  EXPECT_EQ(out.dwLowDateTime, 1u);
  EXPECT_FALSE(LocalFileTimeToFileTime(&t, &out));
  EXPECT_FALSE(FileTimeToDosDateTime(&t, &date, &time));
  EXPECT_FALSE(DosDateTimeToFileTime(0x2A21, 0, &out));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(FileTimeToLocalFileTime(&t, &out));
  EXPECT_TRUE(DosDateTimeToFileTime(0x2A21, 0, &out));
  MakeFile("f.txt");
  HANDLE h = Create("C:\\f.txt");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(SetFileTime(h, nullptr, nullptr, &out));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &out));
  CloseHandle(h);
}

TEST_F(Win32FaultChild, DISABLED_HeapFails) {
  EXPECT_EQ(GetProcessHeap(), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HANDLE heap = GetProcessHeap();
  ASSERT_NE(heap, nullptr);
  void* block = HeapAlloc(heap, 0, 8);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(HeapAlloc(heap, 0, 8), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(HeapReAlloc(heap, 0, block, 64), nullptr);
  EXPECT_FALSE(HeapFree(heap, 0, block));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(HeapFree(heap, 0, block)); // still live after the injected failures
}

TEST_F(Win32FaultChild, DISABLED_DirectoryAndModuleFail) {
  // SetUp made the first SetCurrentDirectoryA call.
  MakeDir("w");
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\w"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(SetCurrentDirectoryA("C:\\w"));
  char buffer[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_GT(GetModuleFileNameA(nullptr, buffer, sizeof buffer), 0u);
  MakeFile("f.txt");
  EXPECT_FALSE(DeleteFileA("C:\\f.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(HostExists("f.txt"));
  EXPECT_TRUE(DeleteFileA("C:\\f.txt"));
}

TEST_F(Win32FaultChild, DISABLED_UiFails) {
  std::string log = prefix + "/transcript.log";
  setenv("ZARVO_SETUP_LOG", log.c_str(), 1);
  EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK), 0);
  EXPECT_EQ(GetLastError(), 1400u);
  EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK), IDOK);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_WAIT), nullptr);
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  ASSERT_NE(wait, nullptr);
  EXPECT_EQ(SetCursor(wait), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(SetCursor(wait), LoadCursorA(nullptr, IDC_ARROW)); // the failure changed nothing
  EXPECT_EQ(ReadWholeFile(log),
            "box\t0x00\tcaption\ttext\t0\nbox\t0x00\tcaption\ttext\t1\ncursor\twait\n");
  unsetenv("ZARVO_SETUP_LOG");
}

TEST_F(Win32FaultChild, DISABLED_ExecFails) {
  std::string log = prefix + "/transcript.log";
  setenv("ZARVO_SETUP_LOG", log.c_str(), 1);
  EXPECT_EQ(WinExec("C:\\x.exe /i", SW_SHOWNORMAL), 11u);
  EXPECT_EQ(GetLastError(), 11u);
  EXPECT_EQ(WinExec("C:\\x.exe /i", SW_SHOWNORMAL), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ReadWholeFile(log), "exec\tC:\\\\x.exe /i\t1\nexec\tC:\\\\x.exe /i\t1\n");
  unsetenv("ZARVO_SETUP_LOG");
}

TEST_F(Win32FaultChild, DISABLED_MalformedEntriesAreIgnored) {
  HANDLE h = Create("C:\\f.txt");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD done;
  EXPECT_TRUE(WriteFile(h, "abc", 3, &done, nullptr));
  EXPECT_TRUE(WriteFile(h, "abc", 3, &done, nullptr));
  EXPECT_TRUE(WriteFile(h, "abc", 3, &done, nullptr));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
  char buffer[4];
  EXPECT_TRUE(ReadFile(h, buffer, 1, &done, nullptr));
  EXPECT_FALSE(ReadFile(h, buffer, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
  CloseHandle(h);
}

} // namespace

namespace {

// A fresh process serves here too: before any SetCurrentDirectoryA, the current directory is
// the one the process started in, mapped back to its drive.
using Win32FreshProcess = PrefixTest;

TEST_F(Win32FreshProcess, StartsInTheDirectoryItWasStartedIn) {
  if (InChild()) GTEST_SKIP();
  MakeDir("Program Files/ZARVO");
  MakeFile("Program Files/ZARVO/ab.ini", "found");
  ASSERT_EQ(chdir(Host("Program Files/ZARVO").c_str()), 0);
  std::string output;
  EXPECT_EQ(RunScenario("StartsInTheDirectoryItWasStartedIn", "", &output, "Win32FreshChild"), 0)
      << output;
}

TEST(Win32FreshChild, DISABLED_StartsInTheDirectoryItWasStartedIn) {
  if (!InChild()) GTEST_SKIP();
  HANDLE h = CreateFileA("ab.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  // "\" is the root of the drive the start directory lies on.
  h = CreateFileA("\\Program Files\\ZARVO\\ab.ini", GENERIC_READ, FILE_SHARE_READ, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

} // namespace
