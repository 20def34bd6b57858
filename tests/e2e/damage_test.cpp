// Damaged payloads: the small installer cut at every byte and with bits flipped in every header
// field and every stream. Whatever the damage, the run ends in a documented way, never by a
// signal or a hang, installs no wrong content under an entry's name, and changes nothing outside
// the Zarvo directory. The cases are split into shards that CTest runs side by side.
#include "hardening.h"

#include <gtest/gtest.h>

namespace e2e::hardening {
namespace {

constexpr int Shards = 4;

// Each installed name holds its entry's content or is absent; returns how many are there.
int CheckInstalledContent(const Bench& bench, const std::string& what) {
  int present = 0;
  for (const InstalledEntry& e : Small().Entries) {
    if (!zt::fs::exists(bench.Zarvo(e.InstalledName))) continue;
    present++;
    EXPECT_EQ(zt::ReadFile(bench.Zarvo(e.InstalledName)), e.Installed())
        << what << ": " << e.InstalledName << " holds other bytes";
  }
  return present;
}

// Entries before `count` are installed whole, the others not at all.
void ExpectFirstInstalled(const Bench& bench, size_t count, const std::string& what) {
  const std::vector<InstalledEntry>& entries = Small().Entries;
  for (size_t i = 0; i < entries.size(); i++)
    EXPECT_EQ(zt::fs::exists(bench.Zarvo(entries[i].InstalledName)), i < count)
        << what << ": " << entries[i].InstalledName;
}

class Truncated : public testing::TestWithParam<int> {};

TEST_P(Truncated, EndsWithError100AndKeepsTheEntriesBefore) {
  const SmallInstaller& small = Small();
  const size_t titleEnd = 5 + TitleString.size();
  Bench bench;
  for (size_t cut = size_t(GetParam()); cut < small.Payload.size(); cut += Shards) {
    std::string what = "payload cut to " + std::to_string(cut) + " bytes";
    RunOutcome run = bench.Run(small.Payload.substr(0, cut));
    End end;
    ASSERT_TRUE(Documented(run, &end)) << what;
    EXPECT_EQ(end.How, End::RunError) << what;
    EXPECT_EQ(end.Number, 100) << what;
    EXPECT_EQ(end.Confirmed, cut >= titleEnd) << what;
    EXPECT_FALSE(end.CursorRestored) << what;
    size_t whole = 0;
    while (whole < small.EntryEnds.size() && small.EntryEnds[whole] <= cut) whole++;
    ExpectFirstInstalled(bench, whole, what);
    CheckInstalledContent(bench, what);
    EXPECT_TRUE(zt::fs::exists(bench.Zarvo("a.old"))) << what << ": the cleanup ran";
    EXPECT_EQ(bench.OutsideNow(), bench.Outside()) << what;
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, Truncated, testing::Range(0, Shards));

struct Flip {
  const Field* In;
  size_t Byte; // payload offset
  int Bit;
};

// A handful of bits for each field, spread over its bytes: the low and high bits of a count,
// the case and the punctuation bits of a name, and in a stream its magic, its block header,
// its interior and its last byte, which carries the stream's checksum.
std::vector<Flip> ChosenFlips() {
  std::vector<Flip> flips;
  for (const Field& f : Small().Fields) {
    auto at = [&](size_t byte, int bit) { flips.push_back({&f, f.Offset + byte, bit}); };
    if (f.Stream) {
      for (auto [byte, bit] : {std::pair{0, 0}, {3, 1}, {4, 0}, {11, 3}}) at(size_t(byte), bit);
      for (size_t j = 2; j <= 6; j++) at(f.Length * j / 8, int(j % 8));
      at(f.Length - 1, 0);
      at(f.Length - 1, 7);
    } else if (f.Length == 4) {
      for (int bit : {0, 7, 12, 19, 25, 31}) at(size_t(bit / 8), bit % 8);
    } else if (f.Length == 1) {
      for (int bit : {0, 3, 5, 7}) at(0, bit);
    } else {
      for (int bit : {0, 5}) at(0, bit);
      at(f.Length / 2, 2);
      for (int bit : {1, 6}) at(f.Length - 1, bit);
    }
  }
  return flips;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The entry whose field it is, or -1 for the archive's own fields.
int EntryOf(const Field& f) {
  const std::vector<InstalledEntry>& entries = Small().Entries;
  for (size_t i = 0; i < entries.size(); i++)
    if (f.Name.compare(0, entries[i].Record.name.size() + 1, entries[i].Record.name + " ") == 0)
      return int(i);
  return -1;
}

class Flipped : public testing::TestWithParam<int> {};

TEST_P(Flipped, EndsInADocumentedWayAndInstallsNoWrongContent) {
  const SmallInstaller& small = Small();
  std::vector<Flip> flips = ChosenFlips();
  Bench bench;
  for (size_t n = size_t(GetParam()); n < flips.size(); n += Shards) {
    const Flip& flip = flips[n];
    std::string what = flip.In->Name + ", bit " + std::to_string(flip.Bit) + " of byte " +
                       std::to_string(flip.Byte);
    std::string payload = small.Payload;
    payload[flip.Byte] = char(payload[flip.Byte] ^ (1 << flip.Bit));
    RunOutcome run = bench.Run(payload);
    End end;
    ASSERT_TRUE(Documented(run, &end)) << what;
    if (end.How == End::Fatal) {
      EXPECT_TRUE(end.Message == "Format?" || end.Message == "tdec") << what << ": " << end.Message;
    }
    int present = CheckInstalledContent(bench, what);
    EXPECT_EQ(bench.OutsideNow(), bench.Outside()) << what;

    // What the damaged field itself decides.
    const std::string& field = flip.In->Name;
    int entry = EntryOf(*flip.In);
    if (field == "magic") {
      EXPECT_EQ(end.How, End::Fatal) << what;
      EXPECT_EQ(end.Message, "Format?") << what;
      EXPECT_FALSE(end.Confirmed) << what;
    } else if (EndsWith(field, " date") || EndsWith(field, " installed size")) {
      // Neither is checked: the installation completes, every file whole.
      EXPECT_EQ(end.How, End::Completed) << what;
      EXPECT_EQ(present, int(small.Entries.size())) << what;
    } else if (EndsWith(field, " decoded size")) {
      EXPECT_EQ(end.Message, "tdec") << what;
      ExpectFirstInstalled(bench, size_t(entry), what);
    } else if (flip.In->Stream) {
      // The stream's checksums see the damage, unless the bit is one the decoder never reads.
      if (end.How != End::Completed) {
        EXPECT_EQ(end.Message, "tdec") << what;
        ExpectFirstInstalled(bench, size_t(entry), what);
      }
    } else if (field == "terminator") {
      // Read as an entry's size, with nothing behind it.
      EXPECT_EQ(end.How, End::RunError) << what;
      EXPECT_EQ(end.Number, 100) << what;
      ExpectFirstInstalled(bench, small.Entries.size(), what);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, Flipped, testing::Range(0, Shards));

} // namespace
} // namespace e2e::hardening
