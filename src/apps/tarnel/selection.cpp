#include "apps/tarnel/selection.h"

#include <strings.h>

#include <cstring>

#include "apps/tarnel/field_text.h"
#include "engine/base/errors.h"
#include "engine/index/index_header.h"

namespace tarnel::cli {

namespace {

struct TToken {
  enum TKind { kEnd, kWord, kQuoted, kOperator } Kind = kEnd;
  std::string Text;
};

bool IsOperatorChar(char c) { return c == '<' || c == '>' || c == '=' || c == '!'; }

class TFilterLexer {
 public:
  explicit TFilterLexer(const std::string& text) : FText(text) {}

  TToken Next() {
    while (FAt < FText.size() && (FText[FAt] == ' ' || FText[FAt] == '\t')) ++FAt;
    TToken token;
    if (FAt == FText.size()) return token;
    char c = FText[FAt];
    if (c == '\'' || c == '"') {
      token.Kind = TToken::kQuoted;
      for (++FAt;; ++FAt) {
        if (FAt == FText.size()) throw EUsageError("--filter: a quote is not closed");
        if (FText[FAt] == c && FAt + 1 < FText.size() && FText[FAt + 1] == c) {
          token.Text += c;
          ++FAt;
        } else if (FText[FAt] == c) {
          ++FAt;
          return token;
        } else {
          token.Text += FText[FAt];
        }
      }
    }
    if (IsOperatorChar(c)) {
      token.Kind = TToken::kOperator;
      while (FAt < FText.size() && IsOperatorChar(FText[FAt]) && token.Text.size() < 2) token.Text += FText[FAt++];
      return token;
    }
    token.Kind = TToken::kWord;
    while (FAt < FText.size() && FText[FAt] != ' ' && FText[FAt] != '\t' && !IsOperatorChar(FText[FAt])) {
      token.Text += FText[FAt++];
    }
    return token;
  }

 private:
  const std::string& FText;
  size_t FAt = 0;
};

int32_t OperatorOf(const std::string& text) {
  if (text == "=" || text == "==") return opEqual;
  if (text == "<>" || text == "!=") return opNotEqual;
  if (text == "<") return opLess;
  if (text == "<=") return opLessOrEqual;
  if (text == ">") return opGreater;
  if (text == ">=") return opGreaterOrEqual;
  return opNone;
}

bool Comparable(const TFieldDesc& field) {
  switch (field.FieldType) {
    case dtString:
    case dtDate:
    case dtBoolean:
    case dtSmallInt:
    case dtInteger:
    case dtFloat:
    case dtBCD:
    case dtTime:
    case dtTimeStamp:
    case dtWord: return true;
    default: return false;
  }
}

TExpressionPtr Condition(const TOpenTable& table, const TToken& name, const TToken& op, const TToken& value) {
  const TFieldDesc* field = table.FindField(name.Text);
  if (field == nullptr) throw EUsageError("--filter: the table has no field " + name.Text);
  int32_t code = OperatorOf(op.Text);
  if (op.Kind != TToken::kOperator || code == opNone) {
    throw EUsageError("--filter: after " + name.Text + " comes a comparison (=, <>, <, <=, >, >=)");
  }
  if (value.Kind != TToken::kWord && value.Kind != TToken::kQuoted) {
    throw EUsageError("--filter: " + name.Text + " " + op.Text + " needs a value");
  }
  if (!Comparable(*field)) throw EUsageError("--filter: a " + TypeName(*field) + " field cannot be compared");
  if (field->FieldType == dtBoolean && code != opEqual && code != opNotEqual) {
    throw EUsageError("--filter: a boolean field is compared with = or <> only");
  }
  auto column = std::make_unique<TExpressionNode>();
  column->NodeKind = nkColumn;
  column->Name = name.Text;
  column->ColumnName = field->FieldName;
  column->FieldNo = field->FieldNo;
  column->DataType = field->FieldType;
  column->SubType = field->SubType;
  column->Size = field->PhysSize;
  column->Scale = field->Decimals;
  auto constant = std::make_unique<TExpressionNode>();
  constant->NodeKind = nkConstant;
  constant->Name = value.Text;
  constant->DataType = field->FieldType;
  constant->SubType = field->IsAutoInc() ? uint8_t{stNone} : field->SubType;
  constant->Size = field->PhysSize;
  constant->Scale = field->Decimals;
  if (field->FieldType == dtString && value.Text.empty()) {
    // As in the engine's filters, the empty text stands for null.
    constant->IsNull = true;
    constant->Size = 1;
  } else {
    std::string error;
    if (!ParseValue(*field, value.Text, table.CodePage(), constant->Value.data(), error)) {
      throw EUsageError("--filter: " + name.Text + ": " + error);
    }
    if (field->FieldType == dtString) {
      constant->Size = static_cast<uint8_t>(std::strlen(reinterpret_cast<const char*>(constant->Value.data())) + 1);
    }
  }
  auto comparison = std::make_unique<TExpressionNode>();
  comparison->NodeKind = nkBinary;
  comparison->Operator = code;
  comparison->Name = op.Text;
  comparison->DataType = dtBoolean;
  comparison->Size = 2;
  comparison->Left = std::move(column);
  comparison->Right = std::move(constant);
  return comparison;
}

// A range side: nothing (an open end) or values of the index's first fields, comma-separated.
bool ParseBound(TOpenTable& table, const TIndexDescriptor& index, const std::string& text,
                std::vector<uint8_t>& image, int& fields, std::string& error) {
  fields = 0;
  if (text.empty()) return true;
  std::vector<std::string> values = SplitList(text);
  if (values.size() > index.FieldCount) {
    error = "the index has " + std::to_string(index.FieldCount) + " fields";
    return false;
  }
  TDataFile& file = table.File();
  image.assign(static_cast<size_t>(file.RecordBufferSize()), 0);
  uint8_t value[256];
  for (const std::string& text : values) {
    const TFieldDesc& field = file.GetFieldDesc(false, index.FieldNumbers[static_cast<size_t>(fields)]);
    if (!ParseValue(field, text, table.CodePage(), value, error)) {
      error = table.FieldName(field) + ": " + error;
      return false;
    }
    file.PutField(false, field.FieldNo, false, value, image.data());
    ++fields;
  }
  return true;
}

void ApplyRange(TOpenTable& table, const std::string& text) {
  TDataFile& file = table.File();
  if (file.IndexFile().PhysicalOrder()) {
    throw EUsageError("--range needs an index: the table has no primary index, name one with --index");
  }
  const TIndexDescriptor& index = file.IndexFile().Current();
  std::vector<size_t> colons;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (text[i] == ':' && !quoted) colons.push_back(i);
  }
  struct TMatch {
    std::vector<uint8_t> Low, High;
    int LowFields = 0, HighFields = 0;
  };
  std::vector<TMatch> matches;
  std::string error;
  for (size_t colon : colons) {
    TMatch match;
    if (ParseBound(table, index, text.substr(0, colon), match.Low, match.LowFields, error) &&
        ParseBound(table, index, text.substr(colon + 1), match.High, match.HighFields, error)) {
      matches.push_back(std::move(match));
    }
  }
  std::string prefix = "--range " + text + ": ";
  if (matches.empty() && colons.size() == 1) throw EUsageError(prefix + error);
  if (matches.empty()) {
    throw EUsageError(prefix + "give FROM:TO, each empty or values of the index's first fields separated by "
                               "commas (quote a value that holds \":\" or \",\")");
  }
  if (matches.size() > 1) throw EUsageError(prefix + "more than one \":\" could part FROM and TO; quote the values");
  const TMatch& range = matches.front();
  file.SetRange(false, range.LowFields > 0 ? range.Low.data() : nullptr, 0, range.LowFields,
                range.HighFields > 0 ? range.High.data() : nullptr, 0, range.HighFields);
}

}  // namespace

