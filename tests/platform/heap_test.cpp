#include "prefix.h"

#include <stdlib.h>
#include <string.h>

namespace {

class Win32Heap : public ::testing::Test {
protected:
  void TearDown() override { unsetenv("ZARVO_SETUP_HEAP_LIMIT"); }
  HANDLE heap = GetProcessHeap();
};

TEST_F(Win32Heap, ReAllocKeepsTheContentsWhereverTheBlockGoes) {
  ASSERT_NE(heap, nullptr);
  char* block = static_cast<char*>(HeapAlloc(heap, 0, 16));
  ASSERT_NE(block, nullptr);
  memcpy(block, "0123456789abcdef", 16);
  block = static_cast<char*>(HeapReAlloc(heap, 0, block, 1 << 20));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(memcmp(block, "0123456789abcdef", 16), 0);
  block = static_cast<char*>(HeapReAlloc(heap, 0, block, 4));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(memcmp(block, "0123", 4), 0);
  EXPECT_TRUE(HeapFree(heap, 0, block));
}

TEST_F(Win32Heap, ZeroMemoryFlagClearsNewBytes) {
  unsigned char* block = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
  memset(block, 0xFF, 64);
  block = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 128));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0xFF);
  for (int i = 64; i < 128; ++i) EXPECT_EQ(block[i], 0);
  HeapFree(heap, 0, block);
}

TEST_F(Win32Heap, ZeroSizedBlocksAreRealBlocks) {
  void* block = HeapAlloc(heap, 0, 0);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(HeapFree(heap, 0, block));
}

TEST_F(Win32Heap, BlocksTheHeapDoesNotKnowAreRefused) {
  char local[16];
  SetLastError(0);
  EXPECT_FALSE(HeapFree(heap, 0, local));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(HeapReAlloc(heap, 0, local, 32), nullptr);
  EXPECT_EQ(HeapReAlloc(heap, 0, nullptr, 32), nullptr);
  void* block = HeapAlloc(heap, 0, 8);
  ASSERT_TRUE(HeapFree(heap, 0, block));
  EXPECT_FALSE(HeapFree(heap, 0, block)); // a second release
  EXPECT_TRUE(HeapFree(heap, 0, nullptr));
  EXPECT_EQ(HeapAlloc(reinterpret_cast<HANDLE>(0x1234), 0, 8), nullptr);
}

TEST_F(Win32Heap, RequestsOf2GiBFailAsIn32Bits) {
  SetLastError(0);
  EXPECT_EQ(HeapAlloc(heap, 0, 0x80000000u), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(HeapAlloc(heap, 0, static_cast<SIZE_T>(-1)), nullptr);
  void* block = HeapAlloc(heap, 0, 8);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(HeapReAlloc(heap, 0, block, 0x80000000u), nullptr);
  EXPECT_TRUE(HeapFree(heap, 0, block)); // the block survives a failed resize
}

TEST_F(Win32Heap, LimitCapsTheLiveTotal) {
  setenv("ZARVO_SETUP_HEAP_LIMIT", "1000", 1);
  void* a = HeapAlloc(heap, 0, 600);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(HeapAlloc(heap, 0, 401), nullptr);
  void* b = HeapAlloc(heap, 0, 400);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(HeapReAlloc(heap, 0, b, 401), nullptr);
  ASSERT_TRUE(HeapFree(heap, 0, a));
  b = HeapReAlloc(heap, 0, b, 1000);
  EXPECT_NE(b, nullptr);
  EXPECT_TRUE(HeapFree(heap, 0, b));
  unsetenv("ZARVO_SETUP_HEAP_LIMIT");
  void* big = HeapAlloc(heap, 0, 1 << 20);
  EXPECT_NE(big, nullptr);
  HeapFree(heap, 0, big);
}

} // namespace
