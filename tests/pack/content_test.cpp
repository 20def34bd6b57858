// The content rules the builder enforces and the installed files it predicts: entry kinds
// and names, text lines, the indexed layout, code pages and DOS date-times.
#include "pack_fixture.h"

#include "zarvo-pack/code_pages.h"
#include "zarvo-pack/dos_time.h"
#include "zarvo-pack/entry_content.h"
#include "zarvo-pack/indexed_content.h"
#include "zarvo-pack/names.h"
#include "zarvo-pack/text_lines.h"

#include <gtest/gtest.h>

using namespace zpack;
using pt::Data;
using pt::Str;

TEST(EntryNames, KindAndInstalledNameFollowTheContainmentRule) {
  struct Case {
    const char* Name;
    EntryKind Kind;
    const char* Installed;
  } cases[] = {
      {"ABC.DCW", EntryKind::Indexed, "abc.dcw"},
      {"x.dcw.bak", EntryKind::Indexed, "x.dcw.bak"},
      {"X.DOC.DCW", EntryKind::Indexed, "x.doc.dcw"},
      {"ABC.DOC", EntryKind::Packed, "abc.dcc"},
      {"a.doc.bak", EntryKind::Packed, "a.doc.bck"},
      {"notes.docs", EntryKind::Packed, "notes.docs"}, // its second-to-last is a c already
      {"Readme.TXT", EntryKind::Plain, "readme.txt"},
      {"a.dc", EntryKind::Plain, "a.dc"},
      {"\xC9T\xC9.DCW", EntryKind::Indexed, "\xC9t\xC9.dcw"}, // only A to Z change
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KindOfName(c.Name), c.Kind) << c.Name;
    EXPECT_EQ(InstalledName(c.Name), c.Installed) << c.Name;
  }
}

TEST(EntryNames, OnlyBareWindowsFileNamesPass) {
  const std::pair<std::string, const char*> refused[] = {
      {"", "empty"},
      {std::string(256, 'a'), "more than the 255"},
      {"a\\b.txt", "path part"},
      {"a/b.txt", "path part"},
      {"c:x.txt", "path part"},
      {"..", "not a file name"},
      {"a?.txt", "does not allow"},
      {"a\x01.txt", "control character"},
      {"a.txt.", "ends with a dot"},
      {"NUL.txt", "device name"},
      {"com1", "device name"},
  };
  for (const auto& [name, fragment] : refused) {
    EXPECT_NE(CheckEntryName(name).find(fragment), std::string::npos)
        << "\"" << name << "\" gives: " << CheckEntryName(name);
  }
  for (const std::string& name : std::vector<std::string>{
           "a", "a..b.txt", "..a", std::string(255, 'x'), "caf\xE9.txt", "CONSOLE.TXT", "com10"})
    EXPECT_EQ(CheckEntryName(name), "") << name;
}

TEST(EntryNames, FoldCaseTakesAccentedLettersAsWindowsDoes) {
  EXPECT_EQ(FoldCase("\xE9t\xE9.txt"), FoldCase("\xC9T\xC9.TXT"));
  EXPECT_EQ(FoldCase("\x9C\xFF"), FoldCase("\x8C\x9F")); // œ ÿ
  EXPECT_NE(FoldCase("\xF7"), FoldCase("\xD7"));         // ÷ is no letter
}

TEST(EntryNames, ShortAliasesCoverLongNamesOnly) {
  EXPECT_TRUE(ShortAliases("readme.txt").empty());
  EXPECT_EQ(ShortAliases("index.html").front(), "INDEX~1.HTM");
  EXPECT_EQ(ShortAliases("Program Files").front(), "PROGRA~1");
  EXPECT_EQ(ShortAliases("a.b.c.txt").front(), "ABC~1.TXT");
}

