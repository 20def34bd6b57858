#include "output_dir.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "platform/win32.h"

OutputDir::OutputDir() : Root(Prefix.Root), Out(Prefix.Host("C:\\out")) {
  fs::create_directories(Out);
  Prefix.Activate();
  if (!SetCurrentDirectoryA("C:\\out")) ADD_FAILURE() << "SetCurrentDirectoryA failed";
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
