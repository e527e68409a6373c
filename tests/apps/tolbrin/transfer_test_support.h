// Helpers of the transfer tests: a run with everything it reported kept, and the read-back of a
// transferred table through the engine, compared field by field with the source table as the
// Paradox and dBase readers give it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "apps/tolbrin/table_transfer.h"
#include "engine/table/data_file.h"

namespace tarnel::test {

struct TTransferLog {
  tolbrin::TTransferResult Result = tolbrin::TTransferResult::Failed;
  std::vector<std::string> Information;
  std::vector<std::string> Errors;
  // "running", "stopped", "begin <status>", "end", "progress <percent>" (when it changes), in
  // the order they came.
  std::vector<std::string> Events;
  int64_t ProgressCalls = 0;
};

TTransferLog Transfer(const tolbrin::TTransferRequest& request);

// Starts the engine for the life of the object and opens a transferred table.
class TTransferredTable {
 public:
  TTransferredTable(const std::string& directory, const std::string& tableName);
  ~TTransferredTable();
  TTransferredTable(const TTransferredTable&) = delete;
  TTransferredTable& operator=(const TTransferredTable&) = delete;

  TDataFile& Table() { return *FTable; }
  // The definition of field `fieldNo`; the number of the field called `name`, or 0.
  const TFieldDesc& Field(int fieldNo) const { return FTable->GetFieldDesc(false, fieldNo); }
  int FieldNumber(const std::string& name) const;
  // The contents of a BLOB field of an image (empty when null).
  std::string Blob(int fieldNo, uint8_t* image);

 private:
  std::unique_ptr<TDataFile> FTable;
};

// Every record of the transferred table equals the source's, in the source's order: each
// field's null state and value (texts transliterated into `targetCodePage` as asked, BCD values
// rounded to the new field's decimals, graphics without their 8-byte header), and a RecordID
// field numbers the records from 1 (or carries the source's auto-increment value).
void ExpectSameValues(const std::string& sourceDirectory, const std::string& tableName,
                      const std::string& destinationDirectory, bool transliterate, int targetCodePage = 1252);

// The bytes of a graphic value with the 8-byte header that Paradox puts before its image.
std::string WithGraphicHeader(const std::string& image);

}  // namespace tarnel::test
