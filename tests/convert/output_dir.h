// A throwaway Wine-style prefix whose drive C: holds the output directory C:\out, made the
// current directory, so that writers create their files where the test can read them back.
#pragma once

#include "test_support.h"

#include <string>
#include <vector>

namespace fs = std::filesystem;

struct OutputDir {
  // Makes the prefix, points WINEPREFIX at it and changes into C:\out.
  OutputDir();

  void Clear() const;                     // removes every file in C:\out
  std::vector<std::string> Names() const; // the host names in C:\out, sorted
  std::string Read(const std::string& name) const { return zt::ReadFile(Out / name); }

  zt::Prefix Prefix;
  fs::path Root; // the prefix
  fs::path Out;  // the host directory behind C:\out
};
