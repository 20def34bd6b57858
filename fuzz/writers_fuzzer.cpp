// The two text writers over arbitrary decoded content, in a buffer of exactly its size so that
// the address sanitizer sees any read past it. What they write is checked for its shape: the
// indexed file keeps the count byte and ends with the index, the packed file is one
// well-formed record for each line.
#include "harness.h"

#include "convert/unpack_line.h"
#include "convert/writers.h"

#include <string.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

static fs::path outDir;

struct Call {
  bool Indexed;
  const uint8_t* Content;
  uint32_t Size;
};

static void Write(void* argument) {
  const Call& call = *static_cast<const Call*>(argument);
  static CheckedFile file;
  file = CheckedFile{};
  Str255 name;
  ShortAssign(name, call.Indexed ? "X.DCW" : "X.DOC");
  if (call.Indexed)
    WriteIndexedTextFile(file, name, call.Content, call.Size);
  else
    WritePackedTextFile(file, name, call.Content, call.Size);
  CheckedClose(file);
}

static std::string Installed(const char* name) {
  std::ifstream in(outDir / name, std::ios::binary);
  if (!in) fuzz::Finding("the writer returned without its file");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

static void CheckIndexed(const uint8_t* content, uint32_t size) {
  std::string file = Installed("x.dcw");
  if (size == 0) return; // no count byte to compare with
  size_t n = content[0], index = 18 * n;
  if (file.empty() || uint8_t(file[0]) != n || file.size() < 1 + index ||
      memcmp(file.data() + file.size() - index, content + 1, index) != 0)
    fuzz::Finding("the indexed file lost its count or its index");
}

static void CheckPacked(const uint8_t* content, uint32_t size) {
  std::string file = Installed("x.dcc");
  // One record for each LF, and one for a last line without its LF.
  size_t lines = 0;
  for (uint32_t i = 0; i < size; i++) lines += content[i] == '\n';
  if (size != 0 && content[size - 1] != '\n') lines++;
  size_t records = 0;
  uint8_t text[1024];
  for (size_t at = 0; at < file.size(); records++) {
    size_t length = uint8_t(file[at]);
    if (length > PackedLineMaxBytes || at + 1 + length > file.size())
      fuzz::Finding("a packed record runs past the file");
    const uint8_t* packed = reinterpret_cast<const uint8_t*>(file.data()) + at + 1;
    if (length != 0 && UnpackLine(packed, length, text, sizeof text) < 0)
      fuzz::Finding("a packed record does not decode");
    at += 1 + length;
  }
  if (records != lines) fuzz::Finding("not one packed record for each line");
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fs::path driveC = fs::path(fuzz::ScratchPrefix()) / "drive_c";
  outDir = driveC / "OUT";
  fs::create_directories(outDir);
  if (!SetCurrentDirectoryA("C:\\OUT")) fuzz::Finding("no output directory");
  fuzz::RestoreWorkingDirectory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return -1;
  // The driver hands an empty entry over as a null buffer.
  const uint8_t* content = size != 0 ? data : nullptr;
  Call indexed{true, content, uint32_t(size)};
  fuzz::RunEnd end = fuzz::RunGuarded(Write, &indexed);
  if (end.Exited) {
    // Content that breaks the indexed layout is refused before anything is written.
    if (!fuzz::IsDocumentedEnd(end)) fuzz::Finding("the indexed writer ended undocumented");
  } else {
    CheckIndexed(content, uint32_t(size));
  }

  Call packed{false, content, uint32_t(size)};
  end = fuzz::RunGuarded(Write, &packed);
  if (end.Exited) fuzz::Finding("the packed writer stopped on content it has no rule against");
  CheckPacked(content, uint32_t(size));
  return 0;
}
