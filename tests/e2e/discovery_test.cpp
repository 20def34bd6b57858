// Finding the Zarvo directory: the installer's own directory, then C: to Z:.
#include "scenario.h"

#include <gtest/gtest.h>

#include <functional>

namespace e2e {
namespace {

std::vector<std::string> Completed(const std::string& dir, const std::string& command) {
  return {"cursor\twait",   ConfirmLine("T", dir, 6), "cursor\tarrow",
          CompletionLine(), ExecLine(command),        "exit\t0"};
}

std::vector<std::string> CantFind() {
  return {"box\t0x10\tError\t" +
              Escape("Je ne trouve pas Zarvo!\rCopiez ce fichier dans le r\xE9pertoire\r"
                     "d'Zarvo, et ex\xE9"
                     "cutez-le.\r\rCan't find Zarvo!\rCopy this file in the\r"
                     "Zarvo directory, and run it.") +
              "\t1",
          "exit\t0"};
}

struct DiscoveryCase {
  const char* name;
  std::function<void(Scenario&)> arrange; // places Zarvo and the installer
  std::function<std::vector<std::string>()> transcript;
};

void PrintTo(const DiscoveryCase& c, std::ostream* os) {
  *os << c.name;
}

class Discovery : public testing::TestWithParam<DiscoveryCase> {};

TEST_P(Discovery, FindsTheRightDirectory) {
  Scenario s;
  GetParam().arrange(s);
  Outcome o = s.Run();
  EXPECT_EQ(o.ExitCode, 0) << o.Stderr;
  EXPECT_TRUE(TranscriptIs(o.Transcript, GetParam().transcript()));
}

const std::string SetupExe = "C:\\Downloads\\setup.exe";
std::string Payload() {
  return Archive("T", {});
}

const DiscoveryCase Cases[] = {
    {"OwnDirectoryWinsOverTheDriveList",
     [](Scenario& s) {
       s.Zarvo("C:\\ZARVO\\");
       s.Zarvo("D:\\Tools\\My Zarvo\\");
       s.Installer("D:\\Tools\\My Zarvo\\setup.exe", Payload());
     },
     [] { return Completed("D:\\Tools\\My Zarvo\\", "\"D:\\Tools\\My Zarvo\\zarvowin.exe\" /i"); }},
    {"SecondDriveAfterTheFirstDrivesCandidates",
     [](Scenario& s) {
       zt::WriteFile(s.Host("C:\\ZARVO\\ab.ini"), "only the ini"); // passed over
       zt::fs::create_directories(s.Host("D:\\ZARVO"));
       s.Zarvo("D:\\ZARVOWIN\\");
       s.Installer(SetupExe, Payload());
     },
     [] { return Completed("D:\\ZARVOWIN\\", "D:\\ZARVOWIN\\zarvowin.exe /i"); }},
    {"ProgramFilesThroughItsShortName",
     [](Scenario& s) {
       s.Zarvo("C:\\Program Files\\ZARVO\\");
       s.Installer(SetupExe, Payload());
     },
     [] { return Completed("C:\\PROGRA~1\\ZARVO\\", "C:\\PROGRA~1\\ZARVO\\zarvowin.exe /i"); }},
    {"StartedInsideADirectoryWithSpacesQuotesTheLaunch",
     [](Scenario& s) {
       s.Zarvo("C:\\Program Files\\ZARVO\\");
       s.Installer("C:\\Program Files\\ZARVO\\setup.exe", Payload());
     },
     [] {
       return Completed("C:\\Program Files\\ZARVO\\",
                        "\"C:\\Program Files\\ZARVO\\zarvowin.exe\" /i");
     }},
    {"LowestDriveAndSubpathOrderWin",
     [](Scenario& s) {
       s.Zarvo("E:\\ZARVO\\");
       s.Zarvo("D:\\ZARVOWIN\\");
       s.Zarvo("D:\\PROGRA~1\\ZARVO\\"); // a real folder of that name on a drive without aliases
       s.Installer(SetupExe, Payload());
     },
     [] { return Completed("D:\\PROGRA~1\\ZARVO\\", "D:\\PROGRA~1\\ZARVO\\zarvowin.exe /i"); }},
    {"MarkerDirectoryIsNoMarkerFile",
     [](Scenario& s) {
       zt::fs::create_directories(s.Host("C:\\ZARVO\\ab.ini"));
       zt::WriteSizedFile(s.Host("C:\\ZARVO\\zarvowin.exe"), 900000);
       s.Zarvo("F:\\ZARVO\\");
       s.Installer(SetupExe, Payload());
     },
     [] { return Completed("F:\\ZARVO\\", "F:\\ZARVO\\zarvowin.exe /i"); }},
    {"MarkerFileBefore1980CountsAsMissing",
     [](Scenario& s) {
       s.Zarvo("C:\\ZARVO\\");
       zt::SetModified(s.Host("C:\\ZARVO\\ab.ini"), 300000000); // 1979
       s.Zarvo("G:\\ZARVOWIN\\");
       s.Installer(SetupExe, Payload());
     },
     [] { return Completed("G:\\ZARVOWIN\\", "G:\\ZARVOWIN\\zarvowin.exe /i"); }},
    {"NoZarvoAnywhere", [](Scenario& s) { s.Installer(SetupExe, Payload()); }, CantFind},
    {"DriveAIsNeverSearched",
     [](Scenario& s) {
       s.Zarvo("A:\\ZARVO\\");
       s.Installer(SetupExe, Payload());
     },
     CantFind},
    {"DriveAIsFoundFromInside",
     [](Scenario& s) {
       s.Zarvo("A:\\ZARVO\\");
       s.Installer("A:\\ZARVO\\setup.exe", Payload());
     },
     [] { return Completed("A:\\ZARVO\\", "A:\\ZARVO\\zarvowin.exe /i"); }},
    {"OwnDirectoryOverTwoHundredCharactersIsNotTaken",
     [](Scenario& s) {
       s.Zarvo("C:\\ZARVO\\");
       std::string dir = "C:\\" + std::string(100, 'a') + "\\" + std::string(100, 'b') + "\\";
       s.Zarvo(dir);
       s.Installer(dir + "s.exe", Payload());
     },
     CantFind},
    {"ExecutableOfExactly900000BytesPasses",
     [](Scenario& s) {
       s.Zarvo("C:\\ZARVO\\", 900000);
       s.Installer(SetupExe, Payload());
     },
     [] { return Completed("C:\\ZARVO\\", "C:\\ZARVO\\zarvowin.exe /i"); }},
    {"ExecutableOneByteShortIsTheWrongVersion",
     [](Scenario& s) {
       s.Zarvo("C:\\ZARVO\\", 899999);
       s.Installer(SetupExe, Payload());
     },
     [] {
       return std::vector<std::string>{FatalLine("Mauvaise version\r\rBad version"), "exit\t0"};
     }},
    {"ExecutableOf2GiBReadsNegativeAndIsRefused",
     [](Scenario& s) {
       s.Zarvo("C:\\ZARVO\\", 0x80000000ull);
       s.Installer(SetupExe, Payload());
     },
     [] {
       return std::vector<std::string>{FatalLine("Mauvaise version\r\rBad version"), "exit\t0"};
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, Discovery, testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace e2e
