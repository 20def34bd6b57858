// Entry names: their kind, the name the installer gives the installed file, and the checks
// that keep every installed file a plain file in the Zarvo directory.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zpack {

// Decided by the name alone, upper-cased in ASCII, by containment anywhere in it: ".DCW"
// first, then ".DOC". Only an indexed entry carries the installed-size field.
enum class EntryKind { Indexed, Packed, Plain };

std::string UpperAscii(std::string_view text);
std::string LowerAscii(std::string_view text);
EntryKind KindOfName(std::string_view name);
// ".DCW", ".DOC" or "plain".
const char* KindLabel(EntryKind kind);
// The lower-cased name, and for a .DOC entry its second-to-last character made 'c'.
std::string InstalledName(std::string_view name);

// Case folding of code page 1252 text as Windows compares file names: the ASCII letters and
// the accented letters of the code page.
std::string FoldCase(std::string_view name);

// Why `name` (code page 1252 bytes) can't be an entry name, or empty when it can: it must be
// a bare Windows file name of 1 to 255 bytes, installed beside Zarvo and nowhere else.
std::string CheckEntryName(std::string_view name);

// The short (8.3) aliases Windows may give `name` (with ~1 to ~4), which the cleanup's
// directory search matches as well; none when the name is a valid 8.3 name itself.
std::vector<std::string> ShortAliases(std::string_view name);

} // namespace zpack
