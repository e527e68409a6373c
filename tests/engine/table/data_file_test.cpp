#include "engine/table/data_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "engine/base/byte_order.h"
#include "engine/base/session.h"
#include "support/engine_fixture.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using test::Definition;
using test::EngineCodeOf;
using test::Field;
using test::Index;

class DataFileTest : public test::TEngineTest {
 protected:
  std::string Path(const std::string& name = "T") const { return FDir.File(name); }

  void Create(const TTableDefinition& definition, const std::string& name = "T") {
    TDataFile table;
    table.SetFileName(Path(name));
    table.SetExclusive(true);
    table.CreateTable(definition);
  }

  uint16_t CreateCode(const TTableDefinition& definition, const std::string& name = "T") {
    return EngineCodeOf([&] { Create(definition, name); });
  }

  // A table with a field of every type and three secondary indexes.
  static TTableDefinition EveryType() {
    TTableDefinition definition;
    definition.Fields = {
        Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Name", dtString, 40),
        Field(3, "Born", dtDate),                Field(4, "Notes", dtBlob, 0, stMemo),
        Field(5, "Active", dtBoolean),           Field(6, "Small", dtSmallInt),
        Field(7, "Price", dtFloat, 0, stMoney),  Field(8, "Amount", dtBCD, 0, stNone, 2),
        Field(9, "Raw", dtBytes, 16),            Field(10, "At", dtTime),
        Field(11, "Stamp", dtTimeStamp),         Field(12, "Count", dtWord),
        Field(13, "Picture", dtBlob, 0, stGraphic), Field(14, "Var", dtVarBytes, 20),
    };
    definition.Fields[1].Required = true;
    definition.Fields[5].MinValue = "-5";
    definition.Fields[5].DefaultValue = "7";
    definition.Indexes = {Index("", {1}), Index("ByName", {2}, {.CaseInsensitive = true}),
                          Index("ByBorn", {3, 2}, {.Unique = true, .Compression = cmBoth}),
                          Index("BySmall", {6}, {.Descending = true, .Compression = cmLeading})};
    definition.Description = "Every type";
    return definition;
  }
};

