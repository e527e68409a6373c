// Evaluation of an expression tree for one record. The evaluator keeps no state between calls
// and allocates nothing for ordinary operators: every level keeps its values in value records
// on the stack. A table filter and an SQL statement each pass a column fetch of their own.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/expr/expression_node.h"
#include "engine/expr/expression_value.h"

namespace tarnel {

// Fills `value.Value` and `value.IsNull` of a column node for the record being evaluated (the
// type data is already the column's). A table reads the field from the record image it is
// given; SQL reads it from the current record of the node's Source and ignores `record`.
using TFetchColumn =
    std::function<void(const TExpressionNode& column, const void* record, TExpressionValue& value)>;

// The value of the tree at `node` for `record`: Value and IsNull computed, DataType, SubType,
// Size and Scale those of the node. `language` and `sortOrder` are the locale of string
// comparison and case mapping (language 0: none). Without `fetch` a column keeps the value
// stored in its node. Raises only what the conversions and the locale layer raise.
TExpressionValue EvaluateExpression(const TExpressionNode& node, const void* record,
                                    uint16_t language, uint16_t sortOrder,
                                    const TFetchColumn* fetch);

}  // namespace tarnel