TEST(TextLines, LimitsAreThoseOfTheInstallersWriter) {
  struct Case {
    std::string Text;
    const char* Fatal; // fragment, or empty
  } cases[] = {
      {std::string(255, 'x') + "\n", ""},
      {std::string(255, 'x') + "\r\r\n", ""}, // CR bytes before the LF are not counted
      {"ok\n" + std::string(256, 'x') + "\n", "line 2: the line is 256 bytes long"},
      {"a\rb\n", "line 1: a CR byte stands inside the line (at byte 2)"},
      {"\ra\n", "line 1: a CR byte stands inside"},
      {"ab\r", "line 1: the text ends with a CR that no LF follows"},
      {"\r\n", ""},
  };
  for (const Case& c : cases) {
    PackedLines packed;
    std::string fatal = PackTextLines(Data(c.Text).data(), c.Text.size(), true, nullptr, packed);
    if (*c.Fatal == 0)
      EXPECT_EQ(fatal, "") << pt::Hex(c.Text.substr(0, 8));
    else
      EXPECT_NE(fatal.find(c.Fatal), std::string::npos) << fatal;
  }
}

TEST(TextLines, RecordsAndTheirSizeMatchThePacker) {
  const std::string text = "le chat\n\n   \r\nZoe";
  PackedLines packed;
  Bytes records;
  ASSERT_EQ(PackTextLines(Data(text).data(), text.size(), true, &records, packed), "");
  EXPECT_EQ(pt::Hex(Str(records)), "05 91 0F 1F 94 60 00 00 03 FF 5A A1");
  EXPECT_EQ(packed.Lines, 4u);
  EXPECT_EQ(packed.Size, records.size());
  EXPECT_TRUE(packed.Defects.empty());
  // The same lines where every line must end with its LF: the last one is a defect.
  ASSERT_EQ(PackTextLines(Data(text).data(), text.size(), false, nullptr, packed), "");
  ASSERT_EQ(packed.Defects.size(), 1u);
  EXPECT_NE(packed.Defects[0].find("line 4: the last line does not end with an LF"),
            std::string::npos);
}

TEST(TextLines, ALineTooLongOncePackedIsADefectNotASilentBlank) {
  // 126 literals take 252 bytes, the largest record with "ee"; 127 need 254 and become 00.
  for (const auto& [line, defect] :
       {std::pair<std::string, bool>{std::string(126, 'X') + "ee", false},
        {std::string(127, 'X'), true},
        {std::string(200, ' '), false}}) {
    const std::string text = line + "\n";
    PackedLines packed;
    ASSERT_EQ(PackTextLines(Data(text).data(), text.size(), false, nullptr, packed), "");
    EXPECT_EQ(packed.Defects.size(), defect ? 1u : 0u) << line.size();
  }
}

TEST(IndexedContent, WorkedExampleGetsItsPositionsLengthsAndInstalledSize) {
  // Wrong positions and a wrong text length given: the builder must work out the right ones.
  const Bytes content = Data(pt::WorkedContent(0, 0, 99, 3));
  IndexedLayout layout;
  ASSERT_EQ(AnalyzeIndexedContent(content.data(), content.size(), layout), "");
  EXPECT_TRUE(layout.Defects.empty());
  ASSERT_EQ(layout.Sections.size(), 2u);
  EXPECT_EQ(layout.Sections[0].Position, 1u);
  EXPECT_EQ(layout.Sections[0].Length, 15u);
  EXPECT_EQ(layout.Sections[1].Position, 16u);
  EXPECT_EQ(layout.Sections[1].Length, 3u);
  EXPECT_EQ(layout.InstalledSize, 55u);
  EXPECT_EQ(IndexMismatches(layout).size(), 3u);

  Bytes fixed = content;
  ApplyIndexedLayout(fixed.data(), layout);
  EXPECT_EQ(Str(fixed), pt::WorkedContent());
  // The filler bytes of the names and everything else stay as they were.
  const Bytes installed = InstalledIndexedFile(fixed.data(), layout);
  EXPECT_EQ(pt::Hex(Str(installed)), pt::Hex(pt::WorkedInstalled()));
  EXPECT_EQ(installed.size(), 55u);
}

