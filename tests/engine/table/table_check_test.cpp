// The table check finds exactly the damage done to a table's files, one kind at a time, and the
// repair mends it from the records: keys missing or wrong, counts, free lists, identifiers,
// pages, BLOB chains, cut files, protected tables and tables without a primary index.
#include <algorithm>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/base/byte_order.h"
#include "engine/base/scramble.h"
#include "engine/index/index_file.h"
#include "engine/table/data_file.h"
#include "engine/table/table_check.h"
#include "engine/table/table_repair.h"
#include "support/engine_fixture.h"
#include "support/record_image.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using test::Field;
using test::Index;
using test::TImage;

enum : int { kId = 1, kName, kCode, kNotes };
constexpr int kRecords = 300;
constexpr int kDeleted[] = {7, 150, 299};

std::string NameOf(int i) { return "name" + std::to_string(1000 + i * 7919 % 1000); }

std::string MemoOf(int i) { return i % 3 == 0 ? std::string() : std::string(static_cast<size_t>(i * 11 % 1500), 'a' + i % 26); }

class TableCheckTest : public test::TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    Build(true, false);
  }

  void Build(bool primary, bool encrypted) {
    TTableDefinition definition =
        test::Definition({Field(kId, "Id", dtInteger, 0, stAutoInc), Field(kName, "Name", dtString, 20),
                          Field(kCode, "Code", dtInteger), Field(kNotes, "Notes", dtBlob, 0, stMemo)},
                         {});
    if (primary) {
      definition.Indexes = {Index("", {kId}), Index("ByCode", {kCode}, {.Unique = true}),
                            Index("ByName", {kName}, {.Compression = cmLeading})};
      definition.AllowNoPrimaryIndex = false;
    }
    definition.Encrypted = encrypted;
    definition.Password = encrypted ? "secret" : "";
    if (encrypted) AddPassword(CurrentSession(), "secret");
    TDataFile table;
    table.SetFileName(Path());
    table.SetExclusive(true);
    table.CreateTable(definition);
    table.Open();
    TImage image(table);
    for (int i = 1; i <= kRecords; ++i) {
      image.Init();
      image.Text(kName, NameOf(i)).Int(kCode, i * 10);
      std::string memo = MemoOf(i);
      if (!memo.empty()) {
        table.OpenBlob(true, kNotes, 0, image.Data());
        table.WriteBlob(true, kNotes, 0, static_cast<int32_t>(memo.size()), memo.data(), image.Data());
      }
      table.InsertRecord(image.Data());
    }
    for (int recordNo : kDeleted) {
      GotoRecord(table, recordNo);
      table.DeleteRecord(false);
    }
    table.Close();
  }

  std::string Path(const char* extension = "") const { return FDir.File("CHECKED") + extension; }

  static void GotoRecord(TDataFile& table, int32_t recordNo) {
    TImage image(table);
    table.SetToBegin();
    while (table.GetNextRecord(image.Data()) == 0) {
      if (table.CurrentRecord()->RecordNo == recordNo) return;
    }
    FAIL() << "no record " << recordNo;
  }

  // The problems of the table, each as "EXT location: text".
  std::vector<std::string> Check(TTableCheckReport* report = nullptr) {
    TDataFile table;
    table.SetFileName(Path());
    table.SetRepairMode(true);
    table.Open();
    TTableCheckReport found = CheckTable(table);
    table.Close();
    if (report != nullptr) *report = found;
    std::vector<std::string> problems;
    for (const TTableProblem& problem : found.Problems) {
      problems.push_back(problem.File.substr(problem.File.size() - 3) + " " + problem.Location + ": " + problem.Text);
    }
    return problems;
  }

  // Repairs the table and answers the corrections reported.
  std::vector<std::string> Repair(TRepairReport* result = nullptr) {
    TDataFile table;
    table.SetFileName(Path());
    table.SetExclusive(true);
    table.SetRepairMode(true);
    table.Open();
    std::vector<std::string> messages;
    table.SetOnRepairMessage([&](const std::string& message) { messages.push_back(message); });
    TRepairReport report = RepairTable(table, CheckTable(table));
    table.Close();
    if (result != nullptr) *result = report;
    return messages;
  }

  // Every live record's fields, in Id order, as the cursor reads them (memos included).
  std::vector<std::string> Contents() {
    TDataFile table;
    table.SetFileName(Path());
    table.Open();
    TImage image(table);
    std::vector<std::string> rows;
    table.SetToBegin();
    while (table.GetNextRecord(image.Data()) == 0) {
      std::string memo;
      if (!image.IsNull(kNotes)) {
        table.OpenBlob(true, kNotes, 0, image.Data());
        int32_t size = 0;
        table.GetBlobSize(true, kNotes, image.Data(), size);
        memo.resize(static_cast<size_t>(size));
        int32_t read = 0;
        table.ReadBlob(true, kNotes, 0, size, memo.data(), image.Data(), read);
        table.CloseBlob(true, kNotes, image.Data());
      }
      rows.push_back(std::to_string(image.GetInt(kId)) + "|" + image.GetText(kName) + "|" +
                     std::to_string(image.GetInt(kCode)) + "|" + memo);
    }
    table.Close();
    return rows;
  }

  // Offsets inside the files, read from the open table.
  struct TLayout {
    int64_t Record1 = 0;
    uint16_t RecordSize = 0;
    uint16_t CodeOffset = 0;
    uint16_t NotesOffset = 0;
    uint32_t ByNameRoot = 0;
    uint16_t ByNameKey = 0;
  };
  TLayout Layout() {
    TDataFile table;
    table.SetFileName(Path());
    table.Open();
    TLayout layout{table.RecordOffset(1), table.RecordSize(), table.GetFieldDesc(false, kCode).FieldOffset,
                   table.GetFieldDesc(false, kNotes).FieldOffset, table.GetIndexDesc(2).RootPage,
                   table.GetIndexDesc(2).KeyLength};
    table.Close();
    return layout;
  }

  std::string Bytes(const std::string& path, int64_t offset, size_t count) {
    std::string contents = test::ReadWholeFile(path);
    return contents.substr(static_cast<size_t>(offset), count);
  }
  void Patch(const std::string& path, int64_t offset, const std::string& bytes) {
    std::string contents = test::ReadWholeFile(path);
    contents.replace(static_cast<size_t>(offset), bytes.size(), bytes);
    test::WriteWholeFile(path, contents);
  }
  static std::string Int32(int32_t value) {
    std::string bytes(4, '\0');
    PutI32(reinterpret_cast<uint8_t*>(bytes.data()), value);
    return bytes;
  }
  int64_t RecordAt(int32_t recordNo) {
    TLayout layout = Layout();
    return layout.Record1 + int64_t{recordNo - 1} * layout.RecordSize;
  }
  // The first block of record n's memo.
  uint32_t MemoBlock(int32_t recordNo) {
    return GetU32(reinterpret_cast<const uint8_t*>(Bytes(Path(".DAT"), RecordAt(recordNo) + Layout().NotesOffset + 1, 4).data()));
  }

  void ExpectRepairedToTheSameContents(const std::vector<std::string>& contents) {
    EXPECT_THAT(Check(), IsEmpty());
    EXPECT_EQ(Contents(), contents);
  }
};

