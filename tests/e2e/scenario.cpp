#include "scenario.h"

#include "zarvo-pack/bzip2_codec.h"
#include "zarvo-pack/names.h"
#include "zarvo-pack/raw_archive.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <stdexcept>
#include <thread>

namespace e2e {

static zpack::Bytes ToBytes(const std::string& s) {
  return zpack::Bytes(s.begin(), s.end());
}

std::string Bzip2(const std::string& data) {
  zpack::Bytes stream;
  std::string problem =
      zpack::CompressStream(reinterpret_cast<const uint8_t*>(data.data()), data.size(), 9, stream);
  if (!problem.empty()) throw std::runtime_error(problem);
  return std::string(stream.begin(), stream.end());
}

std::string Archive(const std::string& titleString, const std::vector<RawEntry>& entries,
                    bool terminator) {
  zpack::RawArchive archive;
  archive.TitleString = titleString;
  archive.Terminator = terminator;
  for (const RawEntry& e : entries) {
    zpack::RawEntry raw;
    raw.Name = e.name;
    if (zpack::KindOfName(e.name) == zpack::EntryKind::Indexed)
      raw.InstalledSize = e.installedSize.value_or(0);
    raw.DecodedSize = e.decodedSize.value_or(static_cast<uint32_t>(e.content.size()));
    raw.DateTime = e.date;
    raw.Stream = ToBytes(e.stream ? *e.stream : Bzip2(e.content));
    raw.CompressedSize = e.compressedSize;
    archive.Entries.push_back(raw);
  }
  zpack::Bytes bytes = zpack::WriteRawArchive(archive);
  return std::string(bytes.begin(), bytes.end());
}

std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c >= 0x20 && c <= 0x7E)
      out += static_cast<char>(c);
    else {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

std::string ConfirmLine(const std::string& title, const std::string& productDir, int answer) {
  return "box\t0x04\t" + Escape("  Installation de " + title) + "\t" +
         Escape("Installation de " + title + "\rdans " + productDir +
                "\r\rSi vous \xEAtes encore connect\xE9s \xE0 Internet, d\xE9"
                "connectez-vous d'abord.\r\rVoulez-vous continuer?") +
         "\t" + std::to_string(answer);
}

std::string CompletionLine() {
  return "box\t0x40\t" +
         Escape("D\xE9"
                "compression r\xE9ussie!") +
         "\t" +
         Escape("Les fichiers sont install\xE9s.\r\rZarvo va \xEAtre lanc\xE9: la cr\xE9"
                "ation des indexs\rpeut prendre quelques minutes...") +
         "\t1";
}

std::string FatalLine(const std::string& message) {
  return "box\t0x30\t !!!! ERREUR - ERROR !!!!\t" + Escape(message) + "\t1";
}

std::string ExecLine(const std::string& commandLine) {
  return "exec\t" + Escape(commandLine) + "\t1";
}

static const char RunErrorMarker[] = "<location>";

std::string RunErrorLine(int number) {
  char text[32];
  snprintf(text, sizeof text, "Runtime error %3d at ", number);
  return std::string("box\t0x00\tError\t") + text + RunErrorMarker + "\t1";
}

testing::AssertionResult TranscriptIs(const std::vector<std::string>& actual,
                                      const std::vector<std::string>& expected) {
  bool same = actual.size() == expected.size();
  for (size_t i = 0; same && i < actual.size(); i++) {
    size_t marker = expected[i].find(RunErrorMarker);
    if (marker == std::string::npos) {
      same = actual[i] == expected[i];
    } else {
      std::string tail = expected[i].substr(marker + sizeof RunErrorMarker - 1);
      same = actual[i].size() == expected[i].size() - (sizeof RunErrorMarker - 1) + 8 &&
             actual[i].compare(0, marker, expected[i], 0, marker) == 0 &&
             std::regex_match(actual[i].substr(marker, 8), std::regex("[0-9A-F]{8}")) &&
             actual[i].substr(marker + 8) == tail;
    }
  }
  if (same) return testing::AssertionSuccess();
  auto failure = testing::AssertionFailure() << "transcript:\n";
  for (const std::string& line : actual) failure << "  " << line << "\n";
  failure << "expected:\n";
  for (const std::string& line : expected) failure << "  " << line << "\n";
  return failure;
}

Scenario::Scenario() {
  // A stand-in for wine on PATH that records how Zarvo was started.
  zt::WriteFile(prefix.Root / "fakebin" / "wine",
                "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$WINEPREFIX/launched.tmp\"\n"
                "mv \"$WINEPREFIX/launched.tmp\" \"$WINEPREFIX/launched\"\n");
  chmod((prefix.Root / "fakebin" / "wine").c_str(), 0755);
}

void Scenario::Zarvo(const std::string& windowsDir, uint64_t exeSize) {
  zt::MakeFakeZarvo(prefix.Host(windowsDir), exeSize);
}

void Scenario::Installer(const std::string& windowsPath, const std::string& archive) {
  installerPath = windowsPath;
  zt::fs::path host = prefix.Host(windowsPath);
  zt::WriteFile(host, zt::ReadFile(zt::BinPath("zarvo-setup")) + archive);
  chmod(host.c_str(), 0755);
}

Outcome Scenario::Run(const std::string& answer, const std::vector<std::string>& env) {
  zt::fs::path log = prefix.Root / "transcript.log";
  zt::fs::remove(log);
  zt::fs::remove(prefix.Root / "launched");
  std::vector<std::string> fullEnv = {
      "WINEPREFIX=" + prefix.Root.string(), "ZARVO_SETUP_LOG=" + log.string(), "TZ=UTC",
      "PATH=" + (prefix.Root / "fakebin").string() + ":/usr/bin:/bin"};
  fullEnv.insert(fullEnv.end(), env.begin(), env.end());
  zt::RunResult r = zt::Run({prefix.Host(installerPath).string()}, fullEnv, answer, prefix.Root);
  Outcome o{r.ExitCode, zt::ReadLines(log), r.Stderr, ""};
  bool launched = false;
  for (const std::string& line : o.Transcript) launched |= line.rfind("exec\t", 0) == 0;
  // Zarvo is started without waiting for it: give the stand-in a moment to record itself.
  for (int i = 0; launched && i < 500 && !zt::fs::exists(prefix.Root / "launched"); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (zt::fs::exists(prefix.Root / "launched")) o.Launched = zt::ReadFile(prefix.Root / "launched");
  return o;
}

} // namespace e2e
