#include "zarvo-pack/raw_archive.h"

#include "zarvo-pack/bzip2_codec.h"
#include "zarvo-pack/indexed_content.h"

namespace zpack {

namespace {

void PutShortString(Bytes& out, std::string_view text) {
  const size_t length = text.size() < 255 ? text.size() : 255;
  out.push_back(uint8_t(length));
  PutBytes(out, text.substr(0, length));
}

} // namespace

void AppendRawEntry(Bytes& out, const RawEntry& entry) {
  PutU32(out, entry.CompressedSize ? *entry.CompressedSize : uint32_t(entry.Stream.size()));
  PutShortString(out, entry.Name);
  if (entry.InstalledSize) PutU32(out, *entry.InstalledSize);
  PutU32(out, entry.DecodedSize);
  PutU32(out, entry.DateTime);
  out.insert(out.end(), entry.Stream.begin(), entry.Stream.end());
}

Bytes WriteRawArchive(const RawArchive& archive) {
  Bytes out;
  PutU32(out, archive.Magic);
  PutShortString(out, archive.TitleString);
  for (const RawEntry& entry : archive.Entries) AppendRawEntry(out, entry);
  if (archive.Terminator) PutU32(out, 0);
  return out;
}

RawEntry RawEntryFor(std::string name, const Bytes& content, uint32_t dateTime) {
  RawEntry entry;
  entry.DecodedSize = uint32_t(content.size());
  entry.DateTime = dateTime;
  if (KindOfName(name) == EntryKind::Indexed) {
    IndexedLayout layout;
    bool sound = AnalyzeIndexedContent(content.data(), content.size(), layout).empty();
    entry.InstalledSize = sound ? uint32_t(layout.InstalledSize) : 0;
  }
  entry.Name = std::move(name);
  CompressStream(content.data(), content.size(), 9, entry.Stream);
  return entry;
}

} // namespace zpack
