#include "zarvo-pack/indexed_content.h"

#include "zarvo-pack/text_lines.h"

namespace zpack {

std::string Section::Describe(size_t number) const {
  std::string text = "section " + std::to_string(number) + " \"" + Name + "\" (";
  text += IsText() ? std::string("text") : "raw, type " + std::to_string(Type);
  return text + ")";
}

namespace {

std::string ByteCount(uint64_t n) {
  return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

} // namespace

std::string AnalyzeIndexedContent(const uint8_t* content, size_t size, IndexedLayout& layout) {
  layout = IndexedLayout{};
  if (size == 0) return "the content is empty; an indexed text file needs at least its count byte";
  const size_t count = content[0];
  const size_t indexEnd = 1 + IndexEntrySize * count;
  if (indexEnd > size) {
    return "the count byte says " + std::to_string(count) + " sections, whose index of " +
           ByteCount(IndexEntrySize * count) + " does not fit in the " + ByteCount(size - 1) +
           " after it";
  }
  size_t at = indexEnd;
  uint64_t position = 1;
  for (size_t i = 0; i < count; i++) {
    Section s;
    s.IndexOffset = 1 + IndexEntrySize * i;
    const uint8_t* entry = content + s.IndexOffset;
    s.GivenPosition = GetU32(entry);
    s.GivenLength = GetU32(entry + 4);
    s.Type = entry[8];
    const size_t nameLength = entry[9];
    s.Name.assign(reinterpret_cast<const char*>(entry + 10),
                  nameLength < MaxSectionName ? nameLength : MaxSectionName);
    const std::string where = s.Describe(i + 1);
    if (nameLength > MaxSectionName) {
      layout.Defects.push_back(where + ": its name's length byte is " + std::to_string(nameLength) +
                               ", more than the 8 characters a section name holds");
    }
    s.DataOffset = at;
    const size_t left = size - at;
    if (!s.IsText()) {
      if (s.GivenLength > left) {
        return where + ": its length " + std::to_string(s.GivenLength) +
               " reaches past the end of the content (" + ByteCount(left) + " left)";
      }
      s.DataSize = s.GivenLength;
      s.Length = s.GivenLength;
    } else {
      if (left < TextHeaderSize + 4) {
        return where + ": its text header and text length need 12 bytes, and only " +
               ByteCount(left) + " are left";
      }
      const uint32_t textLength = GetU32(content + at + TextHeaderSize);
      if (textLength > 0x7FFFFFFFu)
        return where + ": its text length " + std::to_string(textLength) + " is over 2^31 - 1";
      if (textLength > left - TextHeaderSize - 4) {
        return where + ": its text length " + std::to_string(textLength) +
               " reaches past the end of the content (" + ByteCount(left - TextHeaderSize - 4) +
               " left)";
      }
      const uint8_t* lines = content + at + TextHeaderSize + 4;
      PackedLines packed;
      std::string problem = PackTextLines(lines, textLength, false, nullptr, packed);
      if (!problem.empty()) return where + ", " + problem;
      for (const std::string& defect : packed.Defects)
        layout.Defects.push_back(where + ", " + defect);
      s.DataSize = TextHeaderSize + 4 + textLength;
      s.Length = TextHeaderSize + packed.Size;
      s.Lines = packed.Lines;
    }
    at += s.DataSize;
    s.Position = position;
    position += s.Length;
    layout.Sections.push_back(std::move(s));
  }
  if (at < size) {
    layout.Defects.push_back(ByteCount(size - at) +
                             " follow the last section; the installer would not install them");
  }
  layout.InstalledSize = position + IndexEntrySize * count;
  if (layout.InstalledSize >= 0x80000000u) {
    layout.Defects.push_back("the installed file would be " + ByteCount(layout.InstalledSize) +
                             " long, 2 GiB or more");
  }
  return {};
}

void ApplyIndexedLayout(uint8_t* content, const IndexedLayout& layout) {
  for (const Section& s : layout.Sections) {
    SetU32(content + s.IndexOffset, uint32_t(s.Position));
    if (s.IsText()) SetU32(content + s.IndexOffset + 4, uint32_t(s.Length));
  }
}

std::vector<std::string> IndexMismatches(const IndexedLayout& layout) {
  std::vector<std::string> mismatches;
  for (size_t i = 0; i < layout.Sections.size(); i++) {
    const Section& s = layout.Sections[i];
    if (s.GivenPosition != s.Position) {
      mismatches.push_back(s.Describe(i + 1) + ": its index gives the position " +
                           std::to_string(s.GivenPosition) + ", but its data starts at " +
                           std::to_string(s.Position) + " in the installed file");
    }
    if (s.GivenLength != s.Length) {
      mismatches.push_back(s.Describe(i + 1) + ": its index gives the length " +
                           std::to_string(s.GivenLength) + ", but its data takes " +
                           std::to_string(s.Length) + " bytes in the installed file");
    }
  }
  return mismatches;
}

Bytes InstalledIndexedFile(const uint8_t* content, const IndexedLayout& layout) {
  Bytes out;
  out.reserve(size_t(layout.InstalledSize));
  out.push_back(content[0]);
  for (const Section& s : layout.Sections) {
    const uint8_t* data = content + s.DataOffset;
    if (!s.IsText()) {
      out.insert(out.end(), data, data + s.DataSize);
      continue;
    }
    out.insert(out.end(), data, data + TextHeaderSize);
    PackedLines packed;
    PackTextLines(data + TextHeaderSize + 4, s.DataSize - TextHeaderSize - 4, false, &out, packed);
  }
  const size_t indexSize = IndexEntrySize * layout.Sections.size();
  out.insert(out.end(), content + 1, content + 1 + indexSize);
  return out;
}

} // namespace zpack
