// TSystemList: the engine's growable list. Capacity grows by 4 below 9 entries, by 16 up to 64
// and by a quarter above, and never passes 262140 entries; an index or capacity out of bounds
// raises EListError "List index out of bounds". The list holds values; whoever fills a list of
// pointers owns what they point to.
#pragma once

#include <utility>
#include <vector>

#include "platform/rtl/exception.h"

namespace tarnel {

template <typename T>
class TSystemList {
 public:
  static constexpr int kMaxCapacity = 262140;

  TSystemList() = default;
  virtual ~TSystemList() = default;
  TSystemList(const TSystemList&) = delete;
  TSystemList& operator=(const TSystemList&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  int Capacity() const { return FCapacity; }

  int Add(T item) {
    if (Count() == FCapacity) Grow();
    FItems.push_back(std::move(item));
    return Count() - 1;
  }

  void Insert(int index, T item) {
    if (index < 0 || index > Count()) Error();
    if (Count() == FCapacity) Grow();
    FItems.insert(FItems.begin() + index, std::move(item));
  }

  void Delete(int index) {
    CheckIndex(index);
    FItems.erase(FItems.begin() + index);
  }

  void Move(int from, int to) {
    if (from == to) return;
    CheckIndex(from);
    CheckIndex(to);
    T item = std::move(FItems[static_cast<size_t>(from)]);
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, std::move(item));
  }

  void Clear() {
    FItems.clear();
    FItems.shrink_to_fit();
    FCapacity = 0;
  }

  void SetCapacity(int capacity) {
    if (capacity < Count() || capacity > kMaxCapacity) Error();
    if (capacity < FCapacity) {
      std::vector<T> smaller;
      smaller.reserve(static_cast<size_t>(capacity));
      for (T& item : FItems) smaller.push_back(std::move(item));
      FItems.swap(smaller);
    } else {
      FItems.reserve(static_cast<size_t>(capacity));
    }
    FCapacity = capacity;
  }

  void SetCount(int count) {
    if (count < 0 || count > kMaxCapacity) Error();
    if (count > FCapacity) SetCapacity(count);
    FItems.resize(static_cast<size_t>(count));
  }

  T& operator[](int index) {
    CheckIndex(index);
    return FItems[static_cast<size_t>(index)];
  }
  const T& operator[](int index) const {
    CheckIndex(index);
    return FItems[static_cast<size_t>(index)];
  }

  // Index of the first item equal to `item`, or -1.
  int IndexOf(const T& item) const {
    for (size_t i = 0; i < FItems.size(); ++i) {
      if (FItems[i] == item) return static_cast<int>(i);
    }
    return -1;
  }

  // Quicksort with the middle element of each range as pivot; equal items may change places.
  template <typename Compare>
  void Sort(Compare compare) {
    if (Count() > 1) QuickSort(0, Count() - 1, compare);
  }

  auto begin() { return FItems.begin(); }
  auto end() { return FItems.end(); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 protected:
  virtual void Grow() {
    int delta = FCapacity > 64 ? FCapacity / 4 : (FCapacity > 8 ? 16 : 4);
    int target = FCapacity + delta;
    if (target > kMaxCapacity && FCapacity < kMaxCapacity) target = kMaxCapacity;
    SetCapacity(target);
  }

  [[noreturn]] virtual void Error() const { throw EListError("List index out of bounds"); }

 private:
  void CheckIndex(int index) const {
    if (index < 0 || index >= Count()) Error();
  }

  template <typename Compare>
  void QuickSort(int low, int high, Compare& compare) {
    while (low < high) {
      int i = low;
      int j = high;
      T pivot = FItems[static_cast<size_t>((low + high) / 2)];
      do {
        while (compare(FItems[static_cast<size_t>(i)], pivot) < 0) ++i;
        while (compare(FItems[static_cast<size_t>(j)], pivot) > 0) --j;
        if (i <= j) {
          std::swap(FItems[static_cast<size_t>(i)], FItems[static_cast<size_t>(j)]);
          ++i;
          --j;
        }
      } while (i <= j);
      if (low < j) QuickSort(low, j, compare);
      low = i;
    }
  }

  std::vector<T> FItems;
  int FCapacity = 0;
};

}  // namespace tarnel
