// Building payload archives that the installer installs as meant: every check on names,
// contents and the cleanup pattern, the .DCW index worked out, the entries compressed in
// parallel and written in input order, the same bytes whatever the number of threads.
#pragma once

#include "zarvo-pack/bytes.h"
#include "zarvo-pack/raw_archive.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zpack {

struct PackInput {
  std::string Name;           // the entry name, in code page 1252
  std::string Origin;         // how messages name the input (its path as given)
  std::filesystem::path Path; // read from here, unless InMemory
  bool InMemory = false;
  Bytes Content;
  uint32_t DateTime = 0;
};

struct PackSettings {
  int BlockSize = 9;
  unsigned Jobs = 1;
  // Called on the calling thread after each entry is handed on: entries done, entries in all.
  std::function<void(size_t, size_t)> Progress;
};

// The names: each one a bare file name, no two installed under one name, and (unless
// `force`) no installed file, nor zarvowin.exe or ab.ini, matched by the cleanup pattern.
std::vector<std::string> CheckNames(const std::vector<PackInput>& inputs, std::string_view pattern,
                                    bool force);
// The title string: title and pattern as CheckTitle and CheckPattern want them, 255 bytes
// at most together.
std::vector<std::string> CheckTitleString(std::string_view title, std::string_view pattern);

// Reads and checks every input's content; the problems of all of them, in input order.
std::vector<std::string> CheckContents(const std::vector<PackInput>& inputs,
                                       const PackSettings& settings);

// Reads each input again, fills in a .DCW content's positions, text lengths and installed
// size, compresses it, and hands the entries to `sink` in input order. Stops at the first
// problem (an input that changed or can't be read, or what `sink` returns) and returns it.
std::string PackEntries(const std::vector<PackInput>& inputs, const PackSettings& settings,
                        const std::function<std::string(const RawEntry&)>& sink);

// All of the above, in memory: the whole archive, or the problems in `problems`.
bool BuildArchive(std::string_view title, std::string_view pattern,
                  const std::vector<PackInput>& inputs, const PackSettings& settings, bool force,
                  Bytes& archive, std::vector<std::string>& problems);

} // namespace zpack
