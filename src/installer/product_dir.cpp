#include "installer/product_dir.h"

#include "installer/setup.h"
#include "util/file_helpers.h"
#include "util/messages.h"

static const char ProductExecutable[] = "zarvowin.exe";

bool IsProductDir(const Str255& directory) {
  TextBuilder path{};
  TextAppend(path, directory);
  TextAppend(path, "ab.ini");
  if (!FileExists(path.Chars)) return false;
  path.Length = directory.Length;
  TextAppend(path, ProductExecutable);
  if (!FileExists(path.Chars)) return false;
  ShortAssign(ProductDir, directory);
  return true;
}

static bool SearchDriveList() {
  static const char* const Subpaths[] = {":\\ZARVO\\", ":\\PROGRA~1\\ZARVO\\", ":\\ZARVOWIN\\"};
  Str255 candidate;
  // A: and B: are floppy drives: never searched, so no empty drive is ever asked for a disk.
  for (char drive = 'C'; drive <= 'Z'; drive++)
    for (const char* subpath : Subpaths) {
      ShortAssign(candidate, &drive, 1);
      ShortAppend(candidate, subpath);
      if (IsProductDir(candidate)) return true;
    }
  return false;
}

void FindProductDir() {
  Str255 own, candidate;
  OwnExecutablePath(own);
  ExtractFilePath(own, candidate);
  if (!IsProductDir(candidate)) SearchDriveList();

  // A directory cut to ProductDir's capacity no longer names the place it was found in.
  ShortAssign(candidate, ProductDir);
  if (ProductDir.Length == 0 || !IsProductDir(candidate)) {
    MessageBoxA(nullptr,
                "Je ne trouve pas Zarvo!\rCopiez ce fichier dans le r\xE9pertoire\r"
                "d'Zarvo, et ex\xE9"
                "cutez-le.\r\rCan't find Zarvo!\rCopy this file in the\r"
                "Zarvo directory, and run it.",
                "Error", MB_ICONERROR);
    StopProgram();
  }
}

void CheckProductVersion() {
  ShortString<212> path;
  ShortAssign(path, ProductDir);
  ShortAppend(path, ProductExecutable);
  ShortText text;
  ShortToText(path, text);
  if (!FileExists(text.Chars) || LastFoundSize < MinProductSize)
    FatalStopText("Mauvaise version\r\rBad version");
}
