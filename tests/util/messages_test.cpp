#include "util/messages.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

struct ProbeRun {
  int exitCode;
  std::vector<std::string> transcript;
};

ProbeRun RunProbe(zt::Prefix& prefix, const std::vector<std::string>& args) {
  std::filesystem::path log = prefix.Root / "transcript.log";
  std::filesystem::remove(log);
  std::vector<std::string> argv = {UTIL_PROBE};
  argv.insert(argv.end(), args.begin(), args.end());
  zt::RunResult r =
      zt::Run(argv, {"WINEPREFIX=" + prefix.Root.string(), "ZARVO_SETUP_LOG=" + log.string()});
  return {r.ExitCode, zt::ReadLines(log)};
}

TEST(FatalStop, ShowsTheMessageUnderTheErrorCaptionAndEndsWithZero) {
  zt::Prefix prefix;
  struct Case {
    std::string message, shown;
  } cases[] = {
      {"", ""},
      {"tdec", "tdec"},
      {"Mauvaise version\r\rBad version", "Mauvaise version\\r\\rBad version"},
      {std::string(255, 'm'), std::string(255, 'm')},
      {std::string(300, 'n'), std::string(255, 'n')}, // a short string holds 255
  };
  for (const Case& c : cases) {
    ProbeRun run = RunProbe(prefix, {"fatal", c.message});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.transcript,
              (std::vector<std::string>{"box\t0x30\t !!!! ERREUR - ERROR !!!!\t" + c.shown + "\t1",
                                        "exit\t0"}))
        << c.message;
  }
}

TEST(RuntimeErrorReport, TextNumberAndExitCode) {
  zt::Prefix prefix;
  zt::WriteFile(prefix.Host("C:\\one.bin"), "1");
  zt::WriteFile(prefix.Host("C:\\readonly.bin"), "r");
  std::filesystem::permissions(prefix.Host("C:\\readonly.bin"), std::filesystem::perms::owner_read);
  struct Case {
    const char* probe;
    int number;
    const char* textStart;
  } cases[] = {
      {"read-eof", 100, "Runtime error 100 at "},
      {"seek-past-end", 100, "Runtime error 100 at "},
      {"open-missing", 2, "Runtime error   2 at "},
      {"create-readonly", 5, "Runtime error   5 at "},
      {"write-read-only-handle", 103, "Runtime error 103 at "},
      {"close-twice", 103, "Runtime error 103 at "},
      {"heap-unknown", 204, "Runtime error 204 at "},
      {"heap-release-twice", 204, "Runtime error 204 at "},
      {"heap-exhausted", 203, "Runtime error 203 at "},
  };
  std::regex line("box\t0x00\tError\t(Runtime error [ 0-9]{3} at )([0-9A-F]{8})\t1");
  std::vector<std::string> locations;
  for (const Case& c : cases) {
    ProbeRun run = RunProbe(prefix, {c.probe});
    EXPECT_EQ(run.exitCode, c.number) << c.probe;
    ASSERT_EQ(run.transcript.size(), 2u) << c.probe;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(run.transcript[0], m, line)) << run.transcript[0];
    EXPECT_EQ(m[1].str(), c.textStart) << c.probe;
    EXPECT_EQ(run.transcript[1], "exit\t" + std::to_string(c.number));
    locations.push_back(m[2].str());
  }
  // The location names the failing call: a read and an open fail at different places.
  EXPECT_NE(locations[0], locations[2]);
  // ... and the same place every run.
  ProbeRun again = RunProbe(prefix, {"read-eof"});
  EXPECT_NE(again.transcript.at(0).find(locations[0]), std::string::npos);
}

TEST(ChangeDirectory, FailureIsPendingUntilTakenAndShowsNothing) {
  zt::Prefix prefix;
  ProbeRun run = RunProbe(prefix, {"chdir"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.transcript, (std::vector<std::string>{"exit\t0"}));
}

TEST(Heap, NullAndZeroSizes) {
  EXPECT_EQ(HeapAllocate(0), nullptr);
  HeapRelease(nullptr);
  char* block = static_cast<char*>(HeapResize(nullptr, 3));
  ASSERT_NE(block, nullptr);
  block[0] = 'a', block[1] = 'b', block[2] = 'c';
  block = static_cast<char*>(HeapResize(block, 100000));
  EXPECT_EQ(std::string(block, 3), "abc");
  block = static_cast<char*>(HeapResize(block, 2));
  EXPECT_EQ(std::string(block, 2), "ab");
  EXPECT_EQ(HeapResize(block, 0), nullptr);
}

} // namespace
