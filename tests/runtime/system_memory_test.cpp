#include <gtest/gtest.h>

#include <cstdint>
#include <new>

#include "runtime/growable.hpp"
#include "runtime/platform.hpp"

namespace pl2html {
namespace {

class SystemLargeMemoryTest : public testing::Test {
 protected:
  void SetUp() override { largeMemory = &SystemLargeMemory(); }
  void TearDown() override { largeMemory = nullptr; }
};

TEST_F(SystemLargeMemoryTest, HoldsALargeArrayThatGrowsPastItsFirstRegion) {
  // 80 MB of bytes: past the first region of 64 MB, so the array moves once.
  GrowableArray<char> bytes;
  constexpr std::size_t kBlock = 1 << 16;
  char block[kBlock];
  std::size_t total = 0;
  for (std::size_t round = 0; total < (std::size_t{80} << 20); ++round) {
    for (std::size_t i = 0; i < kBlock; ++i)
      block[i] = static_cast<char>(i * 7 + round);
    bytes.Append(block, kBlock);
    total += kBlock;
  }
  ASSERT_TRUE(bytes.InReservedMemory());
#ifndef _WIN32
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes.Data()) % kLargePage, 0u)
      << "the region starts on a large page, where the system can use one";
#endif
  ASSERT_EQ(bytes.Size(), total);
  for (std::size_t at = 0; at < total; ++at) {
    ASSERT_EQ(bytes[at], static_cast<char>((at % kBlock) * 7 + at / kBlock)) << at;
  }
}

TEST_F(SystemLargeMemoryTest, RefusesAnImpossibleSize) {
  EXPECT_EQ(SystemLargeMemory().reserve(SIZE_MAX / 2), nullptr);
  GrowableArray<char> bytes;
  const char byte = 'x';
  bytes.Append(&byte, 1);
  EXPECT_THROW(bytes.GrowZeroed(SIZE_MAX / 4), std::bad_alloc);
  EXPECT_EQ(bytes.Size(), 1u);
}

}  // namespace
}  // namespace pl2html
