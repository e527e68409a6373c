// TExpressionNode: the one node record of every expression tree, for SQL statements and table
// filters alike. A node holds its kind, its operator or function code, its typed value, and
// its children; a tree is owned through its root (Left and Right own their subtrees, so an IN
// list, a BETWEEN's bounds and SUBSTRING's FROM/FOR chain through Right go with their node).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace tarnel {

class TSqlSource;

enum TNodeKind : int32_t {
  nkUnary = 1,
  nkBinary = 2,
  nkCompare = 3,
  nkColumn = 4,
  nkConstant = 5,
  nkFunction = 10,
  nkPredicate = 12,
};

// Operator and function codes, one numbering for all node kinds.
enum TOperator : int32_t {
  opNone = 0,
  opIsNull = 1,
  opNotNull = 2,
  opEqual = 3,
  opNotEqual = 4,
  opGreater = 5,
  opLess = 6,
  opGreaterOrEqual = 7,
  opLessOrEqual = 8,
  opNot = 9,
  opAnd = 10,
  opOr = 11,
  opNegate = 15,
  opPlus = 16,
  opAdd = 17,
  opSubtract = 18,
  opMultiply = 19,
  opDivide = 20,
  opSum = 23,
  opCount = 24,
  opMin = 25,
  opMax = 26,
  opAvg = 27,
  opLike = 31,
  opIn = 32,
  opUpper = 34,
  opLower = 35,
  opBetween = 39,
  opNotBetween = 40,
  opNotLike = 41,
  opNotIn = 42,
  opSubstring = 43,
  opTrimLeading = 44,
  opTrimTrailing = 45,
  opTrimBoth = 46,
  opExtractYear = 48,
  opExtractMonth = 49,
  opExtractDay = 50,
};

// Value types of expressions: the engine's field type codes that take part, and 0 for untyped
// (the NULL literal, an unbound parameter).
constexpr uint8_t kUntyped = 0;
constexpr size_t kValueSize = 255;

struct TExpressionNode {
  TExpressionNode() = default;
  ~TExpressionNode();
  TExpressionNode(const TExpressionNode&) = delete;
  TExpressionNode& operator=(const TExpressionNode&) = delete;

  std::string Name;  // the text as written, used in messages
  int32_t NodeKind = 0;
  int32_t Operator = opNone;
  uint8_t IndexUse = 2;  // 0 an index answers the condition, 1 partly, 2 not at all
  uint8_t JoinKind = 0;
  std::string ColumnName;
  uint16_t FieldNo = 0;
  std::string TableName;
  TSqlSource* Source = nullptr;
  std::array<uint8_t, kValueSize> Value{};
  bool IsNull = false;
  bool IsParam = false;
  uint8_t PartialLength = 0;
  bool CaseInsensitive = false;
  uint8_t DataType = kUntyped;
  uint8_t SubType = 0;
  uint8_t Size = 0;
  uint8_t Scale = 0;
  bool FromString = false;
  uint8_t SavedType = 0;
  uint8_t SavedSubType = 0;
  uint8_t SavedSize = 0;
  uint8_t SavedScale = 0;
  TExpressionNode* Parent = nullptr;  // set only while a join analysis walks a tree
  std::unique_ptr<TExpressionNode> Left;
  std::unique_ptr<TExpressionNode> Right;
};

using TExpressionPtr = std::unique_ptr<TExpressionNode>;

// A copy of one node's record, without its children.
TExpressionPtr CopyNode(const TExpressionNode& node);
// A deep copy of a tree (nullptr for nullptr).
TExpressionPtr CopyExpression(const TExpressionNode* node);
// Frees a tree (nothing for nullptr).
inline void FreeExpression(TExpressionPtr& node) { node.reset(); }

}  // namespace tarnel
