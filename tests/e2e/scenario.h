// One run of the real installer stub as a user makes it: a throwaway prefix with a fake Zarvo,
// the stub with a payload appended, an answer on stdin; then what it left behind.
#pragma once

#include "test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// One entry record as it stands in the archive. Sizes left unset are worked out from the
// content; `stream` unset means the content compressed.
struct RawEntry {
  std::string name;
  std::string content;
  uint32_t date = 0x50CF6000; // 2020-06-15 12:00:00
  std::optional<uint32_t> compressedSize{}, installedSize{}, decodedSize{};
  std::optional<std::string> stream{};
};

std::string Bzip2(const std::string& data);
// magic, title string, entries, and (unless left out) the terminator.
std::string Archive(const std::string& titleString, const std::vector<RawEntry>& entries,
                    bool terminator = true);

// Transcript escaping of a text (code page 1252 bytes) as the POSIX layer writes it.
std::string Escape(const std::string& text);
std::string ConfirmLine(const std::string& title, const std::string& productDir, int answer);
std::string CompletionLine();
std::string FatalLine(const std::string& message);
std::string ExecLine(const std::string& commandLine);
// Runtime error box; the location's eight hex digits are matched by pattern.
std::string RunErrorLine(int number);

struct Outcome {
  int ExitCode;
  std::vector<std::string> Transcript;
  std::string Stderr;
  // The arguments the fake `wine` was started with, one per line; empty when not launched.
  std::string Launched;
};

struct Scenario {
  Scenario();
  // Places a fake Zarvo (ab.ini and zarvowin.exe of `exeSize` bytes) at a Windows path.
  void Zarvo(const std::string& windowsDir, uint64_t exeSize = 900000);
  // The installer: the stub followed by `archive`, at a Windows path.
  void Installer(const std::string& windowsPath, const std::string& archive);
  Outcome Run(const std::string& answer = "y\n", const std::vector<std::string>& env = {});

  zt::fs::path Host(const std::string& windowsPath) { return prefix.Host(windowsPath); }

  zt::Prefix prefix;
  std::string installerPath;
};

// Whether the transcript equals the expected lines; a RunErrorLine matches any location.
testing::AssertionResult TranscriptIs(const std::vector<std::string>& actual,
                                      const std::vector<std::string>& expected);

} // namespace e2e
