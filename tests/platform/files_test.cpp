#include "prefix.h"

#include <sys/stat.h>

namespace {

using Files = PrefixTest;

HANDLE Create(const char* name, DWORD disposition, DWORD access = GENERIC_READ | GENERIC_WRITE,
              DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE) {
  return CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(Files, WriteSeekReadRoundTrip) {
  MakeDir("ZARVO");
  HANDLE h = Create("C:\\ZARVO\\ab.ini", CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  DWORD done = 99;
  ASSERT_TRUE(WriteFile(h, "hello world", 11, &done, nullptr));
  EXPECT_EQ(done, 11u);
  EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(done, 5u);
  EXPECT_STREQ(buffer, "world");
  // At and past the end: success with nothing read.
  ASSERT_TRUE(ReadFile(h, buffer, 4, &done, nullptr));
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(SetFilePointer(h, 100, nullptr, FILE_BEGIN), 100u);
  ASSERT_TRUE(ReadFile(h, buffer, 4, &done, nullptr));
  EXPECT_EQ(done, 0u);
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_EQ(ReadHost("ZARVO/ab.ini"), "hello world");
}

} // namespace
