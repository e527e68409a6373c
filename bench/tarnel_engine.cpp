#include "tarnel_engine.h"

#include <cstring>
#include <memory>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/expr/bcd.h"
#include "engine/expr/expression_node.h"
#include "engine/expr/expression_value.h"
#include "engine/table/data_file.h"
#include "support/table_builder.h"

namespace tarnel::bench {

namespace {

constexpr int kBlobRead = 1;
constexpr int kBlobWrite = 2;
constexpr int kPositionInRange = 500;

using test::Field;
using test::Index;

TTableDefinition Definition() {
  TTableDefinition definition;
  definition.Fields = {
      Field(kId, "Id", dtInteger, 0, stAutoInc), Field(kNumber, "Number", dtInteger),
      Field(kName, "Name", dtString, kNameSize),  Field(kText, "Text", dtString, kTextSize),
      Field(kBorn, "Born", dtDate),              Field(kAmount, "Amount", dtBCD, 0, stNone, 2),
      Field(kNotes, "Notes", dtBlob, 0, stMemo),
  };
  test::TIndexOptions noCase;
  noCase.CaseInsensitive = true;
  definition.Indexes = {Index("", {kId}), Index("ByNumber", {kNumber}), Index("ByName", {kName}, noCase),
                        Index("ByBorn", {kBorn})};
  return definition;
}

// A record image of the table, with its fields set and read by number.
class TImage {
 public:
  explicit TImage(TDataFile& table) : FTable(table), FBytes(static_cast<size_t>(table.RecordBufferSize()), 0) {}

  uint8_t* Data() { return FBytes.data(); }

  void Init() { FTable.InitRecord(FBytes.data()); }
  void PutInt(int field, int32_t value) {
    uint8_t bytes[4];
    PutI32(bytes, value);
    FTable.PutField(true, field, false, bytes, FBytes.data());
  }
  void PutText(int field, std::string_view text) {
    char bytes[256] = {};
    std::memcpy(bytes, text.data(), std::min<size_t>(text.size(), 255));
    FTable.PutField(true, field, false, reinterpret_cast<const uint8_t*>(bytes), FBytes.data());
  }
  void PutAmount(int64_t cents) {
    uint8_t bytes[8];
    PutI64(bytes, FixedToBcd(cents * 100, 2));
    FTable.PutField(true, kAmount, false, bytes, FBytes.data());
  }
  void Fill(const TBenchRecord& record) {
    Init();
    PutInt(kNumber, record.Number);
    PutText(kName, record.Name);
    PutText(kText, record.Text);
    PutInt(kBorn, record.Born);
    PutAmount(record.AmountCents);
  }
  void WriteMemo(std::string_view memo) {
    CheckStatus(FTable.OpenBlob(true, kNotes, kBlobWrite, Data()));
    CheckStatus(FTable.WriteBlob(true, kNotes, 0, static_cast<int32_t>(memo.size()), memo.data(), Data()));
    CheckStatus(FTable.TruncateBlob(true, kNotes, static_cast<int32_t>(memo.size()), Data()));
  }
  std::string_view ReadMemo(std::string& buffer) {
    CheckStatus(FTable.OpenBlob(true, kNotes, kBlobRead, Data()));
    int32_t size = 0;
    CheckStatus(FTable.GetBlobSize(true, kNotes, Data(), size));
    buffer.resize(static_cast<size_t>(size));
    int32_t read = 0;
    CheckStatus(FTable.ReadBlob(true, kNotes, 0, size, buffer.data(), Data(), read));
    CheckStatus(FTable.CloseBlob(true, kNotes, Data()));
    return std::string_view(buffer).substr(0, static_cast<size_t>(read));
  }

  // Every field but the memo, in the order of the definition.
  void AddFields(TChecksum& sum) const {
    uint8_t value[256];
    for (int field : {kId, kNumber, kBorn}) {
      FTable.GetField(true, field, FBytes.data(), value);
      sum.Add(static_cast<uint64_t>(GetI32(value)));
    }
    for (int field : {kName, kText}) {
      FTable.GetField(true, field, FBytes.data(), value);
      sum.Add(std::string_view(reinterpret_cast<const char*>(value), strnlen(reinterpret_cast<const char*>(value), 255)));
    }
    FTable.GetField(true, kAmount, FBytes.data(), value);
    sum.Add(static_cast<uint64_t>(BcdToFixed(GetI64(value)) / 100));
  }

