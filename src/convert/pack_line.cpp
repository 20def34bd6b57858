#include "convert/pack_line.h"

// Group A first: a byte found there is never looked up in group B.
static constexpr char GroupA[] = " esianturlodmp";
static constexpr char GroupB[] = "vc\x82q',.fghb\":\x85~";

// Each byte's element as it goes into the nibble stream: its nibbles right-aligned in Value,
// and their count times 4 in Width. A group A byte is one nibble, its code; a group B byte is
// F and its code; any other byte is a literal, F F and the byte itself. The number marker '~'
// has Width 0, since its element depends on the digits after it. A space is coded here as a
// lone space; a run of them is told apart by the byte after the first.
struct CodeTable {
  uint16_t Value[256];
  uint8_t Width[256];
};

static constexpr CodeTable BuildCodeTable() {
  CodeTable table{};
  for (unsigned x = 0; x < 256; ++x) {
    table.Value[x] = uint16_t(0xFF00 | x);
    table.Width[x] = 16;
  }
  for (unsigned p = 0; p < 14; ++p) {
    table.Value[uint8_t(GroupB[p])] = uint16_t(0xF0 | p);
    table.Width[uint8_t(GroupB[p])] = 8;
  }
  table.Width[uint8_t(GroupB[14])] = 0;
  for (unsigned p = 0; p < 14; ++p) {
    table.Value[uint8_t(GroupA[p])] = uint16_t(p);
    table.Width[uint8_t(GroupA[p])] = 4;
  }
  return table;
}

// Built by the compiler: one look-up per byte instead of two searches through the groups.
static constexpr CodeTable Codes = BuildCodeTable();

static_assert(sizeof(GroupA) == 15 && sizeof(GroupB) == 16, "14 and 15 characters");
static_assert(Codes.Value[uint8_t(' ')] == 0 && Codes.Width[uint8_t(' ')] == 4 &&
                  Codes.Value[uint8_t('p')] == 13 && Codes.Value[uint8_t('v')] == 0xF0 &&
                  Codes.Width[uint8_t('v')] == 8 && Codes.Value[0x82] == 0xF2 &&
                  Codes.Value[0x85] == 0xFD && Codes.Width[uint8_t('~')] == 0 &&
                  Codes.Value[uint8_t('Z')] == 0xFF5A && Codes.Width[uint8_t('Z')] == 16 &&
                  Codes.Value[0xE9] == 0xFFE9,
              "character table");

// A stream of more nibbles than this needs 254 bytes or more and yields the empty record.
enum : unsigned { MaxNibbles = 2 * PackedLineMaxBytes };

// The nibble stream, built without a branch per nibble: a branch on the kind of each byte or
// on the parity of the stream is one the processor can't foresee in real text, and those
// mispredictions once cost more than all the rest of the packing. The bits not yet stored
// wait in Pending; every element stores four bytes, the waiting bits left-aligned with zeros
// after them, and moves on by the whole bytes, so a stream of an odd count ends with the 0
// nibble that completes its last byte.
struct NibbleStream {
  uint8_t* Out;
  uint32_t Pending;
  unsigned Bits; // waiting in Pending: 0 or 4

  void Put(uint32_t value, unsigned width) {
    Pending = Pending << width | value;
    Bits += width;
    uint32_t aligned = Pending << (32 - Bits);
    Out[0] = uint8_t(aligned >> 24);
    Out[1] = uint8_t(aligned >> 16);
    Out[2] = uint8_t(aligned >> 8);
    Out[3] = uint8_t(aligned);
    Out += Bits >> 3;
    Bits &= 7;
  }
};

void PackLine(const uint8_t* line, uint8_t count, PackedLine& record) {
  const uint8_t* at = line;
  const uint8_t* end = line + count;
  // Trailing spaces are not coded. Past this, a space is always followed by another byte.
  while (end != at && end[-1] == ' ') --end;

  // Four nibbles at most per byte of the line, and room for the last four-byte store: the
  // stream is packed whole and its length checked once, at the end.
  uint8_t stream[2 * 255 + 4];
  NibbleStream s{stream, 0, 0};
  while (at != end) {
    unsigned x = *at++;
    // The byte after x, or x again at the end (never a space there), read without a branch.
    unsigned next = *(at - (at == end));
    unsigned width = Codes.Width[x];
    if (((x ^ ' ') | (next ^ ' ')) == 0) {
      // A run: E and the run's length less one, 16 spaces at most each; a lone last space is
      // its group A code 0. A non-space byte ends every run before `end`.
      unsigned spaces = 2;
      for (++at; *at == ' '; ++at) ++spaces;
      for (; spaces >= 16; spaces -= 16) s.Put(0xEF, 8);
      if (spaces == 1)
        s.Put(0, 4);
      else if (spaces > 1)
        s.Put(0xE0 | (spaces - 1), 8);
    } else if (width == 0) {
      // The number's value modulo 256; the byte that ends the digits is consumed unseen.
      unsigned value = 0;
      while (at != end) {
        unsigned digit = unsigned(*at++) - '0';
        if (digit > 9) break;
        value = (value * 10 + digit) & 255;
      }
      s.Put(0xFE00 | value, 16);
    } else {
      s.Put(Codes.Value[x], width);
    }
  }

  unsigned nibbles = unsigned(s.Out - stream) * 2 + s.Bits / 4;
  if (nibbles > MaxNibbles) {
    record.Length = 0;
    return;
  }
  record.Length = uint8_t((nibbles + 1) >> 1);
  for (unsigned i = 0; i < record.Length; i++) record.Bytes[i] = stream[i];
}
