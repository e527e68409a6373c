// The type checker of parsed expressions: resolves column references through the caller,
// converts date and time texts compared with dates and times, applies the type rules and fills
// every node's result type. It changes the tree in place and runs before any evaluation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/expr/expression_node.h"

namespace tarnel {

// Finds the column that `column.ColumnName` and `column.TableName` name. On success it sets the
// node's Source, FieldNo, TableName (the correlation name of the table found), DataType,
// SubType, Size and Scale from the field's definition, and answers true.
using TResolveColumn = std::function<bool(TExpressionNode& column)>;

// Checks the tree at `root`, depth first. A failure raises engine error `errorCode` with the
// message as the SQL text; `context` ends the messages ("source columns", "WHERE or JOIN
// clause", "update values"). A date, time or timestamp text that does not convert is reported
// the same way; the conversions follow the current format settings.
void CheckExpression(uint16_t errorCode, const std::string& context, TExpressionNode& root,
                     const TResolveColumn& resolveColumn);

}  // namespace tarnel
