#include "util/file_helpers.h"

int32_t LastFoundSize;

// The DOS date-time (local) of a last-write time, or false when a DOS date-time can't hold it.
static bool ToLocalDosDateTime(const FILETIME& utc, int32_t& age) {
  FILETIME local;
  WORD date, time;
  FileTimeToLocalFileTime(&utc, &local);
  if (!FileTimeToDosDateTime(&local, &date, &time)) return false;
  age = static_cast<int32_t>(static_cast<DWORD>(date) << 16 | time);
  return true;
}

int32_t FileAgeEx(const char* name) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(name, &data);
  if (search == INVALID_HANDLE_VALUE) return -1;
  ::FindClose(search);
  LastFoundSize = static_cast<int32_t>(data.nFileSizeLow);
  int32_t age;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  if (!ToLocalDosDateTime(data.ftLastWriteTime, age)) return -1;
  return age;
}

bool FileExists(const char* name) {
  return FileAgeEx(name) != -1;
}

static DWORD NextMatchingEntry(SearchRec& record) {
  while (record.FindData.dwFileAttributes & record.ExcludedAttributes)
    if (!FindNextFileA(record.Handle, &record.FindData)) return GetLastError();
  int32_t age = 0;
  ToLocalDosDateTime(record.FindData.ftLastWriteTime, age);
  record.Time = age;
  record.Size = record.FindData.nFileSizeLow;
  record.Attributes = record.FindData.dwFileAttributes;
  unsigned i = 0;
  for (; i < MAX_PATH - 1 && record.FindData.cFileName[i]; i++)
    record.Name[i] = record.FindData.cFileName[i];
  record.Name[i] = 0;
  return 0;
}

DWORD FindFirst(const char* pattern, DWORD requestedAttributes, SearchRec& record) {
  // Only hidden, system, volume-label and directory entries can be excluded.
  record.ExcludedAttributes = ~requestedAttributes & 0x1E;
  record.Handle = FindFirstFileA(pattern, &record.FindData);
  if (record.Handle == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD result = NextMatchingEntry(record);
  if (result != 0) FindClose(record);
  return result;
}

DWORD FindNext(SearchRec& record) {
  if (!FindNextFileA(record.Handle, &record.FindData)) return GetLastError();
  return NextMatchingEntry(record);
}

void FindClose(SearchRec& record) {
  if (record.Handle == INVALID_HANDLE_VALUE) return;
  ::FindClose(record.Handle);
  record.Handle = INVALID_HANDLE_VALUE;
}

bool DeleteFile(const char* name) {
  return DeleteFileA(name) != 0;
}

DWORD FileSetDate(HANDLE file, int32_t age) {
  FILETIME local, utc;
  DWORD packed = static_cast<DWORD>(age);
  if (!DosDateTimeToFileTime(static_cast<WORD>(packed >> 16), static_cast<WORD>(packed), &local))
    return GetLastError();
  if (!LocalFileTimeToFileTime(&local, &utc)) return GetLastError();
  if (!SetFileTime(file, nullptr, nullptr, &utc)) return GetLastError();
  return 0;
}

void ExtractFilePath(const Str255& path, Str255& directory) {
  unsigned n = path.Length;
  while (n > 0 && path.Chars[n - 1] != ':' && path.Chars[n - 1] != '\\') n--;
  ShortAssign(directory, path.Chars, n);
}

static void MapCase(const Str255& source, Str255& destination, char first, char last) {
  destination.Length = source.Length;
  for (unsigned i = 0; i < source.Length; i++) {
    char c = source.Chars[i];
    if (c >= first && c <= last) c = static_cast<char>(c ^ 0x20);
    destination.Chars[i] = c;
  }
}

void UpperCaseShort(const Str255& source, Str255& destination) {
  MapCase(source, destination, 'a', 'z');
}

void LowerCaseShort(const Str255& source, Str255& destination) {
  MapCase(source, destination, 'A', 'Z');
}
