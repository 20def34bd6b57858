// Shared internals of the POSIX implementation of the Win32 layer. Nothing outside
// src/platform/posix includes this file.
#pragma once

#include "platform/win32.h"

#include <string>
#include <sys/stat.h>
#include <vector>

namespace posix_layer {

// ---- errors.cpp
// The Win32 code for an errno value; the one place where the two meet.
DWORD ErrorFromErrno(int err);
// Sets the thread's last error and returns `value`, so failures read as one statement.
template <class T> T Fail(DWORD code, T value) {
  SetLastError(code);
  return value;
}

// ---- faults.cpp
// Every call of the layer that can be made to fail, in one list.
enum Call {
  kCreateFileA,
  kReadFile,
  kWriteFile,
  kSetFilePointer,
  kCloseHandle,
  kDeleteFileA,
  kSetCurrentDirectoryA,
  kGetModuleFileNameA,
  kFindFirstFileA,
  kFindNextFileA,
  kFindClose,
  kFileTimeToLocalFileTime,
  kLocalFileTimeToFileTime,
  kFileTimeToDosDateTime,
  kDosDateTimeToFileTime,
  kSetFileTime,
  kWinExec,
  kGetProcessHeap,
  kHeapAlloc,
  kHeapReAlloc,
  kHeapFree,
  kMessageBoxA,
  kLoadCursorA,
  kSetCursor,
  kCallCount
};
// Counts one call of `call`. When ZARVO_SETUP_FAULTS names this call's number, sets the last
// error to the injected code and returns true: the caller then returns its failure value at
// once, having done nothing.
bool InjectedFault(Call call);

// ---- transcript.cpp
// Appends one line (without its newline) to the file named by ZARVO_SETUP_LOG, if any.
void TranscriptLine(const std::string& line);
// A text as the transcript writes it: printable ASCII as is, everything else escaped.
std::string TranscriptEscape(const char* text);

// ---- names.cpp
bool NamesEqual(const std::string& a, const std::string& b);
// Case-insensitive order, ties broken by the bytes so that the order is total.
bool NameLess(const std::string& a, const std::string& b);
bool IsValidShortName(const std::string& name);
struct FolderEntry {
  std::string name;
  std::string alias; // empty when the name is already a valid 8.3 name, or off drive C:
};
// The names in a host folder ("." and ".." left out), sorted by NameLess, with the 8.3
// aliases when `withAliases`. Returns 0 or the error of opening the folder.
DWORD ListFolder(const std::string& hostDir, bool withAliases, std::vector<FolderEntry>* out);
// The on-disk name in `hostDir` that `component` names: the exact name, else a case-insensitive
// match, else (withAliases) the name whose alias it is. Returns 0, or 2 when there is none.
DWORD FindInFolder(const std::string& hostDir, const std::string& component, bool withAliases,
                   std::string* found);

// ---- paths.cpp
enum class PathUse { kOpen, kSearch };
struct Resolved {
  char drive = 0;      // upper-case drive letter
  bool isRoot = false; // the path names the drive's root itself
  bool trailingSeparator = false;
  std::string hostDir; // host folder that holds the last component
  std::string winDir;  // its Windows path, on-disk names, no trailing '\' ("C:" at root)
  std::string name;    // last component: on-disk name when it exists, else as given
  bool exists = false;
  struct stat st {};
  std::string HostPath() const { return isRoot ? hostDir : hostDir + "/" + name; }
  std::string WinPath() const { return isRoot ? winDir + "\\" : winDir + "\\" + name; }
};
// Resolves a Windows path through the drive mapping, the current directory, case and aliases.
// Returns 0 (whether or not the last component exists), 3 when a folder on the way or the
// drive is missing, 267 when the way runs through a file, 123 for a bad name, 206 when too long.
// With PathUse::kSearch the last component may hold wildcards and is not looked up.
DWORD ResolvePath(const char* path, PathUse use, Resolved* out);
// The Windows path of a host path, through the drive whose target is its longest prefix.
bool HostToWindows(const std::string& hostPath, std::string* out);
// The running program's Windows path: 0, or the error.
DWORD OwnWindowsPath(std::string* out);
// True when `c` may not appear in a file name to create or open.
bool IsBadNameChar(unsigned char c);
bool HasWildcards(const std::string& s);
// Attributes of a name and its stat data, as Windows reports them.
DWORD AttributesOf(const std::string& name, const struct stat& st);

// ---- files.cpp
struct FileObject {
  int fd;
  DWORD access;
  DWORD share;
  dev_t dev;
  ino_t ino;
};
// The open file behind a handle, or null (the error is then set to 6).
FileObject* FileFromHandle(HANDLE handle);
// True when a handle of this process on (dev, ino) refuses the given access or sharing.
bool SharingConflict(dev_t dev, ino_t ino, DWORD access, DWORD share);

// ---- handles.cpp
enum class HandleKind { kFile, kSearch };
HANDLE NewHandle(HandleKind kind, void* object);
void* ObjectOf(HANDLE handle, HandleKind kind);
void ReleaseHandle(HANDLE handle);
std::vector<void*> ObjectsOf(HandleKind kind);

// ---- times.cpp
FILETIME FileTimeFromTimespec(const struct timespec& ts);

} // namespace posix_layer
