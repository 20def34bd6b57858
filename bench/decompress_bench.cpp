// DecompressBuffer against libbz2 called directly (BZ2_bzBuffToBuffDecompress), on French
// content compressed with block size 9: what our wrapper, its growing block and its heap hooks
// add to the library's own decoding. Both allocate the decoded block on every iteration.
#include "bz/bz.h"
#include "french_text.h"
#include "util/messages.h"

#include <benchmark/benchmark.h>
#include <bzlib.h>
#include <cstdlib>
#include <map>
#include <string>

namespace {

struct Sample {
  std::string Decoded, Compressed;
};

const Sample& FrenchSample(size_t bytes) {
  static std::map<size_t, Sample> samples;
  Sample& s = samples[bytes];
  if (s.Decoded.empty()) {
    bench::FrenchText(11).AppendLines(s.Decoded, bytes, "\r\n");
    s.Decoded.resize(bytes);
    s.Compressed.resize(bytes + bytes / 50 + 1024);
    unsigned length = unsigned(s.Compressed.size());
    if (BZ2_bzBuffToBuffCompress(s.Compressed.data(), &length, s.Decoded.data(), unsigned(bytes), 9,
                                 0, 0) != BZ_OK)
      std::abort();
    s.Compressed.resize(length);
  }
  return s;
}

void BM_DecompressBuffer(benchmark::State& state) {
  const Sample& s = FrenchSample(size_t(state.range(0)));
  for (auto _ : state) {
    void* decoded;
    int32_t count;
    DecompressBuffer(s.Compressed.data(), int32_t(s.Compressed.size()), int32_t(s.Decoded.size()),
                     decoded, count);
    if (size_t(count) != s.Decoded.size()) state.SkipWithError("wrong decoded count");
    benchmark::DoNotOptimize(decoded);
    HeapRelease(decoded);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.Decoded.size()));
}

// The growing block: no estimate, so the block starts at the growth step and grows by it.
void BM_DecompressBuffer_NoEstimate(benchmark::State& state) {
  const Sample& s = FrenchSample(size_t(state.range(0)));
  for (auto _ : state) {
    void* decoded;
    int32_t count;
    DecompressBuffer(s.Compressed.data(), int32_t(s.Compressed.size()), 0, decoded, count);
    if (size_t(count) != s.Decoded.size()) state.SkipWithError("wrong decoded count");
    benchmark::DoNotOptimize(decoded);
    HeapRelease(decoded);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.Decoded.size()));
}

void BM_Library_BuffToBuff(benchmark::State& state) {
  const Sample& s = FrenchSample(size_t(state.range(0)));
  for (auto _ : state) {
    char* decoded = static_cast<char*>(std::malloc(s.Decoded.size()));
    unsigned length = unsigned(s.Decoded.size());
    int status =
        BZ2_bzBuffToBuffDecompress(decoded, &length, const_cast<char*>(s.Compressed.data()),
                                   unsigned(s.Compressed.size()), 0, 0);
    if (status != BZ_OK || length != s.Decoded.size()) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(decoded);
    std::free(decoded);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.Decoded.size()));
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(64 << 10)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_DecompressBuffer)->Apply(Sizes);
BENCHMARK(BM_DecompressBuffer_NoEstimate)->Apply(Sizes);
BENCHMARK(BM_Library_BuffToBuff)->Apply(Sizes);

} // namespace

BENCHMARK_MAIN();
