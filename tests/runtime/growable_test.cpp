#include "runtime/growable.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace pl2html {
namespace {

struct Request {
  const void* start;
  std::size_t size;
};
std::vector<Request> requests;

void RecordRequest(void* start, std::size_t size) {
  requests.push_back({start, size});
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

TEST(GrowableArray, AsksForTheMemoryOfTheNewValuesBeforeWritingThem) {
  requests.clear();
  prepareMemory = &RecordRequest;
  auto array = GrowableArray<std::uint64_t>::Zeroed(16);
  array.GrowZeroed(4096);
  prepareMemory = nullptr;
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].start, array.Data() + 16);
  EXPECT_EQ(requests[0].size, (4096u - 16u) * sizeof(std::uint64_t));
}

}  // namespace
}  // namespace pl2html
