// zarvo-pack as its users run it: the installer it writes byte for byte, what it refuses,
// and list, verify, extract and decode on sound and damaged installers.
#include "pack_fixture.h"

#include "zarvo-pack/bzip2_codec.h"
#include "zarvo-pack/dos_time.h"
#include "zarvo-pack/raw_archive.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace fs = std::filesystem;
using pt::Pack;
using zpack::RawArchive;
using zpack::RawEntry;

namespace {

const size_t StubSize = 4096;

std::string U32At(const std::string& s, size_t at) {
  return s.substr(at, 4);
}

// The words of the listing's row for entry `name`.
std::vector<std::string> Row(const std::string& listing, const std::string& name) {
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::vector<std::string> row;
    for (std::string w; words >> w;) row.push_back(w);
    if (!row.empty() && row[0] == name) return row;
  }
  return {};
}

class PackTool : public ::testing::Test {
protected:
  void SetUp() override {
    stub = dir / "stub";
    zt::WriteFile(stub, pt::ElfStub(StubSize));
    content = dir / "content";
    fs::create_directory(content);
    outDir = dir / "out";
    fs::create_directory(outDir);
    out = outDir / "setup";
  }

  zt::RunResult Create(std::vector<std::string> options, std::vector<std::string> inputs = {}) {
    std::vector<std::string> args = {"create", "--stub", stub.string(), "-o", out.string()};
    bool titled = false;
    for (const std::string& o : options) titled = titled || o == "--title";
    if (!titled) args.insert(args.end(), {"--title", "Titre"});
    args.insert(args.end(), options.begin(), options.end());
    if (inputs.empty()) inputs.push_back(content.string());
    args.insert(args.end(), inputs.begin(), inputs.end());
    return Pack(args);
  }

  std::string Payload() { return zt::ReadFile(out).substr(StubSize); }

  // An installer made of the stub and an archive written field by field.
  fs::path RawInstaller(const RawArchive& archive, const std::string& trailer = "") {
    fs::path path = dir / "raw-setup";
    zt::WriteFile(path, pt::ElfStub(StubSize) + pt::Str(zpack::WriteRawArchive(archive)) + trailer);
    return path;
  }

  pt::ScratchDir dir;
  fs::path stub, content, outDir, out;
};

} // namespace

TEST_F(PackTool, WritesTheWorkedLayoutByteForByte) {
  // The index positions and the text length are wrong on purpose: the builder works them out.
  zt::WriteFile(content / "ABC.DCW", pt::WorkedContent(0, 0, 0, 3));
  auto r = Create({"--title", "Dictionnaire de démo", "--cleanup", "*.bak1", "--date",
                   "2024-02-29 13:45:30", "-j", "1"});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  const std::string file = zt::ReadFile(out);
  EXPECT_EQ(file.substr(0, StubSize), pt::ElfStub(StubSize));
  const std::string p = Payload();
  EXPECT_EQ(p.substr(0, 4), "\x15\xCD\x5B\x07");
  EXPECT_EQ(p[4], 27);
  EXPECT_EQ(p.substr(5, 27), "Dictionnaire de d\xE9mo|*.bak1"); // in code page 1252
  const uint32_t s =
      uint8_t(p[32]) | uint8_t(p[33]) << 8 | uint8_t(p[34]) << 16 | uint32_t(uint8_t(p[35])) << 24;
  EXPECT_EQ(p[36], 7);
  EXPECT_EQ(p.substr(37, 7), "ABC.DCW");
  EXPECT_EQ(U32At(p, 44), zt::U32(55));         // installed size
  EXPECT_EQ(U32At(p, 48), zt::U32(61));         // decoded size
  EXPECT_EQ(U32At(p, 52), zt::U32(0x585D6DAF)); // 2024-02-29 13:45:30
  EXPECT_EQ(p.substr(56, 3), "BZh");
  EXPECT_EQ(U32At(p, 56 + s), zt::U32(0));
  EXPECT_EQ(p.size(), 60 + s);
  const std::string stream = p.substr(56, s);
  auto decoded = zpack::DecodeStream(pt::Data(stream).data(), s, 1000);
  ASSERT_TRUE(decoded.Complete) << decoded.Problem;
  EXPECT_EQ(pt::Hex(pt::Str(decoded.Data)), pt::Hex(pt::WorkedContent()));
  EXPECT_NE(r.Stdout.find("1 entry, payload at offset 4096"), std::string::npos) << r.Stdout;
}

