// What the zarvo-pack tests share: a scratch directory, small stubs, and runs of the tool.
#pragma once

#include "test_support.h"

#include "zarvo-pack/bytes.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pt {

namespace fs = std::filesystem;
using zpack::Bytes;

// A fresh directory, removed with everything in it when the object goes.
struct ScratchDir {
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  fs::path operator/(const std::string& name) const { return Path / name; }
  fs::path Path;
};

// The smallest ELF image (a 64-byte header, nothing else) padded with zeros to `size` bytes,
// as the build pads the real stub to its PayloadOffset.
std::string ElfStub(size_t size = 4096);

// A small PE32 image (headers and one section) padded with zeros to `size` bytes.
std::string PeStub(size_t size = 28160);
// Points the security directory of the PE image at the start of `file` to a certificate
// table, as code signing does.
void SetSecurityDirectory(std::string& file, uint32_t offset, uint32_t size);

// zarvo-pack with `args`.
zt::RunResult Pack(const std::vector<std::string>& args);

// The DOS date-time the tool gives a file last written at `unixSeconds`.
uint32_t DosOf(int64_t unixSeconds);

std::string Hex(const std::string& bytes);
std::string Str(const Bytes& bytes);
Bytes Data(const std::string& bytes);

// Whether `dir` holds anything besides the names listed (a leftover temporary file).
std::vector<std::string> Names(const fs::path& dir);

// The indexed text content of the worked example: a text section A ("le chat" and an empty
// line) and a raw section B (01 02 03), with the index positions and lengths given here.
std::string WorkedContent(uint32_t position1 = 1, uint32_t length1 = 15, uint32_t position2 = 16,
                          uint32_t length2 = 3);
// The 55-byte indexed text file the installer writes from it.
std::string WorkedInstalled(uint32_t position1 = 1, uint32_t length1 = 15, uint32_t position2 = 16,
                            uint32_t length2 = 3);

// An index entry of 18 bytes.
std::string IndexEntry(uint32_t position, uint32_t length, uint8_t type, const std::string& name);

} // namespace pt
