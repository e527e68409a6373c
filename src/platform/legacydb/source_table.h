// A Paradox or dBase table opened for reading, in the terms the transfer utility works in:
// field definitions as the class library's field types, index definitions, validity checks,
// and a forward walk over the records in the table's default order with typed field values.
//
// Open a table with OpenSourceTable; the object owns its files until it is destroyed.
// REQUIRES: external synchronization; one table is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/legacydb/field_value.h"
#include "platform/rtl/field_type.h"

namespace tarnel::legacydb {

class TTransliterator;

enum class TTableFormat { Paradox, DBase };

struct TSourceField {
  std::string Name;  // as stored, in the table's code page
  TFieldType DataType = ftUnknown;
  // Characters of ftString, bytes of ftBytes, decimals of ftBCD, the part of a Paradox BLOB
  // kept in the record; 0 for every other type.
  int Size = 0;
  int FieldNo = 0;  // 1-based position
};

// Index options, with the bit values of the class library's index definitions.
enum TIndexOption : unsigned {
  ixPrimary = 1,
  ixUnique = 2,
  ixDescending = 4,
  ixCaseInsensitive = 8,
  ixExpression = 16,
};

struct TSourceIndex {
  std::string Name;        // empty for the Paradox primary index
  std::string Fields;      // the key's field names joined by ";"; empty for an expression index
  std::string Expression;  // the dBase key expression of an ixExpression index
  std::string Condition;   // the dBase FOR condition of a tag that holds only some records
  unsigned Options = 0;    // TIndexOption bits
};

// How a minimum, maximum or default of a validity check is given. The numbers are those of the
// check descriptors the transfer utility reads: 2 stands for today's date, 3 for the present
// time (or date and time).
enum class TCheckPresence : uint8_t { None = 0, Value = 1, Today = 2, Now = 3 };

struct TCheckValue {
  TCheckPresence Presence = TCheckPresence::None;
  TFieldValue Value;  // with Presence Value: the value, of the field's type
};

struct TValidityCheck {
  int FieldNo = 0;  // 1-based
  bool Required = false;
  TCheckValue Minimum;
  TCheckValue Maximum;
  TCheckValue Default;
};

struct TOpenOptions {
  // The code page that Text and Blob convert into when asked to transliterate.
  int TargetCodePage = 1252;
};

class TSourceTable {
 public:
  virtual ~TSourceTable();
  TSourceTable(const TSourceTable&) = delete;
  TSourceTable& operator=(const TSourceTable&) = delete;

  const std::string& FileName() const { return FFileName; }
  TTableFormat Format() const { return FFormat; }
  // The code page of the table's texts.
  int CodePage() const { return FCodePage; }
  const std::vector<TSourceField>& Fields() const { return FFields; }
  // The primary index (Paradox) first, then the secondary indexes or tags.
  const std::vector<TSourceIndex>& Indexes() const { return FIndexes; }
  const std::vector<TValidityCheck>& ValidityChecks() const { return FValidityChecks; }
  // The number of records the walk visits (deleted dBase records excluded).
  virtual int64_t RecordCount() const = 0;

  // The walk: First moves to the first record in the default order (the primary key of a
  // keyed Paradox table, else the physical order), Next to the following one; Eof is true
  // once the walk has passed the last record (at once for an empty table).
  virtual void First() = 0;
  virtual void Next() = 0;
  virtual bool Eof() const = 0;

  // The current record's fields, by 0-based position. Each raises ELegacyDbError when there is
  // no current record, for a position outside the fields, or for a damaged value.
  virtual bool IsNull(int field) const = 0;
  // The value of a field that is not a BLOB.
  virtual TFieldValue Value(int field) const = 0;
  // An ftString field's text (empty when null), converted into the target code page when
  // `transliterate` is set.
  std::string Text(int field, bool transliterate) const;
  // A BLOB field's contents (empty when null). An ftMemo is converted into the target code page
  // when `transliterate` is set; the other kinds are given as stored.
  std::string Blob(int field, bool transliterate) const;

 protected:
  TSourceTable(std::string fileName, TTableFormat format, const TOpenOptions& options);
  virtual std::string ReadBlob(int field) const = 0;
  // Raises unless `field` is a valid position and there is a current record.
  const TSourceField& CheckField(int field) const;
  [[noreturn]] void Fail(const std::string& problem) const;
  // The origin a value of `field` names in its errors.
  const std::shared_ptr<const std::string>& Origin(int field) const;
  // Finishes the definitions: the field origins and the transliteration.
  void SetDefinitions(std::vector<TSourceField> fields, int codePage);

  std::vector<TSourceIndex> FIndexes;
  std::vector<TValidityCheck> FValidityChecks;
  TOpenOptions FOptions;

 private:
  std::string Transliterate(const std::string& text) const;

  std::string FFileName;
  TTableFormat FFormat;
  int FCodePage = 0;
  std::vector<TSourceField> FFields;
  std::vector<std::shared_ptr<const std::string>> FOrigins;
  mutable std::unique_ptr<TTransliterator> FTransliterator;
};

// Opens `fileName` in `directory`: a Paradox table (.DB) with its .MB, .PX, .Xnn/.Ynn,
// .XGn/.YGn and .VAL files, or a dBase or FoxPro table (.DBF) with its .DBT or .FPT memo file,
// its production .MDX and the .NDX and .MDX files its .INF file lists. The format is told by
// the extension. Raises ELegacyDbError when the table cannot be opened, password-protected
// Paradox tables included (their scrambling is not decoded).
std::unique_ptr<TSourceTable> OpenSourceTable(const std::string& directory, const std::string& fileName,
                                              const TOpenOptions& options = TOpenOptions());

}  // namespace tarnel::legacydb
