// The payload's title string: the title shown in the confirmation box, then, after a '|',
// the pattern of the obsolete files that the installer deletes once everything is installed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zpack {

inline constexpr size_t MaxShortString = 255;
inline constexpr size_t MaxPatternLength = 100; // the installer drops the characters after it

// The two files that tell the installer a directory is Zarvo's.
inline constexpr const char* ProtectedNames[] = {"zarvowin.exe", "ab.ini"};

struct TitleParts {
  std::string Title;
  std::string Pattern;
  bool HasBar = false;
};

// Splits as the installer does: at the first '|', the pattern cut to its first 100 bytes.
TitleParts SplitTitleString(std::string_view titleString);
// title + "|" + pattern, or the title alone when there is no pattern.
std::string MakeTitleString(std::string_view title, std::string_view pattern);

// Why the text (code page 1252) can't serve, or empty when it can.
std::string CheckTitle(std::string_view title);
std::string CheckPattern(std::string_view pattern);

struct CleanupVictim {
  std::string Name;
  std::string Alias;  // the short alias the pattern matched, when not the name itself
  int Installed = -1; // index into the installed names, or -1 for one of Zarvo's own files
};

// The files among Zarvo's own and `installedNames` that the cleanup pattern would delete,
// matched by their names or by the short aliases Windows may give them.
std::vector<CleanupVictim> CleanupVictims(std::string_view pattern,
                                          const std::vector<std::string>& installedNames);

} // namespace zpack