TEST_F(PackTool, EmptyFolderGivesTheNineByteArchive) {
  auto r = Create({"--title", ""});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(pt::Hex(Payload()), "15 CD 5B 07 00 00 00 00 00");
}

TEST_F(PackTool, SameInputsGiveTheSameBytesWhateverTheThreads) {
  std::string text, lines;
  uint32_t x = 1;
  for (int i = 0; i < 40000; i++) {
    x = x * 1103515245 + 12345;
    text += char('a' + (x >> 16) % 26);
    if ((x >> 8) % 37 == 0) text += '\n';
  }
  for (int i = 0; i < 6; i++) {
    zt::WriteFile(content / ("part" + std::to_string(i) + ".doc"), text.substr(i * 1000) + "\n");
    zt::WriteFile(content / ("blob" + std::to_string(i) + ".bin"), text.substr(0, 100000 + i * 7));
    zt::SetModified(content / ("blob" + std::to_string(i) + ".bin"), 1600000000 + i * 86400);
  }
  zt::WriteFile(content / "dict.dcw", pt::WorkedContent());
  ASSERT_EQ(Create({"-j", "1", "--level", "1"}).ExitCode, 0);
  const std::string one = zt::ReadFile(out);
  ASSERT_EQ(Create({"-j", "4", "--level", "1"}).ExitCode, 0);
  EXPECT_TRUE(zt::ReadFile(out) == one) << "-j 4 differs from -j 1";
  ASSERT_EQ(Create({"-j", "3", "--level", "1"}).ExitCode, 0);
  EXPECT_TRUE(zt::ReadFile(out) == one) << "-j 3 differs from -j 1";
  // Entries stand in name order, the same on every run.
  auto list = Pack({"list", out.string()});
  ASSERT_EQ(list.ExitCode, 0) << list.Stderr;
  EXPECT_LT(list.Stdout.find("blob5.bin"), list.Stdout.find("dict.dcw"));
  EXPECT_LT(list.Stdout.find("dict.dcw"), list.Stdout.find("part0.doc"));
}

