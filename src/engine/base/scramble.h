// The reversible block scrambling of password-protected tables. The key stream starts afresh at
// every call, so the unit of one call is the unit of scrambling (a record, a page, a block...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnel {

// The key pair of every data block (definitions, records, index header and pages, BLOB header
// and blocks) and the key pair of the stored password and description. Fixed for all tables
// and all programs that share them.
constexpr uint8_t kBlockKey1 = 0x5A;
constexpr uint8_t kBlockKey2 = 0xC3;
constexpr uint8_t kPasswordKey1 = 0x2D;
constexpr uint8_t kPasswordKey2 = 0x96;

// XORs each byte with L and H, then L := L + 1 and H := H - 1 (mod 256), starting from the keys.
// Applying it twice with the same keys restores the buffer.
inline void ScrambleBlock(void* buffer, size_t length, uint8_t key1, uint8_t key2) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  uint8_t low = key1;
  uint8_t high = key2;
  for (size_t i = 0; i < length; ++i) {
    bytes[i] ^= static_cast<uint8_t>(low ^ high);
    ++low;
    --high;
  }
}

// The characters of a stored password or description, scrambled or (the same call) plain again.
inline std::string PasswordScrambled(const std::string& text) {
  std::string result = text;
  ScrambleBlock(result.data(), result.size(), kPasswordKey1, kPasswordKey2);
  return result;
}

}  // namespace tarnel
