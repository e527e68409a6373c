#include "engine/expr/expression_lexer.h"

#include "engine/base/errors.h"
#include "engine/base/field_desc.h"
#include "engine/base/short_string.h"

namespace tarnel {

namespace {

bool IsLetter(char c) {
  auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || byte == '_' ||
         (byte >= 129 && byte <= 254);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

void RaiseSqlError(const std::string& message) { RaiseEngineError(kErrSql, "", "", message); }

void TExpressionLexer::SetText(std::string_view text) {
  FStatementText.assign(text.substr(0, text.find('\0')));
  FCurrent = FTokenStart = FTokenEnd = FExpressionStart = FPreviousEnd = 0;
  FTokenKind = tkEnd;
  FTokenText.clear();
}

char TExpressionLexer::At(size_t position) const {
  return position < FStatementText.size() ? FStatementText[position] : '\0';
}

void TExpressionLexer::SkipBlanks() {
  while (At(FCurrent) != '\0' && static_cast<unsigned char>(At(FCurrent)) <= ' ') ++FCurrent;
}

uint8_t TExpressionLexer::NextToken() {
  FPreviousEnd = FCurrent;
  SkipBlanks();
  if (At(FCurrent) == '/' && At(FCurrent + 1) == '*') {
    size_t close = FStatementText.find("*/", FCurrent + 2);
    if (close == std::string::npos) {
      RaiseSqlError("Missing ending comment slash and asterisk in SQL statement");
    }
    FCurrent = close + 2;
    SkipBlanks();
  }
  FTokenStart = FCurrent;
  char first = At(FCurrent);
  if (IsLetter(first)) {
    while (IsLetter(At(FCurrent)) || IsDigit(At(FCurrent))) ++FCurrent;
    FTokenKind = tkSymbol;
    FTokenText = ShortString(FStatementText.substr(FTokenStart, FCurrent - FTokenStart));
  } else if (first == '\'' || first == '"') {
    ScanQuoted(first);
  } else if (first == '[') {
    ScanBracketed();
  } else if (IsDigit(first)) {
    ScanNumber();
  } else if (first == '\0') {
    FTokenKind = tkEnd;
    FTokenText.clear();
  } else {
    ++FCurrent;
    FTokenKind = static_cast<uint8_t>(first);
    FTokenText.assign(1, first);
  }
  FTokenEnd = FCurrent;
  return FTokenKind;
}

void TExpressionLexer::ScanQuoted(char quote) {
  std::string text;
  size_t position = FTokenStart + 1;
  for (;;) {
    char c = At(position);
    if (c == '\0') {
      std::string rest = ShortString(FStatementText.substr(FTokenStart + 1));
      RaiseSqlError(std::string("Missing ") + (quote == '\'' ? "single" : "double") +
                    " quote after '" + rest + "' in SQL statement");
    }
    if (c == quote) {
      if (At(position + 1) != quote) break;
      ++position;
    }
    text += c;
    ++position;
  }
  FCurrent = position + 1;
  FTokenKind = tkString;
  FTokenText = ShortString(text);
}

void TExpressionLexer::ScanBracketed() {
  size_t close = FStatementText.find(']', FTokenStart + 1);
  if (close == std::string::npos) {
    std::string rest = ShortString(FStatementText.substr(FTokenStart + 1));
    RaiseSqlError("Missing right bracket after '" + rest + "' in SQL statement");
  }
  FCurrent = close + 1;
  FTokenKind = tkBracketed;
  FTokenText = ShortString(FStatementText.substr(FTokenStart + 1, close - FTokenStart - 1));
}

// Digits, then digits, points and exponent letters, a sign only right after an exponent letter.
void TExpressionLexer::ScanNumber() {
  bool isFloat = false;
  ++FCurrent;
  for (;;) {
    char c = At(FCurrent);
    char before = At(FCurrent - 1);
    bool exponentSign = (c == '+' || c == '-') && (before == 'E' || before == 'e');
    if (IsDigit(c)) {
      ++FCurrent;
    } else if (c == '.' || c == 'E' || c == 'e' || exponentSign) {
      isFloat = true;
      ++FCurrent;
    } else {
      break;
    }
  }
  FTokenKind = isFloat ? tkFloat : tkInteger;
  FTokenText = ShortString(FStatementText.substr(FTokenStart, FCurrent - FTokenStart));
}

bool TExpressionLexer::IsKeyword(std::string_view word) const {
  if (FTokenKind != tkSymbol && FTokenKind != tkBracketed) return false;
  if (FTokenText.size() != word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (UpperAscii(FTokenText[i]) != UpperAscii(word[i])) return false;
  }
  return true;
}

std::string TExpressionLexer::ExpressionText() const {
  std::string text;
  for (size_t i = FExpressionStart; i < FPreviousEnd && i < FStatementText.size(); ++i) {
    if (FStatementText[i] != '\r' && FStatementText[i] != '\n') text += FStatementText[i];
  }
  if (text.size() > static_cast<size_t>(kMaxExpressionLength)) {
    RaiseSqlError("Source column expression exceeds maximum expression length of " +
                  std::to_string(kMaxExpressionLength) + " characters");
  }
  return text;
}

}  // namespace tarnel
