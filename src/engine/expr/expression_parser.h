// TExpressionParser: turns the expressions of an SQL statement into trees of TExpressionNode.
// It reads the token stream of its lexer, which the statement parser drives between the
// expression slots; each tree it returns belongs to the caller. One parser serves one query.
#pragma once

#include <string>
#include <string_view>

#include "engine/expr/expression_lexer.h"
#include "engine/expr/expression_node.h"

namespace tarnel {

// What an expression slot allows; passed unchanged into every nested level of an expression.
enum TParseFlag : int {
  pfAggregates = 1,  // SUM, COUNT, MIN, MAX, AVG
  pfAllColumns = 2,  // * alone and after a qualifier
  pfPredicates = 4,  // LIKE, BETWEEN, IN, IS NULL and their NOT forms
  pfParameters = 8,  // ? parameters
};

// Trees nest at most this deep, and so does the parse (parentheses, nested functions, chained
// comparisons), so that neither the parse nor a walk of the tree can exhaust the stack.
constexpr int kMaxExpressionDepth = 256;

// A qualifier reduced to a correlation name: the part after the last ':', '\' or '/', without
// the part from its last '.' on ('C:\DATA\CUSTOMER.DAT' is CUSTOMER).
std::string CorrelationNameOf(std::string_view qualifier);

class TExpressionParser : public TExpressionLexer {
 public:
  // A full expression from the current token on; the first token after it is current then.
  // `context` ends the messages ("source columns", "WHERE or JOIN clause", ...). Nodes get
  // the types the grammar knows: Boolean conditions, String and Integer functions, constants.
  TExpressionPtr ParseCondition(int flags, const std::string& context);
  // One primary (a column, constant, function call or parenthesised expression).
  TExpressionPtr ParsePrimary(int flags, const std::string& context);

 private:
  // A subtree and its depth.
  struct TParsed {
    TExpressionPtr Node;
    int Depth = 1;
  };
  class TNestingGuard;

  TParsed Condition();
  TParsed AndTerm();
  TParsed Comparison();
  TParsed Predicate(TParsed left);
  TParsed InList(TParsed left, int32_t op, const std::string& name, const char* leftMessage);
  TParsed Additive();
  TParsed Multiplicative();
  TParsed Unary();
  TParsed Primary();
  TParsed Aggregate(int32_t op);
  TParsed CaseFunction(int32_t op, const char* keyword);
  TParsed Substring();
  TParsed Trim();
  TParsed Extract();
  TParsed ColumnReference();
  bool IsOperandKeyword(std::string_view word) const;

  // A node over children of `childDepth` levels; deeper than the limit raises.
  TParsed Made(TExpressionPtr node, int childDepth) const;
  TParsed Binary(int32_t op, const std::string& name, TParsed left, TParsed right);
  // Links `next` behind `last`, the last node of the list `head`, through Right; `message` is
  // raised when `last` uses its Right for an operand of its own and so cannot carry the list.
  void Link(TParsed& head, TExpressionNode& last, TParsed next, const std::string& message);
  void Expect(char token, const std::string& message);
  void ExpectKeyword(const char* word, const std::string& message);
  [[noreturn]] void Fail(const std::string& message) const;
  // The current token and the context as the messages end: "'x' in WHERE or JOIN clause", and
  // with "found" before "in".
  std::string Found() const;
  std::string FoundIn() const;
  std::string DepthMessage() const;

  int FFlags = 0;
  std::string FContext;
  int FNesting = 0;
};

}  // namespace tarnel
