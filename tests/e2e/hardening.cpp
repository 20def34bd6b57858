#include "hardening.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <stdexcept>
#include <thread>

namespace e2e::hardening {

static std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

std::string InstalledEntry::Installed() const {
  std::string all;
  for (const std::string& w : Writes) all += w;
  return all;
}

// A text section holding "le chat" and an empty line, then three raw bytes: 55 bytes installed.
static InstalledEntry IndexedEntry() {
  std::string index = Bytes({1, 0, 0, 0, 15, 0, 0, 0, 0x0A, 1, 'A', 0, 0, 0, 0, 0, 0, 0}) +
                      Bytes({16, 0, 0, 0, 3, 0, 0, 0, 0x0C, 1, 'B', 0, 0, 0, 0, 0, 0, 0});
  std::string content =
      Bytes({2}) + index + "HDR1DATE" + zt::U32(9) + "le chat\n\n" + Bytes({1, 2, 3});
  return {{.name = "TEXTE.DCW", .content = content, .installedSize = 55},
          "texte.dcw",
          {Bytes({2}), "HDR1DATE", Bytes({5, 0x91, 0x0F, 0x1F, 0x94, 0x60}), Bytes({0}),
           Bytes({1, 2, 3}), index}};
}

static SmallInstaller MakeSmall() {
  SmallInstaller s;
  s.Entries = {IndexedEntry(),
               {{.name = "NOTES.DOC", .content = "Zoe\r\n~12 in\n"},
                "notes.dcc",
                {Bytes({3, 0xFF, 0x5A, 0xA1}), Bytes({3, 0xFE, 0x0C, 0x35})}},
               {{.name = "readme.txt", .content = "Bonjour\n"}, "readme.txt", {"Bonjour\n"}}};
  std::vector<RawEntry> records;
  for (const InstalledEntry& e : s.Entries) records.push_back(e.Record);
  s.Payload = Archive(TitleString, records);

  // The same layout, walked field by field.
  size_t at = 0;
  auto field = [&](const std::string& name, size_t length, bool stream = false) {
    s.Fields.push_back({name, at, length, stream});
    at += length;
  };
  field("magic", 4);
  field("title length", 1);
  field("title", TitleString.size());
  for (size_t i = 0; i < s.Entries.size(); i++) {
    const RawEntry& r = s.Entries[i].Record;
    std::string n = r.name + " ";
    field(n + "compressed size", 4);
    field(n + "name length", 1);
    field(n + "name", r.name.size());
    if (r.installedSize) field(n + "installed size", 4);
    field(n + "decoded size", 4);
    field(n + "date", 4);
    field(n + "stream", Bzip2(r.content).size(), true);
    s.EntryEnds.push_back(at);
  }
  field("terminator", 4);
  if (at != s.Payload.size()) throw std::logic_error("the field walk misses the layout");
  return s;
}

const SmallInstaller& Small() {
  static const SmallInstaller small = MakeSmall();
  return small;
}

Snapshot TakeSnapshot(const zt::fs::path& root, const zt::fs::path& except) {
  Snapshot snapshot;
  for (auto it = zt::fs::recursive_directory_iterator(root);
       it != zt::fs::recursive_directory_iterator(); ++it) {
    if (it->path() == except) {
      it.disable_recursion_pending();
      continue;
    }
    struct stat st;
    if (lstat(it->path().c_str(), &st) != 0) throw std::runtime_error("lstat failed");
    std::string state = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                        std::to_string(st.st_mtim.tv_sec) + "." +
                        std::to_string(st.st_mtim.tv_nsec);
    if (S_ISREG(st.st_mode) && st.st_size <= 65536) state += " " + zt::ReadFile(it->path());
    snapshot[it->path().string()] = state;
  }
  return snapshot;
}

Bench::Bench() {
  scenario.Zarvo(ZarvoDir);
  installer = scenario.Host(SetupExe);
  scenario.installerPath = SetupExe;
  zt::WriteFile(installer, zt::ReadFile(zt::BinPath("zarvo-setup")));
  chmod(installer.c_str(), 0755);
  stubSize = zt::fs::file_size(installer);
  // What a write or a cleanup aimed at the wrong directory would hit.
  zt::WriteFile(scenario.Host("C:\\a.old"), "bait");
  zt::WriteFile(scenario.Host("C:\\texte.dcw"), "bait");
  zt::WriteFile(scenario.Host("C:\\Downloads\\a.old"), "bait");
  zt::WriteFile(scenario.Host("C:\\Downloads\\readme.txt"), "bait");
  zt::WriteFile(scenario.Host("C:\\ZARVO2\\notes.dcc"), "bait");
}

zt::fs::path Bench::Zarvo(const std::string& name) const {
  zt::fs::path dir = scenario.prefix.Root / "drive_c" / "ZARVO";
  return name.empty() ? dir : dir / name;
}

Snapshot Bench::OutsideNow() const {
  return TakeSnapshot(scenario.prefix.Root / "drive_c", Zarvo());
}

RunOutcome Bench::Run(const std::string& payload, const std::vector<std::string>& env,
                      int timeoutSeconds) {
  // The stub stays; only the payload behind it is replaced. Zarvo's launch forks the last run's
  // process once more, and until that child has started the stand-in wine the image is busy.
  int fd = open(installer.c_str(), O_WRONLY);
  for (int i = 0; fd < 0 && errno == ETXTBSY && i < 500; i++) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    fd = open(installer.c_str(), O_WRONLY);
  }
  if (fd < 0 || ftruncate(fd, off_t(stubSize)) != 0 ||
      pwrite(fd, payload.data(), payload.size(), off_t(stubSize)) != ssize_t(payload.size()))
    throw std::runtime_error("cannot write the installer");
  close(fd);
  zt::fs::remove_all(Zarvo());
  zt::MakeFakeZarvo(Zarvo());
  zt::WriteFile(Zarvo("a.old"), "obsolete");
  outside = OutsideNow();

