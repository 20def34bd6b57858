// Buffer-to-buffer bzip2 decoding on the program heap.
#pragma once

#include <stdint.h>

// Decodes the bzip2 stream in `compressed` into a new heap block of exactly `decodedCount`
// bytes (null when that is 0). `sizeEstimate` sizes the first allocation; 0 means none.
// A damaged stream is shown by CheckStatus and yields the count decoded so far, or -1 (and no
// block) when that count would match the estimate although the stream never ended.
void DecompressBuffer(const void* compressed, int32_t compressedSize, int32_t sizeEstimate,
                      void*& decoded, int32_t& decodedCount);

// Shows the "CODE <status>" box for a negative libbz2 status; returns the status unchanged.
int32_t CheckStatus(int32_t status);
