// Filters answered from indexes: conditions on a column an index leads with never read a
// record, and their bitmaps are built from the smaller side.
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/byte_order.h"
#include "engine/expr/expression_node.h"
#include "engine/table/data_file.h"
#include "support/child_process.h"
#include "support/engine_fixture.h"
#include "support/record_image.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using test::Field;
using test::Index;
using test::TImage;

enum : int { kId = 1, kCode, kGroup };

TExpressionPtr Column(uint16_t fieldNo) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = nkColumn;
  node->FieldNo = fieldNo;
  node->DataType = dtInteger;
  node->Size = 4;
  return node;
}

TExpressionPtr Constant(int32_t value) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = nkConstant;
  node->DataType = dtInteger;
  node->Size = 4;
  PutI32(node->Value.data(), value);
  return node;
}

TExpressionPtr Compare(int32_t op, uint16_t fieldNo, int32_t value) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = nkBinary;
  node->Operator = op;
  node->DataType = dtBoolean;
  node->Left = Column(fieldNo);
  node->Right = Constant(value);
  return node;
}

TExpressionPtr Both(int32_t op, TExpressionPtr left, TExpressionPtr right) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = nkBinary;
  node->Operator = op;
  node->DataType = dtBoolean;
  node->Left = std::move(left);
  node->Right = std::move(right);
  return node;
}

class FilterTest : public test::TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    TTableDefinition definition = test::Definition(
        {Field(kId, "Id", dtInteger, 0, stAutoInc), Field(kCode, "Code", dtInteger), Field(kGroup, "Grp", dtInteger)},
        {kId});
    definition.Indexes.push_back(Index("ByCode", {kCode}));
    FTable.SetFileName(FDir.File("F"));
    FTable.SetExclusive(true);
    FTable.CreateTable(definition);
    FTable.Open();
    TImage image(FTable);
    for (int i = 1; i <= 5000; ++i) {
      image.Init();
      image.Int(kCode, i).Int(kGroup, i % 10);
      FTable.InsertRecord(image.Data());
    }
    FTable.Close();
    FTable.SetExclusive(false);
    FTable.Open();
  }

  // The visible count under a condition, as the index file builds it.
  int32_t Visible(TExpressionPtr condition) {
    TIndexFile& index = FTable.IndexFile();
    TFilter* filter = nullptr;
    EXPECT_EQ(index.AddFilter(std::move(condition), false, &filter), 0);
    EXPECT_EQ(index.ActivateFilter(filter), 0);
    index.ComputeResultBitmap();
    int32_t count = index.VisibleCount();
    index.DropFilter(filter);
    return count;
  }

  TDataFile FTable;
};

TEST_F(FilterTest, IndexedComparisonsReadNoRecord) {
  long reads = FTable.RecordReads();
  struct Case {
    int32_t Op;
    int32_t Value;
    int32_t Count;
  };
  const Case cases[] = {{opGreater, 4000, 1000}, {opGreaterOrEqual, 4000, 1001}, {opLess, 11, 10},
                        {opLessOrEqual, 11, 11},  {opEqual, 77, 1},             {opNotEqual, 77, 4999},
                        {opGreater, 9999, 0},     {opLess, -5, 0}};
  for (const Case& c : cases) EXPECT_EQ(Visible(Compare(c.Op, kCode, c.Value)), c.Count) << c.Op << " " << c.Value;
  EXPECT_EQ(Visible(Both(opAnd, Compare(opGreater, kCode, 100), Compare(opLessOrEqual, kCode, 200))), 100);
  EXPECT_EQ(Visible(Both(opOr, Compare(opLess, kCode, 11), Compare(opGreater, kCode, 4990))), 20);
  EXPECT_EQ(FTable.RecordReads(), reads);
}

TEST_F(FilterTest, AndTestsRecordByRecordOnlyWhatTheIndexedSideKept) {
  long tested = FTable.RecordsTested();
  // Grp has no index: only the 100 records with Code <= 100 are tested for it.
  EXPECT_EQ(Visible(Both(opAnd, Compare(opEqual, kGroup, 3), Compare(opLessOrEqual, kCode, 100))), 10);
  EXPECT_EQ(FTable.RecordsTested() - tested, 100);
  // An OR with a side no index answers is tested record by record as a whole.
  tested = FTable.RecordsTested();
  EXPECT_EQ(Visible(Both(opOr, Compare(opEqual, kGroup, 3), Compare(opLessOrEqual, kCode, 100))), 590);
  EXPECT_EQ(FTable.RecordsTested() - tested, 5000);
}