 private:
  TDataFile& FTable;
  std::vector<uint8_t> FBytes;
};

// The open table for the time of one workload; closing writes what an exclusive table kept.
class TOpenTable {
 public:
  TOpenTable(const std::string& name, bool exclusive) {
    FTable.SetFileName(name);
    FTable.SetExclusive(exclusive);
    FTable.Open();
  }
  ~TOpenTable() {
    try {
      FTable.Close();
    } catch (const std::exception&) {
      // Close() below reports the failure where the workload can see it.
    }
  }
  TOpenTable(const TOpenTable&) = delete;
  TOpenTable& operator=(const TOpenTable&) = delete;

  TDataFile& operator*() { return FTable; }
  TDataFile* operator->() { return &FTable; }
  void Close() { FTable.Close(); }

 private:
  TDataFile FTable;
};

// Holds the read lock over a run of reads that SQLite answers with one statement.
class TReadLock {
 public:
  explicit TReadLock(TDataFile& table) : FTable(table) { table.LockForRead(); }
  ~TReadLock() { FTable.UnlockForRead(); }
  TReadLock(const TReadLock&) = delete;
  TReadLock& operator=(const TReadLock&) = delete;

 private:
  TDataFile& FTable;
};

TExpressionPtr Column(uint16_t fieldNo, uint8_t type, uint8_t size) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = nkColumn;
  node->FieldNo = fieldNo;
  node->DataType = type;
  node->Size = size;
  return node;
}

TExpressionPtr Node(int32_t kind, int32_t op, TExpressionPtr left, TExpressionPtr right) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = kind;
  node->Operator = op;
  node->DataType = dtBoolean;
  node->Size = 2;
  node->Left = std::move(left);
  node->Right = std::move(right);
  return node;
}

// Number = value AND Name LIKE 'letter%'
TExpressionPtr FilterCondition(const TFilterCase& filter) {
  auto value = std::make_unique<TExpressionNode>();
  value->NodeKind = nkConstant;
  value->DataType = dtInteger;
  value->Size = 4;
  PutI32(value->Value.data(), filter.Value);
  auto pattern = std::make_unique<TExpressionNode>();
  pattern->NodeKind = nkConstant;
  pattern->DataType = dtString;
  pattern->Size = PutString(pattern->Value, std::string(1, filter.Letter) + "%");
  return Node(nkBinary, opAnd, Node(nkBinary, opEqual, Column(kNumber, dtInteger, 4), std::move(value)),
              Node(nkPredicate, opLike, Column(kName, dtString, kNameSize + 1), std::move(pattern)));
}

// Every field and memo of every record, in the order of the index named (primary when empty).
uint64_t SumInOrder(const std::string& tableName, const char* indexName) {
  TOpenTable table(tableName, false);
  table->SetIndexName(indexName);
  TImage image(*table);
  std::string memo;
  TChecksum sum;
  TReadLock lock(*table);
  table->SetToBegin();
  while (table->GetNextRecord(image.Data()) == 0) {
    image.AddFields(sum);
    sum.Add(image.ReadMemo(memo));
  }
  return sum.Value();
}

}  // namespace

TTarnelEngine::TTarnelEngine(const std::string& directory, int64_t tableSize)
    : FTableName(directory + "/BENCH"), FSource(tableSize) {}

uint64_t TTarnelEngine::BulkInsert(int64_t count) {
  {
    TDataFile table;
    table.SetFileName(FTableName);
    table.SetExclusive(true);
    table.CreateTable(Definition());
  }
  TOpenTable table(FTableName, true);
  TImage image(*table);
  for (int64_t i = 0; i < count; ++i) {
    const TBenchRecord& record = FSource.Record(i);
    image.Fill(record);
    image.WriteMemo(record.Memo);
    table->InsertRecord(image.Data());
  }
  table.Close();
  return static_cast<uint64_t>(count);
}

uint64_t TTarnelEngine::SharedInserts(int64_t first, int64_t count) {
  TOpenTable table(FTableName, false);
  TImage image(*table);
  for (int64_t i = first; i < first + count; ++i) {
    const TBenchRecord& record = FSource.Record(i);
    image.Fill(record);
    image.WriteMemo(record.Memo);
    table->InsertRecord(image.Data());
  }
  table.Close();
  return static_cast<uint64_t>(count);
}

uint64_t TTarnelEngine::LookupsById(const std::vector<int32_t>& ids) {
  TOpenTable table(FTableName, false);
  TImage key(*table);
  TImage found(*table);
  TChecksum sum;
  for (int32_t id : ids) {
    key.Init();
    key.PutInt(kId, id);
    if (table->FindExactKey(key.Data(), found.Data())) found.AddFields(sum);
  }
  return sum.Value();
}

