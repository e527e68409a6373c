#include "engine/expr/type_checker.h"

#include <algorithm>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/base/field_desc.h"
#include "engine/expr/expression_value.h"
#include "engine/expr/type_rules.h"
#include "platform/rtl/date_text.h"

namespace tarnel {

namespace {

bool IsAggregate(int32_t op) { return op >= opSum && op <= opAvg; }

// The kind word of a node in messages.
const char* KindOf(const TExpressionNode& node) {
  switch (node.NodeKind) {
    case nkUnary:
    case nkBinary:
      return "expression";
    case nkColumn:
      return "column";
    case nkConstant:
      return "constant";
    case nkFunction:
      return "function";
    default:
      return "";
  }
}

const char* PredicateName(int32_t op) {
  switch (op) {
    case opLike:
      return "LIKE";
    case opNotLike:
      return "NOT LIKE";
    case opIn:
      return "IN";
    case opNotIn:
      return "NOT IN";
    case opBetween:
      return "BETWEEN";
    default:
      return "NOT BETWEEN";
  }
}

// A constant, or a sign applied to a constant: what predicates take as items and bounds.
bool IsConstantItem(const TExpressionNode& node) {
  if (node.NodeKind == nkConstant) return true;
  return node.NodeKind == nkUnary && (node.Operator == opNegate || node.Operator == opPlus) &&
         node.Left && node.Left->NodeKind == nkConstant;
}

// A String constant that stands for a column again becomes the constant it was.
void RestoreConstant(TExpressionNode& node) {
  node.NodeKind = nkConstant;
  node.FromString = false;
  node.DataType = node.SavedType;
  node.SubType = node.SavedSubType;
  node.Size = node.SavedSize;
  node.Scale = node.SavedScale;
  node.ColumnName.clear();
  node.TableName.clear();
  node.FieldNo = 0;
  node.Source = nullptr;
}

class TTypeChecker {
 public:
  TTypeChecker(uint16_t errorCode, const std::string& context, const TResolveColumn& resolve)
      : FErrorCode(errorCode), FContext(context), FResolve(resolve) {}

