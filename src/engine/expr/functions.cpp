#include "engine/expr/functions.h"

#include <bitset>
#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/expression_node.h"
#include "platform/locale/case_mapping.h"
#include "platform/rtl/date_time.h"

namespace tarnel {

namespace {

constexpr size_t kLikeSpan = kMaxValueString + 1;

// The recursive match, remembering the positions that failed so that patterns with many %
// take quadratic time at most.
class TLikeMatcher {
 public:
  TLikeMatcher(std::string_view text, std::string_view pattern)
      : FText(text.substr(0, kMaxValueString)), FPattern(pattern.substr(0, kMaxValueString)) {}

  bool Match(size_t at, size_t from) {
    if (FPattern.size() - from == 1 && FPattern[from] == '%') return true;
    if (at == FText.size()) return from == FPattern.size();
    if (from == FPattern.size()) return false;
    size_t state = at * kLikeSpan + from;
    if (FFailed[state]) return false;
    char wanted = FPattern[from];
    bool matched;
    if (wanted == '%') {
      matched = Match(at, from + 1) || Match(at + 1, from);
    } else {
      matched = (wanted == '_' || wanted == FText[at]) && Match(at + 1, from + 1);
    }
    if (!matched) FFailed.set(state);
    return matched;
  }

 private:
  std::string_view FText;
  std::string_view FPattern;
  std::bitset<kLikeSpan * kLikeSpan> FFailed;
};

}  // namespace

void MapCase(int32_t op, uint32_t lcid, TExpressionValue& value) {
  char* text = reinterpret_cast<char*>(value.Value.data());
  int length = static_cast<int>(StringOf(value.Value).size());
  uint32_t flags = op == opUpper ? locale::kLcmapUpperCase : locale::kLcmapLowerCase;
  int mapped = locale::LCMapString(lcid, flags, text, length, text, length);
  value.Value[static_cast<size_t>(mapped)] = 0;
}

void Substring(TExpressionValue& value, int64_t from, int64_t count) {
  std::string_view text = StringOf(value.Value);
  size_t start = from < 1 ? 0 : static_cast<size_t>(from - 1);
  if (start > text.size()) start = text.size();
  std::string_view part = text.substr(start);
  if (count >= 0 && static_cast<uint64_t>(count) < part.size()) {
    part = part.substr(0, static_cast<size_t>(count));
  }
  PutString(value.Value, part);
}

void TrimString(int32_t op, char character, TExpressionValue& value) {
  std::string_view text = StringOf(value.Value);
  if (op == opTrimLeading || op == opTrimBoth) {
    while (!text.empty() && text.front() == character) text.remove_prefix(1);
  }
  if (op == opTrimTrailing || op == opTrimBoth) {
    while (!text.empty() && text.back() == character) text.remove_suffix(1);
  }
  PutString(value.Value, text);
}

int32_t ExtractPart(int32_t op, const TExpressionValue& moment) {
  int32_t dayNumber;
  if (moment.DataType == dtDate) {
    dayNumber = static_cast<int32_t>(IntegerOf(moment));
  } else if (moment.DataType == dtTimeStamp) {
    dayNumber = DateOfTimestamp(DoubleOf(moment));
  } else {
    return 0;
  }
  int year, month, day;
  DecodeDate(static_cast<double>(dayNumber) - kDateDelta, year, month, day);
  switch (op) {
    case opExtractYear:
      return year;
    case opExtractMonth:
      return month;
    case opExtractDay:
      return day;
    default:
      return 0;
  }
}

bool MatchLike(std::string_view text, std::string_view pattern) {
  TLikeMatcher matcher(text, pattern);
  return matcher.Match(0, 0);
}

}  // namespace tarnel
