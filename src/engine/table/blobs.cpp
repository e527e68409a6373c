// The table's side of its BLOB fields.
#include "engine/base/byte_order.h"
#include "engine/table/data_file.h"

namespace tarnel {

bool TDataFile::BlobFieldIsNull(const uint8_t* field) const {
  int32_t reference = GetI32(field + 1);
  if (reference < 0) return false;
  return field[0] == 0;
}

bool TDataFile::BlobReferenceHoldsData(int32_t reference) const { return reference != 0; }

}  // namespace tarnel
