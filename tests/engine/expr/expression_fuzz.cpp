// Fuzz target: an expression text as a statement may hold it, however malformed. Parsing it
// with the flags of the first byte, checking it against a small table and evaluating it with and
// without a locale must end in engine or conversion errors only: never a crash, a hang, a stack
// overflow or a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/evaluate.h"
#include "engine/expr/expression_parser.h"
#include "engine/expr/expression_value.h"
#include "engine/expr/type_checker.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format_settings.h"
#include "test_columns.h"

namespace tarnel {
namespace {

TDateTime FixedNow() { return EncodeDate(1997, 3, 5) + EncodeTime(14, 30, 0, 0); }

// The record: every column holds a value of its type; the one `nullField` names is NULL.
void Fetch(const TExpressionNode& column, const void* record, TExpressionValue& value) {
  uint8_t nullField = *static_cast<const uint8_t*>(record);
  uint8_t* area = value.Value.data();
  switch (column.DataType) {
    case dtString:
      PutString(value.Value, "Smith%_x");
      break;
    case dtFloat:
      PutF64(area, -12.75);
      break;
    case dtTimeStamp:
      PutF64(area, 693596.0 * kMSecsPerDay + 5000);
      break;
    case dtBCD:
      PutI64(area, -12342);
      break;
    case dtDate:
      PutI32(area, 729088);
      break;
    default:
      PutI32(area, 7 - column.FieldNo);
      break;
  }
  value.IsNull = column.FieldNo == nullField;
}

}  // namespace
}  // namespace tarnel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnel;
  static const bool kReady = [] {
    SetClock(FixedNow);
    RestoreFormats(GetLocaleFormats(false, 0, 0));
    return true;
  }();
  (void)kReady;
  if (size < 1) return 0;
  int flags = data[0] & 0x0F;
  uint16_t language = data[0] & 0x10 ? 0x0409 : 0;
  uint8_t nullField = static_cast<uint8_t>(data[0] >> 5);
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  static const TResolveColumn kResolve = test::ResolveTestColumn;
  static const TFetchColumn kFetch = Fetch;
  TExpressionParser parser;
  try {
    parser.SetText(text);
    parser.NextToken();
    parser.MarkExpressionStart();
    TExpressionPtr tree = parser.ParseCondition(flags, "WHERE or JOIN clause");
    parser.ExpressionText();
    CheckExpression(11949, "WHERE or JOIN clause", *tree, kResolve);
    // A second check sees resolved types, as a statement that is prepared and executed does.
    CheckExpression(11949, "WHERE or JOIN clause", *tree, kResolve);
    TExpressionPtr copy = CopyExpression(tree.get());
    EvaluateExpression(*copy, &nullField, language, 0, &kFetch);
    EvaluateExpression(*tree, &nullField, language, 0, nullptr);
  } catch (const Exception&) {
    // Engine errors (EDBEngineError), failed literal and BCD conversions (EConvertError).
  }
  return 0;
}
