#include "zarvo-pack/code_pages.h"
#include "zarvo-pack/commands.h"
#include "zarvo-pack/dos_time.h"
#include "zarvo-pack/indexed_content.h"
#include "zarvo-pack/staged_file.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace zpack {

namespace {

const char* const ManifestName = "sections.txt";

struct SectionSource {
  size_t ManifestLine = 0;
  bool Text = false;
  uint8_t Type = TextSectionType;
  std::string Name; // code page 850
  std::filesystem::path File;
  uint32_t HeaderValue = 0;
  uint32_t HeaderDate = 0x00210000; // 1980-01-01 00:00:00
  Bytes Data;                       // raw bytes, or the text lines in code page 850
};

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

bool ReadAll(const std::filesystem::path& path, Bytes& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Text lines in UTF-8 to code page 850, line by line, so that a problem names its line.
std::string TextToDos(const Bytes& utf8, Bytes& dos) {
  std::string_view text = AsText(utf8);
  size_t lineNumber = 1;
  for (size_t start = 0; start < text.size(); lineNumber++) {
    size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    std::string converted, problem;
    if (!FromUtf8(text.substr(start, end - start), CodePage::Dos850, converted, problem))
      return "line " + std::to_string(lineNumber) + ": the line " + problem;
    PutBytes(dos, converted);
    start = end;
  }
  return {};
}

std::string ParseSection(const std::vector<std::string>& words, const std::filesystem::path& dir,
                         SectionSource& s) {
  const bool text = words[0] == "text";
  if (!text && words[0] != "raw")
    return "a section is \"text\" or \"raw\", not \"" + words[0] + "\"";
  const size_t fixed = text ? 3 : 4;
  if (words.size() < fixed || (!text && words.size() > fixed))
    return text ? "expected: text NAME FILE [value=N] [date=YYYY-MM-DDTHH:MM:SS]"
                : "expected: raw NAME TYPE FILE";
  s.Text = text;
  std::string problem;
  if (!FromUtf8(words[1], CodePage::Dos850, s.Name, problem)) return "the name " + problem;
  if (s.Name.size() > MaxSectionName)
    return "the name \"" + words[1] + "\" is longer than the 8 characters of a section name";
  if (!text) {
    char* end = nullptr;
    const unsigned long type = std::strtoul(words[2].c_str(), &end, 10);
    if (*end != '\0' || type > 255 || type == TextSectionType)
      return "the type of a raw section is a number from 0 to 255 other than 10";
    s.Type = uint8_t(type);
  }
  s.File = dir / PathFromUtf8(words[text ? 2 : 3]);
  for (size_t i = fixed; i < words.size(); i++) {
    const std::string& w = words[i];
    if (w.rfind("value=", 0) == 0) {
      char* end = nullptr;
      const unsigned long long value = std::strtoull(w.c_str() + 6, &end, 0);
      if (*end != '\0' || w.size() == 6 || value > 0xFFFFFFFFull)
        return "value= takes a 32-bit number";
      s.HeaderValue = uint32_t(value);
    } else if (w.rfind("date=", 0) == 0) {
      auto civil = ParseCivilTime(w.substr(5));
      auto dos = civil ? DosDateTimeFromCivil(*civil) : std::nullopt;
      if (!dos) return "date= takes a date-time from 1980 to 2107, as YYYY-MM-DDTHH:MM:SS";
      s.HeaderDate = *dos;
    } else {
      return "unknown setting \"" + w + "\"";
    }
  }
  return {};
}

} // namespace

int RunMakeDcw(const MakeDcwOptions& options, std::ostream& out, std::ostream& err) {
  const std::filesystem::path manifestPath = options.Directory / ManifestName;
  const std::string manifestShown = Utf8FromPath(manifestPath);
  std::ifstream manifest(manifestPath);
  if (!manifest) {
    err << "zarvo-pack: " << manifestShown << ": can't be read (make-dcw needs it)\n";
    return ExitBadInput;
  }
  std::vector<SectionSource> sections;
  std::vector<std::string> problems;
  std::string line;
  for (size_t number = 1; std::getline(manifest, line); number++) {
    const std::vector<std::string> words = Words(line);
    if (words.empty() || words[0][0] == '#') continue;
    SectionSource s;
    s.ManifestLine = number;
    const std::string where = manifestShown + ", line " + std::to_string(number) + ": ";
    if (std::string why = ParseSection(words, options.Directory, s); !why.empty()) {
      problems.push_back(where + why);
      continue;
    }
    Bytes bytes;
    if (!ReadAll(s.File, bytes)) {
      problems.push_back(Utf8FromPath(s.File) + ": can't be read");
      continue;
    }
    if (s.Text) {
      if (std::string why = TextToDos(bytes, s.Data); !why.empty())
        problems.push_back(Utf8FromPath(s.File) + ", " + why);
    } else {
      s.Data = std::move(bytes);
    }
    sections.push_back(std::move(s));
  }
  if (sections.size() > 255)
    problems.push_back(manifestShown + ": " + std::to_string(sections.size()) +
                       " sections, more than the 255 an indexed text file holds");
  if (!problems.empty()) {
    for (const std::string& p : problems) err << "zarvo-pack: " << p << "\n";
    return ExitBadInput;
  }

  Bytes content;
  content.push_back(uint8_t(sections.size()));
  for (const SectionSource& s : sections) {
    PutU32(content, 0); // the position, worked out below
    PutU32(content, s.Text ? 0 : uint32_t(s.Data.size()));
    content.push_back(s.Type);
    content.push_back(uint8_t(s.Name.size()));
    PutBytes(content, s.Name);
    content.insert(content.end(), MaxSectionName - s.Name.size(), 0);
  }
  for (const SectionSource& s : sections) {
    if (s.Text) {
      PutU32(content, s.HeaderValue);
      PutU32(content, s.HeaderDate);
      PutU32(content, uint32_t(s.Data.size()));
    }
    content.insert(content.end(), s.Data.begin(), s.Data.end());
  }
  IndexedLayout layout;
  std::string fatal = AnalyzeIndexedContent(content.data(), content.size(), layout);
  if (!fatal.empty()) problems.push_back(fatal);
  problems.insert(problems.end(), layout.Defects.begin(), layout.Defects.end());
  if (!problems.empty()) {
    for (const std::string& p : problems)
      err << "zarvo-pack: " << manifestShown << ": " << p << "\n";
    return ExitBadInput;
  }
  ApplyIndexedLayout(content.data(), layout);

  const std::string output = Utf8FromPath(options.Output);
  StagedFile file(options.Output);
  std::string problem;
  if (file.Open(problem)) {
    file.Stream().write(reinterpret_cast<const char*>(content.data()),
                        std::streamsize(content.size()));
    if (file.Finish(problem)) file.Commit(problem);
  }
  if (!problem.empty()) {
    err << "zarvo-pack: " << output << ": " << problem << "\n";
    return ExitBadInput;
  }
  out << output << ": " << sections.size() << " sections, " << content.size()
      << " bytes; installed, " << layout.InstalledSize << " bytes\n";
  return ExitOk;
}

} // namespace zpack
