// What the damaged-payload and fault tables share: a small real installer whose every field and
// every system call is known, a bench that runs it over and over in one prefix, and the checks
// that every run ended in a documented way and touched nothing outside the Zarvo directory.
#pragma once

#include "scenario.h"

#include <map>
#include <string>
#include <vector>

namespace e2e::hardening {

inline const std::string ZarvoDir = "C:\\ZARVO\\";
inline const std::string SetupExe = "C:\\Downloads\\setup.exe";
inline const std::string TitleString = "Demo|*.old";

// One entry of the small installer: its record in the archive and the file it installs,
// written piece by piece as the installer writes it (one WriteFile each).
struct InstalledEntry {
  RawEntry Record;
  std::string InstalledName;
  std::vector<std::string> Writes;
  std::string Installed() const;
};

// A header field or a stream of the archive, by its place in the payload.
struct Field {
  std::string Name;
  size_t Offset, Length;
  bool Stream;
};

struct SmallInstaller {
  std::vector<InstalledEntry> Entries; // an indexed text file, a packed one and a plain one
  std::string Payload;
  std::vector<Field> Fields;
  // Payload offset where entry i's record ends (after its stream).
  std::vector<size_t> EntryEnds;
};
const SmallInstaller& Small();

// Every file under a host directory, but one subdirectory: its kind, size, time and, for
// small files, its bytes.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const zt::fs::path& root, const zt::fs::path& except);

struct RunOutcome {
  int ExitCode;
  std::vector<std::string> Transcript;
  std::string Stderr;
  bool TimedOut;
};

// One prefix with a Zarvo directory (ab.ini, zarvowin.exe, an obsolete a.old) and bait files
// outside it that a misdirected write or cleanup would change. The stub is copied once; each
// run only replaces the payload behind it and gives the Zarvo directory back its first state.
struct Bench {
  Bench();
  RunOutcome Run(const std::string& payload, const std::vector<std::string>& env = {},
                 int timeoutSeconds = 10);
  zt::fs::path Zarvo(const std::string& name = "") const;
  // The drive C: files other than the Zarvo directory's, as they were before the runs.
  const Snapshot& Outside() const { return outside; }
  Snapshot OutsideNow() const;

  Scenario scenario;
  zt::fs::path installer;
  uint64_t stubSize;
  Snapshot outside;
};

// The ends a run may take, from the transcript: the report of `number` (0: none), with exit
// code `number`; a fatal stop with its message and exit code 0; or completion.
struct End {
  enum Kind { Completed, Fatal, RunError };
  Kind How;
  std::string Message; // the fatal stop's message
  int Number;          // the runtime error's number
  bool Confirmed;      // the confirmation box was shown (and answered Yes)
  bool CursorRestored; // a "cursor arrow" line stands before the end
  int StatusBoxes;     // decoder "CODE -n" boxes
};

// Parses a transcript into its End; fails with the transcript when it is not one of the
// documented shapes: the wait cursor, the confirmation, decoder status boxes, then a fatal stop
// ("Format?", "tdec"), the runtime error report or the completion box and the launch, and the
// exit line with the exit code the end calls for.
testing::AssertionResult Documented(const RunOutcome& run, End* end);

} // namespace e2e::hardening
