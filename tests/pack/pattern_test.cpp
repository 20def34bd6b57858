// The cleanup pattern as Windows' directory search matches it, and the builder's refusal of
// patterns that would delete what the installer has just installed, or Zarvo itself.
#include "zarvo-pack/pattern.h"
#include "zarvo-pack/title_string.h"

#include "util/wildcard.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using zpack::MatchesPattern;

TEST(Pattern, WindowsWildcardRules) {
  struct Case {
    std::string Pattern;
    std::string Name;
    bool Matches;
  } cases[] = {
      {"*", "anything.txt", true},
      {"*.*", "noextension", true}, // "*.*" is "*"
      {"*.*", "a.b.c", true},
      {"x.*", "x", true}, // the '.' before '*' matches the end
      {"x.*", "x.txt", true},
      {"x.*", "xy", false},
      {"*.", "anything.txt", true}, // the trailing '.' is dropped
      {"a??", "a", true},           // '?' matches nothing at the end
      {"a??", "ab", true},
      {"a??", "abc", true},
      {"a??", "abcd", false},
      {"a?.txt", "a.txt", true}, // nothing before a '.'
      {"a?.txt", "ab.txt", true},
      {"a?.txt", "abc.txt", false},
      {"*.txt", "a.txt", true},
      {"*.txt", "a.b.txt", true}, // '*' before '.' runs up to the last '.'
      {"*.txt", "a.txt.bak", false},
      {"*.txt", "txt", false},
      {"*.TXT", "readme.txt", true}, // without case
      {"R\xC9*", "r\xE9sum\xE9.doc", true},
      {"*.htm", "index.html", false}, // the long name only; the alias is matched separately
      {"zarvo*", "ZarvoWin.exe", true},
      {"*win.exe", "zarvowin.exe", true},
      {"ab.ini", "AB.INI", true},
      {"ab.in", "ab.ini", false},
      {"*.old", "x.old", true},
      {"*.old", "x.older", false},
      {"*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", std::string(250, 'a'), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchesPattern(c.Pattern, c.Name), c.Matches) << c.Pattern << " / " << c.Name;
}

TEST(Pattern, AgreesWithTheInstallersOwnMatcherOnAsciiNames) {
  // The POSIX layer's directory search uses util/wildcard; the builder must predict it.
  std::mt19937 random(12345);
  const std::string patternChars = "ab.*?", nameChars = "abAB.";
  for (int i = 0; i < 20000; i++) {
    std::string pattern, name;
    for (int n = int(random() % 7); n > 0; n--)
      pattern += patternChars[random() % patternChars.size()];
    for (int n = int(random() % 7); n > 0; n--) name += nameChars[random() % nameChars.size()];
    ASSERT_EQ(MatchesPattern(pattern, name),
              ::MatchesPattern(pattern.data(), unsigned(pattern.size()), name.c_str()))
        << "\"" << pattern << "\" / \"" << name << "\"";
  }
}

TEST(Pattern, CleanupVictimsIncludeZarvoAndInstalledFilesAndTheirShortNames) {
  using zpack::CleanupVictims;
  EXPECT_TRUE(CleanupVictims("", {"a.txt"}).empty());
  EXPECT_TRUE(CleanupVictims("*.old", {"a.txt", "b.dcw"}).empty());

  auto victims = CleanupVictims("*.exe", {"setup.exe"});
  ASSERT_EQ(victims.size(), 2u);
  EXPECT_EQ(victims[0].Name, "zarvowin.exe");
  EXPECT_EQ(victims[0].Installed, -1);
  EXPECT_EQ(victims[1].Name, "setup.exe");
  EXPECT_EQ(victims[1].Installed, 0);

  victims = CleanupVictims("AB.*", {});
  ASSERT_EQ(victims.size(), 1u);
  EXPECT_EQ(victims[0].Name, "ab.ini");

  victims = CleanupVictims("*.htm", {"index.html", "page.htm"});
  ASSERT_EQ(victims.size(), 2u);
  EXPECT_EQ(victims[0].Name, "index.html");
  EXPECT_EQ(victims[0].Alias, "INDEX~1.HTM");
  EXPECT_EQ(victims[1].Alias, "");
}

TEST(Pattern, PatternAndTitleChecks) {
  using zpack::CheckPattern;
  using zpack::CheckTitle;
  EXPECT_EQ(CheckPattern(""), "");
  EXPECT_EQ(CheckPattern("*.old"), "");
  EXPECT_EQ(CheckPattern(std::string(100, 'x')), "");
  EXPECT_NE(CheckPattern(std::string(101, 'x')).find("only its first 100"), std::string::npos);
  for (const char* p : {"sub\\*.txt", "../*", "c:*.txt"})
    EXPECT_NE(CheckPattern(p).find("directory part"), std::string::npos) << p;
  for (const char* p : {"a|b", "<x", "a\"b"})
    EXPECT_NE(CheckPattern(p).find("which no file name holds"), std::string::npos) << p;
  EXPECT_NE(CheckPattern("..").find("names no file"), std::string::npos);
  EXPECT_NE(CheckPattern("a\tb").find("control character 0x09"), std::string::npos);
  EXPECT_EQ(CheckTitle(""), "");
  EXPECT_NE(CheckTitle("a|b").find("holds '|'"), std::string::npos);
  EXPECT_NE(CheckTitle("a\rb").find("control character 0x0D"), std::string::npos);
  EXPECT_NE(CheckTitle(std::string(256, 't')).find("more than 255"), std::string::npos);
}
