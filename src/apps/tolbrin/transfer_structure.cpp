#include "apps/tolbrin/transfer_structure.h"

#include <strings.h>

#include <algorithm>

#include "engine/base/field_desc.h"
#include "engine/base/short_string.h"
#include "engine/index/index_header.h"
#include "platform/locale/code_page.h"
#include "platform/rtl/date_text.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/number_text.h"

namespace tarnel::tolbrin {

using legacydb::TCheckPresence;
using legacydb::TCheckValue;
using legacydb::TSourceField;
using legacydb::TSourceIndex;
using legacydb::TSourceTable;

namespace {

constexpr char kRecordIdName[] = "RecordID";

// One index as it is carried over: its name, its key fields joined by ";" and its options.
struct TConvertedIndex {
  std::string Name;
  std::string Fields;
  unsigned Options = 0;
};

// A letter as the engine's names must begin with one: A to Z, a to z or a byte from 129 to 254.
bool BeginsWithLetter(const std::string& name) {
  if (name.empty()) return false;
  unsigned char c = static_cast<unsigned char>(name[0]);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 129 && c <= 254);
}

std::vector<std::string> SplitFieldList(const std::string& fields) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= fields.size()) {
    size_t end = std::min(fields.find(';', start), fields.size());
    std::string name = Trim(fields.substr(start, end - start));
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  return names;
}

