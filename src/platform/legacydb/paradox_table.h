// A Paradox table (.DB, versions 3.0 to 7) read through TSourceTable. The records live in
// fixed-size data blocks after the header, linked into a chain from the header's first block;
// in a keyed table the chain is in primary key order. Each block starts with the next and
// previous block numbers and the byte count of its records less one record.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/legacydb/binary_file.h"
#include "platform/legacydb/paradox_blob_file.h"
#include "platform/legacydb/paradox_format.h"
#include "platform/legacydb/source_table.h"

namespace tarnel::legacydb {

class TParadoxTable : public TSourceTable {
 public:
  TParadoxTable(const std::string& directory, const std::string& fileName, const TOpenOptions& options);

  int64_t RecordCount() const override { return FRecordCount; }
  void First() override;
  void Next() override;
  bool Eof() const override { return FChainIndex >= FChain.size(); }
  bool IsNull(int field) const override;
  TFieldValue Value(int field) const override;

 protected:
  std::string ReadBlob(int field) const override;

 private:
  struct TChainBlock {
    uint16_t Number;
    int Records;
  };

  void ReadChain();
  // The block's bytes, `present` of them read from the file and the rest zero.
  TBytes ReadBlock(uint16_t number, size_t* present) const;
  void LoadBlock();
  const uint8_t* FieldBytes(int field) const;

  std::string FDirectory;
  std::string FBaseName;
  TBinaryFile FFile;
  TParadoxHeader FHeader;
  std::vector<size_t> FFieldOffsets;
  std::vector<TChainBlock> FChain;
  int64_t FRecordCount = 0;
  size_t FChainIndex = 0;
  int FRecordInBlock = 0;
  TBytes FBlock;
  mutable std::unique_ptr<TParadoxBlobFile> FBlobFile;
};

}  // namespace tarnel::legacydb
