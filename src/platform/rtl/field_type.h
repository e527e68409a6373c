// The class library's field types: what a dataset reports for each field of a table, whatever
// the table's format. The transfer utility maps them onto engine field definitions, and the
// data-access layer maps engine field definitions back onto them.
#pragma once

namespace tarnel {

enum TFieldType {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
};

// The BLOB kinds: values that live outside the record and are read whole.
inline bool IsBlobType(TFieldType type) { return type >= ftBlob && type <= ftTypedBinary; }

}  // namespace tarnel
