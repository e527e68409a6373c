#include "engine/expr/expression_parser.h"

#include <algorithm>
#include <utility>

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/expression_value.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/number_text.h"

namespace tarnel {

namespace {

TExpressionPtr NewNode(int32_t kind, int32_t op, const std::string& name, uint8_t type = 0,
                       uint8_t size = 0) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = kind;
  node->Operator = op;
  node->Name = name;
  node->DataType = type;
  node->Size = size;
  return node;
}

struct TKeyword {
  const char* Word;
  int32_t Op;
};

constexpr TKeyword kAggregates[] = {
    {"SUM", opSum}, {"AVG", opAvg}, {"MIN", opMin}, {"MAX", opMax}, {"COUNT", opCount},
};
constexpr TKeyword kTrimKinds[] = {
    {"LEADING", opTrimLeading}, {"TRAILING", opTrimTrailing}, {"BOTH", opTrimBoth},
};
constexpr TKeyword kDateParts[] = {
    {"YEAR", opExtractYear}, {"MONTH", opExtractMonth}, {"DAY", opExtractDay},
};

}  // namespace

std::string CorrelationNameOf(std::string_view qualifier) {
  size_t separator = qualifier.find_last_of(":\\/");
  std::string_view name = separator == std::string_view::npos ? qualifier
                                                              : qualifier.substr(separator + 1);
  size_t point = name.rfind('.');
  return std::string(point == std::string_view::npos ? name : name.substr(0, point));
}

// Counts the levels of the parse on the stack, so that deep nesting is an error, not a crash.
class TExpressionParser::TNestingGuard {
 public:
  explicit TNestingGuard(TExpressionParser& parser) : FParser(parser) {
    if (++FParser.FNesting > kMaxExpressionDepth) FParser.Fail(FParser.DepthMessage());
  }
  ~TNestingGuard() { --FParser.FNesting; }
  TNestingGuard(const TNestingGuard&) = delete;
  TNestingGuard& operator=(const TNestingGuard&) = delete;

 private:
  TExpressionParser& FParser;
};

TExpressionPtr TExpressionParser::ParseCondition(int flags, const std::string& context) {
  FFlags = flags;
  FContext = context;
  FNesting = 0;
  return Condition().Node;
}

TExpressionPtr TExpressionParser::ParsePrimary(int flags, const std::string& context) {
  FFlags = flags;
  FContext = context;
  FNesting = 0;
  return Primary().Node;
}

void TExpressionParser::Fail(const std::string& message) const { RaiseSqlError(message); }

std::string TExpressionParser::Found() const { return "'" + TokenText() + "' in " + FContext; }

std::string TExpressionParser::FoundIn() const {
  return "'" + TokenText() + "' found in " + FContext;
}

std::string TExpressionParser::DepthMessage() const {
  return "Expression nesting exceeds maximum depth of " + std::to_string(kMaxExpressionDepth) +
         " levels in " + FContext;
}

void TExpressionParser::Expect(char token, const std::string& message) {
  if (!IsToken(static_cast<uint8_t>(token))) Fail(message + Found());
  NextToken();
}

void TExpressionParser::ExpectKeyword(const char* word, const std::string& message) {
  if (!IsKeyword(word)) Fail(message + Found());
  NextToken();
}

TExpressionParser::TParsed TExpressionParser::Binary(int32_t op, const std::string& name,
                                                     TParsed left, TParsed right) {
  bool condition = op == opAnd || op == opOr || (op >= opEqual && op <= opLessOrEqual);
  TParsed result = Made(NewNode(nkBinary, op, name, condition ? dtBoolean : 0, condition ? 2 : 0),
                        std::max(left.Depth, right.Depth));
  result.Node->Left = std::move(left.Node);
  result.Node->Right = std::move(right.Node);
  return result;
}

TExpressionParser::TParsed TExpressionParser::Made(TExpressionPtr node, int childDepth) const {
  if (childDepth + 1 > kMaxExpressionDepth) Fail(DepthMessage());
  return TParsed{std::move(node), childDepth + 1};
}

void TExpressionParser::Link(TParsed& head, TExpressionNode& last, TParsed next,
                             const std::string& message) {
  // Every node that keeps an operand in Right has one once it is parsed.
  if (last.Right) Fail(message);
  head.Depth = std::max(head.Depth, next.Depth);
  last.Right = std::move(next.Node);
}

TExpressionParser::TParsed TExpressionParser::Condition() {
  TParsed left = AndTerm();
  while (IsKeyword("OR")) {
    std::string name = TokenText();
    NextToken();
    left = Binary(opOr, name, std::move(left), AndTerm());
  }
  return left;
}

TExpressionParser::TParsed TExpressionParser::AndTerm() {
  TParsed left = Comparison();
  while (IsKeyword("AND")) {
    std::string name = TokenText();
    NextToken();
    left = Binary(opAnd, name, std::move(left), Comparison());
  }
  return left;
}

