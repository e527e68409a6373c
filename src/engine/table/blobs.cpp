// The table's side of its BLOB fields.
#include "engine/base/byte_order.h"
#include "engine/table/data_file.h"

namespace tarnel {

bool TDataFile::BlobFieldIsNull(const uint8_t* field) const {
  int32_t reference = GetI32(field + 1);
  if (reference >= 0) return field[0] == 0;
  // The BLOB is open: null while it holds nothing; with no BLOB open at all it counts as data.
  if (!FBlobFile || FBlobFile->OpenBlobCount() == 0) return false;
  const TBlobBuffer* blob = FBlobFile->FindBlob(reference);
  return blob == nullptr || blob->Size() == 0;
}

bool TDataFile::BlobReferenceHoldsData(int32_t reference) const {
  if (reference >= 0) return reference != 0;
  const TBlobBuffer* blob = FBlobFile ? FBlobFile->FindBlob(reference) : nullptr;
  return blob != nullptr && blob->Size() > 0;
}

}  // namespace tarnel
