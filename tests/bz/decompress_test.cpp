#include "bz/bz.h"

#include <bzlib.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bz/decoder_hooks.h"
#include "heap_calls.h"
#include "util/messages.h"

namespace {

std::string Compress(const std::string& data, int blockSize = 9) {
  std::vector<char> out(data.size() + data.size() / 100 + 700);
  unsigned length = unsigned(out.size());
  int status = BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(data.data()),
                                        unsigned(data.size()), blockSize, 0, 0);
  EXPECT_EQ(status, BZ_OK);
  return std::string(out.data(), length);
}

// Text that compresses about ten to one, the way content does.
std::string Text(size_t size, unsigned seed = 7) {
  static const char* const words[] = {"le ", "chat ", "dort ", "sur ", "la ", "table.\n"};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) text += words[random() % 6];
  text.resize(size);
  return text;
}

struct Decoded {
  std::string Bytes;
  int32_t Count = 0;
  bool Null = true;
  HeapCalls Heap;
};

Decoded Decode(const std::string& compressed, int32_t compressedSize, int32_t estimate) {
  void* block = reinterpret_cast<void*>(1);
  Decoded result;
  StartHeapCalls();
  DecompressBuffer(compressed.data(), compressedSize, estimate, block, result.Count);
  result.Heap = StopHeapCalls();
  result.Null = block == nullptr;
  if (block != nullptr && result.Count > 0) {
    result.Bytes.assign(static_cast<char*>(block), size_t(result.Count));
    result.Heap.Live.erase(block);
  }
  HeapRelease(block);
  return result;
}
Decoded Decode(const std::string& compressed, int32_t estimate) {
  return Decode(compressed, int32_t(compressed.size()), estimate);
}

// Boxes come back from the transcript that the platform layer writes to ZARVO_SETUP_LOG.
class Decompress : public testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/zarvo-bz-XXXXXX";
    int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    log_ = pattern;
    setenv("ZARVO_SETUP_LOG", log_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ZARVO_SETUP_LOG");
    unlink(log_.c_str());
  }
  // "flags<TAB>caption<TAB>text" of every box shown so far.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> boxes;
    std::ifstream in(log_);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("box\t", 0) != 0) continue;
      std::string rest = line.substr(4);
      size_t answer = rest.rfind('\t');
      boxes.push_back(rest.substr(0, answer));
    }
    return boxes;
  }

  std::string log_;
};

// Capacities by the rule: the estimate (or the growth step) first, then growth by one step,
// or by half the capacity once that is more, until the output fits; then the exact length.
struct Expected {
  uint32_t First;
  std::vector<uint32_t> Resizes;
};
Expected Sizing(uint32_t compressedSize, int32_t estimate, uint32_t decodedLength) {
  uint32_t step = (compressedSize + 255) / 256 * 256;
  Expected e{estimate > 0 ? uint32_t(estimate) : step, {}};
  for (uint32_t capacity = e.First; capacity < decodedLength;) {
    capacity += std::max(step, capacity / 2);
    e.Resizes.push_back(capacity);
  }
  e.Resizes.push_back(decodedLength);
  return e;
}

struct SizingCase {
  const char* what;
  size_t decodedLength;
  size_t compressedSize; // the stream padded with trailing zeros to this size; 0: as it is
  int32_t estimate;      // -1: the decoded length
  std::vector<uint32_t> firstResizes = {}; // spelled out where the rule is worth seeing
};

TEST_F(Decompress, SizesTheBlockAndGrowsItByTheGrowthStepThenByHalves) {
  const SizingCase cases[] = {
      {"estimate equal to the decoded length", 5000, 0, -1},
      {"no estimate", 5000, 0, 0},
      {"estimate larger than the decoded length", 5000, 0, 5777},
      {"estimate too small", 9000, 1000, 1, {1025, 2049, 3073}},
      {"compressed size 300: growth step 512", 2000, 300, 0, {1024, 1536, 2304, 2000}},
      {"compressed size 256: growth step 256", 1000, 256, 0, {512, 768, 1152, 1000}},
      {"compressed size 257: growth step 512", 1000, 257, 0, {1024, 1000}},
      {"a negative estimate counts as none", 1000, 300, -7, {1024, 1000}},
  };
  for (const SizingCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string data = Text(c.decodedLength);
    std::string compressed = Compress(data);
    if (c.compressedSize != 0) {
      ASSERT_LE(compressed.size(), c.compressedSize);
      compressed.resize(c.compressedSize, '\0');
    }
    int32_t estimate = c.estimate == -1 ? int32_t(data.size()) : c.estimate;
    Decoded d = Decode(compressed, estimate);

    EXPECT_EQ(d.Count, int32_t(data.size()));
    EXPECT_TRUE(d.Bytes == data);
    Expected e = Sizing(uint32_t(compressed.size()), estimate, uint32_t(data.size()));
    ASSERT_FALSE(d.Heap.Allocations.empty());
    EXPECT_EQ(d.Heap.Allocations.front(), e.First);
    EXPECT_EQ(d.Heap.Resizes, e.Resizes);
    for (size_t i = 0; i < c.firstResizes.size(); ++i) {
      ASSERT_LT(i, d.Heap.Resizes.size());
      EXPECT_EQ(d.Heap.Resizes[i], c.firstResizes[i]);
    }
    // The decoder ended and gave all of its memory back.
    EXPECT_TRUE(d.Heap.Live.empty());
    EXPECT_TRUE(Boxes().empty());
  }
}

