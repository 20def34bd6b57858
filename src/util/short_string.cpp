#include "util/short_string.h"

void ShortAssignBytes(uint8_t& length, char* chars, unsigned capacity, const char* text,
                      unsigned count) {
  if (count > capacity) count = capacity;
  // The source may overlap the target (a string assigned a part of itself).
  if (text > chars)
    for (unsigned i = 0; i < count; i++) chars[i] = text[i];
  else
    for (unsigned i = count; i-- > 0;) chars[i] = text[i];
  length = static_cast<uint8_t>(count);
}

void ShortAppendBytes(uint8_t& length, char* chars, unsigned capacity, const char* text,
                      unsigned count) {
  unsigned room = capacity - length;
  if (count > room) count = room;
  for (unsigned i = 0; i < count; i++) chars[length + i] = text[i];
  length = static_cast<uint8_t>(length + count);
}

void ShortToTextBytes(unsigned length, const char* chars, char* out) {
  for (unsigned i = 0; i < length; i++) out[i] = chars[i];
  out[length] = 0;
}

bool BytesContain(const char* chars, unsigned length, const char* needle) {
  unsigned n = TextLength(needle);
  for (unsigned start = 0; start + n <= length; start++) {
    unsigned i = 0;
    while (i < n && chars[start + i] == needle[i]) i++;
    if (i == n) return true;
  }
  return false;
}

unsigned TextLength(const char* text) {
  unsigned n = 0;
  while (text[n]) n++;
  return n;
}

void TextAppend(TextBuilder& text, const char* chars, unsigned count) {
  while (count-- > 0 && text.Length + 1 < sizeof text.Chars) text.Chars[text.Length++] = *chars++;
  text.Chars[text.Length] = 0;
}
