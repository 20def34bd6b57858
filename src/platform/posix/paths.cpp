// Windows paths over a Wine-style prefix: drive X: is $WINEPREFIX/dosdevices/x:, read afresh at
// each call so that one process can move between prefixes.
#include "platform/posix/layer.h"

#include <errno.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace posix_layer {

static const size_t kMaxComponent = 255;

bool IsBadNameChar(unsigned char c) {
  return c < 0x20 || strchr("<>:\"|?*", c) != nullptr;
}

bool HasWildcards(const std::string& s) {
  return s.find_first_of("*?<>\"") != std::string::npos;
}

static bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

DWORD AttributesOf(const std::string& name, const struct stat& st) {
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes;
}

static std::string PrefixPath() {
  const char* prefix = getenv("WINEPREFIX");
  if (prefix && *prefix) return prefix;
  const char* home = getenv("HOME");
  if (!home || !*home) {
    struct passwd* pw = getpwuid(getuid());
    home = pw ? pw->pw_dir : nullptr;
  }
  return home ? std::string(home) + "/.wine" : std::string();
}

// The host folder behind a drive letter, or empty when the prefix has no such drive.
static std::string DriveRoot(char letter) {
  std::string prefix = PrefixPath();
  if (prefix.empty()) return "";
  char lower = static_cast<char>(letter | 0x20);
  std::string root = prefix + "/dosdevices/" + lower + ":";
  struct stat st;
  if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "";
  return root;
}

bool HostToWindows(const std::string& hostPath, std::string* out) {
  char real[PATH_MAX];
  if (!realpath(hostPath.c_str(), real)) return false;
  std::string path = real, prefix = PrefixPath();
  if (prefix.empty()) return false;
  size_t bestLength = 0;
  char bestLetter = 0;
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    char target[PATH_MAX];
    std::string entry = prefix + "/dosdevices/" + letter + ":";
    if (!realpath(entry.c_str(), target)) continue;
    size_t length = strlen(target);
    bool under = path.compare(0, length, target) == 0 &&
                 (path.size() == length || path[length] == '/' || length == 1);
    if (under && (bestLetter == 0 || length > bestLength)) {
      bestLength = length;
      bestLetter = letter;
    }
  }
  if (!bestLetter) return false;
  std::string rest = path.substr(bestLength);
  if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  for (char& c : rest)
    if (c == '/') c = '\\';
  *out = std::string(1, static_cast<char>(bestLetter - 0x20)) + ":\\" + rest;
  return true;
}

// ---- the current directory

// Empty until SetCurrentDirectoryA succeeds: the process's own directory is then the current one.
static std::string currentDirectory;

static std::string CurrentDirectory() {
  if (!currentDirectory.empty()) return currentDirectory;
  char cwd[PATH_MAX];
  std::string win;
  if (getcwd(cwd, sizeof cwd) && HostToWindows(cwd, &win)) return win;
  return "";
}

// ---- parsing

static void PushComponent(std::vector<std::string>* parts, std::string part, bool raw) {
  if (part == ".") return;
  if (part == "..") {
    if (!parts->empty()) parts->pop_back(); // ".." at a root stays at the root
    return;
  }
  // Windows ignores trailing dots and spaces of a name; a name of nothing else names nothing.
  if (!raw) {
    size_t end = part.find_last_not_of(". ");
    part.erase(end == std::string::npos ? 0 : end + 1);
    if (part.empty()) return;
  }
  parts->push_back(part);
}

// Splits `text` at separators into `parts`; the last piece stays raw for a search pattern.
static void Split(const std::string& text, bool rawLast, std::vector<std::string>* parts) {
  size_t i = 0;
  while (i < text.size()) {
    size_t end = i;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    if (end > i) {
      bool last = end == text.size();
      PushComponent(parts, text.substr(i, end - i), rawLast && last);
    }
    i = end + 1;
  }
}

static bool IsDriveSpec(const char* s) {
  return ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z')) && s[1] == ':';
}

