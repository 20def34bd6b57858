#include "harness.h"

#include "platform/win32.h"
#include "util/messages.h"

#include <fcntl.h>
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

// The real functions behind the wrapped names (-Wl,--wrap=NAME turns every reference to NAME
// from another object into __wrap_NAME, and __real_NAME into NAME).
extern "C" {
[[noreturn]] void __real_ExitProcess(UINT exitCode);
LPVOID __real_HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
LPVOID __real_HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
BOOL __real_HeapFree(HANDLE heap, DWORD flags, LPVOID block);
HANDLE __real_CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL __real_CloseHandle(HANDLE object);
}

namespace fuzz {

static jmp_buf* guard;
static unsigned guardedExitCode;
static std::vector<Box> boxes;
static std::set<void*> liveBlocks;
static std::set<HANDLE> openHandles;
static std::string ownPath = "C:\\setup.exe";

void Finding(const char* what) {
  fprintf(stderr, "\n*** finding: %s\n", what);
  for (const Box& box : boxes)
    fprintf(stderr, "    box 0x%02x [%s] %s\n", box.Flags, box.Caption.c_str(), box.Text.c_str());
  abort();
}

// Opened before the first run changes directory.
static int startDirectory = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);

void RestoreWorkingDirectory() {
  if (startDirectory < 0 || fchdir(startDirectory) != 0) Finding("cannot return to the start");
}

void SetOwnExecutablePath(const std::string& windowsPath) {
  ownPath = windowsPath;
}

RunEnd RunGuarded(void (*body)(void*), void* argument) {
  boxes.clear();
  // A fresh process has no pending I/O code and the arrow cursor.
  TakePendingIoCode();
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));

  RunEnd end{};
  jmp_buf here;
  guard = &here;
  if (setjmp(here) == 0) {
    body(argument);
    end.Exited = false;
  } else {
    end.Exited = true;
    end.ExitCode = guardedExitCode;
  }
  guard = nullptr;
  RestoreWorkingDirectory();

  // What the end of the process would have released. Blocks go back through the installer's
  // own heap so that its table of live blocks is empty again.
  std::vector<void*> blocks(liveBlocks.begin(), liveBlocks.end());
  for (void* block : blocks) HeapRelease(block);
  if (!liveBlocks.empty()) Finding("a heap block outlived its release");
  for (HANDLE handle : openHandles) __real_CloseHandle(handle);
  openHandles.clear();
  TakePendingIoCode();

  end.Boxes = boxes;
  return end;
}

static bool IsRunErrorText(const std::string& text, unsigned* number) {
  // "Runtime error" and the number right-aligned in four places, " at ", eight hex digits.
  if (text.size() != 29 || text.compare(0, 13, "Runtime error") != 0) return false;
  if (text.compare(17, 4, " at ") != 0) return false;
  for (size_t i = 21; i < 29; i++)
    if (!strchr("0123456789ABCDEF", text[i])) return false;
  std::string field = text.substr(13, 4);
  size_t first = field.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  *number = 0;
  for (size_t i = first; i < 4; i++) {
    if (field[i] < '0' || field[i] > '9') return false;
    *number = *number * 10 + unsigned(field[i] - '0');
  }
  return true;
}

bool IsDocumentedEnd(const RunEnd& end) {
  if (!end.Exited || end.Boxes.empty()) return false;
  const Box& last = end.Boxes.back();
  unsigned number;
  if (last.Flags == 0 && last.Caption == "Error" && IsRunErrorText(last.Text, &number))
    return number != 0 && number == end.ExitCode;
  if (end.ExitCode != 0) return false;
  bool fatal = last.Flags == MB_ICONEXCLAMATION && last.Caption == " !!!! ERREUR - ERROR !!!!";
  bool cantFind = last.Flags == MB_ICONERROR && last.Caption == "Error";
  return fatal || cantFind;
}

static std::string scratchRoot;

static void RemoveScratch() {
  std::error_code ignored;
  fs::remove_all(scratchRoot, ignored);
}

const std::string& ScratchPrefix() {
  if (!scratchRoot.empty()) return scratchRoot;
  fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  std::string templ = (base / "zarvo-fuzz-XXXXXX").string();
  if (!mkdtemp(templ.data())) Finding("no scratch directory");
  scratchRoot = templ;
  atexit(RemoveScratch);
  fs::create_directories(scratchRoot + "/dosdevices");
  fs::create_directories(scratchRoot + "/drive_c");
  fs::create_directory_symlink("../drive_c", scratchRoot + "/dosdevices/c:");
  setenv("WINEPREFIX", scratchRoot.c_str(), 1);
  return scratchRoot;
}

} // namespace fuzz

using namespace fuzz;

extern "C" {

[[noreturn]] void __wrap_ExitProcess(UINT exitCode) {
  if (!guard) __real_ExitProcess(exitCode);
  guardedExitCode = exitCode;
  longjmp(*guard, 1);
}

// Boxes are recorded, never shown; the confirmation is always answered Yes.
int __wrap_MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  boxes.push_back({caption ? caption : "", text ? text : "", type});
  return (type & 0x0F) == MB_YESNO ? IDYES : IDOK;
}

DWORD __wrap_GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
  if (size == 0) return 0;
  DWORD n = DWORD(ownPath.size() < size ? ownPath.size() : size - 1);
  memcpy(buffer, ownPath.data(), n);
  buffer[n] = 0;
  return n;
}

// Zarvo is never started from a fuzzing process.
UINT __wrap_WinExec(LPCSTR, UINT) {
  return 33;
}

LPVOID __wrap_HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  LPVOID block = __real_HeapAlloc(heap, flags, bytes);
  if (block) liveBlocks.insert(block);
  return block;
}

LPVOID __wrap_HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes) {
  LPVOID moved = __real_HeapReAlloc(heap, flags, block, bytes);
  if (moved) {
    liveBlocks.erase(block);
    liveBlocks.insert(moved);
  }
  return moved;
}

BOOL __wrap_HeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  BOOL done = __real_HeapFree(heap, flags, block);
  if (done) liveBlocks.erase(block);
  return done;
}

HANDLE __wrap_CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile) {
  HANDLE handle =
      __real_CreateFileA(name, access, share, security, disposition, flags, templateFile);
  if (handle != INVALID_HANDLE_VALUE) openHandles.insert(handle);
  return handle;
}

BOOL __wrap_CloseHandle(HANDLE object) {
  openHandles.erase(object);
  return __real_CloseHandle(object);
}

} // extern "C"
