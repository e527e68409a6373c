// The visible set of a table: the live records, the range and the filters, each as a bitmap of
// record slots. A condition on a column that an index leads with is answered by walking that
// index (never reading a record); the rest is evaluated record by record, and AND evaluates its
// better side first so that the scan reads only what that side kept.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/base/errors.h"
#include "engine/index/index_file.h"
#include "engine/index/key.h"
#include "engine/index/key_encoding.h"

namespace tarnel {

namespace {

// Selects another index for the time it lives and brings the previous one back.
class TIndexSelection {
 public:
  explicit TIndexSelection(TIndexFile& file) : FFile(file), FSaved(file.CurrentIndex()) {}
  ~TIndexSelection() { FFile.SelectIndex(FSaved); }
  TIndexSelection(const TIndexSelection&) = delete;
  TIndexSelection& operator=(const TIndexSelection&) = delete;

 private:
  TIndexFile& FFile;
  uint8_t FSaved;
};

bool IsComparison(const TExpressionNode& node) {
  return (node.NodeKind == nkBinary && node.Operator >= opEqual && node.Operator <= opLessOrEqual) ||
         node.NodeKind == nkCompare;
}

// The column a condition is about: a column node, or UPPER of one (which asks for a
// case-insensitive index).
const TExpressionNode* ColumnOperand(const TExpressionNode* node, bool& upper) {
  upper = false;
  if (node == nullptr) return nullptr;
  if (node->NodeKind == nkColumn) return node;
  if (node->NodeKind == nkFunction && node->Operator == opUpper && node->Left && node->Left->NodeKind == nkColumn) {
    upper = true;
    return node->Left.get();
  }
  return nullptr;
}

}  // namespace

TFilter* TIndexFile::FindFilter(TFilter* handle) const {
  for (const auto& filter : FFilters) {
    if (filter.get() == handle) return handle;
  }
  return nullptr;
}

uint16_t TIndexFile::AddPrepared(std::unique_ptr<TFilter> filter, TFilter** handle) {
  if (static_cast<int>(FFilters.size()) >= kMaxFilters) return kErrTooManyFilters;
  *handle = filter.get();
  FFilters.push_back(std::move(filter));
  return 0;
}

uint16_t TIndexFile::AddFilter(TExpressionPtr condition, bool afterEarlierFilters, TFilter** handle) {
  if (!condition) return kErrInvalidFilter;
  if (static_cast<int>(FFilters.size()) >= kMaxFilters) return kErrTooManyFilters;
  auto filter = std::make_unique<TFilter>();
  filter->OwnedExpression = std::move(condition);
  filter->Expression = filter->OwnedExpression.get();
  filter->AfterEarlierFilters = afterEarlierFilters;
  filter->IndexUse = AnalyzeIndexUse(*filter->Expression, 0);
  return AddPrepared(std::move(filter), handle);
}

uint16_t TIndexFile::AddFilter(TExpressionNode* borrowedCondition, bool afterEarlierFilters, TFilter** handle) {
  if (borrowedCondition == nullptr) return kErrInvalidFilter;
  if (static_cast<int>(FFilters.size()) >= kMaxFilters) return kErrTooManyFilters;
  auto filter = std::make_unique<TFilter>();
  filter->Expression = borrowedCondition;
  filter->AfterEarlierFilters = afterEarlierFilters;
  filter->IndexUse = AnalyzeIndexUse(*filter->Expression, 0);
  return AddPrepared(std::move(filter), handle);
}

uint16_t TIndexFile::AddFilter(TFilterCallback callback, TFilter** handle) {
  if (!callback) return kErrInvalidFilter;
  auto filter = std::make_unique<TFilter>();
  filter->Callback = std::move(callback);
  filter->IsCallback = true;
  filter->IndexUse = 2;
  return AddPrepared(std::move(filter), handle);
}

uint16_t TIndexFile::DropFilter(TFilter* handle) {
  if (handle == nullptr) {
    FFilters.clear();
  } else {
    auto it = std::find_if(FFilters.begin(), FFilters.end(), [&](const auto& f) { return f.get() == handle; });
    if (it == FFilters.end()) return kErrInvalidFilterHandle;
    FFilters.erase(it);
  }
  RecomputeBitmapMode();
  return 0;
}

uint16_t TIndexFile::ActivateFilter(TFilter* handle) {
  if (handle != nullptr && FindFilter(handle) == nullptr) return kErrInvalidFilterHandle;
  bool built = FBitmapMode && !FResult.Empty();
  std::vector<TFilter*> activated;
  for (const auto& filter : FFilters) {
    if ((handle == nullptr || filter.get() == handle) && !filter->Active) {
      filter->Active = true;
      activated.push_back(filter.get());
    }
  }
  RecomputeBitmapMode();
  if (!built) {
    BuildFilterBitmaps();
    return 0;
  }
  // The bitmaps exist: only the newly active filters are evaluated.
  for (TFilter* filter : activated) {
    for (;;) {
      TBitmap base = Base();
      if (filter->AfterEarlierFilters) {
        for (const auto& earlier : FFilters) {
          if (earlier.get() == filter) break;
          if (earlier->Active) base.And(earlier->Bitmap);
        }
      }
      if (EvaluateFilterBitmap(*filter, base)) break;
      if (!FBuildingBitmaps) {
        BuildFilterBitmaps();
        return 0;
      }
    }
  }
  return 0;
}

uint16_t TIndexFile::DeactivateFilter(TFilter* handle) {
  if (handle != nullptr && FindFilter(handle) == nullptr) return kErrInvalidFilterHandle;
  for (const auto& filter : FFilters) {
    if (handle == nullptr || filter.get() == handle) filter->Active = false;
  }
  RecomputeBitmapMode();
  return 0;
}

uint16_t TIndexFile::UpdateFilter(TFilter* handle, TExpressionPtr condition) {
  if (!condition) return kErrInvalidFilter;
  TFilter* filter = FindFilter(handle);
  if (filter == nullptr || !filter->Active || filter->IsCallback) return kErrInvalidFilterHandle;
  filter->OwnedExpression = std::move(condition);
  filter->Expression = filter->OwnedExpression.get();
  filter->IndexUse = AnalyzeIndexUse(*filter->Expression, 0);
  while (!EvaluateFilterBitmap(*filter, Base())) {
  }
  return 0;
}

void TIndexFile::RecomputeBitmapMode() {
  bool active = PhysicalOrder() ||
                std::any_of(FFilters.begin(), FFilters.end(), [](const auto& f) { return f->Active; });
  if (active == FBitmapMode) return;
  FBitmapMode = active;
  if (!active) {
    FResult.Free();
    FRangeBitmap.Free();
    if (!FLiveKept) FLive.Free();
    FVisible = 0;
  }
}

TBitmap TIndexFile::Base() const {
  TBitmap base = FLive;
  if (FRangeActive && !PhysicalOrder()) base.And(FRangeBitmap);
  return base;
}

bool TIndexFile::BuildLiveBitmap() {
  if (FLiveKept && FLive.Slots() == FOwner.RecordSlotCount()) return true;
  FLiveKept = false;
  FLive.Resize(FOwner.RecordSlotCount());
  FLive.ClearAll();
  if (FHeader.NoPrimaryIndex) {
    // No slot-status index: when every slot is counted as a record none is deleted; otherwise the
    // records say which slots are live.
    if (FHeader.RecordCount >= FOwner.RecordSlotCount()) {
      FLive.SetAll();
    } else if (!FOwner.MarkLiveSlots(FLive)) {
      return false;
    }
    FLiveKept = true;
    return true;
  }
  TIndexSelection selection(*this);
  SelectIndex(kSysDeletedIndex);
  uint8_t deletedLow[5] = {1, 0, 0, 0, 0};
  uint8_t deletedHigh[5] = {1, 0xFF, 0xFF, 0xFF, 0xFF};
  uint8_t liveLow[5] = {0, 0, 0, 0, 0};
  uint8_t liveHigh[5] = {0, 0xFF, 0xFF, 0xFF, 0xFF};
  int32_t deleted = CountKeyRange(deletedLow, deletedHigh);
  if (FHeader.RecordCount - deleted < deleted) {
    MarkKeyRange(liveLow, liveHigh, FLive);
  } else {
    MarkKeyRange(deletedLow, deletedHigh, FLive);
    FLive.Invert();
  }
  FLiveKept = true;
  return true;
}

bool TIndexFile::BuildRangeBitmap() {
  FRangeBitmap.Resize(FOwner.RecordSlotCount());
  int32_t inRange = FRangeStartPosition <= 0 || FRangeEndPosition <= 0
                        ? 0
                        : std::max(0, FRangeEndPosition - FRangeStartPosition + 1);
  if (FHeader.RecordCount - inRange >= inRange) {
    MarkKeyRange(FRangeStart.data(), FRangeEnd.data(), FRangeBitmap);
    return true;
  }
  // Most records are inside: the keys outside are marked and the bitmap inverted.
  MarkAllBut(FRangeStart.data(), FRangeEnd.data(), FCurrent.Descending, FRangeBitmap);
  return true;
}

void TIndexFile::MarkAllBut(const uint8_t* low, const uint8_t* high, bool descending, TBitmap& bitmap) {
  int length = FCurrent.KeyLength;
  std::vector<uint8_t> lowest(kKeyBufferSize, descending ? 0xFF : 0x00);
  std::vector<uint8_t> highest(kKeyBufferSize, descending ? 0x00 : 0xFF);
  std::vector<uint8_t> belowLow(low, low + kKeyBufferSize);
  std::vector<uint8_t> aboveHigh(high, high + kKeyBufferSize);
  if (descending) {
    IncrementKey(belowLow.data(), length);
    DecrementKey(aboveHigh.data(), length);
  } else {
    DecrementKey(belowLow.data(), length);
    IncrementKey(aboveHigh.data(), length);
  }
  TBitmap above;
  above.Resize(FOwner.RecordSlotCount());
  MarkKeyRange(lowest.data(), belowLow.data(), bitmap);
  MarkKeyRange(aboveHigh.data(), highest.data(), above);
  bitmap.Or(above);
  bitmap.Invert();
}

void TIndexFile::BuildFilterBitmaps() {
  if (!FBitmapMode || FBuildingBitmaps) return;
  FBuildingBitmaps = true;
  try {
    for (bool complete = false; !complete;) {
      int32_t slots = FOwner.RecordSlotCount();
      FResult.Resize(slots);
      if (slots == 0) {
        FRangeBitmap.Free();
        FLive.Free();
        FResult.ClearAll();
        for (const auto& filter : FFilters) filter->Bitmap.Resize(0);
        break;
      }
      if (!BuildLiveBitmap()) continue;
      if (FRangeActive && !PhysicalOrder()) BuildRangeBitmap();
      TBitmap base = Base();
      complete = true;
      for (const auto& filter : FFilters) {
        if (filter->Active && !EvaluateFilterBitmap(*filter, base)) {
          complete = false;
          break;
        }
      }
    }
  } catch (...) {
    FBuildingBitmaps = false;
    throw;
  }
  FBuildingBitmaps = false;
  ComputeResultBitmap();
}

bool TIndexFile::EvaluateFilterBitmap(TFilter& filter, const TBitmap& base) {
  filter.Bitmap = base;
  if (filter.IsCallback) return EvaluateByScan(filter.Bitmap, opAnd, &filter, nullptr);
  TIndexSelection selection(*this);
  bool restart = false;
  EvaluateFilter(filter.Bitmap, 0, *filter.Expression, restart);
  return !restart;
}

void TIndexFile::ComputeResultBitmap() {
  if (!FBitmapMode || FBuildingBitmaps) return;
  int32_t slots = FOwner.RecordSlotCount();
  if (FLive.Slots() != slots) {
    // Bitmaps of another size belong to an older state of the table: build them afresh.
    BuildFilterBitmaps();
    return;
  }
  FResult = Base();
  for (const auto& filter : FFilters) {
    if (filter->Active) FResult.And(filter->Bitmap);
  }
  FVisible = slots == 0 ? 0 : FResult.CountSet();
}

void TIndexFile::RecordChanged(int32_t recordNo, const uint8_t* image) {
  if (!FBitmapMode) {
    if (FRangeActive) ComputeRangePositions();
    return;
  }
  int32_t slots = FOwner.RecordSlotCount();
  if (FLive.Slots() != slots) {
    FLive.Resize(slots);
    FRangeBitmap.Resize(slots);
    FResult.Resize(slots);
    for (const auto& filter : FFilters) filter->Bitmap.Resize(slots);
  }
  if (FRangeActive && !PhysicalOrder()) {
    ComputeRangePositions();
    std::vector<uint8_t> key(kKeyBufferSize, 0);
    FOwner.BuildKey(image, FCurrentIndex, key.data());
    int length = FCurrent.KeyLength;
    bool inside = CompareKeys(FRangeStart.data(), key.data(), length) <= 0 &&
                  CompareKeys(key.data(), FRangeEnd.data(), length) <= 0;
    if (inside) FRangeBitmap.Set(recordNo); else FRangeBitmap.Clear(recordNo);
  }
  FLive.Set(recordNo);
  for (const auto& filter : FFilters) {
    if (!filter->Active) continue;
    bool passes = filter->IsCallback ? filter->Callback(image, recordNo) : FOwner.RecordPasses(*filter->Expression, image);
    if (passes) filter->Bitmap.Set(recordNo); else filter->Bitmap.Clear(recordNo);
  }
  ComputeResultBitmap();
}

void TIndexFile::RecordRemoved(int32_t recordNo) {
  if (!FBitmapMode) {
    if (FRangeActive) ComputeRangePositions();
    return;
  }
  bool wasVisible = FResult.Test(recordNo);
  FRangeBitmap.Clear(recordNo);
  FLive.Clear(recordNo);
  FResult.Clear(recordNo);
  for (const auto& filter : FFilters) filter->Bitmap.Clear(recordNo);
  if (wasVisible) --FVisible;
  if (FRangeActive) ComputeRangePositions();
}

bool TIndexFile::EvaluateByScan(TBitmap& bitmap, int32_t parentOperator, const TFilter* callback,
                                const TExpressionNode* condition) {
  int32_t slots = FOwner.RecordSlotCount();
  bitmap.Resize(slots);
  bool onlyCandidates = parentOperator == opAnd;
  if (!onlyCandidates) bitmap.SetAll();
  // A read ahead stops at the last candidate within its reach: sparse candidates are read one by
  // one instead of a run of records that are not tested.
  int reach = std::max(FOwner.ReadAheadCount(), 1);
  for (int32_t n = bitmap.NextSet(1); n != 0; n = bitmap.NextSet(n + 1)) {
    const uint8_t* image = FOwner.FilterRecord(n, bitmap.PreviousSet(std::min(n + reach - 1, slots)));
    if (image == nullptr) return false;
    bool passes = image[0] == 0 &&
                  (callback != nullptr ? callback->Callback(image, n) : FOwner.RecordPasses(*condition, image));
    if (!passes) bitmap.Clear(n);
  }
  return true;
}

void TIndexFile::ConditionKeys(int32_t op, const TExpressionNode& column, int partialLength,
                               const TExpressionNode* constant, std::vector<uint8_t>& low,
                               std::vector<uint8_t>& high, int& significant, int& encoded) {
  const TFieldDesc* field = FOwner.StoredField(column.FieldNo);
  if (field == nullptr) RaiseTable(kErrInvalidFilter);
  bool noValue = constant == nullptr || constant->IsNull;
  if (noValue && (op == opEqual || op == opLike)) op = opIsNull;
  if (noValue && (op == opNotEqual || op == opNotLike)) op = opNotNull;
  int physSize = field->PhysSize;
  bool nullTest = op == opIsNull || op == opNotNull;
  encoded = field->FieldType == dtString ? physSize : physSize + 1;
  significant = partialLength > 0 || nullTest ? partialLength + 1 : physSize + 1;
  bool inverted = !FCurrent.Descending && FCurrent.FieldDescending[0] != 0;
  bool descending = FCurrent.Descending || inverted;
  low.assign(kKeyBufferSize, 0);
  std::vector<uint8_t> value(kKeyBufferSize, 0);
  if (!noValue) {
    TKeyLanguage language{FOwner.LanguageId(), FOwner.SortId()};
    EncodeKeyField(*field, constant->Value.data(), inverted, FCurrent.CaseInsensitive, language, value.data());
  }
  auto flagged = [&](uint8_t fill) {
    std::vector<uint8_t> key(kKeyBufferSize, fill);
    key[0] = inverted ? 0xFE : 1;
    return key;
  };
  switch (op) {
    case opIsNull:
    case opNotNull:
      low[0] = op == opIsNull ? 0 : 1;
      if (inverted) low[0] = static_cast<uint8_t>(~low[0]);
      high = low;
      break;
    case opEqual:
    case opNotEqual:
      low = value;
      high = value;
      break;
    case opGreater:
      low = value;
      IncrementKey(low.data(), encoded);
      high = flagged(0xFF);
      break;
    case opGreaterOrEqual:
      low = value;
      high = flagged(0xFF);
      break;
    case opLess:
      low = flagged(0x00);
      high = value;
      DecrementKey(high.data(), encoded);
      break;
    case opLessOrEqual:
      low = flagged(0x00);
      high = value;
      break;
    default:  // from the constant to the highest key
      low = value;
      high = flagged(0xFF);
      break;
  }
  bool ordered = op == opGreater || op == opGreaterOrEqual || op == opLess || op == opLessOrEqual;
  if (descending && ordered) std::swap(low, high);
  int length = FCurrent.KeyLength;
  FillKeyTail(low.data(), significant, length, descending ? 0xFF : 0x00);
  FillKeyTail(high.data(), significant, length, descending ? 0x00 : 0xFF);
}

bool TIndexFile::EvaluateByIndex(TBitmap& bitmap, int32_t op, const TExpressionNode& column, int partialLength,
                                 const TExpressionNode* constant) {
  std::vector<uint8_t> low;
  std::vector<uint8_t> high;
  int significant;
  int encoded;
  ConditionKeys(op, column, partialLength, constant, low, high, significant, encoded);
  bitmap.Resize(FOwner.RecordSlotCount());
  int32_t matches = CountKeyRange(low.data(), high.data());
  if (FHeader.RecordCount - matches >= matches) {
    MarkKeyRange(low.data(), high.data(), bitmap);
    return true;
  }
  // Most records match: the keys below and above the matching ones are marked and inverted.
  MarkAllBut(low.data(), high.data(), FCurrent.Descending || FCurrent.FieldDescending[0] != 0, bitmap);
  return true;
}

uint8_t TIndexFile::EvaluateFilter(TBitmap& bitmap, int32_t parentOperator, TExpressionNode& node, bool& restart) {
  auto scan = [&]() -> uint8_t {
    if (!EvaluateByScan(bitmap, parentOperator, nullptr, &node)) restart = true;
    return 2;
  };
  if (restart) return 2;
  bool upper = false;
  if (node.NodeKind == nkUnary && (node.Operator == opIsNull || node.Operator == opNotNull)) {
    const TExpressionNode* column = ColumnOperand(node.Left.get(), upper);
    if (node.IndexUse == 2 || column == nullptr || !SelectIndexForField(column->FieldNo, false, true)) return scan();
    EvaluateByIndex(bitmap, node.Operator, *column, 0, nullptr);
    return 0;
  }
  if (node.NodeKind == nkUnary && node.Operator == opNot) {
    if (node.IndexUse == 2 || !node.Left) return scan();
    TBitmap copy = bitmap;
    uint8_t result = EvaluateFilter(copy, opNot, *node.Left, restart);
    copy.Invert();
    bitmap = copy;
    return result;
  }
  if (node.NodeKind == nkUnary && (node.Operator == opNegate || node.Operator == opPlus)) {
    if (node.IndexUse == 2 || !node.Left) return scan();
    TBitmap copy = bitmap;
    return EvaluateFilter(copy, node.Operator, *node.Left, restart);
  }
  if (IsComparison(node)) {
    const TExpressionNode* column = ColumnOperand(node.Left.get(), upper);
    bool caseInsensitive = upper || (node.NodeKind == nkCompare && node.CaseInsensitive);
    if (node.IndexUse == 2 || column == nullptr ||
        !SelectIndexForField(column->FieldNo, caseInsensitive, false)) {
      return scan();
    }
    int partial = node.NodeKind == nkCompare ? node.PartialLength : 0;
    EvaluateByIndex(bitmap, node.Operator, *column, partial, node.Right.get());
    if (node.Operator == opNotEqual && node.Right && !node.Right->IsNull) bitmap.Invert();
    return 0;
  }
  if (node.NodeKind == nkBinary && node.Operator == opAnd) {
    if (node.IndexUse == 2 || !node.Left || !node.Right) return scan();
    TBitmap left = bitmap;
    uint8_t leftClass = EvaluateFilter(left, opAnd, *node.Left, restart);
    TBitmap right = left;
    uint8_t rightClass = EvaluateFilter(right, opAnd, *node.Right, restart);
    left.And(right);
    bitmap = left;
    if (leftClass == 0 && rightClass == 0) return 0;
    if (leftClass == 2 && rightClass == 2) return 2;
    return 1;
  }
  if (node.NodeKind == nkBinary && node.Operator == opOr) {
    if (node.IndexUse != 0 || !node.Left || !node.Right) return scan();
    TBitmap left = bitmap;
    EvaluateFilter(left, opOr, *node.Left, restart);
    TBitmap right = bitmap;
    right.SetAll();
    EvaluateFilter(right, opOr, *node.Right, restart);
    left.Or(right);
    bitmap = left;
    return 0;
  }
  if (node.NodeKind == nkPredicate && (node.Operator == opIn || node.Operator == opNotIn)) {
    const TExpressionNode* column = ColumnOperand(node.Left.get(), upper);
    if (node.IndexUse == 2 || column == nullptr || !SelectIndexForField(column->FieldNo, upper, false)) {
      return scan();
    }
    TBitmap result;
    result.Resize(FOwner.RecordSlotCount());
    for (const TExpressionNode* item = node.Right.get(); item != nullptr; item = item->Right.get()) {
      TBitmap one;
      EvaluateByIndex(one, opEqual, *column, 0, item);
      result.Or(one);
    }
    if (node.Operator == opNotIn) result.Invert();
    bitmap = result;
    return 0;
  }
  if (node.NodeKind == nkPredicate && (node.Operator == opBetween || node.Operator == opNotBetween)) {
    const TExpressionNode* column = ColumnOperand(node.Left.get(), upper);
    const TExpressionNode* lowBound = node.Right.get();
    const TExpressionNode* highBound = lowBound == nullptr ? nullptr : lowBound->Right.get();
    if (node.IndexUse == 2 || column == nullptr || highBound == nullptr ||
        !SelectIndexForField(column->FieldNo, upper, false)) {
      return scan();
    }
    TBitmap atLeast;
    TBitmap atMost;
    EvaluateByIndex(atLeast, opGreaterOrEqual, *column, 0, lowBound);
    EvaluateByIndex(atMost, opLessOrEqual, *column, 0, highBound);
    atLeast.And(atMost);
    if (node.Operator == opNotBetween) atLeast.Invert();
    bitmap = atLeast;
    return 0;
  }
  if (node.NodeKind == nkPredicate && (node.Operator == opLike || node.Operator == opNotLike)) return scan();
  return 2;
}

bool TIndexFile::SelectIndexForField(uint16_t fieldNo, bool caseInsensitive, bool anyCase) {
  if (FHeader.NoPrimaryIndex) return false;
  const TFieldDesc* field = FOwner.StoredField(fieldNo);
  bool isString = field != nullptr && field->FieldType == dtString;
  for (int number = 0; number <= FHeader.SecondaryCount; ++number) {
    const TIndexDescriptor& desc = FHeader.Descriptors[static_cast<size_t>(number)];
    if (desc.FieldCount == 0 || desc.FieldNumbers[0] != fieldNo) continue;
    if (anyCase || !isString || desc.CaseInsensitive == caseInsensitive) {
      SelectIndex(static_cast<uint8_t>(number));
      return true;
    }
  }
  return false;
}

int32_t TIndexFile::CountMatches(int32_t op, const TExpressionNode& column, int partialLength,
                                 const TExpressionNode* constant) {
  std::vector<uint8_t> low;
  std::vector<uint8_t> high;
  int significant;
  int encoded;
  ConditionKeys(op, column, partialLength, constant, low, high, significant, encoded);
  return CountKeyRange(low.data(), high.data());
}

uint8_t TIndexFile::AnalyzeIndexUse(TExpressionNode& node, int32_t parentOperator) {
  TIndexSelection selection(*this);
  uint8_t result = 2;
  bool upper = false;
  bool indexCondition = false;
  const TExpressionNode* column = nullptr;
  int32_t op = node.Operator;
  if (node.NodeKind == nkUnary && (op == opIsNull || op == opNotNull)) {
    column = ColumnOperand(node.Left.get(), upper);
    indexCondition = column != nullptr && SelectIndexForField(column->FieldNo, false, true);
    result = indexCondition ? 0 : 2;
  } else if (node.NodeKind == nkUnary && (op == opNot || op == opNegate || op == opPlus)) {
    result = node.Left ? AnalyzeIndexUse(*node.Left, op) : 2;
  } else if (IsComparison(node)) {
    column = ColumnOperand(node.Left.get(), upper);
    bool caseInsensitive = upper || (node.NodeKind == nkCompare && node.CaseInsensitive);
    indexCondition = column != nullptr && node.Right && node.Right->NodeKind == nkConstant &&
                     SelectIndexForField(column->FieldNo, caseInsensitive, false);
    result = indexCondition ? 0 : 2;
  } else if (node.NodeKind == nkBinary && op == opAnd && node.Left && node.Right) {
    uint8_t left = AnalyzeIndexUse(*node.Left, opAnd);
    uint8_t right = AnalyzeIndexUse(*node.Right, opAnd);
    result = left == 0 && right == 0 ? 0 : (left == 2 && right == 2 ? 2 : 1);
    if ((left == 1 && right == 0) || (left == 2 && right <= 1)) std::swap(node.Left, node.Right);
  } else if (node.NodeKind == nkBinary && op == opOr && node.Left && node.Right) {
    uint8_t left = AnalyzeIndexUse(*node.Left, opOr);
    uint8_t right = AnalyzeIndexUse(*node.Right, opOr);
    result = left == 0 && right == 0 ? 0 : 2;
  } else if (node.NodeKind == nkPredicate && (op == opIn || op == opNotIn || op == opBetween || op == opNotBetween)) {
    column = ColumnOperand(node.Left.get(), upper);
    indexCondition = column != nullptr && SelectIndexForField(column->FieldNo, upper, false);
    result = indexCondition ? 0 : 2;
  }
  // A condition an index answers for most of the records is cheaper to test record by record
  // inside a larger condition of an SQL statement.
  if (result == 0 && indexCondition && parentOperator != 0 && FOwner.IsSqlSource() && column != nullptr) {
    int32_t matches = 0;
    if (IsComparison(node) || node.NodeKind == nkUnary) {
      matches = CountMatches(op, *column, node.NodeKind == nkCompare ? node.PartialLength : 0, node.Right.get());
    }
    if (matches > static_cast<int32_t>(std::lround(VisibleCount() * 0.9))) result = 2;
  }
  node.IndexUse = result;
  return result;
}

}  // namespace tarnel
