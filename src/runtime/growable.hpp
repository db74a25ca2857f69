// An array of plain values that grows. While it is small it lives in the C
// library's memory and grows with realloc; once it is large it moves to a
// region of reserved address space, where it grows in place without ever
// being copied again, in memory the system may back with large pages.
// Tables of a million entries then cost little more than the memory itself:
// on a virtual machine that shadows page tables, each small page touched for
// the first time costs some 10 microseconds.
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

// Address space that is set aside first and made usable a piece at a time.
// The program points largeMemory at the platform's (platform.hpp); left
// empty, as in most tests, every array stays in the C library's memory.
struct LargeMemory {
  // Sets aside `size` bytes of address space, none of it usable yet; null
  // when refused.
  void* (*reserve)(std::size_t size);
  // Makes [start, start + size) of a reserved region usable; memory never
  // used before reads as zero. False when refused.
  bool (*commit)(void* start, std::size_t size);
  // Gives back a whole region.
  void (*release)(void* start, std::size_t size);
};
inline const LargeMemory* largeMemory = nullptr;

// An array moves to reserved memory when it needs this much, and grows there
// by whole multiples of it: the size of a large page on common machines, so
// that a system which offers large pages can back every piece with them.
inline constexpr std::size_t kLargePage = std::size_t{1} << 21;

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

  void Append(const T* values, std::size_t count) {
    if (count > capacity_ - size_) Reserve(count);
    if (count != 0) std::memcpy(data_ + size_, values, count * sizeof(T));
    size_ += count;
  }
  void PushBack(T value) {
    if (size_ == capacity_) Reserve(1);
    data_[size_++] = value;
  }
  // Grows to `count` values, the new ones zero.
  void GrowZeroed(std::size_t count) {
    if (count <= size_) return;
    if (count - size_ > capacity_ - size_) Reserve(count - size_);
    std::memset(static_cast<void*>(data_ + size_), 0, (count - size_) * sizeof(T));
    size_ = count;
  }

  // True when the values lie in reserved memory rather than the C library's.
  bool InReservedMemory() const { return memory_ != nullptr; }

  // The bytes held, for an array of char.
  std::string_view View() const requires std::is_same_v<T, char> { return {data_, size_}; }

 private:
  // Room for `more` values after the last one, at least doubling.
  void Reserve(std::size_t more) {
    constexpr std::size_t kMost = SIZE_MAX / sizeof(T) / 2;
    if (more > kMost - size_) throw std::bad_alloc();
    std::size_t capacity = std::max({capacity_ * 2, size_ + more, 4096 / sizeof(T)});
    // An array in reserved memory stays with the memory it came from.
    const LargeMemory* large = memory_ != nullptr ? memory_ : largeMemory;
    if (large != nullptr && capacity >= kLargePage / sizeof(T)) {
      ReserveLarge(*large, capacity * sizeof(T));
      return;
    }
    void* grown = std::realloc(data_, capacity * sizeof(T));
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    capacity_ = capacity;
  }

  // Room for at least `bytes`, in whole large pages of reserved memory: in
  // the region the values already lie in while it has room, else in a new
  // region with room to grow eightfold, to which they are copied once.
  void ReserveLarge(const LargeMemory& large, std::size_t bytes) {
    if (bytes > SIZE_MAX - kLargePage) throw std::bad_alloc();
    bytes = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    const std::size_t committed = capacity_ * sizeof(T);
    if (bytes <= reserved_) {
      if (!large.commit(reinterpret_cast<char*>(data_) + committed, bytes - committed)) {
        throw std::bad_alloc();
      }
      capacity_ = bytes / sizeof(T);
      return;
    }
    constexpr std::size_t kFirstRegion = std::size_t{64} << 20;
    std::size_t region = bytes <= SIZE_MAX / 8 ? std::max(bytes * 8, kFirstRegion) : bytes;
    void* start = large.reserve(region);
    if (start == nullptr) start = large.reserve(region = bytes);
    if (start == nullptr) throw std::bad_alloc();
    if (!large.commit(start, bytes)) {
      large.release(start, region);
      throw std::bad_alloc();
    }
    if (size_ != 0) std::memcpy(start, data_, size_ * sizeof(T));
    FreeMemory();
    data_ = static_cast<T*>(start);
    memory_ = &large;
    reserved_ = region;
    capacity_ = bytes / sizeof(T);
  }
  void FreeMemory() {
    if (memory_ != nullptr) {
      memory_->release(data_, reserved_);
    } else {
      std::free(data_);
    }
  }
  void Swap(GrowableArray& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    std::swap(memory_, other.memory_);
    std::swap(reserved_, other.reserved_);
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  // Where the values lie when in reserved memory, and the region's size;
  // null: in the C library's memory.
  const LargeMemory* memory_ = nullptr;
  std::size_t reserved_ = 0;
};

}  // namespace pl2html
