#include "convert/unpack_line.h"

#include "convert/pack_line.h"

namespace {

constexpr char GroupA[] = " esianturlodmp";
constexpr char GroupB[] = "vc\x82q',.fghb\":\x85";

struct Reader {
  const uint8_t* Packed;
  size_t Nibbles; // total nibbles in the packed bytes
  size_t At;      // next nibble

  bool Left(size_t n) const { return Nibbles - At >= n; }
  unsigned Peek() const {
    unsigned byte = Packed[At >> 1];
    return (At & 1) ? (byte & 15) : (byte >> 4);
  }
  unsigned Next() {
    unsigned nibble = Peek();
    ++At;
    return nibble;
  }
};

struct Writer {
  uint8_t* Text;
  size_t Capacity;
  size_t Length;
  bool Full;

  void Put(uint8_t byte) {
    if (Length == Capacity) {
      Full = true;
      return;
    }
    Text[Length++] = byte;
  }
};

} // namespace

long UnpackLine(const uint8_t* packed, size_t count, uint8_t* text, size_t capacity) {
  if (count > PackedLineMaxBytes) return -1;
  Reader in{packed, count * 2, 0};
  Writer out{text, capacity, 0, false};
  while (in.Left(1)) {
    // A 0 in the low half of the last byte completes the byte; it is not a space.
    if (in.At == in.Nibbles - 1 && in.Peek() == 0) break;
    unsigned first = in.Next();
    if (first < 14) {
      out.Put(uint8_t(GroupA[first]));
    } else if (first == 14) {
      if (!in.Left(1)) return -1;
      unsigned run = in.Next();
      if (run == 0) return -1; // a lone space is always coded 0
      for (unsigned i = 0; i <= run; ++i) out.Put(' ');
    } else {
      if (!in.Left(1)) return -1;
      unsigned second = in.Next();
      if (second < 14) {
        out.Put(uint8_t(GroupB[second]));
      } else {
        if (!in.Left(2)) return -1;
        unsigned value = in.Next() << 4;
        value |= in.Next();
        if (second == 15) {
          out.Put(uint8_t(value));
        } else {
          out.Put('~');
          char digits[3];
          int n = 0;
          do {
            digits[n++] = char('0' + value % 10);
            value /= 10;
          } while (value != 0);
          while (n > 0) out.Put(uint8_t(digits[--n]));
        }
      }
    }
  }
  // The packer never codes trailing spaces, so a stream that ends in one is not its output.
  if (out.Full || (out.Length > 0 && out.Text[out.Length - 1] == ' ')) return -1;
  return long(out.Length);
}
