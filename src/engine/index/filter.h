// TFilter: one filter of a table, a condition tree or a callback, with its bitmap of one bit
// per record slot. The filter itself is the handle its creator holds.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/expr/expression_node.h"
#include "engine/index/bitmap.h"

namespace tarnel {

// Accepts or refuses one record: its image and its record number.
using TFilterCallback = std::function<bool(const uint8_t* image, int32_t recordNo)>;

class TFilter {
 public:
  TFilter() = default;
  TFilter(const TFilter&) = delete;
  TFilter& operator=(const TFilter&) = delete;

  // The condition; owned when the filter made or took it.
  TExpressionNode* Expression = nullptr;
  TExpressionPtr OwnedExpression;
  TFilterCallback Callback;
  TBitmap Bitmap;
  bool Active = false;
  bool IsCallback = false;
  uint8_t IndexUse = 2;
  // On its own activation the filter starts from the records the earlier active filters kept.
  bool AfterEarlierFilters = false;
};

}  // namespace tarnel