  void Check(TExpressionNode& node) {
    switch (node.NodeKind) {
      case nkConstant:
        TryAsColumn(node);
        break;
      case nkColumn:
        ResolveColumn(node);
        break;
      case nkUnary:
        Unary(node);
        break;
      case nkBinary:
        Binary(node);
        break;
      case nkCompare:
        CheckChildren(node);
        SetType(node, dtBoolean, 2);
        break;
      case nkFunction:
        Function(node);
        break;
      case nkPredicate:
        Predicate(node);
        break;
      default:
        break;
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& message) const {
    RaiseEngineError(FErrorCode, "", "", message);
  }
  std::string In() const { return " in " + FContext; }

  static void SetType(TExpressionNode& node, uint8_t type, uint8_t size, uint8_t scale = 0,
                      uint8_t subType = stNone) {
    node.DataType = type;
    node.Size = size;
    node.Scale = scale;
    node.SubType = subType;
  }

  void CheckChildren(TExpressionNode& node) {
    if (node.Left) Check(*node.Left);
    if (node.Right) Check(*node.Right);
  }

  // A String constant is tried as the name of a column first.
  void TryAsColumn(TExpressionNode& node) {
    if (node.DataType != dtString || node.IsParam || node.IsNull) return;
    node.ColumnName = std::string(StringOf(node.Value));
    node.SavedType = node.DataType;
    node.SavedSubType = node.SubType;
    node.SavedSize = node.Size;
    node.SavedScale = node.Scale;
    if (FResolve && FResolve(node)) {
      node.NodeKind = nkColumn;
      node.FromString = true;
    } else {
      node.ColumnName.clear();
    }
  }

  void ResolveColumn(TExpressionNode& node) {
    if (node.FromString || node.ColumnName == "*") return;
    if (!FResolve || !FResolve(node)) {
      Fail("Invalid column name '" + node.ColumnName + "' or table correlation name '" +
           node.TableName + "' specified" + In());
    }
  }

  // A Boolean column or function as an operand of NOT, AND or OR becomes operand = TRUE.
  static void CompareWithTrue(TExpressionPtr& operand) {
    if (!operand || operand->DataType != dtBoolean) return;
    if (operand->NodeKind != nkColumn && operand->NodeKind != nkFunction) return;
    auto truth = std::make_unique<TExpressionNode>();
    truth->NodeKind = nkConstant;
    truth->Name = "True";
    SetType(*truth, dtBoolean, 2);
    PutU16(truth->Value.data(), 1);
    auto equal = std::make_unique<TExpressionNode>();
    equal->NodeKind = nkBinary;
    equal->Operator = opEqual;
    equal->Name = "=";
    SetType(*equal, dtBoolean, 2);
    equal->Left = std::move(operand);
    equal->Right = std::move(truth);
    operand = std::move(equal);
  }

  // A String constant compared with a Date, Time or Timestamp is read as one.
  void ConvertDateText(TExpressionNode& text, const TExpressionNode& moment) {
    if (text.NodeKind != nkConstant || text.DataType != dtString) return;
    if (!IsDateTimeType(moment.DataType)) return;
    if (!text.IsNull) {
      std::string_view written = StringOf(text.Value);
      TDateTime value = 0;
      bool converted = moment.DataType == dtDate   ? TryStrToDate(written, value)
                       : moment.DataType == dtTime ? TryStrToTime(written, value)
                                                   : TryStrToDateTime(written, value);
      if (!converted) {
        Fail("Date, time, or timestamp expression expected, instead found '" + text.Name + "'" +
             In());
      }
      text.Value.fill(0);
      TTimeStamp stamp = DateTimeToTimeStamp(value);
      if (moment.DataType == dtDate) {
        PutI32(text.Value.data(), stamp.Date);
      } else if (moment.DataType == dtTime) {
        PutI32(text.Value.data(), stamp.Time);
      } else {
        PutF64(text.Value.data(), TimeStampToMSecs(stamp));
      }
    }
    text.DataType = moment.DataType;
    text.Size = moment.Size;
    text.Scale = moment.Scale;
  }

  void Unary(TExpressionNode& node) {
    if (!node.Left) return;
    CompareWithTrue(node.Left);
    Check(*node.Left);
    TypeUnary(node);
  }

  // The type of a unary node over its checked operand.
  void TypeUnary(TExpressionNode& node) {
    const TExpressionNode& operand = *node.Left;
    if (node.Operator == opIsNull || node.Operator == opNotNull) {
      SetType(node, dtBoolean, 2);
      return;
    }
    if (!UnaryTypeValid(node.Operator, operand.DataType)) {
      Fail("Type mismatch between '" + node.Name + "' operator and '" + operand.Name + "'" +
           In());
    }
    SetType(node, UnaryResultType(node.Operator, operand.DataType), operand.Size, operand.Scale,
            node.Operator == opNot ? uint8_t{stNone} : operand.SubType);
  }

  void Binary(TExpressionNode& node) {
    if (!node.Left || !node.Right) return;
    int32_t op = node.Operator;
    if (op == opAnd || op == opOr) {
      CompareWithTrue(node.Left);
      CompareWithTrue(node.Right);
    }
    TExpressionNode& left = *node.Left;
    TExpressionNode& right = *node.Right;
    Check(left);
    Check(right);
    if (left.NodeKind == nkColumn && right.NodeKind == nkColumn) {
      if (right.FromString) {
        RestoreConstant(right);
      } else if (left.FromString) {
        RestoreConstant(left);
      }
    }
    ConvertDateText(left, right);
    ConvertDateText(right, left);
    uint8_t type = BinaryResultType(op, left.DataType, right.DataType);
    if (type == kUntyped) {
      Fail(std::string("Type mismatch between ") + KindOf(left) + " '" + left.Name + "' and " +
           KindOf(right) + " '" + right.Name + "'" + In());
    }
    uint8_t subType = ResultSubType(op, left.DataType, left.SubType, right.SubType,
                                    right.DataType);
    if (op == opAdd && type == dtString) {
      // The value area holds 254 characters; a longer sum is cut there.
      int size = std::min(left.Size + right.Size - 1, static_cast<int>(kValueSize));
      SetType(node, type, static_cast<uint8_t>(size), 0, subType);
    } else {
      SetType(node, type, std::max(left.Size, right.Size), std::max(left.Scale, right.Scale),
              subType);
    }
  }

  // An Integer constant of 1 to 250 for SUBSTRING's FROM or FOR; its value.
  int32_t Position(const TExpressionNode* bound, const char* which) {
    std::string argument = std::string(which) + " argument of SUBSTRING function must be an "
                                                "integer constant";
    if (bound == nullptr || bound->NodeKind != nkConstant || bound->DataType != dtInteger ||
        bound->IsNull) {
      Fail(argument + In());
    }
    int32_t value = GetI32(bound->Value.data());
    if (value < 1 || value > kMaxStringFieldSize) Fail(argument + " between 1 and 250" + In());
    return value;
  }

  void Function(TExpressionNode& node) {
    if (!node.Left) return;
    TExpressionNode& argument = *node.Left;
    int32_t op = node.Operator;
    Check(argument);
    uint8_t type = argument.DataType;
    if (IsAggregate(op)) {
      if (op == opCount) {
        SetType(node, dtInteger, 4);
        return;
      }
      bool summable = IsNumericType(type) || IsDateTimeType(type);
      if (!summable) {
        Fail(node.Name + " aggregate function must contain a numeric, date, time, or timestamp "
                         "expression" + In());
      }
      SetType(node, type, argument.Size, argument.Scale, argument.SubType);
      return;
    }
    switch (op) {
      case opUpper:
      case opLower:
        if (type != dtString) {
          Fail(std::string("Type mismatch between ") + (op == opUpper ? "UPPER" : "LOWER") +
               " function and function argument" + In());
        }
        SetType(node, dtString, argument.Size);
        break;
      case opSubstring: {
        if (type != dtString) {
          Fail("Expression argument of SUBSTRING function must be a string" + In());
        }
        int32_t from = Position(node.Right.get(), "FROM");
        int size = std::max(argument.Size - from + 1, 1);
        if (node.Right->Right) size = Position(node.Right->Right.get(), "FOR") + 1;
        SetType(node, dtString, static_cast<uint8_t>(size));
        break;
      }
      case opTrimLeading:
      case opTrimTrailing:
      case opTrimBoth: {
        if (type != dtString) Fail("FROM argument of TRIM function must be a string" + In());
        const TExpressionNode* character = node.Right.get();
        if (character == nullptr || character->NodeKind != nkConstant ||
            character->DataType != dtString || character->IsNull ||
            StringOf(character->Value).size() != 1) {
          Fail("Trim character argument of TRIM function must be a single character constant" +
               In());
        }
        SetType(node, dtString, argument.Size);
        break;
      }
      case opExtractYear:
      case opExtractMonth:
      case opExtractDay:
        if (type != dtDate && type != dtTimeStamp) {
          Fail("FROM argument of EXTRACT function must be a date or date and time" + In());
        }
        SetType(node, dtInteger, 4);
        break;
      default:
        break;
    }
  }

  // A LIKE pattern, an IN item or a BETWEEN bound: a constant (or a signed one) that compares
  // with the left operand. A String constant here is never taken for a column: the place asks
  // for a constant.
  void ConstantOperand(const TExpressionNode& predicate, TExpressionNode& operand,
                       const TExpressionNode& left) {
    std::string name = PredicateName(predicate.Operator);
    if (!IsConstantItem(operand)) {
      Fail("Constant expression expected after " + name + " operator, instead found '" +
           operand.Name + "'" + In());
    }
    if (operand.NodeKind == nkUnary) TypeUnary(operand);
    bool like = predicate.Operator == opLike || predicate.Operator == opNotLike;
    if (!like) ConvertDateText(operand, left);
    bool valid = like ? operand.DataType == dtString
                      : BinaryTypesValid(opEqual, left.DataType, operand.DataType);
    if (!valid) {
      Fail("Type mismatch between " + name + " operator and expression '" + operand.Name + "'" +
           In());
    }
  }

  void Predicate(TExpressionNode& node) {
    if (!node.Left) return;
    TExpressionNode& left = *node.Left;
    Check(left);
    int32_t op = node.Operator;
    if ((op == opLike || op == opNotLike) && left.DataType != dtString) {
      Fail(std::string("Type mismatch between ") + PredicateName(op) + " operator and expression '" +
           left.Name + "'" + In());
    }
    if (op == opLike || op == opNotLike) {
      if (node.Right) ConstantOperand(node, *node.Right, left);
    } else {
      // IN items and the two BETWEEN bounds run through Right.
      for (TExpressionNode* item = node.Right.get(); item != nullptr; item = item->Right.get()) {
        ConstantOperand(node, *item, left);
      }
    }
    SetType(node, dtBoolean, 2);
  }

  uint16_t FErrorCode;
  const std::string& FContext;
  const TResolveColumn& FResolve;
};

}  // namespace

void CheckExpression(uint16_t errorCode, const std::string& context, TExpressionNode& root,
                     const TResolveColumn& resolveColumn) {
  TTypeChecker(errorCode, context, resolveColumn).Check(root);
}

}  // namespace tarnel