TEST_F(FilterTest, AConditionForMostRecordsIsBuiltFromTheFewOthers) {
  // 90 % of the records: the index walk covers the other 10 % and inverts, reading far fewer
  // pages than a walk over the matching keys would.
  FTable.IndexFile().InvalidatePages();
  long before = FTable.IndexFile().PageReads();
  EXPECT_EQ(Visible(Compare(opGreater, kCode, 500)), 4500);
  long complement = FTable.IndexFile().PageReads() - before;
  FTable.IndexFile().InvalidatePages();
  before = FTable.IndexFile().PageReads();
  EXPECT_EQ(Visible(Compare(opGreater, kCode, 4500)), 500);
  long direct = FTable.IndexFile().PageReads() - before;
  EXPECT_LE(complement, direct + 4);
}

TEST_F(FilterTest, TheFilteredCursorFollowsRecordsAddedAndTheFilteredOrder) {
  TFilter* filter = nullptr;
  ASSERT_EQ(FTable.AddFilter(Compare(opGreater, kCode, 4990), false, &filter), 0);
  ASSERT_EQ(FTable.ActivateFilter(filter), 0);
  FTable.SetIndexName("ByCode");
  TImage image(FTable);
  std::vector<int32_t> codes;
  FTable.SetToBegin();
  while (FTable.GetNextRecord(image.Data()) == 0) codes.push_back(image.GetInt(kCode));
  EXPECT_EQ(codes, (std::vector<int32_t>{4991, 4992, 4993, 4994, 4995, 4996, 4997, 4998, 4999, 5000}));
  // A record that passes: the count grows; one that does not: it stays.
  image.Init();
  image.Int(kCode, 6000);
  FTable.InsertRecord(image.Data());
  EXPECT_EQ(FTable.GetRecordCount(), 11);
  image.Init();
  image.Int(kCode, 3);
  FTable.InsertRecord(image.Data());
  EXPECT_EQ(FTable.GetRecordCount(), 11);
}

TEST_F(FilterTest, AnotherProgramsChangeBetweenMovesIsSeenAndTheWalkGoesOn) {
  TImage image(FTable);
  FTable.SetIndexName("ByCode");
  FTable.SetToBegin();
  for (int i = 0; i < 2500; ++i) ASSERT_EQ(FTable.GetNextRecord(image.Data()), 0);
  ASSERT_EQ(image.GetInt(kCode), 2500);
  test::TChildProcess other([this](test::TChildProcess&) {
    TDataFile theirs;
    theirs.SetFileName(FDir.File("F"));
    theirs.Open();
    TImage row(theirs);
    // Insert behind and ahead of the walk, delete one ahead.
    for (int code : {10, 2600, 7000}) {
      row.Init();
      row.Int(kCode, code);
      theirs.InsertRecord(row.Data());
    }
    theirs.SetIndexName("ByCode");
    row.Int(kCode, 3000);
    if (!theirs.FindExactKey(row.Data(), nullptr)) return 1;
    theirs.DeleteRecord(false);
    return 0;
  });
  ASSERT_EQ(other.Wait(), 0);
  int rest = 0;
  int32_t previous = 2500;
  bool sawInserted = false;
  while (FTable.GetNextRecord(image.Data()) == 0) {
    int32_t code = image.GetInt(kCode);
    ASSERT_GE(code, previous);
    EXPECT_NE(code, 3000);
    sawInserted = sawInserted || (code == 2600 && previous == 2600);
    previous = code;
    ++rest;
  }
  EXPECT_TRUE(sawInserted);
  EXPECT_EQ(rest, 2500 - 1 + 2);  // 2501..5000 less 3000, plus 2600 again and 7000
  EXPECT_EQ(FTable.GetRecordCount(), 5002);
}

