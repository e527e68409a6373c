// The filter expression block a dataset hands to a table's filters: a little-endian header, a
// node area whose root is at node offset 0 (a parent always before its operands) and a literal
// area with field names and constant values. Parsing gives an expression tree whose columns are
// resolved against the table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/expr/expression_node.h"

namespace tarnel {

class TIndexOwner;

constexpr uint16_t kFilterBlockVersion = 2;

// The tree of a block; a damaged block or an unknown field raises 10051 naming the table.
TExpressionPtr ParseFilterBlock(const uint8_t* block, size_t size, const TIndexOwner& table);

}  // namespace tarnel
