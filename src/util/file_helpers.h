// Small helpers over the Win32 file functions. None of them shows a message or stops the run:
// each reports through its result and the caller decides.
#pragma once

#include "platform/win32.h"
#include "util/short_string.h"

// Low 32 bits of the size of the entry FileAgeEx found last, read as signed (0 at start).
extern int32_t LastFoundSize;

// DOS date-time (local) of the first entry matching `name`, or -1 (also for a directory,
// and for a time a DOS date-time cannot hold). Records the size in LastFoundSize.
int32_t FileAgeEx(const char* name);
bool FileExists(const char* name);

struct SearchRec {
  int32_t Time;
  uint32_t Size;
  uint32_t Attributes;
  char Name[MAX_PATH];
  uint32_t ExcludedAttributes;
  HANDLE Handle;
  WIN32_FIND_DATAA FindData;
};

// 0 when a matching entry was found, else the system error code.
DWORD FindFirst(const char* pattern, DWORD requestedAttributes, SearchRec& record);
DWORD FindNext(SearchRec& record);
void FindClose(SearchRec& record);

bool DeleteFile(const char* name);

// Sets an open file's last-write time from a DOS date-time (local); 0 or the system error.
DWORD FileSetDate(HANDLE file, int32_t age);

// The path up to and including its last ':' or '\', or empty.
void ExtractFilePath(const Str255& path, Str255& directory);

// ASCII case mappings; only 'a'..'z' / 'A'..'Z' change. Source and destination may be one.
void UpperCaseShort(const Str255& source, Str255& destination);
void LowerCaseShort(const Str255& source, Str255& destination);
