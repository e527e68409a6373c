// Paradox's scrambling of password-protected tables: the header keeps a checksum of the
// master password, and every data block of the table and every unit of its BLOB file is
// scrambled with a key derived from that checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnel::legacydb {

// The checksum Paradox keeps in the header for `password`.
uint32_t ParadoxPasswordChecksum(const std::string& password);
// Unscrambles a data block of the table (`number` counts from 1).
void DecryptParadoxBlock(uint8_t* data, size_t size, uint32_t checksum, uint32_t number);
// Unscrambles a 4096-byte unit of the BLOB file (`unit` counts from 0).
void DecryptParadoxBlobUnit(uint8_t* data, size_t size, uint32_t checksum, uint32_t unit);

}  // namespace tarnel::legacydb
