#include "util/file_helpers.h"
#include "util/short_string.h"

#include <gtest/gtest.h>

#include <string>

template <unsigned N> static std::string Str(const ShortString<N>& s) {
  return std::string(s.Chars, s.Length);
}

static Str255 Make(const std::string& text) {
  Str255 s;
  ShortAssign(s, text.data(), static_cast<unsigned>(text.size()));
  return s;
}

TEST(ShortString, AssignAndAppendCutAtTheCapacity) {
  ShortString<5> s;
  ShortAssign(s, "abcdefgh");
  EXPECT_EQ(Str(s), "abcde");
  ShortAssign(s, "ab");
  ShortAppend(s, "cdefgh");
  EXPECT_EQ(Str(s), "abcde");
  ShortAppend(s, "x");
  EXPECT_EQ(Str(s), "abcde");

  Str255 full;
  ShortAssign(full, std::string(300, 'q').c_str());
  EXPECT_EQ(full.Length, 255);
  ShortString<200> dir;
  ShortAssign(dir, full);
  EXPECT_EQ(dir.Length, 200);
}

TEST(ShortString, AssignFromAPartOfItself) {
  Str255 s = Make("0123456789");
  ShortAssign(s, s.Chars + 3, 4);
  EXPECT_EQ(Str(s), "3456");
}

TEST(ShortString, ContainsAndText) {
  Str255 s = Make("X.DOC.DCW");
  EXPECT_TRUE(ShortContains(s, ".DCW"));
  EXPECT_TRUE(ShortContains(s, ".DOC"));
  EXPECT_FALSE(ShortContains(s, ".DCX"));
  EXPECT_FALSE(ShortContains(Make(".DC"), ".DCW"));
  ShortText text;
  ShortToText(s, text);
  EXPECT_STREQ(text.Chars, "X.DOC.DCW");
}

TEST(ShortString, TextBuilderCutsAtItsEnd) {
  TextBuilder t{};
  for (int i = 0; i < 20; i++) TextAppend(t, std::string(100, 'z').c_str());
  EXPECT_EQ(t.Length, sizeof t.Chars - 1);
  EXPECT_EQ(t.Chars[t.Length], 0);
}

TEST(ExtractFilePath, KeepsUpToTheLastColonOrBackslash) {
  struct Case {
    const char* path;
    const char* directory;
  } cases[] = {
      {"C:\\ZARVO\\ab.ini", "C:\\ZARVO\\"},
      {"C:", "C:"},
      {"ab.ini", ""},
      {"C:/ZARVO/ab.ini", "C:"},
      {"", ""},
      {"\\\\server\\share\\x.exe", "\\\\server\\share\\"},
  };
  for (const Case& c : cases) {
    Str255 out;
    ExtractFilePath(Make(c.path), out);
    EXPECT_EQ(Str(out), c.directory) << c.path;
  }
}

TEST(CaseMapping, OnlyAsciiLettersChange) {
  Str255 s = Make("abc.dcw\xE9Z[`{@"), out;
  UpperCaseShort(s, out);
  EXPECT_EQ(Str(out), "ABC.DCW\xE9Z[`{@");
  LowerCaseShort(Make("ABC.DCW\xC9z[`{@"), out);
  EXPECT_EQ(Str(out), "abc.dcw\xC9z[`{@");
  // In place.
  UpperCaseShort(s, s);
  EXPECT_EQ(Str(s), "ABC.DCW\xE9Z[`{@");
}
