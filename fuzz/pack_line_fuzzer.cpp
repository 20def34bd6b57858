// PackLine against a plain reference coder written straight from the two character groups, and
// the decoder against what the reference says the record stands for.
#include "convert/pack_line.h"
#include "convert/unpack_line.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

static const char GroupA[] = " esianturlodmp";
static const char GroupB[] = "vc\x82q',.fghb\":\x85~";

static int PositionIn(const char* group, size_t length, uint8_t byte) {
  for (size_t p = 0; p < length; p++)
    if (uint8_t(group[p]) == byte) return int(p);
  return -1;
}

struct Coded {
  std::vector<uint8_t> Nibbles;
  std::string Text; // what a reader gets back: trailing spaces gone, numbers by their value
};

// The rules as they read: leading spaces pend until a non-space byte comes, runs of 2 to 16
// take 14 and the count less one, a lone space takes 0; group A first, then group B; ~ takes
// the number that follows and swallows the byte that ends it; every other byte is a literal.
static Coded Reference(const uint8_t* line, size_t count) {
  Coded out;
  size_t i = 0;
  for (;;) {
    size_t spaces = 0;
    while (i < count && line[i] == ' ') spaces++, i++;
    if (i == count) break;
    uint8_t x = line[i++];
    while (spaces >= 2) {
      size_t run = spaces < 16 ? spaces : 16;
      out.Nibbles.push_back(14);
      out.Nibbles.push_back(uint8_t(run - 1));
      out.Text.append(run, ' ');
      spaces -= run;
    }
    if (spaces == 1) {
      out.Nibbles.push_back(0);
      out.Text += ' ';
    }
    int a = PositionIn(GroupA, 14, x), b = PositionIn(GroupB, 15, x);
    if (a >= 0) {
      out.Nibbles.push_back(uint8_t(a));
      out.Text += char(x);
    } else if (b >= 0 && b < 14) {
      out.Nibbles.insert(out.Nibbles.end(), {15, uint8_t(b)});
      out.Text += char(x);
    } else if (b == 14) {
      unsigned value = 0;
      while (i < count) {
        uint8_t d = line[i++];
        if (d < '0' || d > '9') break;
        value = (value * 10 + (d - '0')) % 256;
      }
      out.Nibbles.insert(out.Nibbles.end(), {15, 14, uint8_t(value / 16), uint8_t(value % 16)});
      out.Text += "~" + std::to_string(value);
    } else {
      out.Nibbles.insert(out.Nibbles.end(), {15, 15, uint8_t(x / 16), uint8_t(x % 16)});
      out.Text += char(x);
    }
  }
  if (out.Nibbles.size() % 2) out.Nibbles.push_back(0);
  return out;
}

[[noreturn]] static void Finding(const char* what) {
  fprintf(stderr, "\n*** finding: %s\n", what);
  abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t count = size < 255 ? size : 255;
  // Exactly `count` bytes on the heap: a read past them is the sanitizer's to see.
  std::unique_ptr<uint8_t[]> line(new uint8_t[count ? count : 1]);
  if (count) memcpy(line.get(), data, count);

  PackedLine record;
  memset(&record, 0xA5, sizeof record);
  PackLine(line.get(), uint8_t(count), record);

  Coded expected = Reference(line.get(), count);
  std::vector<uint8_t> bytes;
  for (size_t n = 0; n < expected.Nibbles.size(); n += 2)
    bytes.push_back(uint8_t(expected.Nibbles[n] << 4 | expected.Nibbles[n + 1]));
  if (bytes.size() > PackedLineMaxBytes) bytes.clear();
  if (record.Length != bytes.size()) Finding("packed length differs from the reference");
  if (!bytes.empty() && memcmp(record.Bytes, bytes.data(), bytes.size()) != 0)
    Finding("packed bytes differ from the reference");

  if (record.Length != 0) {
    uint8_t text[1024];
    long length = UnpackLine(record.Bytes, record.Length, text, sizeof text);
    if (length < 0 || size_t(length) != expected.Text.size() ||
        memcmp(text, expected.Text.data(), expected.Text.size()) != 0)
      Finding("the decoder does not give back the packed text");
  }
  return 0;
}
