// TRecencyList: the most-recently-used order of a cache's buffers, linked through the buffers'
// own `Newer` and `Older` pointers, so that moving a buffer to the front costs no allocation and
// no search. The list only links the buffers; the cache owns them.
#pragma once

namespace tarnel {

template <typename T>
class TRecencyList {
 public:
  T* Newest() const { return FNewest; }
  T* Oldest() const { return FOldest; }

  void LinkFront(T& item) {
    item.Newer = nullptr;
    item.Older = FNewest;
    if (FNewest != nullptr) FNewest->Newer = &item;
    FNewest = &item;
    if (FOldest == nullptr) FOldest = &item;
  }
  void Unlink(T& item) {
    if (item.Newer != nullptr) {
      item.Newer->Older = item.Older;
    } else {
      FNewest = item.Older;
    }
    if (item.Older != nullptr) {
      item.Older->Newer = item.Newer;
    } else {
      FOldest = item.Newer;
    }
    item.Newer = nullptr;
    item.Older = nullptr;
  }
  void MoveToFront(T& item) {
    if (&item == FNewest) return;
    Unlink(item);
    LinkFront(item);
  }
  // Forgets every link (the buffers are going).
  void Clear() {
    FNewest = nullptr;
    FOldest = nullptr;
  }

 private:
  T* FNewest = nullptr;
  T* FOldest = nullptr;
};

}  // namespace tarnel
