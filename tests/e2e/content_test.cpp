// What the installer writes: indexed and packed text files and plain files, byte for byte.
#include "scenario.h"

#include <gtest/gtest.h>

namespace e2e {
namespace {

const std::string Dir = "C:\\ZARVO\\";
const std::string SetupExe = "C:\\Downloads\\setup.exe";

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

// Two sections: a text section holding "le chat" and an empty line, and three raw bytes.
std::string WorkedIndex() {
  return Bytes({1, 0, 0, 0, 15, 0, 0, 0, 0x0A, 1, 'A', 0, 0, 0, 0, 0, 0, 0}) +
         Bytes({16, 0, 0, 0, 3, 0, 0, 0, 0x0C, 1, 'B', 0, 0, 0, 0, 0, 0, 0});
}
const std::string TextHeader = "HDR1DATE";
std::string WorkedContent() {
  return Bytes({2}) + WorkedIndex() + TextHeader + zt::U32(9) + "le chat\n\n" + Bytes({1, 2, 3});
}
std::string WorkedInstalled() {
  return Bytes({2}) + TextHeader + Bytes({5, 0x91, 0x0F, 0x1F, 0x94, 0x60, 0}) + Bytes({1, 2, 3}) +
         WorkedIndex();
}

constexpr uint32_t June15Noon = 0x50CF6000; // 2020-06-15 12:00:00, local time
constexpr int64_t June15NoonUtc = 1592222400;

TEST(Content, EachKindInstallsByteForByte) {
  Scenario s;
  s.Zarvo(Dir);
  s.Installer(
      SetupExe,
      Archive("Contenu", {
                             {.name = "ABC.DCW", .content = WorkedContent(), .installedSize = 55},
                             {.name = "Notes.Doc", .content = "le chat\r\nla mer\n\n"},
                             {.name = "Readme.TXT",
                              .content = std::string("plain\r\nbytes\x00\xFF", 14),
                              .date = June15Noon},
                             {.name = "X.DOC.DCW", .content = Bytes({0}), .installedSize = 1},
                             {.name = "a.doc.bak", .content = "e\n"},
                             {.name = "notes.docs", .content = "s\n"},
                             {.name = "empty.bin", .content = "", .date = June15Noon},
                             {.name = "empty.doc", .content = ""},
                         }));
  Outcome o = s.Run();
  ASSERT_EQ(o.ExitCode, 0) << o.Stderr;

  EXPECT_EQ(zt::ReadFile(s.Host(Dir + "abc.dcw")), WorkedInstalled());
  EXPECT_EQ(zt::ReadFile(s.Host(Dir + "notes.dcc")),
            Bytes({5, 0x91, 0x0F, 0x1F, 0x94, 0x60, 3, 0x94, 0x0C, 0x18, 0}));
  EXPECT_EQ(zt::ReadFile(s.Host(Dir + "readme.txt")), std::string("plain\r\nbytes\x00\xFF", 14));
  EXPECT_EQ(zt::ReadFile(s.Host(Dir + "x.doc.dcw")), Bytes({0}));
  EXPECT_EQ(zt::ReadFile(s.Host(Dir + "a.doc.bck")), Bytes({1, 0x10}));
  EXPECT_EQ(zt::ReadFile(s.Host(Dir + "notes.docs")), Bytes({1, 0x20}));
  EXPECT_EQ(zt::ReadFile(s.Host(Dir + "empty.bin")), "");
  EXPECT_EQ(zt::ReadFile(s.Host(Dir + "empty.dcc")), "");

  // Plain files carry their payload date; text files the time they were written.
  EXPECT_EQ(zt::Modified(s.Host(Dir + "readme.txt")), June15NoonUtc);
  EXPECT_EQ(zt::Modified(s.Host(Dir + "empty.bin")), June15NoonUtc);
  EXPECT_GT(zt::Modified(s.Host(Dir + "abc.dcw")), June15NoonUtc + 86400);
  EXPECT_GT(zt::Modified(s.Host(Dir + "notes.dcc")), June15NoonUtc + 86400);
}

TEST(Content, ALaterEntryOfTheSameNameWins) {
  Scenario s;
  s.Zarvo(Dir);
  s.Installer(SetupExe, Archive("T", {{.name = "same.txt", .content = "first version"},
                                      {.name = "SAME.TXT", .content = "second"}}));
  ASSERT_EQ(s.Run().ExitCode, 0);
  EXPECT_EQ(zt::ReadFile(s.Host(Dir + "same.txt")), "second");
}

TEST(Content, BrokenIndexedLayoutIsRefusedBeforeTheFileIsCreated) {
  Scenario s;
  s.Zarvo(Dir);
  std::string content = WorkedContent();
  content.resize(content.size() - 1); // the raw section's last byte is missing
  s.Installer(SetupExe, Archive("T", {{.name = "bad.dcw", .content = content}}));
  Outcome o = s.Run();
  EXPECT_EQ(o.ExitCode, 0);
  EXPECT_TRUE(TranscriptIs(
      o.Transcript, {"cursor\twait", ConfirmLine("T", Dir, 6), FatalLine("Format?"), "exit\t0"}));
  EXPECT_FALSE(zt::fs::exists(s.Host(Dir + "bad.dcw")));
}

TEST(Content, DamagedStreamsShowTheDecoderStatusThenStop) {
  std::string good = Bzip2(std::string(5000, 'x') + "end");
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x10;
  struct Case {
    const char* name;
    std::string stream;
    std::vector<std::string> boxes;
  } cases[] = {
      {"not bzip2", "plain text, no stream", {"box\t0x10\tCODE -5\tERROR\t1"}},
      {"damaged block", flipped, {"box\t0x10\tCODE -4\tERROR\t1"}},
      {"cut short", good.substr(0, good.size() / 2), {}},
  };
  for (const Case& c : cases) {
    Scenario s;
    s.Zarvo(Dir);
    s.Installer(SetupExe, Archive("T", {{.name = "x.txt",
                                         .content = std::string(5000, 'x') + "end",
                                         .stream = c.stream}}));
    Outcome o = s.Run();
    EXPECT_EQ(o.ExitCode, 0) << c.name;
    std::vector<std::string> expected = {"cursor\twait", ConfirmLine("T", Dir, 6)};
    expected.insert(expected.end(), c.boxes.begin(), c.boxes.end());
    expected.push_back(FatalLine("tdec"));
    expected.push_back("exit\t0");
    EXPECT_TRUE(TranscriptIs(o.Transcript, expected)) << c.name;
    EXPECT_FALSE(zt::fs::exists(s.Host(Dir + "x.txt"))) << c.name;
  }
}

TEST(Content, AStreamThatDecodesFarPastItsSizeEndsWithTdecPromptly) {
  // 64 MB of zeros in a few dozen bytes of stream, under a decoded size of 1.
  Scenario s;
  s.Zarvo(Dir);
  std::string bomb = Bzip2(std::string(64u << 20, '\0'));
  s.Installer(SetupExe, Archive("T", {{.name = "x.bin", .content = "x", .stream = bomb}}));
  Outcome o = s.Run();
  EXPECT_EQ(o.ExitCode, 0);
  EXPECT_TRUE(TranscriptIs(
      o.Transcript, {"cursor\twait", ConfirmLine("T", Dir, 6), FatalLine("tdec"), "exit\t0"}));
}

} // namespace
} // namespace e2e
