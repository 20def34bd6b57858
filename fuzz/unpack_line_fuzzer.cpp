// The packed-line decoder over arbitrary bytes: the first input byte sizes the text buffer, the
// rest is the packed line. Buffers are exactly as large as they claim, for the sanitizer; the
// result must not depend on room beyond what the text needs.
#include "convert/pack_line.h"
#include "convert/unpack_line.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

[[noreturn]] static void Finding(const char* what) {
  fprintf(stderr, "\n*** finding: %s\n", what);
  abort();
}

static long Unpack(const uint8_t* packed, size_t count, size_t capacity, uint8_t* copy) {
  std::unique_ptr<uint8_t[]> text(new uint8_t[capacity ? capacity : 1]);
  long length = UnpackLine(packed, count, capacity ? text.get() : nullptr, capacity);
  if (length > long(capacity)) Finding("the decoder wrote more than its room");
  if (copy && length > 0) memcpy(copy, text.get(), size_t(length));
  return length;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // 0 to 255, and 4096 for room that no record can fill.
  size_t capacity = data[0] == 0xFF ? 4096 : data[0];
  size_t count = size - 1;
  std::unique_ptr<uint8_t[]> packed(new uint8_t[count ? count : 1]);
  if (count) memcpy(packed.get(), data + 1, count);

  uint8_t first[4096], again[4096];
  long length = Unpack(packed.get(), count, capacity, first);
  if (count > PackedLineMaxBytes && length >= 0) Finding("a record longer than 253 bytes decoded");
  if (length < 0) return 0;
  // Exactly the room the text needs gives the same text; one byte less is refused.
  if (Unpack(packed.get(), count, size_t(length), again) != length ||
      memcmp(first, again, size_t(length)) != 0)
    Finding("the text depends on the room past it");
  if (length > 0 && Unpack(packed.get(), count, size_t(length) - 1, nullptr) >= 0)
    Finding("a text that does not fit was accepted");
  // Whatever decodes never ends in a space: the packer never codes one there.
  if (length > 0 && first[length - 1] == ' ') Finding("a decoded text ends in a space");
  return 0;
}
