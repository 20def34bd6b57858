// The whole installer over a payload: the input is the archive behind a stand-in installer
// file in a scratch prefix that holds one Zarvo directory and nothing else. Every run must end
// in a documented way and leave nothing outside the Zarvo directory.
#include "harness.h"

#include "installer/setup.h"
#include "platform/win32.h"

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

static const char ZarvoWindowsDir[] = "C:\\ZARVO\\";
static fs::path driveC, zarvoDir;

static void WriteAt(const fs::path& path, uint64_t length, const uint8_t* tail, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) fuzz::Finding("cannot write the fixture");
  // Sparse on tmpfs: the zeros before the tail cost nothing.
  if (ftruncate(fd, off_t(length)) != 0) fuzz::Finding("cannot size the fixture");
  if (size != 0 && pwrite(fd, tail, size, off_t(length)) != ssize_t(size))
    fuzz::Finding("cannot write the fixture");
  close(fd);
}

// A fresh Zarvo directory as the installer finds it: ab.ini, a zarvowin.exe large enough,
// and the installer itself, its payload at PayloadOffset.
static void MakeFixture(const uint8_t* payload, size_t size) {
  std::error_code ignored;
  fs::remove_all(zarvoDir, ignored);
  fs::create_directories(zarvoDir);
  static const uint8_t ini[] = "[zarvo]\n";
  WriteAt(zarvoDir / "ab.ini", 0, ini, sizeof ini - 1);
  WriteAt(zarvoDir / "zarvowin.exe", 900000, nullptr, 0);
  WriteAt(zarvoDir / "setup.exe", PayloadOffset, payload, size);
}

// Files outside the Zarvo directory that a misdirected write or cleanup would hit.
static const char* const Bait[] = {"bait.old", "OTHER/bait.txt", "OTHER/setup.exe"};

static void MakeBait() {
  fs::create_directories(driveC / "OTHER");
  static const uint8_t bait[] = "bait";
  for (const char* name : Bait) WriteAt(driveC / name, 0, bait, sizeof bait - 1);
}

static bool HoldsBait(const fs::path& path) {
  char bytes[8];
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  ssize_t n = read(fd, bytes, sizeof bytes);
  close(fd);
  return n == 4 && memcmp(bytes, "bait", 4) == 0;
}

// Outside the Zarvo directory, only the bait, unchanged; inside it, nothing but files: no
// entry or pattern reaches another directory.
static void CheckNothingOutside() {
  size_t outside = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(driveC)) {
    if (entry.path() == zarvoDir || entry.path().parent_path() == zarvoDir) continue;
    if (entry.path() != driveC / "OTHER") outside++;
  }
  if (outside != sizeof Bait / sizeof Bait[0])
    fuzz::Finding("a file appeared or vanished outside the Zarvo directory");
  for (const char* name : Bait)
    if (!HoldsBait(driveC / name)) fuzz::Finding("a file outside the Zarvo directory changed");
  for (const fs::directory_entry& entry : fs::directory_iterator(zarvoDir))
    if (!entry.is_regular_file()) fuzz::Finding("something other than a file was installed");
}

static void RunSetup(void*) {
  Setup();
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  driveC = fs::path(fuzz::ScratchPrefix()) / "drive_c";
  zarvoDir = driveC / "ZARVO";
  MakeBait();
  fuzz::SetOwnExecutablePath(std::string(ZarvoWindowsDir) + "setup.exe");
  // Little memory: room for the decoder of block size 1 or 2 and a small entry, so that every
  // run stays fast. A stream that decodes far past its header's size ends with runtime error
  // 203 here instead of decoding megabytes under the sanitizer on every such input.
  setenv("ZARVO_SETUP_HEAP_LIMIT", "2097152", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MakeFixture(data, size);
  fuzz::RunEnd end = fuzz::RunGuarded(RunSetup, nullptr);
  if (end.Exited) {
    if (!fuzz::IsDocumentedEnd(end)) fuzz::Finding("the run ended in an undocumented way");
  } else {
    // Answered Yes, so a return is a completed run: the completion box came last.
    if (end.Boxes.empty() || end.Boxes.back().Flags != MB_ICONINFORMATION)
      fuzz::Finding("the run returned without its completion box");
  }
  CheckNothingOutside();
  return 0;
}
