#include "runtime/byte_masks.hpp"

#include <gtest/gtest.h>

#include <string>

namespace pl2html {
namespace {

// Three runs of bytes, the lowest and highest values among them: the
// comparisons behind ChunkMask must hold at both ends of the signed range.
constexpr bool InTestSet(unsigned char ch) {
  return ch == 0 || (ch >= '(' && ch <= '-') || ch == '<' || ch >= 0xF0;
}
constexpr auto kTestSet = MakeByteSet<InTestSet>();
static_assert(kTestSet.ranges.size() == 4);

TEST(ByteSet, EveryByteValueIsFoundAtEveryPlaceOfAChunk) {
  for (int value = 0; value < 256; ++value) {
    const unsigned char ch = static_cast<unsigned char>(value);
    ASSERT_EQ(kTestSet.contains[ch], InTestSet(ch)) << value;
    for (std::size_t at = 0; at < kChunk; ++at) {
      std::string chunk(kChunk, 'a');
      chunk[at] = static_cast<char>(ch);
      const std::uint32_t expected = InTestSet(ch) ? std::uint32_t{1} << at : 0;
      EXPECT_EQ(ChunkMask<kTestSet>(chunk.data()), expected) << value << " at " << at;
    }
  }
}

TEST(ByteSet, ChunkAtGivesTheByteAskedForAndZerosPastAShortText) {
  const std::string text = "0123456789abcdefghij";  // 20 bytes
  char spare[kChunk];
  unsigned skip = 99;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char* chunk = ChunkAt(text, at, spare, skip);
    for (std::size_t i = 0; at + i < text.size() && skip + i < kChunk; ++i)
      ASSERT_EQ(chunk[skip + i], text[at + i]) << at;
  }
  const char* chunk = ChunkAt(std::string_view(text).substr(0, 5), 2, spare, skip);
  EXPECT_EQ(skip, 0u);
  EXPECT_EQ(std::string(chunk, kChunk), std::string("234") + std::string(kChunk - 3, '\0'));
}

}  // namespace
}  // namespace pl2html