TEST_F(TableCheckTest, AFreshTableHasNoProblemsAndEverythingIsCounted) {
  TTableCheckReport report;
  EXPECT_THAT(Check(&report), IsEmpty());
  EXPECT_EQ(report.Slots, kRecords);
  EXPECT_EQ(report.Records, kRecords - 3);
  EXPECT_EQ(report.Indexes, 4);
  EXPECT_EQ(report.Keys, 3 * (kRecords - 3) + kRecords);
  EXPECT_GT(report.Pages, 4);
  EXPECT_GT(report.BlobBlocks, 200);
  std::vector<std::string> messages = Repair();
  EXPECT_THAT(messages, IsEmpty()) << "a sound table needs nothing";
}

TEST_F(TableCheckTest, AKeyMissingFromAnIndexIsFoundAndRebuilt) {
  std::vector<std::string> contents = Contents();
  {
    TDataFile table;
    table.SetFileName(Path());
    table.SetExclusive(true);
    table.Open();
    TRecord* record = table.GetRecordBuffer(42, false, 1, false);
    std::vector<uint8_t> key(kKeyBufferSize, 0);
    table.BuildKey(record->Image(), 1, key.data());
    record->Unpin();
    table.IndexFile().SelectIndex(1);
    table.IndexFile().DeleteKey(key.data());
    table.Close();
  }
  EXPECT_THAT(Check(), ElementsAre("IDX index ByCode: record 42 has no key"));
  std::vector<std::string> messages = Repair();
  EXPECT_THAT(messages, ElementsAre("index Primary rebuilt with 297 keys", "index ByCode rebuilt with 297 keys",
                                    "index ByName rebuilt with 297 keys", "index Sys Deleted rebuilt with 300 keys"));
  ExpectRepairedToTheSameContents(contents);
}

