// An array of plain values that grows with realloc, at least doubling: one
// allocation for a table of any size, and no constructor run per value.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

namespace pl2html {

template <typename T>
class GrowableArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  GrowableArray() = default;
  GrowableArray(GrowableArray&& other) noexcept { Swap(other); }
  GrowableArray& operator=(GrowableArray&& other) noexcept {
    Swap(other);
    return *this;
  }
  ~GrowableArray() { FreeMemory(); }

  // `count` zero values.
  static GrowableArray Zeroed(std::size_t count) {
    GrowableArray array;
    array.GrowZeroed(count);
    return array;
  }

  std::size_t Size() const { return size_; }
  std::size_t Capacity() const { return capacity_; }
  T* Data() { return data_; }
  const T* Data() const { return data_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }

  void Clear() { size_ = 0; }

  // By value: `value` may be one of the array's own, which growing moves.
  void Append(T value) {
    if (size_ == capacity_) Reserve(1);
    data_[size_++] = value;
  }
  void Append(const T* values, std::size_t count) {
    if (count > capacity_ - size_) Reserve(count);
    if (count != 0) std::memcpy(data_ + size_, values, count * sizeof(T));
    size_ += count;
  }
  // Grows to `count` values, the new ones zero.
  void GrowZeroed(std::size_t count) {
    if (count <= size_) return;
    if (count - size_ > capacity_ - size_) Reserve(count - size_);
    std::memset(static_cast<void*>(data_ + size_), 0, (count - size_) * sizeof(T));
    size_ = count;
  }

  // The bytes held, for an array of char.
  std::string_view View() const requires std::is_same_v<T, char> { return {data_, size_}; }

 private:
  // Room for `more` values after the last one, at least doubling.
  void Reserve(std::size_t more) {
    constexpr std::size_t kMost = SIZE_MAX / sizeof(T) / 2;
    if (more > kMost - size_) throw std::bad_alloc();
    std::size_t capacity = std::max({capacity_ * 2, size_ + more, 4096 / sizeof(T)});
    void* grown = std::realloc(data_, capacity * sizeof(T));
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    capacity_ = capacity;
  }

  void FreeMemory() { std::free(data_); }
  void Swap(GrowableArray& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace pl2html
