// File-name patterns with the wildcards '*' and '?', matched as Windows' directory search
// matches them against a name. ASCII letters compare without case. The pattern is rewritten
// first: a trailing '.' is dropped and "*.*" at the end becomes "*"; then '?' is a DOS
// question mark (one character, or nothing at a '.' or at the end), a '.' before '*' or '?'
// a DOS dot (a '.', or nothing at the end), and a '*' before '.' a DOS star (any run of
// characters that does not take the name's last '.'). '<', '>' and '"' written in a pattern
// are those three DOS forms, as Windows takes them.
#pragma once

// `pattern` holds `patternLength` bytes; `name` is NUL-terminated. Takes time in proportion
// to the pattern's length times the name's, whatever the pattern. Patterns and names longer
// than Windows allows (259 characters) match nothing.
bool MatchesPattern(const char* pattern, unsigned patternLength, const char* name);
