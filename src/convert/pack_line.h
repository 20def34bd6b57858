// Zarvo's packed lines: one text line as a stream of 4-bit codes, stored as a short string.
#pragma once

#include <stdint.h>

// Length byte N (0 to 253), then N packed bytes.
struct PackedLine {
  uint8_t Length;
  uint8_t Bytes[255];
};

enum : unsigned { PackedLineMaxBytes = 253 };

// Packs the `count` bytes at `line` into `record`; reads no byte past them.
void PackLine(const uint8_t* line, uint8_t count, PackedLine& record);
