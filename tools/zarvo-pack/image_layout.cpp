#include "zarvo-pack/image_layout.h"

#include "zarvo-pack/bytes.h"
#include "zarvo-pack/raw_archive.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zpack {

namespace {

struct FileView {
  std::istream& In;
  uint64_t Size;

  bool Read(uint64_t offset, void* buffer, size_t count) {
    if (offset > Size || count > Size - offset) return false;
    In.clear();
    In.seekg(std::streamoff(offset));
    In.read(static_cast<char*>(buffer), std::streamsize(count));
    return In && size_t(In.gcount()) == count;
  }
};

// Little- or big-endian fields of an ELF file.
struct Fields {
  bool BigEndian = false;
  uint64_t Get(const uint8_t* p, size_t width) const {
    uint64_t v = 0;
    for (size_t i = 0; i < width; i++) v |= uint64_t(p[BigEndian ? width - 1 - i : i]) << (8 * i);
    return v;
  }
};

ImageInfo InspectElf(FileView& file) {
  ImageInfo info;
  uint8_t h[64] = {};
  const bool wide = [&] {
    uint8_t ident[6];
    return file.Read(0, ident, 6) && ident[4] == 2;
  }();
  const size_t headerSize = wide ? 64 : 52;
  if (!file.Read(0, h, headerSize)) {
    info.Problem = "its ELF header is cut short";
    return info;
  }
  Fields f{h[5] == 2};
  const size_t word = wide ? 8 : 4;
  const uint64_t phoff = f.Get(h + (wide ? 32 : 28), word);
  const uint64_t shoff = f.Get(h + (wide ? 40 : 32), word);
  const size_t at = wide ? 52 : 40; // e_ehsize, then the table entry sizes and counts
  const uint64_t ehsize = f.Get(h + at, 2), phentsize = f.Get(h + at + 2, 2);
  uint64_t phnum = f.Get(h + at + 4, 2);
  const uint64_t shentsize = f.Get(h + at + 6, 2);
  uint64_t shnum = f.Get(h + at + 8, 2);
  uint64_t end = std::max<uint64_t>(ehsize, headerSize);
  std::vector<uint8_t> entry(std::max<uint64_t>({phentsize, shentsize, 64}));
  // Counts too large for the header stand in the first section header.
  if (shoff != 0 && shentsize >= (wide ? 64 : 40) && file.Read(shoff, entry.data(), shentsize)) {
    if (shnum == 0) shnum = f.Get(entry.data() + (wide ? 32 : 20), word);
    if (phnum == 0xFFFF) phnum = f.Get(entry.data() + (wide ? 44 : 28), 4);
  }
  if (phoff != 0 && phnum != 0) {
    end = std::max(end, phoff + phnum * phentsize);
    for (uint64_t i = 0; i < phnum && phentsize >= (wide ? 56u : 32u); i++) {
      if (!file.Read(phoff + i * phentsize, entry.data(), phentsize)) {
        info.Problem = "its program header table is cut short";
        return info;
      }
      const uint64_t offset = f.Get(entry.data() + (wide ? 8 : 4), word);
      const uint64_t filesz = f.Get(entry.data() + (wide ? 32 : 16), word);
      end = std::max(end, offset + filesz);
    }
  }
  if (shoff != 0 && shnum != 0) {
    end = std::max(end, shoff + shnum * shentsize);
    for (uint64_t i = 0; i < shnum && shentsize >= (wide ? 64u : 40u); i++) {
      if (!file.Read(shoff + i * shentsize, entry.data(), shentsize)) {
        info.Problem = "its section header table is cut short";
        return info;
      }
      const uint64_t type = f.Get(entry.data() + 4, 4);
      const uint64_t offset = f.Get(entry.data() + (wide ? 24 : 16), word);
      const uint64_t size = f.Get(entry.data() + (wide ? 32 : 20), word);
      if (type != 8) end = std::max(end, offset + size); // SHT_NOBITS has no file bytes
    }
  }
  info.Format = ImageFormat::Elf;
  info.End = end;
  return info;
}

ImageInfo InspectPe(FileView& file, uint32_t peOffset) {
  ImageInfo info;
  uint8_t coff[24];
  if (!file.Read(peOffset, coff, 24) || std::memcmp(coff, "PE\0\0", 4) != 0) {
    info.Problem = "it has an MZ header but no PE header";
    return info;
  }
  const uint32_t sections = coff[6] | coff[7] << 8;
  const uint32_t symbolTable = GetU32(coff + 12), symbols = GetU32(coff + 16);
  const uint32_t optionalSize = coff[20] | coff[21] << 8;
  std::vector<uint8_t> optional(optionalSize);
  if (!file.Read(peOffset + 24, optional.data(), optionalSize) || optionalSize < 64) {
    info.Problem = "its PE optional header is cut short";
    return info;
  }
  const uint32_t magic = optional[0] | optional[1] << 8;
  const size_t directories = magic == 0x20B ? 112 : 96; // PE32+ or PE32
  uint64_t end = GetU32(optional.data() + 60);          // SizeOfHeaders
  if (optionalSize >= directories + 4) {
    const uint32_t count = GetU32(optional.data() + directories - 4);
    const size_t security = directories + 4 * 8; // the fifth data directory
    if (count > 4 && optionalSize >= security + 8) {
      info.CertificateOffset = GetU32(optional.data() + security);
      info.CertificateSize = GetU32(optional.data() + security + 4);
    }
  }
  const uint64_t table = uint64_t(peOffset) + 24 + optionalSize;
  end = std::max(end, table + uint64_t(sections) * 40);
  for (uint32_t i = 0; i < sections; i++) {
    uint8_t s[40];
    if (!file.Read(table + i * 40, s, 40)) {
      info.Problem = "its section table is cut short";
      return info;
    }
    const uint32_t rawSize = GetU32(s + 16), rawPointer = GetU32(s + 20);
    if (rawPointer != 0 && rawSize != 0)
      end = std::max<uint64_t>(end, uint64_t(rawPointer) + rawSize);
  }
  if (symbolTable != 0) {
    // COFF symbols (18 bytes each), then the string table, which starts with its own size.
    const uint64_t strings = uint64_t(symbolTable) + uint64_t(symbols) * 18;
    uint8_t size[4];
    uint64_t stringsSize = file.Read(strings, size, 4) ? GetU32(size) : 0;
    end = std::max(end, strings + std::max<uint64_t>(stringsSize, 4));
  }
  info.Format = ImageFormat::Pe;
  info.End = end;
  return info;
}

} // namespace

