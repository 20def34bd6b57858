#include "prefix.h"

#include <chrono>
#include <fstream>
#include <stdlib.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The transcript's spelling of a text: here only '\' is doubled.
std::string TranscriptText(const std::string& s) {
  std::string out;
  for (char c : s) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

// A fake `wine` on PATH that writes its working directory and arguments, one a line.
class Win32Exec : public PrefixTest {
protected:
  void SetUp() override {
    PrefixTest::SetUp();
    bin = prefix + "/bin";
    ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
    out = prefix + "/wine-args";
    std::ofstream script(bin + "/wine");
    script << "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"" << out
           << ".tmp\" && mv \"" << out << ".tmp\" \"" << out << "\"\n";
    script.close();
    ASSERT_EQ(chmod((bin + "/wine").c_str(), 0755), 0);
    const char* path = getenv("PATH");
    savedPath = path ? path : "/usr/bin:/bin";
    setenv("PATH", (bin + ":" + savedPath).c_str(), 1);
    log = prefix + "/transcript.log";
    setenv("ZARVO_SETUP_LOG", log.c_str(), 1);
    MakeDir("Program Files/ZARVO");
    MakeFile("Program Files/ZARVO/zarvowin.exe", "MZ");
  }
  void TearDown() override {
    setenv("PATH", savedPath.c_str(), 1);
    unsetenv("ZARVO_SETUP_LOG");
    PrefixTest::TearDown();
  }
  // The lines the fake wine wrote: its working directory first, then its arguments.
  std::vector<std::string> WineLines() {
    for (int i = 0; i < 1000 && !std::ifstream(out).good(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<std::string> lines;
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::string bin, out, savedPath, log;
};

struct ExecCase {
  const char* commandLine;
  std::vector<std::string> extraFiles; // under drive_c
  std::vector<std::string> args;       // what wine receives after its own name
};

class Win32ExecResolution : public Win32Exec, public ::testing::WithParamInterface<ExecCase> {};

TEST_P(Win32ExecResolution, FindsTheProgramAsWindowsDoes) {
  for (const std::string& f : GetParam().extraFiles) MakeFile(f, "MZ");
  MakeDir("ZARVO");
  MakeFile("ZARVO/zarvowin.exe", "MZ");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\ZARVO"));
  EXPECT_EQ(WinExec(GetParam().commandLine, SW_SHOWNORMAL), 33u);
  std::vector<std::string> lines = WineLines();
  ASSERT_FALSE(lines.empty()) << GetParam().commandLine;
  EXPECT_EQ(lines[0], Host("ZARVO")); // started in the current directory
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), GetParam().args);
  EXPECT_EQ(ReadWholeFile(log), "exec\t" + TranscriptText(GetParam().commandLine) + "\t1\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, Win32ExecResolution,
    ::testing::Values(ExecCase{"C:\\Program Files\\ZARVO\\zarvowin.exe /i",
                               {},
                               {"C:\\Program Files\\ZARVO\\zarvowin.exe", "/i"}},
                      ExecCase{"C:\\Program Files\\ZARVO\\zarvowin.exe /i",
                               {"Program.exe"},
                               {"C:\\Program.exe", "Files\\ZARVO\\zarvowin.exe", "/i"}},
                      ExecCase{"\"C:\\Program Files\\ZARVO\\zarvowin.exe\" /i",
                               {"Program.exe"},
                               {"C:\\Program Files\\ZARVO\\zarvowin.exe", "/i"}},
                      ExecCase{"C:\\Program Files\\ZARVO\\zarvowin /i",
                               {},
                               {"C:\\Program Files\\ZARVO\\zarvowin.exe", "/i"}},
                      ExecCase{"c:\\PROGRA~1\\zarvo\\ZARVOWIN.EXE /i",
                               {},
                               {"C:\\Program Files\\ZARVO\\zarvowin.exe", "/i"}},
                      ExecCase{"C:\\ZARVO\\zarvowin.exe   /i  second",
                               {},
                               {"C:\\ZARVO\\zarvowin.exe", "/i", "second"}},
                      ExecCase{"C:\\ZARVO\\zarvowin.exe", {}, {"C:\\ZARVO\\zarvowin.exe"}},
                      ExecCase{"zarvowin.exe /i", {}, {"C:\\ZARVO\\zarvowin.exe", "/i"}},
                      ExecCase{"zarvowin /i", {}, {"C:\\ZARVO\\zarvowin.exe", "/i"}}));

TEST_F(Win32Exec, MissingProgramsAndFolders) {
  struct {
    const char* commandLine;
    UINT result;
  } cases[] = {{"C:\\Program Files\\ZARVO\\missing.exe /i", ERROR_FILE_NOT_FOUND},
               {"C:\\Nowhere\\zarvowin.exe /i", ERROR_PATH_NOT_FOUND},
               {"C:\\Program Files\\Nowhere\\zarvowin.exe /i", ERROR_PATH_NOT_FOUND},
               {"\"C:\\Program Files\\ZARVO\\\" /i", ERROR_FILE_NOT_FOUND},
               {"C:\\Program Files\\ZARVO /i", ERROR_FILE_NOT_FOUND},
               {"", ERROR_FILE_NOT_FOUND}};
  std::string expected;
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(WinExec(c.commandLine, SW_SHOWNORMAL), c.result) << c.commandLine;
    EXPECT_EQ(GetLastError(), c.result) << c.commandLine;
    expected += std::string("exec\t") + TranscriptText(c.commandLine) + "\t1\n";
  }
  EXPECT_EQ(ReadWholeFile(log), expected);
  EXPECT_FALSE(std::ifstream(out).good());
}

TEST_F(Win32Exec, WithoutWineOnPathNothingStarts) {
  setenv("PATH", (prefix + "/empty").c_str(), 1);
  SetLastError(0);
  EXPECT_EQ(WinExec("C:\\Program Files\\ZARVO\\zarvowin.exe /i", SW_SHOWNORMAL),
            static_cast<UINT>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ReadWholeFile(log), "exec\tC:\\\\Program Files\\\\ZARVO\\\\zarvowin.exe /i\t1\n");
}

TEST_F(Win32Exec, ExitProcessSkipsAtexitAndRecordsTheCode) {
  static std::string marker;
  marker = prefix + "/atexit-ran";
  int status = RunInChild(
      [](void*) {
        atexit([] { std::ofstream(marker) << "ran"; });
        ExitProcess(7);
      },
      nullptr);
  EXPECT_EQ(status, 7);
  EXPECT_FALSE(std::ifstream(marker).good());
  EXPECT_EQ(ReadWholeFile(log), "exit\t7\n");
}

} // namespace