// Writes filter expression blocks node by node.
class TBlockWriter {
 public:
  uint16_t Binary(uint32_t op, uint16_t left, uint16_t right) { return Add(2, op, {left, right}); }
  uint16_t FieldNode(const std::string& name) {
    uint16_t literal = Literal(std::string(name) + '\0');
    return Add(4, 13, {0, literal});
  }
  uint16_t IntegerConstant(int32_t value) {
    std::string bytes(4, '\0');
    PutI32(reinterpret_cast<uint8_t*>(bytes.data()), value);
    return Add(5, 14, {dtInteger, 4, Literal(bytes)});
  }
  uint16_t StringConstant(const std::string& text) {
    return Add(5, 14, {dtString, static_cast<uint16_t>(text.size() + 1), Literal(text + '\0')});
  }
  // The block; the root must be the node written first (reserve it with Reserve()).
  std::vector<uint8_t> Block() const {
    std::vector<uint8_t> block(10);
    PutU16(block.data(), 2);
    PutU16(block.data() + 4, 0xFFFF);
    PutU16(block.data() + 6, 10);
    PutU16(block.data() + 8, static_cast<uint16_t>(10 + FNodes.size()));
    block.insert(block.end(), FNodes.begin(), FNodes.end());
    block.insert(block.end(), FLiterals.begin(), FLiterals.end());
    PutU16(block.data() + 2, static_cast<uint16_t>(block.size()));
    return block;
  }
  // Makes room for a node of `operands` operands and answers its reference.
  uint16_t Reserve(int operands) {
    uint16_t at = static_cast<uint16_t>(FNodes.size());
    FNodes.resize(FNodes.size() + 8 + 2 * static_cast<size_t>(operands));
    return at;
  }
  void Fill(uint16_t at, uint32_t kind, uint32_t op, std::initializer_list<uint16_t> operands) {
    PutU32(FNodes.data() + at, kind);
    PutU32(FNodes.data() + at + 4, op);
    size_t i = 0;
    for (uint16_t operand : operands) PutU16(FNodes.data() + at + 8 + 2 * i++, operand);
  }

 private:
  uint16_t Add(uint32_t kind, uint32_t op, std::initializer_list<uint16_t> operands) {
    uint16_t at = Reserve(static_cast<int>(operands.size()));
    Fill(at, kind, op, operands);
    return at;
  }
  uint16_t Literal(const std::string& bytes) {
    uint16_t at = static_cast<uint16_t>(FLiterals.size());
    FLiterals.insert(FLiterals.end(), bytes.begin(), bytes.end());
    return at;
  }
  std::vector<uint8_t> FNodes;
  std::vector<uint8_t> FLiterals;
};

TEST_F(FilterTest, FilterBlocksBecomeConditionsOnTheTable) {
  // Code > 10 AND Code < 20
  TBlockWriter writer;
  uint16_t root = writer.Reserve(2);
  uint16_t greater = writer.Reserve(2);
  writer.Fill(greater, 2, opGreater, {writer.FieldNode("code"), writer.IntegerConstant(10)});
  uint16_t less = writer.Reserve(2);
  writer.Fill(less, 2, opLess, {writer.FieldNode("Code"), writer.IntegerConstant(20)});
  writer.Fill(root, 2, opAnd, {greater, less});
  std::vector<uint8_t> block = writer.Block();
  TFilter* filter = nullptr;
  ASSERT_EQ(FTable.AddFilter(block.data(), block.size(), &filter), 0);
  EXPECT_EQ(filter->IndexUse, 0);
  ASSERT_EQ(FTable.ActivateFilter(filter), 0);
  EXPECT_EQ(FTable.GetRecordCount(), 9);
  FTable.DropFilter(filter);

  // Damaged blocks and unknown fields are invalid filter expressions.
  std::vector<uint8_t> truncated(block.begin(), block.begin() + 12);
  PutU16(truncated.data() + 2, 12);
  EXPECT_EQ(test::EngineCodeOf([&] { FTable.AddFilter(truncated.data(), truncated.size(), &filter); }), kErrInvalidFilter);
  TBlockWriter unknown;
  uint16_t top = unknown.Reserve(2);
  unknown.Fill(top, 2, opEqual, {unknown.FieldNode("Missing"), unknown.IntegerConstant(1)});
  std::vector<uint8_t> bad = unknown.Block();
  EXPECT_EQ(test::EngineCodeOf([&] { FTable.AddFilter(bad.data(), bad.size(), &filter); }), kErrInvalidFilter);
  // A node that refers back to itself cannot loop.
  std::vector<uint8_t> looping = block;
  PutU16(looping.data() + 10 + 8, 0);
  EXPECT_EQ(test::EngineCodeOf([&] { FTable.AddFilter(looping.data(), looping.size(), &filter); }), kErrInvalidFilter);
}

