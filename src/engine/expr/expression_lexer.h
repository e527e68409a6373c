// TExpressionLexer: the token scanner of SQL statements over a private, NUL-terminated copy of
// the statement text. The statement parser and the expression parser read one token stream
// through it. Every error is engine error 11949 with the message as the SQL text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnel {

enum TTokenKind : uint8_t {
  tkEnd = 0,
  tkSymbol = 1,      // an identifier
  tkBracketed = 2,   // a name in square brackets
  tkString = 3,      // text in single or double quotes
  tkInteger = 4,
  tkFloat = 5,
  // Any other single character is a token whose kind is its character code.
};

// Raises engine error 11949 with `message` as the SQL text.
[[noreturn]] void RaiseSqlError(const std::string& message);

class TExpressionLexer {
 public:
  // Copies the statement (up to a NUL it may hold) and puts the scan at its first character,
  // with token kind tkEnd.
  void SetText(std::string_view text);
  // Scans the next token and returns its kind. Blanks (character codes 1 to 32), then at most
  // one /* comment */, then blanks again are skipped first.
  uint8_t NextToken();

  uint8_t TokenKind() const { return FTokenKind; }
  // The current token's characters, without the delimiters of strings and bracketed names (a
  // doubled quote stands for one), at most 255 of them.
  const std::string& TokenText() const { return FTokenText; }
  // Whether the current token is `word`, regardless of case; only identifiers and bracketed
  // names are keywords.
  bool IsKeyword(std::string_view word) const;
  bool IsToken(uint8_t kind) const { return FTokenKind == kind; }

  size_t TokenStart() const { return FTokenStart; }
  // The position after the current token (after the closing delimiter of a string or name).
  size_t TokenEnd() const { return FTokenEnd; }
  // The position just after the previous token, before any blanks.
  size_t PreviousEnd() const { return FPreviousEnd; }

  void MarkExpressionStart() { FExpressionStart = FTokenStart; }
  // The text from the mark to the end of the previous token without carriage returns and line
  // feeds; longer than 255 characters raises.
  std::string ExpressionText() const;

 private:
  char At(size_t position) const;
  void SkipBlanks();
  void ScanQuoted(char quote);
  void ScanBracketed();
  void ScanNumber();

  std::string FStatementText;
  size_t FCurrent = 0;
  size_t FTokenStart = 0;
  size_t FTokenEnd = 0;
  size_t FExpressionStart = 0;
  size_t FPreviousEnd = 0;
  uint8_t FTokenKind = tkEnd;
  std::string FTokenText;
};

}  // namespace tarnel