TEST_F(PackTool, ListVerifyAndExtractGiveWhatTheInstallerWrites) {
  zt::WriteFile(content / "Dict.DCW", pt::WorkedContent(0, 0, 0, 3));
  zt::WriteFile(content / "NOTES.DOC", "le chat\r\n\nZoe"); // its last line without LF
  zt::WriteFile(content / "Readme.TXT", "hello");
  zt::WriteFile(content / "empty.bin", "");
  for (const char* name : {"Dict.DCW", "NOTES.DOC", "Readme.TXT", "empty.bin"})
    zt::SetModified(content / name, 1700000000);
  auto r = Create({"--cleanup", "*.old"});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;

  auto verify = Pack({"verify", out.string()});
  EXPECT_EQ(verify.ExitCode, 0) << verify.Stdout << verify.Stderr;
  EXPECT_NE(verify.Stdout.find("OK, payload at offset 4096, 4 entries"), std::string::npos);

  auto list = Pack({"list", out.string()});
  ASSERT_EQ(list.ExitCode, 0) << list.Stderr;
  EXPECT_NE(list.Stdout.find("Title:   Titre"), std::string::npos) << list.Stdout;
  EXPECT_NE(list.Stdout.find("Cleanup: *.old"), std::string::npos);
  const std::string date = zpack::FormatDosDateTime(pt::DosOf(1700000000));
  const std::string day = date.substr(0, 10), time = date.substr(11);
  auto dict = Row(list.Stdout, "Dict.DCW");
  ASSERT_EQ(dict.size(), 8u) << list.Stdout;
  EXPECT_EQ(std::vector<std::string>(dict.begin() + 1, dict.begin() + 3),
            (std::vector<std::string>{".DCW", "dict.dcw"}));
  EXPECT_EQ(std::vector<std::string>(dict.begin() + 4, dict.end()),
            (std::vector<std::string>{"61", "55", day, time}));
  auto notes = Row(list.Stdout, "NOTES.DOC");
  ASSERT_EQ(notes.size(), 8u) << list.Stdout;
  EXPECT_EQ(notes[1] + " " + notes[2] + " " + notes[4] + " " + notes[5], ".DOC notes.dcc 13 11");
  auto readme = Row(list.Stdout, "Readme.TXT");
  ASSERT_EQ(readme.size(), 8u) << list.Stdout;
  EXPECT_EQ(readme[1] + " " + readme[2] + " " + readme[4] + " " + readme[5],
            "plain readme.txt 5 5");

  const fs::path installed = dir / "installed";
  auto extract = Pack({"extract", out.string(), installed.string()});
  ASSERT_EQ(extract.ExitCode, 0) << extract.Stderr;
  EXPECT_EQ(pt::Names(installed),
            (std::vector<std::string>{"dict.dcw", "empty.bin", "notes.dcc", "readme.txt"}));
  EXPECT_EQ(pt::Hex(zt::ReadFile(installed / "dict.dcw")), pt::Hex(pt::WorkedInstalled()));
  EXPECT_EQ(pt::Hex(zt::ReadFile(installed / "notes.dcc")), "05 91 0F 1F 94 60 00 03 FF 5A A1");
  EXPECT_EQ(zt::ReadFile(installed / "readme.txt"), "hello");
  EXPECT_EQ(zt::Modified(installed / "readme.txt"), 1700000000);
  EXPECT_EQ(zt::ReadFile(installed / "empty.bin"), "");

  auto decode = Pack({"decode", (installed / "dict.dcw").string()});
  ASSERT_EQ(decode.ExitCode, 0) << decode.Stderr;
  EXPECT_NE(decode.Stdout.find("== section 1 \"A\": text, 2 lines, header 44414548 "),
            std::string::npos)
      << decode.Stdout;
  EXPECT_NE(decode.Stdout.find("\nle chat\n\n== section 2 \"B\": raw, type 12, 3 bytes\n"),
            std::string::npos)
      << decode.Stdout;
  decode = Pack({"decode", (installed / "notes.dcc").string()});
  EXPECT_EQ(decode.Stdout, "le chat\n\nZoe\n");

  // The decoded entries as they are, then built again: the same installer.
  const fs::path raw = dir / "raw";
  extract = Pack({"extract", "--raw", out.string(), raw.string()});
  ASSERT_EQ(extract.ExitCode, 0) << extract.Stderr;
  EXPECT_EQ(pt::Hex(zt::ReadFile(raw / "Dict.DCW")), pt::Hex(pt::WorkedContent()));
  EXPECT_EQ(zt::ReadFile(raw / "NOTES.DOC"), "le chat\r\n\nZoe");
  const std::string first = zt::ReadFile(out);
  ASSERT_EQ(Create({"--cleanup", "*.old"}, {raw.string()}).ExitCode, 0);
  EXPECT_TRUE(zt::ReadFile(out) == first);
}

