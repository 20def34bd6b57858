#include "convert/writers.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "output_dir.h"

extern char** environ;

namespace {

// ---- Building content

const std::string Header = "\x11\x22\x33\x44\x55\x66\x77\x88"; // Zarvo's own, copied unread

struct Section {
  uint8_t type;
  std::string data;         // as it stands in the content
  int64_t lengthField = -1; // the index entry's length; -1: the data's size
};

Section Raw(const std::string& bytes, uint8_t type = 12) {
  return {type, bytes};
}
// A text section: the header, the text length, the lines.
Section Text(const std::string& lines) {
  return {10, Header + zt::U32(uint32_t(lines.size())) + lines};
}

std::string IndexEntry(uint32_t position, uint32_t length, uint8_t type, char name) {
  return zt::U32(position) + zt::U32(length) + char(type) + '\x01' + name + std::string(7, '\xEE');
}

std::string Index(const std::vector<Section>& sections) {
  std::string index;
  uint32_t position = 1;
  char name = 'A';
  for (const Section& s : sections) {
    uint32_t length = s.lengthField < 0 ? uint32_t(s.data.size()) : uint32_t(s.lengthField);
    index += IndexEntry(position, length, s.type, name++);
    position += length;
  }
  return index;
}

std::string Indexed(const std::vector<Section>& sections) {
  std::string content(1, char(sections.size()));
  content += Index(sections);
  for (const Section& s : sections) content += s.data;
  return content;
}

// The content without its last `n` bytes.
std::string Cut(const std::string& content, size_t n) {
  return content.substr(0, content.size() - n);
}

const uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

Str255 Name(const char* text) {
  Str255 name;
  ShortAssign(name, text);
  return name;
}

// ---- The tests' prefix

class Writers : public testing::Test {
protected:
  static void SetUpTestSuite() { dir_ = new OutputDir; }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override { dir_->Clear(); }

  enum Kind { IndexedFile, PackedFile, PlainFile };
  static void Write(Kind kind, const char* name, const std::string& content) {
    CheckedFile file{};
    const uint8_t* data = content.empty() ? nullptr : Bytes(content);
    if (kind == IndexedFile) WriteIndexedTextFile(file, Name(name), data, uint32_t(content.size()));
    if (kind == PackedFile) WritePackedTextFile(file, Name(name), data, uint32_t(content.size()));
    if (kind == PlainFile) WritePlainFile(file, Name(name), data, uint32_t(content.size()));
    CheckedClose(file);
  }
  // Writes the entry and returns the one file it made, which must be `installed`.
  static std::string Install(Kind kind, const char* name, const std::string& content,
                             const std::string& installed) {
    dir_->Clear();
    Write(kind, name, content);
    EXPECT_EQ(dir_->Names(), std::vector<std::string>{installed}) << name;
    return dir_->Read(installed);
  }

  static OutputDir* dir_;
};
OutputDir* Writers::dir_ = nullptr;

// ---- Indexed text files

std::string HexBytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += char(b);
  return out;
}

TEST_F(Writers, WorkedExampleGivesThe55ByteFile) {
  const std::string filler(7, '\xEE');
  const std::string index = HexBytes({0x01, 0, 0, 0, 0x0F, 0, 0, 0, 0x0A, 0x01, 'A'}) + filler +
                            HexBytes({0x10, 0, 0, 0, 0x03, 0, 0, 0, 0x0C, 0x01, 'B'}) + filler;
  const std::string content = HexBytes({0x02}) + index + Header + HexBytes({0x09, 0, 0, 0}) +
                              "le chat\n\n" + HexBytes({0x01, 0x02, 0x03});
  const std::string expected = HexBytes({0x02}) + Header +
                               HexBytes({0x05, 0x91, 0x0F, 0x1F, 0x94, 0x60, 0x00}) +
                               HexBytes({0x01, 0x02, 0x03}) + index;
  ASSERT_EQ(index.size(), 36u);
  ASSERT_EQ(expected.size(), 55u);
  EXPECT_EQ(Install(IndexedFile, "ABC.DCW", content, "abc.dcw"), expected);
}

