#include "engine/index/filter_block.h"

#include <cstring>
#include <string>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/index/index_owner.h"

namespace tarnel {

namespace {

constexpr uint32_t kUnaryNode = 1;
constexpr uint32_t kBinaryNode = 2;
constexpr uint32_t kCompareNode = 3;
constexpr uint32_t kFieldNode = 4;
constexpr uint32_t kConstantNode = 5;
constexpr int kMaxDepth = 256;

class TBlockParser {
 public:
  TBlockParser(const uint8_t* block, size_t size, const TIndexOwner& table)
      : FBlock(block), FSize(size), FTable(table) {}

  TExpressionPtr Parse() {
    if (FSize < 10 || GetU16(FBlock) != kFilterBlockVersion) Fail();
    size_t total = GetU16(FBlock + 2);
    if (total > FSize || total < 10) Fail();
    FSize = total;
    FNodes = GetU16(FBlock + 6);
    FLiterals = GetU16(FBlock + 8);
    if (FNodes < 10 || FLiterals < FNodes || FLiterals > FSize) Fail();
    return Node(0, 0);
  }

 private:
  [[noreturn]] void Fail() const { RaiseEngineError(kErrInvalidFilter, FTable.TableFileName()); }

  const uint8_t* At(size_t offset, size_t bytes) const {
    if (offset + bytes > FSize) Fail();
    return FBlock + offset;
  }

  uint16_t Operand(size_t node, int index) const { return GetU16(At(node + 8 + 2 * static_cast<size_t>(index), 2)); }

  // A parent always precedes its operands, so that references only point forward.
  TExpressionPtr Child(size_t node, uint16_t reference, int depth) {
    if (FNodes + reference <= node) Fail();
    return Node(reference, depth + 1);
  }

  TExpressionPtr Node(uint16_t reference, int depth) {
    if (depth > kMaxDepth) Fail();
    size_t node = FNodes + reference;
    if (node >= FLiterals) Fail();
    uint32_t kind = GetU32(At(node, 4));
    int32_t op = static_cast<int32_t>(GetU32(At(node + 4, 4)));
    auto result = std::make_unique<TExpressionNode>();
    result->NodeKind = static_cast<int32_t>(kind);
    switch (kind) {
      case kUnaryNode:
        result->Operator = op;
        result->Left = Child(node, Operand(node, 0), depth);
        break;
      case kBinaryNode:
        result->Operator = op;
        result->Left = Child(node, Operand(node, 0), depth);
        result->Right = Child(node, Operand(node, 1), depth);
        break;
      case kCompareNode:
        result->Operator = op;
        result->CaseInsensitive = Operand(node, 0) != 0;
        result->PartialLength = static_cast<uint8_t>(Operand(node, 1));
        result->Left = Child(node, Operand(node, 2), depth);
        result->Right = Child(node, Operand(node, 3), depth);
        break;
      case kFieldNode: {
        result->NodeKind = nkColumn;
        result->ColumnName = Literal(Operand(node, 1));
        const TFieldDesc* field = FTable.FieldByName(result->ColumnName);
        if (field == nullptr) Fail();
        result->FieldNo = field->FieldNo;
        result->DataType = field->FieldType;
        result->SubType = field->SubType;
        result->Size = field->PhysSize;
        result->Scale = field->Decimals;
        result->Name = result->ColumnName;
        break;
      }
      case kConstantNode: {
        result->NodeKind = nkConstant;
        result->DataType = static_cast<uint8_t>(Operand(node, 0));
        result->Size = static_cast<uint8_t>(Operand(node, 1));
        size_t value = FLiterals + Operand(node, 2);
        if (result->DataType == dtString && result->Size == 1) {
          result->IsNull = true;  // the empty text compares as null
        } else {
          std::memcpy(result->Value.data(), At(value, result->Size), result->Size);
        }
        break;
      }
      default:
        break;
    }
    return result;
  }

  std::string Literal(uint16_t reference) const {
    size_t start = FLiterals + reference;
    std::string text;
    for (size_t at = start; text.size() < 255; ++at) {
      char c = static_cast<char>(*At(at, 1));
      if (c == '\0') break;
      text += c;
    }
    return text;
  }

  const uint8_t* FBlock;
  size_t FSize;
  const TIndexOwner& FTable;
  size_t FNodes = 0;
  size_t FLiterals = 0;
};

}  // namespace

TExpressionPtr ParseFilterBlock(const uint8_t* block, size_t size, const TIndexOwner& table) {
  return TBlockParser(block, size, table).Parse();
}

}  // namespace tarnel
