#include "installer/setup.h"

#include "bz/bz.h"
#include "convert/writers.h"
#include "installer/product_dir.h"
#include "util/file_helpers.h"
#include "util/messages.h"
#include "util/wildcard.h"

ShortString<200> ProductDir;

static CheckedFile InstallerFile;
static CheckedFile OutputFile;
static HCURSOR SavedCursor;

static uint32_t ReadU32() {
  uint32_t value;
  CheckedRead(InstallerFile, &value, 4);
  return value;
}

static void ReadShort(Str255& s) {
  CheckedRead(InstallerFile, &s.Length, 1);
  CheckedRead(InstallerFile, s.Chars, s.Length);
}

static bool HasDirectoryPart(const char* chars, unsigned length) {
  for (unsigned i = 0; i < length; i++)
    if (chars[i] == '\\' || chars[i] == '/' || chars[i] == ':') return true;
  return false;
}

static bool SameBytes(const char* a, const char* b, unsigned count) {
  while (count-- > 0)
    if (*a++ != *b++) return false;
  return true;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices in every folder, whatever extension
// follows: "com1.txt" would talk to a serial port instead of creating a file.
static bool IsDeviceName(const char* part, unsigned length) {
  unsigned n = 0;
  while (n < length && part[n] != '.') n++;
  while (n > 0 && part[n - 1] == ' ') n--;
  if (n == 3)
    return SameBytes(part, "CON", 3) || SameBytes(part, "PRN", 3) || SameBytes(part, "AUX", 3) ||
           SameBytes(part, "NUL", 3);
  return n == 4 && part[3] >= '1' && part[3] <= '9' &&
         (SameBytes(part, "COM", 3) || SameBytes(part, "LPT", 3));
}

// An entry is installed by its bare name into the Zarvo directory and nowhere else: no
// absolute path, no drive, no stream, no device, no component that climbs out.
static bool IsSafeEntryName(const Str255& upperName) {
  const char* chars = upperName.Chars;
  if (upperName.Length == 0 || chars[0] == '\\' || chars[0] == '/') return false;
  unsigned start = 0;
  for (unsigned i = 0; i <= upperName.Length; i++) {
    char c = i < upperName.Length ? chars[i] : '\\';
    if (c == ':' || c == 0) return false;
    if (c != '\\' && c != '/') continue;
    // Windows drops trailing dots and spaces, so "..", ". ." and "..." all climb or stay.
    bool dotsOnly = true;
    for (unsigned j = start; j < i; j++)
      if (chars[j] != '.' && chars[j] != ' ') dotsOnly = false;
    if (dotsOnly && i > start && chars[start] == '.') return false;
    if (IsDeviceName(chars + start, i - start)) return false;
    start = i + 1;
  }
  return true;
}

static void InstallEntry(uint32_t compressedSize) {
  Str255 name, upper;
  ReadShort(name);
  UpperCaseShort(name, upper);
  if (!IsSafeEntryName(upper)) FatalStopText("Format?");
  bool isDoc = ShortContains(upper, ".DOC");
  bool isDcw = ShortContains(upper, ".DCW");
  if (isDcw) ReadU32(); // the installed size: the index carries what the file needs
  uint32_t decodedSize = ReadU32();
  int32_t age = static_cast<int32_t>(ReadU32());

  void* compressed = HeapAllocate(compressedSize);
  CheckedRead(InstallerFile, compressed, compressedSize);
  void* decoded;
  int32_t decodedCount;
  DecompressBuffer(compressed, static_cast<int32_t>(compressedSize),
                   static_cast<int32_t>(decodedSize), decoded, decodedCount);
  if (static_cast<uint32_t>(decodedCount) != decodedSize) FatalStopText("tdec");
  HeapRelease(compressed);

  const uint8_t* content = static_cast<const uint8_t*>(decoded);
  if (isDcw)
    WriteIndexedTextFile(OutputFile, name, content, decodedSize);
  else if (isDoc)
    WritePackedTextFile(OutputFile, name, content, decodedSize);
  else
    WritePlainFile(OutputFile, name, content, decodedSize);
  HeapRelease(decoded);
  // Text files keep the time they were written at: Zarvo rebuilds their indexes from it.
  if (!isDcw && !isDoc) FileSetDate(OutputFile.Handle, age);
  CheckedClose(OutputFile);
}

static void RestoreCursorAndClose() {
  if (SavedCursor != nullptr) SetCursor(SavedCursor);
  CheckedClose(InstallerFile);
}

static void DeleteObsoleteFiles(const ShortString<100>& pattern) {
  TextBuilder path{};
  TextAppend(path, ProductDir);
  TextAppend(path, pattern);
  SearchRec found;
  for (DWORD result = FindFirst(path.Chars, 0x3F, found); result == 0; result = FindNext(found)) {
    // The system also matches 8.3 aliases ("*.htm" finds index.html); delete only what the
    // pattern names by its long name.
    if (!MatchesPattern(pattern.Chars, pattern.Length, found.Name)) continue;
    path.Length = ProductDir.Length;
    TextAppend(path, found.Name);
    DeleteFile(path.Chars);
  }
  FindClose(found);
}

static void Launch() {
  // Unquoted, a path with a space would first run C:\Program.exe if one were planted there.
  bool quote = BytesContain(ProductDir.Chars, ProductDir.Length, " ");
  TextBuilder command{};
  if (quote) TextAppend(command, "\"");
  TextAppend(command, ProductDir);
  TextAppend(command, "zarvowin.exe");
  if (quote) TextAppend(command, "\"");
  TextAppend(command, " /i");
  WinExec(command.Chars, SW_SHOWNORMAL);
}

void Setup() {
  FindProductDir();
  CheckProductVersion();

  ShortText directory;
  ProductDir.Length--;
  ShortToText(ProductDir, directory);
  ChangeDirectory(directory.Chars);
  if (TakePendingIoCode() != 0) {
    Str255 message;
    ShortAssign(message, "CHDIR ");
    ShortAppend(message, ProductDir);
    FatalStop(message);
  }
  ShortAppend(ProductDir, "\\");

  SavedCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  Str255 own;
  ShortText ownText;
  OwnExecutablePath(own);
  ShortToText(own, ownText);
  CheckedOpenRead(InstallerFile, ownText.Chars);
  CheckedSeek(InstallerFile, PayloadOffset);
  if (ReadU32() != ArchiveMagic) FatalStopText("Format?");

  Str255 title;
  ShortString<100> pattern;
  pattern.Length = 0;
  ReadShort(title);
  for (unsigned i = 0; i < title.Length; i++)
    if (title.Chars[i] == '|') {
      ShortAssign(pattern, title.Chars + i + 1, title.Length - i - 1);
      title.Length = static_cast<uint8_t>(i);
      break;
    }
  // The cleanup deletes inside the Zarvo directory only.
  if (HasDirectoryPart(pattern.Chars, pattern.Length)) FatalStopText("Format?");

  TextBuilder caption{}, text{};
  TextAppend(caption, "  Installation de ");
  TextAppend(caption, title);
  TextAppend(text, "Installation de ");
  TextAppend(text, title);
  TextAppend(text, "\rdans ");
  TextAppend(text, ProductDir);
  TextAppend(text, "\r\rSi vous \xEAtes encore connect\xE9s \xE0 Internet, d\xE9"
                   "connectez-vous d'abord.\r\rVoulez-vous continuer?");
  if (MessageBoxA(nullptr, text.Chars, caption.Chars, MB_YESNO) != IDYES) {
    RestoreCursorAndClose();
    return;
  }

  for (uint32_t size = ReadU32(); size != 0; size = ReadU32()) InstallEntry(size);
  RestoreCursorAndClose();

  if (pattern.Length != 0) DeleteObsoleteFiles(pattern);
  MessageBoxA(nullptr,
              "Les fichiers sont install\xE9s.\r\rZarvo va \xEAtre lanc\xE9: la cr\xE9"
              "ation des indexs\rpeut prendre quelques minutes...",
              "D\xE9"
              "compression r\xE9ussie!",
              MB_ICONINFORMATION);
  Launch();
}
