// DecompressBuffer over damaged streams, against libbz2's own decoding of the same bytes. The
// first input byte picks the size estimate (none, exact, too small, too large); the rest is the
// stream. A sound stream must come back byte for byte whatever the estimate; a damaged one must
// never come back with the count the caller expects, or the driver would install it.
#include "harness.h"

#include "bz/bz.h"
#include "util/messages.h"

#include <bzlib.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

// Outputs past this are not followed: with no estimate or a small one the block grows by one
// step (the compressed size rounded up to 256) at a time, and each step copies it.
enum : size_t { ReferenceLimit = 64 * 1024 };

enum class Ending { Complete, Damaged, TooLarge };

struct Reference {
  Ending End;
  std::vector<char> Bytes;
};

static Reference Decode(const uint8_t* stream, size_t size) {
  Reference ref{Ending::Damaged, std::vector<char>(ReferenceLimit + 1)};
  bz_stream s{};
  if (BZ2_bzDecompressInit(&s, 0, 0) != BZ_OK) fuzz::Finding("libbz2 does not start");
  s.next_in = const_cast<char*>(reinterpret_cast<const char*>(stream));
  s.avail_in = unsigned(size);
  s.next_out = ref.Bytes.data();
  s.avail_out = unsigned(ref.Bytes.size());
  for (;;) {
    unsigned before = s.total_out_lo32;
    int status = BZ2_bzDecompress(&s);
    if (status == BZ_STREAM_END) {
      ref.End = s.total_out_lo32 > ReferenceLimit ? Ending::TooLarge : Ending::Complete;
      break;
    }
    if (status != BZ_OK) break;
    if (s.avail_out == 0) {
      ref.End = Ending::TooLarge;
      break;
    }
    if (s.avail_in == 0 && s.total_out_lo32 == before) break; // cut short
  }
  ref.Bytes.resize(s.total_out_lo32 < ref.Bytes.size() ? s.total_out_lo32 : ref.Bytes.size());
  BZ2_bzDecompressEnd(&s);
  return ref;
}

struct Call {
  const uint8_t* Stream;
  int32_t Size, Estimate;
  const Reference* Expected;
};

static void Decompress(void* argument) {
  const Call& call = *static_cast<const Call*>(argument);
  void* decoded;
  int32_t count;
  DecompressBuffer(call.Stream, call.Size, call.Estimate, decoded, count);
  const Reference& ref = *call.Expected;
  if (ref.End == Ending::Complete) {
    if (count != int32_t(ref.Bytes.size()) || (count == 0) != (decoded == nullptr) ||
        (count != 0 && memcmp(decoded, ref.Bytes.data(), size_t(count)) != 0))
      fuzz::Finding("a sound stream did not come back as libbz2 decodes it");
  } else if (ref.End == Ending::Damaged && count == call.Estimate) {
    fuzz::Finding("a damaged stream came back with the expected count");
  }
  HeapRelease(decoded);
}

static bool IsStatusBox(const fuzz::Box& box) {
  if (box.Flags != MB_ICONERROR || box.Text != "ERROR") return false;
  return box.Caption == "CODE -2" || box.Caption == "CODE -4" || box.Caption == "CODE -5";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::ScratchPrefix();
  // Room for the decoder's own tables at block size 9 and the outputs followed here.
  setenv("ZARVO_SETUP_HEAP_LIMIT", "16777216", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 0x7FFFFFFF) return -1;
  const uint8_t* stream = data + 1;
  size_t streamSize = size - 1;
  Reference ref = Decode(stream, streamSize);
  if (ref.End == Ending::TooLarge) return 0;

  int32_t produced = int32_t(ref.Bytes.size());
  int32_t estimate = 0;
  switch (data[0] & 3) {
  case 0:
    estimate = 0;
    break;
  case 1:
    estimate = produced;
    break;
  case 2:
    estimate = produced / 2 + 1;
    break;
  case 3:
    estimate = produced + 1 + (data[0] >> 2);
    break;
  }
  Call call{stream, int32_t(streamSize), estimate, &ref};
  fuzz::RunEnd end = fuzz::RunGuarded(Decompress, &call);
  if (end.Exited) fuzz::Finding("decoding ended the run");
  for (const fuzz::Box& box : end.Boxes)
    if (!IsStatusBox(box)) fuzz::Finding("a box other than a decoder status box");
  if (ref.End == Ending::Complete && !end.Boxes.empty())
    fuzz::Finding("a sound stream showed a status box");
  return 0;
}
