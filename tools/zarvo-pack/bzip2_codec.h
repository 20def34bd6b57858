// One complete bzip2 stream per entry, through libbz2's stream interface.
#pragma once

#include "zarvo-pack/bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace zpack {

// Compresses `data` into one stream with blocks of `blockSize` x 100 kB (1 to 9). Returns
// why it failed, or empty.
std::string CompressStream(const uint8_t* data, size_t size, int blockSize, Bytes& stream);

struct DecodedStream {
  bool Complete = false;  // the stream's end was reached without error
  int Status = 0;         // libbz2's last status
  Bytes Data;             // what was decoded, at most the limit asked for
  bool OverLimit = false; // the stream holds more than the limit
  size_t Consumed = 0;    // compressed bytes used up to the stream's end
  std::string Problem;    // what went wrong, when not Complete
};

// Decodes the first bzip2 stream in `stream` as the installer's decoder does (normal mode),
// keeping at most `limit` bytes; bytes after the stream's end are left alone.
DecodedStream DecodeStream(const uint8_t* stream, size_t size, size_t limit);

} // namespace zpack
