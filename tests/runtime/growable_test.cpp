#include "runtime/growable.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace pl2html {
namespace {

TEST(GrowableArray, GrowZeroedKeepsTheValuesAndZeroesOnlyTheNewOnes) {
  GrowableArray<std::uint64_t> array;
  for (std::uint64_t i = 1; i <= 3000; ++i)
    array.Append(&i, 1);
  array.Clear();  // the memory still holds the old values
  const std::uint64_t seven = 7;
  array.Append(&seven, 1);
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
