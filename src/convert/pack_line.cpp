#include "convert/pack_line.h"

// How each byte value is coded: 0 to 13 its group A code (one nibble), 0xF0 | p its
// group B code p (two nibbles), CodeMarker for '~', CodeLiteral for every other byte.
enum : uint8_t { CodeMarker = 0xFE, CodeLiteral = 0xFF };

// Group A first: a byte found there is never looked up in group B.
static constexpr char GroupA[] = " esianturlodmp";
static constexpr char GroupB[] = "vc\x82q',.fghb\":\x85~";

struct CodeTable {
  uint8_t Code[256];
};

static constexpr CodeTable BuildCodeTable() {
  CodeTable table{};
  for (unsigned x = 0; x < 256; ++x) table.Code[x] = CodeLiteral;
  for (unsigned p = 0; p < 14; ++p) table.Code[uint8_t(GroupB[p])] = uint8_t(0xF0 | p);
  table.Code[uint8_t(GroupB[14])] = CodeMarker;
  for (unsigned p = 0; p < 14; ++p) table.Code[uint8_t(GroupA[p])] = uint8_t(p);
  return table;
}

// Built by the compiler: one look-up per byte instead of two searches through the groups.
static constexpr CodeTable Codes = BuildCodeTable();

static_assert(sizeof(GroupA) == 15 && sizeof(GroupB) == 16, "14 and 15 characters");
static_assert(Codes.Code[' '] == 0 && Codes.Code['p'] == 13 && Codes.Code['v'] == 0xF0 &&
                  Codes.Code[0x85] == 0xFD && Codes.Code['~'] == CodeMarker &&
                  Codes.Code['Z'] == CodeLiteral,
              "character table");

// A stream of more nibbles than this needs 254 bytes or more and yields the empty record.
enum : unsigned { MaxNibbles = 2 * PackedLineMaxBytes };

// Nibbles go into the record two to a byte, high half first; a high-half write clears the
// low half, so an odd stream ends with the 0 that completes its last byte.
static inline void PutNibble(uint8_t* out, unsigned& nibbles, unsigned value) {
  if (nibbles & 1)
    out[nibbles >> 1] = uint8_t(out[nibbles >> 1] | value);
  else
    out[nibbles >> 1] = uint8_t(value << 4);
  ++nibbles;
}

// Nibbles that a run of k spaces before a non-space byte takes: two per full run of 16, then
// one for a lone space or two for a shorter run.
static inline unsigned SpaceNibbles(unsigned k) {
  unsigned rest = k & 15;
  return (k >> 4) * 2 + (rest == 0 ? 0 : rest == 1 ? 1 : 2);
}

void PackLine(const uint8_t* line, uint8_t count, PackedLine& record) {
  uint8_t* out = record.Bytes;
  const uint8_t* at = line;
  const uint8_t* end = line + count;
  unsigned nibbles = 0;
  for (;;) {
    unsigned spaces = 0;
    while (at != end && *at == ' ') {
      ++spaces;
      ++at;
    }
    if (at == end) break; // trailing spaces are not coded
    unsigned x = *at++;

    if (spaces != 0) {
      // Checked before writing: a long run could otherwise reach past the record's bytes.
      if (nibbles + SpaceNibbles(spaces) > MaxNibbles) goto tooLong;
      for (; spaces >= 2; spaces -= spaces < 16 ? spaces : 16) {
        PutNibble(out, nibbles, 14);
        PutNibble(out, nibbles, (spaces < 16 ? spaces : 16) - 1);
      }
      if (spaces == 1) PutNibble(out, nibbles, 0);
    }

    // At most MaxNibbles so far, and at most four more fit in the record's 255 bytes.
    unsigned code = Codes.Code[x];
    if (code < 14) {
      PutNibble(out, nibbles, code);
    } else if (code < CodeMarker) {
      PutNibble(out, nibbles, 15);
      PutNibble(out, nibbles, code & 15);
    } else {
      if (code == CodeMarker) {
        // The number's value modulo 256; the byte that ends the digits is consumed unseen.
        unsigned value = 0;
        while (at != end) {
          unsigned digit = unsigned(*at++) - '0';
          if (digit > 9) break;
          value = (value * 10 + digit) & 255;
        }
        x = value;
      }
      PutNibble(out, nibbles, 15);
      PutNibble(out, nibbles, code & 15);
      PutNibble(out, nibbles, x >> 4);
      PutNibble(out, nibbles, x & 15);
    }
    if (nibbles > MaxNibbles) goto tooLong;
  }
  record.Length = uint8_t((nibbles + 1) >> 1);
  return;

tooLong:
  record.Length = 0;
}
