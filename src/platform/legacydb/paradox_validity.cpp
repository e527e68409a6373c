#include "platform/legacydb/paradox_validity.h"

namespace tarnel::legacydb {

namespace {

constexpr size_t kFirstEntry = 0x35;
constexpr size_t kEntryFixedBytes = 0x1C;
constexpr size_t kLookupBytes = 0x50;

bool AllZero(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// A given minimum, maximum or default. Paradox keeps "today" and "now" as a given value left
// blank: the check cannot mean a blank date, so the blank stands for the present moment.
TCheckValue DecodeCheckValue(const TParadoxFieldInfo& info, const uint8_t* bytes) {
  TCheckValue value;
  if (AllZero(bytes, static_cast<size_t>(ParadoxFieldBytes(info)))) {
    if (info.Type == pxDate) value.Presence = TCheckPresence::Today;
    if (info.Type == pxTime || info.Type == pxTimestamp) value.Presence = TCheckPresence::Now;
    value.Value = TFieldValue(ParadoxFieldType(info.Type));
    return value;
  }
  value.Presence = TCheckPresence::Value;
  value.Value = DecodeParadoxValue(info, bytes);
  return value;
}

}  // namespace

std::vector<TValidityCheck> ReadParadoxValidityChecks(const std::string& path,
                                                      const std::vector<TParadoxFieldInfo>& fields) {
  TBinaryFile file(path);
  TBytes bytes = file.Read(0, static_cast<size_t>(file.Size()));
  TByteView view(bytes, path);
  size_t count = view.U8(2);
  size_t end = view.U32(9);
  if (end > bytes.size()) view.Fail("the validity checks run past the end of the file");
  std::vector<TValidityCheck> checks;
  size_t offset = kFirstEntry;
  for (size_t n = 0; n < count; ++n) {
    TByteView entry = view.Sub(offset, kEntryFixedBytes);
    size_t position = entry.U8(0);
    if (position >= fields.size()) view.Fail("a validity check names a field the table does not have");
    const TParadoxFieldInfo& info = fields[position];
    size_t valueBytes = static_cast<size_t>(ParadoxFieldBytes(info));
    TValidityCheck check;
    check.FieldNo = static_cast<int>(position) + 1;
    check.Required = entry.U8(2) != 0;
    offset += kEntryFixedBytes;
    if (entry.U32(0x04) != 0) offset += kLookupBytes;
    for (auto [marker, target] : {std::pair{size_t{0x0C}, &check.Minimum}, std::pair{size_t{0x10}, &check.Maximum},
                                  std::pair{size_t{0x14}, &check.Default}}) {
      if (entry.U32(marker) == 0) continue;
      *target = DecodeCheckValue(info, view.At(offset, valueBytes));
      offset += valueBytes;
    }
    offset += entry.U8(1);  // the picture
    if (offset > end) view.Fail("a validity check runs into the field list");
    checks.push_back(std::move(check));
  }
  return checks;
}

}  // namespace tarnel::legacydb