TEST_F(TableCheckTest, AFieldChangedBehindTheIndexesBack) {
  Patch(Path(".DAT"), RecordAt(42) + Layout().CodeOffset + 1, Int32(5));
  EXPECT_THAT(Check(), ElementsAre("IDX index ByCode: record 42: its key does not match its fields"));
  Repair();
  EXPECT_THAT(Check(), IsEmpty());
  EXPECT_EQ(Contents()[40].rfind("42|" + NameOf(42) + "|5|", 0), 0u);
}

TEST_F(TableCheckTest, ADuplicateInAUniqueIndexIsLeftOutAndReported) {
  Patch(Path(".DAT"), RecordAt(42) + Layout().CodeOffset + 1, Int32(430));  // record 43's code
  EXPECT_THAT(Check(), ElementsAre("IDX index ByCode: record 42: its key does not match its fields"));
  TRepairReport report;
  Repair(&report);
  ASSERT_EQ(report.Unrepaired.size(), 1u);
  EXPECT_EQ(report.Unrepaired[0].Location, "index ByCode");
  EXPECT_EQ(report.Unrepaired[0].Text, "record 43: its key duplicates another record's; it is left out of the index");
  EXPECT_THAT(Check(), ElementsAre("IDX index ByCode: record 43 has no key"));
}

TEST_F(TableCheckTest, HeaderCountsThatDisagreeWithTheRecords) {
  std::vector<std::string> contents = Contents();
  Patch(Path(".DAT"), 17, Int32(5));                                // LastAutoInc
  Patch(Path(".IDX"), 3974, Int32(kRecords));                       // RecordCount
  EXPECT_THAT(Check(), ElementsAre("DAT header: LastAutoInc 5 is below the identifier 300 a record holds",
                                   "IDX header: RecordCount 300, the table has 297 live records"));
  std::vector<std::string> messages = Repair();
  EXPECT_EQ(messages.back(), "LastAutoInc raised from 5 to 300");
  ExpectRepairedToTheSameContents(contents);
}

TEST_F(TableCheckTest, ADefaultThatIsNoValueOfItsFieldIsReported) {
  // Field 3 (Code, an integer): its DefaultValue area is at 196 in its 768-byte definition.
  Patch(Path(".DAT"), 127 + 768 * 2 + 196, std::string("\x03" "abc", 4));
  EXPECT_THAT(Check(), ElementsAre("DAT field 3: default \"abc\" is no value of the field's type"));
  TRepairReport report;
  EXPECT_THAT(Repair(&report), IsEmpty()) << "the records cannot say what the default was";
  EXPECT_THAT(Check(), ElementsAre("DAT field 3: default \"abc\" is no value of the field's type"));
}

TEST_F(TableCheckTest, ABrokenFreeListOfDeletedRecords) {
  std::vector<std::string> contents = Contents();
  // The head, record 299, links to record 10, which is live.
  Patch(Path(".DAT"), RecordAt(299) + 1, Int32(10));
  EXPECT_THAT(Check(), ElementsAre("DAT free list: holds record 10, which is not deleted",
                                   "DAT free list: 2 deleted records are not on it, the first is record 7"));
  EXPECT_THAT(Repair(), ElementsAre("free list of deleted records rebuilt: 3 records on it"));
  ExpectRepairedToTheSameContents(contents);
}

TEST_F(TableCheckTest, AnIdentifierUsedTwiceGetsANewOne) {
  Patch(Path(".DAT"), RecordAt(42) + 5, Int32(41));
  std::vector<std::string> problems = Check();
  ASSERT_FALSE(problems.empty());
  EXPECT_EQ(problems[0], "DAT record 42: identifier 41 is also the identifier of record 41");
  std::vector<std::string> messages = Repair();
  EXPECT_EQ(messages[0], "physical record # 42: identifier 41 is that of physical record # 41 too; this record gets the "
                         "identifier 301");
  EXPECT_EQ(messages.back(), "LastAutoInc raised from 300 to 301");
  EXPECT_THAT(Check(), IsEmpty());
}

