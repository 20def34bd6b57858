// Message boxes, the fatal stop, the runtime error report, and the checked file, directory
// and heap operations whose failure ends the run with that report.
#pragma once

#include "platform/win32.h"
#include "util/short_string.h"

// Shows `message` in the " !!!! ERREUR - ERROR !!!!" box and ends the run with exit code 0.
[[noreturn]] void FatalStop(const Str255& message);
[[noreturn]] void FatalStopText(const char* message);
// Ends the process at once with exit code 0.
[[noreturn]] void StopProgram();
// The "Error" box built from "Runtime error     at 00000000", then exit code `number`.
[[noreturn]] void RunError(DWORD number, uintptr_t location);

// Where a failing operation was called from, for RunError: used in a function that is not
// inlined, it is the return address into that function's caller.
#define CALLER reinterpret_cast<uintptr_t>(__builtin_return_address(0))

// Runtime error numbers of the installer's own.
enum : DWORD {
  ErrorReadShort = 100,
  ErrorWriteShort = 101,
  ErrorFileNotOpen = 103,
  ErrorHeapExhausted = 203,
  ErrorHeapUnknownBlock = 204,
};

enum FileState : uint8_t { FileClosed, FileOpenRead, FileOpenReadWrite };

struct CheckedFile {
  HANDLE Handle;
  FileState State;
  Str255 Path;
};

// Each of these ends the run with the runtime error report when it fails.
void CheckedOpenRead(CheckedFile& file, const char* path);
void CheckedCreate(CheckedFile& file, const char* path);
void CheckedSeek(CheckedFile& file, DWORD offset);
void CheckedRead(CheckedFile& file, void* buffer, DWORD count);
void CheckedWrite(CheckedFile& file, const void* buffer, DWORD count);
void CheckedClose(CheckedFile& file);

// Unchecked: a failure only sets the pending I/O code, which TakePendingIoCode reads and resets.
void ChangeDirectory(const char* path);
DWORD TakePendingIoCode();

// The full path of the running installer, as GetModuleFileNameA reports it (cut at 255).
void OwnExecutablePath(Str255& path);

// The program heap. A request that can't be met ends the run with runtime error 203;
// a block the heap does not know, with 204. Size 0 gives null; releasing null does nothing.
void* HeapAllocate(DWORD size);
void* HeapResize(void* block, DWORD size);
void HeapRelease(void* block);
