#include "transfer_test_support.h"

#include <gtest/gtest.h>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/base/session.h"
#include "platform/legacydb/source_table.h"
#include "platform/rtl/currency.h"

namespace tarnel::test {

using legacydb::TSourceTable;

TTransferLog Transfer(const tolbrin::TTransferRequest& request) {
  TTransferLog log;
  tolbrin::TTransferEvents events;
  int lastPercent = -1;
  events.OnInformation = [&](const std::string& text) { log.Information.push_back(text); };
  events.OnError = [&](const std::string& text) { log.Errors.push_back(text); };
  events.OnRunning = [&](bool running) { log.Events.push_back(running ? "running" : "stopped"); };
  events.OnTableBegin = [&](const std::string& status) {
    log.Events.push_back("begin" + status);
    lastPercent = -1;
  };
  events.OnProgress = [&](int64_t copied, int64_t recordCount) {
    ++log.ProgressCalls;
    int percent = tolbrin::ProgressPercent(copied, recordCount);
    if (percent != lastPercent) log.Events.push_back("progress " + std::to_string(percent));
    lastPercent = percent;
  };
  events.OnTableEnd = [&] { log.Events.push_back("end"); };
  log.Result = tolbrin::RunTransfer(request, events);
  return log;
}

TTransferredTable::TTransferredTable(const std::string& directory, const std::string& tableName) {
  InitializeEngine();
  FTable = std::make_unique<TDataFile>();
  FTable->SetFileName(directory + "/" + tableName);
  FTable->Open();
}

TTransferredTable::~TTransferredTable() {
  FTable.reset();
  ShutdownEngine();
}

int TTransferredTable::FieldNumber(const std::string& name) const {
  for (int n = 1; n <= FTable->FieldCount(); ++n) {
    if (Field(n).FieldName == name) return n;
  }
  return 0;
}

std::string TTransferredTable::Blob(int fieldNo, uint8_t* image) {
  std::string contents;
  EXPECT_EQ(FTable->OpenBlob(true, fieldNo, 1, image), 0);
  int32_t size = 0;
  EXPECT_EQ(FTable->GetBlobSize(true, fieldNo, image, size), 0);
  contents.resize(static_cast<size_t>(size));
  int32_t read = 0;
  if (size > 0) {
    EXPECT_EQ(FTable->ReadBlob(true, fieldNo, 0, size, contents.data(), image, read), 0);
  }
  EXPECT_EQ(FTable->CloseBlob(true, fieldNo, image), 0);
  return contents;
}

std::string WithGraphicHeader(const std::string& image) {
  std::string header = {1, 0, 0, 1};
  for (int i = 0; i < 4; ++i) header += static_cast<char>(image.size() >> (8 * i));
  return header + image;
}

namespace {

std::string TrimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// The source value as the new table must hold it, or nullopt for null.
void ExpectField(const TSourceTable& source, int position, TTransferredTable& target, int fieldNo, uint8_t* image,
                 bool transliterate, const std::string& where) {
  const legacydb::TSourceField& field = source.Fields()[static_cast<size_t>(position)];
  const TFieldDesc& desc = target.Field(fieldNo);
  SCOPED_TRACE(where + ", field " + field.Name);
  TDataFile& table = target.Table();
  if (IsBlobType(field.DataType)) {
    std::string expected = source.Blob(position, transliterate);
    bool graphic = field.DataType == ftGraphic || field.DataType == ftTypedBinary;
    if (graphic && expected.size() >= 8 && WithGraphicHeader(expected.substr(8)) == expected) expected.erase(0, 8);
    EXPECT_EQ(target.Blob(fieldNo, image), expected);
    return;
  }
  uint8_t value[256] = {};
  bool null = table.GetField(true, fieldNo, image, value);
  if (field.DataType == ftAutoInc) {
    EXPECT_EQ(GetI32(value), source.Value(position).AsInteger());
    return;
  }
  if (field.DataType == ftString) {
    std::string expected = TrimRight(source.Text(position, transliterate)).substr(0, desc.FieldSize);
    EXPECT_EQ(null, expected.empty());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(value)), expected);
    return;
  }
  ASSERT_EQ(null, source.IsNull(position));
  if (null) return;
  legacydb::TFieldValue from = source.Value(position);
  switch (field.DataType) {
    case ftBCD: EXPECT_EQ(BcdToCurrency(GetI64(value)), from.AsCurrency()) << from.AsBcd().ToText(); break;
    case ftDate: EXPECT_EQ(GetI32(value), from.AsDate()); break;
    case ftTime: EXPECT_EQ(GetI32(value), from.AsTime()); break;
    case ftDateTime: EXPECT_EQ(GetF64(value), from.AsDateTime()); break;
    default: {
      std::vector<uint8_t> expected = from.AsBytes();
      expected.resize(desc.PhysSize, 0);
      EXPECT_EQ(std::vector<uint8_t>(value, value + desc.PhysSize), expected);
      break;
    }
  }
}

}  // namespace

void ExpectSameValues(const std::string& sourceDirectory, const std::string& tableName,
                      const std::string& destinationDirectory, bool transliterate, int targetCodePage) {
  SCOPED_TRACE(tableName);
  legacydb::TOpenOptions options;
  options.TargetCodePage = targetCodePage;
  std::unique_ptr<TSourceTable> source = legacydb::OpenSourceTable(sourceDirectory, tableName, options);
  TTransferredTable target(destinationDirectory, tableName);
  TDataFile& table = target.Table();
  size_t fields = source->Fields().size();
  ASSERT_TRUE(table.FieldCount() == static_cast<int>(fields) || table.FieldCount() == static_cast<int>(fields) + 1);
  int shift = table.FieldCount() - static_cast<int>(fields);
  int autoInc = -1;
  for (size_t i = 0; i < fields; ++i) {
    if (source->Fields()[i].DataType == ftAutoInc) autoInc = static_cast<int>(i);
  }
  if (shift == 1) {
    EXPECT_EQ(target.Field(1).FieldName, "RecordID");
    EXPECT_TRUE(target.Field(1).IsAutoInc());
  }
  EXPECT_EQ(table.GetRecordCount(), source->RecordCount());
  std::vector<uint8_t> image(static_cast<size_t>(table.RecordBufferSize()));
  // Record-number order is the order of insertion, the source's order.
  table.SelectIndexNo(kNoIndex);
  table.SetToBegin();
  int64_t number = 0;
  for (source->First(); !source->Eof(); source->Next()) {
    ++number;
    ASSERT_EQ(table.GetNextRecord(image.data()), 0) << "record " << number;
    std::string where = "record " + std::to_string(number);
    if (shift == 1) {
      int32_t expected = autoInc < 0 ? static_cast<int32_t>(number) : source->Value(autoInc).AsInteger();
      EXPECT_EQ(GetI32(image.data() + 5), expected) << where;
    }
    for (size_t i = 0; i < fields; ++i) {
      ExpectField(*source, static_cast<int>(i), target, static_cast<int>(i) + 1 + shift, image.data(), transliterate,
                  where);
    }
  }
  EXPECT_EQ(table.GetNextRecord(image.data()), kErrEndOfFile);
}

}  // namespace tarnel::test