struct IndexedCase {
  const char* what;
  std::vector<Section> sections;
  std::string body;       // the installed sections, between the count byte and the index
  std::string extra = ""; // bytes after the last section in the content
};

TEST_F(Writers, IndexedTextFilesPackTextAndCopyTheRest) {
  const std::string nul(1, '\0');
  const IndexedCase cases[] = {
      {"no sections", {}, ""},
      {"text length 0: the header alone", {Text("")}, Header},
      {"LF lines", {Text("le chat\nZoe\n")}, Header + "\x05\x91\x0F\x1F\x94\x60\x03\xFF\x5A\xA1"},
      {"CR LF lines pack like LF lines",
       {Text("le chat\r\nZoe\r\n")},
       Header + "\x05\x91\x0F\x1F\x94\x60\x03\xFF\x5A\xA1"},
      {"empty line, spaces only, CR alone", {Text("\n   \n\r\n")}, Header + nul + nul + nul},
      {"several CRs before the LF", {Text("se\r\r\n")}, Header + "\x01\x21"},
      {"raw section type 12 is copied", {Raw("\x01\x02\x03")}, "\x01\x02\x03"},
      {"any type but 10 is raw", {Raw("le chat\n", 0), Raw("x\n", 0xFF)}, "le chat\nx\n"},
      {"empty raw section", {Raw(""), Raw("\x07")}, "\x07"},
      {"a wrong length field is not used, only copied",
       {{10, Header + zt::U32(3) + "le\n", 999}, Raw("\x09")},
       Header + "\x01\x91" + "\x09"},
      {"a last line without its LF is packed",
       {Text("le\nchat"), Raw("\x42")},
       Header + "\x01\x91" + "\x03\xF1\xF9\x46" + "\x42"},
      // Outside the limits: CRs anywhere leave the count and the length is kept in 8 bits;
      // the packer takes that many bytes from the line's first.
      {"a CR inside a line is packed, and the line loses as many bytes at its end",
       {Text("a\rb\n")},
       Header + "\x03\x4F\xF0\xD0"},
      {"a line of 300 bytes is packed from its first 44",
       {Text(std::string(300, 'e') + "\n")},
       Header + "\x16" + std::string(22, '\x11')},
      {"bytes after the last section are not read", {Raw("\x01")}, "\x01", "trailing"},
  };
  for (const IndexedCase& c : cases) {
    std::string content = Indexed(c.sections) + c.extra;
    std::string expected = std::string(1, char(c.sections.size())) + c.body + Index(c.sections);
    EXPECT_EQ(Install(IndexedFile, "ABC.DCW", content, "abc.dcw"), expected) << c.what;
  }
}

TEST_F(Writers, CountZeroGivesTheOneByteFile) {
  EXPECT_EQ(Install(IndexedFile, "EMPTY.DCW", std::string(1, '\0'), "empty.dcw"),
            std::string(1, '\0'));
  // The count alone decides: what follows it is not read.
  EXPECT_EQ(Install(IndexedFile, "EMPTY.DCW", std::string(1, '\0') + "junk", "empty.dcw"),
            std::string(1, '\0'));
}

// ---- Packed text files and plain files

