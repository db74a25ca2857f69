#include "runtime/growable.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace pl2html {
namespace {

// Reserved memory from the C library, which a test can make refuse: it
// counts the regions handed out and given back.
struct FakeLargeMemory {
  static inline int reserved = 0;
  static inline int released = 0;
  static inline bool refuseReserve = false;
  static inline bool refuseCommit = false;

  static void* Reserve(std::size_t size) {
    if (refuseReserve) return nullptr;
    ++reserved;
    return std::calloc(size, 1);  // untouched, so it costs no memory
  }
  static bool Commit(void* /*start*/, std::size_t size) {
    EXPECT_EQ(size % kLargePage, 0u) << "the region grows by whole large pages";
    return !refuseCommit;
  }
  static void Release(void* start, std::size_t /*size*/) {
    ++released;
    std::free(start);
  }
};
constexpr LargeMemory kFakeLargeMemory{&FakeLargeMemory::Reserve, &FakeLargeMemory::Commit,
                                       &FakeLargeMemory::Release};

class GrowableArrayInReservedMemory : public testing::Test {
 protected:
  void SetUp() override {
    FakeLargeMemory::reserved = FakeLargeMemory::released = 0;
    FakeLargeMemory::refuseReserve = FakeLargeMemory::refuseCommit = false;
    largeMemory = &kFakeLargeMemory;
  }
  void TearDown() override { largeMemory = nullptr; }

  // Values past 2 MB of them: beyond the C library's share.
  static constexpr std::uint64_t kLarge = kLargePage / sizeof(std::uint64_t) + 1000;

  static void ExpectCounting(const GrowableArray<std::uint64_t>& array, std::uint64_t count) {
    ASSERT_EQ(array.Size(), count);
    for (std::uint64_t i = 0; i < count; ++i)
      ASSERT_EQ(array[i], i) << "of " << count;
  }
};

TEST_F(GrowableArrayInReservedMemory, MovesThereOnceLargeAndThenGrowsInPlace) {
  GrowableArray<std::uint64_t> array;
  for (std::uint64_t i = 0; i < 1000; ++i)
    array.PushBack(i);
  EXPECT_FALSE(array.InReservedMemory()) << "a small array stays with the C library";
  for (std::uint64_t i = 1000; i < kLarge; ++i)
    array.PushBack(i);
  ASSERT_TRUE(array.InReservedMemory());
  ExpectCounting(array, kLarge);

  // Growing sixfold stays in the region it has: no copy, no new region.
  const std::uint64_t* start = array.Data();
  for (std::uint64_t i = kLarge; i < 6 * kLarge; ++i)
    array.PushBack(i);
  EXPECT_EQ(array.Data(), start);
  EXPECT_EQ(FakeLargeMemory::reserved, 1);
  ExpectCounting(array, 6 * kLarge);

  // Past its region, the array moves once more, keeping its values; the new
  // ones read as zero.
  array.GrowZeroed(40 * kLarge);
  EXPECT_EQ(FakeLargeMemory::reserved, 2);
  EXPECT_EQ(FakeLargeMemory::released, 1);
  for (std::uint64_t i = 0; i < 6 * kLarge; ++i)
    ASSERT_EQ(array[i], i);
  for (std::uint64_t i = 6 * kLarge; i < 40 * kLarge; ++i)
    ASSERT_EQ(array[i], 0u);

  // An array keeps its region when the program stops offering reserved
  // memory: realloc must never see it.
  largeMemory = nullptr;
  array.GrowZeroed(41 * kLarge);
  GrowableArray<std::uint64_t> moved = std::move(array);
  EXPECT_EQ(moved.Size(), 41 * kLarge);
}

TEST_F(GrowableArrayInReservedMemory, RefusedMemoryThrowsAndKeepsTheValues) {
  constexpr std::uint64_t kSmall = 100000;  // less than 1 MB, in the C library's memory
  {
    GrowableArray<std::uint64_t> array;
    for (std::uint64_t i = 0; i < kSmall; ++i)
      array.PushBack(i);
    ASSERT_FALSE(array.InReservedMemory());
    FakeLargeMemory::refuseReserve = true;
    EXPECT_THROW(array.GrowZeroed(kLarge), std::bad_alloc);
    ExpectCounting(array, kSmall);

    FakeLargeMemory::refuseReserve = false;
    FakeLargeMemory::refuseCommit = true;
    EXPECT_THROW(array.GrowZeroed(kLarge), std::bad_alloc);
    EXPECT_EQ(FakeLargeMemory::released, FakeLargeMemory::reserved) << "the region leaked";
    ExpectCounting(array, kSmall);

    // Refused while growing within its region.
    FakeLargeMemory::refuseCommit = false;
    for (std::uint64_t i = kSmall; i < kLarge; ++i)
      array.PushBack(i);
    ASSERT_TRUE(array.InReservedMemory());
    FakeLargeMemory::refuseCommit = true;
    EXPECT_THROW(array.GrowZeroed(3 * kLarge), std::bad_alloc);
    ExpectCounting(array, kLarge);
  }
  EXPECT_EQ(FakeLargeMemory::released, FakeLargeMemory::reserved);
}

TEST(GrowableArray, GrowZeroedKeepsTheValuesAndZeroesOnlyTheNewOnes) {
  GrowableArray<std::uint64_t> array;
  for (std::uint64_t i = 1; i <= 3000; ++i)
    array.PushBack(i);
  array.Clear();  // the memory still holds the old values
  array.PushBack(7);
  array.GrowZeroed(100000);  // beyond the capacity: realloc
  ASSERT_EQ(array.Size(), 100000u);
  EXPECT_EQ(array[0], 7u);
  for (std::size_t i = 1; i < array.Size(); ++i)
    ASSERT_EQ(array[i], 0u) << i;
  array.GrowZeroed(50);  // never shrinks
  EXPECT_EQ(array.Size(), 100000u);
}

}  // namespace
}  // namespace pl2html
