// The installer's run from start to end: boxes, cleanup, launch and every way a run ends.
#include "scenario.h"

#include <gtest/gtest.h>

#include <functional>

namespace e2e {
namespace {

const std::string Dir = "C:\\ZARVO\\";
const std::string SetupExe = "C:\\Downloads\\setup.exe";

std::vector<std::string> Completed(const std::string& title, const std::string& dir = Dir,
                                   const std::string& command = Dir + "zarvowin.exe /i") {
  return {"cursor\twait",   ConfirmLine(title, dir, 6), "cursor\tarrow",
          CompletionLine(), ExecLine(command),          "exit\t0"};
}

struct RunCase {
  const char* name;
  std::function<void(Scenario&)> arrange;
  std::string answer;
  int exitCode;
  std::function<std::vector<std::string>()> transcript;
  std::function<void(Scenario&, const Outcome&)> check;
};

void PrintTo(const RunCase& c, std::ostream* os) {
  *os << c.name;
}

class InstallerRun : public testing::TestWithParam<RunCase> {};

TEST_P(InstallerRun, EndsAsExpected) {
  const RunCase& c = GetParam();
  Scenario s;
  s.Zarvo(Dir);
  c.arrange(s);
  Outcome o = s.Run(c.answer);
  EXPECT_EQ(o.ExitCode, c.exitCode) << o.Stderr;
  EXPECT_TRUE(TranscriptIs(o.Transcript, c.transcript()));
  if (c.check) c.check(s, o);
}

// Files a cleanup pattern may or may not take.
void Obsolete(Scenario& s) {
  zt::WriteFile(s.Host(Dir + "a.old"), "old");
  zt::WriteFile(s.Host(Dir + "B.OLD"), "old");
  zt::WriteFile(s.Host(Dir + "keep.txt"), "keep");
  zt::fs::create_directories(s.Host(Dir + "dir.old"));
  zt::WriteFile(s.Host(Dir + "index.html"), "html");
}

bool Exists(Scenario& s, const std::string& path) {
  return zt::fs::exists(s.Host(path));
}

const RunCase RunCases[] = {
    {"EmptyArchiveWithoutPattern",
     [](Scenario& s) {
       Obsolete(s);
       s.Installer(SetupExe, Archive("Mise \xE0 jour", {}));
     },
     "y\n", 0, [] { return Completed("Mise \xE0 jour"); },
     [](Scenario& s, const Outcome& o) {
       EXPECT_TRUE(Exists(s, Dir + "a.old"));
       EXPECT_EQ(o.Launched, "C:\\ZARVO\\zarvowin.exe\n/i\n");
     }},
    {"EmptyArchiveWithPatternDeletesMatchesOnly",
     [](Scenario& s) {
       Obsolete(s);
       s.Installer(SetupExe, Archive("T|*.old", {}));
     },
     "y\n", 0, [] { return Completed("T"); },
     [](Scenario& s, const Outcome&) {
       EXPECT_FALSE(Exists(s, Dir + "a.old"));
       EXPECT_FALSE(Exists(s, Dir + "B.OLD"));
       EXPECT_TRUE(Exists(s, Dir + "dir.old")); // a directory is not deleted
       EXPECT_TRUE(Exists(s, Dir + "keep.txt"));
       EXPECT_TRUE(Exists(s, Dir + "zarvowin.exe"));
     }},
    {"PatternMatchesLongNamesOnly",
     [](Scenario& s) {
       Obsolete(s);
       s.Installer(SetupExe, Archive("T|*.htm", {}));
     },
     "y\n", 0, [] { return Completed("T"); },
     [](Scenario& s, const Outcome&) { EXPECT_TRUE(Exists(s, Dir + "index.html")); }},
    {"Declined",
     [](Scenario& s) {
       Obsolete(s);
       s.Installer(SetupExe, Archive("T|*.old", {{.name = "new.txt", .content = "new"}}));
     },
     "n\n", 0,
     [] {
       return std::vector<std::string>{"cursor\twait", ConfirmLine("T", Dir, 7), "cursor\tarrow",
                                       "exit\t0"};
     },
     [](Scenario& s, const Outcome& o) {
       EXPECT_TRUE(Exists(s, Dir + "a.old"));
       EXPECT_FALSE(Exists(s, Dir + "new.txt"));
       EXPECT_EQ(o.Launched, "");
     }},
    {"NoAnswerAtAllDeclines", [](Scenario& s) { s.Installer(SetupExe, Archive("T", {})); }, "", 0,
     [] {
       return std::vector<std::string>{"cursor\twait", ConfirmLine("T", Dir, 7), "cursor\tarrow",
                                       "exit\t0"};
     },
     nullptr},
    {"TitleBeginningWithABar",
     [](Scenario& s) {
       Obsolete(s);
       s.Installer(SetupExe, Archive("|*.old", {}));
     },
     "o\n", 0, [] { return Completed(""); },
     [](Scenario& s, const Outcome&) { EXPECT_FALSE(Exists(s, Dir + "a.old")); }},
    {"TitleEndingWithABarDeletesNothing",
     [](Scenario& s) {
       Obsolete(s);
       s.Installer(SetupExe, Archive("Titre|", {}));
     },
     "Y\n", 0, [] { return Completed("Titre"); },
     [](Scenario& s, const Outcome&) { EXPECT_TRUE(Exists(s, Dir + "a.old")); }},
    {"SeveralBarsSplitAtTheFirst",
     [](Scenario& s) {
       Obsolete(s);
       s.Installer(SetupExe, Archive("T|*.old|x", {}));
     },
     "y\n", 0, [] { return Completed("T"); },
     // "*.old|x" names no file: a '|' can't stand in a name.
     [](Scenario& s, const Outcome&) { EXPECT_TRUE(Exists(s, Dir + "a.old")); }},
    {"PatternCutAtOneHundredCharacters",
     [](Scenario& s) {
       zt::WriteFile(s.Host(Dir + "victim1"), "v");
       // Cut to its first 100 characters the pattern ends in '?', which matches the end.
       s.Installer(SetupExe, Archive("T|victim" + std::string(94, '?') + "XYZ", {}));
     },
     "y\n", 0, [] { return Completed("T"); },
     [](Scenario& s, const Outcome&) { EXPECT_FALSE(Exists(s, Dir + "victim1")); }},
    {"CleanupRunsAfterTheEntries",
     [](Scenario& s) {
       s.Installer(SetupExe, Archive("T|*.tmp", {{.name = "x.tmp", .content = "x"},
                                                 {.name = "y.txt", .content = "y"}}));
     },
     "y\n", 0, [] { return Completed("T"); },
     [](Scenario& s, const Outcome&) {
       EXPECT_FALSE(Exists(s, Dir + "x.tmp"));
       EXPECT_EQ(zt::ReadFile(s.Host(Dir + "y.txt")), "y");
     }},
    {"PatternWithADirectoryPartIsRefusedBeforeTheQuestion",
     [](Scenario& s) {
       zt::WriteFile(s.Host("C:\\victim.txt"), "v");
       s.Installer(SetupExe, Archive("T|..\\*.txt", {{.name = "new.txt", .content = "n"}}));
     },
     "y\n", 0,
     [] {
       return std::vector<std::string>{"cursor\twait", FatalLine("Format?"), "exit\t0"};
     },
     [](Scenario& s, const Outcome&) {
       EXPECT_TRUE(Exists(s, "C:\\victim.txt"));
       EXPECT_FALSE(Exists(s, Dir + "new.txt"));
     }},
    {"WrongMagicStopsBeforeAnyQuestion",
     [](Scenario& s) {
       std::string a = Archive("T", {});
       a[0] = 0x16;
       s.Installer(SetupExe, a);
     },
     "y\n", 0,
     [] {
       return std::vector<std::string>{"cursor\twait", FatalLine("Format?"), "exit\t0"};
     },
     nullptr},
    {"NoPayloadAtAll", [](Scenario& s) { s.Installer(SetupExe, ""); }, "y\n", 100,
     [] {
       return std::vector<std::string>{"cursor\twait", RunErrorLine(100), "exit\t100"};
     },
     nullptr},
    {"ArchiveCutShortKeepsTheEarlierEntries",
     [](Scenario& s) {
       std::string a = Archive("T", {{.name = "one.txt", .content = "first"},
                                     {.name = "two.txt", .content = "second"}});
       s.Installer(SetupExe, a.substr(0, a.size() - 20));
     },
     "y\n", 100,
     [] {
       return std::vector<std::string>{"cursor\twait", ConfirmLine("T", Dir, 6), RunErrorLine(100),
                                       "exit\t100"};
     },
     [](Scenario& s, const Outcome&) {
       EXPECT_EQ(zt::ReadFile(s.Host(Dir + "one.txt")), "first");
       EXPECT_FALSE(Exists(s, Dir + "two.txt"));
     }},
    {"MissingTerminatorAfterAllEntries",
     [](Scenario& s) {
       s.Installer(SetupExe, Archive("T", {{.name = "one.txt", .content = "first"}}, false));
     },
     "y\n", 100,
     [] {
       return std::vector<std::string>{"cursor\twait", ConfirmLine("T", Dir, 6), RunErrorLine(100),
                                       "exit\t100"};
     },
     [](Scenario& s, const Outcome&) {
       EXPECT_EQ(zt::ReadFile(s.Host(Dir + "one.txt")), "first");
     }},
    {"ReadOnlyFileInTheWay",
     [](Scenario& s) {
       zt::WriteFile(s.Host(Dir + "readme.txt"), "old");
       zt::fs::permissions(s.Host(Dir + "readme.txt"), zt::fs::perms::owner_read);
       s.Installer(SetupExe, Archive("T", {{.name = "README.TXT", .content = "new"}}));
     },
     "y\n", 5,
     [] {
       return std::vector<std::string>{"cursor\twait", ConfirmLine("T", Dir, 6), RunErrorLine(5),
                                       "exit\t5"};
     },
     [](Scenario& s, const Outcome&) {
       EXPECT_EQ(zt::ReadFile(s.Host(Dir + "readme.txt")), "old");
     }},
    {"DecodedSizeMismatchStopsBeforeTheFileIsCreated",
     [](Scenario& s) {
       s.Installer(SetupExe, Archive("T", {{.name = "a.txt", .content = "a"},
                                           {.name = "b.txt", .content = "bbb", .decodedSize = 4}}));
     },
     "y\n", 0,
     [] {
       return std::vector<std::string>{"cursor\twait", ConfirmLine("T", Dir, 6), FatalLine("tdec"),
                                       "exit\t0"};
     },
     [](Scenario& s, const Outcome&) {
       EXPECT_TRUE(Exists(s, Dir + "a.txt"));
       EXPECT_FALSE(Exists(s, Dir + "b.txt"));
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, InstallerRun, testing::ValuesIn(RunCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A payload appended to the stub starts at PayloadOffset only if the stub is exactly that long.
TEST(InstallerStub, IsPaddedToExactlyItsPayloadOffset) {
  EXPECT_EQ(zt::fs::file_size(zt::BinPath("zarvo-setup")), uint64_t(STUB_PAYLOAD_OFFSET));
}

TEST(InstallerFaults, FailedWriteLeavesThePartialFile) {
  Scenario s;
  s.Zarvo(Dir);
  s.Installer(SetupExe, Archive("T", {{.name = "lines.doc", .content = "le chat\nla mer\n"}}));
  Outcome o = s.Run("y\n", {"ZARVO_SETUP_FAULTS=WriteFile#2=112"});
  EXPECT_EQ(o.ExitCode, 112);
  EXPECT_TRUE(TranscriptIs(
      o.Transcript, {"cursor\twait", ConfirmLine("T", Dir, 6), RunErrorLine(112), "exit\t112"}));
  // The first record (le chat) was written before the second write failed.
  EXPECT_EQ(zt::ReadFile(s.Host(Dir + "lines.dcc")), std::string("\x05\x91\x0F\x1F\x94\x60", 6));
}

TEST(InstallerRun, EntryNamesThatLeaveTheZarvoDirectoryAreRefused) {
  for (const char* name : {"..\\evil.txt", "sub\\..\\..\\evil.txt", "C:\\evil.txt", "\\evil.txt",
                           "/evil.txt", "../evil.txt", "...\\evil.txt", "a.txt:stream", "", "con",
                           "NUL.txt", "com1.dat", "Lpt9", "aux .doc", "sub\\prn.dcw"}) {
    Scenario s;
    s.Zarvo(Dir);
    s.Installer(SetupExe, Archive("T", {{.name = "ok.txt", .content = "ok"},
                                        {.name = name, .content = "x"}}));
    Outcome o = s.Run();
    EXPECT_EQ(o.ExitCode, 0) << name;
    EXPECT_TRUE(TranscriptIs(
        o.Transcript, {"cursor\twait", ConfirmLine("T", Dir, 6), FatalLine("Format?"), "exit\t0"}))
        << name;
    EXPECT_TRUE(Exists(s, Dir + "ok.txt"));
    EXPECT_FALSE(Exists(s, "C:\\evil.txt")) << name;
    EXPECT_FALSE(Exists(s, "C:\\Downloads\\evil.txt")) << name;
  }
}

} // namespace
} // namespace e2e
