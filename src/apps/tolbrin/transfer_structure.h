// How one Paradox or dBase table becomes the definition of a new engine table: its fields in
// source order, its indexes where the engine can express them (an expression index that joins
// field names with "+" becomes an index on those fields; other expression indexes are left
// out), a RecordID field with its primary index when the source has no primary index, and the
// source's validity checks as texts in the current format settings. Every adjustment is
// reported through the message callback with the text the user reads.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/table/table_definition.h"
#include "platform/legacydb/source_table.h"
#include "platform/rtl/field_type.h"

namespace tarnel::tolbrin {

using TMessageCallback = std::function<void(const std::string& text)>;

struct TTransferStructure {
  // Fields, indexes and validity checks; the locale and version numbers are the caller's.
  TTableDefinition Definition;
  // The engine field number of each source field, by source position.
  std::vector<uint16_t> FieldNumbers;
  bool RecordIdAdded = false;
  // The source has an auto-increment field: the new table is filled in copy mode.
  bool HasAutoInc = false;
};

// `tableName` is the source table's name as the messages give it.
TTransferStructure BuildTransferStructure(const legacydb::TSourceTable& source, const std::string& tableName,
                                          const TMessageCallback& message);

struct TEngineFieldKind {
  uint8_t FieldType;
  uint8_t SubType;
};
// The engine type and subtype of a field type; dtUnknown for types the engine has no form for.
TEngineFieldKind EngineFieldKind(TFieldType type);

// The field list (names joined by ";") of an expression that joins field names with "+", or an
// empty text when it contains a function ("(", ")") or an operator other than "+" ("-").
std::string ExpressionFieldList(const std::string& expression);

// The messages, X being a field or index name as in the source and T the table's name.
std::string ExpressionIndexMessage(const std::string& index, const std::string& table);
std::string FieldRenamedMessage(const std::string& field, const std::string& table);
std::string FieldNameCutMessage(const std::string& field, const std::string& table);
std::string FieldLengthCutMessage(const std::string& field, const std::string& table);
std::string FieldDecimalsCutMessage(const std::string& field, const std::string& table);
std::string RecordIdAddedMessage(const std::string& table);
std::string IndexRenamedMessage(const std::string& index, const std::string& table);
std::string IndexNameCutMessage(const std::string& index, const std::string& table);

}  // namespace tarnel::tolbrin
