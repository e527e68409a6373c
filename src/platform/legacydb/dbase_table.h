// A dBase or FoxPro table (.DBF: dBase II, III, IV, 5 and 7, FoxPro and Visual FoxPro) read
// through TSourceTable. After the header and its field descriptors come fixed-length records,
// each starting with a deletion flag ("*" for a deleted record, which the walk skips); most
// values are text (numbers, dates as YYYYMMDD, logicals as T/F/Y/N/?), a few types of the later
// versions are binary. A field of blanks is null.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/legacydb/binary_file.h"
#include "platform/legacydb/dbase_memo_file.h"
#include "platform/legacydb/source_table.h"

namespace tarnel::legacydb {

class TDbaseTable : public TSourceTable {
 public:
  TDbaseTable(const std::string& directory, const std::string& fileName, const TOpenOptions& options);

  int64_t RecordCount() const override { return FLiveCount; }
  void First() override;
  void Next() override;
  bool Eof() const override { return FRecord >= FPhysicalCount; }
  bool IsNull(int field) const override;
  TFieldValue Value(int field) const override;

 protected:
  std::string ReadBlob(int field) const override;

 private:
  struct TLayout {
    char Type;
    size_t Offset;
    size_t Length;
    int Decimals;
    int NullBit;  // bit in the Visual FoxPro null flags, -1 when the field cannot be null there
  };

  std::vector<TSourceField> ReadDescriptors();
  std::vector<TSourceField> ReadDBase2Descriptors();
  void ReadIndexes(const std::string& baseName);
  void CountLiveRecords();
  void SkipDeleted();
  const uint8_t* Record() const;
  std::string FieldText(int field) const;
  bool FlaggedNull(int field) const;
  uint32_t MemoBlock(int field) const;
  TFieldType TypeOf(const TLayout& layout) const;

  std::string FDirectory;
  TBinaryFile FFile;
  uint8_t FVersion = 0;
  uint64_t FDataStart = 0;
  size_t FRecordLength = 0;
  int64_t FPhysicalCount = 0;
  int64_t FLiveCount = 0;
  bool FHasMdx = false;
  std::vector<TLayout> FLayouts;
  // The hidden null flags field of Visual FoxPro; length 0 when there is none.
  size_t FNullFlagsOffset = 0;
  size_t FNullFlagsLength = 0;
  std::string FMemoName;
  int64_t FRecord = 0;
  mutable int64_t FBufferStart = 0;
  mutable TBytes FBuffer;
  mutable std::unique_ptr<TDbaseMemoFile> FMemoFile;
};

}  // namespace tarnel::legacydb
