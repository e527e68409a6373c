#include "engine/expr/evaluate.h"

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/arithmetic.h"
#include "engine/expr/functions.h"
#include "engine/expr/value_compare.h"
#include "platform/locale/language_table.h"

namespace tarnel {

namespace {

void PutTruth(TExpressionValue& result, bool truth) { PutU16(result.Value.data(), truth ? 1 : 0); }

// One evaluation: the record, the locale and the fetch, for the walk down the tree. A node
// whose operands are missing (a damaged filter) evaluates to zero.
class TEvaluator {
 public:
  TEvaluator(const void* record, uint32_t lcid, const TFetchColumn* fetch)
      : FRecord(record), FLcid(lcid), FFetch(fetch) {}

  void Evaluate(const TExpressionNode& node, TExpressionValue& result) {
    result = TExpressionValue{};
    result.DataType = node.DataType;
    result.SubType = node.SubType;
    result.Size = node.Size;
    result.Scale = node.Scale;
    switch (node.NodeKind) {
      case nkConstant:
        result.Value = node.Value;
        result.IsNull = node.IsNull;
        break;
      case nkColumn:
        if (FFetch != nullptr) {
          (*FFetch)(node, FRecord, result);
        } else {
          result.Value = node.Value;
          result.IsNull = node.IsNull;
        }
        break;
      case nkUnary:
        if (node.Left) {
          TExpressionValue operand;
          Evaluate(*node.Left, operand);
          ApplyUnary(node.Operator, operand, result);
        }
        break;
      case nkBinary:
        if (node.Left && node.Right) Binary(node, result);
        break;
      case nkCompare:
        if (node.Left && node.Right) {
          TExpressionValue left;
          TExpressionValue right;
          Evaluate(*node.Left, left);
          Evaluate(*node.Right, right);
          PutTruth(result, CompareStrings(node.Operator, left, right, FLcid, node.PartialLength,
                                          node.CaseInsensitive));
        }
        break;
      case nkFunction:
        if (node.Left) Function(node, result);
        break;
      case nkPredicate:
        if (node.Left && node.Right) Predicate(node, result);
        break;
      default:
        break;
    }
  }

 private:
  // The right operand first: AND with a false one and OR with a true one are its value.
  void Binary(const TExpressionNode& node, TExpressionValue& result) {
    TExpressionValue right;
    Evaluate(*node.Right, right);
    int32_t op = node.Operator;
    if ((op == opAnd && !IsTrue(right)) || (op == opOr && IsTrue(right))) {
      PutU16(result.Value.data(), GetU16(right.Value.data()));
      return;
    }
    TExpressionValue left;
    Evaluate(*node.Left, left);
    if (op == opAnd || op == opOr) {
      PutTruth(result, IsTrue(left));
    } else if (op >= opEqual && op <= opLessOrEqual) {
      PutTruth(result, CompareWith(op, left, right, FLcid));
    } else {
      ApplyArithmetic(op, left, right, result);
    }
  }

  void Function(const TExpressionNode& node, TExpressionValue& result) {
    TExpressionValue argument;
    Evaluate(*node.Left, argument);
    int32_t op = node.Operator;
    if (op == opExtractYear || op == opExtractMonth || op == opExtractDay) {
      PutI32(result.Value.data(), ExtractPart(op, argument));
      return;
    }
    bool stringFunction = op == opUpper || op == opLower || op == opSubstring ||
                          op == opTrimLeading || op == opTrimTrailing || op == opTrimBoth;
    if (stringFunction && argument.DataType != dtString) return;
    // Aggregates give their argument for the current record; the others change it.
    result.Value = argument.Value;
    result.IsNull = argument.IsNull;
    switch (op) {
      case opUpper:
      case opLower:
        MapCase(op, FLcid, result);
        break;
      case opSubstring:
        if (node.Right) {
          TExpressionValue from;
          TExpressionValue count;
          Evaluate(*node.Right, from);
          if (node.Right->Right) Evaluate(*node.Right->Right, count);
          Substring(result, IntegerOf(from), node.Right->Right ? IntegerOf(count) : -1);
        }
        break;
      case opTrimLeading:
      case opTrimTrailing:
      case opTrimBoth:
        if (node.Right) {
          TExpressionValue character;
          Evaluate(*node.Right, character);
          TrimString(op, static_cast<char>(character.Value[0]), result);
        }
        break;
      default:
        break;
    }
  }

  void Predicate(const TExpressionNode& node, TExpressionValue& result) {
    TExpressionValue left;
    Evaluate(*node.Left, left);
    TExpressionValue item;
    bool holds = false;
    switch (node.Operator) {
      case opLike:
      case opNotLike:
        Evaluate(*node.Right, item);
        holds = !left.IsNull && !item.IsNull && left.DataType == dtString &&
                item.DataType == dtString && MatchLike(StringOf(left.Value), StringOf(item.Value));
        break;
      case opIn:
      case opNotIn:
        // The list runs through Right, item after item.
        for (const TExpressionNode* entry = node.Right.get(); entry != nullptr && !holds;
             entry = entry->Right.get()) {
          Evaluate(*entry, item);
          holds = CompareWith(opEqual, left, item, FLcid);
        }
        break;
      case opBetween:
      case opNotBetween:
        // The low bound is in Right, the high bound in the low bound's Right.
        Evaluate(*node.Right, item);
        holds = CompareWith(opGreaterOrEqual, left, item, FLcid) && node.Right->Right;
        if (holds) {
          Evaluate(*node.Right->Right, item);
          holds = CompareWith(opLessOrEqual, left, item, FLcid);
        }
        break;
      default:
        return;
    }
    bool negated = node.Operator == opNotLike || node.Operator == opNotIn ||
                   node.Operator == opNotBetween;
    PutTruth(result, holds != negated);
  }

  const void* FRecord;
  uint32_t FLcid;
  const TFetchColumn* FFetch;
};

}  // namespace

TExpressionValue EvaluateExpression(const TExpressionNode& node, const void* record,
                                    uint16_t language, uint16_t sortOrder,
                                    const TFetchColumn* fetch) {
  TExpressionValue result;
  TEvaluator(record, locale::MakeLcid(language, sortOrder), fetch).Evaluate(node, result);
  return result;
}

}  // namespace tarnel
