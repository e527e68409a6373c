#include "engine/expr/value_compare.h"

#include <string_view>

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/bcd.h"
#include "engine/expr/type_rules.h"
#include "platform/locale/collation.h"
#include "platform/locale/installed_locale.h"
#include "platform/locale/language_table.h"
#include "platform/rtl/date_time.h"

namespace tarnel {

namespace {

template <typename T>
TOrder OrderOf(T left, T right) {
  if (left < right) return TOrder::Less;
  if (left > right) return TOrder::Greater;
  return left == right ? TOrder::Equal : TOrder::Unordered;
}

TOrder OrderOfCollation(int result) {
  return result < 0 ? TOrder::Less : result > 0 ? TOrder::Greater : TOrder::Equal;
}

int CompareText(uint32_t lcid, uint32_t flags, std::string_view a, std::string_view b) {
  return locale::CompareString(lcid, flags, a.data(), static_cast<int>(a.size()), b.data(),
                               static_cast<int>(b.size()));
}

// The fixed-point form of a numeric value that is not a Float.
TFixed FixedOf(const TExpressionValue& value) {
  if (value.DataType == dtBCD) return BcdToFixed(GetI64(value.Value.data()));
  return IntegerOf(value) * kFixedScale;
}

TOrder CompareNumbers(const TExpressionValue& left, const TExpressionValue& right) {
  bool leftBcd = left.DataType == dtBCD;
  bool rightBcd = right.DataType == dtBCD;
  bool leftFloat = left.DataType == dtFloat;
  bool rightFloat = right.DataType == dtFloat;
  if (leftBcd || rightBcd) {
    // In the fixed-point form; a Float is scaled by 10,000.0 and compared in floating point.
    if (leftFloat || rightFloat) {
      double a = leftFloat ? DoubleOf(left) * kFixedScale : static_cast<double>(FixedOf(left));
      double b = rightFloat ? DoubleOf(right) * kFixedScale : static_cast<double>(FixedOf(right));
      return OrderOf(a, b);
    }
    return OrderOf(FixedOf(left), FixedOf(right));
  }
  if (leftFloat || rightFloat) return OrderOf(DoubleOf(left), DoubleOf(right));
  return OrderOf(IntegerOf(left), IntegerOf(right));
}

// A Date as the Timestamp of its midnight; a Timestamp as it is.
double MomentOf(const TExpressionValue& value) {
  if (value.DataType == dtDate) return static_cast<double>(IntegerOf(value)) * kMSecsPerDay;
  return DoubleOf(value);
}

// Bytes of the first `characters` characters of `text` in the code page of `lcid`.
size_t PrefixBytes(uint32_t lcid, std::string_view text, size_t characters) {
  if (locale::LangIdFromLcid(lcid) == locale::kNoLanguage) {
    return characters < text.size() ? characters : text.size();
  }
  const locale::TCodePage& codePage = locale::TInstalledLocale::Require(lcid).CodePage();
  size_t bytes = 0;
  for (size_t n = 0; n < characters && bytes < text.size(); ++n) {
    char16_t unit;
    bool defined;
    bytes += static_cast<size_t>(
        codePage.DecodeChar(text.data() + bytes, static_cast<int>(text.size() - bytes), unit,
                            defined));
  }
  return bytes;
}

}  // namespace

TOrder CompareValues(const TExpressionValue& left, const TExpressionValue& right, uint32_t lcid) {
  uint8_t a = left.DataType;
  uint8_t b = right.DataType;
  if (a == dtString && b == dtString) {
    return OrderOfCollation(CompareText(lcid, 0, StringOf(left.Value), StringOf(right.Value)));
  }
  if (a == dtBoolean && b == dtBoolean) {
    return OrderOf(IntegerOf(left) != 0, IntegerOf(right) != 0);
  }
  if (IsNumericType(a) && IsNumericType(b)) return CompareNumbers(left, right);
  if ((a == dtDate && b == dtDate) || (a == dtTime && b == dtTime)) {
    return OrderOf(IntegerOf(left), IntegerOf(right));
  }
  if ((a == dtDate || a == dtTimeStamp) && (b == dtDate || b == dtTimeStamp)) {
    return OrderOf(MomentOf(left), MomentOf(right));
  }
  return TOrder::Unordered;
}

bool CompareWith(int32_t op, const TExpressionValue& left, const TExpressionValue& right,
                 uint32_t lcid) {
  if ((op == opEqual || op == opNotEqual) && (left.IsNull || right.IsNull)) {
    bool equal = left.IsNull && right.IsNull;
    return op == opEqual ? equal : !equal;
  }
  bool booleans = left.DataType == dtBoolean && right.DataType == dtBoolean;
  if (booleans && op != opEqual && op != opNotEqual) return false;
  TOrder order = CompareValues(left, right, lcid);
  if (order == TOrder::Unordered) return false;
  switch (op) {
    case opEqual:
      return order == TOrder::Equal;
    case opNotEqual:
      return order != TOrder::Equal;
    case opGreater:
      return order == TOrder::Greater;
    case opLess:
      return order == TOrder::Less;
    case opGreaterOrEqual:
      return order != TOrder::Less;
    case opLessOrEqual:
      return order != TOrder::Greater;
    default:
      return false;
  }
}

bool CompareStrings(int32_t op, const TExpressionValue& left, const TExpressionValue& right,
                    uint32_t lcid, uint8_t partialLength, bool caseInsensitive) {
  if (left.DataType != dtString || right.DataType != dtString) return false;
  bool equal;
  if (left.IsNull || right.IsNull) {
    equal = left.IsNull && right.IsNull;
  } else {
    std::string_view a = StringOf(left.Value);
    std::string_view b = StringOf(right.Value);
    if (partialLength != 0) {
      a = a.substr(0, PrefixBytes(lcid, a, partialLength));
      b = b.substr(0, PrefixBytes(lcid, b, partialLength));
    }
    equal = CompareText(lcid, caseInsensitive ? locale::kNormIgnoreCase : 0, a, b) == 0;
  }
  if (op == opEqual) return equal;
  return op == opNotEqual && !equal;
}

}  // namespace tarnel
