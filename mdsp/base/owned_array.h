// A growable array of owned pointers that grows 16 entries at a time, as the
// library's lists of records do (response queue, module table, restart
// list). Append fails instead of throwing when memory runs out.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace mdsp {

template <typename T>
class OwnedArray {
 public:
  static constexpr size_t kGrowth = 16;

  OwnedArray() = default;
  ~OwnedArray() { Clear(); std::free(items_); }
  OwnedArray(const OwnedArray&) = delete;
  OwnedArray& operator=(const OwnedArray&) = delete;

  size_t count() const { return count_; }
  size_t capacity() const { return capacity_; }
  T* operator[](size_t i) const { return items_[i]; }

  // Takes ownership on success only.
  bool Append(T* item) {
    if (count_ == capacity_) {
      void* grown = std::realloc(items_, (capacity_ + kGrowth) * sizeof(T*));
      if (!grown) return false;
      items_ = static_cast<T**>(grown);
      capacity_ += kGrowth;
    }
    items_[count_++] = item;
    return true;
  }

  // Removes the first entry and hands it to the caller.
  T* TakeFirst() {
    if (count_ == 0) return nullptr;
    T* first = items_[0];
    std::memmove(items_, items_ + 1, (count_ - 1) * sizeof(T*));
    --count_;
    return first;
  }

  void Clear() {
    for (size_t i = 0; i < count_; ++i) delete items_[i];
    count_ = 0;
  }

 private:
  T** items_ = nullptr;
  size_t count_ = 0;
  size_t capacity_ = 0;
};

}  // namespace mdsp
