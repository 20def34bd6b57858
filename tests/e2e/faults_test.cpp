// Failures of the system under a small installation: each checked file operation made to fail
// at each point where the installer calls it, and the heap made to refuse each request. The run
// ends with the runtime error report for the failure, the cursor left as it was, no completion
// box and no launch; what was written before stays, the file being written keeps its bytes so
// far, and nothing is rolled back.
#include "hardening.h"

#include <gtest/gtest.h>

namespace e2e::hardening {
namespace {

// One call of the system in the installation, in order, and the state of the disk and the
// boxes when it fails.
struct Point {
  std::string Call, What;
  bool Confirmed;      // the question was answered before it
  size_t Whole;        // entries installed whole before it
  int WritesDone;      // of entry `Whole`: -1 when its file does not exist yet
  bool CursorRestored; // the closing action had begun
};

std::vector<Point> Points() {
  std::vector<Point> points;
  bool confirmed = false;
  size_t whole = 0;
  auto add = [&](const std::string& call, const std::string& what, int writesDone = -1) {
    points.push_back({call, what, confirmed, whole, writesDone, false});
  };
  add("CreateFileA", "open of the installer");
  add("SetFilePointer", "seek to the payload");
  for (const char* what : {"magic", "title length", "title"}) add("ReadFile", what);
  confirmed = true;
  for (const InstalledEntry& e : Small().Entries) {
    std::string n = e.Record.name + " ";
    for (const char* what : {"compressed size", "name length", "name"}) add("ReadFile", n + what);
    if (e.Record.installedSize) add("ReadFile", n + "installed size");
    for (const char* what : {"decoded size", "date", "stream"}) add("ReadFile", n + what);
    add("CreateFileA", "create of " + e.InstalledName);
    for (size_t w = 0; w < e.Writes.size(); w++)
      add("WriteFile", e.InstalledName + " write " + std::to_string(w + 1), int(w));
    add("CloseHandle", "close of " + e.InstalledName, int(e.Writes.size()));
    whole++;
  }
  add("ReadFile", "terminator");
  add("CloseHandle", "close of the installer");
  points.back().CursorRestored = true;
  return points;
}

// The system error each call fails with.
int CodeFor(const std::string& call) {
  if (call == "CreateFileA") return 5;      // access denied
  if (call == "SetFilePointer") return 131; // negative seek
  if (call == "ReadFile") return 23;        // data error (CRC)
  if (call == "WriteFile") return 112;      // disk full
  return 6;                                 // invalid handle
}

void ExpectDisk(const Bench& bench, size_t whole, int writesDone, const std::string& what) {
  const std::vector<InstalledEntry>& entries = Small().Entries;
  for (size_t i = 0; i < entries.size(); i++) {
    zt::fs::path file = bench.Zarvo(entries[i].InstalledName);
    if (i < whole) {
      EXPECT_EQ(zt::ReadFile(file), entries[i].Installed()) << what << ": " << file;
    } else if (i == whole && writesDone >= 0) {
      std::string sofar;
      for (int w = 0; w < writesDone; w++) sofar += entries[i].Writes[size_t(w)];
      EXPECT_EQ(zt::ReadFile(file), sofar) << what << ": the partial " << file;
    } else {
      EXPECT_FALSE(zt::fs::exists(file)) << what << ": " << file;
    }
  }
  EXPECT_TRUE(zt::fs::exists(bench.Zarvo("a.old"))) << what << ": the cleanup ran";
  EXPECT_EQ(bench.OutsideNow(), bench.Outside()) << what;
}

class FileFault : public testing::TestWithParam<std::string> {};

TEST_P(FileFault, AtEachCallEndsWithItsReportAndKeepsWhatWasWritten) {
  const std::string& call = GetParam();
  const int code = CodeFor(call);
  Bench bench;
  int nth = 0;
  for (const Point& p : Points()) {
    if (p.Call != call) continue;
    std::string fault = call + "#" + std::to_string(++nth) + "=" + std::to_string(code);
    std::string what = fault + " (" + p.What + ")";
    RunOutcome run = bench.Run(Small().Payload, {"ZARVO_SETUP_FAULTS=" + fault});
    End end;
    ASSERT_TRUE(Documented(run, &end)) << what;
    EXPECT_EQ(end.How, End::RunError) << what;
    EXPECT_EQ(end.Number, code) << what;
    EXPECT_EQ(end.Confirmed, p.Confirmed) << what;
    EXPECT_EQ(end.CursorRestored, p.CursorRestored) << what;
    EXPECT_EQ(end.StatusBoxes, 0) << what;
    ExpectDisk(bench, p.Whole, p.WritesDone, what);
  }
  ASSERT_GT(nth, 0);

  // One call more than the installation makes: the fault never fires.
  std::string fault = call + "#" + std::to_string(nth + 1) + "=" + std::to_string(code);
  RunOutcome run = bench.Run(Small().Payload, {"ZARVO_SETUP_FAULTS=" + fault});
  End end;
  ASSERT_TRUE(Documented(run, &end)) << fault;
  EXPECT_EQ(end.How, End::Completed) << fault << ": the installation makes more calls";
  EXPECT_FALSE(zt::fs::exists(bench.Zarvo("a.old"))) << fault;
  for (const InstalledEntry& e : Small().Entries)
    EXPECT_EQ(zt::ReadFile(bench.Zarvo(e.InstalledName)), e.Installed()) << fault;
}

INSTANTIATE_TEST_SUITE_P(Calls, FileFault,
                         testing::Values("CreateFileA", "SetFilePointer", "ReadFile", "WriteFile",
                                         "CloseHandle"),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

// Entries installed whole, from the first; fails when one is partial or out of order.
size_t InstalledPrefix(const Bench& bench, const std::string& what) {
  const std::vector<InstalledEntry>& entries = Small().Entries;
  size_t whole = 0;
  while (whole < entries.size() && zt::fs::exists(bench.Zarvo(entries[whole].InstalledName))) {
    EXPECT_EQ(zt::ReadFile(bench.Zarvo(entries[whole].InstalledName)), entries[whole].Installed())
        << what;
    whole++;
  }
  for (size_t i = whole; i < entries.size(); i++)
    EXPECT_FALSE(zt::fs::exists(bench.Zarvo(entries[i].InstalledName))) << what;
  return whole;
}

class HeapFault : public testing::TestWithParam<std::string> {};

// Every heap request comes before the entry's file is created, the decoder's own included, and
// a refused one is never handed to the decoder as a null block (no "CODE -3" box).
TEST_P(HeapFault, AtEachRequestEndsWithError203) {
  const std::string& call = GetParam();
  Bench bench;
  size_t before = 0;
  for (int nth = 1;; nth++) {
    ASSERT_LT(nth, 100) << "the fault never let the installation complete";
    std::string fault = call + "#" + std::to_string(nth) + "=8";
    RunOutcome run = bench.Run(Small().Payload, {"ZARVO_SETUP_FAULTS=" + fault});
    End end;
    ASSERT_TRUE(Documented(run, &end)) << fault;
    if (end.How == End::Completed) {
      EXPECT_GT(nth, 1) << "no " << call << " at all";
      break;
    }
    EXPECT_EQ(end.How, End::RunError) << fault;
    EXPECT_EQ(end.Number, 203) << fault;
    EXPECT_TRUE(end.Confirmed) << fault;
    EXPECT_EQ(end.StatusBoxes, 0) << fault;
    size_t whole = InstalledPrefix(bench, fault);
    EXPECT_GE(whole, before) << fault;
    before = whole;
    EXPECT_TRUE(zt::fs::exists(bench.Zarvo("a.old"))) << fault;
    EXPECT_EQ(bench.OutsideNow(), bench.Outside()) << fault;
  }
  EXPECT_EQ(before, Small().Entries.size() - 1) << "the last entry never met a refusal";
}

INSTANTIATE_TEST_SUITE_P(Calls, HeapFault, testing::Values("HeapAlloc", "HeapReAlloc"),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

// Exhausted memory without injected faults: a size that can't be allocated, and a heap too small
// for an entry or for the decoder's own tables. (A release of a block the heap does not know,
// error 204, can't be reached from a payload: the installer releases only blocks it was given.)
struct Exhaustion {
  const char* Name;
  std::vector<RawEntry> Entries;
  std::vector<std::string> Env;
  size_t Whole; // entries installed before the report
};

void PrintTo(const Exhaustion& c, std::ostream* os) {
  *os << c.Name;
}

class HeapExhausted : public testing::TestWithParam<Exhaustion> {};

TEST_P(HeapExhausted, EndsWithError203) {
  const Exhaustion& c = GetParam();
  Bench bench;
  RunOutcome run = bench.Run(Archive("T|*.old", c.Entries), c.Env);
  End end;
  ASSERT_TRUE(Documented(run, &end));
  EXPECT_EQ(end.How, End::RunError);
  EXPECT_EQ(end.Number, 203);
  EXPECT_TRUE(end.Confirmed);
  EXPECT_EQ(end.StatusBoxes, 0);
  for (size_t i = 0; i < c.Entries.size(); i++)
    EXPECT_EQ(zt::fs::exists(bench.Zarvo(c.Entries[i].name)), i < c.Whole) << c.Entries[i].name;
  EXPECT_TRUE(zt::fs::exists(bench.Zarvo("a.old")));
}

const RawEntry First{.name = "first.txt", .content = "premier"};

INSTANTIATE_TEST_SUITE_P(
    Cases, HeapExhausted,
    testing::Values(
        // 4 GiB less one byte: more than a 32-bit process can ever have.
        Exhaustion{"CompressedSizeBeyondTheAddressSpace",
                   {First, {.name = "huge.bin", .content = "x", .compressedSize = 0xFFFFFFFF}},
                   {},
                   1},
        // The decoder's tables for block size 9 take some 3.7 MB; the 8 MB block does not fit.
        Exhaustion{"DecodedSizeBeyondTheHeap",
                   {First, {.name = "big.bin", .content = std::string(8000000, '\0')}},
                   {"ZARVO_SETUP_HEAP_LIMIT=6000000"},
                   1},
        Exhaustion{"DecoderTablesBeyondTheHeap", {First}, {"ZARVO_SETUP_HEAP_LIMIT=2000000"}, 0}),
    [](const testing::TestParamInfo<Exhaustion>& info) { return std::string(info.param.Name); });

} // namespace
} // namespace e2e::hardening
