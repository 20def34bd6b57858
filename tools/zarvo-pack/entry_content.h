// A decoded entry's content, read the way the installer's writer for its kind reads it, and
// the file that writer makes of it.
#pragma once

#include "zarvo-pack/bytes.h"
#include "zarvo-pack/indexed_content.h"
#include "zarvo-pack/names.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zpack {

inline constexpr uint64_t MaxEntrySize = 0x7FFFFFFF; // the installer counts in signed 32 bits

struct ContentCheck {
  // Why the installer's writer can't turn the content into a file as the format defines
  // it (the file would depend on bytes outside the content, or on a line the format does
  // not define); empty when it can.
  std::string Fatal;
  // What the writer would install, but not as meant: a sound archive holds none.
  std::vector<std::string> Defects;
  uint64_t InstalledSize = 0;
  IndexedLayout Layout; // of a .DCW entry
};

ContentCheck CheckContent(EntryKind kind, const uint8_t* content, size_t size);

// The installed file's bytes. Only for a content whose check found nothing fatal.
Bytes InstalledContent(EntryKind kind, const uint8_t* content, size_t size,
                       const ContentCheck& check);

} // namespace zpack