TEST_F(DataFileTest, AutoIncrementAndStringGiveTheDocumentedRecordLayout) {
  Create(Definition({Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Name", dtString, 10)}, {1}));
  TDataFile table;
  table.SetFileName(Path());
  table.Open();
  EXPECT_EQ(table.RecordSize(), 21);
  EXPECT_EQ(table.GetFieldDesc(false, 1).FieldOffset, 5);
  EXPECT_EQ(table.GetFieldDesc(false, 2).FieldOffset, 9);
  EXPECT_EQ(table.GetFieldDesc(false, 2).PhysSize, 11);
  EXPECT_EQ(table.Header().NextRecordNo, 1);
  EXPECT_EQ(table.BlobBlockSize(), 512u);
}

TEST_F(DataFileTest, OneIntegerWithPrimaryIndexMakesTheSmallestFiles) {
  Create(Definition({Field(1, "Code", dtInteger)}, {1}));
  EXPECT_EQ(test::FileSize(Path("T.DAT")), 127 + 768);
  EXPECT_EQ(test::FileSize(Path("T.IDX")), 4096);
  EXPECT_EQ(test::FileSize(Path("T.BLB")), -1);
  std::string dat = test::ReadWholeFile(Path("T.DAT"));
  const auto* bytes = reinterpret_cast<const uint8_t*>(dat.data());
  EXPECT_EQ(bytes[8], 3);                      // Version
  EXPECT_EQ(GetI32(bytes + 13), 1);            // NextRecordNo
  EXPECT_EQ(GetU16(bytes + 21), 14);           // RecordSize
  EXPECT_EQ(GetU16(bytes + 23), 1);            // FieldCount
  EXPECT_EQ(GetU16(bytes + 107), 1);           // UserMajorVersion
  EXPECT_EQ(GetU16(bytes + 127), 1);           // FieldNo
  EXPECT_EQ(bytes[127 + 2], 4);                // name length
  EXPECT_EQ(dat.substr(127 + 3, 4), "Code");
  EXPECT_EQ(bytes[127 + 84], dtInteger);       // FieldType
  EXPECT_EQ(bytes[127 + 88], 4);               // PhysSize
  EXPECT_EQ(GetU16(bytes + 127 + 90), 9);      // FieldOffset

  std::string idx = test::ReadWholeFile(Path("T.IDX"));
  const auto* index = reinterpret_cast<const uint8_t*>(idx.data());
  EXPECT_EQ(index[8], 3);                      // Version
  EXPECT_EQ(GetU32(index + 9), 4096u);         // EndOfFile
  EXPECT_EQ(GetU16(index + 14 + 31), 5);       // primary KeyLength: flag + 4 bytes
  EXPECT_EQ(index[14 + 37], 1);                // primary FieldCount
  EXPECT_EQ(GetU16(index + 14 + 54), 1);       // its first field number
  EXPECT_EQ(idx.substr(3734, 12), std::string("\x0bSys Deleted"));
  EXPECT_EQ(GetU16(index + 3734 + 31), 5);     // "Sys Deleted" KeyLength
  EXPECT_EQ(GetI32(index + 3974), 0);          // RecordCount
}

TEST_F(DataFileTest, DefinitionsAndHeaderSurviveAReopen) {
  TTableDefinition definition = EveryType();
  definition.LanguageId = 0;
  definition.UserMajorVersion = 4;
  definition.UserMinorVersion = 2;
  Create(definition);
  EXPECT_GT(test::FileSize(Path("T.BLB")), 0);

  TDataFile table;
  table.SetFileName(Path());
  table.Open();
  EXPECT_EQ(table.FieldCount(), 14);
  EXPECT_EQ(table.Header().BlobFieldCount, 2);
  EXPECT_EQ(table.Header().UserMajorVersion, 4);
  EXPECT_EQ(table.Header().UserMinorVersion, 2);
  EXPECT_EQ(table.Header().Description, "Every type");
  EXPECT_TRUE(table.HasValidityChecks());
  EXPECT_TRUE(table.HasDefaults());
  EXPECT_EQ(table.GetFieldDesc(false, 9).PhysSize, 16);
  EXPECT_EQ(table.GetFieldDesc(false, 8).Decimals, 2);
  EXPECT_EQ(table.GetFieldDesc(false, 6).MinValue, "-5");
  EXPECT_TRUE(table.GetFieldDesc(false, 2).Required);
  EXPECT_EQ(EngineCodeOf([&] { table.GetFieldDesc(false, 15); }), kErrInvalidFieldNumber);
  EXPECT_EQ(CurrentSession().ErrorFieldName, "15");
  EXPECT_EQ(EngineCodeOf([&] { table.GetFieldDesc(true, 0); }), kErrInvalidFieldNumber);

  // 9 + (40+1+1) + 5 + 5 + 3 + 3 + 9 + 9 + 17 + 5 + 9 + 3 + 5 + 21 bytes; the counter is not stored.
  EXPECT_EQ(table.RecordSize(), 9 + 42 + 5 + 5 + 3 + 3 + 9 + 9 + 17 + 5 + 9 + 3 + 5 + 21);
  TIndexFile& index = table.IndexFile();
  EXPECT_EQ(index.SecondaryCount(), 3);
  EXPECT_EQ(index.GetDescriptor(1).IndexName, "ByName");
  EXPECT_EQ(index.GetDescriptor(1).KeyLength, 42 + 4);  // not unique: the identifier suffix
  EXPECT_TRUE(index.GetDescriptor(1).CaseInsensitive);
  EXPECT_EQ(index.GetDescriptor(2).KeyLength, 5 + 42);
  EXPECT_EQ(index.GetDescriptor(2).Compression, cmBoth);
  EXPECT_TRUE(index.GetDescriptor(3).Descending);

  // Writing the definitions again gives the same bytes.
  std::string before = test::ReadWholeFile(Path("T.DAT")).substr(127);
  table.Close();
  table.SetExclusive(true);
  table.Open();
  table.WriteFieldDescs();
  table.Close();
  EXPECT_EQ(test::ReadWholeFile(Path("T.DAT")).substr(127), before);
}

TEST_F(DataFileTest, HeaderWritesMoveTheChangeCountOnlyWhenDue) {
  Create(Definition({Field(1, "Code", dtInteger)}, {1}));
  TDataFile table;
  table.SetFileName(Path());
  table.SetExclusive(true);
  table.Open();
  int32_t count = table.Header().ChangeCount;
  table.WriteHeader(false);
  table.WriteHeader(false);
  EXPECT_EQ(table.Header().ChangeCount, count);
  table.WriteHeader(true);
  EXPECT_EQ(table.Header().ChangeCount, count + 1);
  EXPECT_FALSE(table.HeaderChanged());
  table.Close();
  std::string dat = test::ReadWholeFile(Path("T.DAT"));
  EXPECT_EQ(GetI32(reinterpret_cast<const uint8_t*>(dat.data())), count + 1);
}

TEST_F(DataFileTest, NamesTakeTheUpperCaseExtension) {
  TDataFile table;
  table.SetFileName("  " + Path("orders.dat") + " ");
  EXPECT_EQ(table.FileName(), Path("orders.DAT"));
  table.SetFileName(Path("orders"));
  EXPECT_EQ(table.FileName(), Path("orders.DAT"));
  EXPECT_EQ(table.IndexFile().NormalizeFileName(Path("orders.DAT")), Path("orders.IDX"));
}

TEST_F(DataFileTest, WrongVersionsAndDamagedHeadersAreRefusedNamingTheFile) {
  Create(Definition({Field(1, "Code", dtInteger)}, {1}));
  std::string dat = test::ReadWholeFile(Path("T.DAT"));
  std::string idx = test::ReadWholeFile(Path("T.IDX"));
  struct Case {
    const char* File;
    size_t Offset;
    char Byte;
    uint16_t Code;
  };
  const Case cases[] = {
      {"T.DAT", 8, 2, kErrWrongVersion},      // Version
      {"T.IDX", 8, 2, kErrWrongVersion},
      {"T.DAT", 21, 3, kErrHeaderAccess},     // RecordSize below the record header
      {"T.DAT", 24, 0x7F, kErrHeaderAccess},  // FieldCount far beyond the file
      {"T.DAT", 127 + 88, 9, kErrHeaderAccess},  // PhysSize that does not fit the type
      {"T.IDX", 14 + 32, 0x7F, kErrHeaderAccess},  // KeyLength beyond any key
  };
  for (const Case& c : cases) {
    std::string damaged = std::string(c.File) == "T.DAT" ? dat : idx;
    damaged[c.Offset] = c.Byte;
    test::WriteWholeFile(Path(c.File), damaged);
    TDataFile table;
    table.SetFileName(Path());
    EXPECT_EQ(EngineCodeOf([&] { table.Open(); }), c.Code) << c.File << " " << c.Offset;
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(CurrentSession().ErrorFileName, Path(c.File));
    test::WriteWholeFile(Path("T.DAT"), dat);
    test::WriteWholeFile(Path("T.IDX"), idx);
  }
  // A data file cut inside its definitions.
  test::WriteWholeFile(Path("T.DAT"), dat.substr(0, 400));
  TDataFile table;
  table.SetFileName(Path());
  EXPECT_EQ(EngineCodeOf([&] { table.Open(); }), kErrRead);
}

TEST_F(DataFileTest, RefusedDefinitionsLeaveNoFilesBehind) {
  auto with = [](auto change) {
    TTableDefinition definition = Definition({Field(1, "A", dtInteger), Field(2, "B", dtString, 10),
                                              Field(3, "C", dtBlob, 0, stMemo)},
                                             {1});
    change(definition);
    return definition;
  };
  struct Case {
    const char* What;
    TTableDefinition Definition;
    uint16_t Code;
  };
  std::vector<Case> cases;
  cases.push_back({"empty name", with([](auto& d) { d.Fields[1].FieldName = "  "; }), kErrInvalidFieldName});
  cases.push_back({"digit first", with([](auto& d) { d.Fields[1].FieldName = "1B"; }), kErrInvalidFieldName});
  cases.push_back({"same name", with([](auto& d) { d.Fields[1].FieldName = "a"; }), kErrInvalidFieldName});
  cases.push_back({"same number", with([](auto& d) { d.Fields[1].FieldNo = 1; }), kErrInvalidFieldDefinition});
  cases.push_back({"no type", with([](auto& d) { d.Fields[1].FieldType = dtUnknown; }), kErrInvalidFieldDefinition});
  cases.push_back({"long string", with([](auto& d) { d.Fields[1].FieldSize = 251; }), kErrInvalidFieldDefinition});
  cases.push_back({"no fields", with([](auto& d) { d.Fields.clear(); }), kErrFieldLimits});
  cases.push_back({"small blocks", with([](auto& d) { d.BlobBlockSize = 63; }), kErrBlobFieldLimits});
  cases.push_back({"primary on 9", with([](auto& d) { d.Indexes[0].FieldNumbers[0] = 9; }), kErrInvalidIndexField});
  cases.push_back({"primary on blob", with([](auto& d) { d.Indexes[0].FieldNumbers[0] = 3; }), kErrInvalidIndexType});
  cases.push_back({"digit index", with([](auto& d) { d.Indexes.push_back(Index("9X", {2})); }), kErrInvalidIndexName});
  cases.push_back({"unnamed index", with([](auto& d) { d.Indexes.push_back(Index(" ", {2})); }), kErrIndexNameMissing});
  cases.push_back({"same index", with([](auto& d) {
                     d.Indexes.push_back(Index("ByB", {2}));
                     d.Indexes.push_back(Index(" byb ", {1}));
                   }),
                   kErrIndexExists});
  cases.push_back({"long password", with([](auto& d) {
                     d.Encrypted = true;
                     d.Password = "sixteen-chars-xx";
                   }),
                   kErrInvalidPassword});
  cases.push_back({"no password", with([](auto& d) { d.Encrypted = true; }), kErrInvalidPassword});
  cases.push_back({"33 blobs", with([](auto& d) {
                     for (uint16_t n = 4; n <= 35; ++n) d.Fields.push_back(Field(n, "M" + std::to_string(n), dtBlob, 0, stMemo));
                   }),
                   kErrBlobFieldLimits});
  cases.push_back({"record too big", with([](auto& d) {
                     for (uint16_t n = 4; n <= 300; ++n) d.Fields.push_back(Field(n, "S" + std::to_string(n), dtString, 250));
                   }),
                   kErrRecordSizeExceeded});
  cases.push_back({"1025 fields", with([](auto& d) {
                     for (uint16_t n = 4; n <= 1025; ++n) d.Fields.push_back(Field(n, "F" + std::to_string(n), dtSmallInt));
                   }),
                   kErrFieldLimits});
  cases.push_back({"33 indexes", with([](auto& d) {
                     for (int n = 0; n < 33; ++n) d.Indexes.push_back(Index("I" + std::to_string(n), {2}));
                   }),
                   kErrIndexLimits});
  cases.push_back({"31 indexes", with([](auto& d) {
                     for (int n = 0; n < 31; ++n) d.Indexes.push_back(Index("I" + std::to_string(n), {2}));
                   }),
                   kErrIndexLimits});
  cases.push_back({"wide key", with([](auto& d) {
                     for (uint16_t n = 4; n <= 8; ++n) d.Fields.push_back(Field(n, "S" + std::to_string(n), dtString, 250));
                     d.Indexes.push_back(Index("Wide", {4, 5, 6, 7, 8}));
                   }),
                   kErrInvalidKeySize});

  for (const Case& c : cases) {
    EXPECT_EQ(CreateCode(c.Definition), c.Code) << c.What;
    EXPECT_EQ(test::FileSize(Path("T.DAT")), -1) << c.What;
    EXPECT_EQ(test::FileSize(Path("T.IDX")), -1) << c.What;
    EXPECT_EQ(test::FileSize(Path("T.BLB")), -1) << c.What;
  }
  EXPECT_EQ(CreateCode(with([](auto& d) { d.Fields[1].FieldSize = 250; })), 0);
}

TEST_F(DataFileTest, PrimaryIndexMessagesNameTheFieldAndPrimary) {
  auto definition = Definition({Field(1, "A", dtInteger), Field(2, "B", dtInteger), Field(3, "C", dtInteger)}, {9});
  definition.AllowNoPrimaryIndex = false;
  try {
    Create(definition);
    FAIL();
  } catch (const EDBEngineError& error) {
    EXPECT_EQ(std::string(error.what()), "TARNEL Engine Error # 10023 Invalid field number 9 specified in index "
                                         "Primary for data file " + Path("T.DAT"));
  }
}

TEST_F(DataFileTest, CreationNeedsAnExclusiveWritableTable) {
  TDataFile table;
  table.SetFileName(Path());
  EXPECT_EQ(EngineCodeOf([&] { table.CreateTable(Definition({Field(1, "A", dtInteger)}, {1})); }),
            kErrMustBeExclusive);
  table.SetExclusive(true);
  table.SetReadOnly(true);
  EXPECT_EQ(EngineCodeOf([&] { table.CreateTable(Definition({Field(1, "A", dtInteger)}, {1})); }),
            kErrAccessDenied);
}

TEST_F(DataFileTest, TablesWithoutPrimaryIndexAreInRecordNumberOrder) {
  Create(Definition({Field(1, "A", dtInteger)}, {}));
  TDataFile table;
  table.SetFileName(Path());
  table.Open();
  EXPECT_TRUE(table.IndexFile().NoPrimaryIndex());
  EXPECT_TRUE(table.IndexFile().PhysicalOrder());
  EXPECT_EQ(table.IndexFile().GetDescriptor(0).KeyLength, 0);
}

TEST_F(DataFileTest, DeleteTableRemovesTheFilesAndToleratesAMissingBlobFile) {
  Create(Definition({Field(1, "A", dtInteger), Field(2, "M", dtBlob, 0, stMemo)}, {1}));
  ASSERT_EQ(::unlink(Path("T.BLB").c_str()), 0);
  TDataFile table;
  table.SetFileName(Path());
  table.DeleteTable();
  EXPECT_EQ(test::FileSize(Path("T.DAT")), -1);
  EXPECT_EQ(test::FileSize(Path("T.IDX")), -1);
}

class ProtectedTableTest : public DataFileTest {
 protected:
  void SetUp() override {
    DataFileTest::SetUp();
    TTableDefinition definition = Definition({Field(1, "A", dtInteger), Field(2, "B", dtString, 10)}, {1});
    definition.Description = "Payroll";
    FPlain = definition;
    Create(definition, "PLAIN");
    definition.Encrypted = true;
    definition.Password = " Secret ";
    Create(definition, "LOCKED");
  }
  TTableDefinition FPlain;
};

TEST_F(ProtectedTableTest, ProtectedFilesDifferFromPlainOnesButKeepTheHeaderReadable) {
  std::string plain = test::ReadWholeFile(Path("PLAIN.DAT"));
  std::string locked = test::ReadWholeFile(Path("LOCKED.DAT"));
  ASSERT_EQ(plain.size(), locked.size());
  EXPECT_NE(plain.substr(127), locked.substr(127));                    // definitions
  EXPECT_NE(plain.substr(35, 51), locked.substr(35, 51));              // description characters
  EXPECT_EQ(plain.substr(35, 1), locked.substr(35, 1));                // its length byte
  EXPECT_EQ(locked[86], 1);                                            // Encrypted
  EXPECT_EQ(locked[87], 6);                                            // password length, trimmed
  EXPECT_NE(locked.substr(88, 6), "Secret");
  EXPECT_EQ(plain.substr(0, 8), locked.substr(0, 8));                  // ChangeCount, block size
  std::string plainIndex = test::ReadWholeFile(Path("PLAIN.IDX"));
  std::string lockedIndex = test::ReadWholeFile(Path("LOCKED.IDX"));
  EXPECT_NE(plainIndex, lockedIndex);
}

TEST_F(ProtectedTableTest, OpeningNeedsTheRegisteredPassword) {
  TDataFile table;
  table.SetFileName(Path("LOCKED"));
  EXPECT_EQ(EngineCodeOf([&] { table.Open(); }), kErrPasswordRequired);
  EXPECT_FALSE(table.Active());

  AddPassword(CurrentSession(), "secret");  // differs in case only
  int calls = 0;
  table.SetOnPassword([&] { return ++calls < 3; });
  EXPECT_EQ(EngineCodeOf([&] { table.Open(); }), kErrPasswordRequired);
  EXPECT_EQ(calls, 3);

  table.SetOnPassword([&] {
    ++calls;
    AddPassword(CurrentSession(), "Secret");
    return true;
  });
  calls = 0;
  table.Open();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(table.GetTablePassword(), "Secret");
  EXPECT_EQ(table.Header().Encrypted, true);
  EXPECT_EQ(table.GetFieldDesc(false, 2).FieldName, "B");
  EXPECT_EQ(table.IndexFile().GetDescriptor(0).KeyLength, 5);
}

}  // namespace
}  // namespace tarnel
