// TDataFile: one open table and one cursor on it. The data file (.DAT) holds the header, the
// field definitions and the fixed-length records; the table owns its index file (.IDX) and, when
// it has BLOB fields, its BLOB file (.BLB), and answers what those files ask of their table.
//
// REQUIRES: used by one thread at a time; several TDataFile objects (in one program or many)
// share a table through byte-range locks and the change counters of the three headers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/field_desc.h"
#include "engine/base/file_handler.h"
#include "engine/index/index_file.h"
#include "engine/index/index_owner.h"
#include "engine/table/data_header.h"
#include "engine/table/table_definition.h"

namespace tarnel {

class TDataFile : public TFileHandler, public TIndexOwner {
 public:
  static constexpr int kMaxFields = 1024;
  static constexpr int kMaxBlobFields = 32;
  static constexpr int kMaxRecordBufferSize = 65535;
  static constexpr int32_t kMaxRecordSlots = 100000000;
  static constexpr int64_t kMaxRecordBytes = 2000000000;

  TDataFile();
  ~TDataFile() override;

  std::string NormalizeFileName(const std::string& name) const override;
  void Open() override;
  void Close() override;
  // Creates the three files (held exclusively); the index and BLOB files take the table's name
  // and settings.
  void CreateNew() override;

  // Header and definitions
  void ReadHeader();
  void WriteHeader(bool force);
  bool HeaderChanged();
  const TDataHeader& Header() const { return FHeader; }
  void ReadFieldDescs();
  void WriteFieldDescs();
  int RecordBufferSize() const { return FHeader.RecordSize + FHeader.ComputedSize; }
  uint16_t RecordSize() const { return FHeader.RecordSize; }
  int FieldCount() const { return FHeader.FieldCount; }
  int WorkingFieldCount() const { return static_cast<int>(FWorkingFields.size()); }
  uint32_t BlobBlockSize() const { return FHeader.EffectiveBlobBlockSize(); }
  // The definition of field `fieldNo` (1-based) of the working or stored set; 9985 when there is
  // none. In copy mode the definition is found by its FieldNo.
  const TFieldDesc& GetFieldDesc(bool working, int fieldNo) const;
  // For an open protected table, the stored password in plain text; otherwise empty.
  std::string GetTablePassword() const;
  // Called when the table needs a password: true means one may have been registered and the
  // session is to be searched again.
  void SetOnPassword(std::function<bool()> callback) { FOnPassword = std::move(callback); }

  // Maintenance
  // Creates the table's files from `definition` on a closed table whose FileName is set and
  // which is Exclusive. Leaves the table closed.
  void CreateTable(const TTableDefinition& definition);
  void DeleteTable();
  // Derives names, offsets and physical sizes of definitions, checking every limit.
  void PrepareFieldDescs(std::vector<TFieldDesc>& fields, bool assignOffsets) const;
  void SetCopyMode(bool value) { FCopyMode = value; }
  bool CopyMode() const { return FCopyMode; }
  void SetRepairMode(bool value) { FRepairMode = value; }
  void SetOnRepairMessage(std::function<void(const std::string&)> callback) {
    FOnRepairMessage = std::move(callback);
  }

  // Writing modified data: records, headers, index pages and BLOB blocks.
  void Flush(bool trim, bool forceHeader, bool forceIndexHeader);

  TIndexFile& IndexFile() { return *FIndexFile; }
  bool HasValidityChecks() const { return FHasValidityChecks; }
  bool HasDefaults() const { return FHasDefaults; }
  bool HasComputedFields() const { return FHasComputedFields; }

  // TTableContext and TIndexOwner
  const std::string& TableFileName() const override { return FileName(); }
  bool Scrambled() const override { return FHeader.Encrypted && Active(); }
  bool ShortReadsAccepted() const override { return Exclusive() || FInBatch; }
  bool InBatch() const override { return FInBatch; }
  bool ReadLockPerOperation() const override { return FReadLockPerOperation; }
  bool CheckForChangesBeforeRead() override;
  bool RepairMode() const override { return FRepairMode; }
  void RepairMessage(const std::string& text) override;
  const TFieldDesc* StoredField(uint16_t fieldNo) const override;
  uint16_t LanguageId() const override { return FHeader.LanguageId; }
  uint16_t SortId() const override { return FHeader.SortId; }

 private:
  [[noreturn]] void RaiseField(uint16_t code, const std::string& fieldName) const;
  void CheckPassword();
  void ValidateDefinitions() const;
  void NoteDefinitions();
  void PrepareIndexDescs(std::vector<TIndexDescriptor>& indexes, const std::vector<TFieldDesc>& fields,
                         bool allowNoPrimary) const;
  void CreateFiles(const TTableDefinition& definition);
  void CloseFiles();

  TDataHeader FHeader;
  std::vector<TFieldDesc> FStoredFields;
  std::vector<TFieldDesc> FWorkingFields;
  std::unique_ptr<TIndexFile> FIndexFile;
  std::function<bool()> FOnPassword;
  std::function<void(const std::string&)> FOnRepairMessage;
  bool FHasValidityChecks = false;
  bool FHasDefaults = false;
  bool FHasComputedFields = false;
  bool FCopyMode = false;
  bool FRepairMode = false;
  bool FReadLockPerOperation = false;
  bool FInBatch = false;
};

}  // namespace tarnel
