#include "platform/legacydb/source_table.h"

#include <strings.h>

#include "platform/legacydb/binary_file.h"
#include "platform/legacydb/code_page.h"
#include "platform/legacydb/dbase_table.h"
#include "platform/legacydb/legacy_error.h"
#include "platform/legacydb/paradox_table.h"

namespace tarnel::legacydb {

TSourceTable::TSourceTable(std::string fileName, TTableFormat format, const TOpenOptions& options)
    : FOptions(options), FFileName(std::move(fileName)), FFormat(format) {}

TSourceTable::~TSourceTable() = default;

void TSourceTable::Fail(const std::string& problem) const { throw ELegacyDbError(FFileName, problem); }

void TSourceTable::SetDefinitions(std::vector<TSourceField> fields, int codePage) {
  FFields = std::move(fields);
  FCodePage = codePage;
  FOrigins.clear();
  for (const TSourceField& field : FFields) {
    FOrigins.push_back(std::make_shared<const std::string>(FFileName + ", field " + field.Name));
  }
}

const std::shared_ptr<const std::string>& TSourceTable::Origin(int field) const {
  return FOrigins.at(static_cast<size_t>(field));
}

const TSourceField& TSourceTable::CheckField(int field) const {
  if (field < 0 || static_cast<size_t>(field) >= FFields.size()) {
    Fail("there is no field at position " + std::to_string(field));
  }
  if (Eof()) Fail("there is no current record");
  return FFields[static_cast<size_t>(field)];
}

std::string TSourceTable::Transliterate(const std::string& text) const {
  if (!FTransliterator) {
    FTransliterator = std::make_unique<TTransliterator>(FCodePage, FOptions.TargetCodePage);
  }
  return FTransliterator->Convert(text, FFileName);
}

std::string TSourceTable::Text(int field, bool transliterate) const {
  const TSourceField& definition = CheckField(field);
  if (definition.DataType != ftString) Fail("field " + definition.Name + " is not a text field");
  TFieldValue value = Value(field);
  if (value.IsNull()) return std::string();
  return transliterate ? Transliterate(value.AsString()) : value.AsString();
}

std::string TSourceTable::Blob(int field, bool transliterate) const {
  const TSourceField& definition = CheckField(field);
  if (!IsBlobType(definition.DataType)) Fail("field " + definition.Name + " is not a BLOB field");
  std::string contents = ReadBlob(field);
  return transliterate && definition.DataType == ftMemo ? Transliterate(contents) : contents;
}

std::unique_ptr<TSourceTable> OpenSourceTable(const std::string& directory, const std::string& fileName,
                                              const TOpenOptions& options) {
  size_t dot = fileName.rfind('.');
  std::string extension = dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
  if (::strcasecmp(extension.c_str(), "DB") == 0) {
    return std::make_unique<TParadoxTable>(directory, fileName, options);
  }
  if (::strcasecmp(extension.c_str(), "DBF") == 0) {
    return std::make_unique<TDbaseTable>(directory, fileName, options);
  }
  throw ELegacyDbError(JoinPath(directory, fileName), "neither a Paradox (.DB) nor a dBase (.DBF) table");
}

}  // namespace tarnel::legacydb
