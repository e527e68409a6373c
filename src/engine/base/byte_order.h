// Little-endian reading and writing of the integers, floats and length-prefixed strings of the
// engine's files, one field at a time; no structure is ever copied to or from disk whole.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace tarnel {

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t GetI16(const uint8_t* p) { return static_cast<int16_t>(GetU16(p)); }
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }
inline uint64_t GetU64(const uint8_t* p) {
  return static_cast<uint64_t>(GetU32(p)) | (static_cast<uint64_t>(GetU32(p + 4)) << 32);
}
inline int64_t GetI64(const uint8_t* p) { return static_cast<int64_t>(GetU64(p)); }
inline double GetF64(const uint8_t* p) {
  uint64_t bits = GetU64(p);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutI32(uint8_t* p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }
inline void PutU64(uint8_t* p, uint64_t v) {
  PutU32(p, static_cast<uint32_t>(v));
  PutU32(p + 4, static_cast<uint32_t>(v >> 32));
}
inline void PutI64(uint8_t* p, int64_t v) { PutU64(p, static_cast<uint64_t>(v)); }
inline void PutF64(uint8_t* p, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  PutU64(p, bits);
}

// A string area: one length byte and up to `maxLength` characters. A length byte beyond the area
// (a damaged file) is read as the whole area.
inline std::string GetShortString(const uint8_t* p, size_t maxLength) {
  size_t length = p[0] < maxLength ? p[0] : maxLength;
  return std::string(reinterpret_cast<const char*>(p + 1), length);
}
// Writes the length byte and the characters (cut to `maxLength`); the rest of the area is zeroed.
inline void PutShortString(uint8_t* p, const std::string& text, size_t maxLength) {
  size_t length = text.size() < maxLength ? text.size() : maxLength;
  std::memset(p, 0, maxLength + 1);
  p[0] = static_cast<uint8_t>(length);
  std::memcpy(p + 1, text.data(), length);
}

}  // namespace tarnel
