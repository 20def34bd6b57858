#include "convert/unpack_line.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "convert/pack_line.h"
#include "guarded_line.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> bytes;
  for (int b : list) bytes.push_back(uint8_t(b));
  return bytes;
}

long Unpack(const std::vector<uint8_t>& packed, std::string& text, size_t capacity = 600) {
  std::vector<uint8_t> out(capacity + 1);
  long n = UnpackLine(packed.data(), packed.size(), out.data(), capacity);
  text.assign(out.begin(), out.begin() + (n < 0 ? 0 : n));
  return n;
}

struct UnpackCase {
  const char* what;
  std::vector<uint8_t> packed;
  long length; // -1: refused
  std::string text = "";
};

const UnpackCase UnpackCases[] = {
    {"nothing", {}, 0},
    {"le chat", Bytes({0x91, 0x0F, 0x1F, 0x94, 0x60}), 7, "le chat"},
    {"a number comes back in decimal", Bytes({0xFE, 0x0C, 0x35}), 5, "~12in"},
    {"number 0", Bytes({0xFE, 0x00}), 2, "~0"},
    {"number 255", Bytes({0xFE, 0xFF}), 4, "~255"},
    {"literal", Bytes({0xFF, 0x5A, 0xA1}), 3, "Zoe"},
    {"space runs", Bytes({0xEF, 0x0F, 0xF7, 0x80}), 18, std::string(17, ' ') + "x"},
    {"group B in the last byte", Bytes({0xF2}), 1, "\x82"},
    {"a group A code in the last low half is a character", Bytes({0x91}), 2, "le"},
    {"space run count 0", Bytes({0xE0, 0x41}), -1},
    {"space run cut short", Bytes({0x4E}), -1},
    {"group B element cut short", Bytes({0x4F}), -1},
    {"number element cut short", Bytes({0x4F, 0xE0}), -1},
    {"literal element cut short", Bytes({0x4F, 0xF4}), -1},
    {"literal element missing both halves", Bytes({0xFF}), -1},
    {"ends in a space", Bytes({0x40, 0x00}), -1},
    {"ends in a space run", Bytes({0x4E, 0x10}), -1},
    {"ends in a literal space", Bytes({0xFF, 0x20}), -1},
    {"more bytes than a record holds", std::vector<uint8_t>(254, 0x11), -1},
};

TEST(UnpackLine, DecodesRecordsAndRefusesMalformedOnes) {
  for (const UnpackCase& c : UnpackCases) {
    std::string text;
    EXPECT_EQ(Unpack(c.packed, text), c.length) << c.what;
    if (c.length >= 0) {
      EXPECT_EQ(text, c.text) << c.what;
    }
  }
}

TEST(UnpackLine, RefusesTextThatDoesNotFit) {
  std::string text;
  EXPECT_EQ(Unpack(Bytes({0x91, 0x0F, 0x1F, 0x94, 0x60}), text, 6), -1);
  EXPECT_EQ(Unpack(Bytes({0x91, 0x0F, 0x1F, 0x94, 0x60}), text, 7), 7);
}

// What a line must read as after packing, worked out from the losses the encoding names
// rather than from the packer's steps: numbers become "~" and their value modulo 256, the
// byte after a number's digits disappears, trailing spaces go, and a line whose packed form
// would need 254 bytes or more comes back empty.
const std::string GroupA = " esianturlodmp";
const std::string GroupB = "vc\x82q',.fghb\":\x85";

std::string ExpectedText(const std::string& line) {
  std::string text;
  size_t nibbles = 0;
  size_t pendingSpaces = 0;
  for (size_t i = 0; i < line.size();) {
    char c = line[i++];
    if (c == ' ') {
      text += c;
      ++pendingSpaces;
      continue;
    }
    // Spaces before this byte: full runs of 16 and a remainder.
    nibbles += 2 * (pendingSpaces / 16);
    if (pendingSpaces % 16 == 1) nibbles += 1;
    if (pendingSpaces % 16 >= 2) nibbles += 2;
    pendingSpaces = 0;
    if (c == '~') {
      std::string digits;
      while (i < line.size() && line[i] >= '0' && line[i] <= '9') digits += line[i++];
      if (i < line.size()) ++i; // the byte that ends the digits
      unsigned value = 0;
      for (char d : digits) value = (value * 10 + unsigned(d - '0')) % 256;
      text += "~" + std::to_string(value);
      nibbles += 4;
    } else if (GroupA.find(c) != std::string::npos) {
      text += c;
      nibbles += 1;
    } else if (GroupB.find(c) != std::string::npos) {
      text += c;
      nibbles += 2;
    } else {
      text += c;
      nibbles += 4;
    }
  }
  text.erase(text.size() - pendingSpaces);
  if ((nibbles + 1) / 2 >= 254) return "";
  return text;
}

std::string RandomLine(std::mt19937& random) {
  static const std::string words[] = {
      "le",        "chat", "de",      "la",       "maison",      "qu'il", "est",  "Paris", "ZARVO",
      "\x82t\x82", "\x85", "caf\xE9", "voil\x85", "\"cit\x82\"", "x:y",   "fin.", "un,",   "NUL"};
  std::uniform_int_distribution<int> pick(0, 99);
  std::string line;
  size_t target = size_t(std::uniform_int_distribution<int>(0, 255)(random));
  bool shouting = pick(random) < 15; // long upper-case lines reach the 253-byte limit
  while (line.size() < target) {
    int roll = pick(random);
    if (shouting && roll < 70) {
      line += char('A' + pick(random) % 26);
    } else if (roll < 35) {
      line += words[size_t(pick(random)) % std::size(words)];
    } else if (roll < 60) {
      line += std::string(size_t(1 + pick(random) % (pick(random) < 20 ? 40 : 3)), ' ');
    } else if (roll < 72) {
      line += '~';
      int digits = pick(random) % 5;
      for (int d = 0; d < digits; ++d) line += char('0' + pick(random) % 10);
    } else if (roll < 80) {
      line += char('0' + pick(random) % 10);
    } else if (roll < 88) {
      line += char("ABCDEFGHIJ!?()-"[pick(random) % 15]);
    } else {
      unsigned b = unsigned(std::uniform_int_distribution<int>(0, 255)(random));
      if (b == '\r' || b == '\n') b = 0xE9;
      line += char(b);
    }
  }
  line.resize(target);
  return line;
}

TEST(UnpackLine, PackedLinesComeBackWithExactlyTheNamedLosses) {
  std::mt19937 random(20240517);
  GuardedLine guard;
  PackedLine record;
  size_t emptied = 0, full = 0;
  for (int n = 0; n < 20000; ++n) {
    std::string line = RandomLine(random);
    PackLine(guard.Place(line, line.size()), uint8_t(line.size()), record);
    uint8_t text[600];
    long length = UnpackLine(record.Bytes, record.Length, text, sizeof text);
    ASSERT_GE(length, 0) << "line " << n << ": \"" << line << "\"";
    std::string expected = ExpectedText(line);
    ASSERT_EQ(std::string(reinterpret_cast<char*>(text), size_t(length)), expected)
        << "line " << n << ": \"" << line << "\"";
    ASSERT_LE(record.Length, PackedLineMaxBytes);
    if (record.Length == 0 && line.find_first_not_of(' ') != std::string::npos) ++emptied;
    if (record.Length >= 250) ++full;
  }
  // The generator must reach both sides of the length limit for the test to mean anything.
  EXPECT_GT(emptied, 0u);
  EXPECT_GT(full, 0u);
}

} // namespace
