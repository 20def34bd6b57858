#include "util/wildcard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(MatchesPattern, WindowsWildcardRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*", "abc", true},
      {"*.*", "abc", true}, // "*.*" is "*": names without a dot match too
      {"*.*", "a.b", true},
      {"*.txt", "a.txt", true},
      {"*.txt", "A.TXT", true},
      {"*.TXT", "a.txt", true},
      {"*.txt", "a.b.txt", true},
      {"*.txt", "a.txt.bak", false},
      {"*.txt", "atxt", false},
      {"*.tar.gz", "x.tar.gz", true},
      {"a??", "a", true}, // '?' matches nothing at the end
      {"a??", "ab", true},
      {"a??", "abc", true},
      {"a??", "abcd", false},
      {"a?.txt", "a.txt", true}, // ... and nothing at a '.'
      {"a?.txt", "ab.txt", true},
      {"a?.txt", "abc.txt", false},
      {"x.*", "x", true}, // a '.' before '*' matches the end
      {"x.*", "x.y", true},
      {"x.*", "x.y.z", true},
      {"x.*", "xy", false},
      {"x.?", "x", true},
      {"x.?", "x.a", true},
      {"x.?", "x.ab", false},
      {"abc.", "abc", true}, // a trailing '.' is dropped
      {"*.", "abc", true},
      {"*.d?c", "a.dcc", true},
      {"*.d?c", "a.doc", true},
      {"*.d?c", "a.dccc", false},
      {"ZARVO*.TMP", "zarvo1.tmp", true},
      {"ZARVO*.TMP", "zarvo1.tmpx", false},
      {"?", "a", true},
      {"?", "ab", false},
      {"*a", "aba", true},
      {"*a", "b", false},
      {"*.htm", "index.html", false}, // long names only: no 8.3 aliases here
      {"old_*", "old_x.dcc", true},
      {"old_*", "new_x.dcc", false},
      {"a<", "abc", true}, // the DOS forms may also be written as such
      {"a<", "a.b", false},
      {"a>>", "ab", true},
      {"x\"", "x", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchesPattern(c.pattern, static_cast<unsigned>(strlen(c.pattern)), c.name),
              c.matches)
        << c.pattern << " vs " << c.name;
}

TEST(MatchesPattern, NoPatternMakesItBacktrackWithoutEnd) {
  // A hundred stars and letters against a long name: a backtracking matcher would need
  // longer than the age of the universe for this.
  std::string pattern;
  for (int i = 0; i < 49; i++) pattern += "*a";
  pattern += "*b";
  std::string name(259, 'a');
  EXPECT_FALSE(MatchesPattern(pattern.data(), static_cast<unsigned>(pattern.size()), name.c_str()));
  name.back() = 'b';
  EXPECT_TRUE(MatchesPattern(pattern.data(), static_cast<unsigned>(pattern.size()), name.c_str()));
  // Longer than any Windows name: nothing matches.
  std::string tooLong(260, 'a');
  EXPECT_FALSE(MatchesPattern("*", 1, tooLong.c_str()));
}
