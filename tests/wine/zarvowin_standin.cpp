// A stand-in for Zarvo's executable in the Wine tests: it appends its command line, as
// Windows hands it over, and a line break to the file named by ZARVO_LAUNCH_RECORD
// (zarvowin-launch.txt beside itself when that is unset), then ends. The tests pad it past
// the installer's minimum product size; the padding is never loaded.
#include <windows.h>

static DWORD Length(const char* text) {
  DWORD n = 0;
  while (text[n] != 0) ++n;
  return n;
}

extern "C" void __stdcall StandinEntry() {
  char path[MAX_PATH + 32];
  DWORD n = GetEnvironmentVariableA("ZARVO_LAUNCH_RECORD", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    while (n > 0 && path[n - 1] != '\\') --n;
    const char name[] = "zarvowin-launch.txt";
    for (DWORD i = 0; i < sizeof name; ++i) path[n + i] = name[i];
  }
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) ExitProcess(2);
  const char* line = GetCommandLineA();
  DWORD done = 0;
  BOOL ok = WriteFile(file, line, Length(line), &done, nullptr) &&
            WriteFile(file, "\n", 1, &done, nullptr);
  CloseHandle(file);
  ExitProcess(ok ? 0 : 1);
}
