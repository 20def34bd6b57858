// Deterministic French prose in the DOS code page 850, the kind of text Zarvo's content holds:
// sentences over a weighted vocabulary with accents, elisions and punctuation, wrapped into
// lines of at most 76 columns, paragraphs between empty lines, now and then a heading, an
// indented quotation or a ~number. The same seed gives the same bytes on every machine.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// A small generator written out here (xorshift64*), so that no library's distributions change
// the output from one platform to the next.
class Random {
public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }
  // 0 to n - 1.
  unsigned Below(unsigned n) { return unsigned((Next() >> 32) * n >> 32); }
  bool Chance(unsigned percent) { return Below(100) < percent; }

private:
  uint64_t state_;
};

class FrenchText {
public:
  explicit FrenchText(uint64_t seed) : random_(seed) {}

  // Appends whole lines, each ended by `eol`, until `out` holds at least `bytes` bytes.
  void AppendLines(std::string& out, size_t bytes, const char* eol);
  // One line without its end, at most 76 bytes (the lines of AppendLines, one at a time).
  std::string NextLine();

  Random& Rng() { return random_; }

private:
  void Refill();
  std::string Sentence();
  std::string Word(bool capital);

  Random random_;
  std::string pending_; // lines of the current paragraph, LF-separated
  size_t at_ = 0;
  unsigned paragraphs_ = 0;
};

// UTF-8 text of French letters into code page 850 (the letters this generator uses).
std::string ToDos850(const std::string& utf8);

} // namespace bench
