// What the fuzz targets share: the installer's ends caught inside the fuzzing process, a
// scratch prefix on tmpfs, and the release of whatever a stopped run left behind.
//
// The targets link with -Wl,--wrap for ExitProcess, MessageBoxA, GetModuleFileNameA, WinExec,
// the heap and the file handles (see CMakeLists.txt): the installer code runs unchanged, and
// only its edges to the process are caught here.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace fuzz {

struct Box {
  std::string Caption, Text;
  unsigned Flags;
};

struct RunEnd {
  bool Exited;       // the installer ended the process (ExitProcess); else the body returned
  unsigned ExitCode; // when Exited
  std::vector<Box> Boxes;
};

// Runs `body` as the installer would run in its own process: a stop or a runtime error report
// ends it through ExitProcess, which returns here instead. Heap blocks and file handles still
// held afterwards are released, so that every run starts as a fresh process would.
RunEnd RunGuarded(void (*body)(void*), void* argument);

// A Wine-style prefix in /dev/shm (else the temporary directory) with drive C: only, made
// once per process and removed at its end; WINEPREFIX points at it. Returns its host root.
const std::string& ScratchPrefix();

// The installer makes the Zarvo directory the process's current one; the fuzzer's own
// relative paths (corpus, artifacts) want the one it started in. RunGuarded calls it too.
void RestoreWorkingDirectory();

// The Windows path that GetModuleFileNameA reports for the running installer.
void SetOwnExecutablePath(const std::string& windowsPath);

// Whether a box of the last run is a documented end, and the run's exit code matches it:
// the runtime error report "Runtime error NNN at XXXXXXXX" with NNN the exit code, or a stop
// box (fatal stop, can't-find) with exit code 0.
bool IsDocumentedEnd(const RunEnd& end);

// Aborts with `what` on stderr: the fuzzer records the input as a finding.
[[noreturn]] void Finding(const char* what);

} // namespace fuzz