// A few dozen bytes of stream can decode to tens of megabytes. Grown by a fixed step, the
// block would be copied hundreds of thousands of times (minutes under ASan, or on a heap
// that moves large blocks); grown by halves it takes a few dozen resizes.
TEST_F(Decompress, AStreamFarLargerThanItsEstimateTakesFewResizes) {
  std::string data(64u << 20, '\0');
  std::string compressed = Compress(data);
  ASSERT_LT(compressed.size(), 256u);
  Decoded d = Decode(compressed, 1);
  EXPECT_EQ(d.Count, int32_t(data.size()));
  EXPECT_TRUE(d.Bytes == data);
  EXPECT_LT(d.Heap.Resizes.size(), 40u);
  EXPECT_TRUE(d.Heap.Live.empty());
}

TEST_F(Decompress, EmptyStreamGivesNoBlock) {
  Decoded d = Decode(Compress(""), 0);
  EXPECT_EQ(d.Count, 0);
  EXPECT_TRUE(d.Null);
  EXPECT_EQ(d.Heap.Resizes, std::vector<uint32_t>{0});
  EXPECT_TRUE(d.Heap.Live.empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Decompress, DataAfterTheStreamIsIgnored) {
  std::string first = Text(4000, 1), second = Text(3000, 2);
  for (std::string tail : {std::string("garbage after the end"), Compress(second)}) {
    Decoded d = Decode(Compress(first) + tail, int32_t(first.size()));
    EXPECT_EQ(d.Count, int32_t(first.size()));
    EXPECT_TRUE(d.Bytes == first);
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Decompress, SizeOfZeroOrLessDecodesNothing) {
  std::string compressed = Compress("some text");
  for (int32_t size : {0, -1, INT32_MIN}) {
    Decoded d = Decode(compressed, size, 9);
    EXPECT_EQ(d.Count, 0) << size;
    EXPECT_TRUE(d.Null) << size;
    EXPECT_TRUE(d.Heap.Allocations.empty()) << size;
  }
  EXPECT_TRUE(Boxes().empty());
}

enum : int32_t { AnyOtherCount = INT32_MIN }; // damage decoded to garbage of some length

struct FailureCase {
  const char* what;
  std::string stream;
  int32_t estimate;
  int32_t count; // what the caller is handed
  std::vector<std::string> boxes;
};

// A damaged stream ends the decoding at once, with one box per failing status, and hands back
// a count that the caller's check against the entry's decoded size refuses.
TEST_F(Decompress, DamagedStreamsEndTheLoop) {
  const std::string data = Text(20000);
  const int32_t size = int32_t(data.size());
  const std::string good = Compress(data);

  std::string wrongMagic = good;
  wrongMagic[0] = 'X';
  std::string badDigit = good;
  badDigit[3] = '0';
  // After "BZh9", the 6-byte block magic and the 4-byte block checksum: a randomised bit,
  // then the 24-bit start pointer, here set far past any block.
  std::string badHeader = good;
  badHeader.replace(14, 4, "\x7F\xFF\xFF\xFF");
  std::string damaged = good;
  for (size_t i = good.size() / 2; i < good.size() / 2 + 8; ++i) damaged[i] = char(~damaged[i]);
  // The block's bytes come out whole before its checksum is compared.
  std::string badChecksum = good;
  badChecksum[10] = char(~badChecksum[10]);
  const std::string cutShort = good.substr(0, good.size() / 2);
  const std::string lastByteMissing = good.substr(0, good.size() - 1);

  const FailureCase cases[] = {
      {"wrong magic", wrongMagic, size, 0, {"0x10\tCODE -5\tERROR"}},
      {"block size digit 0", badDigit, size, 0, {"0x10\tCODE -5\tERROR"}},
      {"damaged block header", badHeader, size, 0, {"0x10\tCODE -4\tERROR"}},
      {"damaged block data", damaged, size, AnyOtherCount, {"0x10\tCODE -4\tERROR"}},
      {"cut short", cutShort, size, 0, {}},
      // Every byte came out, but the stream never proved itself whole.
      {"block checksum wrong", badChecksum, size, -1, {"0x10\tCODE -4\tERROR"}},
      {"last byte missing", lastByteMissing, size, -1, {}},
      {"wrong magic, no estimate", wrongMagic, 0, -1, {"0x10\tCODE -5\tERROR"}},
      {"one byte of garbage", "X", size, 0, {"0x10\tCODE -5\tERROR"}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> before = Boxes();
    Decoded d = Decode(c.stream, c.estimate);
    std::vector<std::string> shown = Boxes();
    shown.erase(shown.begin(), shown.begin() + long(before.size()));
    EXPECT_EQ(shown, c.boxes);
    if (c.count != AnyOtherCount) {
      EXPECT_EQ(d.Count, c.count);
    }
    EXPECT_NE(d.Count, c.estimate);
    EXPECT_EQ(d.Null, d.Count <= 0);
    // Ended once: the decoder's memory is back, and no block outlives the call but the one
    // handed back.
    EXPECT_TRUE(d.Heap.Live.empty());
    // The block grew only while bytes kept coming.
    uint32_t step = uint32_t(c.stream.size() + 255) / 256 * 256;
    uint32_t most = uint32_t(std::max(c.estimate, d.Count));
    uint32_t room = most + std::max(step, most / 2);
    for (uint32_t capacity : d.Heap.Resizes) EXPECT_LE(capacity, room);
  }
}

TEST_F(Decompress, CheckStatusShowsNegativeStatusesOnly) {
  const struct {
    int32_t status;
    const char* caption; // nullptr: no box
  } cases[] = {
      {0, nullptr},      {4, nullptr},        {1, nullptr},
      {-1, "CODE -1"},   {-4, "CODE -4"},     {-5, "CODE -5"},
      {-10, "CODE -10"}, {-123, "CODE -123"}, {INT32_MIN, "CODE -2147483648"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> before = Boxes();
    EXPECT_EQ(CheckStatus(c.status), c.status);
    std::vector<std::string> shown = Boxes();
    shown.erase(shown.begin(), shown.begin() + long(before.size()));
    std::vector<std::string> expected;
    if (c.caption != nullptr) expected.push_back(std::string("0x10\t") + c.caption + "\tERROR");
    EXPECT_EQ(shown, expected) << c.status;
  }
}

TEST_F(Decompress, HooksTakeTheDecodersMemoryFromTheProgramHeap) {
  StartHeapCalls();
  void* block = DecoderAllocate(nullptr, 3, 5);
  void* empty = DecoderAllocate(nullptr, 0, 5);
  HeapCalls calls = StopHeapCalls();
  EXPECT_NE(block, nullptr);
  EXPECT_NE(empty, nullptr); // the decoder takes null for exhausted memory
  EXPECT_EQ(calls.Allocations, (std::vector<uint32_t>{15, 1}));
  StartHeapCalls();
  DecoderRelease(nullptr, block);
  DecoderRelease(nullptr, empty);
  DecoderRelease(nullptr, nullptr);
  EXPECT_TRUE(StopHeapCalls().Live.empty());
}

using DecompressDeathTest = Decompress;

// A product that does not fit 32 bits is a request the heap can't meet, not a small block.
TEST_F(DecompressDeathTest, OversizedHookRequestsAreExhaustion) {
  const struct {
    int items, size;
  } cases[] = {{0x10000, 0x10000}, {0x7FFFFFFF, 3}, {-1, 4}, {4, -1}};
  for (const auto& c : cases) {
    EXPECT_EXIT(DecoderAllocate(nullptr, c.items, c.size), testing::ExitedWithCode(203), "")
        << c.items << " x " << c.size;
  }
  std::vector<std::string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 4u);
  for (const std::string& box : boxes)
    EXPECT_EQ(box.rfind("0x00\tError\tRuntime error 203 at ", 0), 0u) << box;
}

} // namespace