TEST_F(PackTool, RefusesBadInputWithoutLeavingAnOutput) {
  struct Case {
    const char* Name;
    std::function<void()> Prepare;
    std::vector<std::string> Options;
    std::string Message;
  };
  const fs::path c = content;
  auto file = [c](const std::string& name, const std::string& bytes) {
    return [=] { zt::WriteFile(c / name, bytes); };
  };
  const std::string dcw = (c / "X.DCW").string() + ": ";
  const std::vector<Case> cases = {
      {"long line",
       file("A.DOC", "ok\n" + std::string(256, 'x') + "\n"),
       {},
       "A.DOC: line 2: the line is 256 bytes long"},
      {"CR inside a line",
       file("A.DOC", "one\ntw\ro\n"),
       {},
       "A.DOC: line 2: a CR byte stands inside the line (at byte 3)"},
      {"CR at the end", file("A.DOC", "one\r"), {}, "the text ends with a CR that no LF follows"},
      {"count too large",
       file("X.DCW", "\x02" + pt::IndexEntry(1, 0, 12, "A")),
       {},
       dcw + "the count byte says 2 sections"},
      {"raw length past the end",
       file("X.DCW", "\x01" + pt::IndexEntry(1, 9, 12, "R") + "abc"),
       {},
       dcw + "section 1 \"R\" (raw, type 12): its length 9 reaches past the end"},
      {"text block without final LF",
       file("X.DCW", "\x01" + pt::IndexEntry(1, 0, 10, "T") + "HEADER01" + zt::U32(3) + "a\nb"),
       {},
       dcw + "section 1 \"T\" (text), line 2: the last line does not end with an LF"},
      {"long line in a text section",
       file("X.DCW", "\x01" + pt::IndexEntry(1, 0, 10, "T") + "HEADER01" + zt::U32(257) +
                         std::string(256, 'x') + "\n"),
       {},
       dcw + "section 1 \"T\" (text), line 1: the line is 256 bytes long"},
      {"line too long once packed",
       file("X.DCW", "\x01" + pt::IndexEntry(1, 0, 10, "T") + "HEADER01" + zt::U32(128) +
                         std::string(127, 'X') + "\n"),
       {},
       "line 1: its packed form is longer than the 253 bytes"},
      {"empty .DCW", file("X.DCW", ""), {}, dcw + "the content is empty"},
      {"bytes after the sections",
       file("X.DCW", std::string("\x00zz", 3)),
       {},
       dcw + "2 bytes follow the last section"},
      {"path part in a name", file("a\\b.txt", "x"), {}, "the name has a path part ('\\')"},
      {"device name", file("aux.txt", "x"), {}, "Windows device name"},
      {"same installed name",
       [c] {
         zt::WriteFile(c / "A.DOC", "x\n");
         zt::WriteFile(c / "a.dcc", "y");
       },
       {},
       "installed as a.dcc, like " + (c / "A.DOC").string()},
      {"title too long with its pattern",
       nullptr,
       {"--title", std::string(250, 't'), "--cleanup", "*.old"},
       "more than the 255"},
      {"title too long", nullptr, {"--title", std::string(256, 't')}, "more than 255"},
      {"pattern over 100", nullptr, {"--cleanup", std::string(101, 'p')}, "only its first 100"},
      {"pattern with a directory", nullptr, {"--cleanup", "old\\*.txt"}, "directory part ('\\')"},
      {"title with a bar", nullptr, {"--title", "a|b"}, "the title holds '|'"},
      {"title outside 1252", nullptr, {"--title", "Ωmega"}, "which code page 1252 lacks"},
      {"cleanup of Zarvo",
       nullptr,
       {"--cleanup", "*.exe"},
       "matches zarvowin.exe, one of Zarvo's own files"},
      {"cleanup of ab.ini", nullptr, {"--cleanup", "AB.*"}, "matches ab.ini"},
      {"cleanup of an installed file",
       file("notes.txt", "x"),
       {"--cleanup", "*.TXT"},
       "matches notes.txt, installed from"},
      {"cleanup of an installed file by its short name",
       file("index.html", "x"),
       {"--cleanup", "*.htm"},
       "by its short name INDEX~1.HTM"},
      {"cleanup of a .dcc", file("a.doc", "x\n"), {"--cleanup", "*.dcc"}, "matches a.dcc"},
      {"time before 1980",
       [c] {
         zt::WriteFile(c / "old.txt", "x");
         zt::SetModified(c / "old.txt", 100000000);
       },
       {},
       "old.txt: its last-write time (1973-"},
      {"2 GiB entry",
       [c] { zt::WriteSizedFile(c / "big.bin", uint64_t(1) << 31); },
       {},
       "big.bin: the file is 2147483648 bytes long, 2 GiB or more"},
  };
  for (const Case& t : cases) {
    fs::remove_all(content);
    fs::create_directory(content);
    if (t.Prepare) t.Prepare();
    zt::WriteFile(content / "ok.txt", "fine");
    auto r = Create(t.Options);
    EXPECT_EQ(r.ExitCode, 1) << t.Name << "\n" << r.Stderr;
    EXPECT_NE(r.Stderr.find(t.Message), std::string::npos)
        << t.Name << ": expected \"" << t.Message << "\" in\n"
        << r.Stderr;
    EXPECT_TRUE(pt::Names(outDir).empty())
        << t.Name << ": something was left in the output directory";
  }
}

TEST_F(PackTool, ForceAndDateLiftTheirRefusals) {
  zt::WriteFile(content / "notes.txt", "x");
  zt::SetModified(content / "notes.txt", 100000000);
  EXPECT_EQ(Create({"--cleanup", "*.txt", "--date", "2001-02-03 04:05:06"}).ExitCode, 1);
  auto r = Create({"--cleanup", "*.txt", "--date", "2001-02-03 04:05:06", "--force"});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  auto list = Pack({"list", out.string()});
  EXPECT_NE(list.Stdout.find("2001-02-03 04:05:06"), std::string::npos) << list.Stdout;
  // verify holds the same view of the cleanup, and --force tells it the deletion is meant.
  EXPECT_EQ(Pack({"verify", out.string()}).ExitCode, 1);
  EXPECT_EQ(Pack({"verify", "--force", out.string()}).ExitCode, 0);
}

