// A throwaway Wine-style prefix whose drive C: holds the output directory C:\out, made the
// current directory, so that writers create their files where the test can read them back.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

struct OutputDir {
  // Makes the prefix, points WINEPREFIX at it and changes into C:\out.
  OutputDir();
  ~OutputDir();
  OutputDir(const OutputDir&) = delete;
  OutputDir& operator=(const OutputDir&) = delete;

  void Clear() const;                     // removes every file in C:\out
  std::vector<std::string> Names() const; // the host names in C:\out, sorted
  std::string Read(const std::string& name) const;

  fs::path Root; // the prefix
  fs::path Out;  // the host directory behind C:\out
};

std::string ReadHostFile(const fs::path& path);
void WriteHostFile(const fs::path& path, const std::string& bytes);
std::string U32(uint32_t value);
