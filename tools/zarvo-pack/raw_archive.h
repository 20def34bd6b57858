// The payload archive's layout, written field by field as given, without any check: for
// tests that need damaged or unusual archives. CreateInstaller builds sound ones.
//
//   magic (4) | title string (1 + L) | entries | terminator 0 (4)
//   entry: compressed size S (4) | name (1 + N) | [installed size (4), .DCW names only]
//          | decoded size (4) | DOS date-time (4) | stream (S)
#pragma once

#include "zarvo-pack/bytes.h"
#include "zarvo-pack/names.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zpack {

inline constexpr uint32_t ArchiveMagic = 123456789;

struct RawEntry {
  std::string Name; // written as a short string (cut at 255 bytes)
  // Written when present, whatever the name says; RawEntryFor sets it for .DCW names.
  std::optional<uint32_t> InstalledSize;
  uint32_t DecodedSize = 0;
  uint32_t DateTime = 0;
  Bytes Stream;
  std::optional<uint32_t> CompressedSize; // written instead of the stream's length when set
};

struct RawArchive {
  uint32_t Magic = ArchiveMagic;
  std::string TitleString; // written as a short string (cut at 255 bytes)
  std::vector<RawEntry> Entries;
  bool Terminator = true;
};

void AppendRawEntry(Bytes& out, const RawEntry& entry);
Bytes WriteRawArchive(const RawArchive& archive);

// An entry holding `content` compressed (block size 9), with the decoded size and, for a
// .DCW name, the installed size worked out from the content (0 when its layout is unsound).
// The content is taken as it is: no index field is rewritten.
RawEntry RawEntryFor(std::string name, const Bytes& content, uint32_t dateTime);

} // namespace zpack