TEST_F(PackTool, RefusesBadStubsAndOutputs) {
  zt::WriteFile(content / "a.txt", "x");
  zt::WriteFile(stub, "#!/bin/sh\necho\n");
  auto r = Create({});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("not an installer stub: it is neither an ELF nor a PE"),
            std::string::npos);
  zt::WriteFile(stub, pt::ElfStub() + "\x15\xCD\x5B\x07" + std::string(5, '\0'));
  r = Create({});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("is it an installer already?"), std::string::npos) << r.Stderr;
  zt::WriteFile(stub, pt::ElfStub());
  r = Pack(
      {"create", "--stub", stub.string(), "--title", "t", "-o", stub.string(), content.string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("the output would replace the stub"), std::string::npos);
  EXPECT_EQ(zt::ReadFile(stub), pt::ElfStub());
  r = Create({}, {(dir / "missing").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("missing: no such file or directory"), std::string::npos);
  EXPECT_TRUE(pt::Names(outDir).empty());
}

TEST_F(PackTool, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"create", "--title", "t", "-o", "x", "in"},          // no --stub
      {"create", "--stub", "s", "-o", "x", "in"},           // no --title
      {"create", "--stub", "s", "--title", "t", "in"},      // no -o
      {"create", "--stub", "s", "--title", "t", "-o", "x"}, // no input
      {"create", "--stub", "s", "--title", "t", "-o", "x", "-j", "0", "in"},
      {"create", "--stub", "s", "--title", "t", "-o", "x", "--level", "10", "in"},
      {"create", "--stub", "s", "--title", "t", "-o", "x", "--date", "1979-12-31 00:00:00", "in"},
      {"create", "--stub", "s", "--title", "t", "-o", "x", "--bogus", "in"},
      {"list"},
      {"list", "a", "b"},
      {"extract", "a"},
      {"verify", "--offset", "x", "a"},
  };
  for (const auto& args : cases) {
    auto r = Pack(args);
    EXPECT_EQ(r.ExitCode, 2) << (args.empty() ? "" : args[0]) << " " << r.Stderr;
  }
  for (const char* command : {"create", "list", "verify", "extract", "decode", "make-dcw"}) {
    auto r = Pack({command, "--help"});
    EXPECT_EQ(r.ExitCode, 0) << command;
    EXPECT_NE(r.Stdout.find(std::string("Usage: zarvo-pack ") + command), std::string::npos);
  }
}

