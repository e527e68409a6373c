// The BLOB file (.MB) of a Paradox table: memo, formatted memo, binary, OLE and graphic values
// longer than the part kept in the record. The file is made of 4096-byte units; a BLOB lives
// either alone in a block of its own (type 2, one or more units) or as one of up to 64 small
// entries of a shared block (type 3, one unit).
#pragma once

#include <cstdint>
#include <string>

#include "platform/legacydb/binary_file.h"

namespace tarnel::legacydb {

class TParadoxBlobFile {
 public:
  explicit TParadoxBlobFile(const std::string& path);

  // The BLOB that a record's descriptor names: `offset` is the descriptor's offset (the block's
  // offset with the entry index in the low byte, 0xFF for a block of its own), `length` its
  // length. Raises ELegacyDbError when the file does not hold it.
  std::string Read(uint32_t offset, uint32_t length) const;

 private:
  TBinaryFile FFile;
};

}  // namespace tarnel::legacydb
