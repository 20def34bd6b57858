// Byte buffers and the little-endian 32-bit values of the payload and content formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zpack {

using Bytes = std::vector<uint8_t>;

inline uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void SetU32(uint8_t* p, uint32_t value) {
  p[0] = uint8_t(value);
  p[1] = uint8_t(value >> 8);
  p[2] = uint8_t(value >> 16);
  p[3] = uint8_t(value >> 24);
}

inline void PutU32(Bytes& out, uint32_t value) {
  uint8_t b[4];
  SetU32(b, value);
  out.insert(out.end(), b, b + 4);
}

inline void PutBytes(Bytes& out, std::string_view bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

inline std::string_view AsText(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

inline Bytes ToBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

} // namespace zpack
