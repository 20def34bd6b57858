#include "zarvo-pack/text_lines.h"

#include "convert/pack_line.h"

#include <algorithm>

namespace zpack {

std::string PackTextLines(const uint8_t* text, size_t size, bool finalLineMayLackLf, Bytes* records,
                          PackedLines& result) {
  result = PackedLines{};
  PackedLine record;
  size_t lineNumber = 0;
  for (size_t start = 0; start < size;) {
    lineNumber++;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    const uint8_t* lf = static_cast<const uint8_t*>(std::find(text + start, text + size, 0x0A));
    const size_t end = size_t(lf - text); // the LF's offset, or `size` when there is none
    size_t length = end - start;
    while (length > 0 && text[start + length - 1] == 0x0D) length--;
    const uint8_t* cr = std::find(text + start, text + start + length, 0x0D);
    if (cr != text + start + length) {
      return where + "a CR byte stands inside the line (at byte " +
             std::to_string(cr - (text + start) + 1) + "), not directly before its LF";
    }
    if (end == size && end > start + length) {
      return where + "the text ends with a CR that no LF follows";
    }
    if (length > MaxLineBytes) {
      return where + "the line is " + std::to_string(length) +
             " bytes long, more than the 255 a packed line can take";
    }
    PackLine(text + start, uint8_t(length), record);
    if (record.Length == 0 &&
        std::any_of(text + start, text + start + length, [](uint8_t b) { return b != ' '; })) {
      result.Defects.push_back(where + "its packed form is longer than the 253 bytes of a " +
                               "packed line, so Zarvo would get an empty line");
    }
    if (end == size && !finalLineMayLackLf)
      result.Defects.push_back(where + "the last line does not end with an LF");
    if (records) {
      records->push_back(record.Length);
      records->insert(records->end(), record.Bytes, record.Bytes + record.Length);
    }
    result.Size += 1 + record.Length;
    result.Lines++;
    start = end == size ? size : end + 1;
  }
  return {};
}

} // namespace zpack
