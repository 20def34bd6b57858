#include "util/messages.h"

// The code of the last failed file operation or change of directory, 0 when none is pending.
static DWORD PendingIoCode;

static void SetPendingFromSystem() {
  DWORD code = GetLastError();
  // A failure must never read as success, whatever the system left in its error slot.
  PendingIoCode = code != 0 ? code : ERROR_ACCESS_DENIED;
}

// After every checked operation: a pending code ends the run, reported at the caller's call.
static void IoCheck(uintptr_t caller) {
  if (PendingIoCode != 0) RunError(PendingIoCode, caller);
}

static void Open(CheckedFile& file, const char* path, DWORD access, DWORD disposition,
                 FileState state) {
  ShortAssign(file.Path, path);
  file.Handle = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file.Handle == INVALID_HANDLE_VALUE)
    SetPendingFromSystem();
  else
    file.State = state;
}

__attribute__((noinline)) void CheckedOpenRead(CheckedFile& file, const char* path) {
  Open(file, path, GENERIC_READ, OPEN_EXISTING, FileOpenRead);
  IoCheck(CALLER);
}

__attribute__((noinline)) void CheckedCreate(CheckedFile& file, const char* path) {
  Open(file, path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FileOpenReadWrite);
  IoCheck(CALLER);
}

__attribute__((noinline)) void CheckedSeek(CheckedFile& file, DWORD offset) {
  if (file.State == FileClosed)
    PendingIoCode = ErrorFileNotOpen;
  else if (SetFilePointer(file.Handle, static_cast<LONG>(offset), nullptr, FILE_BEGIN) ==
           INVALID_SET_FILE_POINTER)
    SetPendingFromSystem();
  IoCheck(CALLER);
}

__attribute__((noinline)) void CheckedRead(CheckedFile& file, void* buffer, DWORD count) {
  DWORD done = 0;
  if (file.State == FileClosed)
    PendingIoCode = ErrorFileNotOpen;
  else if (!ReadFile(file.Handle, buffer, count, &done, nullptr))
    SetPendingFromSystem();
  else if (done < count)
    PendingIoCode = ErrorReadShort;
  IoCheck(CALLER);
}

__attribute__((noinline)) void CheckedWrite(CheckedFile& file, const void* buffer, DWORD count) {
  DWORD done = 0;
  if (file.State != FileOpenReadWrite)
    PendingIoCode = ErrorFileNotOpen;
  else if (!WriteFile(file.Handle, buffer, count, &done, nullptr))
    SetPendingFromSystem();
  else if (done < count)
    PendingIoCode = ErrorWriteShort;
  IoCheck(CALLER);
}

__attribute__((noinline)) void CheckedClose(CheckedFile& file) {
  if (file.State == FileClosed) {
    PendingIoCode = ErrorFileNotOpen;
  } else {
    file.State = FileClosed;
    if (!CloseHandle(file.Handle)) SetPendingFromSystem();
  }
  IoCheck(CALLER);
}

void ChangeDirectory(const char* path) {
  if (!SetCurrentDirectoryA(path)) SetPendingFromSystem();
}

DWORD TakePendingIoCode() {
  DWORD code = PendingIoCode;
  PendingIoCode = 0;
  return code;
}

void OwnExecutablePath(Str255& path) {
  char buffer[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  // Never trust a count past the buffer, whatever the system answers.
  ShortAssign(path, buffer, n > sizeof buffer ? sizeof buffer : n);
}
