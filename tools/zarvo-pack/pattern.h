// File-name patterns as Windows' directory search applies them to a long name.
#pragma once

#include <string_view>

namespace zpack {

// Whether the wildcard pattern (code page 1252, no directory part) matches the file name.
// The rules are those of FindFirstFile: letters compare without case (FoldCase); the pattern
// is rewritten first ("*.*" at its end becomes "*", then a trailing '.' is dropped); '*' is
// any run of characters; '?' is one character, or nothing at a '.' or at the end of the
// name; a '.' before '*' or '?' is a '.' or the end of the name; a '*' before '.' is any
// run of characters up to the name's last '.'.
// Time and memory grow with the pattern's length times the name's, whatever the pattern.
bool MatchesPattern(std::string_view pattern, std::string_view name);

} // namespace zpack
