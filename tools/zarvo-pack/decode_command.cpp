#include "zarvo-pack/bytes.h"
#include "zarvo-pack/code_pages.h"
#include "zarvo-pack/commands.h"
#include "zarvo-pack/dos_time.h"
#include "zarvo-pack/indexed_content.h"
#include "zarvo-pack/names.h"
#include "zarvo-pack/staged_file.h"

#include "convert/unpack_line.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace zpack {

namespace {

// A packed line of 253 bytes holds at most 506 nibbles; a space run of 2 nibbles gives 16
// characters, so no line comes back longer than this.
constexpr size_t MaxUnpackedLine = 4096;

// Prints the packed line records in [at, end) as text lines; returns why they are not
// well-formed records, or empty.
std::string PrintRecords(const Bytes& file, size_t at, size_t end, std::ostream& out,
                         size_t& lines) {
  uint8_t text[MaxUnpackedLine];
  lines = 0;
  while (at < end) {
    const size_t length = file[at];
    const std::string where =
        "record " + std::to_string(lines + 1) + " at offset " + std::to_string(at) + ": ";
    if (length > end - at - 1)
      return where + "its length " + std::to_string(length) + " reaches past its end";
    long count = UnpackLine(file.data() + at + 1, length, text, sizeof text);
    if (count < 0) return where + "not a well-formed packed line";
    out << ToUtf8(std::string_view(reinterpret_cast<const char*>(text), size_t(count)),
                  CodePage::Dos850)
        << "\n";
    lines++;
    at += 1 + length;
  }
  return {};
}

std::string DecodeIndexedFile(const Bytes& file, std::ostream& out) {
  if (file.empty()) return "the file is empty";
  const size_t count = file[0];
  if (file.size() < 1 + IndexEntrySize * count) {
    return "its count says " + std::to_string(count) + " sections, but the file is too short " +
           "for their index";
  }
  const size_t indexStart = file.size() - IndexEntrySize * count;
  for (size_t i = 0; i < count; i++) {
    const uint8_t* entry = file.data() + indexStart + IndexEntrySize * i;
    const uint32_t position = GetU32(entry), length = GetU32(entry + 4);
    const uint8_t type = entry[8];
    const size_t nameLength = entry[9] < MaxSectionName ? entry[9] : MaxSectionName;
    const std::string name = ToUtf8(
        std::string_view(reinterpret_cast<const char*>(entry + 10), nameLength), CodePage::Dos850);
    std::string where = "section " + std::to_string(i + 1) + " \"" + name + "\"";
    if (position < 1 || position > indexStart || length > indexStart - position)
      return where + ": its position " + std::to_string(position) + " and length " +
             std::to_string(length) + " lie outside the file's data";
    if (type != TextSectionType) {
      out << "== " << where << ": raw, type " << unsigned(type) << ", " << length << " bytes\n";
      continue;
    }
    if (length < TextHeaderSize) return where + ": a text section shorter than its header";
    const uint8_t* header = file.data() + position;
    char head[96];
    std::snprintf(head, sizeof head, "header %08X %s", unsigned(GetU32(header)),
                  FormatDosDateTime(GetU32(header + 4)).c_str());
    std::ostringstream lines;
    size_t lineCount = 0;
    std::string problem =
        PrintRecords(file, position + TextHeaderSize, position + length, lines, lineCount);
    if (!problem.empty()) return where + ", " + problem;
    out << "== " << where << ": text, " << lineCount << (lineCount == 1 ? " line" : " lines")
        << ", " << head << "\n"
        << lines.str();
  }
  return {};
}

} // namespace

int RunDecode(const std::filesystem::path& path, std::ostream& out, std::ostream& err) {
  const std::string shown = Utf8FromPath(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    err << "zarvo-pack: " << shown << ": can't be read\n";
    return ExitBadInput;
  }
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string problem;
  if (KindOfName(Utf8FromPath(path.filename())) == EntryKind::Indexed) {
    problem = DecodeIndexedFile(file, out);
  } else {
    size_t lines = 0;
    problem = PrintRecords(file, 0, file.size(), out, lines);
  }
  if (!problem.empty()) {
    err << "zarvo-pack: " << shown << ": " << problem << "\n";
    return ExitBadInput;
  }
  return ExitOk;
}

} // namespace zpack