TEST(IndexedContent, BrokenLayoutsAreNamedBySectionAndLine) {
  const std::string header = "HEADER01";
  struct Case {
    std::string Content;
    const char* Fatal;  // fragment of the fatal problem, or empty
    const char* Defect; // fragment of the one defect, or empty
  } cases[] = {
      {"", "the content is empty", ""},
      {std::string("\x00", 1), "", ""},
      {"\x03" + pt::IndexEntry(1, 0, 10, "A"), "the count byte says 3 sections", ""},
      {"\x01" + pt::IndexEntry(1, 5, 12, "R") + "abc",
       "section 1 \"R\" (raw, type 12): its length 5 reaches past", ""},
      {"\x01" + pt::IndexEntry(1, 0, 10, "T") + "HEAD",
       "its text header and text length need 12 bytes", ""},
      {"\x01" + pt::IndexEntry(1, 0, 10, "T") + header + zt::U32(10) + "abc\n",
       "its text length 10 reaches past", ""},
      {"\x01" + pt::IndexEntry(1, 0, 10, "T") + header + zt::U32(0x80000000u), "is over 2^31 - 1",
       ""},
      {"\x01" + pt::IndexEntry(1, 0, 10, "T") + header + zt::U32(5) + "ab\ncd", "",
       "section 1 \"T\" (text), line 2: the last line does not end with an LF"},
      {"\x01" + pt::IndexEntry(1, 0, 10, "T") + header + zt::U32(5) + "a\rb\n\n",
       "section 1 \"T\" (text), line 1: a CR byte", ""},
      {"\x01" + pt::IndexEntry(1, 0, 10, "T") + header + zt::U32(0) + "zz", "",
       "2 bytes follow the last section"},
      {"\x01" + pt::IndexEntry(1, 0, 12, "LONGNAME").replace(9, 1, "\x09") + "", "",
       "its name's length byte is 9"},
  };
  for (const Case& c : cases) {
    IndexedLayout layout;
    const Bytes content = Data(c.Content);
    const std::string fatal = AnalyzeIndexedContent(content.data(), content.size(), layout);
    if (*c.Fatal)
      EXPECT_NE(fatal.find(c.Fatal), std::string::npos) << fatal;
    else
      EXPECT_EQ(fatal, "") << pt::Hex(c.Content);
    if (*c.Defect) {
      ASSERT_EQ(layout.Defects.size(), 1u) << pt::Hex(c.Content);
      EXPECT_NE(layout.Defects[0].find(c.Defect), std::string::npos) << layout.Defects[0];
    } else if (fatal.empty()) {
      EXPECT_TRUE(layout.Defects.empty()) << layout.Defects.front();
    }
  }
}

TEST(IndexedContent, TextLengthZeroAndCountZero) {
  const Bytes empty = Data(std::string("\x00", 1));
  IndexedLayout layout;
  ASSERT_EQ(AnalyzeIndexedContent(empty.data(), empty.size(), layout), "");
  EXPECT_EQ(layout.InstalledSize, 1u);
  EXPECT_EQ(Str(InstalledIndexedFile(empty.data(), layout)), std::string("\x00", 1));

  const Bytes noLines = Data("\x01" + pt::IndexEntry(1, 8, 10, "T") + "HEADER01" + zt::U32(0));
  ASSERT_EQ(AnalyzeIndexedContent(noLines.data(), noLines.size(), layout), "");
  EXPECT_EQ(layout.Sections[0].Length, 8u);
  EXPECT_EQ(Str(InstalledIndexedFile(noLines.data(), layout)),
            "\x01HEADER01" + pt::IndexEntry(1, 8, 10, "T"));
}

TEST(EntryContent, PackedEntriesPackTheirLastLineWithoutLf) {
  const Bytes text = Data("le chat\nZoe");
  ContentCheck check = CheckContent(EntryKind::Packed, text.data(), text.size());
  EXPECT_EQ(check.Fatal, "");
  EXPECT_TRUE(check.Defects.empty());
  EXPECT_EQ(pt::Hex(Str(InstalledContent(EntryKind::Packed, text.data(), text.size(), check))),
            "05 91 0F 1F 94 60 03 FF 5A A1");
  EXPECT_EQ(check.InstalledSize, 10u);
  const Bytes none;
  check = CheckContent(EntryKind::Packed, none.data(), 0);
  EXPECT_TRUE(InstalledContent(EntryKind::Packed, none.data(), 0, check).empty());
}