TEST_F(PackTool, VerifyFindsWhatTheInstallerWouldTripOver) {
  const zpack::Bytes worked = pt::Data(pt::WorkedContent());
  auto base = [&] {
    RawArchive a;
    a.TitleString = "Titre|*.old";
    a.Entries.push_back(zpack::RawEntryFor("A.DCW", worked, 0x585D6DAF));
    a.Entries.push_back(zpack::RawEntryFor("B.TXT", pt::Data("plain"), 0x585D6DAF));
    return a;
  };
  struct Case {
    const char* Name;
    std::function<void(RawArchive&)> Damage;
    std::string Trailer;
    int Exit;
    const char* Message;
  };
  const std::vector<Case> cases = {
      {"sound", [](RawArchive&) {}, "", 0, "OK, payload at offset 4096, 2 entries"},
      {"decoded size", [](RawArchive& a) { a.Entries[1].DecodedSize = 6; }, "", 1,
       "entry 2 \"B.TXT\": it decodes to 5 bytes, but its header gives 6"},
      {"decoded size smaller", [](RawArchive& a) { a.Entries[1].DecodedSize = 4; }, "", 1,
       "decodes to more than the 4 bytes"},
      {"damaged stream", [](RawArchive& a) { a.Entries[1].Stream[20] ^= 0x55; }, "", 1,
       "entry 2 \"B.TXT\": the stream is damaged"},
      {"stream cut", [](RawArchive& a) { a.Entries[1].Stream.resize(20); }, "", 1,
       "entry 2 \"B.TXT\": the stream ends before its end-of-stream marker"},
      {"no bzip2", [](RawArchive& a) { a.Entries[1].Stream = pt::Data("plain"); }, "", 1,
       "BZ_DATA_ERROR_MAGIC"},
      {"wrong position",
       [&](RawArchive& a) {
         a.Entries[0] = zpack::RawEntryFor("A.DCW", pt::Data(pt::WorkedContent(1, 15, 17, 3)), 0);
       },
       "", 1,
       "section 2 \"B\" (raw, type 12): its index gives the position 17, but its data starts at "
       "16"},
      {"wrong text length",
       [&](RawArchive& a) {
         a.Entries[0] = zpack::RawEntryFor("A.DCW", pt::Data(pt::WorkedContent(1, 14, 16, 3)), 0);
       },
       "", 1, "its index gives the length 14, but its data takes 15 bytes"},
      {"wrong installed size", [](RawArchive& a) { a.Entries[0].InstalledSize = 54; }, "", 1,
       "its installed size field is 54, but the installed file has 55 bytes"},
      {".DCW entry without its installed size",
       [](RawArchive& a) { a.Entries[0].InstalledSize.reset(); }, "", 1, "entry 1 \"A.DCW\""},
      {"plain entry with an installed size", [](RawArchive& a) { a.Entries[1].InstalledSize = 5; },
       "", 1, "entry 2 \"B.TXT\""},
      {"no terminator", [](RawArchive& a) { a.Terminator = false; }, "", 1,
       "the installer ends with runtime error 100"},
      {"cut in a name", [](RawArchive& a) { a.Terminator = false; },
       std::string("\x09\0\0\0\x05", 5), 1, "cut short in entry 3's name"},
      {"bytes after the terminator", [](RawArchive&) {}, "junk", 1,
       "4 bytes follow the archive's terminator"},
      {"bytes after a stream",
       [](RawArchive& a) {
         a.Entries[1].Stream.push_back(0);
         a.Entries[1].Stream.push_back(0);
       },
       "", 0, "note: entry 2 \"B.TXT\": 2 bytes follow its bzip2 stream"},
      {"cleanup of an installed file", [](RawArchive& a) { a.TitleString = "T|b.*"; }, "", 1,
       "deletes b.txt, which the installer has just installed"},
      {"pattern of 101 characters",
       [](RawArchive& a) { a.TitleString = "T|" + std::string(101, 'q'); }, "", 1,
       "only its first 100"},
      {"name with a path", [](RawArchive& a) { a.Entries[1].Name = "..\\B.TXT"; }, "", 1,
       "the name has a path part"},
      {"two entries, one file",
       [](RawArchive& a) {
         a.Entries.push_back(a.Entries[1]);
         a.Entries.back().Name = "b.txt";
       },
       "", 1, "entry 3 \"b.txt\": installed as b.txt, like entry 2"},
      {"no date", [](RawArchive& a) { a.Entries[1].DateTime = 0; }, "", 1,
       "invalid date-time 0x00000000 is no date"},
      {"broken layout",
       [](RawArchive& a) { a.Entries[0] = zpack::RawEntryFor("A.DCW", pt::Data("\x05"), 0); }, "",
       1, "the count byte says 5 sections"},
      {"magic", [](RawArchive& a) { a.Magic = 123456788; }, "", 1,
       "does not begin the payload magic"},
  };
  for (const Case& c : cases) {
    RawArchive archive = base();
    c.Damage(archive);
    const fs::path installer = RawInstaller(archive, c.Trailer);
    auto r = Pack({"verify", installer.string()});
    EXPECT_EQ(r.ExitCode, c.Exit) << c.Name << "\n" << r.Stdout << r.Stderr;
    EXPECT_NE((r.Stdout + r.Stderr).find(c.Message), std::string::npos)
        << c.Name << ": expected \"" << c.Message << "\" in\n"
        << r.Stdout << r.Stderr;
  }
}