TEST_F(Writers, PackedTextFilesHoldOneRecordPerLine) {
  const struct {
    const char* what;
    std::string content;
    std::string installed;
  } cases[] = {
      {"empty content", "", ""},
      {"one line", "le chat\n", "\x05\x91\x0F\x1F\x94\x60"},
      {"an empty line", "\n", std::string(1, '\0')},
      {"CR LF", "Zoe\r\n\r\n", std::string("\x03\xFF\x5A\xA1\x00", 5)},
      {"a last line without its LF", "le\nse", "\x01\x91\x01\x21"},
      {"spaces only, then a line", "    \nse\n", std::string("\x00\x01\x21", 3)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Install(PackedFile, "ABC.DOC", c.content, "abc.dcc"), c.installed) << c.what;
}

TEST_F(Writers, KLinesGiveKRecords) {
  for (size_t k : {1u, 2u, 17u, 300u}) {
    std::string content;
    for (size_t i = 0; i < k; ++i) content += (i % 3 == 0 ? "\n" : i % 3 == 1 ? "le\n" : "Zoe\n");
    std::string file = Install(PackedFile, "LINES.DOC", content, "lines.dcc");
    size_t records = 0;
    for (size_t at = 0; at < file.size(); at += 1 + uint8_t(file[at])) ++records;
    EXPECT_EQ(records, k);
  }
}

TEST_F(Writers, PlainFilesAreCopiedUnchanged) {
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes += char(i * 7);
  EXPECT_EQ(Install(PlainFile, "DATA.BIN", bytes, "data.bin"), bytes);
  EXPECT_EQ(Install(PlainFile, "EMPTY.BIN", "", "empty.bin"), "");
}

TEST_F(Writers, InstalledNames) {
  const std::string text = Indexed({Text("le\n")});
  const struct {
    Kind kind;
    const char* name;
    const char* installed;
  } cases[] = {
      {IndexedFile, "ABC.DCW", "abc.dcw"},
      {PackedFile, "ABC.DOC", "abc.dcc"},
      {PlainFile, "Readme.TXT", "readme.txt"},
      {IndexedFile, "X.DOC.DCW", "x.doc.dcw"}, // the .dcc renaming is the packed writer's alone
      {PackedFile, "a.doc.bak", "a.doc.bck"},
      {PackedFile, "notes.docs", "notes.docs"},
      {PlainFile, "\xC9T\xC9.DAT", "\xC9t\xC9.dat"}, // only A to Z change case
  };
  for (const auto& c : cases)
    Install(c.kind, c.name, c.kind == IndexedFile ? text : "le\n", c.installed);
}

TEST_F(Writers, AnExistingFileIsReplaced) {
  zt::WriteFile(dir_->Out / "abc.dcc", std::string(5000, 'x'));
  EXPECT_EQ(Install(PackedFile, "ABC.DOC", "le\n", "abc.dcc"), "\x01\x91");
}

// ---- Content that breaks the indexed layout

using WritersDeathTest = Writers;

TEST_F(WritersDeathTest, BrokenLayoutStopsBeforeTheFileExists) {
  const std::string text = Text("le chat\n").data;
  auto withCount = [](uint8_t count, const std::string& rest) { return char(count) + rest; };
  const struct {
    const char* what;
    std::string content;
  } cases[] = {
      {"empty content", ""},
      {"index cut short", withCount(2, IndexEntry(1, 3, 12, 'A'))},
      {"raw section past the end", Cut(Indexed({Raw("abc")}), 1)},
      {"raw length far past the end", withCount(1, IndexEntry(1, 0xFFFFFFF0, 12, 'A') + "ab")},
      {"text header cut short", withCount(1, IndexEntry(1, 0, 10, 'A') + "\x11\x22\x33")},
      {"text length field cut short", withCount(1, IndexEntry(1, 0, 10, 'A') + Header + "\x01")},
      {"text past the end", withCount(1, IndexEntry(1, 0, 10, 'A') + Header + zt::U32(9) + "le\n")},
      {"text length near 2^32", withCount(1, IndexEntry(1, 0, 10, 'A') + Header + zt::U32(0xFFFFFFFF))},
      {"a later section past the end", Cut(Indexed({Text("le\n"), Raw("xyz")}), 1)},
      {"count 255 with one entry", withCount(255, IndexEntry(1, 0, 12, 'A'))},
  };
  char log[] = "/tmp/zarvo-writers-log-XXXXXX";
  int fd = mkstemp(log);
  ASSERT_GE(fd, 0);
  close(fd);
  setenv("ZARVO_SETUP_LOG", log, 1);
  for (const auto& c : cases) {
    dir_->Clear();
    CheckedFile file{};
    const uint8_t* data = c.content.empty() ? nullptr : Bytes(c.content);
    EXPECT_EXIT(WriteIndexedTextFile(file, Name("ABC.DCW"), data, uint32_t(c.content.size())),
                testing::ExitedWithCode(0), "")
        << c.what;
    EXPECT_TRUE(dir_->Names().empty()) << c.what;
  }
  unsetenv("ZARVO_SETUP_LOG");
  std::vector<std::string> stops;
  std::string transcript = zt::ReadFile(log);
  unlink(log);
  for (size_t at = 0; (at = transcript.find("box\t", at)) != std::string::npos; ++at)
    stops.push_back(transcript.substr(at, transcript.find('\n', at) - at));
  ASSERT_EQ(stops.size(), std::size(cases));
  for (const std::string& stop : stops)
    EXPECT_EQ(stop, "box\t0x30\t !!!! ERREUR - ERROR !!!!\tFormat?\t1");
}

// ---- One system write per piece

// Runs write_probe with the Nth WriteFile failing with code 112 (disk full).
int RunProbe(const char* kind, const char* name, const fs::path& content, int failingWrite) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "ZARVO_SETUP_FAULTS=", 19) != 0) env.push_back(*e);
  env.push_back("ZARVO_SETUP_FAULTS=WriteFile#" + std::to_string(failingWrite) + "=112");
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string contentPath = content.string();
  std::vector<char*> argv = {const_cast<char*>(WRITE_PROBE), const_cast<char*>(kind),
                             const_cast<char*>(name), contentPath.data(), nullptr};
  // The probe's boxes go to its stderr; the transcript is not needed here.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int spawned = posix_spawn(&pid, WRITE_PROBE, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST_F(Writers, EachPieceIsOneWriteInFileOrder) {
  const struct {
    const char* what;
    const char* kind;
    const char* name;
    const char* installed;
    std::string content;
    std::vector<size_t> pieces; // sizes of the writes, in order
  } cases[] = {
      {"indexed",
       "indexed",
       "ABC.DCW",
       "abc.dcw",
       Indexed({Text("le chat\n\n"), Raw("\x01\x02\x03")}),
       {1, 8, 6, 1, 3, 36}},
      {"indexed, no sections", "indexed", "E.DCW", "e.dcw", std::string(1, '\0'), {1, 0}},
      {"packed", "packed", "ABC.DOC", "abc.dcc", "le chat\n\nZoe\r\n", {6, 1, 4}},
      {"plain", "plain", "R.TXT", "r.txt", std::string(10000, 'p'), {10000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path content = dir_->Root / "content";
    zt::WriteFile(content, c.content);
    // No write fails when there are fewer writes than the failing number.
    dir_->Clear();
    ASSERT_EQ(RunProbe(c.kind, c.name, content, int(c.pieces.size() + 1)), 0);
    const std::string whole = dir_->Read(c.installed);
    size_t done = 0;
    for (size_t n = 1; n <= c.pieces.size(); ++n) {
      // Failing the nth write leaves exactly the first n - 1 pieces, and ends the run with
      // the system error.
      dir_->Clear();
      EXPECT_EQ(RunProbe(c.kind, c.name, content, int(n)), 112) << "write " << n;
      ASSERT_EQ(dir_->Names(), std::vector<std::string>{c.installed}) << "write " << n;
      EXPECT_EQ(dir_->Read(c.installed), whole.substr(0, done)) << "write " << n;
      done += c.pieces[n - 1];
    }
    EXPECT_EQ(whole.size(), done);
  }
}

} // namespace
