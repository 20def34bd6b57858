// Writes the benchmark's content: the files of a realistic payload, with the exact list of
// writes the installer makes for each, and a second set of equal large entries for timing
// zarvo-pack's threads. The same scale gives the same bytes on every machine.
//
//   bench-make-payload [--scale S] OUTDIR
//     OUTDIR/content/   LIVRE.DOC, ENCYCLO.DCW, DICO.DAT, AIDE.TXT, LISEZMOI.TXT, ZARVO.INI
//     OUTDIR/parallel/  TOME1.DOC ... TOME4.DOC
//     OUTDIR/plan.bin   per entry of content/: its name and the size of every write(2)
#include "convert/pack_line.h"
#include "french_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using bench::FrenchText;
using bench::Random;

namespace {

struct Entry {
  std::string Name;
  std::string Content;
  std::vector<uint32_t> Writes; // what the installer hands to write(2), in order
};

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; i++) out += char(v >> (8 * i));
}

// The size of each record the installer writes for the lines of `text` (LF ended, CRs
// before the LF left out of a line's length).
void PlanLines(const std::string& text, std::vector<uint32_t>& writes) {
  PackedLine record;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    size_t end = lf == std::string::npos ? text.size() : lf;
    size_t count = end - start;
    if (count > 0 && text[end - 1] == '\r') --count;
    PackLine(reinterpret_cast<const uint8_t*>(text.data() + start), uint8_t(count), record);
    writes.push_back(record.Length + 1u);
    start = end + 1;
  }
}

Entry DocEntry(const std::string& name, size_t bytes, uint64_t seed) {
  Entry e{name, {}, {}};
  e.Content.reserve(bytes + 100);
  FrenchText(seed).AppendLines(e.Content, bytes, "\r\n");
  PlanLines(e.Content, e.Writes);
  return e;
}

// A binary table such as Zarvo's word lists: fixed records of a word and a few numbers.
std::string WordTable(size_t bytes, uint64_t seed) {
  FrenchText text(seed);
  std::string out;
  out.reserve(bytes + 64);
  uint32_t offset = 0;
  while (out.size() < bytes) {
    std::string line = text.NextLine();
    std::string word = line.substr(0, line.find(' ')).substr(0, 23);
    std::string record(32, '\0');
    record.replace(0, word.size(), word);
    offset += uint32_t(line.size()) + 2;
    for (int i = 0; i < 4; i++) record[24 + i] = char(offset >> (8 * i));
    record[28] = char(text.Rng().Below(16));
    record[29] = char(word.size());
    out += record;
  }
  out.resize(bytes);
  return out;
}

// Indexed text content of `sections` sections, most of them text, every ninth a raw table.
Entry DcwEntry(const std::string& name, unsigned sections, size_t textBytes, uint64_t seed) {
  Entry e{name, {}, {}};
  std::string index, data;
  uint32_t position = 1;
  e.Writes.push_back(1);
  FrenchText text(seed);
  for (unsigned s = 0; s < sections; s++) {
    bool raw = s % 9 == 8;
    uint32_t length;
    if (raw) {
      std::string table = WordTable(4096 + text.Rng().Below(16384), seed + s);
      length = uint32_t(table.size());
      data += table;
      e.Writes.push_back(length);
    } else {
      std::string lines;
      text.AppendLines(lines, textBytes / 2 + text.Rng().Below(unsigned(textBytes)), "\r\n");
      PutU32(data, 1000 + s);        // Zarvo's value
      PutU32(data, 0x58210000u + s); // a DOS date-time in 2024
      PutU32(data, uint32_t(lines.size()));
      data += lines;
      e.Writes.push_back(8);
      size_t first = e.Writes.size();
      PlanLines(lines, e.Writes);
      length = 8;
      for (size_t w = first; w < e.Writes.size(); w++) length += e.Writes[w];
    }
    PutU32(index, position);
    PutU32(index, length);
    index += char(raw ? 12 : 10);
    char entryName[9] = {};
    int n = std::snprintf(entryName + 1, 8, raw ? "TAB%04u" : "ART%04u", s);
    entryName[0] = char(n);
    index.append(entryName, 9);
    position += length;
  }
  e.Writes.push_back(uint32_t(index.size()));
  e.Content = char(sections) + index + data;
  return e;
}

Entry PlainEntry(const std::string& name, std::string content) {
  Entry e{name, std::move(content), {}};
  if (!e.Content.empty()) e.Writes.push_back(uint32_t(e.Content.size()));
  return e;
}

std::string Prose(size_t bytes, uint64_t seed) {
  std::string out;
  FrenchText(seed).AppendLines(out, bytes, "\r\n");
  return out;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "bench-make-payload: can't write %s\n", path.c_str());
    std::exit(1);
  }
}

size_t Scaled(double scale, double megabytes) {
  return size_t(scale * megabytes * 1024 * 1024);
}

} // namespace

int main(int argc, char** argv) {
  double scale = 1;
  const char* outDir = nullptr;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc)
      scale = std::atof(argv[++i]);
    else if (argv[i][0] != '-' && !outDir)
      outDir = argv[i];
    else
      outDir = nullptr, i = argc;
  }
  if (!outDir || !(scale > 0 && scale <= 20)) {
    std::fprintf(stderr, "Usage: bench-make-payload [--scale S (0 to 20, default 1)] OUTDIR\n");
    return 2;
  }
  fs::path root(outDir);
  fs::create_directories(root / "content");
  fs::create_directories(root / "parallel");

  // About 49 MB decoded at scale 1: one large packed text, an indexed text of 240 sections,
  // and plain files from a kilobyte to several megabytes.
  std::vector<Entry> entries;
  entries.push_back(DocEntry("LIVRE.DOC", Scaled(scale, 30), 1));
  entries.push_back(DcwEntry("ENCYCLO.DCW", 240, Scaled(scale, 12) / 240, 2));
  entries.push_back(PlainEntry("DICO.DAT", WordTable(Scaled(scale, 6), 3)));
  entries.push_back(PlainEntry("AIDE.TXT", Prose(Scaled(scale, 1), 4)));
  entries.push_back(PlainEntry("LISEZMOI.TXT", Prose(16 * 1024, 5)));
  entries.push_back(PlainEntry("ZARVO.INI", "[Zarvo]\r\nContenu=encyclo\r\nVersion=4.2\r\n"
                                            "Index=1\r\nLangue=FR\r\n"));
  std::string plan;
  size_t decoded = 0;
  for (const Entry& e : entries) {
    WriteFile(root / "content" / e.Name, e.Content);
    plan += char(e.Name.size()) + e.Name;
    PutU32(plan, uint32_t(e.Writes.size()));
    for (uint32_t w : e.Writes) PutU32(plan, w);
    decoded += e.Content.size();
  }
  WriteFile(root / "plan.bin", plan);

  for (unsigned t = 1; t <= 4; t++)
    WriteFile(root / "parallel" / ("TOME" + std::to_string(t) + ".DOC"),
              Prose(Scaled(scale, 6), 10 + t));
  std::printf("%zu bytes of content in %zu entries\n", decoded, entries.size());
  return 0;
}
