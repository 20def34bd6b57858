#include "zarvo-pack/title_string.h"

#include "zarvo-pack/names.h"
#include "zarvo-pack/pattern.h"

#include <cstdio>

namespace zpack {

TitleParts SplitTitleString(std::string_view titleString) {
  TitleParts parts;
  size_t bar = titleString.find('|');
  if (bar == std::string_view::npos) {
    parts.Title = std::string(titleString);
    return parts;
  }
  parts.HasBar = true;
  parts.Title = std::string(titleString.substr(0, bar));
  parts.Pattern = std::string(titleString.substr(bar + 1, MaxPatternLength));
  return parts;
}

std::string MakeTitleString(std::string_view title, std::string_view pattern) {
  std::string s(title);
  if (!pattern.empty()) {
    s += '|';
    s += pattern;
  }
  return s;
}

namespace {

std::string ControlCharacterIn(std::string_view text) {
  for (char c : text) {
    if (uint8_t(c) < 0x20 || c == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", unsigned(uint8_t(c)));
      return code;
    }
  }
  return {};
}

} // namespace

std::string CheckTitle(std::string_view title) {
  if (title.find('|') != std::string_view::npos)
    return "the title holds '|', which the installer takes for the start of the cleanup pattern";
  if (std::string control = ControlCharacterIn(title); !control.empty())
    return "the title holds the control character " + control;
  if (title.size() > MaxShortString)
    return "the title is " + std::to_string(title.size()) +
           " bytes long in code page 1252, more than 255";
  return {};
}

std::string CheckPattern(std::string_view pattern) {
  if (pattern.empty()) return {};
  if (pattern.size() > MaxPatternLength)
    return "the cleanup pattern is " + std::to_string(pattern.size()) +
           " characters long; the installer uses only its first 100";
  for (char c : pattern) {
    if (c == '\\' || c == '/' || c == ':')
      return std::string("the cleanup pattern has a directory part ('") + c +
             "'); it names files in the Zarvo directory itself";
  }
  if (std::string control = ControlCharacterIn(pattern); !control.empty())
    return "the cleanup pattern holds the control character " + control;
  for (char c : pattern) {
    // Windows reads < > " as wildcards of its own, and '|' can't be in a file name.
    if (c == '<' || c == '>' || c == '"' || c == '|')
      return std::string("the cleanup pattern holds '") + c + "', which no file name holds";
  }
  if (pattern.find_first_not_of(". ") == std::string_view::npos)
    return "the cleanup pattern \"" + std::string(pattern) +
           "\" names no file (Windows drops trailing dots and spaces)";
  return {};
}

std::vector<CleanupVictim> CleanupVictims(std::string_view pattern,
                                          const std::vector<std::string>& installedNames) {
  std::vector<CleanupVictim> victims;
  if (pattern.empty()) return victims;
  auto consider = [&](const std::string& name, int installed) {
    if (MatchesPattern(pattern, name)) {
      victims.push_back({name, "", installed});
      return;
    }
    for (const std::string& alias : ShortAliases(name)) {
      if (MatchesPattern(pattern, alias)) {
        victims.push_back({name, alias, installed});
        return;
      }
    }
  };
  for (const char* name : ProtectedNames) consider(name, -1);
  for (size_t i = 0; i < installedNames.size(); i++) consider(installedNames[i], int(i));
  return victims;
}

} // namespace zpack
