// Walks a payload archive with plain read(2) calls, for the benchmark's own programs.
#pragma once

#include <cstdint>
#include <string>
#include <unistd.h>

namespace bench {

inline bool ReadExactly(int fd, void* buffer, size_t count) {
  char* at = static_cast<char*>(buffer);
  while (count > 0) {
    ssize_t n = read(fd, at, count);
    if (n <= 0) return false;
    at += n;
    count -= size_t(n);
  }
  return true;
}

inline bool ReadU32(int fd, uint32_t& value) {
  unsigned char b[4];
  if (!ReadExactly(fd, b, 4)) return false;
  value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return true;
}

inline bool ReadShort(int fd, std::string& s) {
  unsigned char length;
  if (!ReadExactly(fd, &length, 1)) return false;
  s.resize(length);
  return ReadExactly(fd, s.data(), length);
}

inline bool IsDcwName(const std::string& name) {
  std::string upper = name;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return upper.find(".DCW") != std::string::npos;
}

struct EntryHeader {
  uint32_t CompressedSize = 0; // 0: the terminator
  std::string Name;
  uint32_t DecodedSize = 0;
};

// Positions `fd` past the magic and the title string; false if the magic is not there.
inline bool OpenArchive(int fd, off_t payloadOffset) {
  uint32_t magic;
  std::string title;
  return lseek(fd, payloadOffset, SEEK_SET) == payloadOffset && ReadU32(fd, magic) &&
         magic == 123456789 && ReadShort(fd, title);
}

// Reads the next entry's header, leaving `fd` at its stream.
inline bool ReadEntryHeader(int fd, EntryHeader& h) {
  uint32_t installed, date;
  if (!ReadU32(fd, h.CompressedSize)) return false;
  if (h.CompressedSize == 0) return true;
  return ReadShort(fd, h.Name) && (!IsDcwName(h.Name) || ReadU32(fd, installed)) &&
         ReadU32(fd, h.DecodedSize) && ReadU32(fd, date);
}

} // namespace bench
