// Writes the fuzzers' seed corpora: a few small, well-formed inputs for each target, from which
// the fuzzer's mutations start. Usage: zarvo-fuzz-corpus <corpus directory>
#include "convert/pack_line.h"

#include <bzlib.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static fs::path root;

static void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
  fs::create_directories(root / target);
  std::ofstream out(root / target / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + (root / target / name).string());
}

static std::string U32(uint32_t v) {
  return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

static std::string Short(const std::string& s) {
  return std::string(1, char(s.size())) + s;
}

static std::string Bzip2(const std::string& data, int blockSize = 1) {
  std::vector<char> out(data.size() + data.size() / 50 + 1024);
  unsigned length = unsigned(out.size());
  if (BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(data.data()),
                               unsigned(data.size()), blockSize, 0, 0) != BZ_OK)
    throw std::runtime_error("bzip2 failed");
  return std::string(out.data(), length);
}

static std::string Packed(const std::string& line) {
  PackedLine record;
  PackLine(reinterpret_cast<const uint8_t*>(line.data()), uint8_t(line.size()), record);
  return std::string(reinterpret_cast<const char*>(&record), record.Length + 1u);
}

// The installed length of a text block's lines: one record for each.
static uint32_t PackedLength(const std::string& lines) {
  uint32_t length = 0;
  size_t start = 0;
  while (start < lines.size()) {
    size_t lf = lines.find('\n', start);
    std::string line = lines.substr(start, lf - start);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    length += uint32_t(Packed(line).size());
    start = lf + 1;
  }
  return length;
}

struct Section {
  bool Text;
  std::string Name, Header, Data; // Data: a raw section's bytes, or a text section's lines
};

// Indexed text content with every index field as an archive builder computes it.
static std::string IndexedContent(const std::vector<Section>& sections, uint32_t* installed) {
  std::string index, data;
  uint32_t position = 1;
  for (const Section& s : sections) {
    uint32_t length = s.Text ? 8 + PackedLength(s.Data) : uint32_t(s.Data.size());
    std::string name = Short(s.Name);
    name.resize(9, '\0');
    index += U32(position) + U32(length) + char(s.Text ? 10 : 12) + name;
    data += s.Text ? s.Header + U32(uint32_t(s.Data.size())) + s.Data : s.Data;
    position += length;
  }
  *installed = position + 18 * uint32_t(sections.size());
  return char(sections.size()) + index + data;
}

struct Entry {
  std::string Name, Content;
  uint32_t Installed = 0;
};

static std::string Archive(const std::string& title, const std::vector<Entry>& entries) {
  std::string a = U32(123456789) + Short(title);
  for (const Entry& e : entries) {
    std::string stream = Bzip2(e.Content);
    std::string upper = e.Name;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = char(c - 32);
    a += U32(uint32_t(stream.size())) + Short(e.Name);
    if (upper.find(".DCW") != std::string::npos) a += U32(e.Installed);
    a += U32(uint32_t(e.Content.size())) + U32(0x50CF6000) + stream;
  }
  return a + U32(0);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: zarvo-fuzz-corpus <corpus directory>\n");
    return 2;
  }
  root = argv[1];

  const std::vector<std::string> lines = {"le chat",
                                          "a   b",
                                          "~12 in",
                                          "Zoe",
                                          "se  ",
                                          std::string(20, ' ') + "x",
                                          "\x82\xE9",
                                          "~0255",
                                          "~7,x",
                                          "e ~3 s",
                                          std::string(126, 'Z') + "ee"};
  for (size_t i = 0; i < lines.size(); i++) {
    Seed("pack_line", "line" + std::to_string(i), lines[i]);
    // 0xFF: room for any text.
    Seed("unpack_line", "record" + std::to_string(i), "\xFF" + Packed(lines[i]).substr(1));
  }

  uint32_t installed;
  std::string dcw = IndexedContent({{true, "A", "HEADER01", "le chat\n\n"},
                                    {false, "B", "", "\x01\x02\x03"},
                                    {true, "C", "HEADER02", "Zoe\r\n~12 in\n"},
                                    {true, "D", "HEADER03", ""}},
                                   &installed);
  std::string doc = "le chat\r\nZoe\n\n~300 fois\n" + std::string(40, ' ') + "fin\n";
  Seed("writers", "indexed", dcw);
  Seed("writers", "indexed-empty", std::string(1, '\0'));
  Seed("writers", "lines", doc);

  Seed("decompress", "text", "\x01" + Bzip2(doc));
  Seed("decompress", "indexed", "\x00" + Bzip2(dcw));
  Seed("decompress", "empty", "\x01" + Bzip2(""));
  Seed("decompress", "runs", "\x02" + Bzip2(std::string(3000, 'a') + std::string(700, '\0'), 9));

  Seed("driver", "empty", Archive("", {}));
  Seed("driver", "three-kinds",
       Archive("Demo|*.old",
               {{"TEXTE.DCW", dcw, installed}, {"NOTES.DOC", doc}, {"readme.txt", "Bonjour\n"}}));
  Seed("driver", "empty-entry",
       Archive("T|", {{"vide.bin", ""}, {"x.doc.dcw", std::string(1, '\0'), 1}}));
  return 0;
}
