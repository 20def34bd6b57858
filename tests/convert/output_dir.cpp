#include "output_dir.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/win32.h"

OutputDir::OutputDir() {
  std::string pattern = (fs::temp_directory_path() / "zarvo-writers-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp failed";
    return;
  }
  Root = pattern;
  fs::create_directories(Root / "drive_c" / "out");
  fs::create_directories(Root / "dosdevices");
  fs::create_directory_symlink("../drive_c", Root / "dosdevices" / "c:");
  Out = Root / "drive_c" / "out";
  setenv("WINEPREFIX", Root.c_str(), 1);
  if (!SetCurrentDirectoryA("C:\\out")) ADD_FAILURE() << "SetCurrentDirectoryA failed";
}

OutputDir::~OutputDir() {
  std::error_code ignored;
  if (!Root.empty()) fs::remove_all(Root, ignored);
}

void OutputDir::Clear() const {
  for (const auto& entry : fs::directory_iterator(Out)) fs::remove_all(entry.path());
}

std::vector<std::string> OutputDir::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Out)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::string OutputDir::Read(const std::string& name) const {
  return ReadHostFile(Out / name);
}

std::string ReadHostFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteHostFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  EXPECT_TRUE(out.good()) << path;
}

std::string U32(uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += char((value >> (8 * i)) & 0xFF);
  return bytes;
}
