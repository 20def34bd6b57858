// File-name patterns with the wildcards '*' and '?', matched as Windows' directory search
// matches them against a long name: ASCII letters compare without case; "*.*" at the end is
// "*"; a trailing '.' is dropped; '?' matches one character, or nothing at a '.' or at the
// end; a '.' before '*' or '?' matches a '.' or the end; a '*' before '.' matches up to the
// name's last '.'.
#pragma once

// `pattern` holds `patternLength` bytes (at most 259); `name` is NUL-terminated.
bool MatchesPattern(const char* pattern, unsigned patternLength, const char* name);