TEST_F(TableCheckTest, DamagedIndexPagesCountsAndCompression) {
  std::vector<std::string> contents = Contents();
  TLayout layout = Layout();
  // The root of ByName is an interior page: its first entry's count is raised.
  int64_t firstCount = int64_t{layout.ByNameRoot} + 13 + layout.ByNameKey + 4;
  uint32_t count = GetU32(reinterpret_cast<const uint8_t*>(Bytes(Path(".IDX"), firstCount, 4).data()));
  Patch(Path(".IDX"), firstCount, Int32(static_cast<int32_t>(count + 1)));
  std::vector<std::string> problems = Check();
  ASSERT_THAT(problems, ElementsAre("IDX index ByName: page " + std::to_string(layout.ByNameRoot) + ": entry 1 counts " +
                                    std::to_string(count + 1) + " entries below, there are " + std::to_string(count)));
  Repair();
  ExpectRepairedToTheSameContents(contents);

  // The second entry of the first leaf claims a longer shared prefix than it has.
  layout = Layout();
  uint32_t leaf = GetU32(reinterpret_cast<const uint8_t*>(Bytes(Path(".IDX"), int64_t{layout.ByNameRoot} + 13 + layout.ByNameKey, 4).data()));
  int64_t secondEntry = int64_t{leaf} + 13 + 2 + layout.ByNameKey + 4;
  uint16_t prefix = GetU16(reinterpret_cast<const uint8_t*>(Bytes(Path(".IDX"), secondEntry, 2).data()));
  std::string raised(2, '\0');
  PutU16(reinterpret_cast<uint8_t*>(raised.data()), static_cast<uint16_t>(prefix + 1));
  Patch(Path(".IDX"), secondEntry, raised);
  problems = Check();
  ASSERT_FALSE(problems.empty());
  EXPECT_THAT(problems, ::testing::Contains(HasSubstr("page " + std::to_string(leaf) + ": ")));
  Repair();
  ExpectRepairedToTheSameContents(contents);
}

TEST_F(TableCheckTest, ABlobChainThatLeadsIntoAnotherRecordIsCut) {
  // Record 20's memo takes 220 bytes: one block; record 100's 1100 bytes: three.
  uint32_t first = MemoBlock(100);
  std::string header = Bytes(Path(".BLB"), first, 18);
  uint32_t second = GetU32(reinterpret_cast<const uint8_t*>(header.data()) + 4);
  Patch(Path(".BLB"), second + 10, Int32(20));  // the second block now names record 20 as its owner
  EXPECT_THAT(Check(), ElementsAre("BLB record 100, field Notes: block " + std::to_string(first) + " links to block " +
                                       std::to_string(second) + ", which belongs to record 20",
                                   "BLB blocks: 2 blocks are in no chain and not on the free list, the first is block " +
                                       std::to_string(std::min(second, GetU32(reinterpret_cast<const uint8_t*>(
                                                                            Bytes(Path(".BLB"), second + 4, 4).data()))))));
  std::vector<std::string> messages = Repair();
  EXPECT_THAT(messages, ElementsAre("Invalid intra-block pointer in BLOB file for physical record # 100, error fixed",
                                    "BLOB free list rebuilt: 4 free blocks"));
  EXPECT_THAT(Check(), IsEmpty());
  std::vector<std::string> rows = Contents();
  auto row = std::find_if(rows.begin(), rows.end(), [](const std::string& r) { return r.rfind("100|", 0) == 0; });
  ASSERT_NE(row, rows.end());
  EXPECT_EQ(*row, "100|" + NameOf(100) + "|1000|" + std::string(494, 'a' + 100 % 26)) << "the first block's data stays";
}

TEST_F(TableCheckTest, ABlobChainThatLoopsIsCut) {
  uint32_t first = MemoBlock(100);
  uint32_t second = GetU32(reinterpret_cast<const uint8_t*>(Bytes(Path(".BLB"), first + 4, 4).data()));
  Patch(Path(".BLB"), second + 4, Int32(static_cast<int32_t>(first)));
  std::vector<std::string> problems = Check();
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0], "BLB record 100, field Notes: block " + std::to_string(second) + " links back to block " +
                             std::to_string(first) + " of the same chain");
  std::vector<std::string> messages = Repair();
  EXPECT_EQ(messages[0], "Recursive intra-block pointer in BLOB file for physical record # 100, error fixed");
  EXPECT_THAT(Check(), IsEmpty());
}

