#include "prefix.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits.h>
#include <sstream>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

void PrefixTest::SetUp() {
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  savedCwd = cwd;
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zarvo-prefix-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  ASSERT_NE(mkdtemp(buffer.data()), nullptr);
  prefix = std::filesystem::canonical(buffer.data()).string();
  driveC = prefix + "/drive_c";
  ASSERT_EQ(mkdir(driveC.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((prefix + "/dosdevices").c_str(), 0755), 0);
  ASSERT_EQ(symlink("../drive_c", (prefix + "/dosdevices/c:").c_str()), 0);
  ASSERT_EQ(symlink("/", (prefix + "/dosdevices/z:").c_str()), 0);
  setenv("WINEPREFIX", prefix.c_str(), 1);
  unsetenv("ZARVO_SETUP_LOG");
  unsetenv("ZARVO_SETUP_HEAP_LIMIT");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
}

void PrefixTest::TearDown() {
  if (!savedCwd.empty()) {
    EXPECT_EQ(chdir(savedCwd.c_str()), 0);
  }
  if (!prefix.empty()) {
    // Read-only folders must be writable again before they can be emptied.
    std::error_code ec;
    for (auto& entry : std::filesystem::recursive_directory_iterator(
             prefix, std::filesystem::directory_options::none, ec))
      if (!entry.is_symlink()) chmod(entry.path().c_str(), 0755);
    std::filesystem::remove_all(prefix, ec);
  }
}

void PrefixTest::MakeDir(const std::string& underC) const {
  std::filesystem::create_directories(Host(underC));
}

void PrefixTest::MakeFile(const std::string& underC, const std::string& content) const {
  std::ofstream out(Host(underC), std::ios::binary);
  out << content;
  ASSERT_TRUE(out.good()) << underC;
}

std::string ReadWholeFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string PrefixTest::ReadHost(const std::string& underC) const {
  return ReadWholeFile(Host(underC));
}

bool PrefixTest::HostExists(const std::string& underC) const {
  struct stat st;
  return lstat(Host(underC).c_str(), &st) == 0;
}

void PrefixTest::ChmodHost(const std::string& underC, unsigned mode) const {
  ASSERT_EQ(chmod(Host(underC).c_str(), mode), 0);
}

int RunInChild(void (*body)(void*), void* arg, const char* stdinText, std::string* err) {
  int in[2], errPipe[2];
  if (pipe(in) != 0 || pipe(errPipe) != 0) return -1;
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(errPipe[1], 2);
    close(in[0]);
    close(in[1]);
    close(errPipe[0]);
    close(errPipe[1]);
    body(arg);
    _exit(0);
  }
  close(in[0]);
  close(errPipe[1]);
  if (stdinText) {
    size_t length = strlen(stdinText);
    if (write(in[1], stdinText, length) != static_cast<ssize_t>(length)) return -1;
  }
  close(in[1]);
  std::string text;
  char chunk[4096];
  ssize_t n;
  while ((n = read(errPipe[0], chunk, sizeof chunk)) > 0) text.append(chunk, n);
  close(errPipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (err) *err = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
