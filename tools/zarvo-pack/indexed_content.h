// Indexed text content, the decoded content of a .DCW entry: a count byte n, n index entries
// of 18 bytes, then the sections' data. The installer copies the index into the installed
// file unchanged, so every position and length in it must already be the installed file's.
#pragma once

#include "zarvo-pack/bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zpack {

inline constexpr size_t IndexEntrySize = 18;
inline constexpr size_t TextHeaderSize = 8;
inline constexpr size_t MaxSectionName = 8;
inline constexpr uint8_t TextSectionType = 10;

struct Section {
  size_t IndexOffset = 0; // of its index entry in the content
  uint8_t Type = 0;
  std::string Name; // the name's characters (at most its 8 bytes)
  uint32_t GivenPosition = 0, GivenLength = 0;
  uint64_t Position = 0, Length = 0;   // what the installed file needs
  size_t DataOffset = 0, DataSize = 0; // in the content (text: header, length field, lines)
  size_t Lines = 0;                    // of a text section
  bool IsText() const { return Type == TextSectionType; }
  // `section 2 "INTRO" (text)`, for messages.
  std::string Describe(size_t number) const;
};

struct IndexedLayout {
  std::vector<Section> Sections;
  uint64_t InstalledSize = 0; // 1 + the sum of the lengths + 18 * n
  // What the installer would write, but not as meant; each names its section (and line).
  std::vector<std::string> Defects;
};

// Reads the content as the installer's writer does and works out the installed file's index.
// Returns why the installer can't write it as an indexed text file, or empty: the content
// lacks its count byte, the index or a section reaches past its end, a text length is over
// 2^31 - 1, or a line is one PackTextLines refuses. Defects: a name longer than 8, a text
// block whose last byte is not an LF, a line too long once packed, bytes after the last
// section, an installed file of 2 GiB or more.
std::string AnalyzeIndexedContent(const uint8_t* content, size_t size, IndexedLayout& layout);

// Writes the worked-out positions, and the lengths of the text sections, into the index.
void ApplyIndexedLayout(uint8_t* content, const IndexedLayout& layout);
// How the content's index differs from the worked-out one, one message per field.
std::vector<std::string> IndexMismatches(const IndexedLayout& layout);

// The installed indexed text file (.dcw): the count byte, each raw section unchanged, each
// text section's header followed by its packed lines, then the index as the content has it.
Bytes InstalledIndexedFile(const uint8_t* content, const IndexedLayout& layout);

} // namespace zpack
