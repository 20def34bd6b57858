// Starting programs and ending the process. A Windows program is started under `wine`, found on
// PATH, without waiting for it: argv is {"wine", <program's Windows path>, <arguments>...}.
#include "platform/posix/layer.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace posix_layer;

static const UINT kStarted = 33; // WinExec's success is any value above 31

static bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Looks up one program name as WinExec would: 0 when found, else 2 (no such file) or 3 (no such
// folder). A name with no folder is looked for where Windows looks first: the folder of the
// running program, the current folder, then the system folders.
static UINT FindProgram(std::string name, std::string* winPath) {
  if (name.empty()) return ERROR_FILE_NOT_FOUND;
  size_t lastSeparator = name.find_last_of("\\/:");
  std::string last = lastSeparator == std::string::npos ? name : name.substr(lastSeparator + 1);
  if (last.find('.') == std::string::npos) name += ".exe";
  std::vector<std::string> tries;
  if (lastSeparator == std::string::npos) {
    std::string own;
    size_t cut = OwnWindowsPath(&own) == 0 ? own.find_last_of('\\') : std::string::npos;
    if (cut != std::string::npos) tries.push_back(own.substr(0, cut + 1) + name);
    tries.push_back(name);
    tries.push_back("C:\\windows\\system32\\" + name);
    tries.push_back("C:\\windows\\" + name);
  } else {
    tries.push_back(name);
  }
  UINT result = ERROR_FILE_NOT_FOUND;
  for (size_t i = 0; i < tries.size(); ++i) {
    Resolved r;
    DWORD error = ResolvePath(tries[i].c_str(), PathUse::kOpen, &r);
    if (!error && r.exists && !r.isRoot && !S_ISDIR(r.st.st_mode) && !r.trailingSeparator) {
      *winPath = r.WinPath();
      return 0;
    }
    // The first place tried speaks for the name when it is found nowhere.
    if (i == 0)
      result = error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND
                                                                         : ERROR_FILE_NOT_FOUND;
  }
  return result;
}

static bool FindOnPath(const char* program, std::string* out) {
  const char* path = getenv("PATH");
  if (!path) return false;
  std::string dirs = path;
  size_t start = 0;
  for (;;) {
    size_t end = dirs.find(':', start);
    std::string dir =
        dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      *out = candidate;
      return true;
    }
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

static std::vector<std::string> SplitAtSpaces(const std::string& s) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    size_t end = s.find(' ', i);
    if (end == std::string::npos) end = s.size();
    if (end > i) words.push_back(s.substr(i, end - i));
    i = end;
  }
  return words;
}

// Starts the program in a grandchild, so that nothing is left for this process to reap.
static bool Detach(const std::string& wine, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    setsid();
    pid_t grandchild = fork();
    if (grandchild == 0) {
      execv(wine.c_str(), argv.data());
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  int status;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

UINT WinExec(LPCSTR commandLine, UINT show) {
  TranscriptLine("exec\t" + TranscriptEscape(commandLine) + "\t" + std::to_string(show));
  if (InjectedFault(kWinExec)) return GetLastError();
  if (!commandLine) return Fail(ERROR_FILE_NOT_FOUND, static_cast<UINT>(ERROR_FILE_NOT_FOUND));
  std::string line = commandLine;
  size_t start = line.find_first_not_of(" \t");
  line.erase(0, start == std::string::npos ? line.size() : start);

  std::string winPath, rest;
  UINT result = ERROR_FILE_NOT_FOUND;
  if (!line.empty() && line[0] == '"') {
    // A quoted program is taken as it stands.
    size_t close = line.find('"', 1);
    std::string program =
        line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    rest = close == std::string::npos ? "" : line.substr(close + 1);
    result = FindProgram(program, &winPath);
  } else {
    // Unquoted, each space in turn may end the program's name: "C:\Program Files\x.exe /i"
    // tries C:\Program.exe first. When none exists, the failure reported is that of the name
    // ending at the first space after the last '\', the one the caller most likely meant.
    size_t lastBackslash = line.rfind('\\');
    size_t meant = line.find(' ', lastBackslash == std::string::npos ? 0 : lastBackslash);
    if (meant == std::string::npos) meant = line.size();
    UINT meantResult = 0;
    for (size_t end = 0; end <= line.size(); ++end) {
      if (end < line.size() && line[end] != ' ') continue;
      if (end == 0 || IsSeparator(line[end - 1])) continue;
      result = FindProgram(line.substr(0, end), &winPath);
      if (result == 0) {
        rest = end < line.size() ? line.substr(end + 1) : "";
        break;
      }
      if (end == meant) meantResult = result;
    }
    if (result != 0 && meantResult != 0) result = meantResult;
  }
  if (result != 0) return Fail(result, result);

  std::string wine;
  if (!FindOnPath("wine", &wine))
    return Fail(ERROR_FILE_NOT_FOUND, static_cast<UINT>(ERROR_FILE_NOT_FOUND));
  std::vector<std::string> args = {"wine", winPath};
  for (const std::string& word : SplitAtSpaces(rest)) args.push_back(word);
  if (!Detach(wine, args)) return Fail(ERROR_NOT_ENOUGH_MEMORY, 0u); // 0: out of resources
  return kStarted;
}

void ExitProcess(UINT exitCode) {
  TranscriptLine("exit\t" + std::to_string(exitCode));
  _exit(static_cast<int>(exitCode));
}
