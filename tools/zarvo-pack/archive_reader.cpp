#include "zarvo-pack/archive_reader.h"

#include "zarvo-pack/raw_archive.h"

namespace zpack {

namespace {

struct Reader {
  std::istream& In;
  uint64_t FileSize;
  uint64_t Position;

  bool Read(void* buffer, size_t count) {
    if (count > FileSize - Position) return false;
    In.clear();
    In.seekg(std::streamoff(Position));
    In.read(static_cast<char*>(buffer), std::streamsize(count));
    if (!In || size_t(In.gcount()) != count) return false;
    Position += count;
    return true;
  }
  bool ReadU32(uint32_t& value) {
    uint8_t b[4];
    if (!Read(b, 4)) return false;
    value = GetU32(b);
    return true;
  }
  bool ReadShortString(std::string& text) {
    uint8_t length = 0;
    if (!Read(&length, 1)) return false;
    text.assign(length, '\0');
    return Read(text.data(), length);
  }
};

} // namespace

std::string ReadArchive(std::istream& in, uint64_t fileSize, uint64_t start, ArchiveInfo& info) {
  info = ArchiveInfo{};
  info.Start = start;
  if (start > fileSize) return "the file ends before the payload offset " + std::to_string(start);
  Reader r{in, fileSize, start};
  uint32_t magic = 0;
  if (!r.ReadU32(magic))
    return "the file ends before the payload's magic at offset " + std::to_string(start);
  if (magic != ArchiveMagic)
    return "no payload magic (15 CD 5B 07) at offset " + std::to_string(start);
  auto cut = [&](const std::string& what) {
    info.CutShort = "the archive is cut short in " + what;
    info.End = fileSize;
    return std::string();
  };
  if (!r.ReadShortString(info.TitleString)) return cut("the title string");
  for (size_t number = 1;; number++) {
    EntryHeader e;
    e.Offset = r.Position;
    const std::string which = "entry " + std::to_string(number);
    if (!r.ReadU32(e.CompressedSize)) return cut(which + "'s compressed size (or the terminator)");
    if (e.CompressedSize == 0) break;
    if (!r.ReadShortString(e.Name)) return cut(which + "'s name");
    e.Kind = KindOfName(e.Name);
    if (e.Kind == EntryKind::Indexed && !r.ReadU32(e.InstalledSize))
      return cut(which + "'s installed size");
    if (!r.ReadU32(e.DecodedSize)) return cut(which + "'s decoded size");
    if (!r.ReadU32(e.DateTime)) return cut(which + "'s date-time");
    e.StreamOffset = r.Position;
    if (e.CompressedSize > fileSize - r.Position) {
      return cut(which + "'s stream (" + std::to_string(e.CompressedSize) + " bytes, " +
                 std::to_string(fileSize - e.StreamOffset) + " left in the file)");
    }
    r.Position += e.CompressedSize;
    info.Entries.push_back(std::move(e));
  }
  info.Terminated = true;
  info.End = r.Position;
  return {};
}

bool ReadStream(std::istream& in, const EntryHeader& entry, Bytes& stream) {
  stream.resize(entry.CompressedSize);
  in.clear();
  in.seekg(std::streamoff(entry.StreamOffset));
  in.read(reinterpret_cast<char*>(stream.data()), std::streamsize(stream.size()));
  return in && size_t(in.gcount()) == stream.size();
}

} // namespace zpack
