#include "util/file_helpers.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

// 2020-06-15 12:34:56 UTC, and its DOS date-time (seconds kept to the even second below).
constexpr int64_t June2020 = 1592224496;
constexpr int32_t June2020Dos = (40 << 25) | (6 << 21) | (15 << 16) | (12 << 11) | (34 << 5) | 28;

class FileHelpers : public testing::Test {
protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    prefix.Activate();
    dir = prefix.Host("C:\\d");
    zt::WriteFile(dir / "a.txt", "aaaa");
    zt::SetModified(dir / "a.txt", June2020);
    zt::WriteFile(dir / "ro.txt", "r");
    std::filesystem::permissions(dir / "ro.txt", std::filesystem::perms::owner_read);
    zt::WriteFile(dir / ".hidden", "h");
    std::filesystem::create_directory(dir / "sub");
  }

  std::vector<std::string> Search(const char* pattern, DWORD attributes, DWORD* last = nullptr) {
    std::vector<std::string> names;
    SearchRec record;
    DWORD result = FindFirst(pattern, attributes, record);
    for (; result == 0; result = FindNext(record)) names.push_back(record.Name);
    if (last) *last = result;
    FindClose(record);
    return names;
  }

  zt::Prefix prefix;
  std::filesystem::path dir;
};

TEST_F(FileHelpers, FileAgeExGivesTheLocalDosDateTimeAndRecordsTheSize) {
  EXPECT_EQ(FileAgeEx("C:\\d\\a.txt"), June2020Dos);
  EXPECT_EQ(LastFoundSize, 4);
  EXPECT_TRUE(FileExists("c:\\D\\A.TXT"));
  // Wildcards: the system's first match decides.
  EXPECT_TRUE(FileExists("C:\\d\\a.*"));

  setenv("TZ", "CET-1", 1); // one hour east of UTC, no daylight saving
  tzset();
  EXPECT_EQ(FileAgeEx("C:\\d\\a.txt"), June2020Dos + (1 << 11));
}

TEST_F(FileHelpers, DirectoriesAndMissingNamesDoNotExist) {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("C:\\d\\sub", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ::FindClose(h);
  LastFoundSize = 12345;
  EXPECT_FALSE(FileExists("C:\\d\\sub"));
  EXPECT_EQ(LastFoundSize, static_cast<int32_t>(data.nFileSizeLow));

  LastFoundSize = 12345;
  EXPECT_FALSE(FileExists("C:\\d\\missing.ini"));
  EXPECT_FALSE(FileExists("Q:\\d\\a.txt"));
  EXPECT_EQ(LastFoundSize, 12345);
}

TEST_F(FileHelpers, FilesATimeOutsideDosDateTimesCountsAsMissing) {
  zt::WriteFile(dir / "old.ini", "x");
  zt::SetModified(dir / "old.ini", 315532799); // 1979-12-31 23:59:59 UTC
  EXPECT_FALSE(FileExists("C:\\d\\old.ini"));
  zt::SetModified(dir / "old.ini", 315532800);
  EXPECT_TRUE(FileExists("C:\\d\\old.ini"));
}

TEST_F(FileHelpers, FindFirstAttributeFilter) {
  std::vector<std::string> all = {".", "..", ".hidden", "a.txt", "ro.txt", "sub"};
  EXPECT_EQ(Search("C:\\d\\*", 0x3F), all);
  // Requested 0: hidden, system and directory entries are skipped; read-only is not.
  EXPECT_EQ(Search("C:\\d\\*", 0), (std::vector<std::string>{"a.txt", "ro.txt"}));
  EXPECT_EQ(Search("C:\\d\\*", FILE_ATTRIBUTE_DIRECTORY),
            (std::vector<std::string>{".", "..", "a.txt", "ro.txt", "sub"}));
}

TEST_F(FileHelpers, FindFirstFailures) {
  SearchRec record;
  // Only skipped entries: end of list, and no search left open.
  EXPECT_EQ(FindFirst("C:\\d\\sub", 0, record), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_EQ(record.Handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirst("C:\\d\\nothing*", 0x3F, record), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(record.Handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirst("C:\\nowhere\\*", 0x3F, record), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileHelpers, FindNextAtTheEndLeavesTheSearchOpen) {
  SearchRec record;
  ASSERT_EQ(FindFirst("C:\\d\\a.txt", 0x3F, record), 0u);
  EXPECT_STREQ(record.Name, "a.txt");
  EXPECT_EQ(record.Size, 4u);
  EXPECT_EQ(record.Time, June2020Dos);
  EXPECT_EQ(record.Attributes, static_cast<uint32_t>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(FindNext(record), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_NE(record.Handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindNext(record), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  FindClose(record);
  EXPECT_EQ(record.Handle, INVALID_HANDLE_VALUE);
  FindClose(record); // a second close does nothing
}

TEST_F(FileHelpers, DeleteFileReportsThroughItsResult) {
  EXPECT_TRUE(DeleteFile("C:\\d\\a.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.txt"));
  EXPECT_FALSE(DeleteFile("C:\\d\\a.txt"));
  EXPECT_FALSE(DeleteFile("C:\\d\\sub"));
  EXPECT_TRUE(std::filesystem::exists(dir / "sub"));
}

TEST_F(FileHelpers, FileSetDateStampsTheLastWriteTime) {
  HANDLE h = CreateFileA("C:\\d\\new.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileSetDate(h, June2020Dos), 0u);
  // A date the system refuses (month 13) changes nothing.
  int32_t month13 = (40 << 25) | (13 << 21) | (1 << 16);
  EXPECT_EQ(FileSetDate(h, month13), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  int32_t seconds30 = (40 << 25) | (1 << 21) | (1 << 16) | 30;
  EXPECT_EQ(FileSetDate(h, seconds30), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  CloseHandle(h);
  EXPECT_EQ(zt::Modified(dir / "new.bin"), June2020);
}

} // namespace
