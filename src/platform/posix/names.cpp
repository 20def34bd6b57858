// Windows name semantics on a case-sensitive file system: case-insensitive matching that keeps
// the case names were created with, and the 8.3 aliases of the system drive.
#include "platform/posix/layer.h"

#include <algorithm>
#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <unordered_map>
#include <unordered_set>

namespace posix_layer {

static unsigned char Upper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? c - 0x20 : c;
}

bool NamesEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

// Upper-case comparison, as NTFS orders names ("ab" before "a_b").
bool NameLess(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = Upper(a[i]), y = Upper(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

// Characters a short name may hold besides letters and digits; bytes from 0x80 pass too.
static bool IsShortNameChar(unsigned char c) {
  if (c >= 0x80) return true;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return c && strchr("$%'-_@~`!(){}^#&", c) != nullptr;
}

bool IsValidShortName(const std::string& name) {
  size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string::npos && ext.empty()) return false;
  for (unsigned char c : base)
    if (!IsShortNameChar(c)) return false;
  for (unsigned char c : ext)
    if (!IsShortNameChar(c)) return false;
  return true;
}

static std::string ShortNameChars(const std::string& s, size_t limit) {
  std::string out;
  for (unsigned char c : s) {
    if (out.size() == limit) break;
    if (IsShortNameChar(c)) out += static_cast<char>(Upper(c));
  }
  return out;
}

// The two parts an alias is built from: the first six short-name characters of the base and
// the first three of the extension (after the last dot; a leading dot starts no extension).
static void AliasParts(const std::string& name, std::string* base6, std::string* ext3) {
  size_t start = name.find_first_not_of('.');
  std::string rest = start == std::string::npos ? "" : name.substr(start);
  size_t dot = rest.rfind('.');
  *base6 = ShortNameChars(rest.substr(0, dot), 6);
  *ext3 = dot == std::string::npos ? "" : ShortNameChars(rest.substr(dot + 1), 3);
}

static std::string MakeAlias(const std::string& base6, const std::string& ext3, unsigned n) {
  std::string number = "~" + std::to_string(n);
  std::string alias = base6.substr(0, 8 - std::min<size_t>(number.size(), 8)) + number;
  if (!ext3.empty()) alias += "." + ext3;
  return alias;
}

// Names that are not valid 8.3 names get BASE6~N.EXT, N counting the names that share those
// six characters, in name order (Windows counts in creation order, which a POSIX folder
// does not keep). An alias that would equal a real name of the folder is skipped.
static void AssignAliases(std::vector<FolderEntry>* entries) {
  std::unordered_set<std::string> taken; // the folder's real names, upper-cased
  for (const FolderEntry& entry : *entries) {
    std::string upper = entry.name;
    for (char& c : upper) c = static_cast<char>(Upper(c));
    taken.insert(upper);
  }
  std::unordered_map<std::string, unsigned> used; // aliases given so far per BASE6
  for (FolderEntry& entry : *entries) {
    if (IsValidShortName(entry.name)) continue;
    std::string base6, ext3;
    AliasParts(entry.name, &base6, &ext3);
    unsigned& n = used[base6];
    std::string alias;
    do alias = MakeAlias(base6, ext3, ++n);
    while (taken.count(alias));
    entry.alias = alias;
  }
}

DWORD ListFolder(const std::string& hostDir, bool withAliases, std::vector<FolderEntry>* out) {
  out->clear();
  DIR* dir = opendir(hostDir.c_str());
  if (!dir) return errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno);
  while (struct dirent* d = readdir(dir)) {
    if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0) continue;
    out->push_back(FolderEntry{d->d_name, ""});
  }
  closedir(dir);
  std::sort(out->begin(), out->end(),
            [](const FolderEntry& a, const FolderEntry& b) { return NameLess(a.name, b.name); });
  if (withAliases) AssignAliases(out);
  return 0;
}

DWORD FindInFolder(const std::string& hostDir, const std::string& component, bool withAliases,
                   std::string* found) {
  struct stat st;
  if (lstat((hostDir + "/" + component).c_str(), &st) == 0) {
    *found = component;
    return 0;
  }
  std::vector<FolderEntry> entries;
  if (DWORD error = ListFolder(hostDir, withAliases, &entries)) return error;
  for (const FolderEntry& entry : entries) {
    if (NamesEqual(entry.name, component)) {
      *found = entry.name;
      return 0;
    }
  }
  for (const FolderEntry& entry : entries) {
    if (!entry.alias.empty() && NamesEqual(entry.alias, component)) {
      *found = entry.name;
      return 0;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

} // namespace posix_layer
