// Fault injection for tests: ZARVO_SETUP_FAULTS=WriteFile#3=112,CloseHandle#1=5 makes the
// third WriteFile and the first CloseHandle of the process fail with those codes.
#include "platform/posix/layer.h"

#include <atomic>
#include <mutex>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace posix_layer {

static const char* const callNames[kCallCount] = {
    "CreateFileA",
    "ReadFile",
    "WriteFile",
    "SetFilePointer",
    "CloseHandle",
    "DeleteFileA",
    "SetCurrentDirectoryA",
    "GetModuleFileNameA",
    "FindFirstFileA",
    "FindNextFileA",
    "FindClose",
    "FileTimeToLocalFileTime",
    "LocalFileTimeToFileTime",
    "FileTimeToDosDateTime",
    "DosDateTimeToFileTime",
    "SetFileTime",
    "WinExec",
    "GetProcessHeap",
    "HeapAlloc",
    "HeapReAlloc",
    "HeapFree",
    "MessageBoxA",
    "LoadCursorA",
    "SetCursor",
};

struct Fault {
  Call call;
  unsigned long number; // 1 for the first call
  DWORD code;
};

static std::vector<Fault> faults;
static std::once_flag parsed;
static std::atomic<unsigned long> callCounts[kCallCount];

static void Complain(const char* entry, size_t length) {
  static const char prefix[] = "zarvo-setup: ZARVO_SETUP_FAULTS: ignoring \"";
  if (write(2, prefix, sizeof prefix - 1) < 0) return;
  if (write(2, entry, length) < 0) return;
  if (write(2, "\"\n", 2) < 0) return;
}

// One entry: Name#N=code, N and code decimal, N at least 1.
static bool ParseEntry(const char* entry, size_t length, Fault* out) {
  const char* hash = static_cast<const char*>(memchr(entry, '#', length));
  if (!hash) return false;
  size_t nameLength = hash - entry;
  int call = -1;
  for (int i = 0; i < kCallCount; ++i)
    if (strlen(callNames[i]) == nameLength && memcmp(callNames[i], entry, nameLength) == 0)
      call = i;
  if (call < 0) return false;
  std::string rest(hash + 1, entry + length);
  size_t equals = rest.find('=');
  if (equals == std::string::npos || equals == 0 || equals + 1 == rest.size()) return false;
  std::string number = rest.substr(0, equals), code = rest.substr(equals + 1);
  if (number.find_first_not_of("0123456789") != std::string::npos) return false;
  if (code.find_first_not_of("0123456789") != std::string::npos) return false;
  if (number.size() > 9 || code.size() > 9) return false;
  out->call = static_cast<Call>(call);
  out->number = strtoul(number.c_str(), nullptr, 10);
  out->code = static_cast<DWORD>(strtoul(code.c_str(), nullptr, 10));
  return out->number > 0;
}

static void ParseFaults() {
  const char* setting = getenv("ZARVO_SETUP_FAULTS");
  if (!setting) return;
  while (*setting) {
    size_t length = strcspn(setting, ",");
    Fault fault;
    if (length > 0) {
      if (ParseEntry(setting, length, &fault))
        faults.push_back(fault);
      else
        Complain(setting, length);
    }
    setting += length;
    if (*setting == ',') ++setting;
  }
}

bool InjectedFault(Call call) {
  std::call_once(parsed, ParseFaults);
  unsigned long number = ++callCounts[call];
  for (const Fault& fault : faults) {
    if (fault.call == call && fault.number == number) {
      SetLastError(fault.code);
      return true;
    }
  }
  return false;
}

} // namespace posix_layer
