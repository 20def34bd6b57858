// Helpers for tests that run against the POSIX layer: a throwaway prefix with drives, host
// files, child processes with stdin and environment, and the ZARVO_SETUP_LOG transcript.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zt {

namespace fs = std::filesystem;

// A Wine-style prefix in a fresh temporary directory: dosdevices/c: -> drive_c and
// dosdevices/z: -> /. Removed again when the object goes.
struct Prefix {
  Prefix();
  ~Prefix();
  Prefix(const Prefix&) = delete;
  Prefix& operator=(const Prefix&) = delete;

  // The host directory behind drive `letter`, made on first use (a folder beside drive_c).
  fs::path Drive(char letter);
  // Host path of a Windows path on a mapped drive, such as "C:\\ZARVO\\ab.ini".
  fs::path Host(const std::string& windowsPath);
  // Sets WINEPREFIX of this process to the prefix.
  void Activate() const;

  fs::path Root;
};

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& bytes);
// A file of exactly `size` bytes (sparse; contents zero).
void WriteSizedFile(const fs::path& path, uint64_t size);
// Sets a file's last-write time, given in seconds since 1970 UTC.
void SetModified(const fs::path& path, int64_t unixSeconds);
int64_t Modified(const fs::path& path);
// A fake Zarvo: ab.ini and a zarvowin.exe of `exeSize` bytes.
void MakeFakeZarvo(const fs::path& dir, uint64_t exeSize = 900000);

struct RunResult {
  int ExitCode = -1; // or 128 + signal number
  std::string Stdout, Stderr;
};
// Runs `argv` with `env` added to this process's environment (NAME=VALUE), feeding `input`
// on stdin, in directory `cwd` (empty: the current one). Gives up after `timeoutSeconds`.
RunResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
              const std::string& input = "", const fs::path& cwd = {}, int timeoutSeconds = 60);

// The transcript's lines, without their line ends.
std::vector<std::string> ReadLines(const fs::path& path);

// A program of the build: in $ZARVO_BIN when set, else in the build's bin/.
fs::path BinPath(const std::string& program);
// A file of the source tree: under $ZARVO_SOURCE when set, else the tree this was built from.
fs::path SourcePath(const std::string& relative);

// 32-bit little-endian bytes.
std::string U32(uint32_t value);

} // namespace zt