// The source position of the field called `name` (any letter case), or -1.
int FieldPosition(const TSourceTable& source, const std::string& name) {
  const std::vector<TSourceField>& fields = source.Fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (::strcasecmp(fields[i].Name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
  }
  return -1;
}

class TStructureBuilder {
 public:
  TStructureBuilder(const TSourceTable& source, const std::string& tableName, const TMessageCallback& message)
      : FSource(source), FTableName(tableName), FMessage(message) {}

  TTransferStructure Build() {
    bool primaryAdded = ConvertIndexes();
    FResult.RecordIdAdded = !primaryAdded;
    AddFields();
    AddIndexes();
    AddValidityChecks();
    return std::move(FResult);
  }

 private:
  // Names from the source as the messages show them: converted from the table's code page.
  std::string Shown(const std::string& name) const {
    try {
      return locale::CodePageToUtf8(FSource.CodePage(), name).Text;
    } catch (const ELocaleError&) {
      return name;  // a code page the machine lacks: the bytes as they are
    }
  }

  // An index as the engine can hold it; false (and message A) for an expression index that
  // uses functions or names something other than fields.
  bool Convert(const TSourceIndex& index, TConvertedIndex& converted) const {
    converted = {index.Name, index.Fields, index.Options};
    if ((index.Options & legacydb::ixExpression) == 0) return true;
    converted.Fields = ExpressionFieldList(index.Expression);
    converted.Options &= ~static_cast<unsigned>(legacydb::ixExpression);
    std::vector<std::string> names = SplitFieldList(converted.Fields);
    bool fieldsOnly = !names.empty() && std::all_of(names.begin(), names.end(), [this](const std::string& name) {
      return FieldPosition(FSource, name) >= 0;
    });
    if (!fieldsOnly) FMessage(ExpressionIndexMessage(Shown(index.Name), FTableName));
    return fieldsOnly;
  }

  // The first index marked primary, then every other index in order; answers whether a primary
  // index was carried over.
  bool ConvertIndexes() {
    const std::vector<TSourceIndex>& indexes = FSource.Indexes();
    auto primary = std::find_if(indexes.begin(), indexes.end(),
                                [](const TSourceIndex& index) { return (index.Options & legacydb::ixPrimary) != 0; });
    bool primaryAdded = false;
    TConvertedIndex converted;
    if (primary != indexes.end() && Convert(*primary, converted)) {
      FIndexes.push_back(converted);
      primaryAdded = true;
    }
    for (auto index = indexes.begin(); index != indexes.end(); ++index) {
      if (index == primary) continue;
      if (Convert(*index, converted)) {
        converted.Options &= ~static_cast<unsigned>(legacydb::ixPrimary);
        // A dBase unique tag lists only the first record of each key and allows duplicates in
        // the table; as a unique engine index it would refuse the table's own records.
        if (FSource.Format() == legacydb::TTableFormat::DBase)
          converted.Options &= ~static_cast<unsigned>(legacydb::ixUnique);
        FIndexes.push_back(converted);
      }
    }
    return primaryAdded;
  }

  uint16_t Shift() const { return FResult.RecordIdAdded ? 1 : 0; }

  void AddFields() {
    std::vector<TFieldDesc>& fields = FResult.Definition.Fields;
    if (FResult.RecordIdAdded) {
      TFieldDesc recordId;
      recordId.FieldNo = 1;
      recordId.FieldName = kRecordIdName;
      recordId.FieldType = dtInteger;
      recordId.SubType = stAutoInc;
      recordId.FieldSize = 4;
      fields.push_back(recordId);
    }
    const std::vector<TSourceField>& source = FSource.Fields();
    for (size_t i = 0; i < source.size(); ++i) {
      const TSourceField& from = source[i];
      TFieldDesc field;
      field.FieldNo = static_cast<uint16_t>(i + 1 + Shift());
      TEngineFieldKind kind = EngineFieldKind(from.DataType);
      field.FieldType = kind.FieldType;
      field.SubType = kind.SubType;
      field.FieldName = FieldName(from.Name);
      int size = from.Size;
      if (size > kMaxStringFieldSize) {
        FMessage(FieldLengthCutMessage(Shown(from.Name), FTableName));
        size = kMaxStringFieldSize;
      }
      if (from.DataType == ftBCD) {
        if (size > kMaxBCDDecimals) {
          FMessage(FieldDecimalsCutMessage(Shown(from.Name), FTableName));
          size = kMaxBCDDecimals;
        }
        field.Decimals = static_cast<uint8_t>(size);
      }
      field.FieldSize = static_cast<uint8_t>(FieldSize(from.DataType, size));
      if (from.DataType == ftAutoInc) FResult.HasAutoInc = true;
      FResult.FieldNumbers.push_back(field.FieldNo);
      fields.push_back(field);
    }
  }

  std::string FieldName(const std::string& name) const {
    if (!BeginsWithLetter(name)) {
      FMessage(FieldRenamedMessage(Shown(name), FTableName));
      return ShortString("A" + name, kMaxFieldNameLength);
    }
    if (name.size() > static_cast<size_t>(kMaxFieldNameLength)) {
      FMessage(FieldNameCutMessage(Shown(name), FTableName));
      return ShortString(name, kMaxFieldNameLength);
    }
    return name;
  }

  static int FieldSize(TFieldType type, int size) {
    switch (type) {
      case ftSmallint:
      case ftWord:
      case ftBoolean: return 2;
      case ftInteger:
      case ftDate:
      case ftTime:
      case ftAutoInc: return 4;
      case ftFloat:
      case ftCurrency:
      case ftBCD:
      case ftDateTime: return 8;
      case ftString:
      case ftBytes:
      case ftVarBytes: return size;
      default: return IsBlobType(type) ? size : 0;
    }
  }

  void AddIndexes() {
    std::vector<TIndexDescriptor>& indexes = FResult.Definition.Indexes;
    if (FResult.RecordIdAdded) {
      FMessage(RecordIdAddedMessage(FTableName));
      TIndexDescriptor primary;
      primary.FieldCount = 1;
      primary.FieldNumbers[0] = 1;
      primary.Compression = cmBoth;
      indexes.push_back(primary);
    }
    for (size_t i = 0; i < FIndexes.size(); ++i) {
      const TConvertedIndex& from = FIndexes[i];
      TIndexDescriptor index;
      bool primary = !FResult.RecordIdAdded && i == 0;
      if (!primary) index.IndexName = IndexName(from.Name);
      std::vector<std::string> names = SplitFieldList(from.Fields);
      for (const std::string& name : names) {
        if (index.FieldCount == kMaxKeyFields) break;
        int position = FieldPosition(FSource, name);
        index.FieldNumbers[index.FieldCount++] = static_cast<uint16_t>(position < 0 ? 0 : position + 1 + Shift());
      }
      index.Descending = (from.Options & legacydb::ixDescending) != 0;
      index.FieldDescending.fill(index.Descending ? 1 : 0);
      index.CaseInsensitive = (from.Options & legacydb::ixCaseInsensitive) != 0;
      index.Unique = (from.Options & legacydb::ixUnique) != 0;
      index.Compression = cmBoth;
      indexes.push_back(index);
    }
  }

  std::string IndexName(const std::string& sourceName) const {
    std::string name = sourceName;
    if (!BeginsWithLetter(name)) {
      FMessage(IndexRenamedMessage(Shown(sourceName), FTableName));
      name = "A" + name;
    }
    if (name.size() > static_cast<size_t>(kMaxFieldNameLength)) {
      FMessage(IndexNameCutMessage(Shown(sourceName), FTableName));
      name = ShortString(name, kMaxFieldNameLength);
    }
    return name;
  }

  void AddValidityChecks() {
    for (const legacydb::TValidityCheck& check : FSource.ValidityChecks()) {
      if (check.FieldNo == 0) continue;
      size_t number = static_cast<size_t>(check.FieldNo) + Shift();
      if (number > FResult.Definition.Fields.size()) continue;
      TFieldDesc& field = FResult.Definition.Fields[number - 1];
      field.Required = check.Required;
      field.MinValue = CheckText(check.Minimum, field.FieldType);
      field.MaxValue = CheckText(check.Maximum, field.FieldType);
      field.DefaultValue = CheckText(check.Default, field.FieldType);
    }
  }

  // A minimum, maximum or default as the text the engine reads in the new table's locale (the
  // format settings in force); empty when the check gives none.
  static std::string CheckText(const TCheckValue& check, uint8_t fieldType) {
    if (check.Presence == TCheckPresence::None) return std::string();
    bool present = check.Presence == TCheckPresence::Today || check.Presence == TCheckPresence::Now;
    std::string text;
    switch (fieldType) {
      case dtString: text = check.Value.AsString(); break;
      case dtDate: text = present ? "Date" : DateToStr(check.Value.AsDate() - kDateDelta); break;
      case dtBoolean: text = check.Value.AsBoolean() ? "True" : "False"; break;
      case dtSmallInt:
      case dtInteger:
      case dtWord: text = IntToStr(check.Value.AsInteger()); break;
      case dtFloat:
      case dtBCD: text = FloatToStr(check.Value.AsFloat()); break;
      case dtTime: text = present ? "Time" : TimeToStr(static_cast<double>(check.Value.AsTime()) / kMSecsPerDay); break;
      case dtTimeStamp:
        if (present) {
          text = check.Presence == TCheckPresence::Today ? "Date" : "Now";
        } else {
          TDateTime moment = MSecsToDateTime(check.Value.AsDateTime());
          text = DateToStr(moment) + " " + TimeToStr(moment);
        }
        break;
      default: break;
    }
    return ShortString(text, kMaxValidityTextLength);
  }

  const TSourceTable& FSource;
  const std::string& FTableName;
  const TMessageCallback& FMessage;
  std::vector<TConvertedIndex> FIndexes;
  TTransferStructure FResult;
};

}  // namespace

