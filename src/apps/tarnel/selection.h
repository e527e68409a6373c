// Which records export and count see: the order of an index (--index NAME), a range of its keys
// (--range FROM:TO) and a filter (--filter "FIELD OP CONST [AND ...]"). The filter becomes a
// condition tree the table's filters evaluate, so that conditions on a field an index leads with
// are answered from that index.
#pragma once

#include <string>

#include "apps/tarnel/command_line.h"
#include "apps/tarnel/open_table.h"
#include "engine/expr/expression_node.h"

namespace tarnel::cli {

// Applies --index, --range and --filter to an open table. Malformed ones are EUsageError.
void ApplySelection(TOpenTable& table, const TArguments& arguments);

// The condition tree of a filter text: comparisons (=, <>, !=, <, <=, >, >=) of a field with a
// value in the CSV form of the field's type, joined by AND. A field name with blanks is written
// in double quotes; a value with blanks in single or double quotes ('' for a quote inside).
TExpressionPtr ParseFilter(const TOpenTable& table, const std::string& text);

}  // namespace tarnel::cli
