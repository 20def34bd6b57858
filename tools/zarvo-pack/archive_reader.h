// Reads a payload archive's headers as the installer reads them: front to back, the name of
// each entry read and tested before the installed-size field is looked for.
#pragma once

#include "zarvo-pack/bytes.h"
#include "zarvo-pack/names.h"

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace zpack {

struct EntryHeader {
  uint64_t Offset = 0; // of the compressed size field, in the file
  uint32_t CompressedSize = 0;
  std::string Name;
  EntryKind Kind = EntryKind::Plain;
  uint32_t InstalledSize = 0; // read for .DCW names only
  uint32_t DecodedSize = 0;
  uint32_t DateTime = 0;
  uint64_t StreamOffset = 0;
};

struct ArchiveInfo {
  uint64_t Start = 0; // the payload offset
  std::string TitleString;
  std::vector<EntryHeader> Entries;
  bool Terminated = false;
  uint64_t End = 0;     // just after the terminator, or the file's end when it is cut short
  std::string CutShort; // what the installer was reading when the file ended, if it did
};

// Reads the magic, the title string and every entry header from `start` of a file of
// `fileSize` bytes, stepping over the streams. Returns why there is no archive there (no
// magic), or empty; an archive cut short is read as far as it goes and says so in CutShort.
std::string ReadArchive(std::istream& in, uint64_t fileSize, uint64_t start, ArchiveInfo& info);
// Reads an entry's stream; false when the file can't give all of it.
bool ReadStream(std::istream& in, const EntryHeader& entry, Bytes& stream);

} // namespace zpack