TExpressionPtr ParseFilter(const TOpenTable& table, const std::string& text) {
  TFilterLexer lexer(text);
  TExpressionPtr tree;
  for (;;) {
    TToken name = lexer.Next();
    if (name.Kind != TToken::kWord && name.Kind != TToken::kQuoted) {
      throw EUsageError("--filter: give FIELD OP VALUE [AND FIELD OP VALUE ...]");
    }
    TToken op = lexer.Next();
    TToken value = lexer.Next();
    TExpressionPtr condition = Condition(table, name, op, value);
    if (tree) {
      auto conjunction = std::make_unique<TExpressionNode>();
      conjunction->NodeKind = nkBinary;
      conjunction->Operator = opAnd;
      conjunction->Name = "AND";
      conjunction->DataType = dtBoolean;
      conjunction->Size = 2;
      conjunction->Left = std::move(tree);
      conjunction->Right = std::move(condition);
      tree = std::move(conjunction);
    } else {
      tree = std::move(condition);
    }
    TToken next = lexer.Next();
    if (next.Kind == TToken::kEnd) return tree;
    if (next.Kind != TToken::kWord || ::strcasecmp(next.Text.c_str(), "AND") != 0) {
      throw EUsageError("--filter: conditions are joined by AND, not by \"" + next.Text + "\"");
    }
  }
}

void ApplySelection(TOpenTable& table, const TArguments& arguments) {
  TDataFile& file = table.File();
  if (arguments.Has("index")) {
    std::string name = arguments.Value("index");
    std::string bytes;
    table.FromUtf8(name, bytes);
    file.SetIndexName(::strcasecmp(bytes.c_str(), kPrimaryIndexName) == 0 ? std::string() : bytes);
  }
  if (arguments.Has("range")) ApplyRange(table, arguments.Value("range"));
  if (arguments.Has("filter")) {
    TFilter* handle = nullptr;
    CheckStatus(file.AddFilter(ParseFilter(table, arguments.Value("filter")), false, &handle));
    CheckStatus(file.ActivateFilter(handle));
  }
}

}  // namespace tarnel::cli
