// The files the engine writes, read by an independent reader that knows only the documented
// formats (tests/tools/read_table.py): records, index orders and BLOB chains must agree.
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "engine/base/byte_order.h"
#include "engine/table/data_file.h"
#include "support/engine_fixture.h"
#include "support/record_image.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using test::Field;
using test::Index;
using test::TImage;

std::string Hex(const uint8_t* bytes, size_t size) {
  static const char* kDigits = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

std::string RunReader(const std::string& base) {
  std::string command = std::string("python3 ") + TARNEL_SOURCE_DIR "/tests/tools/read_table.py '" + base + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  EXPECT_EQ(::pclose(pipe), 0) << output;
  return output;
}

// The same lines from the engine's own reading of the table.
std::string EngineView(TDataFile& table) {
  std::ostringstream out;
  out << "header " << table.Header().NextRecordNo << " " << table.Header().LastAutoInc << " "
      << table.IndexFile().RecordCount() << "\n";
  TImage image(table);
  std::map<int32_t, std::string> records;
  std::map<std::string, std::string> blobs;
  table.SelectIndexNo(kNoIndex);
  table.SetToBegin();
  while (table.GetNextRecord(image.Data()) == 0) {
    int32_t n = table.CurrentRecord()->RecordNo;
    std::ostringstream line;
    line << "record " << n;
    bool first = true;
    for (int f = 1; f <= table.FieldCount(); ++f) {
      const TFieldDesc& field = table.GetFieldDesc(false, f);
      uint8_t value[256] = {};
      bool isNull = table.GetField(false, f, image.Data(), value);
      if (field.FieldType == dtBlob) {
        if (isNull) continue;
        table.OpenBlob(false, f, 1, image.Data());
        int32_t size = 0;
        table.GetBlobSize(false, f, image.Data(), size);
        std::vector<uint8_t> data(static_cast<size_t>(size));
        int32_t read = 0;
        table.ReadBlob(false, f, 0, size, data.data(), image.Data(), read);
        table.CloseBlob(false, f, image.Data());
        blobs[std::to_string(n) + "/" + field.FieldName] = Hex(data.data(), data.size());
        continue;
      }
      line << (first ? " " : " ") << field.FieldName << "=";
      first = false;
      if (isNull) {
        line << "-";
      } else if (field.FieldType == dtString) {
        line << Hex(value, std::strlen(reinterpret_cast<char*>(value)));
      } else if (field.FieldType == dtFloat || field.FieldType == dtTimeStamp) {
        line << Hex(value, 8);
      } else if (field.FieldType == dtBCD) {
        line << GetI64(value);
      } else if (field.FieldType == dtSmallInt) {
        line << GetI16(value);
      } else if (field.FieldType == dtBoolean || field.FieldType == dtWord) {
        line << GetU16(value);
      } else {
        line << GetI32(value);
      }
    }
    records[n] = line.str();
  }
  for (const auto& [n, line] : records) out << line << "\n";
  std::vector<int> numbers;
  for (int number = 0; number <= table.IndexCount(); ++number) numbers.push_back(number);
  numbers.push_back(kSysDeletedIndex);
  std::vector<std::pair<std::string, std::string>> indexLines;
  for (int number : numbers) {
    if (table.GetIndexDesc(number).KeyLength == 0) continue;
    TIndexFile& index = table.IndexFile();
    index.SelectIndex(static_cast<uint8_t>(number));
    std::ostringstream line;
    line << "index " << number;
    uint32_t offset = index.GetDescriptor(number).RootPage;
    // Down the first entries to the first leaf, then along the leaves.
    while (offset != 0) {
      TPage* page = index.GetPage(offset, false);
      if (page->IsLeaf()) {
        while (page != nullptr) {
          for (int e = 1; e <= page->EntryCount; ++e) line << " " << page->Value(e);
          uint32_t next = page->NextPage;
          index.ReleasePage(page);
          page = next == 0 ? nullptr : index.GetPage(next, false);
        }
        break;
      }
      offset = page->Value(1);
      index.ReleasePage(page);
    }
    indexLines.emplace_back(std::to_string(number), line.str());
  }
  std::sort(indexLines.begin(), indexLines.end());
  for (const auto& [number, line] : indexLines) out << line << "\n";
  for (const auto& [key, data] : blobs) out << "blob " << key << " " << data << "\n";
  return out.str();
}

class FormatTest : public test::TEngineTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FormatTest, AnIndependentReaderSeesWhatTheEngineSees) {
  TTableDefinition definition;
  definition.Fields = {Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Name", dtString, 24),
                       Field(3, "Code", dtInteger),            Field(4, "Price", dtFloat, 0, stMoney),
                       Field(5, "Amount", dtBCD, 0, stNone, 2), Field(6, "Small", dtSmallInt),
                       Field(7, "Memo", dtBlob, 0, stMemo),    Field(8, "Flag", dtBoolean)};
  definition.Indexes = {Index("", {1}), Index("ByName", {2}, {.CaseInsensitive = true, .Compression = cmBoth}),
                        Index("ByCode", {3}, {.Unique = true, .Compression = cmTrailing}),
                        Index("BySmall", {6, 2}, {.Descending = true, .Compression = cmLeading})};
  definition.Encrypted = GetParam();
  definition.Password = "format";
  std::string base = FDir.File("FORMAT");
  TDataFile table;
  table.SetFileName(base);
  table.SetExclusive(true);
  table.CreateTable(definition);
  AddPassword(CurrentSession(), "format");
  table.SetExclusive(false);
  table.Open();
  TImage image(table);
  for (int i = 0; i < 600; ++i) {
    image.Init();
    image.Text(2, "name " + std::to_string(i % 37) + std::string(static_cast<size_t>(i % 5), 'x'))
        .Int(3, i * 13)
        .Float(4, i * 1.25)
        .Int64(5, i * 10 + 2)
        .Small(6, static_cast<int16_t>(i % 9 - 4));
    if (i % 3 == 0) image.Null(2);
    if (i % 4 == 0) {
      std::string memo(static_cast<size_t>(i * 7 % 1500), static_cast<char>('a' + i % 26));
      table.OpenBlob(true, 7, 2, image.Data());
      table.WriteBlob(true, 7, 0, static_cast<int32_t>(memo.size()), memo.data(), image.Data());
    }
    table.InsertRecord(image.Data());
  }
  // Deletions and modifications leave free slots, reused slots and freed BLOB blocks behind.
  table.SelectIndexNo(kNoIndex);
  table.SetToBegin();
  int n = 0;
  while (table.GetNextRecord(image.Data()) == 0) {
    ++n;
    if (n % 7 == 0) {
      table.LockRecord(0);
      table.DeleteRecord(true);
      table.GetPriorRecord(nullptr);
    } else if (n % 11 == 0) {
      table.LockRecord(0);
      image.Int(3, 100000 + n);
      table.ModifyRecord(image.Data(), true, true);
    }
  }
  for (int i = 0; i < 20; ++i) {
    image.Init();
    image.Text(2, "again").Int(3, 200000 + i);
    table.InsertRecord(image.Data());
  }
  std::string engine = EngineView(table);
  table.Close();
  EXPECT_EQ(RunReader(base), engine);
}

INSTANTIATE_TEST_SUITE_P(PlainAndProtected, FormatTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Protected" : "Plain"; });

}  // namespace
}  // namespace tarnel
