// Directory search with Windows' wildcard rules, matched against long names and 8.3 aliases.
#include "platform/posix/layer.h"
#include "util/wildcard.h"

#include <string.h>

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
    auto matches = [&r](const std::string& name) {
      return MatchesPattern(r.name.data(), static_cast<unsigned>(r.name.size()), name.c_str());
    };
    if (r.winDir.size() > 2) { // a folder other than a drive root lists "." and ".." first
      if (matches(".")) search->results.push_back(FindData(r.hostDir, ".", ""));
      if (matches("..")) search->results.push_back(FindData(r.hostDir + "/..", "..", ""));
    }
    for (const FolderEntry& e : entries)
      if (matches(e.name) || (!e.alias.empty() && matches(e.alias)))
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
