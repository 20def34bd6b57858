// Packed line records as readable hexadecimal, for comparing against expected bytes.
#pragma once

#include <cstdio>
#include <string>

#include "convert/pack_line.h"

// "05 91 0F ..." : the length byte, then the record's packed bytes.
inline std::string RecordHex(const PackedLine& record) {
  std::string hex;
  char byte[4];
  std::snprintf(byte, sizeof byte, "%02X", record.Length);
  hex += byte;
  for (unsigned i = 0; i < record.Length; ++i) {
    std::snprintf(byte, sizeof byte, " %02X", record.Bytes[i]);
    hex += byte;
  }
  return hex;
}

// Spaces are optional in the expected text: "FE0C35" and "FE 0C 35" are the same bytes.
inline std::string NormalHex(const std::string& text) {
  std::string digits;
  for (char c : text)
    if (c != ' ') digits += c;
  std::string hex;
  for (size_t i = 0; i < digits.size(); i += 2) {
    if (i != 0) hex += ' ';
    hex += digits.substr(i, 2);
  }
  return hex;
}

inline std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}
