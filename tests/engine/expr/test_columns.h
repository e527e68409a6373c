// The one table "c" that the checker tests and the expression fuzz target resolve columns
// against: a column of every expression type, field numbers from 1 in this order.
#pragma once

#include <strings.h>

#include <cstddef>
#include <cstdint>

#include "engine/base/field_desc.h"
#include "engine/expr/expression_node.h"

namespace tarnel::test {

struct TColumnDef {
  const char* Name;
  uint8_t Type, Size, Scale, SubType;
};

inline constexpr TColumnDef kColumns[] = {
    {"n", dtInteger, 4, 0, 0},     {"k", dtSmallInt, 2, 0, 0},    {"w", dtWord, 2, 0, 0},
    {"f", dtFloat, 8, 0, 0},       {"m", dtFloat, 8, 0, stMoney}, {"b", dtBCD, 8, 2, 0},
    {"s", dtString, 31, 0, 0},     {"s2", dtString, 21, 0, 0},    {"Name", dtString, 31, 0, 0},
    {"Smith", dtString, 21, 0, 0}, {"d", dtDate, 4, 0, 0},        {"t", dtTime, 4, 0, 0},
    {"ts", dtTimeStamp, 8, 0, 0},  {"flag", dtBoolean, 2, 0, 0},  {"memo", dtBlob, 4, 0, stMemo},
};
inline constexpr size_t kColumnCount = sizeof(kColumns) / sizeof(kColumns[0]);

// Resolves a column of "c" as SQL does: names and the qualifier without regard to case.
inline bool ResolveTestColumn(TExpressionNode& column) {
  if (!column.TableName.empty() && ::strcasecmp(column.TableName.c_str(), "c") != 0) return false;
  for (size_t i = 0; i < kColumnCount; ++i) {
    const TColumnDef& def = kColumns[i];
    if (::strcasecmp(def.Name, column.ColumnName.c_str()) != 0) continue;
    column.FieldNo = static_cast<uint16_t>(i + 1);
    column.TableName = "c";
    column.DataType = def.Type;
    column.Size = def.Size;
    column.Scale = def.Scale;
    column.SubType = def.SubType;
    return true;
  }
  return false;
}

}  // namespace tarnel::test
