// Text lines as the installer's writers cut and pack them: a line is the bytes before the
// next LF, CR bytes directly before that LF left out, and each becomes one packed line
// record (PackLine).
#pragma once

#include "zarvo-pack/bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zpack {

inline constexpr size_t MaxLineBytes = 255;

struct PackedLines {
  uint64_t Size = 0; // the records' bytes: 1 + N for each line
  size_t Lines = 0;
  // Lines the installer packs, but not as their author meant: a line whose packed form is
  // too long for a record (the installer writes it as an empty line), and, where one is not
  // expected, a last line without its LF. Each names its line.
  std::vector<std::string> Defects;
};

// Packs the lines of a text block, appending the records to `records` when it is not null.
// A last line without an LF is packed as a line, like the others; it is a defect unless
// `finalLineMayLackLf`. Returns why the lines can't be packed as the installer would pack
// them ("line 12: ..."), or empty: a line over 255 bytes (its CR bytes not counted) or a CR
// anywhere but directly before the line's LF.
std::string PackTextLines(const uint8_t* text, size_t size, bool finalLineMayLackLf, Bytes* records,
                          PackedLines& result);

} // namespace zpack