const char* FormatName(ImageFormat format) {
  switch (format) {
  case ImageFormat::Elf:
    return "ELF";
  case ImageFormat::Pe:
    return "PE";
  default:
    return "unknown";
  }
}

ImageInfo InspectImage(std::istream& in, uint64_t fileSize) {
  FileView file{in, fileSize};
  uint8_t h[64] = {};
  if (file.Read(0, h, 4) && std::memcmp(h,
                                        "\x7F"
                                        "ELF",
                                        4) == 0)
    return InspectElf(file);
  if (file.Read(0, h, 64) && h[0] == 'M' && h[1] == 'Z') return InspectPe(file, GetU32(h + 60));
  ImageInfo info;
  info.Problem = "it is neither an ELF nor a PE executable";
  return info;
}

PayloadPlace LocatePayload(std::istream& in, uint64_t fileSize) {
  PayloadPlace place;
  FileView file{in, fileSize};
  uint8_t magic[4];
  if (file.Read(0, magic, 4) && GetU32(magic) == ArchiveMagic) {
    place.Offset = 0;
    return place;
  }
  place.Image = InspectImage(in, fileSize);
  if (place.Image.Format == ImageFormat::Unknown) {
    place.Problem = place.Image.Problem + " and does not start with the payload magic";
    return place;
  }
  const uint64_t end = place.Image.End;
  const std::string imageText = std::string("the ") + FormatName(place.Image.Format) +
                                " image ends at offset " + std::to_string(end);
  if (end >= fileSize) {
    place.Problem = "no payload: " + imageText + ", and nothing follows it";
    return place;
  }
  std::vector<uint8_t> chunk(65536);
  for (uint64_t at = end; at < fileSize;) {
    const size_t n = size_t(std::min<uint64_t>(chunk.size(), fileSize - at));
    if (!file.Read(at, chunk.data(), n)) {
      place.Problem = "the file could not be read at offset " + std::to_string(at);
      return place;
    }
    auto nonZero = std::find_if(chunk.begin(), chunk.begin() + n, [](uint8_t b) { return b != 0; });
    if (nonZero != chunk.begin() + n) {
      const uint64_t start = at + uint64_t(nonZero - chunk.begin());
      if (!file.Read(start, magic, 4) || GetU32(magic) != ArchiveMagic) {
        place.Problem = "no payload: " + imageText + ", and the first non-zero byte after it, at " +
                        std::to_string(start) + ", does not begin the payload magic 15 CD 5B 07";
        return place;
      }
      place.Offset = start;
      return place;
    }
    at += n;
  }
  place.Problem = "no payload: " + imageText + ", and only zero padding follows it, to offset " +
                  std::to_string(fileSize);
  return place;
}

} // namespace zpack