TExpressionParser::TParsed TExpressionParser::Comparison() {
  TNestingGuard guard(*this);
  TParsed left = Additive();
  int32_t op = opNone;
  std::string name = TokenText();
  if (IsToken('=')) {
    op = opEqual;
    NextToken();
  } else if (IsToken('<') || IsToken('>')) {
    bool less = IsToken('<');
    NextToken();
    if (less && IsToken('>')) {
      op = opNotEqual;
    } else if (IsToken('=')) {
      op = less ? opLessOrEqual : opGreaterOrEqual;
    } else {
      op = less ? opLess : opGreater;
    }
    if (op == opNotEqual || op == opLessOrEqual || op == opGreaterOrEqual) {
      name += " " + TokenText();
      NextToken();
    }
  } else {
    return Predicate(std::move(left));
  }
  return Binary(op, name, std::move(left), Comparison());
}

TExpressionParser::TParsed TExpressionParser::Predicate(TParsed left) {
  bool like = IsKeyword("LIKE");
  bool between = IsKeyword("BETWEEN");
  bool in = IsKeyword("IN");
  bool is = IsKeyword("IS");
  bool negated = IsKeyword("NOT");
  if (!like && !between && !in && !is && !negated) return left;
  const std::string notAllowed =
      "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in " + FContext;
  std::string name = TokenText();
  NextToken();
  if (negated) {
    like = IsKeyword("LIKE");
    between = IsKeyword("BETWEEN");
    in = IsKeyword("IN");
    if (!like && !between && !in) Fail("Unknown or unexpected symbol " + Found());
    name += " " + TokenText();
    NextToken();
  }
  if ((FFlags & pfPredicates) == 0) Fail(notAllowed);
  if (is) {
    int32_t op = opEqual;
    if (IsKeyword("NOT")) {
      op = opNotEqual;
      name += " " + TokenText();
      NextToken();
    }
    if (!IsKeyword("NULL")) Fail("Unknown or unexpected symbol " + FoundIn());
    name += " " + TokenText();
    TParsed null{NewNode(nkConstant, opNone, TokenText())};
    null.Node->IsNull = true;
    NextToken();
    return Binary(op, name, std::move(left), std::move(null));
  }
  if (in) {
    return InList(std::move(left), negated ? opNotIn : opIn, name,
                  negated ? "Expected left parentheses for IN operator, instead found "
                          : "Expected left parentheses after IN operator, instead found ");
  }
  TParsed operands = Comparison();
  int32_t op = like ? (negated ? opNotLike : opLike) : (negated ? opNotBetween : opBetween);
  if (between) {
    ExpectKeyword("AND", "Expected AND operator in BETWEEN operator, instead found ");
    std::string message = "Constant expression expected after " + std::string(negated ? "NOT " : "") +
                          "BETWEEN operator, instead found '" + operands.Node->Name + "' in " +
                          FContext;
    Link(operands, *operands.Node, Comparison(), message);
  }
  TParsed result = Made(NewNode(nkPredicate, op, name, dtBoolean, 2),
                        std::max(left.Depth, operands.Depth));
  result.Node->Left = std::move(left.Node);
  result.Node->Right = std::move(operands.Node);
  return result;
}

TExpressionParser::TParsed TExpressionParser::InList(TParsed left, int32_t op,
                                                     const std::string& name,
                                                     const char* leftMessage) {
  Expect('(', leftMessage);
  TParsed items = Comparison();
  const std::string predicate = op == opNotIn ? "NOT IN" : "IN";
  TExpressionNode* last = items.Node.get();
  while (IsToken(',')) {
    NextToken();
    TParsed item = Comparison();
    TExpressionNode* added = item.Node.get();
    Link(items, *last, std::move(item),
         "Constant expression expected after " + predicate + " operator, instead found '" +
             last->Name + "' in " + FContext);
    last = added;
  }
  Expect(')', "Expected right parentheses after IN operator, instead found ");
  TParsed result = Made(NewNode(nkPredicate, op, name, dtBoolean, 2),
                        std::max(left.Depth, items.Depth));
  result.Node->Left = std::move(left.Node);
  result.Node->Right = std::move(items.Node);
  return result;
}

TExpressionParser::TParsed TExpressionParser::Additive() {
  TParsed left = Multiplicative();
  for (;;) {
    int32_t op;
    std::string name = TokenText();
    if (IsToken('+')) {
      op = opAdd;
    } else if (IsToken('-')) {
      op = opSubtract;
    } else if (IsToken('|')) {
      NextToken();
      if (!IsToken('|')) {
        Fail("Second concatenation symbol '|' expected after first concatentation symbol, "
             "instead found " + Found());
      }
      op = opAdd;
      name += TokenText();
    } else {
      return left;
    }
    NextToken();
    left = Binary(op, name, std::move(left), Multiplicative());
  }
}

