// Directory search with Windows' wildcard rules, matched against long names and 8.3 aliases.
#include "platform/posix/layer.h"

#include <string.h>

namespace posix_layer {

// The DOS forms a pattern is rewritten into before matching (the characters Windows uses).
static const char kDosStar = '<';     // any run up to the name's last '.'
static const char kDosQuestion = '>'; // one character, or nothing at a '.' or the end
static const char kDosDot = '"';      // a '.', or nothing at the end

std::string DosPattern(std::string p) {
  if (!p.empty() && p.back() == '.') p.pop_back();
  if (p.size() >= 3 && p.compare(p.size() - 3, 3, "*.*") == 0) p.erase(p.size() - 2);
  std::string out = p;
  for (size_t i = 0; i < p.size(); ++i) {
    char next = i + 1 < p.size() ? p[i + 1] : 0;
    if (p[i] == '?')
      out[i] = kDosQuestion;
    else if (p[i] == '.' && (next == '?' || next == '*'))
      out[i] = kDosDot;
    else if (p[i] == '*' && next == '.')
      out[i] = kDosStar;
  }
  return out;
}

static unsigned char Upper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? c - 0x20 : c;
}

struct Matcher {
  const std::string& p;
  const std::string& name;
  size_t lastDot;
  std::vector<signed char> memo; // -1 unknown, else the answer for (pi, ni)

  Matcher(const std::string& pattern, const std::string& n)
      : p(pattern), name(n), lastDot(n.rfind('.')),
        memo((pattern.size() + 1) * (n.size() + 1), -1) {}

  bool Match(size_t pi, size_t ni) {
    signed char& known = memo[pi * (name.size() + 1) + ni];
    if (known < 0) known = Compute(pi, ni);
    return known;
  }

  bool Compute(size_t pi, size_t ni) {
    size_t n = name.size();
    if (pi == p.size()) return ni == n;
    char c = p[pi];
    bool atEnd = ni == n;
    switch (c) {
    case '*':
      return Match(pi + 1, ni) || (!atEnd && Match(pi, ni + 1));
    case kDosStar:
      return Match(pi + 1, ni) || (!atEnd && ni != lastDot && Match(pi, ni + 1));
    case kDosQuestion:
      if (atEnd || name[ni] == '.') return Match(pi + 1, ni);
      return Match(pi + 1, ni + 1);
    case kDosDot:
      if (atEnd) return Match(pi + 1, ni);
      return name[ni] == '.' && Match(pi + 1, ni + 1);
    default:
      return !atEnd && Upper(c) == Upper(name[ni]) && Match(pi + 1, ni + 1);
    }
  }
};

bool WildcardMatch(const std::string& dosPattern, const std::string& name) {
  Matcher m(dosPattern, name);
  return m.Match(0, 0);
}

} // namespace posix_layer

using namespace posix_layer;

struct Search {
  std::vector<WIN32_FIND_DATAA> results;
  size_t next;
};

static WIN32_FIND_DATAA FindData(const std::string& hostPath, const std::string& name,
                                 const std::string& alias) {
  WIN32_FIND_DATAA data;
  memset(&data, 0, sizeof data);
  struct stat st;
  if (stat(hostPath.c_str(), &st) != 0 && lstat(hostPath.c_str(), &st) != 0)
    memset(&st, 0, sizeof st);
  data.dwFileAttributes = AttributesOf(name, st);
  // POSIX keeps no creation time that can be set; the last write stands in for it.
  data.ftCreationTime = FileTimeFromTimespec(st.st_mtim);
  data.ftLastAccessTime = FileTimeFromTimespec(st.st_atim);
  data.ftLastWriteTime = FileTimeFromTimespec(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    uint64_t size = static_cast<uint64_t>(st.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
  }
  strncpy(data.cFileName, name.c_str(), sizeof data.cFileName - 1);
  strncpy(data.cAlternateFileName, alias.c_str(), sizeof data.cAlternateFileName - 1);
  return data;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  if (InjectedFault(kFindFirstFileA)) return INVALID_HANDLE_VALUE;
  if (!data) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  Resolved r;
  if (DWORD error = ResolvePath(pattern, PathUse::kSearch, &r))
    return Fail(error, INVALID_HANDLE_VALUE);
  if (r.isRoot || r.trailingSeparator) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  bool aliases = r.drive == 'C';
  Search* search = new Search{{}, 1};
  if (!HasWildcards(r.name)) {
    // One name: a lookup, with the trailing dots and spaces Windows ignores taken off.
    std::string name = r.name;
    size_t end = name.find_last_not_of(". ");
    name.erase(end == std::string::npos ? 0 : end + 1);
    std::vector<FolderEntry> entries;
    std::string found;
    if (!name.empty() && FindInFolder(r.hostDir, name, aliases, &found) == 0) {
      std::string alias;
      if (aliases && ListFolder(r.hostDir, true, &entries) == 0)
        for (const FolderEntry& e : entries)
          if (e.name == found) alias = e.alias;
      search->results.push_back(FindData(r.hostDir + "/" + found, found, alias));
    }
  } else {
    std::vector<FolderEntry> entries;
    if (DWORD error = ListFolder(r.hostDir, aliases, &entries)) {
      delete search;
      return Fail(error, INVALID_HANDLE_VALUE);
    }
    std::string dos = DosPattern(r.name);
    if (r.winDir.size() > 2) { // a folder other than a drive root lists "." and ".." first
      if (WildcardMatch(dos, ".")) search->results.push_back(FindData(r.hostDir, ".", ""));
      if (WildcardMatch(dos, ".."))
        search->results.push_back(FindData(r.hostDir + "/..", "..", ""));
    }
    for (const FolderEntry& e : entries)
      if (WildcardMatch(dos, e.name) || (!e.alias.empty() && WildcardMatch(dos, e.alias)))
        search->results.push_back(FindData(r.hostDir + "/" + e.name, e.name, e.alias));
  }
  if (search->results.empty()) {
    delete search;
    return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  }
  *data = search->results[0];
  return NewHandle(HandleKind::kSearch, search);
}

BOOL FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data) {
  if (InjectedFault(kFindNextFileA)) return FALSE;
  Search* search = static_cast<Search*>(ObjectOf(handle, HandleKind::kSearch));
  if (!search) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!data) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (search->next >= search->results.size()) return Fail(ERROR_NO_MORE_FILES, FALSE);
  *data = search->results[search->next++];
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  if (InjectedFault(kFindClose)) return FALSE;
  Search* search = static_cast<Search*>(ObjectOf(handle, HandleKind::kSearch));
  if (!search) return Fail(ERROR_INVALID_HANDLE, FALSE);
  ReleaseHandle(handle);
  delete search;
  return TRUE;
}