  const zt::fs::path& root = scenario.prefix.Root;
  zt::fs::path log = root / "transcript.log";
  zt::fs::remove(log);
  std::vector<std::string> fullEnv = {"WINEPREFIX=" + root.string(),
                                      "ZARVO_SETUP_LOG=" + log.string(), "TZ=UTC",
                                      "PATH=" + (root / "fakebin").string() + ":/usr/bin:/bin"};
  fullEnv.insert(fullEnv.end(), env.begin(), env.end());
  zt::RunResult r = zt::Run({installer.string()}, fullEnv, "y\n", root, timeoutSeconds);
  bool timedOut = r.Stderr.rfind("(timed out)", 0) == 0;
  return {r.ExitCode, zt::ReadLines(log), r.Stderr, timedOut};
}

static bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

testing::AssertionResult Documented(const RunOutcome& run, End* end) {
  auto fail = [&](const std::string& why) {
    auto failure = testing::AssertionFailure()
                   << why << "; exit code " << run.ExitCode << ", transcript:\n";
    for (const std::string& line : run.Transcript) failure << "  " << line << "\n";
    return failure << "stderr:\n" << run.Stderr;
  };
  if (run.TimedOut) return fail("the run did not end");
  for (const char* report : {"AddressSanitizer", "runtime error:", "LeakSanitizer"})
    if (run.Stderr.find(report) != std::string::npos) return fail("a sanitizer report");

  const std::vector<std::string>& t = run.Transcript;
  *end = End{};
  size_t i = 0;
  auto next = [&]() -> const std::string& {
    static const std::string none = "(nothing)";
    return i < t.size() ? t[i] : none;
  };
  if (next() != "cursor\twait") return fail("no wait cursor first");
  i++;
  if (StartsWith(next(), "box\t0x04\t")) {
    if (next().substr(next().size() - 2) != "\t6") return fail("the confirmation was not Yes");
    end->Confirmed = true;
    i++;
  }
  static const std::regex status("box\t0x10\tCODE -[0-9]+\tERROR\t1");
  for (; std::regex_match(next(), status); i++) end->StatusBoxes++;
  if (next() == "cursor\tarrow") {
    end->CursorRestored = true;
    i++;
  }

  static const std::regex report("box\t0x00\tError\tRuntime error([ 0-9]{4}) at [0-9A-F]{8}\t1");
  static const std::string fatal = "box\t0x30\t !!!! ERREUR - ERROR !!!!\t";
  std::smatch m;
  int code = 0;
  if (std::regex_match(next(), m, report)) {
    end->How = End::RunError;
    end->Number = std::stoi(m[1].str());
    code = end->Number;
    if (code == 0) return fail("a runtime error numbered 0");
    i++;
  } else if (StartsWith(next(), fatal) && next().size() > fatal.size() + 2 &&
             next().substr(next().size() - 2) == "\t1") {
    end->How = End::Fatal;
    end->Message = next().substr(fatal.size(), next().size() - fatal.size() - 2);
    if (end->CursorRestored) return fail("the cursor was restored before a stop");
    i++;
  } else if (next() == CompletionLine()) {
    end->How = End::Completed;
    if (!end->CursorRestored || !end->Confirmed) return fail("completed without the closing");
    i++;
    if (!StartsWith(next(), "exec\t")) return fail("completed without the launch");
    i++;
  } else {
    return fail("no documented end: \"" + next() + "\"");
  }
  if (next() != "exit\t" + std::to_string(code)) return fail("the exit line does not fit the end");
  if (++i != t.size()) return fail("lines after the exit");
  if (run.ExitCode != code) return fail("the exit code does not fit the end");
  return testing::AssertionSuccess();
}

} // namespace e2e::hardening