TExpressionParser::TParsed TExpressionParser::Multiplicative() {
  TParsed left = Unary();
  while (IsToken('*') || IsToken('/')) {
    int32_t op = IsToken('*') ? opMultiply : opDivide;
    std::string name = TokenText();
    NextToken();
    left = Binary(op, name, std::move(left), Unary());
  }
  return left;
}

TExpressionParser::TParsed TExpressionParser::Unary() {
  int32_t op;
  if (IsKeyword("NOT")) {
    op = opNot;
  } else if (IsToken('-')) {
    op = opNegate;
  } else if (IsToken('+')) {
    op = opPlus;
  } else {
    return Primary();
  }
  TParsed result{NewNode(nkUnary, op, TokenText(), op == opNot ? dtBoolean : 0,
                         op == opNot ? 2 : 0)};
  NextToken();
  TParsed operand = Primary();
  result = Made(std::move(result.Node), operand.Depth);
  result.Node->Left = std::move(operand.Node);
  return result;
}

// In an operand's place only an identifier is a function or constant keyword: a bracketed name
// there is a column, so that [Date] or [Count] can name one.
bool TExpressionParser::IsOperandKeyword(std::string_view word) const {
  return IsToken(tkSymbol) && IsKeyword(word);
}

TExpressionParser::TParsed TExpressionParser::Primary() {
  TNestingGuard guard(*this);
  if (IsToken('(')) {
    NextToken();
    TParsed inner = Condition();
    Expect(')', "Right parentheses expected, instead found ");
    return inner;
  }
  for (const TKeyword& aggregate : kAggregates) {
    if (IsOperandKeyword(aggregate.Word)) return Aggregate(aggregate.Op);
  }
  if (IsOperandKeyword("LOWER")) return CaseFunction(opLower, "LOWER");
  if (IsOperandKeyword("UPPER")) return CaseFunction(opUpper, "UPPER");
  if (IsOperandKeyword("SUBSTRING")) return Substring();
  if (IsOperandKeyword("TRIM")) return Trim();
  if (IsOperandKeyword("EXTRACT")) return Extract();
  TParsed result{NewNode(nkConstant, opNone, TokenText())};
  TExpressionNode& node = *result.Node;
  if (IsOperandKeyword("TRUE") || IsOperandKeyword("FALSE")) {
    node.DataType = dtBoolean;
    node.Size = 2;
    PutU16(node.Value.data(), IsOperandKeyword("TRUE") ? 1 : 0);
  } else if (IsOperandKeyword("NULL")) {
    node.IsNull = true;
  } else if (IsOperandKeyword("DATE") || IsOperandKeyword("NOW")) {
    int32_t today = DateTimeToTimeStamp(tarnel::Date()).Date;
    if (IsOperandKeyword("DATE")) {
      node.DataType = dtDate;
      node.Size = 4;
      PutI32(node.Value.data(), today);
    } else {
      node.DataType = dtTimeStamp;
      node.Size = 8;
      PutF64(node.Value.data(), static_cast<double>(today) * kMSecsPerDay);
    }
  } else if (IsToken(tkSymbol) || IsToken(tkBracketed) || IsToken(tkString)) {
    return ColumnReference();
  } else if (IsToken(tkInteger)) {
    node.DataType = dtInteger;
    node.Size = 4;
    PutI32(node.Value.data(), StrToInt(TokenText()));
  } else if (IsToken(tkFloat)) {
    node.DataType = dtFloat;
    node.Size = 8;
    PutF64(node.Value.data(), StrToFloat(TokenText()));
  } else if (IsToken('*')) {
    if ((FFlags & pfAllColumns) == 0) Fail("* (all columns) symbol is not allowed in " + FContext);
    node.NodeKind = nkColumn;
    node.ColumnName = node.Name;
  } else if (IsToken('?')) {
    if ((FFlags & pfParameters) == 0) Fail("Parameters are not allowed in " + FContext);
    node.IsParam = true;
    node.IsNull = true;
  } else {
    Fail("Unknown or unexpected symbol " + FoundIn());
  }
  NextToken();
  return result;
}

