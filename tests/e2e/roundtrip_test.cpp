// What zarvo-pack extract writes is exactly what the real stub installs.
#include "scenario.h"

#include <gtest/gtest.h>

#include <map>

namespace e2e {
namespace {

const std::string Dir = "C:\\ZARVO\\";
const std::string SetupExe = "C:\\Downloads\\setup.exe";

zt::RunResult Pack(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {zt::BinPath("zarvo-pack").string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return zt::Run(argv, {"TZ=UTC"});
}

std::map<std::string, std::string> FilesIn(const zt::fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : zt::fs::directory_iterator(dir))
    files[entry.path().filename().string()] = zt::ReadFile(entry.path());
  return files;
}

TEST(RoundTrip, ExtractGivesExactlyWhatTheStubInstalls) {
  Scenario s;
  s.Zarvo(Dir);
  zt::WriteFile(s.Host(Dir + "ancien.old"), "obsolete");

  // The sample content, and a few more entries of every kind.
  zt::fs::path content = s.prefix.Root / "content";
  zt::fs::create_directories(content);
  for (const auto& entry : zt::fs::directory_iterator(zt::SourcePath("samples/content")))
    zt::fs::copy_file(entry.path(), content / entry.path().filename());
  zt::WriteFile(content / "NOTES.DOC", "Premi\x8Are ligne\r\n  ~12 pommes\r\n\r\nfin\r\n");
  zt::WriteFile(content / "vide.doc", "");
  zt::WriteFile(content / "Image.BIN", std::string("\x00\x01\xFE\xFF bytes", 10));
  zt::SetModified(content / "Image.BIN", 1700000000);

  zt::fs::path installer = s.Host(SetupExe);
  zt::fs::create_directories(installer.parent_path());
  zt::RunResult created =
      Pack({"create", "--stub", zt::BinPath("zarvo-setup").string(), "--title", "Aller-retour",
            "--cleanup", "*.old", "-o", installer.string(), content.string()});
  ASSERT_EQ(created.ExitCode, 0) << created.Stderr;
  zt::RunResult verified = Pack({"verify", installer.string()});
  EXPECT_EQ(verified.ExitCode, 0) << verified.Stdout << verified.Stderr;
  zt::fs::path extracted = s.prefix.Root / "extracted";
  zt::RunResult extract = Pack({"extract", installer.string(), extracted.string()});
  ASSERT_EQ(extract.ExitCode, 0) << extract.Stderr;

  s.installerPath = SetupExe;
  Outcome o = s.Run();
  ASSERT_EQ(o.ExitCode, 0) << o.Stderr;
  EXPECT_TRUE(TranscriptIs(o.Transcript,
                           {"cursor\twait", ConfirmLine("Aller-retour", Dir, 6), "cursor\tarrow",
                            CompletionLine(), ExecLine(Dir + "zarvowin.exe /i"), "exit\t0"}));

  std::map<std::string, std::string> installed = FilesIn(s.Host(Dir));
  std::map<std::string, std::string> expected = FilesIn(extracted);
  EXPECT_EQ(expected.size(), 6u);
  installed.erase("ab.ini");
  installed.erase("zarvowin.exe");
  EXPECT_EQ(installed, expected); // and ancien.old went with the cleanup
  for (const char* plain : {"credits.txt", "image.bin"})
    EXPECT_EQ(zt::Modified(s.Host(Dir + plain)), zt::Modified(extracted / plain)) << plain;
  EXPECT_EQ(zt::Modified(s.Host(Dir + "image.bin")), 1700000000);
}

} // namespace
} // namespace e2e
