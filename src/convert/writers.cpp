#include "convert/writers.h"

#include "util/file_helpers.h"

PackedLine RecordBuffer;

enum : uint32_t { IndexEntrySize = 18, TextHeaderSize = 8, TextSectionType = 10 };

static uint32_t ReadU32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

// Index entry fields: the length at offset 4, the section type at offset 8.
static uint32_t SectionLength(const uint8_t* entry) {
  return ReadU32(entry + 4);
}
static bool IsTextSection(const uint8_t* entry) {
  return entry[8] == TextSectionType;
}

static void CreateInstalled(CheckedFile& file, const Str255& entryName, bool dccRenaming) {
  Str255 name;
  LowerCaseShort(entryName, name);
  if (dccRenaming && name.Length >= 2) name.Chars[name.Length - 2] = 'c';
  ShortText path;
  ShortToText(name, path);
  CheckedCreate(file, path.Chars);
}

void WritePackedLines(CheckedFile& file, const uint8_t* start, uint32_t length) {
  const uint8_t* end = start + length;
  while (start != end) {
    // A line's length leaves out its CR bytes and is kept in 8 bits; the builder of an
    // archive computes its index lengths by the same rule. The packer reads that many bytes
    // from the line's first, which never reaches past the line.
    const uint8_t* at = start;
    uint32_t count = 0;
    while (at != end && *at != '\n') {
      if (*at != '\r') ++count;
      ++at;
    }
    PackLine(start, uint8_t(count), RecordBuffer);
    CheckedWrite(file, &RecordBuffer, RecordBuffer.Length + 1u);
    // A last line without its LF is still a line.
    start = at == end ? end : at + 1;
  }
}

// Whether the count, the index and every section stay inside the decoded bytes. Sums are
// 64-bit: a 32-bit length read from damaged content can't wrap them.
static bool IndexedLayoutFits(const uint8_t* content, uint32_t decodedSize) {
  if (decodedSize < 1) return false;
  uint64_t sections = content[0];
  uint64_t at = 1 + IndexEntrySize * sections;
  if (at > decodedSize) return false;
  const uint8_t* entry = content + 1;
  for (uint64_t i = 0; i < sections; ++i, entry += IndexEntrySize) {
    if (IsTextSection(entry)) {
      if (at + TextHeaderSize + 4 > decodedSize) return false;
      at += TextHeaderSize + 4 + uint64_t(ReadU32(content + at + TextHeaderSize));
    } else {
      at += SectionLength(entry);
    }
    if (at > decodedSize) return false;
  }
  return true;
}

void WriteIndexedTextFile(CheckedFile& file, const Str255& entryName, const uint8_t* content,
                          uint32_t decodedSize) {
  // Checked before the file exists, so that damaged content leaves no partial file behind
  // and nothing is read outside the buffer.
  if (!IndexedLayoutFits(content, decodedSize)) FatalStopText("Format?");
  CreateInstalled(file, entryName, false);

  uint32_t sections = content[0];
  CheckedWrite(file, content, 1);
  const uint8_t* index = content + 1;
  const uint8_t* at = index + IndexEntrySize * sections;
  const uint8_t* entry = index;
  for (uint32_t i = 0; i < sections; ++i, entry += IndexEntrySize) {
    if (!IsTextSection(entry)) {
      uint32_t length = SectionLength(entry);
      CheckedWrite(file, at, length);
      at += length;
      continue;
    }
    // The text header goes out as it is; the text length field is not written.
    CheckedWrite(file, at, TextHeaderSize);
    uint32_t textLength = ReadU32(at + TextHeaderSize);
    at += TextHeaderSize + 4;
    if (textLength > 0) WritePackedLines(file, at, textLength);
    at += textLength;
  }
  CheckedWrite(file, index, IndexEntrySize * sections);
}

void WritePackedTextFile(CheckedFile& file, const Str255& entryName, const uint8_t* content,
                         uint32_t decodedSize) {
  CreateInstalled(file, entryName, true);
  if (decodedSize > 0) WritePackedLines(file, content, decodedSize);
}

void WritePlainFile(CheckedFile& file, const Str255& entryName, const uint8_t* content,
                    uint32_t decodedSize) {
  CreateInstalled(file, entryName, false);
  // An empty entry's buffer is null: there is nothing to hand to the system.
  if (decodedSize > 0) CheckedWrite(file, content, decodedSize);
}