TEST(CodePages, TitlesGoTo1252AndContentComesFrom850) {
  std::string out, problem;
  ASSERT_TRUE(FromUtf8("Démo — l’été €", CodePage::Windows1252, out, problem));
  EXPECT_EQ(pt::Hex(out), "44 E9 6D 6F 20 97 20 6C 92 E9 74 E9 20 80");
  EXPECT_FALSE(FromUtf8("Ω", CodePage::Windows1252, out, problem));
  EXPECT_NE(problem.find("\"Ω\" (U+03A9), which code page 1252 lacks"), std::string::npos);
  EXPECT_FALSE(FromUtf8("a\xC3", CodePage::Windows1252, out, problem));
  EXPECT_NE(problem.find("not UTF-8"), std::string::npos);
  EXPECT_FALSE(FromUtf8("\xC0\xAF", CodePage::Windows1252, out, problem)); // overlong '/'

  EXPECT_EQ(ToUtf8("\x82\x85\x8A\x87", CodePage::Dos850), "éàèç");
  ASSERT_TRUE(FromUtf8("éàèç", CodePage::Dos850, out, problem));
  EXPECT_EQ(pt::Hex(out), "82 85 8A 87");
  EXPECT_EQ(ToUtf8("\x81", CodePage::Windows1252), "\xEF\xBF\xBD"); // undefined in 1252
  for (int b = 0x80; b < 0x100; b++) { // every 850 byte comes back through UTF-8
    const std::string byte(1, char(b));
    ASSERT_TRUE(FromUtf8(ToUtf8(byte, CodePage::Dos850), CodePage::Dos850, out, problem));
    EXPECT_EQ(out, byte);
  }
}

TEST(DosTime, FieldsRangeAndValidity) {
  EXPECT_EQ(DosDateTimeFromCivil({1980, 1, 1, 0, 0, 0}), 0x00210000u);
  EXPECT_EQ(DosDateTimeFromCivil({2024, 2, 29, 13, 45, 31}), 0x585D6DAFu); // odd second cut
  EXPECT_FALSE(DosDateTimeFromCivil({1979, 12, 31, 23, 59, 59}));
  EXPECT_FALSE(DosDateTimeFromCivil({2108, 1, 1, 0, 0, 0}));
  EXPECT_TRUE(DosDateTimeFromCivil({2107, 12, 31, 23, 59, 58}));
  EXPECT_FALSE(DosDateTimeFromCivil({2023, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(CivilFromDosDateTime(0));          // month 0
  EXPECT_FALSE(CivilFromDosDateTime(0x0021BF80)); // minute 60
  EXPECT_EQ(FormatDosDateTime(0x585D6DAF), "2024-02-29 13:45:30");
  EXPECT_EQ(FormatDosDateTime(0), "invalid date-time 0x00000000");
  auto parsed = ParseCivilTime("2024-02-29T13:45:30");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(DosDateTimeFromCivil(*parsed), 0x585D6DAFu);
  EXPECT_TRUE(ParseCivilTime("2024-02-29 13:45"));
  EXPECT_FALSE(ParseCivilTime("2023-02-29 13:45"));
  EXPECT_FALSE(ParseCivilTime("2024-2-29 13:45"));
}

TEST(DosTime, CalendarArithmeticRoundTrips) {
  for (int64_t t :
       {int64_t(0), int64_t(315532800), int64_t(951782400), int64_t(4354819199), int64_t(-86401)}) {
    EXPECT_EQ(UnixUtcFromCivil(CivilFromUnixUtc(t)), t) << t;
  }
  CivilTime leap = CivilFromUnixUtc(951782400); // 2000-02-29 00:00:00
  EXPECT_EQ(leap.Year, 2000);
  EXPECT_EQ(leap.Month, 2);
  EXPECT_EQ(leap.Day, 29);
  EXPECT_EQ(UnixFromLocalCivil(LocalCivilFromUnix(1700000000)), 1700000000);
}
