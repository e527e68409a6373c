#include "platform/legacydb/paradox_table.h"

#include "platform/legacydb/code_page.h"
#include "platform/legacydb/legacy_error.h"
#include "platform/legacydb/paradox_index.h"
#include "platform/legacydb/paradox_validity.h"

namespace tarnel::legacydb {

namespace {

constexpr size_t kBlockHeader = 6;  // next block, previous block, record bytes less one record
// Tables before 4.x carry no code page; they were written in the DOS code page of the US.
constexpr int kDefaultCodePage = 437;

std::string BaseName(const std::string& fileName) {
  size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// Fixed record sizes of the types that have one.
int FixedSize(uint8_t type) {
  switch (type) {
    case pxShort: return 2;
    case pxLong:
    case pxAutoInc:
    case pxDate:
    case pxTime: return 4;
    case pxNumber:
    case pxCurrency:
    case pxTimestamp: return 8;
    case pxLogical: return 1;
    default: return 0;
  }
}

}  // namespace

TParadoxTable::TParadoxTable(const std::string& directory, const std::string& fileName,
                             const TOpenOptions& options)
    : TSourceTable(JoinPath(directory, fileName), TTableFormat::Paradox, options),
      FDirectory(directory),
      FBaseName(BaseName(fileName)),
      FFile(JoinPath(directory, fileName)) {
  FHeader = ReadParadoxHeader(FFile);
  if (FHeader.FileType != pfKeyedTable && FHeader.FileType != pfTable) Fail("not a Paradox table");

  std::vector<TSourceField> fields;
  size_t offset = 0;
  for (size_t i = 0; i < FHeader.Fields.size(); ++i) {
    const TParadoxFieldInfo& info = FHeader.Fields[i];
    const std::string& name = FHeader.FieldNames[i];
    TFieldType type = ParadoxFieldType(info.Type);
    int fixed = FixedSize(info.Type);
    bool sizeValid = fixed != 0 ? info.Size == fixed
                     : IsBlobType(type) ? info.Size >= kBlobDescriptorBytes
                     : type != ftUnknown && (info.Type == pxBcd ? info.Size <= 32 : info.Size > 0);
    if (!sizeValid) Fail("field " + name + " has a damaged definition");
    fields.push_back({name, type, ParadoxReportedSize(info), static_cast<int>(i) + 1});
    FFieldOffsets.push_back(offset);
    offset += static_cast<size_t>(ParadoxFieldBytes(info));
  }
  if (offset != FHeader.RecordSize || FHeader.RecordSize == 0) Fail("the record size disagrees with the fields");
  if (FHeader.BlockSize < kBlockHeader + FHeader.RecordSize) Fail("a record does not fit a data block");
  int codePage = FHeader.CodePage != 0 ? FHeader.CodePage : CodePageOfDriverName(FHeader.SortOrderName);
  SetDefinitions(std::move(fields), codePage != 0 ? codePage : kDefaultCodePage);

  // Paradox scrambles the data blocks of a password-protected table with a key derived from
  // the master password's checksum in the header; that scrambling is not decoded here.
  if (FHeader.Encryption != 0) Fail("the table is password-protected, and protected tables cannot be read");
  ReadChain();
  FIndexes = ReadParadoxIndexes(FDirectory, FBaseName, FHeader);
  std::string validity = FindFileIgnoringCase(FDirectory, FBaseName + ".VAL");
  if (!validity.empty()) FValidityChecks = ReadParadoxValidityChecks(JoinPath(FDirectory, validity), FHeader.Fields);
  First();
}

TBytes TParadoxTable::ReadBlock(uint16_t number, size_t* present) const {
  // The last block of a file may stop after its last record.
  uint64_t offset = FHeader.HeaderSize + uint64_t{number - 1u} * FHeader.BlockSize;
  TBytes block = FFile.ReadUpTo(offset, FHeader.BlockSize);
  *present = block.size();
  if (block.size() < kBlockHeader) Fail("the file is truncated inside a data block");
  block.resize(FHeader.BlockSize, 0);
  return block;
}

void TParadoxTable::ReadChain() {
  uint64_t blocksInFile = FFile.Size() > FHeader.HeaderSize
                              ? (FFile.Size() - FHeader.HeaderSize + FHeader.BlockSize - 1) / FHeader.BlockSize
                              : 0;
  std::vector<bool> seen(static_cast<size_t>(blocksInFile) + 1, false);
  size_t perBlock = (FHeader.BlockSize - kBlockHeader) / FHeader.RecordSize;
  uint16_t number = FHeader.RecordCount == 0 && FHeader.FileBlocks == 0 ? 0 : FHeader.FirstBlock;
  while (number != 0) {
    if (number > blocksInFile) Fail("the chain of data blocks leads outside the file");
    if (seen[number]) Fail("the chain of data blocks runs in a circle");
    seen[number] = true;
    size_t present = 0;
    TBytes block = ReadBlock(number, &present);
    TByteView view(block, FileName());
    int bytes = static_cast<int16_t>(view.U16(4));
    int records = bytes < 0 ? 0 : bytes / FHeader.RecordSize + 1;
    if (bytes >= 0 && bytes % FHeader.RecordSize != 0) Fail("a data block has a damaged record count");
    if (static_cast<size_t>(records) > perBlock) Fail("a data block claims more records than it holds");
    if (kBlockHeader + static_cast<size_t>(records) * FHeader.RecordSize > present) {
      Fail("the file is truncated inside a data block");
    }
    if (records > 0) FChain.push_back({number, records});
    FRecordCount += records;
    number = view.U16(0);
  }
}

void TParadoxTable::LoadBlock() {
  size_t present = 0;
  if (!Eof()) FBlock = ReadBlock(FChain[FChainIndex].Number, &present);
}

void TParadoxTable::First() {
  FChainIndex = 0;
  FRecordInBlock = 0;
  LoadBlock();
}

void TParadoxTable::Next() {
  if (Eof()) return;
  if (++FRecordInBlock < FChain[FChainIndex].Records) return;
  ++FChainIndex;
  FRecordInBlock = 0;
  LoadBlock();
}

const uint8_t* TParadoxTable::FieldBytes(int field) const {
  CheckField(field);
  size_t offset = kBlockHeader + static_cast<size_t>(FRecordInBlock) * FHeader.RecordSize +
                  FFieldOffsets[static_cast<size_t>(field)];
  return FBlock.data() + offset;
}

bool TParadoxTable::IsNull(int field) const {
  const uint8_t* bytes = FieldBytes(field);
  const TParadoxFieldInfo& info = FHeader.Fields[static_cast<size_t>(field)];
  if (IsBlobType(ParadoxFieldType(info.Type))) {
    // A BLOB is null when its descriptor gives no length.
    TByteView descriptor(bytes + info.Size - kBlobDescriptorBytes, kBlobDescriptorBytes, FileName());
    return descriptor.U32(4) == 0;
  }
  return Value(field).IsNull();
}

TFieldValue TParadoxTable::Value(int field) const {
  const uint8_t* bytes = FieldBytes(field);
  const TParadoxFieldInfo& info = FHeader.Fields[static_cast<size_t>(field)];
  if (IsBlobType(ParadoxFieldType(info.Type))) Fail("field " + Fields()[static_cast<size_t>(field)].Name + " is a BLOB field");
  TFieldValue value = DecodeParadoxValue(info, bytes);
  return value.From(Origin(field));
}

std::string TParadoxTable::ReadBlob(int field) const {
  const uint8_t* bytes = FieldBytes(field);
  const TParadoxFieldInfo& info = FHeader.Fields[static_cast<size_t>(field)];
  size_t leader = info.Size - kBlobDescriptorBytes;
  TByteView descriptor(bytes + leader, kBlobDescriptorBytes, FileName());
  uint32_t offset = descriptor.U32(0);
  uint32_t length = descriptor.U32(4);
  if (length == 0) return std::string();
  // A BLOB no longer than the leader is kept in the record alone.
  if (offset == 0) {
    if (length > leader) Fail("a BLOB of field " + Fields()[static_cast<size_t>(field)].Name + " has no place");
    return std::string(reinterpret_cast<const char*>(bytes), length);
  }
  if (!FBlobFile) {
    std::string name = FindFileIgnoringCase(FDirectory, FBaseName + ".MB");
    if (name.empty()) Fail("the BLOB file " + FBaseName + ".MB is missing");
    FBlobFile = std::make_unique<TParadoxBlobFile>(JoinPath(FDirectory, name));
  }
  return FBlobFile->Read(offset, length);
}

}  // namespace tarnel::legacydb
