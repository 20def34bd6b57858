#include "zarvo-pack/entry_content.h"

#include "zarvo-pack/text_lines.h"

namespace zpack {

ContentCheck CheckContent(EntryKind kind, const uint8_t* content, size_t size) {
  ContentCheck check;
  if (size > MaxEntrySize) {
    check.Fatal = "the content is " + std::to_string(size) +
                  " bytes long, 2 GiB or more, past what the installer can decode";
    return check;
  }
  switch (kind) {
  case EntryKind::Indexed:
    check.Fatal = AnalyzeIndexedContent(content, size, check.Layout);
    check.Defects = check.Layout.Defects;
    check.InstalledSize = check.Layout.InstalledSize;
    break;
  case EntryKind::Packed: {
    // A last line without its LF is packed as a line: the author meant it as one.
    PackedLines packed;
    check.Fatal = PackTextLines(content, size, true, nullptr, packed);
    check.Defects = packed.Defects;
    check.InstalledSize = packed.Size;
    break;
  }
  case EntryKind::Plain:
    check.InstalledSize = size;
    break;
  }
  return check;
}

Bytes InstalledContent(EntryKind kind, const uint8_t* content, size_t size,
                       const ContentCheck& check) {
  switch (kind) {
  case EntryKind::Indexed:
    return InstalledIndexedFile(content, check.Layout);
  case EntryKind::Packed: {
    Bytes records;
    records.reserve(size_t(check.InstalledSize));
    PackedLines packed;
    PackTextLines(content, size, true, &records, packed);
    return records;
  }
  default:
    return Bytes(content, content + size);
  }
}

} // namespace zpack
