// The memory and string functions that GCC may call for copies, fills and string loops, and
// that libbz2 calls, in an image that links no C runtime. The string instructions keep each
// one a few bytes long; the installer moves little enough data for their speed not to matter.
#include <stddef.h>

extern "C" {

void* memset(void* destination, int value, size_t count) {
  void* d = destination;
  asm volatile("rep stosb" : "+D"(d), "+c"(count) : "a"(value) : "memory");
  return destination;
}

void* memcpy(void* destination, const void* source, size_t count) {
  void* d = destination;
  asm volatile("rep movsb" : "+D"(d), "+S"(source), "+c"(count) : : "memory");
  return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
  unsigned char* d = static_cast<unsigned char*>(destination);
  const unsigned char* s = static_cast<const unsigned char*>(source);
  if (d <= s || d >= s + count) return memcpy(destination, source, count);
  // Overlapping with the destination above the source: copy from the end down.
  d += count - 1;
  s += count - 1;
  asm volatile("std\n\trep movsb\n\tcld" : "+D"(d), "+S"(s), "+c"(count) : : "memory");
  return destination;
}

// GCC turns a counting loop over a NUL-terminated string into a call of this one.
size_t strlen(const char* text) {
  const char* end = text;
  while (*end != 0) ++end;
  return static_cast<size_t>(end - text);
}

int memcmp(const void* first, const void* second, size_t count) {
  const unsigned char* a = static_cast<const unsigned char*>(first);
  const unsigned char* b = static_cast<const unsigned char*>(second);
  for (; count != 0; --count, ++a, ++b)
    if (*a != *b) return *a - *b;
  return 0;
}
}