TEST_F(TableCheckTest, AReferenceOutsideTheBlobFileBecomesNull) {
  Patch(Path(".DAT"), RecordAt(100) + Layout().NotesOffset + 1, Int32(512 * 100000));
  std::vector<std::string> problems = Check();
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0], "BLB record 100, field Notes: BLOB reference 51200000 is not a block of the BLOB file");
  EXPECT_THAT(problems[1], HasSubstr("BLB blocks: 3 blocks are in no chain"));
  std::vector<std::string> messages = Repair();
  EXPECT_EQ(messages[0], "physical record # 100, field Notes: BLOB reference 51200000 is not a block of the BLOB file; "
                         "the field is set to null");
  EXPECT_THAT(Check(), IsEmpty());
}

TEST_F(TableCheckTest, FilesCutShortOrLongerThanTheirHeadersSay) {
  std::vector<std::string> contents = Contents();
  // A crash after new pages and blocks were written but before the headers: the files are longer.
  std::string index = test::ReadWholeFile(Path(".IDX"));
  test::WriteWholeFile(Path(".IDX"), index + std::string(4096, '\0'));
  std::string blobs = test::ReadWholeFile(Path(".BLB"));
  test::WriteWholeFile(Path(".BLB"), blobs + std::string(512, '\0'));
  EXPECT_THAT(Check(), ElementsAre("IDX header: the file is " + std::to_string(index.size() + 4096) + " bytes long, EndOfFile is " +
                                       std::to_string(index.size()),
                                   "BLB header: the file is " + std::to_string(blobs.size() + 512) + " bytes long, EndOfFile is " +
                                       std::to_string(blobs.size()),
                                   "BLB blocks: 1 block is in no chain and not on the free list, the first is block " +
                                       std::to_string(blobs.size())));
  std::vector<std::string> messages = Repair();
  EXPECT_THAT(messages, ::testing::Contains("BLOB file EndOfFile set from " + std::to_string(blobs.size()) + " to " +
                                            std::to_string(blobs.size() + 512)));
  ExpectRepairedToTheSameContents(contents);

  // The data file loses half of its last record.
  std::string data = test::ReadWholeFile(Path(".DAT"));
  test::WriteWholeFile(Path(".DAT"), data.substr(0, data.size() - Layout().RecordSize / 2));
  std::vector<std::string> problems = Check();
  ASSERT_FALSE(problems.empty());
  EXPECT_EQ(problems[0], "DAT header: NextRecordNo 301 counts 300 record slots, the file holds 299 in full");
  messages = Repair();
  EXPECT_EQ(messages[0], "NextRecordNo lowered from 301 to 300: the data file holds 299 records in full");
  contents.pop_back();  // record 300, the last
  ExpectRepairedToTheSameContents(contents);
}

TEST_F(TableCheckTest, ATableWithoutAPrimaryIndex) {
  Build(false, false);
  EXPECT_THAT(Check(), IsEmpty());
  std::vector<std::string> contents = Contents();
  Patch(Path(".DAT"), 9, Int32(10));  // FreeListHead names a live record
  Patch(Path(".IDX"), 3974, Int32(kRecords));
  EXPECT_THAT(Check(), ElementsAre("DAT free list: holds record 10, which is not deleted",
                                   "IDX header: RecordCount 300, the table has 297 live records"));
  Repair();
  ExpectRepairedToTheSameContents(contents);
}

TEST_F(TableCheckTest, AProtectedTableIsReadAndRepairedThroughItsScrambling) {
  Build(true, true);
  EXPECT_THAT(Check(), IsEmpty());
  std::vector<std::string> contents = Contents();
  // The index header is scrambled as a whole: the RecordCount's bytes are scrambled too.
  std::string header = Bytes(Path(".IDX"), 0, 4096);
  ScrambleBlock(header.data(), header.size(), kBlockKey1, kBlockKey2);
  PutI32(reinterpret_cast<uint8_t*>(header.data()) + 3974, 1);
  ScrambleBlock(header.data(), header.size(), kBlockKey1, kBlockKey2);
  Patch(Path(".IDX"), 0, header);
  EXPECT_THAT(Check(), ElementsAre("IDX header: RecordCount 1, the table has 297 live records"));
  Repair();
  ExpectRepairedToTheSameContents(contents);
}

}  // namespace
}  // namespace tarnel