TTransferStructure BuildTransferStructure(const TSourceTable& source, const std::string& tableName,
                                          const TMessageCallback& message) {
  return TStructureBuilder(source, tableName, message).Build();
}

TEngineFieldKind EngineFieldKind(TFieldType type) {
  switch (type) {
    case ftString: return {dtString, stNone};
    case ftSmallint: return {dtSmallInt, stNone};
    case ftInteger: return {dtInteger, stNone};
    case ftWord: return {dtWord, stNone};
    case ftBoolean: return {dtBoolean, stNone};
    case ftFloat: return {dtFloat, stNone};
    case ftCurrency: return {dtFloat, stMoney};
    case ftBCD: return {dtBCD, stNone};
    case ftDate: return {dtDate, stNone};
    case ftTime: return {dtTime, stNone};
    case ftDateTime: return {dtTimeStamp, stNone};
    case ftBytes: return {dtBytes, stNone};
    case ftVarBytes: return {dtVarBytes, stNone};
    case ftAutoInc: return {dtInteger, stAutoInc};
    case ftBlob: return {dtBlob, stBinary};
    case ftMemo: return {dtBlob, stMemo};
    case ftGraphic: return {dtBlob, stGraphic};
    case ftFmtMemo: return {dtBlob, stFmtMemo};
    case ftParadoxOle:
    case ftDBaseOle: return {dtBlob, stNone};
    case ftTypedBinary: return {dtBlob, stTypedBinary};
    default: return {dtUnknown, stNone};
  }
}

std::string ExpressionFieldList(const std::string& expression) {
  if (expression.find_first_of("()-") != std::string::npos) return std::string();
  std::string fields;
  size_t start = 0;
  while (true) {
    size_t end = std::min(expression.find('+', start), expression.size());
    fields += Trim(expression.substr(start, end - start));
    if (end == expression.size()) return fields;
    fields += ";";
    start = end + 1;
  }
}

std::string ExpressionIndexMessage(const std::string& index, const std::string& table) {
  return "Index " + index + " in source table " + table +
         " is an expression index that contains functions and will not be transferred over to the new TARNEL data "
         "file.";
}

std::string FieldRenamedMessage(const std::string& field, const std::string& table) {
  return "Field name " + field + " in source table " + table +
         " does not begin with an alpha character and will be renamed in the new TARNEL data file to A" + field + ".";
}

std::string FieldNameCutMessage(const std::string& field, const std::string& table) {
  return "Field name " + field + " in source table " + table +
         " exceeds the maximum field name length of 30 in TARNEL and will be truncated in the new TARNEL data file.";
}

std::string FieldLengthCutMessage(const std::string& field, const std::string& table) {
  return "Field length of " + field + " in source table " + table +
         " exceeds the maximum field length of 250 in TARNEL and will be truncated in the new TARNEL data file.";
}

std::string FieldDecimalsCutMessage(const std::string& field, const std::string& table) {
  return "Field decimals of " + field + " in source table " + table +
         " exceeds the maximum number of BCD decimals (4) in TARNEL and will be truncated in the new TARNEL data file.";
}

std::string RecordIdAddedMessage(const std::string& table) {
  return "A primary index was not found in source table " + table +
         ", a primary index based upon an auto-increment field called RecordID will be added to the new TARNEL data "
         "file.";
}

std::string IndexRenamedMessage(const std::string& index, const std::string& table) {
  return "Index name " + index + " in source table " + table +
         " does not begin with an alpha character and will be renamed in the new TARNEL data file to A" + index + ".";
}

std::string IndexNameCutMessage(const std::string& index, const std::string& table) {
  return "Index name " + index + " in source table " + table +
         " exceeds the maximum index name length of 30 in TARNEL and will be truncated in the new TARNEL data file.";
}

}  // namespace tarnel::tolbrin
