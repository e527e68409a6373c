#include "engine/expr/expression_lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parse_support.h"

namespace tarnel {
namespace {

using test::TParseTest;

// The tokens of a text as "kind:text" items.
std::vector<std::string> Tokens(const std::string& text) {
  TExpressionLexer lexer;
  lexer.SetText(text);
  std::vector<std::string> tokens;
  while (lexer.NextToken() != tkEnd) {
    tokens.push_back(std::to_string(lexer.TokenKind()) + ":" + lexer.TokenText());
  }
  return tokens;
}

using TTokens = std::vector<std::string>;

TEST(ExpressionLexerTest, ScansTokens) {
  struct TCase {
    std::string Text;
    TTokens Expected;
  };
  const TCase cases[] = {
      {"a_1 _x Name9", {"1:a_1", "1:_x", "1:Name9"}},
      {"[Order Date] [a]]", {"2:Order Date", "2:a", "93:]"}},
      {"'it''s' \"say \"\"x\"\"\" ''", {"3:it's", "3:say \"x\"", "3:"}},
      {"12 1.5e3 1.2.3 1E+5 2e-3", {"4:12", "5:1.5e3", "5:1.2.3", "5:1E+5", "5:2e-3"}},
      {"12-3 4+5", {"4:12", "45:-", "4:3", "4:4", "43:+", "4:5"}},
      {"7e 3.x", {"5:7e", "5:3.", "1:x"}},
      {".5", {"46:.", "4:5"}},
      {"(),*+-./<=>?|", {"40:(", "41:)", "44:,", "42:*", "43:+", "45:-", "46:.", "47:/", "60:<",
                        "61:=", "62:>", "63:?", "124:|"}},
      {"\x81\xFE" "b \x80", {"1:\x81\xFE" "b", "128:\x80"}},
      {"\x01\x1F a\t\r\nb ", {"1:a", "1:b"}},
      {"/* a */ x", {"1:x"}},
      {"/* a * b */ x", {"1:x"}},
      {"/**/x/* c */", {"1:x"}},
      {"/* a */ /* b */ x", {"47:/", "42:*", "1:b", "42:*", "47:/", "1:x"}},
      {std::string("a\0b", 3), {"1:a"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(Tokens(c.Text), c.Expected);
  }
}

TEST(ExpressionLexerTest, CutsTokenTextsTo255Characters) {
  const std::string name(300, 'n');
  EXPECT_EQ(Tokens(name + " '" + name + "'"),
            TTokens({"1:" + name.substr(0, 255), "3:" + name.substr(0, 255)}));
}

TEST(ExpressionLexerTest, KeywordsAreIdentifiersAndBracketedNamesInAnyCase) {
  TExpressionLexer lexer;
  lexer.SetText("and [And] 'AND' ANDY");
  lexer.NextToken();
  EXPECT_TRUE(lexer.IsKeyword("AND"));
  lexer.NextToken();
  EXPECT_TRUE(lexer.IsKeyword("and"));
  lexer.NextToken();
  EXPECT_FALSE(lexer.IsKeyword("AND"));
  EXPECT_TRUE(lexer.IsToken(tkString));
  lexer.NextToken();
  EXPECT_FALSE(lexer.IsKeyword("AND"));
}

TEST(ExpressionLexerTest, PositionsOfTheCurrentAndThePreviousToken) {
  TExpressionLexer lexer;
  lexer.SetText("ab  'cd'  x");
  EXPECT_TRUE(lexer.IsToken(tkEnd));
  lexer.NextToken();
  lexer.NextToken();
  EXPECT_EQ(lexer.TokenStart(), 4u);
  EXPECT_EQ(lexer.TokenEnd(), 8u);
  EXPECT_EQ(lexer.PreviousEnd(), 2u);
  lexer.NextToken();
  EXPECT_EQ(lexer.PreviousEnd(), 8u);
}

TEST_F(TParseTest, ExpressionTextIsTheSourceWithoutLineBreaks) {
  FParser.SetText("SELECT a +\r\n  b, c");
  FParser.NextToken();
  FParser.NextToken();
  FParser.MarkExpressionStart();
  while (!FParser.IsToken(',')) FParser.NextToken();
  EXPECT_EQ(FParser.ExpressionText(), "a +  b");

  FParser.SetText("x" + std::string(260, ' ') + "y");
  FParser.NextToken();
  FParser.MarkExpressionStart();
  FParser.NextToken();
  FParser.NextToken();
  EXPECT_EQ(SqlMessageOf([&] { FParser.ExpressionText(); }),
            "Source column expression exceeds maximum expression length of 255 characters");
}

TEST_F(TParseTest, UnterminatedTokensRaise) {
  struct TCase {
    const char* Text;
    const char* Message;
  };
  const TCase cases[] = {
      {"x /* a", "Missing ending comment slash and asterisk in SQL statement"},
      {"'abc", "Missing single quote after 'abc' in SQL statement"},
      {"'it''s", "Missing single quote after 'it''s' in SQL statement"},
      {"\"abc", "Missing double quote after 'abc' in SQL statement"},
      {"[Order Date", "Missing right bracket after 'Order Date' in SQL statement"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(SqlMessageOf([&] { Tokens(c.Text); }), c.Message);
  }
}

}  // namespace
}  // namespace tarnel
