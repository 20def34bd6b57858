// PackLine on the lines of realistic French content (code page 850), in bytes of line per
// second: the installer packs every line of every text entry.
#include "convert/pack_line.h"
#include "french_text.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

struct Lines {
  std::string Bytes;
  std::vector<uint32_t> Starts, Counts;
};

const Lines& FrenchLines() {
  static const Lines lines = [] {
    Lines l;
    bench::FrenchText text(7);
    for (int i = 0; i < 50000; i++) {
      std::string line = text.NextLine();
      l.Starts.push_back(uint32_t(l.Bytes.size()));
      l.Counts.push_back(uint32_t(line.size()));
      l.Bytes += line;
    }
    return l;
  }();
  return lines;
}

void BM_PackLine_French(benchmark::State& state) {
  const Lines& lines = FrenchLines();
  const uint8_t* base = reinterpret_cast<const uint8_t*>(lines.Bytes.data());
  PackedLine record;
  size_t packed = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < lines.Starts.size(); i++) {
      PackLine(base + lines.Starts[i], uint8_t(lines.Counts[i]), record);
      packed += record.Length;
    }
    benchmark::DoNotOptimize(packed);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(lines.Bytes.size()));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(lines.Starts.size()));
  state.counters["packed/line bytes"] =
      double(packed) / double(state.iterations()) / double(lines.Bytes.size());
}
BENCHMARK(BM_PackLine_French);

// The worst ordinary line: 76 upper-case letters, each a three-nibble literal.
void BM_PackLine_UpperCase(benchmark::State& state) {
  std::string line(76, 'Q');
  PackedLine record;
  for (auto _ : state) {
    PackLine(reinterpret_cast<const uint8_t*>(line.data()), uint8_t(line.size()), record);
    benchmark::DoNotOptimize(record);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(line.size()));
}
BENCHMARK(BM_PackLine_UpperCase);

} // namespace

BENCHMARK_MAIN();