uint64_t TTarnelEngine::LookupsByName(const std::vector<int64_t>& records) {
  TOpenTable table(FTableName, false);
  table->SetIndexName("ByName");
  TImage key(*table);
  TImage found(*table);
  TChecksum sum;
  for (int64_t i : records) {
    key.Init();
    key.PutText(kName, FSource.Name(i));
    if (table->FindExactKey(key.Data(), found.Data())) found.AddFields(sum);
  }
  return sum.Value();
}

uint64_t TTarnelEngine::ScanByName() { return SumInOrder(FTableName, "ByName"); }

uint64_t TTarnelEngine::CountRanges(const std::vector<TDateRange>& ranges) {
  TOpenTable table(FTableName, false);
  table->SetIndexName("ByBorn");
  TImage low(*table);
  TImage high(*table);
  TImage image(*table);
  TChecksum sum;
  TReadLock lock(*table);
  for (const TDateRange& range : ranges) {
    low.Init();
    low.PutInt(kBorn, range.First);
    high.Init();
    high.PutInt(kBorn, range.Last);
    table->SetRange(false, low.Data(), 0, 0, high.Data(), 0, 0);
    int32_t count = table->GetRecordCount();
    sum.Add(static_cast<uint64_t>(count));
    if (count < kPositionInRange) continue;
    table->IndexFile().FirstKey();
    table->IndexFile().MoveBy(kPositionInRange - 1);
    table->ReadCurrent(1);
    if (table->GetCurrentRecord(image.Data(), false) == 0) image.AddFields(sum);
  }
  return sum.Value();
}

uint64_t TTarnelEngine::CountFilters(const std::vector<TFilterCase>& filters) {
  TOpenTable table(FTableName, false);
  TChecksum sum;
  TReadLock lock(*table);
  for (const TFilterCase& filter : filters) {
    TFilter* handle = nullptr;
    CheckStatus(table->AddFilter(FilterCondition(filter), false, &handle));
    CheckStatus(table->ActivateFilter(handle));
    sum.Add(static_cast<uint64_t>(table->GetRecordCount()));
    CheckStatus(table->DropFilter(handle));
  }
  return sum.Value();
}

uint64_t TTarnelEngine::ModifyByName(const std::vector<int64_t>& records) {
  TOpenTable table(FTableName, true);
  table->SetIndexName("ByName");
  TImage key(*table);
  TImage image(*table);
  uint64_t changed = 0;
  for (int64_t i : records) {
    key.Init();
    key.PutText(kName, FSource.Name(i));
    if (!table->FindExactKey(key.Data(), image.Data())) continue;
    image.PutInt(kNumber, FSource.ChangedNumber(i));
    image.PutText(kText, FSource.ChangedText(i));
    table->ModifyRecord(image.Data(), true, false);
    ++changed;
  }
  table.Close();
  return changed;
}

uint64_t TTarnelEngine::DeleteById(const std::vector<int32_t>& ids) {
  TOpenTable table(FTableName, true);
  TImage key(*table);
  uint64_t deleted = 0;
  for (int32_t id : ids) {
    key.Init();
    key.PutInt(kId, id);
    if (!table->FindExactKey(key.Data(), nullptr)) continue;
    table->DeleteRecord(false);
    ++deleted;
  }
  table.Close();
  return deleted;
}

uint64_t TTarnelEngine::ReadMemos(const std::vector<int32_t>& ids) {
  TOpenTable table(FTableName, false);
  TImage key(*table);
  TImage found(*table);
  std::string memo;
  TChecksum sum;
  for (int32_t id : ids) {
    key.Init();
    key.PutInt(kId, id);
    TReadLock lock(*table);
    if (table->FindExactKey(key.Data(), found.Data())) sum.Add(found.ReadMemo(memo));
  }
  return sum.Value();
}

uint64_t TTarnelEngine::WriteMemos(const std::vector<int32_t>& ids) {
  TOpenTable table(FTableName, false);
  TImage key(*table);
  TImage image(*table);
  uint64_t changed = 0;
  ++FMemoRewrites;
  for (int32_t id : ids) {
    key.Init();
    key.PutInt(kId, id);
    if (!table->FindExactKey(key.Data(), image.Data())) continue;
    table->LockRecord(0);
    image.WriteMemo(FSource.ChangedMemo(id, FMemoRewrites));
    table->ModifyRecord(image.Data(), true, false);
    ++changed;
  }
  table.Close();
  return changed;
}

uint64_t TTarnelEngine::ChecksumAll() { return SumInOrder(FTableName, ""); }

}  // namespace tarnel::bench
