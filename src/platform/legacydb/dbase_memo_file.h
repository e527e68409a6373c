// The memo file of a dBase or FoxPro table, holding memo, binary and OLE values. A record's memo
// field names the value's first block.
//   .DBT of dBase III: 512-byte blocks; a value ends at the first 1A 1A.
//   .DBT of dBase IV and later: the block size is the 16-bit value at byte 20; a value starts
//     with FF FF 08 00 and a 32-bit length that counts those 8 bytes.
//   .FPT of FoxPro: the block size is the big-endian 16-bit value at byte 6; a value starts with
//     a big-endian 32-bit kind and a big-endian 32-bit length.
#pragma once

#include <cstdint>
#include <string>

#include "platform/legacydb/binary_file.h"

namespace tarnel::legacydb {

enum class TMemoFormat { DBase3, DBase4, FoxPro };

class TDbaseMemoFile {
 public:
  TDbaseMemoFile(const std::string& path, TMemoFormat format);

  // The value that starts at `block`. Raises ELegacyDbError when the file does not hold it.
  std::string Read(uint32_t block) const;

 private:
  TBinaryFile FFile;
  TMemoFormat FFormat;
  uint32_t FBlockSize = 512;
};

}  // namespace tarnel::legacydb