TEST_F(FilterTest, AFewVisibleRecordsAmongManyAreFoundInEveryDirectionAndOrder) {
  // Four of 5,000 records pass: the cursor reaches them by their keys rather than by walking.
  TFilter* filter = nullptr;
  ASSERT_EQ(FTable.AddFilter(Both(opAnd, Compare(opEqual, kGroup, 3), Compare(opLessOrEqual, kCode, 40)), false, &filter), 0);
  ASSERT_EQ(FTable.ActivateFilter(filter), 0);
  TImage image(FTable);
  std::vector<int32_t> positions;
  auto forward = [&] {
    std::vector<int32_t> codes;
    positions.clear();
    FTable.SetToBegin();
    while (FTable.GetNextRecord(image.Data()) == 0) {
      codes.push_back(image.GetInt(kCode));
      positions.push_back(FTable.GetSequenceNumber());
    }
    return codes;
  };
  auto backward = [&] {
    std::vector<int32_t> codes;
    FTable.SetToEnd();
    while (FTable.GetPriorRecord(image.Data()) == 0) codes.push_back(image.GetInt(kCode));
    return codes;
  };
  for (const char* order : {"", "ByCode"}) {
    FTable.SetIndexName(order);
    EXPECT_EQ(forward(), (std::vector<int32_t>{3, 13, 23, 33})) << order;
    // In index order the position counts the hidden entries too; here it is the code.
    EXPECT_EQ(positions, (std::vector<int32_t>{3, 13, 23, 33})) << order;
    EXPECT_EQ(backward(), (std::vector<int32_t>{33, 23, 13, 3})) << order;
  }
  // A search lands on the nearest visible record.
  image.Init();
  image.Int(kCode, 20);
  EXPECT_FALSE(FTable.GotoKey(false, image.Data(), nullptr, 0, true, 1));
  ASSERT_EQ(FTable.GetCurrentRecord(image.Data(), false), 0);
  EXPECT_EQ(image.GetInt(kCode), 23);
  EXPECT_EQ(FTable.GetSequenceNumber(), 23);

  // Records deleted while the filter is off are gone when it is on again, by this program or
  // by another.
  ASSERT_EQ(FTable.DeactivateFilter(filter), 0);
  image.Init();
  image.Int(kCode, 13);
  ASSERT_TRUE(FTable.FindExactKey(image.Data(), nullptr));
  FTable.DeleteRecord(false);
  ASSERT_EQ(FTable.ActivateFilter(filter), 0);
  EXPECT_EQ(forward(), (std::vector<int32_t>{3, 23, 33}));
  EXPECT_EQ(positions, (std::vector<int32_t>{3, 22, 32}));
  ASSERT_EQ(FTable.DeactivateFilter(filter), 0);
  test::TChildProcess other([this](test::TChildProcess&) {
    TDataFile theirs;
    theirs.SetFileName(FDir.File("F"));
    theirs.Open();
    theirs.SetIndexName("ByCode");
    TImage row(theirs);
    row.Init();
    row.Int(kCode, 23);
    if (!theirs.FindExactKey(row.Data(), nullptr)) return 1;
    theirs.DeleteRecord(false);
    return 0;
  });
  ASSERT_EQ(other.Wait(), 0);
  ASSERT_EQ(FTable.ActivateFilter(filter), 0);
  EXPECT_EQ(forward(), (std::vector<int32_t>{3, 33}));
  EXPECT_EQ(backward(), (std::vector<int32_t>{33, 3}));
}

}  // namespace
}  // namespace tarnel
