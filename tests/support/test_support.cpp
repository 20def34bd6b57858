#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace zt {

Prefix::Prefix() {
  std::string templ = (fs::temp_directory_path() / "zarvo-prefix-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  Root = templ;
  fs::create_directories(Root / "dosdevices");
  fs::create_directories(Root / "drive_c");
  fs::create_directory_symlink("../drive_c", Root / "dosdevices" / "c:");
  fs::create_directory_symlink("/", Root / "dosdevices" / "z:");
}

Prefix::~Prefix() {
  std::error_code ignored;
  // Make everything writable again first: tests leave read-only files behind.
  for (auto it = fs::recursive_directory_iterator(Root, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored))
    if (!it->is_symlink())
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(Root, ignored);
}

fs::path Prefix::Drive(char letter) {
  letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  fs::path link = Root / "dosdevices" / (std::string(1, letter) + ":");
  if (letter == 'c') return Root / "drive_c";
  fs::path target = Root / ("drive_" + std::string(1, letter));
  if (!fs::exists(link)) {
    fs::create_directories(target);
    fs::create_directory_symlink(target, link);
  }
  return target;
}

fs::path Prefix::Host(const std::string& windowsPath) {
  fs::path host = Drive(windowsPath.at(0));
  std::string rest = windowsPath.substr(2);
  std::string part;
  for (char c : rest) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) host /= part;
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) host /= part;
  return host;
}

void Prefix::Activate() const {
  setenv("WINEPREFIX", Root.c_str(), 1);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteSizedFile(const fs::path& path, uint64_t size) {
  WriteFile(path, "");
  fs::resize_file(path, size);
}

void SetModified(const fs::path& path, int64_t unixSeconds) {
  struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(unixSeconds), 0}};
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
    throw std::runtime_error("utimensat failed on " + path.string());
}

int64_t Modified(const fs::path& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw std::runtime_error("stat failed on " + path.string());
  return st.st_mtime;
}

void MakeFakeZarvo(const fs::path& dir, uint64_t exeSize) {
  WriteFile(dir / "ab.ini", "[zarvo]\n");
  WriteSizedFile(dir / "zarvowin.exe", exeSize);
}

static std::string Drain(int fd) {
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  return out;
}

RunResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
              const std::string& input, const fs::path& cwd, int timeoutSeconds) {
  fs::path dir = fs::temp_directory_path();
  std::string base = (dir / "zarvo-run-XXXXXX").string();
  int inFd = mkstemp(base.data());
  std::string inPath = base;
  if (write(inFd, input.data(), input.size()) != static_cast<ssize_t>(input.size()))
    throw std::runtime_error("cannot write the input file");
  lseek(inFd, 0, SEEK_SET);
  std::string outPath = inPath + ".out", errPath = inPath + ".err";
  int outFd = open(outPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  int errFd = open(errPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);

  pid_t pid = fork();
  if (pid == 0) {
    dup2(inFd, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    for (const std::string& e : env) putenv(strdup(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  RunResult result;
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.Stderr = "(timed out)\n";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  lseek(outFd, 0, SEEK_SET);
  lseek(errFd, 0, SEEK_SET);
  result.Stdout = Drain(outFd);
  result.Stderr += Drain(errFd);
  close(inFd);
  close(outFd);
  close(errFd);
  unlink(inPath.c_str());
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  return result;
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::vector<std::string> lines;
  if (!fs::exists(path)) return lines;
  std::istringstream in(ReadFile(path));
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

fs::path BinPath(const std::string& program) {
  const char* bin = std::getenv("ZARVO_BIN");
  return fs::path(bin ? bin : ZARVO_DEFAULT_BIN) / program;
}

fs::path SourcePath(const std::string& relative) {
  const char* source = std::getenv("ZARVO_SOURCE");
  return fs::path(source ? source : ZARVO_DEFAULT_SOURCE) / relative;
}

std::string U32(uint32_t value) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; i++) s[i] = static_cast<char>(value >> (8 * i));
  return s;
}

} // namespace zt