DWORD ResolvePath(const char* path, PathUse use, Resolved* out) {
  *out = Resolved();
  if (!path) return ERROR_INVALID_PARAMETER;
  if (!*path) return ERROR_PATH_NOT_FOUND;
  if (strlen(path) >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  // UNC names and device paths (\\server\share, \\?\, \\.\) lead nowhere here.
  if (IsSeparator(path[0]) && IsSeparator(path[1])) return ERROR_PATH_NOT_FOUND;

  std::string cwd = CurrentDirectory();
  char cwdDrive = cwd.empty() ? 0 : cwd[0];
  std::vector<std::string> parts;
  const char* rest = path;
  char drive;
  if (IsDriveSpec(path)) {
    drive = static_cast<char>(path[0] & ~0x20);
    rest = path + 2;
    // "X:name" is relative to the current directory when that is on X:, else to X:'s root.
    if (!IsSeparator(*rest) && drive == cwdDrive) Split(cwd.substr(2), false, &parts);
  } else {
    if (!cwdDrive) return ERROR_PATH_NOT_FOUND;
    drive = cwdDrive;
    if (!IsSeparator(*rest)) Split(cwd.substr(2), false, &parts);
  }
  std::string text = rest;
  out->trailingSeparator = !text.empty() && IsSeparator(text.back());
  bool search = use == PathUse::kSearch;
  Split(text, search && !out->trailingSeparator, &parts);

  size_t length = 2;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part.size() > kMaxComponent) return ERROR_FILENAME_EXCED_RANGE;
    length += 1 + part.size();
    bool pattern = search && i + 1 == parts.size() && !out->trailingSeparator;
    for (unsigned char c : part) {
      if (pattern ? (c < 0x20 || c == ':' || c == '|') : IsBadNameChar(c))
        return ERROR_INVALID_NAME;
    }
  }
  if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;

  out->drive = drive;
  out->hostDir = DriveRoot(drive);
  if (out->hostDir.empty()) return ERROR_PATH_NOT_FOUND;
  out->winDir = std::string(1, drive) + ":";
  bool aliases = drive == 'C'; // short names exist on the system drive only
  if (parts.empty()) {
    out->isRoot = true;
    out->exists = stat(out->hostDir.c_str(), &out->st) == 0;
    return 0;
  }
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    std::string found;
    DWORD error = FindInFolder(out->hostDir, parts[i], aliases, &found);
    if (error == ERROR_FILE_NOT_FOUND) return ERROR_PATH_NOT_FOUND;
    if (error) return error;
    struct stat st;
    std::string host = out->hostDir + "/" + found;
    if (stat(host.c_str(), &st) != 0) return ERROR_PATH_NOT_FOUND;
    if (!S_ISDIR(st.st_mode)) return ERROR_DIRECTORY;
    out->hostDir = host;
    out->winDir += "\\" + found;
  }
  out->name = parts.back();
  if (search && !out->trailingSeparator) return 0;
  std::string found;
  if (FindInFolder(out->hostDir, out->name, aliases, &found) == 0) {
    out->name = found;
    out->exists = stat(out->HostPath().c_str(), &out->st) == 0;
  }
  return 0;
}

} // namespace posix_layer

using namespace posix_layer;

BOOL SetCurrentDirectoryA(LPCSTR path) {
  if (InjectedFault(kSetCurrentDirectoryA)) return FALSE;
  Resolved r;
  DWORD error = ResolvePath(path, PathUse::kOpen, &r);
  // A file on the way is a missing folder; only the last component can be "not a directory".
  if (error == ERROR_DIRECTORY) error = ERROR_PATH_NOT_FOUND;
  if (error) return Fail(error, FALSE);
  if (!r.exists) return Fail(r.isRoot ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND, FALSE);
  if (!S_ISDIR(r.st.st_mode)) return Fail(ERROR_DIRECTORY, FALSE);
  std::string win = r.WinPath();
  // The current directory keeps room for its trailing '\' and a NUL.
  if (win.size() > MAX_PATH - 2) return Fail(ERROR_FILENAME_EXCED_RANGE, FALSE);
  // The process follows too, so that programs it starts begin there.
  if (chdir(r.HostPath().c_str()) != 0) return Fail(ErrorFromErrno(errno), FALSE);
  if (!r.isRoot && win.back() == '\\') win.pop_back();
  currentDirectory = win;
  return TRUE;
}

namespace posix_layer {

DWORD OwnWindowsPath(std::string* out) {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n < 0) return ErrorFromErrno(errno);
  exe[n] = 0;
  return HostToWindows(exe, out) ? 0 : ERROR_PATH_NOT_FOUND;
}

} // namespace posix_layer

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  if (InjectedFault(kGetModuleFileNameA)) return 0;
  if (module) return Fail(126, 0u); // ERROR_MOD_NOT_FOUND: the layer knows no other module
  std::string win;
  if (DWORD error = OwnWindowsPath(&win)) return Fail(error, 0u);
  if (!buffer && size) return Fail(ERROR_INVALID_PARAMETER, 0u);
  if (win.size() < size) {
    memcpy(buffer, win.c_str(), win.size() + 1);
    return static_cast<DWORD>(win.size());
  }
  // Too small: as much as fits, still terminated, and the size itself as the count.
  if (size) {
    memcpy(buffer, win.data(), size - 1);
    buffer[size - 1] = 0;
  }
  return Fail(ERROR_INSUFFICIENT_BUFFER, size);
}