TEST_F(PackTool, ListAndExtractRefuseWhatTheInstallerCannotInstall) {
  RawArchive archive;
  archive.Entries.push_back(zpack::RawEntryFor("A.TXT", pt::Data("a"), 0x585D6DAF));
  archive.Entries.push_back(zpack::RawEntryFor("B.TXT", pt::Data("b"), 0x585D6DAF));
  archive.Entries[1].DecodedSize = 2;
  fs::path installer = RawInstaller(archive);
  auto r = Pack({"extract", installer.string(), (dir / "x").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("entry 2 \"B.TXT\": it decodes to 1 bytes, but its header gives 2"),
            std::string::npos)
      << r.Stderr;
  EXPECT_TRUE(pt::Names(dir / "x").empty()) << "extract wrote part of a failing installer";

  archive.Entries[1].DecodedSize = 1;
  archive.Terminator = false;
  installer = RawInstaller(archive);
  r = Pack({"list", installer.string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stdout.find("B.TXT"), std::string::npos) << r.Stdout;
  EXPECT_NE(r.Stderr.find("cut short in entry 3's compressed size (or the terminator)"),
            std::string::npos)
      << r.Stderr;
  r = Pack({"list", stub.string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("no payload: the ELF image ends at offset 64, and only zero padding"),
            std::string::npos)
      << r.Stderr;
}

TEST_F(PackTool, OffsetOverridesTheSearch) {
  RawArchive archive;
  archive.TitleString = "T";
  const std::string file = std::string(100, 'x') + pt::Str(zpack::WriteRawArchive(archive));
  zt::WriteFile(dir / "odd", file);
  EXPECT_EQ(Pack({"verify", (dir / "odd").string()}).ExitCode, 1);
  auto r = Pack({"verify", "--offset", "100", (dir / "odd").string()});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  r = Pack({"verify", "--offset", "99", (dir / "odd").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("no payload magic (15 CD 5B 07) at offset 99"), std::string::npos);
}

TEST_F(PackTool, ASignatureAfterTheArchiveIsANoteNotAFailure) {
  zt::WriteFile(stub, pt::PeStub());
  zt::WriteFile(content / "a.txt", "x");
  ASSERT_EQ(Create({}).ExitCode, 0);
  std::string file = zt::ReadFile(out);
  // As osslsigncode does: pad to 8 bytes, append the certificate table, point the
  // security directory at it.
  file.resize((file.size() + 7) / 8 * 8, '\0');
  const uint32_t at = uint32_t(file.size());
  std::string certificate = zt::U32(24) + std::string("\x00\x02\x02\x00", 4) + std::string(16, 'c');
  file += certificate;
  pt::SetSecurityDirectory(file, at, 24);
  zt::WriteFile(dir / "signed", file);
  auto r = Pack({"verify", (dir / "signed").string()});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_NE(r.Stdout.find("note: a certificate table (a code signature) of 24 bytes"),
            std::string::npos)
      << r.Stdout;
  // A table that does not reach the end of the file leaves bytes nobody accounts for.
  pt::SetSecurityDirectory(file, at, 16);
  zt::WriteFile(dir / "signed", file);
  r = Pack({"verify", (dir / "signed").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("follow the archive's terminator"), std::string::npos) << r.Stderr;
}

TEST_F(PackTool, DecodeRefusesDamagedPackedFiles) {
  zt::WriteFile(dir / "bad.dcc", "\x05\x91\x0F");
  auto r = Pack({"decode", (dir / "bad.dcc").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("record 1 at offset 0: its length 5 reaches past its end"),
            std::string::npos)
      << r.Stderr;
  zt::WriteFile(dir / "bad.dcw", "\x02" + pt::IndexEntry(1, 0, 10, "A"));
  r = Pack({"decode", (dir / "bad.dcw").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("too short for their index"), std::string::npos) << r.Stderr;
}

TEST_F(PackTool, MakeDcwNamesTheManifestLineAndTheTextLine) {
  const fs::path src = dir / "src";
  fs::create_directory(src);
  zt::WriteFile(src / "t.txt", "bonne ligne\nœuvre\n");
  zt::WriteFile(src / "sections.txt", "# comment\n\ntext T t.txt\nraw R 10 t.txt\n");
  auto r = Pack({"make-dcw", "-o", (dir / "x.dcw").string(), src.string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("t.txt, line 2: the line holds the character \"œ\""), std::string::npos)
      << r.Stderr;
  EXPECT_NE(r.Stderr.find("sections.txt, line 4: the type of a raw section"), std::string::npos)
      << r.Stderr;
  EXPECT_FALSE(fs::exists(dir / "x.dcw"));
}