// An identifier, a bracketed name or a string: a column, a qualified column, or a String
// constant.
TExpressionParser::TParsed TExpressionParser::ColumnReference() {
  uint8_t kind = TokenKind();
  std::string text = TokenText();
  NextToken();
  TParsed result{NewNode(nkColumn, opNone, text)};
  TExpressionNode& node = *result.Node;
  if (IsToken('.')) {
    NextToken();
    bool column = IsToken(tkSymbol) || IsToken(tkString) || IsToken('*') ||
                  (kind == tkBracketed && IsToken(tkBracketed));
    if (!column) {
      Fail("Symbol or string expression expected after table correlation name separator '.', "
           "instead found " + Found());
    }
    if (IsToken('*') && (FFlags & pfAllColumns) == 0) {
      Fail("* (all columns) symbol is not allowed in " + FContext);
    }
    node.Name = text + "." + TokenText();
    node.ColumnName = TokenText();
    node.TableName = CorrelationNameOf(text);
    NextToken();
  } else if (kind == tkString) {
    node.NodeKind = nkConstant;
    node.DataType = dtString;
    node.Size = PutString(node.Value, text);
    node.IsNull = text.empty();
  } else if (kind == tkSymbol && IsToken('(')) {
    Fail("Unknown or unexpected function '" + text + "' found in " + FContext);
  } else {
    node.ColumnName = text;
  }
  return result;
}

TExpressionParser::TParsed TExpressionParser::Aggregate(int32_t op) {
  std::string name = TokenText();
  if ((FFlags & pfAggregates) == 0) Fail("Aggregate functions are not allowed in " + FContext);
  NextToken();
  Expect('(', "Left parentheses expectedafter aggregate function '" + name +
                  "', instead found ");
  TParsed argument = Additive();
  Expect(')', "Right parentheses expected after aggregate " + name +
                  " function argument, instead found ");
  TParsed result = Made(NewNode(nkFunction, op, name), argument.Depth);
  result.Node->Left = std::move(argument.Node);
  return result;
}

TExpressionParser::TParsed TExpressionParser::CaseFunction(int32_t op, const char* keyword) {
  std::string name = TokenText();
  NextToken();
  Expect('(', std::string("Left parentheses expectedafter ") + keyword +
                  " keyword, instead found ");
  TParsed argument = Additive();
  Expect(')', std::string("Right parentheses expected after ") + keyword +
                  " function argument, instead found ");
  TParsed result = Made(NewNode(nkFunction, op, name, dtString), argument.Depth);
  result.Node->Left = std::move(argument.Node);
  return result;
}

TExpressionParser::TParsed TExpressionParser::Substring() {
  std::string name = TokenText();
  NextToken();
  Expect('(', "Left parentheses expected after SUBSTRING keyword, instead found ");
  TParsed argument = Additive();
  ExpectKeyword("FROM", "FROM keyword expected after first SUBSTRING function argument, "
                        "instead found ");
  TParsed bounds = Primary();
  if (IsKeyword("FOR")) {
    NextToken();
    Link(bounds, *bounds.Node, Primary(),
         "FROM argument of SUBSTRING function must be an integer constant in " + FContext);
  }
  Expect(')', "Right parentheses expected after SUBSTRING function arguments, instead found ");
  TParsed result = Made(NewNode(nkFunction, opSubstring, name, dtString),
                        std::max(argument.Depth, bounds.Depth));
  result.Node->Left = std::move(argument.Node);
  result.Node->Right = std::move(bounds.Node);
  return result;
}

TExpressionParser::TParsed TExpressionParser::Trim() {
  std::string name = TokenText();
  NextToken();
  Expect('(', "Left parentheses expected after TRIM keyword, instead found ");
  int32_t op = opNone;
  for (const TKeyword& kind : kTrimKinds) {
    if (IsKeyword(kind.Word)) op = kind.Op;
  }
  if (op == opNone) {
    Fail("LEADING, TRAILING, or BOTH keyword expected after TRIM keyword, instead found " +
         Found());
  }
  NextToken();
  TParsed character = Primary();
  ExpectKeyword("FROM", "FROM keyword expected after second TRIM function argument, "
                        "instead found ");
  TParsed text = Additive();
  Expect(')', "Right parentheses expected after TRIM function arguments, instead found ");
  TParsed result = Made(NewNode(nkFunction, op, name, dtString),
                        std::max(character.Depth, text.Depth));
  result.Node->Left = std::move(text.Node);
  result.Node->Right = std::move(character.Node);
  return result;
}

TExpressionParser::TParsed TExpressionParser::Extract() {
  std::string name = TokenText();
  NextToken();
  Expect('(', "Left parentheses expected after EXTRACT keyword, instead found ");
  int32_t op = opNone;
  for (const TKeyword& part : kDateParts) {
    if (IsKeyword(part.Word)) op = part.Op;
  }
  if (op == opNone) {
    Fail("YEAR, MONTH, or DAY keyword expected after EXTRACT keyword, instead found " + Found());
  }
  NextToken();
  ExpectKeyword("FROM", "FROM keyword expected after second EXTRACT function argument, "
                        "instead found ");
  TParsed moment = Primary();
  Expect(')', "Right parentheses expected after EXTRACT function arguments, instead found ");
  TParsed result = Made(NewNode(nkFunction, op, name, dtInteger, 4), moment.Depth);
  result.Node->Left = std::move(moment.Node);
  return result;
}

}  // namespace tarnel
