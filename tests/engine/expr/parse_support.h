// Parsing, checking and messages for the parser and checker tests: a started engine (the SQL
// text of an error lives in the session), English format settings and a fixed clock.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/base/errors.h"
#include "engine/base/session.h"
#include "engine/expr/expression_parser.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/format_settings.h"

namespace tarnel::test {

// A tree as (name operands...); the items of a Right chain (IN lists, BETWEEN bounds, SUBSTRING
// bounds) in brackets.
inline std::string Render(const TExpressionNode* node) {
  if (node == nullptr) return "nil";
  switch (node->NodeKind) {
    case nkUnary:
      return "(" + node->Name + " " + Render(node->Left.get()) + ")";
    case nkBinary:
      return "(" + node->Name + " " + Render(node->Left.get()) + " " +
             Render(node->Right.get()) + ")";
    case nkFunction:
    case nkPredicate: {
      std::string text = "(" + node->Name + " " + Render(node->Left.get());
      if (node->Right) {
        // A list runs through Right as long as its items keep no operand there.
        text += " [";
        for (const TExpressionNode* item = node->Right.get(); item != nullptr;
             item = item->Right.get()) {
          if (item != node->Right.get()) text += " ";
          if (item->NodeKind == nkBinary || item->NodeKind == nkPredicate) {
            text += Render(item);
            break;
          }
          TExpressionPtr alone = CopyNode(*item);
          alone->Left = CopyExpression(item->Left.get());
          text += Render(alone.get());
        }
        text += "]";
      }
      return text + ")";
    }
    default:
      return node->Name;
  }
}

inline TDateTime FixedNow() { return EncodeDate(1997, 3, 5) + EncodeTime(14, 30, 0, 0); }

class TParseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeEngine();
    FSavedFormats = SaveFormats();
    RestoreFormats(GetLocaleFormats(false, 0, 0));
    FSavedClock = SetClock(FixedNow);
  }
  void TearDown() override {
    SetClock(FSavedClock);
    RestoreFormats(FSavedFormats);
    ShutdownEngine();
  }

  // The tree of a whole text; nothing may follow the expression.
  TExpressionPtr Parse(const std::string& text, int flags,
                       const std::string& context = "WHERE or JOIN clause") {
    FParser.SetText(text);
    FParser.NextToken();
    TExpressionPtr tree = FParser.ParseCondition(flags, context);
    EXPECT_TRUE(FParser.IsToken(tkEnd)) << text << " leaves " << FParser.TokenText();
    return tree;
  }

  // The SQL message of the engine error 11949 that `call` raises; "" when it raises none.
  template <typename Call>
  static std::string SqlMessageOf(Call call) {
    try {
      call();
    } catch (const EDBEngineError& error) {
      EXPECT_EQ(error.ErrorCode(), kErrSql);
      return CurrentSession().ErrorSQLText;
    }
    return "";
  }

  TExpressionParser FParser;
  TLocaleFormats FSavedFormats;
  TClock FSavedClock = nullptr;
};

}  // namespace tarnel::test
