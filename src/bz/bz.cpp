#include "bz/bz.h"

#include "bz/decoder_hooks.h"
#include "util/messages.h"

// After messages.h, so that windows.h, which bzlib.h includes on Windows, comes in lean.
#include <bzlib.h>

__attribute__((noinline)) void* DecoderAllocate(void*, int items, int size) {
  uint64_t bytes = uint64_t(uint32_t(items)) * uint32_t(size);
  if (items < 0 || size < 0 || bytes > 0xFFFFFFFFu) RunError(ErrorHeapExhausted, CALLER);
  // HeapAllocate gives null for 0 bytes, and a null block would read as BZ_MEM_ERROR.
  return HeapAllocate(bytes == 0 ? 1 : DWORD(bytes));
}

void DecoderRelease(void*, void* block) {
  HeapRelease(block);
}

int32_t CheckStatus(int32_t status) {
  if (status < 0) {
    // "CODE -" and the magnitude's digits, most significant first.
    char caption[24] = "CODE -";
    char digits[10];
    unsigned count = 0;
    uint32_t magnitude = 0u - uint32_t(status);
    do {
      digits[count++] = char('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    char* at = caption + 6;
    while (count != 0) *at++ = digits[--count];
    *at = 0;
    MessageBoxA(nullptr, "ERROR", caption, MB_ICONERROR);
  }
  return status;
}

// A compressed size of 0 or less is not a stream: it decodes to nothing, and no block is
// allocated, so that no growth step of 0 can keep the loop below from ending.
void DecompressBuffer(const void* compressed, int32_t compressedSize, int32_t sizeEstimate,
                      void*& decoded, int32_t& decodedCount) {
  decoded = nullptr;
  decodedCount = 0;
  if (compressedSize <= 0) return;

  // The growth step: the compressed size rounded up to a multiple of 256.
  uint32_t step = (uint32_t(compressedSize) + 255) & ~255u;
  uint32_t capacity = sizeEstimate > 0 ? uint32_t(sizeEstimate) : step;
  char* block = static_cast<char*>(HeapAllocate(capacity));

  bz_stream stream = {};
  stream.bzalloc = DecoderAllocate;
  stream.bzfree = DecoderRelease;
  stream.opaque = nullptr;
  stream.next_in = static_cast<char*>(const_cast<void*>(compressed));
  stream.avail_in = uint32_t(compressedSize);
  stream.next_out = block;
  stream.avail_out = capacity;

  // A failed start is shown and otherwise ignored: the first decoding call then fails too,
  // and that ends the loop.
  CheckStatus(BZ2_bzDecompressInit(&stream, 0, 0));
  bool ended = false;
  for (;;) {
    uint32_t decodedBefore = stream.total_out_lo32;
    int32_t status = CheckStatus(BZ2_bzDecompress(&stream));
    if (status == BZ_STREAM_END) {
      ended = true;
      break;
    }
    // The decoder repeats a failure on every further call, and a stream cut short gives BZ_OK
    // with nothing more once its input is used up: neither would ever reach the end. Leaving
    // here hands back the bytes decoded so far, which the caller's count check refuses.
    if (status < 0) break;
    if (stream.avail_in == 0 && stream.total_out_lo32 == decodedBefore) break;

    // One step at a time while the block is small, then by half of what it holds: grown by a
    // fixed step only, a few bytes of stream that decode to megabytes past a small estimate
    // would have the block copied over and over, for minutes.
    uint32_t growth = capacity / 2 > step ? capacity / 2 : step;
    if (capacity > 0xFFFFFFFFu - growth) RunError(ErrorHeapExhausted, CALLER);
    // The block may move: next_out keeps its offset, not its address.
    uint32_t written = uint32_t(stream.next_out - block);
    capacity += growth;
    block = static_cast<char*>(HeapResize(block, capacity));
    stream.next_out = block + written;
    stream.avail_out = growth;
  }
  CheckStatus(BZ2_bzDecompressEnd(&stream));

  uint32_t total = stream.total_out_lo32;
  if (!ended && int32_t(total) == sizeEstimate) {
    // A checksum is checked only after its bytes have come out, so a damaged stream can still
    // deliver exactly the expected count. The caller tells a bad entry only by its count:
    // hand back one that can't match, and no block.
    HeapRelease(block);
    decodedCount = -1;
    return;
  }
  // Trimmed to the exact length; a total of 0 releases the block.
  decodedCount = int32_t(total);
  decoded = HeapResize(block, total);
}
