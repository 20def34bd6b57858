#include "util/wildcard.h"

// Pattern characters after the rewrite, standing for the three DOS-compatible wildcards.
enum : char { DosStar = 1, DosQuestionMark = 2, DosDot = 3 };

static char Fold(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
}

static const char* LastDot(const char* name) {
  const char* dot = nullptr;
  for (; *name; name++)
    if (*name == '.') dot = name;
  return dot;
}

static bool MatchFrom(const char* p, const char* name) {
  for (;; p++) {
    switch (*p) {
    case 0:
      return *name == 0;
    case '*':
      for (;; name++) {
        if (MatchFrom(p + 1, name)) return true;
        if (*name == 0) return false;
      }
    case DosStar: {
      const char* stop = LastDot(name);
      for (;; name++) {
        if (MatchFrom(p + 1, name)) return true;
        if (*name == 0 || name == stop) return false;
      }
    }
    case DosQuestionMark:
      if (*name != 0 && *name != '.') name++;
      break;
    case DosDot:
      if (*name == '.')
        name++;
      else if (*name != 0)
        return false;
      break;
    default:
      if (*name == 0 || Fold(*name) != Fold(*p)) return false;
      name++;
    }
  }
}

bool MatchesPattern(const char* pattern, unsigned patternLength, const char* name) {
  char p[260];
  unsigned n = patternLength < sizeof p - 1 ? patternLength : sizeof p - 1;
  for (unsigned i = 0; i < n; i++) p[i] = pattern[i];
  if (n >= 3 && p[n - 3] == '*' && p[n - 2] == '.' && p[n - 1] == '*') n -= 2;
  if (n >= 1 && p[n - 1] == '.') n--;
  p[n] = 0;
  for (unsigned i = 0; i < n; i++) {
    char next = p[i + 1];
    if (p[i] == '?')
      p[i] = DosQuestionMark;
    else if (p[i] == '.' && (next == '?' || next == '*'))
      p[i] = DosDot;
    else if (p[i] == '*' && next == '.')
      p[i] = DosStar;
  }
  return MatchFrom(p, name);
}
