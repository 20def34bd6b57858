#include "convert/pack_line.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "guarded_line.h"
#include "packed_hex.h"

namespace {

std::string Spaces(size_t n) {
  return std::string(n, ' ');
}
std::string Upper(size_t n) {
  return std::string(n, 'Z');
}

// Every line is packed from a guarded copy, so each case also shows that PackLine reads
// nothing past `count`.
std::string Pack(const std::string& line, size_t count) {
  GuardedLine guard;
  PackedLine record;
  std::memset(&record, 0xCC, sizeof record);
  PackLine(guard.Place(line, count), uint8_t(count), record);
  return RecordHex(record);
}
std::string Pack(const std::string& line) {
  return Pack(line, line.size());
}

struct PackCase {
  const char* what;
  std::string line;
  std::string record; // hexadecimal, length byte first
  int count = -1;     // bytes handed to PackLine; -1: the whole line
};

const PackCase PackCases[] = {
    // The worked examples of the encoding.
    {"le chat", "le chat", "05 91 0F 1F 94 60"},
    {"a, three spaces, b", "a   b", "03 4E 2F A0"},
    {"the space after a number is lost", "~12 in", "03 FE 0C 35"},
    {"upper case is literal", "Zoe", "03 FF 5A A1"},
    {"trailing spaces are dropped", "se  ", "01 21"},
    {"twenty spaces, then x", Spaces(20) + "x", "04 EF E3 FF 78"},
    {"x, seventeen spaces, y", "x" + Spaces(17) + "y", "06 FF 78 EF 0F F7 90"},
    {"0x82 is in group B", "\x82", "01 F2"},
    {"0xE9 is literal", "\xE9", "02 FF E9"},
    {"~ alone is the number 0", "~", "02 FE 00"},
    {"numbers are kept modulo 256", "~300", "02 FE 2C"},
    {"the comma after a number is lost", "~7,x", "04 FE 07 FF 78"},
    {"number inside a line", "e ~3 s", "04 10 FE 03 20"},
    {"empty line", "", "00"},
    {"spaces only", Spaces(5), "00"},
    {"a single space", " ", "00"},
    // Space runs.
    {"two spaces", "a  b", "03 4E 1F A0"},
    {"one leading space is group A 0", " e", "01 01"},
    {"16 spaces", Spaces(16) + "x", "03 EF FF 78"},
    {"17 spaces", Spaces(17) + "x", "04 EF 0F F7 80"},
    {"18 spaces", Spaces(18) + "x", "04 EF E1 FF 78"},
    {"32 spaces", Spaces(32) + "x", "04 EF EF FF 78"},
    {"33 spaces", Spaces(33) + "x", "05 EF EF 0F F7 80"},
    {"254 spaces before a byte", Spaces(254) + "e",
     "11" + Repeat("EF", 15) + "ED 10"}, // 15 runs of 16, then a run of 14
    // Numbers.
    {"~256 wraps to 0", "~256", "02 FE 00"},
    {"leading zeros change nothing", "~0255", "02 FE FF"},
    {"a long number is reduced after every digit", "~99999999999999999999", "02 FE FF"},
    {"~ ends the digits and is lost", "~~", "02 FE 00"},
    {"the byte after the digits is lost, the next one kept", "~1ab", "03 FE 01 FA"},
    {"a letter after ~ is lost", "~x", "02 FE 00"},
    {"a number at the end of a line", "x~5", "04 FF 78 FE 05"},
    {"count cuts the number", "~12", "02 FE 01", 2},
    {"count cuts the line after ~", "a~99", "03 4F E0 00", 2},
    {"count 0", "abc", "00", 0},
    {"count cuts trailing text", "le chat", "03 91 0F 10", 4},
    // Literals and group B.
    {"NUL is literal", std::string(1, '\0'), "02 FF 00"},
    {"0xFF is literal", "\xFF", "02 FF FF"},
    {"0x85 is group B 13", "\x85", "01 FD"},
    {"apostrophe, comma, full stop", "',.", "03 F4 F5 F6"},
    {"digits are literal outside numbers", "7", "02 FF 37"},
    {"CR is literal", "a\r", "03 4F F0 D0"},
    // The 253-byte limit.
    {"126 upper-case letters", Upper(126), "FC" + Repeat("FF5A", 126)},
    {"126 upper-case letters and e", Upper(126) + "e", "FD" + Repeat("FF5A", 126) + "10"},
    {"126 upper-case letters and ee", Upper(126) + "ee", "FD" + Repeat("FF5A", 126) + "11"},
    {"127 upper-case letters", Upper(127), "00"},
    {"126 upper-case letters and ees", Upper(126) + "ees", "00"},
    {"a long space run passes the limit", Upper(125) + Spaces(100) + "e", "00"},
    {"a space run just fits", Upper(125) + Spaces(33) + "e",
     "FD" + Repeat("FF5A", 125) + "EF EF 01"},
    {"a space run one nibble too long", Upper(125) + Spaces(33) + "ee", "00"},
    {"255 literals", std::string(255, '\xE9'), "00"},
};

TEST(PackLine, WorkedExamplesAndEdgeCases) {
  for (const PackCase& c : PackCases) {
    size_t count = c.count < 0 ? c.line.size() : size_t(c.count);
    EXPECT_EQ(Pack(c.line, count), NormalHex(c.record)) << c.what;
  }
}

// Each byte value on its own shows its code, which must be the one found by looking the byte
// up in group A first and then in group B.
TEST(PackLine, EveryByteIsCodedAsTheTwoGroupsSay) {
  const std::string groupA = " esianturlodmp";
  const std::string groupB = "vc\x82q',.fghb\":\x85~";
  ASSERT_EQ(groupA.size(), 14u);
  ASSERT_EQ(groupB.size(), 15u);
  for (unsigned x = 0; x < 256; ++x) {
    char hex[16];
    std::string expected;
    size_t a = groupA.find(char(x));
    size_t b = groupB.find(char(x));
    std::string line(1, char(x));
    if (x == ' ') {
      line += 'e'; // a space alone is dropped; before e it is coded
      expected = "01 01";
    } else if (a != std::string::npos) {
      std::snprintf(hex, sizeof hex, "01 %X0", unsigned(a));
      expected = hex;
    } else if (x == '~') {
      expected = "02 FE 00";
    } else if (b != std::string::npos) {
      std::snprintf(hex, sizeof hex, "01 F%X", unsigned(b));
      expected = hex;
    } else {
      std::snprintf(hex, sizeof hex, "02 FF %02X", x);
      expected = hex;
    }
    EXPECT_EQ(Pack(line), expected) << "byte 0x" << std::hex << x;
  }
}

TEST(PackLine, EachCallOverwritesTheRecord) {
  PackedLine record;
  const std::string longLine = Upper(100);
  PackLine(reinterpret_cast<const uint8_t*>(longLine.data()), uint8_t(longLine.size()), record);
  ASSERT_EQ(record.Length, 200);
  const std::string shortLine = "le";
  PackLine(reinterpret_cast<const uint8_t*>(shortLine.data()), 2, record);
  EXPECT_EQ(RecordHex(record), "01 91");
  PackLine(reinterpret_cast<const uint8_t*>(longLine.data()), 0, record);
  EXPECT_EQ(RecordHex(record), "00");
}

} // namespace
