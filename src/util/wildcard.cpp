#include "util/wildcard.h"

enum : unsigned { Longest = 259 };

static char Fold(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
}

// The match runs over the set of name positions the pattern read so far can have reached,
// one pattern character at a time, so no pattern can make it backtrack without end.
bool MatchesPattern(const char* pattern, unsigned patternLength, const char* name) {
  unsigned n = 0, lastDot = Longest + 1;
  while (name[n] != 0) {
    if (n == Longest) return false;
    if (name[n] == '.') lastDot = n;
    n++;
  }
  unsigned length = patternLength;
  if (length > Longest) return false;
  if (length >= 1 && pattern[length - 1] == '.') length--;
  if (length >= 3 && pattern[length - 3] == '*' && pattern[length - 2] == '.' &&
      pattern[length - 1] == '*')
    length -= 2;

  bool reached[Longest + 1] = {true}, next[Longest + 1];
  for (unsigned i = 0; i < length; i++) {
    char p = pattern[i], following = i + 1 < length ? pattern[i + 1] : 0;
    if (p == '?')
      p = '>';
    else if (p == '.' && (following == '?' || following == '*'))
      p = '"';
    else if (p == '*' && following == '.')
      p = '<';

    for (unsigned j = 0; j <= n; j++) next[j] = false;
    bool open = false; // a star has reached this position or one before it
    for (unsigned j = 0; j <= n; j++) {
      bool atEnd = j == n;
      switch (p) {
      case '*':
        open |= reached[j];
        next[j] = open;
        break;
      case '<': // never takes the last '.'
        open |= reached[j];
        next[j] = open;
        if (j == lastDot) open = false;
        break;
      case '>':
        if (reached[j]) next[atEnd || name[j] == '.' ? j : j + 1] = true;
        break;
      case '"':
        if (reached[j] && atEnd) next[j] = true;
        if (reached[j] && !atEnd && name[j] == '.') next[j + 1] = true;
        break;
      default:
        if (reached[j] && !atEnd && Fold(name[j]) == Fold(p)) next[j + 1] = true;
      }
    }
    for (unsigned j = 0; j <= n; j++) reached[j] = next[j];
  }
  return reached[n];
}
