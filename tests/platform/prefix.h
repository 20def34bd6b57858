// A throwaway Wine-style prefix per test: dosdevices/c: -> ../drive_c and z: -> /, WINEPREFIX
// pointing at it, and the current directory at C:\.
#pragma once

#include "platform/win32.h"

#include <gtest/gtest.h>
#include <string>

class PrefixTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Host path of a path under drive_c ("a/b" -> <prefix>/drive_c/a/b).
  std::string Host(const std::string& underC) const { return driveC + "/" + underC; }
  void MakeDir(const std::string& underC) const;
  void MakeFile(const std::string& underC, const std::string& content = "") const;
  std::string ReadHost(const std::string& underC) const;
  bool HostExists(const std::string& underC) const;
  void ChmodHost(const std::string& underC, unsigned mode) const;

  std::string prefix; // the prefix folder
  std::string driveC; // its drive_c
  std::string savedCwd;
};

// Runs `body` in a child process and returns its exit status (-1 if it did not exit).
// stdinText, when given, is what the child reads on stdin; the child's stderr goes to *err.
int RunInChild(void (*body)(void*), void* arg, const char* stdinText = nullptr,
               std::string* err = nullptr);

std::string ReadWholeFile(const std::string& hostPath);
