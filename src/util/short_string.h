// Length-prefixed strings of fixed capacity: a length byte, then the characters.
// Assigning or appending past the capacity cuts the text at the capacity without notice.
#pragma once

#include <stdint.h>

template <unsigned Capacity> struct ShortString {
  static_assert(Capacity >= 1 && Capacity <= 255, "a short string holds at most 255 characters");
  uint8_t Length;
  char Chars[Capacity];
};

// The untemplated workers keep one copy of the code whatever the capacities in use.
void ShortAssignBytes(uint8_t& length, char* chars, unsigned capacity, const char* text,
                      unsigned count);
void ShortAppendBytes(uint8_t& length, char* chars, unsigned capacity, const char* text,
                      unsigned count);
void ShortToTextBytes(unsigned length, const char* chars, char* out);
bool BytesContain(const char* chars, unsigned length, const char* needle);
unsigned TextLength(const char* text);

template <unsigned N> inline void ShortAssign(ShortString<N>& s, const char* text, unsigned count) {
  ShortAssignBytes(s.Length, s.Chars, N, text, count);
}
template <unsigned N> inline void ShortAssign(ShortString<N>& s, const char* text) {
  ShortAssignBytes(s.Length, s.Chars, N, text, TextLength(text));
}
template <unsigned N, unsigned M>
inline void ShortAssign(ShortString<N>& s, const ShortString<M>& from) {
  ShortAssignBytes(s.Length, s.Chars, N, from.Chars, from.Length);
}
template <unsigned N> inline void ShortAppend(ShortString<N>& s, const char* text, unsigned count) {
  ShortAppendBytes(s.Length, s.Chars, N, text, count);
}
template <unsigned N> inline void ShortAppend(ShortString<N>& s, const char* text) {
  ShortAppendBytes(s.Length, s.Chars, N, text, TextLength(text));
}
template <unsigned N, unsigned M>
inline void ShortAppend(ShortString<N>& s, const ShortString<M>& from) {
  ShortAppendBytes(s.Length, s.Chars, N, from.Chars, from.Length);
}

// A NUL-terminated copy, for handing a short string to the system.
struct ShortText {
  char Chars[256];
};
template <unsigned N> inline void ShortToText(const ShortString<N>& s, ShortText& out) {
  ShortToTextBytes(s.Length, s.Chars, out.Chars);
}

// Whether `needle` (NUL-terminated) stands anywhere in the short string.
template <unsigned N> inline bool ShortContains(const ShortString<N>& s, const char* needle) {
  return BytesContain(s.Chars, s.Length, needle);
}

typedef ShortString<255> Str255;

// A NUL-terminated text built for the system: messages and paths. It holds more than any
// text the installer builds (a product directory of 200 and a found name of 259, say);
// whatever would pass its end is cut.
struct TextBuilder {
  unsigned Length;
  char Chars[1024];
};
void TextAppend(TextBuilder& text, const char* chars, unsigned count);
inline void TextAppend(TextBuilder& text, const char* chars) {
  TextAppend(text, chars, TextLength(chars));
}
template <unsigned N> inline void TextAppend(TextBuilder& text, const ShortString<N>& s) {
  TextAppend(text, s.Chars, s.Length);
}
